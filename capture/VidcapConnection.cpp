// Life cycle, the capture window, the connection to a driver, display settings, the
// driver's dialogs and the format queries.
#include <cmath>
#include <cstring>

#include "capture/Vidcap.h"
#include "framework/Forms.h"

TVidCap::TVidCap(TComponent* AOwner) : TCustomControl(AOwner)
{
    FVideoFrame = new TBitmap();
    FVideoFrame->SetPixelFormat(pf24bit);
    FCaptureFrame = new TBitmap();
    FCaptureFrame->SetPixelFormat(pf24bit);
    SetBounds(GetLeft(), GetTop(), 160, 120);
    InitCapParms();
    FDriverCaps.fCaptureInitialized = 0;
    // The setters apply every default, even one equal to the zero already held.
    FInitializing = true;
    SetOverlay(false);
    SetPreview(true);
    SetPreviewRate(10.0f);
    SetPreviewScaling(true);
    SetKeepAspectRatio(true);
    SetFrameInterval(100000);
    SetCaptureAudio(true);
    SetTimeLimitEnabled(false);
    SetTimeLimit(30);
    SetStopGap(false);
    SetFileName("Untitled");
    FInitializing = false;
}

TVidCap::~TVidCap()
{
    if (FCapWnd || InList()) {
        DettachCallbacks();
        if (GetDeviceConnected()) {
            if (GetRecording())
                SetRecording(false);
            DisconnectDevice();
        }
    }
    BitmapInfo = nullptr;
    WaveFormatEx = nullptr;
    FBitmapInfoBuffer.reset();
    FWaveFormatBuffer.reset();
    delete FCaptureFrame;
    delete FVideoFrame;
    // The capture window goes with the component's own window, as its child.
}

LRESULT TVidCap::Send(UINT Msg, WPARAM WParam, LPARAM LParam)
{
    if (!FCapWnd || !IsWindow(FCapWnd))
        return 0;
    return SendMessageA(FCapWnd, Msg, WParam, LParam);
}

// ---- Parent and bounds ----

void TVidCap::SetParent(TWinControl* AParent)
{
    if (AParent == GetParent())
        return;
    if (GetRecording()) {
        if (Application)
            Application->MessageBox("Cannot change Parent while recording", "DEVELOPMENT ERROR", MB_OK);
        return;
    }
    if (!AParent) {
        DettachCallbacks();
        DisconnectDevice();
        if (FCapWnd && IsWindow(FCapWnd))
            DestroyWindow(FCapWnd);
        FCapWnd = 0;
    }
    TWinControl* old = GetParent();
    TCustomControl::SetParent(AParent);
    // A move between parents keeps the capture window: it is a child of our own window.
    if (old || !AParent)
        return;
    // Nothing reaches the window layer while a layout is read; Loaded makes the window.
    if (Loading())
        return;
    CreateCaptureWindow();
}

void TVidCap::Loaded()
{
    TCustomControl::Loaded();
    if (GetParent() && !FCapWnd)
        CreateCaptureWindow();
}

void TVidCap::CreateCaptureWindow()
{
    HWND own = 0;
    try {
        own = GetHandle();
    } catch (const EInvalidOperation&) {
        return;   // no window chain up to a form yet: the component stays unwindowed
    }
    FCapWnd = capCreateCaptureWindowA("CapCam Window", WS_CHILD | WS_VISIBLE, 0, 0, GetWidth(), GetHeight(), own, 0);
    ConnectDevice(GetDeviceIndex());
    AttachCallbacks();
}

void TVidCap::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    const int oldWidth = GetWidth(), oldHeight = GetHeight();
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (GetWidth() != oldWidth || GetHeight() != oldHeight)
        AdjustCaptureWindowSize();
}

// ---- Connection ----

bool TVidCap::ConnectDevice(int Index)
{
    if (!FCapWnd)
        return false;
    if (ComponentState().Contains(csDesigning))
        return true;
    if (Index < 0 || Send(WM_CAP_DRIVER_CONNECT, WPARAM(Index), 0) == 0)
        return false;   // the window keeps its old driver; so do our records
    bool ok = RestoreSettings();
    if (!ok)
        GetCapDriverCaps();   // refused parameters: the records still say what is connected
    GetCapStatus();
    AdjustCaptureWindowSize();
    return ok;
}

bool TVidCap::DisconnectDevice()
{
    if (!FCapWnd)
        return false;
    Send(WM_CAP_SET_CALLBACK_STATUS, 0, 0);
    Send(WM_CAP_SET_CALLBACK_ERROR, 0, 0);
    Send(WM_CAP_SET_CALLBACK_FRAME, 0, 0);
    bool ok = Send(WM_CAP_DRIVER_DISCONNECT, 0, 0) != 0;
    if (BOOL(ok) != FDriverCaps.fCaptureInitialized)
        ok = false;
    FDriverCaps.fCaptureInitialized = 0;
    // No driver, no capture: the copy must not go on reporting one.
    FCapStatus.fCapturingNow = 0;
    return ok;
}

void TVidCap::GetCapDriverCaps()
{
    Send(WM_CAP_DRIVER_GET_CAPS, sizeof FDriverCaps, LPARAM(&FDriverCaps));
}

void TVidCap::GetCapStatus()
{
    Send(WM_CAP_GET_STATUS, sizeof FCapStatus, LPARAM(&FCapStatus));
}

