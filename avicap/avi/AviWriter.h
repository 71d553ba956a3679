#pragma once
// Records a capture file on a worker thread. The capture side hands over frames (24-bit
// bottom-up DIB rows, or a camera's own JPEG) and PCM buffers, each stamped with the time of
// the clock in force (platform/Clock.h) at which it was taken; the worker encodes, places
// frames on the frame grid and writes.
//
// Timing: frame slot = (timestamp - start) / microSecPerFrame, rounded. A frame for a slot
// already filled is skipped; a gap in the grid becomes dropped frames (zero-length chunks,
// shown as repeats by players), counted in stats().dropped. Audio is placed by its
// timestamps too (silence fills gaps, early samples are cut) and written only up to the end
// of the video written so far; close() pads or trims the sound to the video's length, so the
// two durations match to a sample.
//
// Failures: open() reports a file that cannot be created. A write error or a full disk stops
// the recording: the file is closed playable up to the last frame the disk took and error()
// returns it (the owner polls it; no program code runs on the worker). Frames and buffers
// given after that are refused (add... returns false).
//
// Threads: the owner's thread calls every public member; the worker runs run() and owns
// the fields marked worker-only. The queue, spare buffers, flags, error and stats are
// guarded by mutex_; config_ is fixed once open() has started the worker.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "avicap/avi/AviError.h"
#include "avicap/avi/AviMuxer.h"
#include "avicap/avi/AviTypes.h"

struct AviWriterConfig
{
    std::string path;
    AviVideoFormat video;
    int jpegQuality = 85;
    std::optional<AviAudioFormat> audio;   // empty: no sound stream
    AviMuxerLimits limits;
    int64_t startUs = -1;                  // recording start on the clock in force; -1: at open()
    int flushIntervalMs = 500;             // how stale the readable part of the file may get
    int syncIntervalMs = 1000;             // fdatasync at most this often (0: never)
    size_t queueLimitBytes = size_t(256) << 20;   // beyond it frames are dropped, not queued
};

struct AviWriterStats
{
    uint64_t frames = 0;      // video chunks written, dropped ones included
    uint64_t dropped = 0;     // zero-length chunks for frames that never came
    uint64_t skipped = 0;     // frames that came for a slot already filled
    uint64_t audioBytes = 0;
    uint64_t fileBytes = 0;
    int riffs = 1;   // RIFF AVI plus AVIX continuations
    bool running = false;
};

class AviWriter
{
public:
    explicit AviWriter(AviWriterConfig config);
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates the file and starts the worker.
    bool open(AviError* error = nullptr);
    bool addFrame(const uint8_t* dib, size_t size, int64_t timestampUs);
    bool addJpeg(const uint8_t* jpeg, size_t size, int64_t timestampUs);
    bool addAudio(const uint8_t* pcm, size_t size, int64_t timestampUs);
    // Writes everything queued, finishes the file and returns the error, if any.
    AviError close();
    // Lets the worker write what is queued and finish the file on its own; done runs on the
    // worker once the file is closed (it must only hand over, e.g. post a message). Nothing
    // more is accepted; close() then only collects the result.
    void finishAsync(std::function<void()> done);
    bool finished() const;

    AviWriterStats stats() const;
    AviError error() const;

private:
    enum class Kind : uint8_t { Dib, Jpeg, Audio };
    struct Item
    {
        Kind kind;
        int64_t timestampUs;
        std::vector<uint8_t> data;
    };

    bool enqueue(Kind kind, const uint8_t* data, size_t size, int64_t timestampUs);
    void run();
    void process(Item& item);
    void writeFrame(const uint8_t* data, size_t size, int64_t timestampUs);
    void placeAudio(const uint8_t* data, size_t size, int64_t timestampUs);
    void writeAudioUpTo(uint64_t sampleEnd);
    void finishAudio();
    void maybeFlush(bool force);
    void reportIfFailed();
    uint64_t videoEndSample() const;

    AviWriterConfig config_;
    std::function<void()> onFinished_;   // guarded by mutex_
    std::unique_ptr<class MjpegEncoder> encoder_;
    AviMuxer muxer_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Item> queue_;
    std::vector<std::vector<uint8_t>> spare_;
    size_t queuedBytes_ = 0;
    bool stopping_ = false;
    bool running_ = false;
    bool finished_ = false;   // the worker has closed the file
    AviError error_;
    AviWriterStats stats_;
    std::thread worker_;

    // Worker-only state.
    uint64_t nextSlot_ = 0;
    uint64_t skipped_ = 0;
    std::vector<uint8_t> pendingAudio_;   // samples not yet written, starting at audioWritten_
    uint64_t audioWritten_ = 0;           // in sample frames
    std::vector<uint8_t> scratch_;
    int64_t lastFlushMs_ = 0;
    int64_t lastSyncMs_ = 0;
    bool failed_ = false;
};
