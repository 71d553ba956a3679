#include <time.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "VidcapFixture.h"
#include "framework/ExtCtrls.h"
#include "tests/avicap/AviProbe.h"

namespace {

class VidcapRecording : public VidcapFixture
{
protected:
    TempDir dir;
    TVidCap* v = nullptr;
    std::vector<std::pair<int, std::string>> errors;
    std::vector<bool> recordingSeenByError;

    void SetUp() override
    {
        VidcapFixture::SetUp();
        v = place();
        ASSERT_TRUE(v->GetDeviceConnected());
        v->SetCaptureAudio(false);
        v->SetFrameRate(4.0f);
        v->OnError = [this](TObject* sender, int id, LPSTR text) {
            EXPECT_EQ(sender, v);
            errors.push_back({id, text ? text : ""});
            recordingSeenByError.push_back(v->GetRecording());
        };
    }

    // Moves simulated time on in quarter seconds.
    void record(int ms)
    {
        for (int t = 0; t < ms; t += 250)
            advance(250);
    }

    static double threadCpuSeconds()
    {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    }
};

TEST_F(VidcapRecording, RecordingOnAndOffWritesAFileAtTheFrameRate)
{
    REQUIRE_FFMPEG();
    const std::string path = dir.path + "/clip.avi";
    v->SetFileName(path);
    MessageLog log;
    log.attach(v->GetCapWnd());
    v->SetRecording(true);
    EXPECT_TRUE(v->GetRecording());
    // The name is sent again right before the start message.
    const std::vector<UINT> sent = log.messages();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], WM_CAP_FILE_SET_CAPTURE_FILE);
    EXPECT_EQ(sent[1], WM_CAP_SEQUENCE);
    v->SetRecording(true);   // already recording: nothing
    EXPECT_EQ(log.count(WM_CAP_SEQUENCE), 1);
    record(2000);
    EXPECT_GT(v->GetCurrentVideoFrame(), 0);
    v->SetRecording(false);
    EXPECT_FALSE(v->GetRecording());
    EXPECT_EQ(log.count(WM_CAP_STOP), 1);
    EXPECT_EQ(log.count(WM_CAP_SINGLE_FRAME_CLOSE), 0);

    capWaitForFiles(v->GetCapWnd());   // the writer finishes the file on its own thread
    auto video = aviprobe::stream(path, "v:0");
    EXPECT_EQ(video["r_frame_rate"], "4/1") << video["error"];
    EXPECT_EQ(video["width"], "640");
    EXPECT_GE(aviprobe::number(video, "nb_read_frames"), 7);
    EXPECT_LE(aviprobe::number(video, "nb_read_frames"), 9);
    EXPECT_TRUE(errors.empty());
}

TEST_F(VidcapRecording, AFailedStartReturnsWithRecordingFalse)
{
    // A folder that cannot exist: its parent is a file.
    const std::string blocker = dir.path + "/file";
    std::ofstream(blocker) << "x";
    v->SetFileName(blocker + "/clip.avi");
    v->SetRecording(true);
    EXPECT_FALSE(v->GetRecording());
    EXPECT_NE(v->GetReturn(), 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, IDS_CAP_CANTOPEN);
    // The component is not stuck: the next start into a good place works.
    v->SetFileName(dir.path + "/good.avi");
    v->SetRecording(true);
    EXPECT_TRUE(v->GetRecording());
    v->SetRecording(false);
    EXPECT_FALSE(v->GetRecording());
}

TEST_F(VidcapRecording, AStartTheDriverNeverConfirmsIsGivenUpWithoutSpinning)
{
    v->SetPreview(false);   // no preview timer to wake the wait
    MessageLog log;
    log.attach(v->GetCapWnd());
    // A driver that accepts the start and then never reports a capture.
    log.override = [](UINT m, WPARAM, LPARAM, LRESULT& r) {
        r = 1;
        return m == WM_CAP_SEQUENCE;
    };
    clock->stepUs = 50000;
    const int64_t before = clock->inner.monotonicMs();
    const double cpu0 = threadCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    v->SetRecording(true);
    const double cpu = threadCpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    EXPECT_FALSE(v->GetRecording());
    EXPECT_GE(clock->inner.monotonicMs() - before, 15000);
    EXPECT_GT(log.count(WM_CAP_GET_STATUS), 2);
    // Waiting sleeps between looks at the status: far less CPU than time.
    EXPECT_GT(wall, 0.05);
    EXPECT_LT(cpu, wall * 0.5) << "cpu " << cpu << " s in " << wall << " s";
}

