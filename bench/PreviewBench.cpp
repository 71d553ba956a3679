// The preview's resampling beside Pillow's Image.resize with the BOX filter (area averages,
// its fastest averaging filter) on the same sizes: a 4000 x 3000 picture down to 1920 x 1080
// (zoom 0.48, the 4000 x 2250 area that fills it) and up at zoom 3 (a 640 x 360 area).
// Pillow runs in a python3 process of its own, timed around resize() in a loop after a
// warm-up, so its start-up and the picture's creation are left out; its time per call is
// fed into this report as the reference. Without Pillow (python3-pil) the reference rows
// report the error and ours still run.
//
// Also the cost of one hand-scroll step of a 1920 x 1080 preview: no resampling, only the
// offscreen picture drawn at its new place in the window.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "PairedReporter.h"
#include "framework/Forms.h"
#include "platform/display/headless/HeadlessDisplay.h"
#include "preview/Bitmappreview.h"

namespace {

constexpr int kSourceW = 4000, kSourceH = 3000;
constexpr int kDestW = 1920, kDestH = 1080;

struct Case
{
    const char* name;
    TDblPoint origin;
    double zoom;
};
constexpr Case kDown{"down 4000x2250 to 1920x1080", {0.0, 0.0}, 0.48};
constexpr Case kUp{"up x3 640x360 to 1920x1080", {1000.25, 800.5}, 3.0};

TBitmap* source()
{
    static std::unique_ptr<TBitmap> bitmap = [] {
        auto b = std::make_unique<TBitmap>();
        b->SetPixelFormat(pf24bit);
        b->SetSize(kSourceW, kSourceH);
        std::mt19937 rng(5);
        for (int y = 0; y < kSourceH; ++y) {
            auto* row = static_cast<uint8_t*>(b->ScanLine(y));
            for (int x = 0; x < kSourceW * 3; ++x)
                row[x] = uint8_t(((x / 3) ^ y) + (rng() & 15));
        }
        return b;
    }();
    return bitmap.get();
}

void countPixels(benchmark::State& state)
{
    state.counters["pixels"] =
        benchmark::Counter(double(kDestW) * kDestH, benchmark::Counter::kIsIterationInvariantRate);
}

void OursZoom(benchmark::State& state, Case c, int quality)
{
    TBitmap* src = source();
    TBitmap dest;
    for (auto _ : state)
        Bitmappreview::ZoomBitmap(src, c.origin, c.zoom, clGray, &dest, kDestW, kDestH, quality);
    countPixels(state);
}

// Milliseconds per resize() call for each case ("down", "up"; wall clock, and processor
// time under "down_cpu", "up_cpu"), measured once in a python3 process.
const std::map<std::string, double>& pillowTimes()
{
    static const std::map<std::string, double> times = [] {
        std::map<std::string, double> result;
        char script[1024];
        std::snprintf(script, sizeof script,
                      "import time, os\n"
                      "from PIL import Image\n"
                      "im = Image.frombytes('RGB', (%d, %d), os.urandom(%d))\n"
                      "def run(name, box):\n"
                      "    im.resize((%d, %d), Image.BOX, box=box)\n"
                      "    n = 10\n"
                      "    t, c = time.perf_counter(), time.process_time()\n"
                      "    for i in range(n):\n"
                      "        im.resize((%d, %d), Image.BOX, box=box)\n"
                      "    print(name, (time.perf_counter() - t) / n * 1000.0)\n"
                      "    print(name + '_cpu', (time.process_time() - c) / n * 1000.0)\n"
                      "run('down', (0.0, 0.0, %g, %g))\n"
                      "run('up', (%g, %g, %g, %g))\n",
                      kSourceW, kSourceH, kSourceW * kSourceH * 3, kDestW, kDestH, kDestW, kDestH,
                      kDestW / kDown.zoom, kDestH / kDown.zoom, kUp.origin.X, kUp.origin.Y,
                      kUp.origin.X + kDestW / kUp.zoom, kUp.origin.Y + kDestH / kUp.zoom);
        // Debian's Pillow belongs to the system interpreter; try it before whatever is first
        // on the path.
        for (const char* python : {"/usr/bin/python3", "python3"}) {
            std::string command = std::string(python) + " - 2>/dev/null <<'EOF'\n" + script + "EOF\n";
            FILE* pipe = popen(command.c_str(), "r");
            if (!pipe)
                continue;
            char name[32];
            double ms;
            while (std::fscanf(pipe, "%31s %lf", name, &ms) == 2)
                result[name] = ms;
            pclose(pipe);
            if (result.size() == 4)
                break;
            result.clear();
        }
        return result;
    }();
    return times;
}

void PillowResize(benchmark::State& state, const char* which)
{
    auto it = pillowTimes().find(which);
    if (it == pillowTimes().end()) {
        state.SkipWithError("Pillow is not available (apt-get install python3-pil)");
        for (auto _ : state) {
        }
        return;
    }
    for (auto _ : state)
        state.SetIterationTime(it->second / 1000.0);
    countPixels(state);
    // Pillow's processor time, to set beside our CPU column when the machine is busy.
    state.counters["pillow_cpu_ms"] = pillowTimes().at(std::string(which) + "_cpu");
}

// One hand-scroll step of a full-HD preview whose offscreen picture is ready: the picture
// is drawn at its new place (x only, and x with y: one paint per changed axis).
void OursPan(benchmark::State& state, bool diagonal)
{
    auto display = installHeadlessDisplay();
    display->setScreenSize(kDestW, kDestH);
    auto form = std::make_unique<TForm>(nullptr, 0);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, kDestW, kDestH);
    auto* preview = new TBitmapPreview(form.get());
    preview->SetBounds(0, 0, kDestW, kDestH);
    preview->SetParent(form.get());
    form->Show();
    preview->SetBitmap(source());
    preview->SetZoom(0.5);
    int rebuilds = 0;
    preview->OnUpdateDisplay = [&](TObject*) { ++rebuilds; };
    preview->GetOffscreenBitmap();
    processPendingMessages();
    rebuilds = 0;
    int step = 0;
    for (auto _ : state) {
        step = (step + 37) % 1000;
        preview->HandScrollTo(TShiftState(), -step, diagonal ? step / 2 : 0);
    }
    if (rebuilds != 0)
        state.SkipWithError("a pan resampled the picture");
    state.counters["pixels"] =
        benchmark::Counter(double(kDestW) * kDestH, benchmark::Counter::kIsIterationInvariantRate);
    form.reset();
    installDisplayBackend(nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (auto [c, which] : {std::pair{kDown, "down"}, std::pair{kUp, "up"}}) {
        for (int quality : {1, 2}) {
            std::string kase = std::string(c.name) + " q" + std::to_string(quality);
            benchmark::RegisterBenchmark(("ours/" + kase).c_str(), OursZoom, c, quality)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("ref/" + kase).c_str(), PillowResize, which)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::RegisterBenchmark("ours/pan step 1920x1080 x", OursPan, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ours/pan step 1920x1080 x+y", OursPan, true)->Unit(benchmark::kMillisecond);
    PairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
