// TVidCap's frame work on 1920 x 1080 frames, each beside its limit in one run:
//   frame_bitmaps: the copy of a frame into both bitmaps and back (three copies with the
//     vertical flip) against memcpy of the same bytes, three times.
//   preview_path: a camera frame to the screen through a full-screen TVidCap as the program
//     has it, no event bound (hand-over, frame event with both bitmap copies, the scaled
//     paint straight from the frame, the presentation), and with an OnFrame handler (the copy
//     back too), against a plain copy of the frame into the display surface (the same
//     hand-over, one copy into a bitmap, one BitBlt, the presentation).
// Times are CPU time of this thread per frame, in ms. Every case warms up first, works on
// buffers made once and touched before timing, and runs as several repetitions interleaved
// at random with the other cases' (so a change of load on the machine falls on both sides);
// the median repetition is the figure.
#include <time.h>

#include <cstring>
#include <memory>

#include "BenchCamera.h"
#include "PairedReporter.h"
#include "avicap/window/CaptureWindow.h"
#include "avicap/testpattern/TestPatternDriver.h"
#include "capture/Vidcap.h"
#include "framework/Forms.h"
#include "platform/Clock.h"
#include "platform/display/headless/HeadlessDisplay.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 3;

using bench::threadCpuSeconds;

// The bench camera opened last.
bench::BenchDriver* benchDriver = nullptr;

struct World
{
    std::shared_ptr<HeadlessDisplay> display = installHeadlessDisplay();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::unique_ptr<TForm> form;
    std::unique_ptr<TForm> plain;   // the reference's target: a window with nothing on it
    TVidCap* vidcap = nullptr;
    CaptureFrame picture;
    // The frame-bitmaps reference's two targets.
    std::vector<uint8_t> copyA = std::vector<uint8_t>(kFrameBytes, 1), copyB = std::vector<uint8_t>(kFrameBytes, 1);
    // The preview reference's bitmap, selected into its memory DC.
    HDC memDC = 0;
    HBITMAP dib = 0;
    HGDIOBJ oldBitmap = 0;
    uint8_t* dibBits = nullptr;

    World()
    {
        setClock(clock);
        auto driver = std::make_shared<bench::BenchDriver>(kWidth, kHeight);
        benchDriver = driver.get();
        setCameraDriver(driver);
        form = std::make_unique<TForm>(nullptr, 0);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, kWidth, kHeight);
        form->Show();
        // The main window's full-screen picture: 1904 x 1064 inside the frame.
        vidcap = new TVidCap(form.get());
        vidcap->SetBounds(8, 8, kWidth - 16, kHeight - 16);
        vidcap->SetParent(form.get());
        vidcap->SetPreviewRate(30.0f);   // the program binds no event
        (void)benchDriver->last->grabFrame(picture, 0);
        plain = std::make_unique<TForm>(nullptr, 0);
        plain->SetBorderStyle(bsNone);
        plain->SetBounds(0, 0, kWidth, kHeight);
        plain->Show();
        processPendingMessages();

        memDC = CreateCompatibleDC(0);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        dib = CreateDIBSection(memDC, &info, DIB_RGB_COLORS, &bits, 0, 0);
        oldBitmap = SelectObject(memDC, dib);
        dibBits = static_cast<uint8_t*>(bits);
    }

    ~World()
    {
        SelectObject(memDC, oldBitmap);
        DeleteObject(dib);
        DeleteDC(memDC);
    }
};

World& world()
{
    static World w;
    return w;
}

void frameBitmapsOurs(benchmark::State& state)
{
    World& w = world();
    std::vector<uint8_t> buffer = w.picture.pixels;
    VIDEOHDR header{};
    header.lpData = buffer.data();
    header.dwBufferLength = header.dwBytesUsed = DWORD(buffer.size());
    if (w.vidcap->GetImageWidth() != kWidth)
        state.SkipWithError("the component did not take the bench camera's size");
    for (auto _ : state) {
        const double t0 = threadCpuSeconds();
        w.vidcap->UpdateFrameBitmaps(&header);
        w.vidcap->CopyBackVideoFrame(&header);
        state.SetIterationTime(threadCpuSeconds() - t0);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["pixels"] = benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}

void frameBitmapsRef(benchmark::State& state)
{
    World& w = world();
    std::vector<uint8_t> buffer = w.picture.pixels;
    uint8_t* a = w.copyA.data();
    uint8_t* b = w.copyB.data();
    for (auto _ : state) {
        const double t0 = threadCpuSeconds();
        std::memcpy(a, buffer.data(), kFrameBytes);
        std::memcpy(b, buffer.data(), kFrameBytes);
        std::memcpy(buffer.data(), b, kFrameBytes);
        state.SetIterationTime(threadCpuSeconds() - t0);
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["pixels"] = benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}

void previewPathOurs(benchmark::State& state, bool handler)
{
    World& w = world();
    if (handler)
        w.vidcap->OnFrame = [](TObject*, LPVIDEOHDR) {};
    else
        w.vidcap->OnFrame = nullptr;
    CaptureWindow* window = findCaptureWindow(w.vidcap->GetCapWnd());
    if (!benchDriver || !benchDriver->last || !benchDriver->last->sink_ || !window) {
        state.SkipWithError("the capture window did not start streaming");
        return;
    }
    const uint64_t shown0 = window->framesShown();
    uint64_t frames = 0;
    for (auto _ : state) {
        w.clock->advanceMs(34);
        const double t0 = threadCpuSeconds();
        CaptureFrame frame = w.picture;   // a driver's fresh buffer
        benchDriver->last->sink_->frameArrived(std::move(frame));
        processPendingMessages();
        state.SetIterationTime(threadCpuSeconds() - t0);
        ++frames;
    }
    if (window->framesShown() - shown0 != frames)
        state.SkipWithError("not every frame was shown");
    state.counters["pixels"] = benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}

void previewPathRef(benchmark::State& state)
{
    World& w = world();
    HWND target = w.plain->Handle();
    for (auto _ : state) {
        const double t0 = threadCpuSeconds();
        CaptureFrame frame = w.picture;
        std::memcpy(w.dibBits, frame.pixels.data(), kFrameBytes);
        HDC dc = GetDC(target);
        BitBlt(dc, 0, 0, kWidth, kHeight, w.memDC, 0, 0, SRCCOPY);
        ReleaseDC(target, dc);
        processPendingMessages();
        state.SetIterationTime(threadCpuSeconds() - t0);
    }
    state.counters["pixels"] = benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

// Warm-up, repetitions and their median for one case.
void settle(benchmark::internal::Benchmark* b)
{
    // Short repetitions, many of them: the interleaving then follows the machine's load closely.
    b->Unit(benchmark::kMillisecond)->UseManualTime()->MinWarmUpTime(0.1)->MinTime(0.04)->Repetitions(31)->ReportAggregatesOnly(true);
}

int main(int argc, char** argv)
{
    settle(benchmark::RegisterBenchmark("ours/frame_bitmaps_1080p", frameBitmapsOurs));
    settle(benchmark::RegisterBenchmark("ref/frame_bitmaps_1080p", frameBitmapsRef));
    settle(benchmark::RegisterBenchmark("ours/preview_path_1080p", previewPathOurs, false));
    settle(benchmark::RegisterBenchmark("ours/preview_path_1080p_onframe", previewPathOurs, true));
    settle(benchmark::RegisterBenchmark("ref/preview_path_1080p", previewPathRef));
    // Repetitions interleaved unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    PairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
