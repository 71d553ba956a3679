#include "avicap/avi/AviWriter.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "avicap/avi/MjpegEncoder.h"
#include "avicap/avi/MjpegMarkers.h"
#include "platform/Clock.h"

AviWriter::AviWriter(AviWriterConfig config) : config_(std::move(config)) {}

AviWriter::~AviWriter() { close(); }

bool AviWriter::open(AviError* error)
{
    const AviVideoFormat& v = config_.video;
    if (v.width <= 0 || v.height <= 0 || v.width > 32767 || v.height > 32767 || v.microSecPerFrame == 0) {
        error_ = {AviErrorCode::BadInput, 0, "Unusable video format for the capture file"};
    } else if (muxer_.open(config_.path, v, config_.audio, config_.limits)) {
        if (v.codec == AviCodec::Mjpeg)
            encoder_ = std::make_unique<MjpegEncoder>(config_.jpegQuality);
        if (config_.startUs < 0)
            config_.startUs = currentClock().monotonicUs();
        lastFlushMs_ = lastSyncMs_ = currentClock().monotonicMs();
        running_ = true;
        stats_.running = true;
        worker_ = std::thread([this] { run(); });
        return true;
    } else {
        error_ = muxer_.error();
    }
    if (error)
        *error = error_;
    return false;
}

bool AviWriter::addFrame(const uint8_t* dib, size_t size, int64_t timestampUs)
{
    if (size != config_.video.dibBytes())
        return false;
    return enqueue(Kind::Dib, dib, size, timestampUs);
}

bool AviWriter::addJpeg(const uint8_t* jpeg, size_t size, int64_t timestampUs)
{
    if (config_.video.codec != AviCodec::Mjpeg)
        return false;
    JpegLayout layout;
    std::string why;
    if (!parseJpeg(jpeg, size, layout, why))
        return false;   // the slot stays empty and becomes a dropped frame
    return enqueue(Kind::Jpeg, jpeg, size, timestampUs);
}

bool AviWriter::addAudio(const uint8_t* pcm, size_t size, int64_t timestampUs)
{
    if (!config_.audio)
        return false;
    return enqueue(Kind::Audio, pcm, size, timestampUs);
}

bool AviWriter::enqueue(Kind kind, const uint8_t* data, size_t size, int64_t timestampUs)
{
    std::unique_lock lock(mutex_);
    if (!running_ || stopping_ || error_)
        return false;
    if (kind != Kind::Audio && queuedBytes_ + size > config_.queueLimitBytes)
        return false;   // the writer is behind: this frame becomes a dropped one
    Item item{kind, timestampUs, {}};
    if (!spare_.empty()) {
        item.data = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    item.data.assign(data, data + size);
    lock.lock();
    queuedBytes_ += size;
    queue_.push_back(std::move(item));
    lock.unlock();
    wake_.notify_one();
    return true;
}

AviError AviWriter::close()
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
    return stats_;
}

AviError AviWriter::error() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

void AviWriter::run()
{
    while (true) {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping_ || !queue_.empty(); });
        if (!queue_.empty()) {
            Item item = std::move(queue_.front());
            queue_.pop_front();
            queuedBytes_ -= item.data.size();
            lock.unlock();
            if (!failed_)
                process(item);
            lock.lock();
            if (spare_.size() < 4)
                spare_.push_back(std::move(item.data));
        } else if (stopping_) {
            break;
        }
        lock.unlock();
        if (!failed_)
            maybeFlush(false);
        reportIfFailed();
    }
    if (!failed_) {
        finishAudio();
        failed_ = !muxer_.close();
    }
    reportIfFailed();
    std::function<void()> done;
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
        done.swap(onFinished_);
    }
    if (done)
        done();
}

void AviWriter::process(Item& item)
{
    switch (item.kind) {
    case Kind::Audio:
        placeAudio(item.data.data(), item.data.size(), item.timestampUs);
        break;
    case Kind::Jpeg: {
        std::string why;
        if (completeJpeg(item.data.data(), item.data.size(), scratch_, why))
            writeFrame(scratch_.data(), scratch_.size(), item.timestampUs);
        break;
    }
    case Kind::Dib:
        if (encoder_) {
            const uint8_t* jpeg = nullptr;
            size_t size = 0;
            if (encoder_->encode(item.data.data(), config_.video.width, config_.video.height, jpeg, size))
                writeFrame(jpeg, size, item.timestampUs);
        } else {
            writeFrame(item.data.data(), item.data.size(), item.timestampUs);
        }
        break;
    }
}

