#include "avicap/avi/AviWriter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <new>

#include "avicap/avi/MjpegMarkers.h"
#include "avicap/codec/Compressors.h"
#include "platform/Clock.h"

namespace {

// Room kept in the queue for sound: a writer behind on pictures still takes every buffer.
size_t soundReserve(size_t limit) { return limit / 8; }

// Bytes waiting in every writer's queue together. A writer still finishing the last file's
// backlog shares the bound with the one recording the next, so a roll-over under load does
// not double what is held.
std::atomic<size_t> queuedInAll{0};

bool reserve(size_t bytes, size_t room)
{
    size_t now = queuedInAll.load();
    do {
        if (now + bytes > room)
            return false;
    } while (!queuedInAll.compare_exchange_weak(now, now + bytes));
    return true;
}

}  // namespace

AviWriter::AviWriter(AviWriterConfig config) : config_(std::move(config)) {}

AviWriter::~AviWriter() { (void)close(); }

bool AviWriter::open(CaptureError* error)
{
    const AviVideoFormat& v = config_.video;
    const Compressor& codec = compressorFor(v.codec);
    const AviAudioFormat* a = config_.audio ? &*config_.audio : nullptr;
    std::string why;
    if (v.width <= 0 || v.height <= 0 || v.width > 32767 || v.height > 32767 || v.microSecPerFrame == 0) {
        error_ = captureFault(CaptureFault::BadInput, "Unusable video format for the capture file");
    } else if (codec.codec != v.codec) {
        error_ = captureFault(CaptureFault::BadInput, "No compressor for the chosen video format");
    } else if (a && (a->samplesPerSec == 0 || a->channels == 0 || (a->bitsPerSample != 8 && a->bitsPerSample != 16))) {
        error_ = captureFault(CaptureFault::BadInput, "Sound for the capture file must be 8- or 16-bit PCM");
    } else if (!(encoder_ = (config_.makeEncoder ? config_.makeEncoder : codec.make)(
                     {v.width, v.height, v.microSecPerFrame, config_.quality}, why))) {
        error_ = captureFault(CaptureFault::EncodeError, std::string("Cannot start the ") + codec.label + " compressor: " + why);
    } else {
        auto muxer = std::make_unique<AviMuxer>(config_.limits);
        if (muxer->open(config_.path, v, config_.audio)) {
            container_ = std::move(muxer);
            takesJpeg_ = codec.takesCameraJpeg;
            if (config_.startUs < 0)
                config_.startUs = currentClock().monotonicUs();
            if (config_.audio) {
                // A long hole of silence is written as it is made, not held whole.
                soundSync_.emplace(*config_.audio, config_.startUs,
                                   [this](std::vector<uint8_t>&) { writeAudioUpTo(videoEndSample()); });
            }
            temporal_ = codec.temporal;
            lastFlushMs_ = currentClock().monotonicMs();
            // The first flush syncs too: a file cut by a power loss just after it was
            // started is then on the disk, named in its folder.
            lastSyncMs_ = lastFlushMs_ - config_.syncIntervalMs;
            running_ = true;
            stats_.running = true;
            worker_ = std::thread([this] { run(); });
            return true;
        }
        error_ = muxer->error();
        encoder_.reset();
    }
    if (error)
        *error = error_;
    return false;
}

bool AviWriter::addFrame(const uint8_t* dib, size_t size, uint64_t slot)
{
    if (size != config_.video.dibBytes())
        return false;
    return enqueue(Kind::Dib, dib, size, int64_t(slot));
}

bool AviWriter::addJpeg(const uint8_t* jpeg, size_t size, uint64_t slot)
{
    if (!takesJpeg_)
        return false;
    JpegLayout layout;
    std::string why;
    if (!parseJpeg(jpeg, size, layout, why))
        return false;   // the slot stays empty and becomes a dropped frame
    return enqueue(Kind::Jpeg, jpeg, size, int64_t(slot));
}

bool AviWriter::addAudio(const uint8_t* pcm, size_t size, int64_t timestampUs)
{
    if (!config_.audio)
        return false;
    return enqueue(Kind::Audio, pcm, size, timestampUs);
}

void AviWriter::extendTo(uint64_t slots)
{
    // Holds no data, so no bound refuses it: the file ends where the grid does.
    std::lock_guard lock(mutex_);
    if (!running_ || stopping_ || error_.failed())
        return;
    queue_.push_back({Kind::Extend, int64_t(slots), {}});
    wake_.notify_one();
}

