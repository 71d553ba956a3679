// Failures inside the capture path reach the error callback or the status, never vanish:
// callbacks that throw, a camera that will not stream, frames the converter refuses, a
// sound input that will not open, a preroll the program refuses.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "ManualCamera.h"
#include "RecordingFixture.h"
#include "framework/BmpFormat.h"

using namespace aviprobe;

namespace {

// Which callback throws, and on which call.
struct Thrower
{
    std::string which;
    int after = 0;   // calls that pass before it throws
    int calls = 0;
    bool fire(const char* name)
    {
        return which == name && calls++ >= after;
    }
};
Thrower thrower;

LRESULT throwingVideo(HWND window, LPVIDEOHDR header)
{
    if (thrower.fire("video-stream"))
        throw std::runtime_error("video boom");
    return logVideo(window, header);
}
LRESULT throwingWave(HWND window, LPWAVEHDR header)
{
    if (thrower.fire("wave-stream"))
        throw std::runtime_error("wave boom");
    return logWave(window, header);
}
LRESULT throwingYield(HWND window)
{
    if (thrower.fire("yield"))
        throw 42;   // not even a std::exception
    return logYield(window);
}
LRESULT throwingControl(HWND window, int state)
{
    if (thrower.fire("capture-control"))
        throw std::runtime_error("control boom");
    return logControl(window, state);
}
LRESULT throwingFrame(HWND, LPVIDEOHDR)
{
    if (thrower.fire("frame"))
        throw std::runtime_error("frame boom");
    return TRUE;
}
LRESULT throwingError(HWND, int, LPCSTR)
{
    throw std::runtime_error("error boom");
}

class CaptureFailure : public RecordingFixture
{
protected:
    std::shared_ptr<ManualDriver> driver = std::make_shared<ManualDriver>();

    void SetUp() override
    {
        thrower = Thrower{};
        RecordingFixture::SetUp();
        setCameraDriver(driver);
        ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, LPARAM(&throwingVideo)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_WAVESTREAM, 0, LPARAM(&throwingWave)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_YIELD, 0, LPARAM(&throwingYield)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_CAPCONTROL, 0, LPARAM(&throwingControl)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_FRAME, 0, LPARAM(&throwingFrame)));
    }

    void frames(int count)
    {
        for (int i = 0; i < count && driver->camera->sink; ++i) {
            driver->camera->deliver();
            advance(250);
        }
    }
};

}  // namespace

TEST_F(CaptureFailure, ACallbackThatThrowsEndsTheCaptureCleanlyAndIsReported)
{
    REQUIRE_FFMPEG();
    for (const char* which : {"video-stream", "wave-stream", "yield", "capture-control"}) {
        SCOPED_TRACE(which);
        thrower = Thrower{which, 3};
        recording.errors.clear();
        ASSERT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
        ASSERT_TRUE(send(WM_CAP_SEQUENCE));
        frames(12);
        CAPSTATUS s = status();
        EXPECT_EQ(s.fCapturingNow, 0) << "the capture ended";
        EXPECT_EQ(s.fLiveWindow, 0) << "and the preview with it";
        EXPECT_EQ(driver->camera->sink, nullptr) << "the camera stopped";
        EXPECT_EQ(s.dwReturn, DWORD(IDS_CAP_CALLBACK_EXCEPTION));
        ASSERT_EQ(recording.errors.size(), 1u);
        EXPECT_EQ(recording.errors[0].first, IDS_CAP_CALLBACK_EXCEPTION);
        EXPECT_NE(recording.errors[0].second.find(which), std::string::npos) << recording.errors[0].second;
        if (std::string(which) == "yield") {
            EXPECT_NE(recording.errors[0].second.find("unknown exception"), std::string::npos)
                << "yield threw an int: " << recording.errors[0].second;
        }
        capWaitForFiles(cap);
        auto v = stream(path, "v:0");
        EXPECT_GE(number(v, "nb_read_frames"), 1) << v["error"];
        EXPECT_EQ(decodeErrors(path), "");
    }
}