TEST_F(VidcapRecording, AnErrorInTheStatusEndsTheStartWaitAtOnce)
{
    MessageLog log;
    log.attach(v->GetCapWnd());
    log.override = [](UINT m, WPARAM w, LPARAM l, LRESULT& r) {
        if (m == WM_CAP_SEQUENCE) {
            r = 1;
            return true;
        }
        if (m == WM_CAP_GET_STATUS && l) {
            CAPSTATUS s{};
            s.uiImageWidth = 640;
            s.uiImageHeight = 480;
            s.dwReturn = IDS_CAP_WRITEERROR;
            std::memcpy(reinterpret_cast<void*>(l), &s, std::min<size_t>(w, sizeof s));
            r = 1;
            return true;
        }
        return false;
    };
    v->SetRecording(true);
    EXPECT_FALSE(v->GetRecording());
    EXPECT_EQ(log.count(WM_CAP_GET_STATUS), 2);   // after the start, then in the wait once
    EXPECT_EQ(v->GetReturn(), IDS_CAP_WRITEERROR);
}

TEST_F(VidcapRecording, ACaptureThatEndsByItselfShowsInRecording)
{
    v->SetFileName(dir.path + "/limit.avi");
    v->SetTimeLimit(1);
    v->SetTimeLimitEnabled(true);
    std::vector<int> statuses;
    v->OnStatus = [&](TObject*, int id, LPSTR) { statuses.push_back(id); };
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    record(1500);
    EXPECT_FALSE(v->GetRecording());   // no statistics getter was needed
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), IDS_CAP_END), statuses.end());
    // The stop that follows finds nothing to stop and returns.
    v->SetRecording(false);
    EXPECT_FALSE(v->GetRecording());
}

TEST_F(VidcapRecording, ACameraThatFailsEndsTheRecordingWithAnError)
{
    v->SetFileName(dir.path + "/unplug.avi");
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    record(500);
    findCaptureWindow(v->GetCapWnd())->deviceFailed(captureFault(CaptureFault::CameraLost, "The camera was unplugged"));
    processPendingMessages();
    EXPECT_FALSE(v->GetRecording());
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back().first, IDS_CAP_DRIVER_ERROR);
    EXPECT_EQ(errors.back().second, "The camera was unplugged");
    EXPECT_FALSE(recordingSeenByError.back());
    v->SetRecording(false);   // returns at once
    EXPECT_FALSE(v->GetRecording());
}

TEST_F(VidcapRecording, ANestedStartOrStopReturnsAtOnce)
{
    v->SetFileName(dir.path + "/nested.avi");
    MessageLog log;
    log.attach(v->GetCapWnd());
    int nested = 0;
    // The status callback runs inside the start message, while SetRecording waits.
    v->OnStatus = [&](TObject*, int id, LPSTR) {
        if (id == IDS_CAP_BEGIN) {
            ++nested;
            v->SetRecording(false);
        }
    };
    v->SetRecording(true);
    EXPECT_EQ(nested, 1);
    EXPECT_TRUE(v->GetRecording());
    EXPECT_EQ(log.count(WM_CAP_STOP), 0);
    v->OnStatus = nullptr;
    v->SetRecording(false);
    EXPECT_EQ(log.count(WM_CAP_STOP), 1);
}

TEST_F(VidcapRecording, StopGapRecordsOneFramePerSaveFrame)
{
    REQUIRE_FFMPEG();
    const std::string path = dir.path + "/steps.avi";
    v->SetFileName(path);
    v->SetStopGap(true);
    MessageLog log;
    log.attach(v->GetCapWnd());
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    EXPECT_EQ(log.count(WM_CAP_SINGLE_FRAME_OPEN), 1);
    v->SetStopGap(false);   // ignored while recording: the stop must match the start
    EXPECT_TRUE(v->GetStopGap());
    for (int i = 0; i < 3; ++i) {
        advance(100);
        v->SaveFrame();
    }
    EXPECT_EQ(log.count(WM_CAP_SINGLE_FRAME), 3);
    v->SetRecording(false);
    EXPECT_FALSE(v->GetRecording());
    EXPECT_EQ(log.count(WM_CAP_SINGLE_FRAME_CLOSE), 1);
    EXPECT_EQ(log.count(WM_CAP_STOP), 0);
    auto video = aviprobe::stream(path, "v:0");
    EXPECT_EQ(video["nb_read_frames"], "3") << video["error"];
}