uint64_t AviWriter::videoEndSample() const
{
    if (!config_.audio)
        return 0;
    return uint64_t((unsigned __int128)(nextSlot_ * config_.video.microSecPerFrame) *
                    config_.audio->samplesPerSec / 1000000u);
}

void AviWriter::writeFrame(const uint8_t* data, size_t size, int64_t timestampUs)
{
    int64_t since = std::max<int64_t>(0, timestampUs - config_.startUs);
    uint64_t interval = config_.video.microSecPerFrame;
    uint64_t slot = (uint64_t(since) + interval / 2) / interval;
    if (slot < nextSlot_) {
        ++skipped_;
        return;
    }
    while (nextSlot_ < slot && !failed_) {
        ++nextSlot_;
        failed_ = !muxer_.writeVideo(nullptr, 0);
        writeAudioUpTo(videoEndSample());
    }
    if (failed_)
        return;
    ++nextSlot_;
    failed_ = !muxer_.writeVideo(data, size);
    writeAudioUpTo(videoEndSample());
}

void AviWriter::placeAudio(const uint8_t* data, size_t size, int64_t timestampUs)
{
    const AviAudioFormat& a = *config_.audio;
    size_t block = a.blockAlign();
    size -= size % block;
    int64_t expected = (timestampUs - config_.startUs) * int64_t(a.samplesPerSec) / 1000000;
    int64_t have = int64_t(audioWritten_ + pendingAudio_.size() / block);
    int64_t tolerance = std::max<int64_t>(1, int64_t(a.samplesPerSec) * config_.video.microSecPerFrame / 1000000);
    int64_t gap = expected - have;
    if (gap > tolerance) {
        pendingAudio_.insert(pendingAudio_.end(), size_t(gap) * block, 0);   // lost sound: silence
    } else if (gap < -tolerance) {
        size_t cut = std::min(size, size_t(-gap) * block);   // sound from before the start or overlapping
        data += cut;
        size -= cut;
    }
    pendingAudio_.insert(pendingAudio_.end(), data, data + size);
    writeAudioUpTo(videoEndSample());
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
    failed_ = !muxer_.writeAudio(pendingAudio_.data(), bytes);
    pendingAudio_.erase(pendingAudio_.begin(), pendingAudio_.begin() + ptrdiff_t(bytes));
    audioWritten_ += samples;
}

void AviWriter::finishAudio()
{
    if (!config_.audio)
        return;
    size_t block = config_.audio->blockAlign();
    uint64_t end = videoEndSample();
    uint64_t have = audioWritten_ + pendingAudio_.size() / block;
    if (have < end)
        pendingAudio_.insert(pendingAudio_.end(), size_t(end - have) * block, 0);
    writeAudioUpTo(end);
    pendingAudio_.clear();
}

void AviWriter::maybeFlush(bool force)
{
    int64_t now = currentClock().monotonicMs();
    if (!force && now - lastFlushMs_ < config_.flushIntervalMs)
        return;
    bool sync = config_.syncIntervalMs > 0 && now - lastSyncMs_ >= config_.syncIntervalMs;
    failed_ = !muxer_.flush(sync) || failed_;
    lastFlushMs_ = now;
    if (sync)
        lastSyncMs_ = now;
}

void AviWriter::reportIfFailed()
{
    {
        std::lock_guard lock(mutex_);
        stats_.frames = muxer_.videoFrames();
        stats_.dropped = muxer_.droppedFrames();
        stats_.skipped = skipped_;
        stats_.audioBytes = muxer_.audioBytes();
        stats_.fileBytes = muxer_.fileSize();
        stats_.riffs = muxer_.riffs();
        if (!failed_ || error_)
            return;
        error_ = muxer_.error();
        // Nothing more will be written: drop what is still queued.
        queue_.clear();
        queuedBytes_ = 0;
    }
}