TEST_F(CaptureFailure, AFrameCallbackThatThrowsStopsThePreviewAndAThrowingErrorCallbackIsPrinted)
{
    thrower = Thrower{"frame", 0};
    ASSERT_TRUE(send(WM_CAP_SET_PREVIEWRATE, 1));
    ASSERT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
    frames(1);
    ASSERT_EQ(recording.errors.size(), 1u);
    EXPECT_NE(recording.errors[0].second.find("frame boom"), std::string::npos);
    EXPECT_EQ(status().fLiveWindow, 0);
    EXPECT_EQ(driver->camera->sink, nullptr);

    // The error callback itself throws: the report goes to standard error.
    thrower = Thrower{"frame", 0};
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_ERROR, 0, LPARAM(&throwingError)));
    ASSERT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
    testing::internal::CaptureStderr();
    frames(1);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("frame boom"), std::string::npos) << printed;
    EXPECT_NE(printed.find("error boom"), std::string::npos) << printed;
}

TEST_F(CaptureFailure, AMessageWhoseHandlingThrowsAnswersZeroAndEndsTheCapture)
{
    REQUIRE_FFMPEG();
    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    frames(4);
    driver->camera->controlsThrow = true;
    CAPDRIVERCAPS caps{};
    EXPECT_EQ(send(WM_CAP_DRIVER_GET_CAPS, &caps), 0);
    EXPECT_EQ(status().fCapturingNow, 0);
    ASSERT_EQ(recording.errors.size(), 1u);
    EXPECT_EQ(recording.errors[0].first, IDS_CAP_CALLBACK_EXCEPTION);
    EXPECT_NE(recording.errors[0].second.find("driver exploded"), std::string::npos) << recording.errors[0].second;
    capWaitForFiles(cap);
    EXPECT_EQ(number(stream(path, "v:0"), "nb_read_frames"), 4);
}

TEST_F(CaptureFailure, ACameraThatWillNotStreamIsReportedNotShownBlack)
{
    driver->camera->refuseStream = captureFault(CaptureFault::CameraBusy, "VIDIOC_STREAMON on /dev/video0: Device or resource busy");
    EXPECT_FALSE(send(WM_CAP_SET_PREVIEW, TRUE));
    CAPSTATUS s = status();
    EXPECT_EQ(s.fLiveWindow, 0);
    // The camera's own reason, not a bare driver error.
    EXPECT_EQ(s.dwReturn, DWORD(IDS_CAP_CAMERA_BUSY));
    ASSERT_EQ(recording.errors.size(), 1u);
    EXPECT_EQ(recording.errors[0].first, IDS_CAP_CAMERA_BUSY);
    EXPECT_EQ(recording.errors[0].second, "VIDIOC_STREAMON on /dev/video0: Device or resource busy");

    // A capture cannot start either; its start message says so, and so does the status.
    EXPECT_FALSE(send(WM_CAP_SEQUENCE));
    s = status();
    EXPECT_EQ(s.fCapturingNow, 0);
    EXPECT_NE(s.dwReturn, 0u);

    // Once the camera works again, so do the preview and the next capture.
    driver->camera->refuseStream = {};
    EXPECT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
    EXPECT_EQ(status().fLiveWindow, 1);
    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    EXPECT_EQ(status().dwReturn, 0u);
    ASSERT_TRUE(send(WM_CAP_STOP));
}

TEST_F(CaptureFailure, FramesTheCameraDeliveredUnusableAreCountedInTheStatus)
{
    ASSERT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
    EXPECT_EQ(status().dwCurrentVideoFramesDropped, 0u);
    driver->camera->rejected = 3;
    EXPECT_EQ(status().dwCurrentVideoFramesDropped, 3u);
    // Reconnecting starts the count again.
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    EXPECT_EQ(status().dwCurrentVideoFramesDropped, 0u);
}

