#include "avicap/avi/MjpegEncoder.h"

#include <turbojpeg.h>

#include <algorithm>

MjpegEncoder::MjpegEncoder(int quality) : handle_(tjInitCompress()), quality_(std::clamp(quality, 1, 100)) {}

MjpegEncoder::~MjpegEncoder()
{
    if (buffer_)
        tjFree(buffer_);
    if (handle_)
        tjDestroy(handle_);
}

void MjpegEncoder::setQuality(int quality) { quality_ = std::clamp(quality, 1, 100); }

bool MjpegEncoder::encode(const uint8_t* dib, int width, int height, const uint8_t*& jpeg, size_t& size)
{
    if (!handle_) {
        error_ = "the JPEG codec could not be started";
        return false;
    }
    if (width <= 0 || height <= 0) {
        error_ = "empty frame";
        return false;
    }
    size_t need = tjBufSize(width, height, TJSAMP_420);
    if (need > capacity_) {
        if (buffer_)
            tjFree(buffer_);
        buffer_ = tjAlloc(int(need));
        capacity_ = buffer_ ? need : 0;
        if (!buffer_) {
            error_ = "out of memory for the JPEG buffer";
            return false;
        }
    }
    unsigned long out = capacity_;
    unsigned char* dst = buffer_;
    int pitch = (width * 3 + 3) & ~3;
    if (tjCompress2(handle_, dib, width, pitch, height, TJPF_BGR, &dst, &out, TJSAMP_420, quality_,
                    TJFLAG_BOTTOMUP | TJFLAG_FASTDCT | TJFLAG_NOREALLOC) != 0) {
        error_ = std::string("JPEG encoding failed: ") + tjGetErrorStr2(handle_);
        return false;
    }
    jpeg = dst;
    size = out;
    return true;
}
