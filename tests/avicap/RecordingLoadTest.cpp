// Recording while the user-interface thread is busy, and files that follow each other at once.
#include <chrono>
#include <cstdio>
#include <string>

#include "ManualCamera.h"
#include "RecordingFixture.h"

using namespace aviprobe;

namespace {

class RecordingLoad : public RecordingFixture
{
protected:
    std::shared_ptr<ManualDriver> driver = std::make_shared<ManualDriver>();

    void SetUp() override
    {
        RecordingFixture::SetUp();
        setCameraDriver(driver);
        ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
        setup(30, false, false, 0);
    }

    // One camera frame per 1/30 s of simulated time; the window takes it only when asked.
    void frame(bool takeNow)
    {
        ASSERT_TRUE(driver->camera->deliver());
        clock->advanceUs(33333);
        if (takeNow)
            processPendingMessages();
    }

    static double framesIn(const std::string& file)
    {
        auto v = stream(file, "v:0");
        EXPECT_EQ(v.count("error"), 0u) << v["error"];
        return number(v, "nb_read_frames");
    }
};

}  // namespace

TEST_F(RecordingLoad, TwoHundredMillisecondStallAt30FpsLosesNoFrame)
{
    REQUIRE_FFMPEG();
    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    for (int i = 0; i < 10; ++i)
        frame(true);
    // The window is busy for 200 ms: seven frames arrive before it looks again.
    for (int i = 0; i < 7; ++i)
        frame(false);
    processPendingMessages();
    for (int i = 0; i < 10; ++i)
        frame(true);
    ASSERT_TRUE(send(WM_CAP_STOP));
    CAPSTATUS s = status();
    EXPECT_EQ(s.dwCurrentVideoFrame, 27u);
    EXPECT_EQ(s.dwCurrentVideoFramesDropped, 0u);
    EXPECT_EQ(recording.videoCalls, 27);
    capWaitForFiles(cap);
    EXPECT_EQ(framesIn(path), 27);
    EXPECT_EQ(decodeErrors(path), "");
    EXPECT_TRUE(recording.errors.empty());
}

TEST_F(RecordingLoad, PreviewAloneShowsOnlyTheNewestFrame)
{
    ASSERT_TRUE(send(WM_CAP_SET_PREVIEWRATE, 1));
    ASSERT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
    std::vector<uint64_t> seen;
    static std::vector<uint64_t>* shown;
    shown = &seen;
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_FRAME, 0, LPARAM(+[](HWND, LPVIDEOHDR header) -> LRESULT {
                         shown->push_back(header->lpData[0]);   // the grey level names the frame
                         return TRUE;
                     })));
    for (int i = 0; i < 5; ++i)
        frame(false);
    processPendingMessages();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], 4u * 8);
}

TEST_F(RecordingLoad, StopReturnsBeforeTheBacklogIsWrittenAndANewFileStartsAtOnce)
{
    REQUIRE_FFMPEG();
    // Large pictures that Motion JPEG must encode: the writer falls far behind, and what would
    // pass its queue's bound is dropped rather than held.
    driver->camera->size = {1280, 720, 30};
    BITMAPINFO info{};
    ASSERT_TRUE(send(WM_CAP_GET_VIDEOFORMAT, sizeof info.bmiHeader, LPARAM(&info)));
    ASSERT_EQ(info.bmiHeader.biWidth, 1280);
    const std::string second = dir + "/second.avi";

    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    for (int i = 0; i < 80; ++i)
        frame(true);
    auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(send(WM_CAP_STOP));
    auto stopMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
    const CAPSTATUS stopped = status();
    ASSERT_EQ(stopped.dwCurrentVideoFrame, 80u);
    ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(second.c_str())));
    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    auto restartMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
    for (int i = 0; i < 15; ++i)
        frame(true);
    ASSERT_TRUE(send(WM_CAP_STOP));
    // The first file's backlog and the second file's pictures share one bound.
    const CAPSTATUS next = status();
    ASSERT_EQ(next.dwCurrentVideoFrame, 15u);

    before = std::chrono::steady_clock::now();
    capWaitForFiles(cap);
    auto drainMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
    std::printf("stop %.1f ms, stop and start %.1f ms, writing the backlog afterwards %.1f ms\n", stopMs,
                restartMs, drainMs);
    EXPECT_LT(stopMs, 50.0);
    EXPECT_LT(restartMs, 50.0);
    EXPECT_EQ(framesIn(path), 80 - int(stopped.dwCurrentVideoFramesDropped));
    EXPECT_NEAR(number(stream(path, "v:0"), "duration"), 80 * 0.033333, 1e-3) << "every slot, dropped ones too";
    EXPECT_EQ(framesIn(second), 15 - int(next.dwCurrentVideoFramesDropped));
    EXPECT_NEAR(number(stream(second, "v:0"), "duration"), 15 * 0.033333, 1e-3);
    EXPECT_EQ(decodeErrors(path), "");
    EXPECT_EQ(decodeErrors(second), "");
    EXPECT_TRUE(recording.errors.empty());
}

TEST_F(RecordingLoad, StartIntoTheFileStillBeingFinishedWaitsForIt)
{
    REQUIRE_FFMPEG();
    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    for (int i = 0; i < 6; ++i)
        frame(true);
    ASSERT_TRUE(send(WM_CAP_STOP));
    // Same name again: the old file must be complete before it is replaced.
    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    for (int i = 0; i < 3; ++i)
        frame(true);
    ASSERT_TRUE(send(WM_CAP_STOP));
    capWaitForFiles(cap);
    EXPECT_EQ(framesIn(path), 3);
    EXPECT_EQ(decodeErrors(path), "");
}
