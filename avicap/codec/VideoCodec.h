#pragma once
// The compressors a recording can use, one per row of the compressor table (Compressors.h).
enum class VideoCodec
{
    Uncompressed,   // 24-bit bottom-up DIB frames, rows padded to 4 bytes
    MotionJpeg,
    H264,
};
