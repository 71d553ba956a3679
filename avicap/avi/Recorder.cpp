// Starting and ending captures, the status they leave, single frames and the file messages.
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "avicap/avi/RecorderImpl.h"
#include "platform/Clock.h"

CaptureRecorderFactory makeCaptureRecorderFactory(AudioInputFactory audio)
{
    return [audio] { return std::make_unique<Recorder>(audio); };
}

Recorder::~Recorder()
{
    // The window stops a capture before it goes; this only guards the timer and the file.
    stopTicks();
    if (writer_)
        (void)writer_->close();
    for (Closing& c : closing_)
        (void)c.writer->close();   // the window is going: finish the files, nobody to tell
    if (audio_)
        audio_->close();
}

void Recorder::begin(const CaptureSession& session, CaptureRecorderHost& host)
{
    session_ = session;
    host_ = &host;
    ran_ = true;
    ++captures_;
    width_ = std::abs(int(session.videoFormat.biWidth));
    height_ = std::abs(int(session.videoFormat.biHeight));
    startUs_ = lastCameraUs_ = currentClock().monotonicUs();
    grid_.start(startUs_, session.parms.dwRequestMicroSecPerFrame, limitUs());
    cutShort_.reset();
    elapsedUs_ = 0;
    unencoded_ = waveSamples_ = 0;
    return_ = 0;
}

int64_t Recorder::limitUs() const
{
    return session_.parms.fLimitEnabled ? int64_t(session_.parms.wTimeLimit) * 1000000 : -1;
}

void Recorder::openAudio()
{
    audio_.reset();
    const WAVEFORMATEX& w = session_.audioFormat;
    if (!session_.parms.fCaptureAudio || w.wFormatTag != WAVE_FORMAT_PCM)
        return;
    audioFormat_ = AviAudioFormat{w.nSamplesPerSec, w.nChannels, w.wBitsPerSample};
    // Inputs deliver 16-bit sound; 8-bit formats are converted as it arrives.
    AviAudioFormat input = audioFormat_;
    input.bitsPerSample = 16;
    if (audioFactory_)
        audio_ = audioFactory_();
    CaptureError error = audio_ ? audio_->open(input) : captureFault(CaptureFault::SoundFailed, "no sound input");
    if (error.ok())
        return;
    // The capture goes on without sound; the program hears why.
    audio_.reset();
    const std::string text = "Recording without sound: the sound input cannot be opened (" + error.text + ")";
    host_->reportError(captureErrorId(error), text.c_str());
}

bool Recorder::openFile(bool withAudio)
{
    AviWriterConfig config;
    config.path = session_.fileName;
    config.video.width = width_;
    config.video.height = height_;
    config.video.microSecPerFrame = grid_.intervalUs();
    config.video.codec = session_.compression.codec;
    config.quality = session_.compression.quality;
    if (withAudio)
        config.audio = audioFormat_;
    config.startUs = startUs_;
    writer_ = std::make_unique<AviWriter>(config);
    CaptureError error;
    if (writer_->open(&error))
        return true;
    writer_.reset();
    return_ = DWORD(captureErrorId(error));
    host_->reportError(int(return_), error.text.c_str());
    return false;
}

bool Recorder::start(const CaptureSession& session, CaptureRecorderHost& host)
{
    if (mode_ != Mode::Idle)
        return false;
    // The file of a capture that just ended may still be being finished.
    collectClosed(true, session.toFile ? session.fileName : std::string());
    begin(session, host);
    if (host.capControl(CONTROLCALLBACK_PREROLL) == FALSE) {
        return_ = IDS_CAP_PREROLL_REFUSED;   // a caller waiting for the start sees it end
        return false;
    }
    openAudio();
    if (session.toFile && !openFile(audio_ != nullptr)) {
        if (audio_)
            audio_->close();
        audio_.reset();
        return false;
    }
    lastCameraUs_ = currentClock().monotonicUs();   // opening the sound input may take a while
    mode_ = Mode::Sequence;
    startTicks();
    std::string text = session.toFile ? "Capture started: " + session.fileName : "Capture started";
    host.reportStatus(IDS_CAP_BEGIN, text.c_str());
    if (!session.parms.fYield && mode_ == Mode::Sequence) {
        runBlocking();
        return return_ == 0;
    }
    return true;
}

