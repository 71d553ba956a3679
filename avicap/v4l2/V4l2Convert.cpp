#include "avicap/v4l2/V4l2Convert.h"

#include <linux/videodev2.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <libv4l-plugin.h>
#include <libv4lconvert.h>

namespace {

// Formats handed to libv4lconvert; each is checked by a test to convert.
constexpr uint32_t kLibraryFormats[] = {
    V4L2_PIX_FMT_YVYU,   V4L2_PIX_FMT_UYVY,   V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420,
    V4L2_PIX_FMT_NV12,   V4L2_PIX_FMT_RGB24,  V4L2_PIX_FMT_BGR24,  V4L2_PIX_FMT_RGB565,
    V4L2_PIX_FMT_GREY,   V4L2_PIX_FMT_SBGGR8, V4L2_PIX_FMT_SGBRG8, V4L2_PIX_FMT_SGRBG8,
    V4L2_PIX_FMT_SRGGB8,
};

// libv4lconvert asks its device about controls and formats; it gets no device at all, so
// that it only converts and never touches the camera behind the driver's back.
int noDeviceIoctl(void*, int, unsigned long request, void* arg)
{
    if (request == VIDIOC_QUERYCAP) {
        // It insists on a capture device; one that answers nothing else does.
        auto* caps = static_cast<v4l2_capability*>(arg);
        *caps = {};
        std::memcpy(caps->driver, "lumo", 4);
        std::memcpy(caps->card, "lumo", 4);
        caps->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        return 0;
    }
    errno = EINVAL;
    return -1;
}
ssize_t noDeviceRead(void*, int, void*, size_t)
{
    errno = EINVAL;
    return -1;
}
ssize_t noDeviceWrite(void*, int, const void*, size_t)
{
    errno = EINVAL;
    return -1;
}
constexpr size_t kConverterGuardBytes = 4096;
constexpr uint8_t kConverterGuardByte = 0xA5;

libv4l_dev_ops noDevice = {nullptr, nullptr, noDeviceIoctl, noDeviceRead, noDeviceWrite,
                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

inline uint8_t clampByte(int value)
{
    return uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
}

bool sizeOk(const V4l2PixelLayout& layout)
{
    return layout.width > 0 && layout.height > 0 && layout.width <= kMaxV4l2Side &&
           layout.height <= kMaxV4l2Side;
}

}  // namespace

namespace {

// BT.601 studio range in 8.8 fixed point, precomputed per byte value; the clamp is a table
// over the shifted sum, which is cheaper than two compares for each of three channels.
struct YuvTables
{
    int32_t luma[256], redV[256], greenU[256], greenV[256], blueU[256];
    uint8_t clamp[1024];   // index: (sum >> 8) + 384
    YuvTables()
    {
        for (int i = 0; i < 256; ++i) {
            luma[i] = 298 * (i - 16) + 128;
            redV[i] = 409 * (i - 128);
            greenU[i] = -100 * (i - 128);
            greenV[i] = -208 * (i - 128);
            blueU[i] = 516 * (i - 128);
        }
        for (int i = 0; i < 1024; ++i)
            clamp[i] = clampByte(i - 384);
    }
};
const YuvTables yuv;

inline void putPixel(uint8_t* out, int c, int b, int g, int r)
{
    out[0] = yuv.clamp[((c + b) >> 8) + 384];
    out[1] = yuv.clamp[((c + g) >> 8) + 384];
    out[2] = yuv.clamp[((c + r) >> 8) + 384];
}

}  // namespace

namespace {

// The bytes of one row of the format's first plane without padding; 0 for unknown formats.
size_t leastRowBytes(uint32_t fourcc, size_t w)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY: return (w + 1) / 2 * 4;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24: return w * 3;
    case V4L2_PIX_FMT_RGB565: return w * 2;
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_GREY:
    case V4L2_PIX_FMT_SBGGR8:
    case V4L2_PIX_FMT_SGBRG8:
    case V4L2_PIX_FMT_SGRBG8:
    case V4L2_PIX_FMT_SRGGB8: return w;
    default: return 0;
    }
}

bool isBayer(uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_SBGGR8 || fourcc == V4L2_PIX_FMT_SGBRG8 || fourcc == V4L2_PIX_FMT_SGRBG8 ||
           fourcc == V4L2_PIX_FMT_SRGGB8;
}

}  // namespace

