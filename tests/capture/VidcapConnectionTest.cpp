#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "VidcapFixture.h"
#include "framework/ExtCtrls.h"

namespace {

using VidcapConnection = VidcapFixture;

TEST_F(VidcapConnection, NewComponentHoldsItsDefaultsAndNoWindow)
{
    TVidCap v(nullptr);
    EXPECT_EQ(v.GetWidth(), 160);
    EXPECT_EQ(v.GetHeight(), 120);
    EXPECT_EQ(v.GetCapWnd(), 0u);
    EXPECT_FALSE(v.GetDeviceConnected());
    EXPECT_EQ(v.GetDeviceIndex(), 0);
    EXPECT_TRUE(v.GetPreview());
    EXPECT_FALSE(v.GetOverlay());
    EXPECT_TRUE(v.GetPreviewScaling());
    EXPECT_TRUE(v.GetKeepAspectRatio());
    EXPECT_FLOAT_EQ(v.GetPreviewRate(), 10.0f);
    EXPECT_EQ(v.GetFrameInterval(), 100000);
    EXPECT_EQ(v.GetFrameRate(), 10.0L);
    EXPECT_TRUE(v.GetCaptureAudio());
    EXPECT_FALSE(v.GetTimeLimitEnabled());
    EXPECT_EQ(v.GetTimeLimit(), 30);
    EXPECT_FALSE(v.GetStopGap());
    EXPECT_EQ(v.GetFileName(), "Untitled");
    EXPECT_FALSE(v.GetRecording());
    const CAPTUREPARMS& p = v.CaptureParms();
    EXPECT_EQ(p.wPercentDropForError, 100u);
    EXPECT_EQ(p.fYield, 1);
    EXPECT_EQ(p.dwIndexSize, 324000u);
    EXPECT_EQ(p.wNumAudioRequested, 10u);
    EXPECT_EQ(p.dwMCIStopTime, 30000u);
    EXPECT_EQ(p.wStepCaptureAverageFrames, 1u);
    EXPECT_EQ(p.AVStreamMaster, AVSTREAMMASTER_AUDIO);
    EXPECT_EQ(v.GetVideoFrame()->GetPixelFormat(), pf24bit);
    EXPECT_TRUE(v.GetVideoFrame()->GetEmpty());
}

TEST_F(VidcapConnection, RegistersOnTheVkControlsPage)
{
    TClass cls = GetClass("TVidCap");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->Page(), "VK Controls");
    // Our own properties are stored only when they differ from zero.
    const TPropertyInfo* keep = cls->FindProperty("KeepAspectRatio");
    ASSERT_NE(keep, nullptr);
    TVidCap v(nullptr);
    EXPECT_FALSE(keep->IsDefault(&v));
    v.SetKeepAspectRatio(false);
    EXPECT_TRUE(keep->IsDefault(&v));
    const TPropertyInfo* name = cls->FindProperty("FileName");
    ASSERT_NE(name, nullptr);
    EXPECT_FALSE(name->IsDefault(&v));
}

TEST_F(VidcapConnection, ParentingConnectsDriverZeroAndPreviewsScaledAndCentred)
{
    TVidCap* v = place();
    ASSERT_NE(v->GetCapWnd(), 0u);
    EXPECT_TRUE(IsWindow(v->GetCapWnd()));
    EXPECT_EQ(GetParent(v->GetCapWnd()), v->Handle());
    EXPECT_TRUE(v->GetDeviceConnected());
    EXPECT_EQ(v->GetDeviceIndex(), 0);
    EXPECT_EQ(v->GetDriverName(), "Lumo Test Pattern");
    EXPECT_EQ(v->GetDriverVersion(), "Version: 1.0");
    EXPECT_EQ(v->GetImageWidth(), 640);
    EXPECT_EQ(v->GetImageHeight(), 480);
    EXPECT_TRUE(v->GetPreview());
    EXPECT_TRUE(v->GetPreviewScaling());
    // 640 x 480 fills 160 x 120 exactly.
    EXPECT_EQ(placement(v), TRect(0, 0, 160, 120));
    // The preview runs: frames reach the bitmaps.
    advance(150);
    advance(150);
    EXPECT_TRUE(v->GetFrameUpdated());
    EXPECT_EQ(v->GetVideoFrame()->GetWidth(), 640);
}

