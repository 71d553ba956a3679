#pragma once
// A sine tone delivered at the pace of the clock in force: with a FakeClock a recording's
// sound is exactly known.
#include "avicap/audio/AudioInput.h"

class ToneAudioInput : public AudioInput
{
public:
    explicit ToneAudioInput(double hz = 440, int16_t amplitude = 8000) : hz_(hz), amplitude_(amplitude) {}

    CaptureError open(const AviAudioFormat& format) override;
    bool read(AudioBuffer& buffer) override;
    void close() override { open_ = false; }

private:
    double hz_;
    int16_t amplitude_;
    bool open_ = false;
    AviAudioFormat format_;
    int64_t startUs_ = 0;
    uint64_t produced_ = 0;
};