TEST_F(VidcapRecording, SaveFrameWritesABitmapOnlyWhenNotRecording)
{
    const std::string still = dir.path + "/still.bmp";
    v->SetFileName(still);
    v->SaveFrame();
    std::ifstream in(still, std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "BM");
    EXPECT_TRUE(v->GetFrameUpdated());   // the grab ran the frame callback

    const std::string clip = dir.path + "/clip.avi";
    v->SetFileName(clip);
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    MessageLog log;
    log.attach(v->GetCapWnd());
    v->SaveFrame();
    v->CopyFrame();
    EXPECT_EQ(log.count(WM_CAP_FILE_SAVEDIB), 0);
    EXPECT_EQ(log.count(WM_CAP_GRAB_FRAME_NOSTOP), 0);
    EXPECT_EQ(log.count(WM_CAP_SINGLE_FRAME), 0);
    EXPECT_EQ(log.count(WM_CAP_EDIT_COPY), 0);
    v->SetRecording(false);
}

TEST_F(VidcapRecording, ParentStaysWhileRecording)
{
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    v->SetFileName(dir.path + "/parent.avi");
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    closeBoxes();
    v->SetParent(panel);
    EXPECT_EQ(v->GetParent(), form.get());
    v->SetParent(nullptr);
    EXPECT_EQ(v->GetParent(), form.get());
    ASSERT_EQ(seenBoxes.size(), 2u);
    EXPECT_EQ(seenBoxes[0].caption, "DEVELOPMENT ERROR");
    EXPECT_TRUE(v->GetRecording());
    clock->stepUs = 0;
    v->SetRecording(false);
}

// No capture window, no capture: a window that goes while a stop waits for the driver, or
// while recording, leaves Recording false, and the component is usable again.
TEST_F(VidcapRecording, ACaptureWindowThatGoesEndsTheRecording)
{
    v->SetFileName(dir.path + "/gone.avi");
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    const HWND first = v->GetCapWnd();
    {
        MessageLog log;
        log.attach(first);
        // A driver that takes the stop but confirms it only later; meanwhile the window is
        // closed, so the wait finds no window to ask.
        log.override = [first](UINT m, WPARAM, LPARAM, LRESULT& r) {
            if (m != WM_CAP_STOP)
                return false;
            PostMessageA(first, WM_CLOSE, 0, 0);
            r = TRUE;
            return true;
        };
        clock->stepUs = 50000;   // should the close not arrive, the wait still runs out
        v->SetRecording(false);
        EXPECT_EQ(log.count(WM_CAP_STOP), 1);
    }
    ASSERT_FALSE(IsWindow(first));
    EXPECT_FALSE(v->GetRecording());

    // Re-parenting is no longer refused as "while recording" (no box appears), and the
    // component makes itself a new capture window on the driver it had.
    closeBoxes();
    v->SetParent(nullptr);
    EXPECT_EQ(v->GetParent(), nullptr);
    v->SetParent(form.get());
    EXPECT_TRUE(seenBoxes.empty());
    ASSERT_TRUE(IsWindow(v->GetCapWnd()));
    EXPECT_TRUE(v->GetDeviceConnected());
    clock->stepUs = 0;
    MessageLog log;
    log.attach(v->GetCapWnd());
    v->CopyFrame();
    EXPECT_EQ(log.count(WM_CAP_EDIT_COPY), 1);

    // The window destroyed during a recording: the stop finds nothing to send to.
    v->SetFileName(dir.path + "/gone-again.avi");
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    DestroyWindow(v->GetCapWnd());
    v->SetRecording(false);
    EXPECT_FALSE(v->GetRecording());
}

TEST_F(VidcapRecording, DestroyingTheComponentFinishesTheFile)
{
    REQUIRE_FFMPEG();
    const std::string path = dir.path + "/closing.avi";
    v->SetFileName(path);
    v->SetRecording(true);
    ASSERT_TRUE(v->GetRecording());
    const HWND cap = v->GetCapWnd();
    record(1000);
    delete v;
    v = nullptr;
    EXPECT_FALSE(IsWindow(cap));
    EXPECT_EQ(TVidCap::ThisList, nullptr);
    auto video = aviprobe::stream(path, "v:0");
    EXPECT_EQ(video["r_frame_rate"], "4/1") << video["error"];
    EXPECT_GE(aviprobe::number(video, "nb_read_frames"), 3);
}

}  // namespace