bool Recorder::stop(bool abort)
{
    (void)abort;   // both keep what was recorded
    if (mode_ == Mode::Idle)
        return false;
    if (mode_ == Mode::Sequence)
        pumpAudio();
    finish(0, {});
    return true;
}

void Recorder::deviceFailed(const CaptureError& error)
{
    if (mode_ == Mode::Idle)
        return;
    // The window reports the error; dwReturn keeps why the capture ended.
    return_ = error.failed() ? DWORD(captureErrorId(error)) : DWORD(IDS_CAP_DRIVER_ERROR);
    finish(int(return_), {});
}

// Ends the capture: the file is finished, then the callbacks hear of it. With an error id
// and a text the error callback runs; a writer failure found at closing is reported too.
void Recorder::finish(int errorId, const std::string& text)
{
    if (mode_ == Mode::Idle)
        return;
    const Mode was = mode_;
    mode_ = Mode::Idle;   // first: the callbacks below may send messages
    stopTicks();
    elapsedUs_ = currentClock().monotonicUs() - startUs_;
    if (audio_)
        audio_->close();
    audio_.reset();
    std::string errorText = text;
    if (writer_ && was == Mode::SingleFrame) {
        // Nothing is queued behind single frames: closing costs no wait worth avoiding.
        CaptureError error = writer_->close();
        if (error.failed()) {
            const AviWriterStats stats = writer_->stats();
            cutShort_ = FileCounts{stats.frames, stats.dropped};
        }
        writer_.reset();
        if (error.failed() && !errorId) {
            errorId = captureErrorId(error);
            errorText = error.text;
        }
    } else if (writer_) {
        // The stop returns at once; the writer finishes the file on its thread and tells
        // the window, which hands the result to filesClosed.
        CaptureError error = writer_->error();
        const AviWriterStats stats = writer_->stats();
        unencoded_ = stats.unencoded;   // so far; the closed file's count follows
        if (error.failed()) {
            // Nothing more reaches the disk: the file holds what the writer counted.
            cutShort_ = FileCounts{stats.frames, stats.dropped};
        }
        writer_->extendTo(grid_.slots());   // slots after the last picture that reached it
        if (error.failed() && !errorId) {
            errorId = captureErrorId(error);
            errorText = error.text;
        }
        const HWND window = session_.window;
        writer_->finishAsync([window] { PostMessageA(window, WM_CAPTURE_FILE_CLOSED, 0, 0); });
        closing_.push_back({std::move(writer_), session_.fileName, error.failed(), captures_});
    }
    if (errorId)
        return_ = DWORD(errorId);
    if (errorId && !errorText.empty())
        host_->reportError(errorId, errorText.c_str());
    if (was == Mode::Sequence) {
        char summary[160];
        std::snprintf(summary, sizeof summary, "Capture ended: %llu frames (%llu dropped) in %.1f seconds",
                      static_cast<unsigned long long>(fileFrames()), static_cast<unsigned long long>(fileDropped()),
                      double(elapsedUs_) / 1e6);
        host_->reportStatus(IDS_CAP_END, summary);
    }
    host_->recordingEnded();
}

