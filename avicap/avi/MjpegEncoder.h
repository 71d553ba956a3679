#pragma once
// Motion JPEG frames from 24-bit bottom-up DIB rows through libjpeg-turbo, tuned for real
// time: fast DCT, 4:2:0 chroma, one output buffer reused for every frame.
#include <cstddef>
#include <cstdint>
#include <string>

class MjpegEncoder
{
public:
    explicit MjpegEncoder(int quality = 85);
    ~MjpegEncoder();
    MjpegEncoder(const MjpegEncoder&) = delete;
    MjpegEncoder& operator=(const MjpegEncoder&) = delete;

    void setQuality(int quality);
    // Encodes one frame (rows padded to 4 bytes). The result stays valid until the next call.
    bool encode(const uint8_t* dib, int width, int height, const uint8_t*& jpeg, size_t& size);
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    unsigned char* buffer_ = nullptr;
    size_t capacity_ = 0;
    int quality_;
    std::string error_;
};
