// Cost of one 1920 x 1080 frame from the camera side to the preview on screen (headless):
// the hand-over through the capture window's mailbox and PostMessageA, the frame callback
// slot, the copy into the preview bitmap, the paint (StretchBlt to a full-screen window)
// and the presentation. The camera side is driven from this thread with a fake clock so
// every frame is shown; the test pattern's drawing is timed on its own.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "BenchCamera.h"
#include "avicap/window/CaptureWindow.h"
#include "avicap/testpattern/TestPatternDriver.h"
#include "avicap/Vfw.h"
#include "platform/Clock.h"
#include "platform/display/headless/HeadlessDisplay.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 300;

using bench::threadCpuSeconds;

// The bench camera opened last.
bench::BenchDriver* benchDriver = nullptr;

}  // namespace

int main()
{
    auto display = installHeadlessDisplay();
    auto clock = std::make_shared<FakeClock>();
    setClock(clock);
    auto driver = std::make_shared<bench::BenchDriver>(kWidth, kHeight);
    benchDriver = driver.get();
    setCameraDriver(driver);

    HWND cap = capCreateCaptureWindowA("bench", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, 0, 0);
    SendMessageA(cap, WM_CAP_DRIVER_CONNECT, 0, 0);
    SendMessageA(cap, WM_CAP_SET_SCALE, TRUE, 0);
    SendMessageA(cap, WM_CAP_SET_PREVIEWRATE, 33, 0);
    SendMessageA(cap, WM_CAP_SET_PREVIEW, TRUE, 0);
    if (!benchDriver || !benchDriver->last || !benchDriver->last->sink_) {
        std::fprintf(stderr, "capture window did not start streaming\n");
        return 1;
    }

    CaptureFrame picture;
    (void)benchDriver->last->grabFrame(picture, 0);

    // Camera side: a fresh frame buffer (as a driver fills one) handed over.
    double cameraCpu = 0, uiCpu = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i) {
        clock->advanceMs(34);
        double t0 = threadCpuSeconds();
        CaptureFrame frame = picture;
        benchDriver->last->sink_->frameArrived(std::move(frame));
        double t1 = threadCpuSeconds();
        processPendingMessages();
        uiCpu += threadCpuSeconds() - t1;
        cameraCpu += t1 - t0;
    }
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    uint64_t shown = findCaptureWindow(cap)->framesShown();

    // The test pattern's own drawing of a 1920 x 1080 frame.
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 3);
    double r0 = threadCpuSeconds();
    for (int i = 0; i < 60; ++i)
        renderTestPattern(pixels.data(), kWidth, kHeight, TestPatternDevice::Bars, 50, i * 33333,
                          i * 33333, uint64_t(i));
    double renderMs = (threadCpuSeconds() - r0) / 60 * 1000;

    double perFrameMs = wall / kFrames * 1000;
    std::printf("frames handed over: %d, shown: %llu, dropped: %llu\n", kFrames,
                static_cast<unsigned long long>(shown),
                static_cast<unsigned long long>(findCaptureWindow(cap)->framesDropped()));
    std::printf("camera side (buffer + hand-over): %.3f ms per frame\n", cameraCpu / kFrames * 1000);
    std::printf("interface side (callback slot, bitmap copy, StretchBlt, present): %.3f ms per frame\n",
                uiCpu / kFrames * 1000);
    const double cpuMs = (cameraCpu + uiCpu) / kFrames * 1000;
    std::printf("camera thread to screen: %.3f ms CPU per 1920x1080 frame (%.3f ms wall, other "
                "processes included)\n", cpuMs, perFrameMs);
    std::printf("test pattern drawing: %.3f ms per 1920x1080 frame\n", renderMs);
    std::printf("30 fps full-screen preview: %.1f%% of one core (%.1f%% with the test pattern's drawing)\n",
                cpuMs * 30 / 10, (cpuMs + renderMs) * 30 / 10);
    DestroyWindow(cap);
    setCameraDriver(nullptr);
    setClock(nullptr);
    return 0;
}
