// What flows during a capture: camera frames onto the frame grid, sound buffers, the tick
// that watches the limits, and the message loop of a capture that blocks.
#include <algorithm>
#include <cstring>
#include <map>

#include "avicap/avi/RecorderImpl.h"
#include "avicap/codec/Compressors.h"
#include "platform/Clock.h"

namespace {

constexpr UINT_PTR kRecorderTimer = 0x5245;

// Capture window -> its running recorder, for the timer procedure.
std::map<HWND, Recorder*>& ticking()
{
    static std::map<HWND, Recorder*> recorders;
    return recorders;
}

}  // namespace

void Recorder::startTicks()
{
    ticking()[session_.window] = this;
    SetTimer(session_.window, kRecorderTimer, kRecorderTickMs, &Recorder::timerProc);
}

void Recorder::stopTicks()
{
    auto it = ticking().find(session_.window);
    if (it == ticking().end() || it->second != this)
        return;
    ticking().erase(it);
    KillTimer(session_.window, kRecorderTimer);
}

void Recorder::timerProc(HWND window, UINT, UINT_PTR, DWORD)
{
    auto it = ticking().find(window);
    if (it == ticking().end())
        return;
    Recorder* recorder = it->second;
    // The timer's boundary: a failure here ends the capture with its file, and is reported.
    try {
        recorder->tick();
    } catch (const std::exception& e) {
        recorder->finish(IDS_CAP_CALLBACK_EXCEPTION, std::string("The capture failed: ") + e.what());
    } catch (...) {
        recorder->finish(IDS_CAP_CALLBACK_EXCEPTION, "The capture failed: unknown exception");
    }
}

void Recorder::videoFrame(VIDEOHDR& frame) { takeFrame(frame, currentClock().monotonicUs(), nullptr); }

void Recorder::cameraFrame(VIDEOHDR& header, const CaptureFrame& source)
{
    if (source.width != width_ || source.height != height_) {
        if (mode_ == Mode::Sequence)
            lastCameraUs_ = currentClock().monotonicUs();
        return;   // a picture of another size cannot join the file; its slot stays empty
    }
    takeFrame(header, source.timestampUs, source.jpeg.empty() ? nullptr : &source.jpeg);
}

// The frame grid decides which slot a frame fills; the writer gets the slot.
void Recorder::takeFrame(VIDEOHDR& header, int64_t timestampUs, const std::vector<uint8_t>* jpeg)
{
    if (mode_ != Mode::Sequence || !header.lpData)
        return;
    lastCameraUs_ = currentClock().monotonicUs();
    const std::optional<uint64_t> slot = grid_.take(timestampUs);
    if (!slot)
        return;   // its slot is filled, or past the time limit (the next tick ends the capture)

    header.dwTimeCaptured = DWORD(grid_.slotUs(*slot) / 1000);
    const bool passJpeg = jpeg && writer_ && compressorFor(session_.compression.codec).takesCameraJpeg;
    if (passJpeg)
        before_.assign(header.lpData, header.lpData + header.dwBytesUsed);
    host_->videoStream(&header);
    if (mode_ != Mode::Sequence || !writer_)
        return;   // the callback ended the capture, or a capture without a file
    // The camera's own JPEG stands for the picture only while the callback left it alone.
    const bool unchanged = passJpeg && std::equal(before_.begin(), before_.end(), header.lpData);
    const bool queued = unchanged ? writer_->addJpeg(jpeg->data(), jpeg->size(), *slot)
                                  : writeDib(header.lpData, header.dwBytesUsed, *slot);
    if (!queued && writer_->error().ok())
        grid_.lost();   // the writer is behind or refused the picture: the slot stays empty
    finishIfWriterFailed();
}

// Camera rows are 3 x width bytes; the file's rows are padded to four bytes.
bool Recorder::writeDib(const uint8_t* pixels, size_t size, uint64_t slot)
{
    const size_t row = size_t(width_) * 3, stride = (row + 3) & ~size_t(3);
    if (size != row * size_t(height_) || !writer_)
        return false;
    if (row == stride)
        return writer_->addFrame(pixels, size, slot);
    padded_.assign(stride * size_t(height_), 0);
    for (int y = 0; y < height_; ++y)
        std::memcpy(padded_.data() + stride * size_t(y), pixels + row * size_t(y), row);
    return writer_->addFrame(padded_.data(), padded_.size(), slot);
}

void Recorder::pumpAudio()
{
    AudioBuffer buffer;
    while (mode_ == Mode::Sequence && audio_ && audio_->read(buffer)) {
        uint8_t* data = buffer.data.data();
        size_t size = buffer.data.size();
        if (audioFormat_.bitsPerSample == 8) {
            // Unsigned 8-bit from the high byte of each signed 16-bit sample.
            sound_.resize(size / 2);
            for (size_t i = 0; i < sound_.size(); ++i)
                sound_[i] = uint8_t(buffer.data[2 * i + 1] ^ 0x80);
            data = sound_.data();
            size = sound_.size();
        }
        WAVEHDR header{};
        header.lpData = data;
        header.dwBufferLength = header.dwBytesRecorded = DWORD(size);
        header.dwFlags = WHDR_DONE | WHDR_PREPARED;
        host_->waveStream(&header);
        if (mode_ != Mode::Sequence)
            return;
        waveSamples_ += size / std::max<size_t>(1, audioFormat_.blockAlign());
        if (writer_)
            writer_->addAudio(data, size, buffer.timestampUs);
    }
}

void Recorder::tick()
{
    if (mode_ != Mode::Sequence)
        return;
    finishIfWriterFailed();
    pumpAudio();
    if (mode_ != Mode::Sequence)
        return;
    if (host_->capControl(CONTROLCALLBACK_CAPTURING) == FALSE || mode_ != Mode::Sequence ||
        host_->yield() == FALSE) {
        stop(true);
        return;
    }
    if (mode_ != Mode::Sequence)
        return;
    const int64_t now = currentClock().monotonicUs();
    if (limitUs() >= 0 && now - startUs_ >= limitUs()) {
        stop(false);
    } else if (now - lastCameraUs_ >= int64_t(kCameraSilenceMs) * 1000) {
        finish(IDS_CAP_DRIVER_ERROR, "The camera delivered no picture for " +
                                         std::to_string(kCameraSilenceMs / 1000) + " seconds");
    }
}

// fYield 0: the start message returns when the capture has ended. Messages keep flowing
// (frames arrive as messages, the tick is a timer); the yield callback runs on every pass.
// Between passes the thread sleeps until a message or the next timer is due.
void Recorder::runBlocking()
{
    host_->recordingStarted();
    while (mode_ == Mode::Sequence) {
        if (!IsWindow(session_.window) || host_->yield() == FALSE) {
            stop(true);
            break;
        }
        if (processPendingMessages() == 0 && mode_ == Mode::Sequence)
            WaitMessage();
    }
}
