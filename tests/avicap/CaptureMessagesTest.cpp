#include <cstddef>
#include <cstring>
#include <string>

#include "CaptureFixture.h"

namespace {

std::vector<std::pair<int, std::string>> errors;
LRESULT onError(HWND, int id, LPCSTR text)
{
    errors.push_back({id, text ? text : ""});
    return TRUE;
}

}  // namespace

TEST(VfwLayout, RecordsKeepTheirDocumentedOffsets)
{
    EXPECT_EQ(offsetof(CAPDRIVERCAPS, fCaptureInitialized), 20u);
    EXPECT_EQ(offsetof(CAPSTATUS, ptScroll), 20u);
    EXPECT_EQ(offsetof(CAPSTATUS, dwCurrentVideoFrame), 40u);
    EXPECT_EQ(offsetof(CAPSTATUS, fCapturingNow), 60u);
    EXPECT_EQ(offsetof(CAPTUREPARMS, fCaptureAudio), 32u);
    EXPECT_EQ(offsetof(CAPTUREPARMS, wTimeLimit), 56u);
    EXPECT_EQ(offsetof(CAPTUREPARMS, AVStreamMaster), 92u);
    EXPECT_EQ(offsetof(WAVEFORMATEX, cbSize), 16u);
    EXPECT_EQ(WM_CAP_DRIVER_CONNECT, 0x40Au);
    EXPECT_EQ(WM_CAP_DLG_VIDEOCOMPRESSION, 1070u);
    EXPECT_EQ(WM_CAP_SET_CALLBACK_CAPCONTROL, 1109u);
    EXPECT_EQ(WM_CAP_SINGLE_FRAME, WM_USER + 72);
}

// Nothing is installed behind the program's back: until it installs them there is no camera
// driver (the test pattern stands alone) and no recorder.
TEST(CaptureRegistry, NoCameraDriverAndNoRecorderUntilInstalled)
{
    EXPECT_FALSE(captureRecorderFactory());
    const std::vector<CaptureDeviceInfo> devices = listCaptureDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].name, "Lumo Test Pattern");
}

TEST_F(CaptureFixture, DriverDescriptionsListTheTestPatternLastAndStopAtTheEnd)
{
    char name[80], version[80];
    ASSERT_TRUE(capGetDriverDescriptionA(0, name, sizeof name, version, sizeof version));
    EXPECT_STREQ(name, "Lumo Test Pattern");
    EXPECT_FALSE(capGetDriverDescriptionA(1, name, sizeof name, version, sizeof version));
    EXPECT_FALSE(capGetDriverDescriptionA(65535, name, sizeof name, version, sizeof version));
    // Truncated to the buffer, always terminated; null buffers are skipped.
    char tiny[5];
    ASSERT_TRUE(capGetDriverDescriptionA(0, tiny, sizeof tiny, nullptr, 0));
    EXPECT_STREQ(tiny, "Lumo");
}

TEST_F(CaptureFixture, MissingWindowAnswersZero)
{
    CAPSTATUS s{};
    DestroyWindow(cap);
    EXPECT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 0);
    EXPECT_EQ(send(WM_CAP_GET_STATUS, &s), 0);
    EXPECT_EQ(SendMessageA(0, WM_CAP_GRAB_FRAME_NOSTOP, 0, 0), 0);
    EXPECT_EQ(SendMessageA(0xDEADBEEF, WM_CAP_DRIVER_GET_CAPS, 0, 0), 0);
    EXPECT_EQ(capCreateCaptureWindowA("x", WS_CHILD, 0, 0, 10, 10, 0xDEADBEEF, 0), 0u);
}