void TVidCap::GetCaptureParms()
{
    Send(WM_CAP_GET_SEQUENCE_SETUP, sizeof FCaptureParms, LPARAM(&FCaptureParms));
}

// ---- Display settings ----

void TVidCap::AdjustCaptureWindowSize()
{
    GetCapStatus();
    if (!FCapWnd || !IsWindow(FCapWnd))
        return;
    if (!GetDeviceConnected()) {
        FCapStatus.uiImageWidth = 96;
        FCapStatus.uiImageHeight = 96;
    }
    int w = GetImageWidth(), h = GetImageHeight();
    if (w <= 0 || h <= 0)
        w = h = 96;   // a driver without an image size is placed as one without a driver
    TRect r = CaptureWindowPlacement(GetWidth(), GetHeight(), w, h, GetPreviewScaling(), FKeepAspectRatio);
    SetWindowPos(FCapWnd, 0, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER);
}

void TVidCap::SetOverlay(bool Value)
{
    if (!FInitializing && Value == GetOverlay())
        return;
    if (GetDeviceConnected()) {
        Send(WM_CAP_SET_OVERLAY, Value, 0);
        GetCapStatus();
    } else {
        FCapStatus.fOverlayWindow = Value;
    }
}

void TVidCap::SetPreview(bool Value)
{
    if (!FInitializing && Value == GetPreview())
        return;
    if (GetDeviceConnected()) {
        Send(WM_CAP_SET_PREVIEW, Value, 0);
        GetCapStatus();
    } else {
        FCapStatus.fLiveWindow = Value;
    }
}

void TVidCap::SetPreviewScaling(bool Value)
{
    if (!FInitializing && Value == GetPreviewScaling())
        return;
    if (GetDeviceConnected()) {
        Send(WM_CAP_SET_SCALE, Value, 0);
        GetCapStatus();
        AdjustCaptureWindowSize();
    } else {
        FCapStatus.fScale = Value;
    }
}

int TVidCap::PreviewPeriodMs() const
{
    return int(1000.0L / static_cast<long double>(FPreviewRate));
}

void TVidCap::SetPreviewRate(float Value)
{
    // A period has to be a positive number of milliseconds that fits the message.
    if (!std::isfinite(Value) || Value <= 0 || 1000.0L / Value > 0x7FFFFFFF)
        return;
    if (!FInitializing && Value == FPreviewRate)
        return;
    FPreviewRate = Value;
    if (GetDeviceConnected())
        Send(WM_CAP_SET_PREVIEWRATE, WPARAM(PreviewPeriodMs()), 0);
}

void TVidCap::SetKeepAspectRatio(bool Value)
{
    if (!FInitializing && Value == FKeepAspectRatio)
        return;
    FKeepAspectRatio = Value;
    AdjustCaptureWindowSize();
}

// ---- Dialogs ----

void TVidCap::SetVideoFormat()
{
    if (!GetDeviceConnected() || !GetHasDlgVideoFormat())
        return;
    Send(WM_CAP_DLG_VIDEOFORMAT, 0, 0);
    GetCapStatus();
    AdjustCaptureWindowSize();
}

void TVidCap::SetVideoSource()
{
    if (!GetDeviceConnected() || !GetHasDlgVideoSource())
        return;
    Send(WM_CAP_DLG_VIDEOSOURCE, 0, 0);
    GetCapStatus();
    AdjustCaptureWindowSize();
}

void TVidCap::SetVideoDisplay()
{
    if (!GetDeviceConnected() || !GetHasDlgVideoDisplay())
        return;
    Send(WM_CAP_DLG_VIDEODISPLAY, 0, 0);
    GetCapStatus();
    AdjustCaptureWindowSize();
}

void TVidCap::SetVideoCompression()
{
    if (GetDeviceConnected())
        Send(WM_CAP_DLG_VIDEOCOMPRESSION, 0, 0);
}

// ---- Format queries ----

namespace {

// Reads a format block of the size the driver names into a fresh buffer at least MinSize
// long (the tail beyond the driver's size zero-filled); null when the driver names none.
std::unique_ptr<uint8_t[]> readFormat(const std::function<LRESULT(WPARAM, LPARAM)>& send, size_t MinSize)
{
    const LRESULT size = send(0, 0);
    if (size <= 0)
        return nullptr;
    const size_t length = std::max(size_t(size), MinSize);
    auto block = std::make_unique<uint8_t[]>(length);
    std::memset(block.get(), 0, length);
    send(WPARAM(size), LPARAM(block.get()));
    return block;
}

}  // namespace

void TVidCap::GetBitmapInfo()
{
    BitmapInfo = nullptr;
    FBitmapInfoBuffer = readFormat([this](WPARAM w, LPARAM l) { return Send(WM_CAP_GET_VIDEOFORMAT, w, l); },
                                   sizeof(BITMAPINFO));
    BitmapInfo = reinterpret_cast<BITMAPINFO*>(FBitmapInfoBuffer.get());
}

void TVidCap::GetWaveFormatEx()
{
    WaveFormatEx = nullptr;
    FWaveFormatBuffer = readFormat([this](WPARAM w, LPARAM l) { return Send(WM_CAP_GET_AUDIOFORMAT, w, l); },
                                   sizeof(WAVEFORMATEX));
    WaveFormatEx = reinterpret_cast<WAVEFORMATEX*>(FWaveFormatBuffer.get());
}
