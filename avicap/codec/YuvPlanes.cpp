#include "avicap/codec/YuvPlanes.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>

#include "avicap/avi/MjpegMarkers.h"

namespace {

// A warning (damaged entropy data, say) still leaves a whole picture, the one a player of the
// camera's own Motion JPEG would show; only a fatal error loses it.
bool failed(void* handle, int result) { return result != 0 && tjGetErrorCode(handle) != TJERR_WARNING; }

std::string why(const char* what, void* handle) { return std::string(what) + ": " + tjGetErrorStr2(handle); }

// 4:2:2 chroma (half width, every row) to 4:2:0: the mean of each pair of rows.
void averageRowPairs(const uint8_t* src, int width, int rows, uint8_t* dst, int dstStride, int dstRows)
{
    for (int y = 0; y < dstRows; ++y) {
        const uint8_t* a = src + size_t(2 * y) * size_t(width);
        const uint8_t* b = src + size_t(std::min(2 * y + 1, rows - 1)) * size_t(width);
        uint8_t* d = dst + size_t(y) * size_t(dstStride);
        for (int x = 0; x < width; ++x)
            d[x] = uint8_t((a[x] + b[x] + 1) >> 1);
    }
}

// 4:4:4 chroma to 4:2:0: the mean of each 2x2 block (an odd last column or row stands alone).
void averageBlocks(const uint8_t* src, int width, int rows, uint8_t* dst, int dstStride, int dstRows)
{
    const int pairs = width / 2;
    for (int y = 0; y < dstRows; ++y) {
        const uint8_t* a = src + size_t(2 * y) * size_t(width);
        const uint8_t* b = src + size_t(std::min(2 * y + 1, rows - 1)) * size_t(width);
        uint8_t* d = dst + size_t(y) * size_t(dstStride);
        for (int x = 0; x < pairs; ++x)
            d[x] = uint8_t((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) >> 2);
        if (width % 2)
            d[pairs] = uint8_t((a[width - 1] + b[width - 1] + 1) >> 1);
    }
}

}  // namespace

