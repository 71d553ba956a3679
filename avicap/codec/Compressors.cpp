#include "avicap/codec/Compressors.h"

#include "avicap/avi/AviFormat.h"
#include "avicap/codec/H264Encoder.h"
#include "avicap/codec/MjpegVideoEncoder.h"
#include "avicap/codec/UncompressedEncoder.h"

const std::vector<Compressor>& compressors()
{
    static const std::vector<Compressor> table = {
        {VideoCodec::Uncompressed, "Full Frames (Uncompressed)", avi::fourcc("DIB "), 0, "db", QualityScale::None,
         false, false, &makeUncompressedEncoder},
        {VideoCodec::MotionJpeg, "Motion JPEG", avi::fourcc("MJPG"), avi::fourcc("MJPG"), "dc",
         QualityScale::JpegQuality, false, true, &makeMjpegVideoEncoder},
        {VideoCodec::H264, "H.264", avi::fourcc("H264"), avi::fourcc("H264"), "dc", QualityScale::RateFactor, true,
         true, &makeH264Encoder},
    };
    return table;
}

const Compressor& compressorFor(VideoCodec codec)
{
    for (const Compressor& c : compressors())
        if (c.codec == codec)
            return c;
    return compressors().front();
}
