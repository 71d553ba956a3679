#pragma once
// A simulated sound card whose sample clock runs ppm fast (or slow, when negative) against
// the clock in force: it makes rate * (1 + ppm / 1e6) sample frames per clock second and
// stamps each buffer, as a real card does, with the clock time its first frame was taken
// (plus, if asked, jitter from a fixed-seed generator). What it plays is a quiet tone (so
// inserted silence shows) with a sharp click at each whole clock second since it started,
// on the first channel only; the other channels carry the tone on a level of their own
// (4000 * channel on the 16-bit scale), so a mixed-up channel shows too.
#include <cstdint>
#include <random>

#include "avicap/audio/AudioInput.h"

class DriftingSoundCard : public AudioInput
{
public:
    static constexpr int kClick = 30000;
    static constexpr int kLevelStep = 4000;

    explicit DriftingSoundCard(int ppm, int jitterUs = 0, uint32_t seed = 7)
        : ppm_(ppm), jitterUs_(jitterUs), random_(seed)
    {
    }

    // Starts at the clock's present time.
    CaptureError open(const AviAudioFormat& format) override;
    // Everything taken since the last read, up to the clock's present time.
    bool read(AudioBuffer& buffer) override;
    void close() override { open_ = false; }

    // The same without the clock in force, for pure computation.
    void start(const AviAudioFormat& format, int64_t startUs);
    bool readUntil(int64_t nowUs, AudioBuffer& buffer);

    // The frame index of the click at whole second `second` (1, 2, ...) since the start.
    uint64_t clickFrame(uint64_t second) const;

private:
    int value(uint64_t frame, int channel);

    int ppm_;
    int jitterUs_;
    std::mt19937 random_;
    AviAudioFormat format_;
    bool open_ = false;
    int64_t startUs_ = 0;
    uint64_t produced_ = 0;
    uint64_t nextClick_ = 1;   // the second whose click comes next
};
