#pragma once
// One interface for every compressor: a picture in, one chunk of the file out. Encoders run
// on the writer's thread, one picture at a time, and hand each chunk back at once (no frame
// is held back), so a file cut off at any moment holds every frame written before the cut.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct VideoEncoderConfig
{
    int width = 0;
    int height = 0;
    uint32_t microSecPerFrame = 33333;
    int quality = 85;   // 1..100, the compression dialog's slider
};

// Bytes of a Kind::Dib picture: rows of 3 x width bytes, each padded to a multiple of 4.
inline size_t dibBytes(int width, int height)
{
    return ((size_t(width) * 3 + 3) & ~size_t(3)) * size_t(height);
}

struct VideoPicture
{
    enum class Kind
    {
        Dib,    // 24-bit BGR rows, last picture row first, each padded to 4 bytes
        Jpeg,   // the camera's own JPEG of the picture (only to encoders that take it)
    };
    Kind kind = Kind::Dib;
    const uint8_t* data = nullptr;
    size_t size = 0;
    uint64_t slot = 0;   // the picture's place on the frame grid of the file
};

struct EncodedFrame
{
    const uint8_t* data = nullptr;   // valid until the next encode
    size_t size = 0;
    bool keyFrame = true;   // decodable without the frames before it
};

class VideoEncoder
{
public:
    virtual ~VideoEncoder() = default;
    // False with the reason when the picture cannot be encoded; its slot then stays empty
    // (players repeat the picture before it) and the next picture is encoded as usual.
    virtual bool encode(const VideoPicture& picture, EncodedFrame& out, std::string& error) = 0;
};