TEST_F(CaptureFailure, AFrameShortOfItsSizeLeavesTheLastWholePictureUpAndInTheStill)
{
    ASSERT_TRUE(send(WM_CAP_SET_PREVIEWRATE, 1));
    ASSERT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
    ManualCamera& camera = *driver->camera;
    camera.pixels.assign(size_t(camera.size.width) * size_t(camera.size.height) * 3, 200);
    frames(1);
    camera.pixels.assign(100, 7);   // a broken driver's frame
    frames(1);
    const std::string path = ::testing::TempDir() + "lumo_short_frame.bmp";
    ASSERT_TRUE(send(WM_CAP_FILE_SAVEDIB, 0, LPARAM(path.c_str())));
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const BmpImage image = ReadBmp(bytes.data(), bytes.size());
    ASSERT_EQ(image.Width, camera.size.width);
    ASSERT_EQ(image.Height, camera.size.height);
    EXPECT_TRUE(std::all_of(image.Pixels.begin(), image.Pixels.end(), [](uint8_t v) { return v == 200; }));
}

TEST_F(CaptureFailure, ASoundInputThatWillNotOpenLeavesASilentRecordingAndSaysWhy)
{
    REQUIRE_FFMPEG();
    struct DeafInput : AudioInput
    {
        CaptureError open(const AviAudioFormat&) override
        {
            return captureFault(CaptureFault::SoundFailed, "device busy");
        }
        bool read(AudioBuffer&) override { return false; }
        void close() override {}
    };
    destroyAllWindows();
    setCaptureRecorderFactory(makeCaptureRecorderFactory([] { return std::make_unique<DeafInput>(); }));
    cap = capCreateCaptureWindowA("Test", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, 0, 0);
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(path.c_str())));
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_ERROR, 0, LPARAM(&logError)));
    setup(4, true, false, 0);
    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    frames(8);
    EXPECT_EQ(status().fCapturingNow, 1) << "the capture goes on without sound";
    ASSERT_TRUE(send(WM_CAP_STOP));
    ASSERT_EQ(recording.errors.size(), 1u);
    EXPECT_EQ(recording.errors[0].first, IDS_CAP_WAVE_OPEN_ERROR);
    EXPECT_NE(recording.errors[0].second.find("device busy"), std::string::npos) << recording.errors[0].second;
    capWaitForFiles(cap);
    EXPECT_EQ(number(stream(path, "v:0"), "nb_read_frames"), 8);
    EXPECT_EQ(stream(path, "a:0").count("codec_name"), 0u);
}

TEST_F(CaptureFailure, ARefusedPrerollEndsTheProgramsStartWait)
{
    static bool refuse;
    refuse = true;
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_CAPCONTROL, 0, LPARAM(+[](HWND, int state) -> LRESULT {
                         return state == CONTROLCALLBACK_PREROLL && refuse ? FALSE : TRUE;
                     })));
    EXPECT_FALSE(send(WM_CAP_SEQUENCE));
    // The program's start wait: status and messages until capturing or an error shows.
    int rounds = 0;
    CAPSTATUS s{};
    do {
        s = status();
        processPendingMessages();
    } while (!s.fCapturingNow && !s.dwReturn && ++rounds < 100);
    EXPECT_EQ(rounds, 0);
    EXPECT_EQ(s.fCapturingNow, 0);
    EXPECT_EQ(s.dwReturn, DWORD(IDS_CAP_PREROLL_REFUSED));
    EXPECT_TRUE(recording.errors.empty()) << "a refusal is the program's own choice, not an error";
    EXPECT_FALSE(std::filesystem::exists(path)) << "no file for a capture that never began";

    refuse = false;
    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    EXPECT_EQ(status().dwReturn, 0u) << "a start that works clears it";
    ASSERT_TRUE(send(WM_CAP_STOP));
}
