#pragma once
// Sound for capture files: a source of PCM buffers stamped with the time (clock in force,
// platform/Clock.h) of their first sample, read without blocking.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "avicap/CaptureError.h"
#include "avicap/avi/AviTypes.h"

struct AudioBuffer
{
    std::vector<uint8_t> data;   // whole sample frames, S16_LE interleaved
    int64_t timestampUs = 0;
};

class AudioInput
{
public:
    virtual ~AudioInput() = default;
    virtual CaptureError open(const AviAudioFormat& format) = 0;
    // Fills buffer with what was captured since the last read; false when nothing is ready.
    virtual bool read(AudioBuffer& buffer) = 0;
    virtual void close() = 0;
};

// ALSA's default capture device.
std::unique_ptr<AudioInput> createAlsaAudioInput();
// Whether a default capture device opens (fAudioHardware).
bool audioHardwarePresent();
