// CPU of an idle 30 fps preview: a capture window showing the test-pattern camera (640 x 480,
// 30 frames per second) on the headless display, on the system clock, while the interface
// thread waits for its messages. "ours" is the camera thread that sleeps until its next
// frame is due; "ref" is the old camera thread that woke every 5 ms to look at the clock.
// Each iteration is one second of preview; its time is the process CPU spent in it, so the
// table reads "CPU ms per second of preview" (10 ms = 1 % of one core). Context switches per
// second are counted too: each poll is one.
#include <sys/resource.h>
#include <time.h>

#include <chrono>

#include "PairedReporter.h"
#include "avicap/Vfw.h"
#include "avicap/testpattern/TestPatternDriver.h"
#include "avicap/window/CaptureWindow.h"
#include "platform/Clock.h"
#include "platform/display/headless/HeadlessDisplay.h"

namespace {

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

long contextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

// The interface thread's loop for a while of real time: handle what is there, then sleep
// until a message or the next timer.
void runLoopFor(std::chrono::milliseconds span)
{
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        processPendingMessages();
        WaitMessage();
    }
}

void idlePreview(benchmark::State& state, int64_t legacyWakeUs)
{
    auto display = installHeadlessDisplay();
    setClock(nullptr);
    setCameraDriver(nullptr);   // the test pattern is driver 0
    TestPatternDevice::setLegacyWakeInterval(legacyWakeUs);
    HWND cap = capCreateCaptureWindowA("bench", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, 0, 0);
    SendMessageA(cap, WM_CAP_DRIVER_CONNECT, 0, 0);
    SendMessageA(cap, WM_CAP_SET_PREVIEWRATE, 33, 0);
    if (!SendMessageA(cap, WM_CAP_SET_PREVIEW, TRUE, 0)) {
        state.SkipWithError("the preview did not start");
        return;
    }
    runLoopFor(std::chrono::milliseconds(300));   // settle
    const uint64_t shownBefore = findCaptureWindow(cap)->framesShown();
    long switches = 0;
    for (auto _ : state) {
        const long s0 = contextSwitches();
        const double t0 = processCpuSeconds();
        runLoopFor(std::chrono::seconds(1));
        state.SetIterationTime(processCpuSeconds() - t0);
        switches += contextSwitches() - s0;
    }
    const double seconds = double(state.iterations());
    state.counters["switches/s"] = double(switches) / seconds;
    state.counters["frames/s"] = double(findCaptureWindow(cap)->framesShown() - shownBefore) / seconds;
    DestroyWindow(cap);
    TestPatternDevice::setLegacyWakeInterval(0);
    installDisplayBackend(nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("ours/idle_preview_30fps", idlePreview, int64_t(0))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("ref/idle_preview_30fps", idlePreview, int64_t(5000))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    PairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
