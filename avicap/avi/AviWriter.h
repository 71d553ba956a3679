#pragma once
// Records a capture file on a worker thread. The capture side hands over pictures (24-bit
// bottom-up DIB rows, or a camera's own JPEG) each with its slot on the frame grid
// (FrameGrid.h), and PCM buffers stamped with the time of the clock in force
// (platform/Clock.h) at which their first sample was taken. The worker encodes each picture
// with the compressor of the format (Compressors.h), writes it into its slot of the file
// (slots without a picture become dropped frames), places the sound by its timestamps
// (SoundSync: the card's drift absorbed by slight resampling, silence only for lost sound,
// cuts only for repeated sound) and interleaves it with the video written so far; close()
// pads or trims the sound to the video's length, so the two durations match to a sample.
//
// Memory: pictures and sound wait in a queue, and what waits in the queues of all writers
// together is bounded (queueLimitBytes). A picture that would pass the bound less a reserve
// for sound is refused (its slot becomes a dropped frame); sound is refused only at the bound
// itself. A file's first picture is always taken.
//
// Failures: open() reports a file that cannot be created or a compressor that cannot start.
// A write error or a full disk stops the recording: the file is closed playable up to the
// last frame the disk took and error() returns it (the owner polls it; no program code runs
// on the worker). Pictures and buffers given after that are refused (add... returns false).
// A picture its compressor cannot encode leaves its slot empty and is counted.
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

#include "avicap/CaptureError.h"
#include "avicap/avi/AviMuxer.h"
#include "avicap/avi/AviTypes.h"
#include "avicap/avi/SoundSync.h"
#include "avicap/codec/VideoEncoder.h"

struct AviWriterConfig
{
    std::string path;
    AviVideoFormat video;
    int quality = 85;                      // the compression dialog's slider, 1..100
    std::optional<AviAudioFormat> audio;   // empty: no sound stream
    AviMuxerLimits limits;
    int64_t startUs = -1;                  // slot 0 on the clock in force; -1: at open()
    int flushIntervalMs = 500;             // how stale the readable part of the file may get
    int syncIntervalMs = 1000;             // fdatasync at most this often (0: never)
    size_t queueLimitBytes = size_t(64) << 20;   // waiting in all writers' queues together
    // Makes the encoder; empty: the compressor table's row of video.codec.
    std::function<std::unique_ptr<VideoEncoder>(const VideoEncoderConfig&, std::string&)> makeEncoder;
};

struct AviWriterStats
{
    uint64_t frames = 0;          // video chunks written, dropped ones included
    uint64_t dropped = 0;         // empty chunks: slots without a picture
    uint64_t unencoded = 0;       // pictures their compressor refused (among the dropped)
    uint64_t audioBytes = 0;
    uint64_t soundSilenceSamples = 0;   // sample frames of silence put where sound was lost
    uint64_t soundCutSamples = 0;       // sample frames dropped where sound came twice
    double soundRate = 1.0;             // the card's samples per file sample
    double soundOffsetMs = 0;           // sound behind the picture (ahead when negative)
    uint64_t fileBytes = 0;
    size_t queuedBytes = 0;       // waiting for the worker
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

    // Creates the file, starts the compressor and the worker.
    bool open(CaptureError* error = nullptr);
    // A picture for a slot after every slot given so far; false when refused.
    bool addFrame(const uint8_t* dib, size_t size, uint64_t slot);
    // The camera's own JPEG of the picture, for compressors that take it (Compressors.h).
    bool addJpeg(const uint8_t* jpeg, size_t size, uint64_t slot);
    bool addAudio(const uint8_t* pcm, size_t size, int64_t timestampUs);
    // The file holds at least this many slots: the last ones without a picture are dropped.
    void extendTo(uint64_t slots);
    // Writes everything queued, finishes the file and returns the error, if any.
    CaptureError close();
    // Lets the worker write what is queued and finish the file on its own; done runs on the
    // worker once the file is closed (it must only hand over, e.g. post a message). Nothing
    // more is accepted; close() then only collects the result.
    void finishAsync(std::function<void()> done);
    bool finished() const;
    // Waits until the worker has taken care of everything queued so far (written, or dropped
    // after a failure).
    void waitWritten();

    AviWriterStats stats() const;
    CaptureError error() const;
    // The settings in force (startUs set once open() has run).
    const AviWriterConfig& config() const { return config_; }

private:
    enum class Kind : uint8_t { Dib, Jpeg, Audio, Extend };
    struct Item
    {
        Kind kind;
        int64_t at;   // the slot of a picture or an extension, the timestamp of sound
        std::vector<uint8_t> data;
    };

    bool enqueue(Kind kind, const uint8_t* data, size_t size, int64_t at);
    void run();
    void processSafely(Item& item);
    void process(Item& item);
    void failWith(const CaptureError& error);
    void writePicture(const Item& item);
    bool fillSlotsBefore(uint64_t slot);
    void placeAudio(const uint8_t* data, size_t size, int64_t timestampUs);
    void writeAudioUpTo(uint64_t sampleEnd);
    void finishAudio();
    void maybeFlush(bool force);
    void reportIfFailed();
    uint64_t videoEndSample() const;

    AviWriterConfig config_;
    std::function<void()> onFinished_;   // guarded by mutex_
    std::unique_ptr<VideoEncoder> encoder_;
    std::unique_ptr<CaptureContainer> container_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;   // the queue ran dry, or the file is finished
    std::deque<Item> queue_;
    std::vector<std::vector<uint8_t>> spare_;
    size_t queuedBytes_ = 0;
    bool stopping_ = false;
    bool running_ = false;
    bool finished_ = false;   // the worker has closed the file
    bool takesJpeg_ = false;
    bool temporal_ = false;
    bool pictureQueued_ = false;
    CaptureError error_;
    CaptureError ownError_;   // a failure of the writer itself rather than of the file
    AviWriterStats stats_;
    std::thread worker_;

    // Worker-only state.
    uint64_t nextSlot_ = 0;   // slots written so far
    uint64_t unencoded_ = 0;
    std::optional<SoundSync> soundSync_;
    std::vector<uint8_t> pendingAudio_;   // samples not yet written, starting at audioWritten_
    uint64_t audioWritten_ = 0;           // in sample frames
    int64_t lastFlushMs_ = 0;
    int64_t lastSyncMs_ = 0;
    bool failed_ = false;
};