YuvPlanes::YuvPlanes(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      // Rows start 32-byte aligned, which the encoder's copy of the picture likes.
      lumaStride_((width_ + 31) & ~31),
      lumaHeight_((height_ + 1) & ~1),
      chromaStride_(lumaStride_ / 2),
      chromaHeight_(lumaHeight_ / 2)
{
    const size_t luma = size_t(lumaStride_) * size_t(lumaHeight_);
    const size_t chroma = size_t(chromaStride_) * size_t(chromaHeight_);
    offset_[1] = luma;
    offset_[2] = luma + chroma;
    buffer_.assign(luma + 2 * chroma, 128);
    compressor_ = tjInitCompress();
    decompressor_ = tjInitDecompress();
}

YuvPlanes::~YuvPlanes()
{
    if (compressor_)
        tjDestroy(compressor_);
    if (decompressor_)
        tjDestroy(decompressor_);
}

bool YuvPlanes::fromDib(const uint8_t* dib, size_t size, std::string& error)
{
    if (!compressor_) {
        error = "the YUV converter could not be started";
        return false;
    }
    if (width_ == 0 || height_ == 0) {
        error = "empty picture";
        return false;
    }
    const size_t pitch = (size_t(width_) * 3 + 3) & ~size_t(3);
    if (!dib || size < pitch * size_t(height_)) {
        error = "the picture holds " + std::to_string(size) + " bytes, a " + std::to_string(width_) + "x" +
                std::to_string(height_) + " DIB needs " + std::to_string(pitch * size_t(height_));
        return false;
    }
    uint8_t* planes[3] = {plane(0), plane(1), plane(2)};
    int strides[3] = {stride(0), stride(1), stride(2)};
    if (tjEncodeYUVPlanes(compressor_, dib, width_, int(pitch), height_, TJPF_BGR, planes, strides, TJSAMP_420,
                          TJFLAG_BOTTOMUP) != 0) {
        error = why("converting the picture to YUV failed", compressor_);
        return false;
    }
    repeatLumaEdges();
    return true;
}

bool YuvPlanes::fromJpeg(const uint8_t* jpeg, size_t size, std::string& error)
{
    if (!decompressor_ || !compressor_) {
        error = "the JPEG decoder could not be started";
        return false;
    }
    JpegLayout layout;
    if (!jpeg || !parseJpeg(jpeg, size, layout, error))
        return false;
    if (!layout.hasHuffmanTables) {
        if (!completeJpeg(jpeg, size, completed_, error))
            return false;
        jpeg = completed_.data();
        size = completed_.size();
    }
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(decompressor_, jpeg, size, &width, &height, &subsamp, &colorspace) != 0) {
        error = why("unreadable JPEG header", decompressor_);
        return false;
    }
    if (width != width_ || height != height_) {
        error = "the camera's JPEG is " + std::to_string(width) + "x" + std::to_string(height) + ", the recording " +
                std::to_string(width_) + "x" + std::to_string(height_);
        return false;
    }
    uint8_t* planes[3] = {plane(0), plane(1), plane(2)};
    int strides[3] = {stride(0), stride(1), stride(2)};
    if (colorspace == TJCS_GRAY) {
        if (!decodeToPlanes(jpeg, size, planes, strides, error))
            return false;
        std::memset(plane(1), 128, size_t(chromaStride_) * size_t(chromaHeight_) * 2);   // U, V in one run
    } else if (colorspace == TJCS_YCbCr && subsamp == TJSAMP_420) {
        if (!decodeToPlanes(jpeg, size, planes, strides, error))
            return false;
    } else if (colorspace == TJCS_YCbCr && (subsamp == TJSAMP_422 || subsamp == TJSAMP_444)) {
        // Luma lands in place; the chroma planes, taller (and for 4:4:4 wider), go to scratch.
        const int chromaWidth = tjPlaneWidth(1, width_, subsamp);
        const size_t chroma = size_t(chromaWidth) * size_t(height_);
        scratch_.resize(2 * chroma);
        uint8_t* full[3] = {plane(0), scratch_.data(), scratch_.data() + chroma};
        int fullStrides[3] = {lumaStride_, chromaWidth, chromaWidth};
        if (!decodeToPlanes(jpeg, size, full, fullStrides, error))
            return false;
        for (int c = 1; c <= 2; ++c) {
            if (subsamp == TJSAMP_422)
                averageRowPairs(full[c], chromaWidth, height_, plane(c), chromaStride_, chromaHeight_);
            else
                averageBlocks(full[c], chromaWidth, height_, plane(c), chromaStride_, chromaHeight_);
        }
    } else if (!viaBgr(jpeg, size, error)) {   // 4:4:0, 4:1:1, RGB-coded: rare enough
        return false;
    }
    repeatLumaEdges();
    return true;
}

bool YuvPlanes::decodeToPlanes(const uint8_t* jpeg, size_t size, uint8_t** planes, int* strides, std::string& error)
{
    if (failed(decompressor_, tjDecompressToYUVPlanes(decompressor_, jpeg, size, planes, width_, strides, height_, 0))) {
        error = why("JPEG decoding failed", decompressor_);
        return false;
    }
    return true;
}

bool YuvPlanes::viaBgr(const uint8_t* jpeg, size_t size, std::string& error)
{
    const int pitch = width_ * 3;
    scratch_.resize(size_t(pitch) * size_t(height_));
    if (failed(decompressor_,
               tjDecompress2(decompressor_, jpeg, size, scratch_.data(), width_, pitch, height_, TJPF_BGR, 0))) {
        error = why("JPEG decoding failed", decompressor_);
        return false;
    }
    uint8_t* planes[3] = {plane(0), plane(1), plane(2)};
    int strides[3] = {stride(0), stride(1), stride(2)};
    if (tjEncodeYUVPlanes(compressor_, scratch_.data(), width_, pitch, height_, TJPF_BGR, planes, strides, TJSAMP_420,
                          0) != 0) {
        error = why("converting the picture to YUV failed", compressor_);
        return false;
    }
    return true;
}

void YuvPlanes::repeatLumaEdges()
{
    uint8_t* y = plane(0);
    if (width_ % 2) {
        for (int row = 0; row < height_; ++row) {
            uint8_t* end = y + size_t(row) * size_t(lumaStride_) + size_t(width_);
            end[0] = end[-1];
        }
    }
    if (height_ % 2)
        std::memcpy(y + size_t(height_) * size_t(lumaStride_), y + size_t(height_ - 1) * size_t(lumaStride_),
                    size_t(lumaStride_));
}
