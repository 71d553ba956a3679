// Captures that end badly: a full disk, a camera that stops, the process killed.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "ManualCamera.h"
#include "RecordingFixture.h"

using namespace aviprobe;

namespace {

using RecordingFailure = RecordingFixture;


}  // namespace

TEST_F(RecordingFailure, CameraThatStopsDeliveringEndsTheCapture)
{
    REQUIRE_FFMPEG();
    auto driver = std::make_shared<ManualDriver>();
    setCameraDriver(driver);
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    for (bool unplugged : {false, true}) {
        recording.errors.clear();
        ASSERT_TRUE(send(WM_CAP_SEQUENCE));
        for (int i = 0; i < 8; ++i) {
            ASSERT_TRUE(driver->camera->deliver());
            advance(250);
        }
        int64_t quietMs = 0;
        if (unplugged) {
            driver->camera->sink->deviceFailed(captureFault(CaptureFault::CameraLost, "unplugged"));
            advance(0);
        }
        while (status().fCapturingNow && quietMs < 10000) {
            advance(250);
            quietMs += 250;
        }
        capWaitForFiles(cap);
        CAPSTATUS s = status();
        EXPECT_EQ(s.fCapturingNow, 0);
        EXPECT_EQ(s.dwReturn, DWORD(IDS_CAP_DRIVER_ERROR));
        EXPECT_NEAR(double(quietMs), unplugged ? 0 : kCameraSilenceMs, 250);
        ASSERT_EQ(recording.errors.size(), 1u);
        EXPECT_EQ(recording.errors[0].first, IDS_CAP_DRIVER_ERROR);
        EXPECT_FALSE(recording.errors[0].second.empty());
        auto v = stream(path, "v:0");
        EXPECT_EQ(number(v, "nb_read_frames"), 8) << v["error"];
        EXPECT_EQ(decodeErrors(path), "");
        ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));   // the failed camera again, for the next round
    }
    setCameraDriver(nullptr);
}

// The child records until the file size limit (standing in for a full disk) stops it and
// reports what the window said: {SEQUENCE result, fCapturingNow, dwReturn, frames, errors, error id}.
TEST_F(RecordingFailure, FullDiskEndsTheCaptureWithAPlayableFile)
{
    REQUIRE_FFMPEG();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        signal(SIGXFSZ, SIG_IGN);   // the write fails with EFBIG instead
        rlimit limit{200000, 200000};
        setrlimit(RLIMIT_FSIZE, &limit);
        int32_t r[6] = {int32_t(send(WM_CAP_SEQUENCE)), 0, 0, 0, 0, 0};
        advance(0);
        for (int i = 0; i < 2000 && status().fCapturingNow; ++i) {
            advance(250);
            std::this_thread::sleep_for(std::chrono::microseconds(500));   // lets the writer catch up
        }
        capWaitForFiles(cap);
        CAPSTATUS s = status();
        r[1] = s.fCapturingNow;
        r[2] = int32_t(s.dwReturn);
        r[3] = int32_t(s.dwCurrentVideoFrame);
        r[4] = int32_t(recording.errors.size());
        r[5] = recording.errors.empty() ? 0 : recording.errors[0].first;
        _exit(write(fds[1], r, sizeof r) == sizeof r ? 0 : 1);
    }
    close(fds[1]);
    int32_t r[6] = {};
    ASSERT_EQ(read(fds[0], r, sizeof r), ssize_t(sizeof r));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(r[0], TRUE);
    EXPECT_EQ(r[1], 0) << "the capture ended by itself";
    EXPECT_EQ(r[2], IDS_CAP_WRITEERROR);
    EXPECT_EQ(r[4], 1);
    EXPECT_EQ(r[5], IDS_CAP_WRITEERROR);
    auto v = stream(path, "v:0");
    EXPECT_GE(number(v, "nb_read_frames"), 5) << v["error"];
    EXPECT_EQ(number(v, "nb_read_frames"), r[3]);
    EXPECT_EQ(decodeErrors(path), "");
}

namespace {

int reportPipe = -1;
LRESULT reportFrame(HWND, LPVIDEOHDR)
{
    int64_t now = steadyUs();
    if (write(reportPipe, &now, sizeof now) != sizeof now)
        _exit(3);
    return TRUE;
}

}  // namespace

// In real time through the capture window, killed just before a flush would fall due.
TEST_F(RecordingFailure, KilledCapturePlaysUpToOneSecondBeforeTheKill)
{
    REQUIRE_FFMPEG();
    setup(10, true, false, 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        reportPipe = fds[1];
        setClock(nullptr);
        send(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, LPARAM(&reportFrame));
        if (!send(WM_CAP_SEQUENCE))
            _exit(2);
        while (true) {
            processPendingMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    close(fds[1]);
    KilledRecording killed = killRecordingAfter(child, fds[0], 2450000);
    ASSERT_GT(killed.killAt, 0) << "the recording child stopped early";
    int before = killed.handedASecondBefore;
    auto v = stream(path, "v:0");
    int readable = int(number(v, "nb_read_frames"));
    EXPECT_GE(readable, before) << v["error"];
    EXPECT_EQ(decodeErrors(path), "");
    if (readable > 0 && size_t(readable) <= killed.handed.size())
        std::printf("kill test through the window: %d of %zu frames readable; the last one was handed "
                    "over %.0f ms before the kill\n", readable, killed.handed.size(),
                    double(killed.killAt - killed.handed[size_t(readable - 1)]) / 1000.0);
}
