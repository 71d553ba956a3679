#pragma once
// Stream formats of a capture file.
#include <cstdint>

#include "avicap/codec/VideoCodec.h"

struct AviVideoFormat
{
    int32_t width = 0;
    int32_t height = 0;
    uint32_t microSecPerFrame = 33333;
    VideoCodec codec = VideoCodec::MotionJpeg;

    uint32_t stride() const { return (uint32_t(width) * 3 + 3) & ~3u; }
    uint32_t dibBytes() const { return stride() * uint32_t(height); }
};

struct AviAudioFormat
{
    uint32_t samplesPerSec = 8000;
    uint16_t channels = 1;
    uint16_t bitsPerSample = 16;

    uint16_t blockAlign() const { return uint16_t(channels * ((bitsPerSample + 7) / 8)); }
    uint32_t bytesPerSec() const { return samplesPerSec * blockAlign(); }
};
