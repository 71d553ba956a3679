// Artwork routines on full-HD pictures beside the nearest pixman operation on the same
// pixels: blend and colourise against a composite with a solid mask, stretching against a
// scaled composite, and building a region from artwork against pixman building it from the
// same rectangles.
#include <pixman.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "PairedReporter.h"
#include "framework/Graphics.h"
#include "skins/Bitmaps.h"
#include "skins/Regions.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::unique_ptr<TBitmap> picture(int seed)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < kWidth * 3; ++x)
            row[x] = uint8_t((x * 7 + y * 13 + seed * 31) ^ (x >> 3));
    }
    return bitmap;
}

// Lime background with an opaque ring: one or two opaque runs per row, about 2,000 in all.
std::unique_ptr<TBitmap> ringArtwork()
{
    auto bitmap = picture(3);
    const double cx = kWidth / 2.0, cy = kHeight / 2.0;
    for (int y = 0; y < kHeight; ++y) {
        auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            double outer = std::pow((x - cx) / 950, 2) + std::pow((y - cy) / 540, 2);
            double inner = std::pow((x - cx) / 600, 2) + std::pow((y - cy) / 460, 2);
            if (outer > 1 || inner < 1) {
                row[3 * x] = 0;
                row[3 * x + 1] = 255;
                row[3 * x + 2] = 0;
            }
        }
    }
    return bitmap;
}

pixman_image_t* wrap(TBitmap* bitmap)
{
    // Rows of a bottom-up DIB: start at the last row and walk back with a negative stride.
    auto* top = static_cast<uint32_t*>(bitmap->ScanLine(0));
    int stride = bitmap->GetHeight() > 1
                     ? int(static_cast<uint8_t*>(bitmap->ScanLine(1)) - static_cast<uint8_t*>(bitmap->ScanLine(0)))
                     : 0;
    return pixman_image_create_bits(PIXMAN_r8g8b8, bitmap->GetWidth(), bitmap->GetHeight(), top, stride);
}

void countPixels(benchmark::State& state, int64_t pixels)
{
    state.counters["pixels"] = benchmark::Counter(double(pixels), benchmark::Counter::kIsIterationInvariantRate);
}

void OursBlend(benchmark::State& state)
{
    auto a = picture(1), b = picture(2), dest = picture(0);
    for (auto _ : state)
        BlendBitmaps(a.get(), b.get(), dest.get(), 0.6, 0.4);
    countPixels(state, int64_t(kWidth) * kHeight);
}

void RefBlend(benchmark::State& state)
{
    auto a = picture(1), b = picture(2), dest = picture(0);
    pixman_image_t *ia = wrap(a.get()), *ib = wrap(b.get()), *id = wrap(dest.get());
    pixman_color_t wa{0, 0, 0, uint16_t(0.6 * 0xFFFF)}, wb{0, 0, 0, uint16_t(0.4 * 0xFFFF)};
    pixman_image_t* ma = pixman_image_create_solid_fill(&wa);
    pixman_image_t* mb = pixman_image_create_solid_fill(&wb);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, ia, ma, id, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
        pixman_image_composite32(PIXMAN_OP_ADD, ib, mb, id, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    }
    for (pixman_image_t* i : {ia, ib, id, ma, mb})
        pixman_image_unref(i);
    countPixels(state, int64_t(kWidth) * kHeight);
}

void OursColorize(benchmark::State& state)
{
    auto source = picture(1), dest = picture(0);
    for (auto _ : state)
        ColorizeBitmap(source.get(), dest.get(), TColor(0x4080C0));
    countPixels(state, int64_t(kWidth) * kHeight);
}

void RefColorize(benchmark::State& state)
{
    auto source = picture(1), dest = picture(0);
    pixman_image_t *is = wrap(source.get()), *id = wrap(dest.get());
    pixman_color_t tint{0xC0C0, 0x8080, 0x4040, 0xFFFF};
    pixman_image_t* mask = pixman_image_create_solid_fill(&tint);
    pixman_image_set_component_alpha(mask, 1);   // a per-channel multiply
    for (auto _ : state)
        pixman_image_composite32(PIXMAN_OP_SRC, is, mask, id, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    for (pixman_image_t* i : {is, id, mask})
        pixman_image_unref(i);
    countPixels(state, int64_t(kWidth) * kHeight);
}

void OursStretch(benchmark::State& state, int method)
{
    auto source = picture(1), dest = picture(0);
    for (auto _ : state)
        StretchBitmap(source.get(), dest.get(), 1280, 720, method);
    countPixels(state, int64_t(1280) * 720);
}

void RefStretch(benchmark::State& state, pixman_filter_t filter)
{
    auto source = picture(1);
    auto dest = std::make_unique<TBitmap>();
    dest->SetPixelFormat(pf24bit);
    dest->SetSize(1280, 720);
    pixman_image_t *is = wrap(source.get()), *id = wrap(dest.get());
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(double(kWidth) / 1280),
                                pixman_double_to_fixed(double(kHeight) / 720));
    pixman_image_set_transform(is, &scale);
    pixman_image_set_filter(is, filter, nullptr, 0);
    for (auto _ : state)
        pixman_image_composite32(PIXMAN_OP_SRC, is, nullptr, id, 0, 0, 0, 0, 0, 0, 1280, 720);
    pixman_image_unref(is);
    pixman_image_unref(id);
    countPixels(state, int64_t(1280) * 720);
}

void OursRegion(benchmark::State& state)
{
    auto artwork = ringArtwork();
    TRegion region;
    for (auto _ : state)
        region.BuildFromBitmap(artwork.get(), true, false, clLime, false);
    state.counters["rects"] = region.GetRectCount();
    countPixels(state, int64_t(kWidth) * kHeight);
}

void RefRegion(benchmark::State& state)
{
    // pixman given the very rectangles our region reports.
    auto artwork = ringArtwork();
    TRegion region;
    region.BuildFromBitmap(artwork.get(), true, false, clLime, false);
    std::vector<pixman_box32_t> boxes;
    const TRect* rects = region.GetRects();
    for (int i = 0; i < region.GetRectCount(); ++i)
        boxes.push_back({rects[i].Left, rects[i].Top, rects[i].Right, rects[i].Bottom});
    for (auto _ : state) {
        pixman_region32_t r;
        pixman_region32_init_rects(&r, boxes.data(), int(boxes.size()));
        benchmark::DoNotOptimize(r);
        pixman_region32_fini(&r);
    }
    state.counters["rects"] = double(boxes.size());
    countPixels(state, int64_t(kWidth) * kHeight);
}

}  // namespace

BENCHMARK(OursBlend)->Name("ours/BlendBitmaps")->Unit(benchmark::kMillisecond);
BENCHMARK(RefBlend)->Name("ref/BlendBitmaps")->Unit(benchmark::kMillisecond);
BENCHMARK(OursColorize)->Name("ours/ColorizeBitmap")->Unit(benchmark::kMillisecond);
BENCHMARK(RefColorize)->Name("ref/ColorizeBitmap")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursStretch, m0, 0)->Name("ours/StretchBitmap method 0")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RefStretch, nearest, PIXMAN_FILTER_NEAREST)->Name("ref/StretchBitmap method 0")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursStretch, m1, 1)->Name("ours/StretchBitmap method 1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RefStretch, bilinear, PIXMAN_FILTER_BILINEAR)->Name("ref/StretchBitmap method 1")->Unit(benchmark::kMillisecond);
BENCHMARK(OursRegion)->Name("ours/BuildFromBitmap")->Unit(benchmark::kMillisecond);
BENCHMARK(RefRegion)->Name("ref/BuildFromBitmap")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    PairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
