#include "avicap/v4l2/V4l2Formats.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "avicap/v4l2/V4l2Convert.h"

namespace {

// Loop bounds against drivers that never say "no more".
constexpr uint32_t kMaxPixelFormats = 64;
constexpr uint32_t kMaxSizes = 128;
constexpr uint32_t kMaxIntervals = 32;
constexpr size_t kMaxModes = 2048;

struct Size
{
    int width, height;
};

// Sizes offered from a stepwise or continuous range.
constexpr Size kCommonSizes[] = {{160, 120},  {176, 144},  {320, 240},   {352, 288},
                                 {640, 360},  {640, 480},  {800, 600},   {1024, 768},
                                 {1280, 720}, {1280, 960}, {1920, 1080}, {2560, 1440},
                                 {3840, 2160}};
constexpr int kCommonRates[] = {5, 10, 15, 20, 25, 30, 50, 60};

bool sane(int width, int height)
{
    return width > 0 && height > 0 && width <= kMaxV4l2Side && height <= kMaxV4l2Side;
}

bool inRange(uint32_t value, uint32_t low, uint32_t high, uint32_t step)
{
    return value >= low && value <= high && (step <= 1 || (value - low) % step == 0);
}

std::vector<Size> sizesOf(V4l2System& system, int fd, uint32_t fourcc)
{
    std::vector<Size> sizes;
    for (uint32_t index = 0; index < kMaxSizes; ++index) {
        v4l2_frmsizeenum entry{};
        entry.index = index;
        entry.pixel_format = fourcc;
        if (system.ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &entry) != 0)
            break;
        if (entry.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            if (sane(int(entry.discrete.width), int(entry.discrete.height)))
                sizes.push_back({int(entry.discrete.width), int(entry.discrete.height)});
            continue;
        }
        const v4l2_frmsize_stepwise& s = entry.stepwise;
        for (Size size : kCommonSizes)
            if (inRange(uint32_t(size.width), s.min_width, s.max_width, s.step_width) &&
                inRange(uint32_t(size.height), s.min_height, s.max_height, s.step_height))
                sizes.push_back(size);
        if (sizes.empty() && sane(int(s.min_width), int(s.min_height)))
            sizes.push_back({int(s.min_width), int(s.min_height)});
        break;   // a range is the only entry
    }
    if (sizes.empty()) {
        // No size list: whatever the driver makes of a VGA request.
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        format.fmt.pix.width = 640;
        format.fmt.pix.height = 480;
        format.fmt.pix.pixelformat = fourcc;
        if (system.ioctl(fd, VIDIOC_TRY_FMT, &format) == 0 && format.fmt.pix.pixelformat == fourcc &&
            sane(int(format.fmt.pix.width), int(format.fmt.pix.height)))
            sizes.push_back({int(format.fmt.pix.width), int(format.fmt.pix.height)});
    }
    return sizes;
}

void addIntervals(V4l2System& system, int fd, uint32_t fourcc, Size size,
                  std::vector<V4l2Mode>& modes)
{
    V4l2Mode mode{fourcc, size.width, size.height, 1, 30};
    const size_t before = modes.size();
    for (uint32_t index = 0; index < kMaxIntervals; ++index) {
        v4l2_frmivalenum entry{};
        entry.index = index;
        entry.pixel_format = fourcc;
        entry.width = uint32_t(size.width);
        entry.height = uint32_t(size.height);
        if (system.ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &entry) != 0)
            break;
        if (entry.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            mode.numerator = entry.discrete.numerator;
            mode.denominator = entry.discrete.denominator;
            if (mode.framesPerSecond() > 0)
                modes.push_back(mode);
            continue;
        }
        // A range: the common rates within it (interval 1/rate between min and max).
        const v4l2_fract& fast = entry.stepwise.min;
        const v4l2_fract& slow = entry.stepwise.max;
        for (int rate : kCommonRates)
            if (uint64_t(rate) * fast.numerator <= fast.denominator &&
                uint64_t(rate) * slow.numerator >= slow.denominator) {
                mode.numerator = 1;
                mode.denominator = uint32_t(rate);
                modes.push_back(mode);
            }
        break;
    }
    if (modes.size() == before) {
        mode.numerator = 1;
        mode.denominator = 30;
        modes.push_back(mode);
    }
}

int rank(uint32_t fourcc)
{
    if (V4l2Converter::isJpeg(fourcc))
        return 0;
    return fourcc == V4L2_PIX_FMT_YUYV ? 1 : 2;
}

}  // namespace

int V4l2Mode::framesPerSecond() const
{
    if (numerator == 0 || denominator == 0)
        return 0;
    return int(std::min<uint64_t>((uint64_t(denominator) + numerator / 2) / numerator, 1000));
}

bool sameV4l2Mode(const V4l2Mode& a, const V4l2Mode& b)
{
    return a.fourcc == b.fourcc && a.width == b.width && a.height == b.height &&
           uint64_t(a.numerator) * b.denominator == uint64_t(b.numerator) * a.denominator;
}

std::vector<V4l2Mode> enumerateV4l2Modes(V4l2System& system, int fd)
{
    std::vector<V4l2Mode> modes;
    for (uint32_t index = 0; index < kMaxPixelFormats && modes.size() < kMaxModes; ++index) {
        v4l2_fmtdesc desc{};
        desc.index = index;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (system.ioctl(fd, VIDIOC_ENUM_FMT, &desc) != 0)
            break;
        if (!V4l2Converter::supports(desc.pixelformat))
            continue;
        for (Size size : sizesOf(system, fd, desc.pixelformat))
            addIntervals(system, fd, desc.pixelformat, size, modes);
    }
    if (modes.size() > kMaxModes)
        modes.resize(kMaxModes);
    return modes;
}

std::vector<CaptureFormat> captureFormatsOf(const std::vector<V4l2Mode>& modes)
{
    std::vector<CaptureFormat> formats;
    for (const V4l2Mode& mode : modes) {
        CaptureFormat format{mode.width, mode.height, mode.framesPerSecond()};
        if (std::find(formats.begin(), formats.end(), format) == formats.end())
            formats.push_back(format);
    }
    std::sort(formats.begin(), formats.end(), [](const CaptureFormat& a, const CaptureFormat& b) {
        int64_t areaA = int64_t(a.width) * a.height, areaB = int64_t(b.width) * b.height;
        if (areaA != areaB)
            return areaA < areaB;
        if (a.width != b.width)
            return a.width < b.width;
        return a.framesPerSecond < b.framesPerSecond;
    });
    return formats;
}

const V4l2Mode* chooseV4l2Mode(const std::vector<V4l2Mode>& modes, const CaptureFormat& format)
{
    const V4l2Mode* best = nullptr;
    auto better = [&](const V4l2Mode& a, const V4l2Mode& b) {
        int da = std::abs(a.framesPerSecond() - format.framesPerSecond);
        int db = std::abs(b.framesPerSecond() - format.framesPerSecond);
        if (da != db)
            return da < db;
        return rank(a.fourcc) < rank(b.fourcc);
    };
    for (const V4l2Mode& mode : modes)
        if (mode.width == format.width && mode.height == format.height &&
            (!best || better(mode, *best)))
            best = &mode;
    return best;
}

std::string v4l2Text(const uint8_t* field, size_t size)
{
    const char* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, size));
}

std::string v4l2FourccText(uint32_t fourcc)
{
    std::string text;
    for (int shift = 0; shift < 32; shift += 8) {
        const char c = char((fourcc >> shift) & 0xff);
        text += c >= ' ' && c <= '~' ? c : '?';
    }
    return text;
}