size_t v4l2FrameBytes(const V4l2PixelLayout& layout)
{
    if (!sizeOk(layout))
        return 0;
    const size_t w = size_t(layout.width), h = size_t(layout.height);
    auto plane = [&](size_t leastRow, size_t rows) { return std::max<size_t>(layout.bytesPerLine, leastRow) * rows; };
    switch (layout.fourcc) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY: return plane((w + 1) / 2 * 4, h);
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420: {
        // Two chroma planes of half the luma stride and half the rows follow the luma plane.
        const size_t stride = std::max<size_t>(layout.bytesPerLine, w);
        return stride * h + 2 * ((stride + 1) / 2) * ((h + 1) / 2);
    }
    case V4L2_PIX_FMT_NV12: {
        // Interleaved chroma, half the rows. An odd width's last pixel still reads a whole
        // U V pair, a byte past a tight row: the last chroma row has to hold it.
        const size_t stride = std::max<size_t>(layout.bytesPerLine, w);
        const size_t chromaRows = (h + 1) / 2;
        return stride * h + stride * (chromaRows - 1) + std::max(stride, (w + 1) / 2 * 2);
    }
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24: return plane(w * 3, h);
    case V4L2_PIX_FMT_RGB565: return plane(w * 2, h);
    case V4L2_PIX_FMT_GREY:
    case V4L2_PIX_FMT_SBGGR8:
    case V4L2_PIX_FMT_SGBRG8:
    case V4L2_PIX_FMT_SGRBG8:
    case V4L2_PIX_FMT_SRGGB8: return plane(w, h);
    default: return 0;
    }
}

void convertYuyvToBgrBottomUp(const uint8_t* src, uint32_t bytesPerLine, int width, int height,
                              uint8_t* dst)
{
    const size_t dstStride = size_t(width) * 3;
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = src + size_t(y) * bytesPerLine;
        uint8_t* out = dst + size_t(height - 1 - y) * dstStride;
        int x = 0;
        for (; x + 1 < width; x += 2, in += 4, out += 6) {
            const int b = yuv.blueU[in[1]], g = yuv.greenU[in[1]] + yuv.greenV[in[3]],
                      r = yuv.redV[in[3]];
            putPixel(out, yuv.luma[in[0]], b, g, r);
            putPixel(out + 3, yuv.luma[in[2]], b, g, r);
        }
        if (x < width)   // odd width: the last pixel has a pair of its own
            putPixel(out, yuv.luma[in[0]], yuv.blueU[in[1]], yuv.greenU[in[1]] + yuv.greenV[in[3]],
                     yuv.redV[in[3]]);
    }
}

V4l2Converter::V4l2Converter() = default;

V4l2Converter::~V4l2Converter()
{
    if (jpeg_)
        tjDestroy(jpeg_);
    if (library_)
        v4lconvert_destroy(library_);
}

bool V4l2Converter::isJpeg(uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG;
}

bool V4l2Converter::supports(uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_YUYV || isJpeg(fourcc) ||
           std::find(std::begin(kLibraryFormats), std::end(kLibraryFormats), fourcc) !=
               std::end(kLibraryFormats);
}

bool V4l2Converter::convert(const V4l2PixelLayout& layout, const uint8_t* data, size_t size,
                            std::vector<uint8_t>& out)
{
    if (!sizeOk(layout) || !data) {
        error_ = "bad frame size";
        return false;
    }
    if (isJpeg(layout.fourcc))
        return convertJpeg(layout, data, size, out);
    if (layout.fourcc != V4L2_PIX_FMT_YUYV)
        return convertWithLibrary(layout, data, size, out);
    const uint32_t rowBytes = uint32_t((layout.width + 1) / 2) * 4;
    const uint32_t stride = std::max(layout.bytesPerLine, rowBytes);
    // Our own converter reads no padding after the last row.
    if (size < size_t(stride) * size_t(layout.height - 1) + rowBytes) {
        error_ = "short frame";
        return false;
    }
    out.resize(size_t(layout.width) * size_t(layout.height) * 3);
    convertYuyvToBgrBottomUp(data, stride, layout.width, layout.height, out.data());
    return true;
}

bool V4l2Converter::convertJpeg(const V4l2PixelLayout& layout, const uint8_t* data, size_t size,
                                std::vector<uint8_t>& out)
{
    if (!jpeg_ && !(jpeg_ = tjInitDecompress())) {
        error_ = "no JPEG decoder";
        return false;
    }
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (size > 0xffffffffu ||
        tjDecompressHeader3(jpeg_, data, (unsigned long)size, &width, &height, &subsampling,
                            &colourspace) != 0) {
        error_ = "corrupt JPEG frame";
        return false;
    }
    if (width != layout.width || height != layout.height) {
        error_ = "JPEG frame of another size";
        return false;
    }
    out.resize(size_t(width) * size_t(height) * 3);
    // The fast DCT: a few per cent quicker, and the camera's own JPEG is what gets recorded.
    if (tjDecompress2(jpeg_, data, (unsigned long)size, out.data(), width, width * 3, height,
                      TJPF_BGR, TJFLAG_BOTTOMUP | TJFLAG_FASTDCT) != 0 &&
        tjGetErrorCode(jpeg_) != TJERR_WARNING) {
        error_ = tjGetErrorStr2(jpeg_);
        return false;
    }
    return true;   // a truncated frame decodes with grey at the bottom: still worth showing
}