void Recorder::collectClosed(bool wait, const std::string& path)
{
    for (size_t i = 0; i < closing_.size();) {
        Closing& c = closing_[i];
        const bool wanted = wait && (path.empty() || c.path == path);
        if (!wanted && !c.writer->finished()) {
            ++i;
            continue;
        }
        CaptureError error = c.writer->close();
        if (mode_ == Mode::Idle && c.capture == captures_) {
            // The last capture's file: pictures its compressor refused are dropped frames,
            // and a file cut short by a failure holds what the writer counted.
            AviWriterStats stats = c.writer->stats();
            unencoded_ = stats.unencoded;
            if (error.failed())
                cutShort_ = FileCounts{stats.frames, stats.dropped};
        }
        const bool report = error.failed() && !c.reported;
        closing_.erase(closing_.begin() + ptrdiff_t(i));
        // A file's buffers go back to the system, not only to malloc: recording for days
        // must not keep the peak of a writer that once fell behind.
        malloc_trim(0);
        if (!report || !host_)
            continue;
        const int id = captureErrorId(error);
        if (mode_ == Mode::Idle)
            return_ = DWORD(id);
        host_->reportError(id, error.text.c_str());
    }
}

void Recorder::finishIfWriterFailed()
{
    if (writer_ && writer_->error().failed())
        finish(0, {});   // closing returns the error and reports it
}

uint64_t Recorder::fileFrames() const { return cutShort_ ? cutShort_->frames : grid_.slots(); }

uint64_t Recorder::fileDropped() const
{
    if (cutShort_)
        return cutShort_->dropped;
    const uint64_t writerDropped = writer_ ? writer_->stats().unencoded : unencoded_;
    return grid_.dropped() + writerDropped;
}

void Recorder::fillStatus(CAPSTATUS& status) const
{
    status.fCapturingNow = mode_ != Mode::Idle;
    status.dwCurrentVideoFrame = DWORD(fileFrames());
    if (ran_)
        status.dwCurrentVideoFramesDropped = DWORD(fileDropped());
    status.dwCurrentWaveSamples = DWORD(waveSamples_);
    const bool running = mode_ == Mode::Sequence;
    status.dwCurrentTimeElapsedMS = DWORD((running ? currentClock().monotonicUs() - startUs_ : elapsedUs_) / 1000);
    status.dwReturn = return_;
    // Video buffers in use: the frames handed to the writer and not yet on disk, at least one.
    const uint64_t slots = grid_.slots(), written = writer_ ? writer_->stats().frames : slots;
    status.wNumVideoAllocated = running ? uint32_t(std::max<uint64_t>(1, slots - std::min(slots, written))) : 0;
    status.wNumAudioAllocated = running && audio_ ? 1 : 0;
    if (audioFactory_)
        status.fAudioHardware = TRUE;   // a source of the caller's own always opens
}

bool Recorder::singleFrameOpen(const CaptureSession& session, CaptureRecorderHost& host)
{
    if (mode_ != Mode::Idle)
        return false;
    begin(session, host);
    if (!openFile(false))
        return false;
    mode_ = Mode::SingleFrame;
    return true;
}

bool Recorder::singleFrame(const VIDEOHDR& frame)
{
    if (mode_ != Mode::SingleFrame || !frame.lpData)
        return false;
    // Single frames are placed one slot apart, whatever their time.
    const bool ok = writeDib(frame.lpData, frame.dwBytesUsed, grid_.slots());
    if (ok)
        grid_.takeNext();
    finishIfWriterFailed();
    return ok && mode_ == Mode::SingleFrame;
}

bool Recorder::singleFrameClose()
{
    if (mode_ != Mode::SingleFrame)
        return false;
    finish(0, {});
    return return_ == 0;
}

// Space is not reserved ahead (the writer grows the file as it goes); the message checks
// that the file can be created.
bool Recorder::allocateFile(const std::string& fileName, DWORD bytes)
{
    (void)bytes;
    if (mode_ != Mode::Idle)
        return false;
    int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool Recorder::saveAs(const std::string& fileName, const std::string& newName)
{
    if (mode_ != Mode::Idle || newName.empty())
        return false;
    std::error_code error;
    return std::filesystem::copy_file(fileName, newName, std::filesystem::copy_options::overwrite_existing, error);
}

// Information chunks are not written.
bool Recorder::setInfoChunk(const void* chunk)
{
    (void)chunk;
    return false;
}