TEST_F(VidcapConnection, AspectRatioLayoutForWideTallAndSquareComponents)
{
    // The documented cases of the placement.
    EXPECT_EQ(CaptureWindowPlacement(132, 101, 320, 240, true, true), TRect(0, 1, 131, 99));
    EXPECT_EQ(CaptureWindowPlacement(160, 120, 640, 480, true, true), TRect(0, 0, 160, 120));
    EXPECT_EQ(CaptureWindowPlacement(160, 120, 96, 96, true, true), TRect(20, 0, 140, 120));
    EXPECT_EQ(CaptureWindowPlacement(160, 120, 640, 480, false, true), TRect(0, 0, 640, 480));
    EXPECT_EQ(CaptureWindowPlacement(300, 120, 640, 480, true, false), TRect(0, 0, 300, 120));
    // A component smaller than the image at natural size: negative offsets are kept.
    EXPECT_EQ(CaptureWindowPlacement(100, 100, 640, 480, false, false), TRect(0, 0, 640, 480));

    // Wide: bars left and right. Tall: bars above and below. Square: bars above and below.
    TVidCap* wide = place(400, 120);
    EXPECT_EQ(placement(wide), TRect(120, 0, 280, 120));
    TVidCap* tall = place(120, 400);
    EXPECT_EQ(placement(tall), TRect(0, 155, 120, 245));
    TVidCap* square = place(200, 200);
    EXPECT_EQ(placement(square), TRect(0, 25, 200, 175));

    // Resizing places the window again; switching the aspect ratio off stretches it.
    square->SetBounds(0, 0, 300, 150);
    EXPECT_EQ(placement(square), TRect(50, 0, 250, 150));
    square->SetKeepAspectRatio(false);
    EXPECT_EQ(placement(square), TRect(0, 0, 300, 150));
    square->SetPreviewScaling(false);
    EXPECT_EQ(placement(square), TRect(0, 0, 640, 480));
    EXPECT_FALSE(square->GetPreviewScaling());
}

TEST_F(VidcapConnection, WithoutDriverTheImageCountsAsNinetySixSquare)
{
    TVidCap* v = place(160, 120);
    EXPECT_TRUE(v->DisconnectDevice());
    EXPECT_FALSE(v->GetDeviceConnected());
    v->AdjustCaptureWindowSize();
    EXPECT_EQ(v->GetImageWidth(), 96);
    EXPECT_EQ(placement(v), TRect(20, 0, 140, 120));
    // Disconnecting twice, or a component never connected, is no success.
    EXPECT_FALSE(v->DisconnectDevice());
    TVidCap lone(nullptr);
    EXPECT_FALSE(lone.DisconnectDevice());
}

TEST_F(VidcapConnection, ConnectionReappliesEverySettingInOrder)
{
    TVidCap* v = place();
    v->SetPreviewRate(15.0f);
    v->SetFileName("/tmp/vidcap-none/x.avi");
    MessageLog log;
    log.attach(v->GetCapWnd());
    ASSERT_TRUE(v->ConnectDevice(0));
    const std::vector<UINT> expected = {
        WM_CAP_DRIVER_CONNECT, WM_CAP_SET_SEQUENCE_SETUP, WM_CAP_SET_OVERLAY, WM_CAP_SET_PREVIEW,
        WM_CAP_SET_PREVIEWRATE, WM_CAP_SET_SCALE, WM_CAP_FILE_SET_CAPTURE_FILE, WM_CAP_SET_AUDIOFORMAT,
        WM_CAP_DRIVER_GET_NAME, WM_CAP_DRIVER_GET_VERSION, WM_CAP_DRIVER_GET_CAPS, WM_CAP_GET_STATUS,
        WM_CAP_SET_CALLBACK_CAPCONTROL, WM_CAP_SET_CALLBACK_ERROR, WM_CAP_SET_CALLBACK_FRAME,
        WM_CAP_SET_CALLBACK_STATUS, WM_CAP_SET_CALLBACK_VIDEOSTREAM, WM_CAP_SET_CALLBACK_WAVESTREAM,
        WM_CAP_SET_CALLBACK_YIELD, WM_CAP_GET_STATUS, WM_CAP_GET_STATUS};
    EXPECT_EQ(log.messages(), expected);
    EXPECT_EQ(log.entries[1].wParam, 96u);
    EXPECT_EQ(log.entries[3].wParam, 1u);
    EXPECT_EQ(log.entries[4].wParam, 66u);
    EXPECT_EQ(log.entries[5].wParam, 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(log.entries[6].lParam), "/tmp/vidcap-none/x.avi");
    EXPECT_EQ(log.entries[7].wParam, 18u);
    EXPECT_EQ(log.entries[11].wParam, 76u);
    EXPECT_NE(log.entries[12].lParam, 0);
    // The capture file name only names the file: nothing is created.
    EXPECT_NE(access("/tmp/vidcap-none", F_OK), 0);
}