TEST_F(CaptureFixture, NotConnectedRefusesDriverMessagesAndLeavesRecordsAlone)
{
    CAPSTATUS s{};
    s.fLiveWindow = 7;
    CAPDRIVERCAPS caps{};
    char text[256] = "kept";
    POINT scroll{1, 1};
    EXPECT_FALSE(send(WM_CAP_GET_STATUS, &s));
    EXPECT_EQ(s.fLiveWindow, 7);
    EXPECT_FALSE(send(WM_CAP_DRIVER_GET_CAPS, &caps));
    EXPECT_EQ(caps.fCaptureInitialized, 0);
    EXPECT_FALSE(send(WM_CAP_DRIVER_GET_NAME, 256, LPARAM(text)));
    EXPECT_STREQ(text, "kept");
    for (UINT m : {WM_CAP_DRIVER_DISCONNECT, WM_CAP_SET_PREVIEW, WM_CAP_SET_OVERLAY,
                   WM_CAP_SET_PREVIEWRATE, WM_CAP_SET_SCALE, WM_CAP_GRAB_FRAME,
                   WM_CAP_GRAB_FRAME_NOSTOP, WM_CAP_EDIT_COPY, WM_CAP_SEQUENCE, WM_CAP_STOP,
                   WM_CAP_SINGLE_FRAME_OPEN, WM_CAP_SINGLE_FRAME, WM_CAP_SINGLE_FRAME_CLOSE,
                   WM_CAP_DLG_VIDEOFORMAT, WM_CAP_DLG_VIDEOSOURCE, WM_CAP_DLG_VIDEODISPLAY,
                   WM_CAP_DLG_VIDEOCOMPRESSION, WM_CAP_GET_VIDEOFORMAT})
        EXPECT_EQ(send(m, 1), 0) << m;
    EXPECT_FALSE(send(WM_CAP_SET_SCROLL, 0, LPARAM(&scroll)));
    EXPECT_FALSE(send(WM_CAP_FILE_SAVEDIB, 0, LPARAM("/tmp/never.bmp")));
    // The window's own settings work without a driver.
    EXPECT_TRUE(send(WM_CAP_SET_CALLBACK_ERROR, 0, LPARAM(&onError)));
    EXPECT_TRUE(send(WM_CAP_SET_USER_DATA, 0, 1234));
    EXPECT_EQ(send(WM_CAP_GET_USER_DATA), 1234);
    EXPECT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM("Untitled")));
}

TEST_F(CaptureFixture, ConnectFillsNameVersionCapsAndStatus)
{
    EXPECT_FALSE(send(WM_CAP_DRIVER_CONNECT, 1));   // past the last driver
    EXPECT_FALSE(send(WM_CAP_DRIVER_CONNECT, 9));
    EXPECT_FALSE(send(WM_CAP_DRIVER_CONNECT, WPARAM(-1)));
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    char name[256] = {}, version[256] = {};
    ASSERT_TRUE(send(WM_CAP_DRIVER_GET_NAME, 256, LPARAM(name)));
    ASSERT_TRUE(send(WM_CAP_DRIVER_GET_VERSION, 256, LPARAM(version)));
    EXPECT_STREQ(name, "Lumo Test Pattern");
    EXPECT_STRNE(version, "");
    EXPECT_FALSE(send(WM_CAP_DRIVER_GET_NAME, 256, 0));

    CAPDRIVERCAPS caps{};
    ASSERT_TRUE(send(WM_CAP_DRIVER_GET_CAPS, &caps));
    EXPECT_EQ(caps.wDeviceIndex, 0u);
    EXPECT_EQ(caps.fCaptureInitialized, 1);
    EXPECT_EQ(caps.fHasOverlay, 0);
    EXPECT_EQ(caps.fHasDlgVideoFormat, 1);
    EXPECT_EQ(caps.fHasDlgVideoSource, 1);
    EXPECT_EQ(caps.fHasDlgVideoDisplay, 0);

    CAPSTATUS s = status();
    EXPECT_EQ(s.uiImageWidth, 640u);
    EXPECT_EQ(s.uiImageHeight, 480u);
    EXPECT_EQ(s.fLiveWindow, 0);
    EXPECT_EQ(s.fCapturingNow, 0);
    EXPECT_EQ(s.fAudioHardware, audioInputPresent() ? 1 : 0);

    EXPECT_TRUE(send(WM_CAP_DRIVER_DISCONNECT));
    EXPECT_FALSE(send(WM_CAP_DRIVER_DISCONNECT));
    caps = {};
    EXPECT_FALSE(send(WM_CAP_DRIVER_GET_CAPS, &caps));
}