bool V4l2Converter::convertWithLibrary(const V4l2PixelLayout& layout, const uint8_t* data,
                                       size_t size, std::vector<uint8_t>& out)
{
    if (!sizeOk(layout) || !data || !supports(layout.fourcc)) {
        error_ = "unsupported frame";
        return false;
    }
    // libv4lconvert's demosaicing reads past a frame narrower or lower than a few cells, or of
    // an odd size; sensors are made of whole 2 x 2 cells, and none is that small.
    if (isBayer(layout.fourcc) && (layout.width < 8 || layout.height < 8 || layout.width % 2 || layout.height % 2)) {
        error_ = "Bayer frame of unusable size " + std::to_string(layout.width) + " x " + std::to_string(layout.height);
        return false;
    }
    // Its 4:2:0 converters write one pixel more than an odd width on every row, past the
    // end of the picture; cameras send these formats in whole 2 x 2 cells.
    if ((layout.fourcc == V4L2_PIX_FMT_YUV420 || layout.fourcc == V4L2_PIX_FMT_YVU420) && layout.width % 2) {
        error_ = "4:2:0 frame of odd width " + std::to_string(layout.width);
        return false;
    }
    const size_t needed = v4l2FrameBytes(layout);
    if (needed == 0 || size < needed) {
        error_ = "short frame (" + std::to_string(size) + " of " + std::to_string(needed) + " bytes)";
        return false;
    }
    if (!library_ && !(library_ = v4lconvert_create_with_dev_ops(-1, nullptr, &noDevice))) {
        error_ = "no libv4lconvert";
        return false;
    }
    v4l2_format source{};
    source.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    source.fmt.pix.width = uint32_t(layout.width);
    source.fmt.pix.height = uint32_t(layout.height);
    source.fmt.pix.pixelformat = layout.fourcc;
    // A driver may answer a line length shorter than a row (0 is common); the rows are then
    // tight, as v4l2FrameBytes counts them. The Bayer decoders crash on a short one.
    source.fmt.pix.bytesperline = uint32_t(std::max<size_t>(layout.bytesPerLine,
                                                            leastRowBytes(layout.fourcc, size_t(layout.width))));
    source.fmt.pix.field = V4L2_FIELD_NONE;
    source.fmt.pix.sizeimage = uint32_t(std::min<size_t>(size, 0xffffffffu));
    v4l2_format target = source;
    const size_t rowBytes = size_t(layout.width) * 3;
    target.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    target.fmt.pix.bytesperline = uint32_t(rowBytes);
    target.fmt.pix.sizeimage = uint32_t(rowBytes * size_t(layout.height));
    // The library is not checked by our sanitizers: a guard after the picture shows a write
    // of up to its size past it (which would otherwise corrupt the heap unseen), and the frame
    // is refused. The refusals above, not the guard, keep out the writes known to go further.
    const size_t pictureBytes = target.fmt.pix.sizeimage;
    scratch_.resize(pictureBytes + kConverterGuardBytes);
    std::fill(scratch_.begin() + ptrdiff_t(pictureBytes), scratch_.end(), kConverterGuardByte);
    int written = v4lconvert_convert(library_, &source, &target, const_cast<uint8_t*>(data),
                                     int(std::min<size_t>(size, 0x7fffffff)), scratch_.data(),
                                     int(pictureBytes));
    if (std::any_of(scratch_.begin() + ptrdiff_t(pictureBytes), scratch_.end(),
                    [](uint8_t b) { return b != kConverterGuardByte; })) {
        error_ = "the converter wrote past the picture";
        return false;
    }
    if (written < int(pictureBytes)) {
        const char* message = v4lconvert_get_error_message(library_);
        error_ = message && *message ? message : "conversion failed";
        return false;
    }
    out.resize(pictureBytes);
    for (int y = 0; y < layout.height; ++y)
        std::memcpy(out.data() + size_t(layout.height - 1 - y) * rowBytes,
                    scratch_.data() + size_t(y) * rowBytes, rowBytes);
    return true;
}
