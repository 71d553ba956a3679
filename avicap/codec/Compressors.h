#pragma once
// The one table of compressors. The compression dialog lists its rows, the file's headers
// take their codes from it and the writer makes its encoder with the row's factory: adding a
// compressor is one encoder unit and one row here.
#include <memory>
#include <string>
#include <vector>

#include "avicap/codec/VideoCodec.h"
#include "avicap/codec/VideoEncoder.h"

// What the dialog's quality slider (1..100) means for a compressor.
enum class QualityScale
{
    None,         // the slider does not apply
    JpegQuality,  // the JPEG quality factor itself
    RateFactor,   // a constant rate factor, derived by the encoder (H264Encoder.h)
};

struct Compressor
{
    VideoCodec codec;
    const char* label;        // as the compression dialog lists it
    uint32_t handler;         // the stream header's handler code
    uint32_t compression;     // the format's compression code (0: uncompressed RGB)
    const char* chunkSuffix;  // "db" for uncompressed frames, "dc" for compressed ones
    QualityScale quality;
    bool temporal;            // frames depend on earlier ones: only key frames start a decode
    bool takesCameraJpeg;     // the camera's own JPEG can stand for the picture
    std::unique_ptr<VideoEncoder> (*make)(const VideoEncoderConfig& config, std::string& error);
};

// Every compressor, in the order the dialog lists them.
const std::vector<Compressor>& compressors();
// The row of a codec; an unknown value gets the first row.
const Compressor& compressorFor(VideoCodec codec);