TEST_F(VidcapConnection, SettersSendOnlyChangesAndOnlyWhileConnected)
{
    TVidCap* v = place();
    MessageLog log;
    log.attach(v->GetCapWnd());
    v->SetPreview(true);   // unchanged: nothing
    v->SetKeepAspectRatio(true);
    v->SetPreviewRate(10.0f);
    v->SetFrameRate(float(v->GetFrameRate()));
    EXPECT_TRUE(log.entries.empty());

    v->SetPreviewRate(15.0f);
    v->SetPreviewRate(3.0f);
    ASSERT_EQ(log.count(WM_CAP_SET_PREVIEWRATE), 2);
    EXPECT_EQ(log.entries[0].wParam, 66u);
    EXPECT_EQ(log.entries[1].wParam, 333u);

    log.entries.clear();
    v->SetFrameRate(4.0f);
    EXPECT_EQ(v->GetFrameInterval(), 250000);
    ASSERT_EQ(log.count(WM_CAP_SET_SEQUENCE_SETUP), 1);
    EXPECT_EQ(reinterpret_cast<const CAPTUREPARMS*>(log.entries[0].lParam)->dwRequestMicroSecPerFrame, 250000u);
    // Read-back rates give their interval again: nothing is sent.
    for (float rate : {15.0f, 30.0f}) {
        v->SetFrameRate(rate);
        int interval = v->GetFrameInterval();
        log.entries.clear();
        v->SetFrameRate(float(v->GetFrameRate()));
        EXPECT_EQ(v->GetFrameInterval(), interval) << rate;
        EXPECT_TRUE(log.entries.empty()) << rate;
    }
    EXPECT_EQ(v->GetFrameInterval(), 33333);

    log.entries.clear();
    v->SetPreview(false);
    EXPECT_EQ(log.messages(), (std::vector<UINT>{WM_CAP_SET_PREVIEW, WM_CAP_GET_STATUS}));
    EXPECT_FALSE(v->GetPreview());
    v->SetCaptureAudio(false);
    v->SetTimeLimit(600);
    v->SetTimeLimitEnabled(true);
    EXPECT_EQ(log.count(WM_CAP_SET_SEQUENCE_SETUP), 3);
    CAPTUREPARMS sent{};
    SendMessageA(v->GetCapWnd(), WM_CAP_GET_SEQUENCE_SETUP, sizeof sent, LPARAM(&sent));
    EXPECT_EQ(sent.fCaptureAudio, 0);
    EXPECT_EQ(sent.wTimeLimit, 600u);
    EXPECT_EQ(sent.fLimitEnabled, 1);

    // Not connected: stored, then sent on the next connection.
    v->DisconnectDevice();
    log.entries.clear();
    v->SetPreview(true);
    v->SetPreviewRate(5.0f);
    v->SetCaptureAudio(true);
    v->SetFileName("");
    EXPECT_TRUE(log.entries.empty());
    EXPECT_TRUE(v->GetPreview());
    ASSERT_TRUE(v->ConnectDevice(0));
    EXPECT_EQ(log.last(WM_CAP_SET_PREVIEW)->wParam, 1u);
    EXPECT_EQ(log.last(WM_CAP_SET_PREVIEWRATE)->wParam, 200u);
    // An empty name goes as an empty text, never as null.
    ASSERT_NE(log.last(WM_CAP_FILE_SET_CAPTURE_FILE)->lParam, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(log.last(WM_CAP_FILE_SET_CAPTURE_FILE)->lParam), "");
    SendMessageA(v->GetCapWnd(), WM_CAP_GET_SEQUENCE_SETUP, sizeof sent, LPARAM(&sent));
    EXPECT_EQ(sent.fCaptureAudio, 1);
    EXPECT_TRUE(v->GetPreview());
}

