#pragma once
// Camera pixels to the 24-bit bottom-up BGR rows of a CaptureFrame. YUYV has its own
// converter and Motion JPEG goes to libjpeg-turbo, which writes bottom-up BGR directly:
// per 1920x1080 frame 3.9 and 4.9 ms against 5.4 and 5.7 ms through libv4lconvert plus a
// row flip (bench/ConvertBench). Every other format libv4lconvert knows goes through it to
// BGR24, then rows are flipped.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct V4l2PixelLayout
{
    uint32_t fourcc = 0;
    int width = 0;
    int height = 0;
    uint32_t bytesPerLine = 0;   // 0 for compressed formats
};

// Largest picture side taken from a driver; anything bigger is treated as a driver fault.
constexpr int kMaxV4l2Side = 8192;

class V4l2Converter
{
public:
    V4l2Converter();
    ~V4l2Converter();
    V4l2Converter(const V4l2Converter&) = delete;
    V4l2Converter& operator=(const V4l2Converter&) = delete;

    static bool supports(uint32_t fourcc);
    static bool isJpeg(uint32_t fourcc);
    // Fills out with 3 x width x height bytes, last row first. False (and a reason in
    // error()) for a frame that is short, corrupt or of another size than the layout.
    bool convert(const V4l2PixelLayout& layout, const uint8_t* data, size_t size,
                 std::vector<uint8_t>& out);
    // The slower general path, for every format libv4lconvert knows (benchmarks, tests).
    bool convertWithLibrary(const V4l2PixelLayout& layout, const uint8_t* data, size_t size,
                            std::vector<uint8_t>& out);
    const std::string& error() const { return error_; }

private:
    bool convertJpeg(const V4l2PixelLayout& layout, const uint8_t* data, size_t size,
                     std::vector<uint8_t>& out);

    void* jpeg_ = nullptr;                 // tjhandle
    struct v4lconvert_data* library_ = nullptr;
    std::vector<uint8_t> scratch_;
    std::string error_;
};

// The bytes a whole frame of an uncompressed layout needs (rows of bytesPerLine, or of the
// format's least row when bytesPerLine is smaller), planes included; 0 for compressed or
// unknown formats. libv4lconvert reads this much without checking, so shorter frames are
// refused before they reach it, and buffers smaller than this are refused at streaming.
size_t v4l2FrameBytes(const V4l2PixelLayout& layout);

// Packed 4:2:2 (Y0 U Y1 V) rows, BT.601 studio range, to bottom-up BGR.
void convertYuyvToBgrBottomUp(const uint8_t* src, uint32_t bytesPerLine, int width, int height,
                              uint8_t* dst);
