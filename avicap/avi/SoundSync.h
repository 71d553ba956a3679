#pragma once
// Places a sound card's PCM on a capture file's timeline. The card's sample clock runs a few
// hundred ppm away from the clock the pictures are stamped with, so sound written as it
// comes drifts off the picture (half a second in half an hour). Each buffer carries the time
// its first sample was taken; the offset between where that sample lands in the output and
// where its time says it belongs steers a very slight resampling (a phase-locked loop), so
// drift is absorbed a little at a time and nothing is inserted or cut while sound flows.
//
// Only a real hole or overlap in the timestamps (beyond kStepUs: an overrun, a device lost
// and back, a buffer delivered twice) becomes silence or a cut. The first buffer is aligned
// to the file's start by its timestamp (silence before it or its early part dropped), which
// is not counted as a correction.
//
// State is a few numbers and the last few input frames: nothing grows with the recording.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "avicap/avi/AviTypes.h"

class SoundSync
{
public:
    // Offsets beyond this are a hole or an overlap, not drift or jitter.
    static constexpr int64_t kStepUs = 50000;
    // The most the resampling may speed up or slow down the sound.
    static constexpr double kMaxCorrection = 0.005;

    // Called with the output when a long hole of silence has filled it past kSpillBytes, so
    // the owner can write what it may before more is added (it may take frames off the front).
    using Spill = std::function<void(std::vector<uint8_t>&)>;
    static constexpr size_t kSpillBytes = size_t(1) << 20;

    // startUs: the time of the file's first frame slot on the clock in force. 8- or 16-bit
    // PCM only.
    SoundSync(const AviAudioFormat& format, int64_t startUs, Spill spill = {});

    // Takes a buffer of interleaved PCM in the file's format (whole sample frames; 8-bit
    // unsigned or 16-bit signed little endian) whose first sample was taken at timestampUs,
    // and appends to out the sample frames the file should hold next.
    void place(const uint8_t* pcm, size_t bytes, int64_t timestampUs, std::vector<uint8_t>& out);

    // Appends the last few frames, which the resampler holds until it sees what follows
    // them: at the end of the recording.
    void finish(std::vector<uint8_t>& out);

    struct Stats
    {
        uint64_t silenceSamples = 0;   // sample frames of silence put in holes
        uint64_t cutSamples = 0;       // input sample frames dropped for overlaps
        uint64_t gaps = 0;
        uint64_t overlaps = 0;
        double rate = 1.0;             // input samples consumed per output sample
        double offsetMs = 0;           // smoothed sound-minus-picture offset (late sound > 0)
    };
    const Stats& stats() const { return stats_; }

private:
    // Feeds input frames (null: silence) through the resampler, appending output frames.
    void resample(const uint8_t* pcm, size_t frames, std::vector<uint8_t>& out);
    void steer(double offsetSec, double bufferSec);
    void reserve(size_t frames, std::vector<uint8_t>& out) const;
    void spillIfLarge(std::vector<uint8_t>& out);
    void load(const uint8_t* pcm, size_t frames);
    // Resamples the frames load() put after the tail.
    void advance(size_t frames, std::vector<uint8_t>& out);
    uint8_t* emit(float value, uint8_t* p) const;

    AviAudioFormat format_;
    int64_t startUs_;
    size_t block_;
    bool started_ = false;
    Spill spill_;

    // The resampler: output frame outFrames_ is read at input position posInt_ + posFrac_
    // (input frames counted from the first one placed); each output frame moves it by ratio_.
    uint64_t outFrames_ = 0;
    int64_t inFrames_ = 0;
    int64_t posInt_ = 0;
    double posFrac_ = 0;
    double ratio_ = 1.0;

    // The loop: smoothed offset (s) and the integrator, which settles on the card's rate.
    double filtered_ = 0;
    double integral_ = 0;

    // The last kTail input frames per channel, then the frames being resampled (floats).
    static constexpr size_t kTail = 3;
    std::vector<float> work_;
    size_t tailFrames_ = 0;

    Stats stats_;
};
