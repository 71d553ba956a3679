// Uncompressed camera frames of every supported format, with the sizes, line lengths and
// byte counts a faulty driver could report.
#include <linux/videodev2.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "avicap/v4l2/V4l2Convert.h"
#include "fuzz/FuzzInput.h"

namespace {

// libv4lconvert is not instrumented, so a read past a frame on the heap goes unseen. Each
// frame is copied to end where an inaccessible page begins: such a read faults at once.
constexpr size_t kGuardedBytes = size_t(1) << 20;   // well above -max_len

const uint8_t* atPageEnd(const uint8_t* data, size_t size)
{
    static uint8_t* const end = [] {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        void* base = mmap(nullptr, kGuardedBytes + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED)
            __builtin_trap();
        auto* bytes = static_cast<uint8_t*>(base);
        mprotect(bytes + kGuardedBytes, page, PROT_NONE);
        return bytes + kGuardedBytes;
    }();
    if (size > kGuardedBytes)
        return nullptr;
    std::memcpy(end - size, data, size);
    return end - size;
}

constexpr uint32_t kFormats[] = {
    V4L2_PIX_FMT_YUYV,   V4L2_PIX_FMT_YVYU,   V4L2_PIX_FMT_UYVY,   V4L2_PIX_FMT_YUV420,
    V4L2_PIX_FMT_YVU420, V4L2_PIX_FMT_NV12,   V4L2_PIX_FMT_RGB24,  V4L2_PIX_FMT_BGR24,
    V4L2_PIX_FMT_RGB565, V4L2_PIX_FMT_GREY,   V4L2_PIX_FMT_SBGGR8, V4L2_PIX_FMT_SGBRG8,
    V4L2_PIX_FMT_SGRBG8, V4L2_PIX_FMT_SRGGB8,
};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    V4l2PixelLayout layout;
    layout.fourcc = kFormats[input.take<uint8_t>() % std::size(kFormats)];
    // Mostly small pictures, so that whole frames fit in an input; now and then anything.
    const uint8_t mode = input.take<uint8_t>();
    if (mode & 1) {
        layout.width = input.take<int32_t>();
        layout.height = input.take<int32_t>();
        layout.bytesPerLine = input.take<uint32_t>();
    } else {
        layout.width = input.take<uint8_t>();
        layout.height = input.take<uint8_t>();
        layout.bytesPerLine = input.take<uint16_t>() % 1024;
    }
    std::vector<uint8_t> copy;
    const uint8_t* frame = atPageEnd(input.rest(), input.restSize());
    if (!frame) {
        copy.assign(input.rest(), input.rest() + input.restSize());
        frame = copy.data();
    }
    const size_t frameSize = input.restSize();

    static V4l2Converter converter;
    std::vector<uint8_t> pixels;
    const size_t needed = v4l2FrameBytes(layout);
    const bool converted = converter.convert(layout, frame, frameSize, pixels);
    // YUYV alone may lack the last row's padding.
    if (converted && ((layout.fourcc != V4L2_PIX_FMT_YUYV && needed > frameSize) || pixels.size() != size_t(layout.width) * size_t(layout.height) * 3))
        __builtin_trap();   // converted from fewer bytes than a frame needs, or the wrong amount out
    // The library is not instrumented: its guard is what sees a write past the picture.
    const auto wrotePast = [&] { return converter.error() == "the converter wrote past the picture"; };
    if (!converted && wrotePast())
        __builtin_trap();
    if (layout.fourcc != V4L2_PIX_FMT_YUYV && !converter.convertWithLibrary(layout, frame, frameSize, pixels) &&
        wrotePast())
        __builtin_trap();
    return 0;
}
