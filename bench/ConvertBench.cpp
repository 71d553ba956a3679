// Converting one 1920x1080 camera frame to the 24-bit bottom-up BGR of a CaptureFrame:
// the driver's own paths ("ours": YUYV converter, libjpeg-turbo straight to bottom-up BGR)
// beside libv4lconvert to BGR24 plus a row flip ("ref"). Synthetic frames: a moving
// gradient, in YUYV, and as Motion JPEG made with the project's encoder at quality 85.
#include <benchmark/benchmark.h>
#include <linux/videodev2.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "PairedReporter.h"
#include "avicap/avi/MjpegEncoder.h"
#include "avicap/v4l2/V4l2Convert.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::vector<uint8_t> yuyvFrame()
{
    std::vector<uint8_t> frame(size_t(kWidth) * kHeight * 2);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; x += 2) {
            uint8_t* p = &frame[(size_t(y) * kWidth + size_t(x)) * 2];
            p[0] = uint8_t(16 + (x + y) % 220);
            p[1] = uint8_t(x * 255 / kWidth);
            p[2] = uint8_t(16 + (x + 1 + y) % 220);
            p[3] = uint8_t(y * 255 / kHeight);
        }
    return frame;
}

std::vector<uint8_t> jpegFrame()
{
    V4l2Converter converter;
    std::vector<uint8_t> bgr;
    std::vector<uint8_t> yuyv = yuyvFrame();
    converter.convert({V4L2_PIX_FMT_YUYV, kWidth, kHeight, kWidth * 2}, yuyv.data(), yuyv.size(), bgr);
    MjpegEncoder encoder(85);
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!encoder.encode(bgr.data(), kWidth, kHeight, data, size))
        return {};
    return {data, data + size};
}

void run(benchmark::State& state, uint32_t fourcc, bool library)
{
    const std::vector<uint8_t> frame = fourcc == V4L2_PIX_FMT_YUYV ? yuyvFrame() : jpegFrame();
    const V4l2PixelLayout layout{fourcc, kWidth, kHeight,
                                 fourcc == V4L2_PIX_FMT_YUYV ? uint32_t(kWidth * 2) : 0};
    V4l2Converter converter;
    std::vector<uint8_t> out;
    for (auto _ : state) {
        bool ok = library ? converter.convertWithLibrary(layout, frame.data(), frame.size(), out)
                          : converter.convert(layout, frame.data(), frame.size(), out);
        if (!ok) {
            state.SkipWithError(converter.error().c_str());
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["pixels"] =
        benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

int main(int argc, char** argv)
{
    for (auto [name, fourcc, library] :
         {std::tuple{"ours/yuyv_1080p", V4L2_PIX_FMT_YUYV, false},
          std::tuple{"ref/yuyv_1080p", V4L2_PIX_FMT_YUYV, true},
          std::tuple{"ours/mjpeg_1080p", V4L2_PIX_FMT_MJPEG, false},
          std::tuple{"ref/mjpeg_1080p", V4L2_PIX_FMT_MJPEG, true}})
        benchmark::RegisterBenchmark(name, run, fourcc, library)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    PairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
