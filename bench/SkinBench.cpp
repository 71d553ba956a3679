// Skinned controls on the headless display. A fade frame of a control (weights from the
// clock, the in-between picture, drawing it on the window) beside BlendBitmaps alone on the
// same pixels with the same weights, for a 32 x 32 button and a 1920 x 1080 panel; and the
// rebuild of a main-window-sized outline (148 x 348, a dozen shaped children) beside the
// region arithmetic alone (each artwork's region and their union).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "PairedReporter.h"
#include "framework/Forms.h"
#include "platform/Clock.h"
#include "platform/WindowTree.h"
#include "platform/display/headless/HeadlessDisplay.h"
#include "skins/Bitmaps.h"
#include "skins/Customskinnedcontrol.h"

namespace {

// Cutaway: lime corners and a lime dot pattern, which Shift moves.
std::unique_ptr<TBitmap> picture(int W, int H, int Seed, bool Cutaway = false, int Shift = 0)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(W, H);
    for (int y = 0; y < H; ++y) {
        auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < W; ++x) {
            const int cx = std::min(x, W - 1 - x), cy = std::min(y, H - 1 - y);
            const bool cut = Cutaway && (cx + cy < 6 || (x * 3 + y * 5 + Shift) % 17 == 0);
            row[3 * x] = cut ? 0 : uint8_t(x * 7 + Seed);
            row[3 * x + 1] = cut ? 255 : uint8_t(y * 13 + Seed * 3);
            row[3 * x + 2] = cut ? 0 : uint8_t((x ^ y) + Seed);
        }
    }
    return bitmap;
}

struct Scene
{
    std::shared_ptr<HeadlessDisplay> display = installHeadlessDisplay();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::unique_ptr<TForm> form;
    Scene(int W, int H)
    {
        display->setScreenSize(4000, 3000);
        setClock(clock);
        form = std::make_unique<TForm>(nullptr, 0);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, W, H);
        form->Show();
        processPendingMessages();
    }
    ~Scene()
    {
        form.reset();
        destroyAllWindows();
        setClock(nullptr);
        installDisplayBackend(nullptr);
    }
};

void countPixels(benchmark::State& State, int64_t Pixels)
{
    State.counters["pixels"] = benchmark::Counter(double(Pixels), benchmark::Counter::kIsIterationInvariantRate);
}