TEST_F(VidcapConnection, RatesThatAreNoRatesAreIgnored)
{
    TVidCap* v = place();
    MessageLog log;
    log.attach(v->GetCapWnd());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {0.0f, -1.0f, nan, inf, -inf, 1e-12f}) {
        v->SetPreviewRate(bad);
        v->SetFrameRate(bad);
    }
    v->SetFrameRate(1e9f);   // an interval below one microsecond
    v->SetFrameInterval(0);
    v->SetFrameInterval(-5);
    v->SetTimeLimit(-1);
    EXPECT_TRUE(log.entries.empty());
    EXPECT_FLOAT_EQ(v->GetPreviewRate(), 10.0f);
    EXPECT_EQ(v->GetFrameInterval(), 100000);
    EXPECT_EQ(v->GetTimeLimit(), 30);
}

TEST_F(VidcapConnection, ReparentingKeepsOrRemakesTheCaptureWindow)
{
    auto* panelA = new TPanel(form.get());
    panelA->SetParent(form.get());
    auto* panelB = new TPanel(form.get());
    panelB->SetParent(form.get());
    TVidCap* v = place(160, 120, panelA);
    HWND first = v->GetCapWnd();
    ASSERT_TRUE(v->GetDeviceConnected());

    v->SetParent(panelB);
    EXPECT_EQ(v->GetCapWnd(), first);
    EXPECT_TRUE(v->GetDeviceConnected());

    v->SetParent(nullptr);
    EXPECT_EQ(v->GetCapWnd(), 0u);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(v->GetDeviceConnected());
    EXPECT_EQ(TVidCap::ThisList, nullptr);

    v->SetParent(panelA);
    ASSERT_NE(v->GetCapWnd(), 0u);
    EXPECT_TRUE(v->GetDeviceConnected());
    EXPECT_EQ(v->GetDeviceIndex(), 0);
    ASSERT_NE(TVidCap::ThisList, nullptr);
    EXPECT_EQ(TVidCap::ThisList->Count(), 1);
}

TEST_F(VidcapConnection, FailedConnectKeepsTheOldConnection)
{
    TVidCap* v = place();
    const HWND cap = v->GetCapWnd();
    advance(100);
    const uint64_t before = findCaptureWindow(cap)->framesShown();
    EXPECT_FALSE(v->ConnectDevice(9));
    EXPECT_FALSE(v->ConnectDevice(-1));
    EXPECT_TRUE(v->GetDeviceConnected());
    EXPECT_EQ(v->GetDeviceIndex(), 0);
    // The window still has its driver and goes on previewing.
    CAPDRIVERCAPS caps{};
    EXPECT_TRUE(SendMessageA(cap, WM_CAP_DRIVER_GET_CAPS, sizeof caps, LPARAM(&caps)));
    EXPECT_TRUE(caps.fCaptureInitialized);
    advance(150);
    advance(150);
    EXPECT_GT(findCaptureWindow(cap)->framesShown(), before);
}