bool AviWriter::enqueue(Kind kind, const uint8_t* data, size_t size, int64_t at)
{
    std::unique_lock lock(mutex_);
    if (!running_ || stopping_ || error_.failed())
        return false;
    const size_t limit = config_.queueLimitBytes;
    const bool picture = kind == Kind::Dib || kind == Kind::Jpeg;
    if (picture && !pictureQueued_) {
        // A file's first picture is taken whatever the others hold: a file of dropped frames
        // alone plays in no player. One picture a writer beyond the bound at most.
        queuedInAll += size;
    } else if (!reserve(size, kind == Kind::Audio ? limit : limit - soundReserve(limit))) {
        return false;   // the writers are behind: a picture becomes a dropped frame, sound a gap
    }
    pictureQueued_ = pictureQueued_ || picture;
    Item item{kind, at, {}};
    if (size && !spare_.empty()) {
        item.data = std::move(spare_.back());
        spare_.pop_back();
    }
    queuedBytes_ += size;   // counted before the copy: two threads never pass the bound together
    lock.unlock();
    try {
        item.data.assign(data, data + size);
    } catch (const std::bad_alloc&) {
        lock.lock();
        queuedBytes_ -= size;
        queuedInAll -= size;
        return false;   // no memory for it: a dropped frame or a gap, like a full queue
    }
    lock.lock();
    queue_.push_back(std::move(item));
    lock.unlock();
    wake_.notify_one();
    return true;
}

CaptureError AviWriter::close()
{
    {
        std::lock_guard lock(mutex_);
        if (!running_)
            return error_;
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
    std::lock_guard lock(mutex_);
    running_ = false;
    stats_.running = false;
    return error_;
}

void AviWriter::finishAsync(std::function<void()> done)
{
    bool already;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        already = finished_ || !running_;
        if (!already)
            onFinished_ = std::move(done);
    }
    wake_.notify_one();
    if (already && done)
        done();
}

bool AviWriter::finished() const
{
    std::lock_guard lock(mutex_);
    return finished_ || !running_;
}

AviWriterStats AviWriter::stats() const
{
    std::lock_guard lock(mutex_);
    AviWriterStats s = stats_;
    s.queuedBytes = queuedBytes_;
    return s;
}

CaptureError AviWriter::error() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

void AviWriter::waitWritten()
{
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this] { return finished_ || !running_ || (queue_.empty() && queuedBytes_ == 0); });
}

void AviWriter::run()
{
    while (true) {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping_ || !queue_.empty(); });
        if (!queue_.empty()) {
            Item item = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            if (!failed_)
                processSafely(item);
            lock.lock();
            queuedBytes_ -= item.data.size();
            queuedInAll -= item.data.size();
            if (spare_.size() < 4 && item.data.capacity())
                spare_.push_back(std::move(item.data));
            if (queue_.empty())
                written_.notify_all();
        } else if (stopping_) {
            break;
        }
        lock.unlock();
        if (!failed_)
            maybeFlush(false);
        reportIfFailed();
    }
    if (!failed_) {
        try {
            finishAudio();
        } catch (const std::bad_alloc&) {
            failWith(captureFault(CaptureFault::OutOfMemory, "Out of memory while finishing the capture file"));
        }
        failed_ = !container_->close() || failed_;
    } else {
        container_->close();   // keeps what the disk took
    }
    reportIfFailed();
    encoder_.reset();   // its buffers are not needed while the owner collects the result
    std::function<void()> done;
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
        written_.notify_all();
        spare_.clear();
        spare_.shrink_to_fit();
        done.swap(onFinished_);
    }
    if (done)
        done();
}

// The worker's boundary: what process throws (memory running out) ends the file as a
// failure the owner hears of, keeping what was written.
void AviWriter::processSafely(Item& item)
{
    try {
        process(item);
    } catch (const std::bad_alloc&) {
        failWith(captureFault(CaptureFault::OutOfMemory, "Out of memory while writing the capture file"));
    } catch (const std::exception& e) {
        failWith(captureFault(CaptureFault::WriteError, std::string("The capture file could not be written: ") + e.what()));
    }
}

void AviWriter::failWith(const CaptureError& error)
{
    std::lock_guard lock(mutex_);
    if (error_.ok())
        ownError_ = error;
    failed_ = true;
}

void AviWriter::process(Item& item)
{
    switch (item.kind) {
    case Kind::Audio: placeAudio(item.data.data(), item.data.size(), item.at); break;
    case Kind::Dib:
    case Kind::Jpeg: writePicture(item); break;
    case Kind::Extend: fillSlotsBefore(uint64_t(item.at)); break;
    }
}

// Slots up to the given one that got no picture become dropped frames, each followed by the
// sound that belongs beside it.
bool AviWriter::fillSlotsBefore(uint64_t slot)
{
    while (nextSlot_ < slot && !failed_) {
        ++nextSlot_;
        failed_ = !container_->writeVideo(nullptr, 0, false);
        writeAudioUpTo(videoEndSample());
    }
    return !failed_;
}