TEST_F(CaptureFixture, ShortRecordSizesCopyOnlyWhatFits)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    uint32_t words[3] = {0, 0, 0xAAAAAAAA};
    ASSERT_TRUE(send(WM_CAP_GET_STATUS, 8, LPARAM(words)));
    EXPECT_EQ(words[0], 640u);
    EXPECT_EQ(words[1], 480u);
    EXPECT_EQ(words[2], 0xAAAAAAAAu);
    EXPECT_FALSE(send(WM_CAP_GET_STATUS, 76, 0));
}

TEST_F(CaptureFixture, DisplaySettingsShowInTheStatus)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    EXPECT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
    EXPECT_TRUE(send(WM_CAP_SET_SCALE, TRUE));
    EXPECT_TRUE(send(WM_CAP_SET_OVERLAY, TRUE));   // accepted, nothing changes
    POINT scroll{5, 7};
    EXPECT_TRUE(send(WM_CAP_SET_SCROLL, 0, LPARAM(&scroll)));
    EXPECT_FALSE(send(WM_CAP_SET_SCROLL, 0, 0));
    CAPSTATUS s = status();
    EXPECT_EQ(s.fLiveWindow, 1);
    EXPECT_EQ(s.fScale, 1);
    EXPECT_EQ(s.fOverlayWindow, 0);
    EXPECT_EQ(s.ptScroll.x, 5);
    EXPECT_EQ(s.ptScroll.y, 7);
    EXPECT_TRUE(send(WM_CAP_SET_PREVIEW, FALSE));
    EXPECT_TRUE(send(WM_CAP_SET_SCALE, FALSE));
    s = status();
    EXPECT_EQ(s.fLiveWindow, 0);
    EXPECT_EQ(s.fScale, 0);
    // A new connection starts without preview.
    EXPECT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
    ASSERT_TRUE(send(WM_CAP_DRIVER_DISCONNECT));
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    EXPECT_EQ(status().fLiveWindow, 0);
}

TEST_F(CaptureFixture, SequenceSetupIsStoredAndReturned)
{
    CAPTUREPARMS parms{};
    ASSERT_TRUE(send(WM_CAP_GET_SEQUENCE_SETUP, &parms));
    EXPECT_EQ(parms.dwRequestMicroSecPerFrame, 66667u);
    parms.dwRequestMicroSecPerFrame = 250000;
    parms.fCaptureAudio = 1;
    parms.fLimitEnabled = 1;
    parms.wTimeLimit = 30;
    parms.dwIndexSize = 324000;
    ASSERT_TRUE(send(WM_CAP_SET_SEQUENCE_SETUP, &parms));
    CAPTUREPARMS back{};
    ASSERT_TRUE(send(WM_CAP_GET_SEQUENCE_SETUP, &back));
    EXPECT_EQ(std::memcmp(&back, &parms, sizeof parms), 0);
    EXPECT_FALSE(send(WM_CAP_SET_SEQUENCE_SETUP, 96, 0));
    parms.dwRequestMicroSecPerFrame = 0;   // no frame rate: refused, old setup stays
    EXPECT_FALSE(send(WM_CAP_SET_SEQUENCE_SETUP, &parms));
    ASSERT_TRUE(send(WM_CAP_GET_SEQUENCE_SETUP, &back));
    EXPECT_EQ(back.dwRequestMicroSecPerFrame, 250000u);
}