// A control in the middle of a long cell fade; every frame sees a new weight.
void OursFadeFrame(benchmark::State& State, int W, int H)
{
    Scene scene(W + 10, H + 10);
    auto set = picture(2 * W, H, 1);
    auto* skin = new TCustomSkinnedControl(scene.form.get());
    skin->SetParent(scene.form.get());
    skin->SetBounds(0, 0, W, H);
    skin->SetThemeRange(2, 1);
    skin->SetArtworkSet(set.get());
    skin->SetArtworked(true);
    skin->SetEnableFading(true);
    skin->SetFadingInterval(1 << 30);
    processPendingMessages();
    skin->SetArtworkIndexes(1, 0);
    for (auto _ : State) {
        scene.clock->advanceMs(1 << 14);
        skin->FadingFrameTimerOnTimer(skin->FadingFrameTimer());
    }
    if (!skin->GetFadingInProgress())
        State.SkipWithError("the fade ended");
    countPixels(State, int64_t(W) * H);
    if (W == 32) {
        // Fourteen such buttons at 25 frames per second, as a share of one core.
        // seconds / (iterations * v) with v = 1 / (14 * 25 * 100): per cent of one core.
        State.counters["core% 14x25fps"] = benchmark::Counter(
            1.0 / (14 * 25 * 100), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    }
}

void RefFadeFrame(benchmark::State& State, int W, int H)
{
    auto from = picture(W, H, 1), to = picture(W, H, 2);
    TBitmap dest;
    int64_t elapsed = 0;
    for (auto _ : State) {
        elapsed += 1 << 14;
        const double w = double(elapsed) / double(1 << 30);
        BlendBitmaps(from.get(), to.get(), &dest, 1.0 - w, w);
    }
    countPixels(State, int64_t(W) * H);
}

// The main window's outline: a form of 148 x 348 with three shaped panels and nine shaped
// buttons on them, every outline rebuilt from its artwork.
struct MainShape
{
    Scene scene{148, 348};
    std::vector<std::unique_ptr<TBitmap>> artworks;
    std::vector<TCustomSkinnedControl*> controls;
    std::vector<TPoint> places;   // in the form

    TCustomSkinnedControl* add(TWinControl* Parent, int L, int T, int W, int H, TPoint Origin)
    {
        auto* c = new TCustomSkinnedControl(scene.form.get());
        c->SetParent(Parent);
        c->SetBounds(L, T, W, H);
        artworks.push_back(picture(W, H, int(artworks.size()), true));
        c->SetArtwork(artworks.back().get());
        c->SetArtworked(true);
        c->SetShaped(true);
        c->SetShapeParent(true);
        controls.push_back(c);
        places.push_back(TPoint(Origin.X + L, Origin.Y + T));
        return c;
    }
    MainShape()
    {
        TCustomSkinnedControl* top = add(scene.form.get(), 0, 0, 148, 78, TPoint());
        TCustomSkinnedControl* middle = add(scene.form.get(), 0, 78, 148, 190, TPoint());
        TCustomSkinnedControl* bottom = add(scene.form.get(), 0, 268, 148, 80, TPoint());
        for (int i = 0; i < 4; ++i)
            add(top, 4 + 36 * i, 46, 32, 24, places[0]);
        add(middle, 10, 150, 51, 34, places[1]);
        for (int i = 0; i < 4; ++i)
            add(bottom, 4 + 36 * i, 40, 32, 32, places[2]);
        processPendingMessages();
    }
};

void OursShape(benchmark::State& State)
{
    MainShape shape;
    for (auto _ : State) {
        // Every outline built again from its artwork, children first, so each panel unites
        // outlines that are already new; each rebuild ripples up to the form.
        for (auto it = shape.controls.rbegin(); it != shape.controls.rend(); ++it)
            (*it)->InvalidateArtworkShape();
    }
    State.counters["controls"] = double(shape.controls.size());
}

// Every control gets an artwork of another outline (as when a new skin is loaded), children
// first; each new outline goes up to the form, and the loop paints what changed.
void OursNewShapes(benchmark::State& State)
{
    MainShape shape;
    std::vector<std::unique_ptr<TBitmap>> other;
    for (size_t i = 0; i < shape.artworks.size(); ++i)
        other.push_back(picture(shape.artworks[i]->GetWidth(), shape.artworks[i]->GetHeight(), int(i), true, 7));
    bool flip = false;
    for (auto _ : State) {
        flip = !flip;
        for (size_t i = shape.controls.size(); i-- > 0;)
            shape.controls[i]->SetArtwork(flip ? other[i].get() : shape.artworks[i].get());
        // Painting what changed is part of the work.
        processPendingMessages();
    }
    State.counters["controls"] = double(shape.controls.size());
}

void RefShape(benchmark::State& State)
{
    MainShape shape;
    for (auto _ : State) {
        HRGN sum = CreateRectRgn(0, 0, 0, 0);
        for (size_t i = 0; i < shape.artworks.size(); ++i) {
            TRegion region;
            region.BuildFromBitmap(shape.artworks[i].get(), true, false, clLime, false);
            OffsetRgn(region.GetHandle(), shape.places[i].X, shape.places[i].Y);
            CombineRgn(sum, sum, region.GetHandle(), RGN_OR);
        }
        benchmark::DoNotOptimize(sum);
        DeleteObject(sum);
    }
    State.counters["controls"] = double(shape.controls.size());
}

}  // namespace

BENCHMARK_CAPTURE(OursFadeFrame, button, 32, 32)->Name("ours/fade frame 32x32")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RefFadeFrame, button, 32, 32)->Name("ref/fade frame 32x32")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursFadeFrame, panel, 1920, 1080)->Name("ours/fade frame 1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RefFadeFrame, panel, 1920, 1080)->Name("ref/fade frame 1920x1080")->Unit(benchmark::kMillisecond);
BENCHMARK(OursShape)->Name("ours/outline 148x348, 12 children")->Unit(benchmark::kMillisecond);
BENCHMARK(RefShape)->Name("ref/outline 148x348, 12 children")->Unit(benchmark::kMillisecond);
BENCHMARK(OursNewShapes)->Name("ours/new outlines 148x348, 12 children")->Unit(benchmark::kMillisecond);
BENCHMARK(RefShape)->Name("ref/new outlines 148x348, 12 children")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    PairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
