#pragma once
// One I420 picture (4:2:0 planar, full-range BT.601 as JPEG codes it), refilled for every
// frame from a DIB or straight from a camera's JPEG. The JPEG's own planes are kept as they
// are (no detour through RGB) whenever its subsampling allows it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class YuvPlanes
{
public:
    // Odd sizes get planes padded to even, the padding repeating the last column and row.
    YuvPlanes(int width, int height);
    ~YuvPlanes();
    YuvPlanes(const YuvPlanes&) = delete;
    YuvPlanes& operator=(const YuvPlanes&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    // Plane 0 is Y, 1 is U (Cb), 2 is V (Cr).
    uint8_t* plane(int i) { return buffer_.data() + offset_[i]; }
    const uint8_t* plane(int i) const { return buffer_.data() + offset_[i]; }
    int stride(int i) const { return i == 0 ? lumaStride_ : chromaStride_; }
    int planeHeight(int i) const { return i == 0 ? lumaHeight_ : chromaHeight_; }

    // 24-bit BGR rows, last picture row first, each padded to a multiple of 4 bytes.
    bool fromDib(const uint8_t* dib, size_t size, std::string& error);
    // A camera's JPEG of exactly this size, with or without its Huffman tables.
    bool fromJpeg(const uint8_t* jpeg, size_t size, std::string& error);

private:
    bool decodeToPlanes(const uint8_t* jpeg, size_t size, uint8_t** planes, int* strides, std::string& error);
    bool viaBgr(const uint8_t* jpeg, size_t size, std::string& error);
    void repeatLumaEdges();

    int width_;
    int height_;
    int lumaStride_;
    int lumaHeight_;
    int chromaStride_;
    int chromaHeight_;
    size_t offset_[3] = {};
    std::vector<uint8_t> buffer_;
    std::vector<uint8_t> scratch_;     // full chroma of 4:2:2 and 4:4:4 JPEGs, BGR of the rest
    std::vector<uint8_t> completed_;   // a JPEG given the standard Huffman tables
    void* compressor_ = nullptr;
    void* decompressor_ = nullptr;
};