void AviWriter::writePicture(const Item& item)
{
    const uint64_t slot = uint64_t(item.at);
    if (slot < nextSlot_ || !fillSlotsBefore(slot))
        return;
    const VideoPicture picture{item.kind == Kind::Jpeg ? VideoPicture::Kind::Jpeg : VideoPicture::Kind::Dib,
                               item.data.data(), item.data.size(), slot};
    EncodedFrame frame;
    std::string why;
    bool encoded = false;
    try {
        encoded = encoder_->encode(picture, frame, why);
    } catch (const std::exception&) {
        encoded = false;   // the slot stays empty like any picture that cannot be encoded
    }
    if (!encoded) {
        ++unencoded_;
        frame = {nullptr, 0, false};
    }
    ++nextSlot_;
    // Every frame of a compressor whose frames stand alone is a key frame, whatever it says.
    const bool key = frame.size && (frame.keyFrame || !temporal_);
    failed_ = !container_->writeVideo(frame.data, frame.size, key);
    writeAudioUpTo(videoEndSample());
}

uint64_t AviWriter::videoEndSample() const
{
    if (!config_.audio)
        return 0;
    return uint64_t((unsigned __int128)(nextSlot_ * config_.video.microSecPerFrame) *
                    config_.audio->samplesPerSec / 1000000u);
}

void AviWriter::placeAudio(const uint8_t* data, size_t size, int64_t timestampUs)
{
    soundSync_->place(data, size, timestampUs, pendingAudio_);
    writeAudioUpTo(videoEndSample());
    // A long hole once filled it: give the room back rather than keep it for the whole file.
    if (pendingAudio_.capacity() > SoundSync::kSpillBytes * 4 && pendingAudio_.size() < SoundSync::kSpillBytes)
        pendingAudio_.shrink_to_fit();
}

void AviWriter::writeAudioUpTo(uint64_t sampleEnd)
{
    if (!config_.audio || failed_ || sampleEnd <= audioWritten_ || pendingAudio_.empty())
        return;
    size_t block = config_.audio->blockAlign();
    uint64_t samples = std::min<uint64_t>(pendingAudio_.size() / block, sampleEnd - audioWritten_);
    if (samples == 0)
        return;
    size_t bytes = size_t(samples) * block;
    failed_ = !container_->writeAudio(pendingAudio_.data(), bytes);
    pendingAudio_.erase(pendingAudio_.begin(), pendingAudio_.begin() + ptrdiff_t(bytes));
    audioWritten_ += samples;
}

void AviWriter::finishAudio()
{
    if (!config_.audio)
        return;
    soundSync_->finish(pendingAudio_);
    size_t block = config_.audio->blockAlign();
    uint64_t end = videoEndSample();
    uint64_t have = audioWritten_ + pendingAudio_.size() / block;
    if (have < end) {
        // Silence: the middle of the range for 8-bit sound, zero for 16-bit.
        const uint8_t quiet = config_.audio->bitsPerSample == 8 ? 0x80 : 0;
        pendingAudio_.insert(pendingAudio_.end(), size_t(end - have) * block, quiet);
    }
    writeAudioUpTo(end);
    pendingAudio_.clear();
}

void AviWriter::maybeFlush(bool force)
{
    int64_t now = currentClock().monotonicMs();
    if (!force && now - lastFlushMs_ < config_.flushIntervalMs)
        return;
    bool sync = config_.syncIntervalMs > 0 && now - lastSyncMs_ >= config_.syncIntervalMs;
    failed_ = !container_->flush(sync) || failed_;
    lastFlushMs_ = now;
    if (sync)
        lastSyncMs_ = now;
}

void AviWriter::reportIfFailed()
{
    const ContainerCounts counts = container_->counts();
    std::lock_guard lock(mutex_);
    stats_.frames = counts.videoFrames;
    stats_.dropped = counts.droppedFrames;
    stats_.unencoded = unencoded_;
    stats_.audioBytes = counts.audioBytes;
    if (soundSync_) {
        const SoundSync::Stats& sound = soundSync_->stats();
        stats_.soundSilenceSamples = sound.silenceSamples;
        stats_.soundCutSamples = sound.cutSamples;
        stats_.soundRate = sound.rate;
        stats_.soundOffsetMs = sound.offsetMs;
    }
    stats_.fileBytes = counts.fileBytes;
    stats_.riffs = counts.parts;
    if (!failed_ || error_.failed())
        return;
    error_ = ownError_.failed() ? ownError_ : container_->error();
    // Nothing more will be written: drop what is still queued. A picture being handed over
    // right now is counted until the worker takes it out of the queue.
    for (const Item& item : queue_) {
        queuedBytes_ -= item.data.size();
        queuedInAll -= item.data.size();
    }
    queue_.clear();
    written_.notify_all();
}