TEST_F(VidcapConnection, RefusedParametersMakeTheConnectionAFailure)
{
    TVidCap* v = place();
    MessageLog log;
    log.attach(v->GetCapWnd());
    log.override = [](UINT m, WPARAM, LPARAM, LRESULT& r) {
        r = 0;
        return m == WM_CAP_SET_SEQUENCE_SETUP;
    };
    EXPECT_FALSE(v->ConnectDevice(0));
    // Nothing after the refused parameters was applied, yet the records were read and the
    // window placed.
    EXPECT_EQ(log.count(WM_CAP_SET_PREVIEW), 0);
    EXPECT_EQ(log.count(WM_CAP_SET_CALLBACK_FRAME), 0);
    EXPECT_GE(log.count(WM_CAP_GET_STATUS), 1);
    EXPECT_EQ(log.count(WM_CAP_DRIVER_GET_CAPS), 1);
}

TEST_F(VidcapConnection, FormatBlocksAreReadAfreshAndNeverShort)
{
    TVidCap* v = place();
    v->GetBitmapInfo();
    ASSERT_NE(v->BitmapInfo, nullptr);
    EXPECT_EQ(v->BitmapInfo->bmiHeader.biWidth, 640);
    EXPECT_EQ(v->BitmapInfo->bmiHeader.biBitCount, 24);
    v->GetWaveFormatEx();
    ASSERT_NE(v->WaveFormatEx, nullptr);
    EXPECT_EQ(v->WaveFormatEx->nSamplesPerSec, 8000u);
    EXPECT_EQ(v->WaveFormatEx->wBitsPerSample, 16);
    EXPECT_EQ(v->WaveFormatEx->nAvgBytesPerSec, 16000u);

    MessageLog log;
    log.attach(v->GetCapWnd());
    // A driver naming a block shorter than the structure: the rest reads as zero.
    log.override = [](UINT m, WPARAM w, LPARAM l, LRESULT& r) {
        if (m != WM_CAP_GET_VIDEOFORMAT)
            return false;
        if (l)
            std::memset(reinterpret_cast<void*>(l), 0x11, w);
        r = 4;
        return true;
    };
    v->GetBitmapInfo();
    ASSERT_NE(v->BitmapInfo, nullptr);
    EXPECT_EQ(v->BitmapInfo->bmiHeader.biSize, 0x11111111u);
    EXPECT_EQ(v->BitmapInfo->bmiHeader.biWidth, 0);
    // None at all: no block.
    log.override = [](UINT m, WPARAM, LPARAM, LRESULT& r) {
        r = 0;
        return m == WM_CAP_GET_VIDEOFORMAT || m == WM_CAP_GET_AUDIOFORMAT;
    };
    v->GetBitmapInfo();
    v->GetWaveFormatEx();
    EXPECT_EQ(v->BitmapInfo, nullptr);
    EXPECT_EQ(v->WaveFormatEx, nullptr);
}

TEST_F(VidcapConnection, DialogsFollowTheCapabilities)
{
    TVidCap* v = place();
    EXPECT_TRUE(v->GetHasDlgVideoFormat());
    EXPECT_TRUE(v->GetHasDlgVideoSource());
    EXPECT_FALSE(v->GetHasOverlay());
    MessageLog log;
    log.attach(v->GetCapWnd());
    // The dialogs are modal; answered here without showing them.
    log.override = [](UINT m, WPARAM, LPARAM, LRESULT& r) {
        r = 1;
        return m >= WM_CAP_DLG_VIDEOFORMAT && m <= WM_CAP_DLG_VIDEOCOMPRESSION;
    };
    v->SetVideoFormat();
    v->SetVideoSource();
    v->SetVideoDisplay();   // the test pattern has no display dialog
    v->SetVideoCompression();
    EXPECT_EQ(log.count(WM_CAP_DLG_VIDEOFORMAT), 1);
    EXPECT_EQ(log.count(WM_CAP_DLG_VIDEOSOURCE), 1);
    EXPECT_EQ(log.count(WM_CAP_DLG_VIDEODISPLAY), 0);
    EXPECT_EQ(log.count(WM_CAP_DLG_VIDEOCOMPRESSION), 1);
    v->DisconnectDevice();
    log.entries.clear();
    v->SetVideoFormat();
    v->SetVideoCompression();
    EXPECT_TRUE(log.entries.empty());
}

}  // namespace