TEST_F(CaptureFixture, AudioFormatDefaultsToClassicPcmAndStoresValidFormats)
{
    EXPECT_EQ(send(WM_CAP_GET_AUDIOFORMAT, 0, 0), 18);
    WAVEFORMATEX format{};
    ASSERT_EQ(send(WM_CAP_GET_AUDIOFORMAT, &format), 18);
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.nSamplesPerSec, 11025u);
    EXPECT_EQ(format.wBitsPerSample, 8);
    EXPECT_EQ(format.nChannels, 1);

    WAVEFORMATEX wanted{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    ASSERT_TRUE(send(WM_CAP_SET_AUDIOFORMAT, &wanted));
    ASSERT_EQ(send(WM_CAP_GET_AUDIOFORMAT, &format), 18);
    EXPECT_EQ(std::memcmp(&format, &wanted, sizeof format), 0);

    WAVEFORMATEX inconsistent{WAVE_FORMAT_PCM, 1, 8000, 8000, 2, 16, 0};
    EXPECT_FALSE(send(WM_CAP_SET_AUDIOFORMAT, &inconsistent));
    EXPECT_FALSE(send(WM_CAP_SET_AUDIOFORMAT, 18, 0));
    ASSERT_EQ(send(WM_CAP_GET_AUDIOFORMAT, &format), 18);
    EXPECT_EQ(format.nSamplesPerSec, 8000u);
}

TEST_F(CaptureFixture, VideoFormatIsQueriedBySizeAndSetToOfferedSizesOnly)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    ASSERT_EQ(send(WM_CAP_GET_VIDEOFORMAT, 0, 0), 40);
    BITMAPINFO info{};
    ASSERT_EQ(send(WM_CAP_GET_VIDEOFORMAT, 40, LPARAM(&info)), 40);
    EXPECT_EQ(info.bmiHeader.biWidth, 640);
    EXPECT_EQ(info.bmiHeader.biHeight, 480);
    EXPECT_EQ(info.bmiHeader.biBitCount, 24);
    EXPECT_EQ(info.bmiHeader.biCompression, BI_RGB);

    info.bmiHeader.biWidth = 1280;
    info.bmiHeader.biHeight = 720;
    ASSERT_TRUE(send(WM_CAP_SET_VIDEOFORMAT, 40, LPARAM(&info)));
    EXPECT_EQ(status().uiImageWidth, 1280u);
    info.bmiHeader.biWidth = 1000;   // not offered
    EXPECT_FALSE(send(WM_CAP_SET_VIDEOFORMAT, 40, LPARAM(&info)));
    info.bmiHeader.biWidth = 320;
    info.bmiHeader.biHeight = 240;
    info.bmiHeader.biBitCount = 32;
    EXPECT_FALSE(send(WM_CAP_SET_VIDEOFORMAT, 40, LPARAM(&info)));
    EXPECT_FALSE(send(WM_CAP_SET_VIDEOFORMAT, 40, 0));
    EXPECT_EQ(status().uiImageHeight, 720u);
}

TEST_F(CaptureFixture, CaptureFileNameRoundTripsAndTruncates)
{
    ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM("/tmp/clip.avi")));
    char buffer[256];
    ASSERT_TRUE(send(WM_CAP_FILE_GET_CAPTURE_FILE, sizeof buffer, LPARAM(buffer)));
    EXPECT_STREQ(buffer, "/tmp/clip.avi");
    ASSERT_TRUE(send(WM_CAP_FILE_GET_CAPTURE_FILE, 5, LPARAM(buffer)));
    EXPECT_STREQ(buffer, "/tmp");
    EXPECT_FALSE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, 0));
    ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM("")));
    ASSERT_TRUE(send(WM_CAP_FILE_GET_CAPTURE_FILE, sizeof buffer, LPARAM(buffer)));
    EXPECT_STREQ(buffer, "");
}

TEST_F(CaptureFixture, RecordingMessagesAnswerFalseWithoutARecorder)
{
    // A window made while no factory is installed cannot record.
    setCaptureRecorderFactory(nullptr);
    DestroyWindow(cap);
    cap = capCreateCaptureWindowA("Test", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, 0, 0);
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    for (UINT m : {WM_CAP_SEQUENCE, WM_CAP_SEQUENCE_NOFILE, WM_CAP_STOP, WM_CAP_ABORT,
                   WM_CAP_SINGLE_FRAME_OPEN, WM_CAP_SINGLE_FRAME, WM_CAP_SINGLE_FRAME_CLOSE,
                   WM_CAP_FILE_ALLOCATE, WM_CAP_SET_MCI_DEVICE, WM_CAP_PAL_OPEN})
        EXPECT_EQ(send(m), 0) << m;
    EXPECT_EQ(status().fCapturingNow, 0);
}
