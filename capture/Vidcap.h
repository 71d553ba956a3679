#pragma once
// Unit Vidcap: TVidCap, a control that hosts a capture window in its client area, connects
// it to a capture driver, previews and records, turns the driver's callbacks into events and
// mirrors every frame into two bitmaps.
//
// Split by concern:
//   VidcapConnection.cpp  life cycle, connection, display settings, dialogs, formats
//   VidcapLayout.cpp      where the capture window goes inside the component
//   VidcapRecording.cpp   capture parameters, recording, still frames, statistics
//   VidcapCallbacks.cpp   the class-wide instance list and the seven callbacks
//   VidcapFrames.cpp      frames into the two bitmaps and back
//   VidcapRegister.cpp    published properties and the palette
//
// Every message goes to the capture window only while IsWindow(FCapWnd); otherwise it is
// skipped and answers 0.
#include <cstdint>
#include <memory>

#include "avicap/Vfw.h"
#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Lists.h"

using TCapTextEvent = std::function<void(TObject* Sender, int nErrID, LPSTR lpErrorText)>;
using TCapVideoEvent = std::function<void(TObject* Sender, LPVIDEOHDR lpVHdr)>;
using TCapWaveEvent = std::function<void(TObject* Sender, LPWAVEHDR lpWHdr)>;

class TVidCap : public TCustomControl
{
public:
    explicit TVidCap(TComponent* AOwner);
    ~TVidCap() override;

    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    void SetParent(TWinControl* AParent) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Loaded() override;

    // ---- Connection and display ----
    bool ConnectDevice(int Index);
    bool DisconnectDevice();
    void AdjustCaptureWindowSize();
    void GetCapDriverCaps();
    void GetCapStatus();
    void GetCaptureParms();
    void GetBitmapInfo();
    void GetWaveFormatEx();
    void SetVideoFormat();
    void SetVideoSource();
    void SetVideoDisplay();
    void SetVideoCompression();

    bool GetDeviceConnected() const { return FDriverCaps.fCaptureInitialized != 0; }
    int GetDeviceIndex() const { return int(FDriverCaps.wDeviceIndex); }
    int GetImageWidth() const { return int(FCapStatus.uiImageWidth); }
    int GetImageHeight() const { return int(FCapStatus.uiImageHeight); }
    bool GetHasOverlay() const { return FDriverCaps.fHasOverlay != 0; }
    bool GetHasDlgVideoSource() const { return FDriverCaps.fHasDlgVideoSource != 0; }
    bool GetHasDlgVideoFormat() const { return FDriverCaps.fHasDlgVideoFormat != 0; }
    bool GetHasDlgVideoDisplay() const { return FDriverCaps.fHasDlgVideoDisplay != 0; }
    bool GetHasAudioHardware() const { return FCapStatus.fAudioHardware != 0; }

    bool GetKeepAspectRatio() const { return FKeepAspectRatio; }
    void SetKeepAspectRatio(bool Value);
    bool GetOverlay() const { return FCapStatus.fOverlayWindow != 0; }
    void SetOverlay(bool Value);
    bool GetPreview() const { return FCapStatus.fLiveWindow != 0; }
    void SetPreview(bool Value);
    float GetPreviewRate() const { return FPreviewRate; }
    void SetPreviewRate(float Value);
    bool GetPreviewScaling() const { return FCapStatus.fScale != 0; }
    void SetPreviewScaling(bool Value);

    // ---- Capture parameters and recording ----
    void InitCapParms();
    bool RestoreSettings();
    void InitAudioFormat();
    int GetFrameInterval() const { return int(FCaptureParms.dwRequestMicroSecPerFrame); }
    void SetFrameInterval(int Value);
    long double GetFrameRate() const;
    // The published view of FrameRate (a float property).
    float GetFrameRateValue() const { return float(GetFrameRate()); }
    void SetFrameRate(float Value);
    bool GetCaptureAudio() const { return FCaptureParms.fCaptureAudio != 0; }
    void SetCaptureAudio(bool Value);
    int GetTimeLimit() const { return int(FCaptureParms.wTimeLimit); }
    void SetTimeLimit(int Value);
    bool GetTimeLimitEnabled() const { return FCaptureParms.fLimitEnabled != 0; }
    void SetTimeLimitEnabled(bool Value);
    AnsiString GetFileName() const { return FFileName; }
    void SetFileName(const AnsiString& Value);
    bool GetStopGap() const { return FStopGap; }
    void SetStopGap(bool Value);
    bool GetRecording() const { return FCapStatus.fCapturingNow != 0; }
    void SetRecording(bool Value);
    int GetReturn();
    void CopyFrame();
    void SaveFrame();
    int GetCurrentTimeElapsedMS();
    int GetCurrentVideoFrame();
    int GetCurrentVideoFramesDropped();
    int GetCurrentWaveSamples();
    int GetNumVideoAllocated();
    int GetNumAudioAllocated();

    AnsiString GetDriverName() const { return FDriverName; }
    AnsiString GetDriverVersion() const { return FDriverVersion; }
    HWND GetCapWnd() const { return FCapWnd; }

    // ---- Callbacks ----
    void AttachCallbacks();
    void DettachCallbacks();
    static TList* ThisList;

    static LRESULT CapControlCallbackProc(HWND hWnd, int nState);
    static LRESULT ErrorCallbackProc(HWND hWnd, int nID, LPCSTR lpsz);
    static LRESULT capFrameCallback(HWND hWnd, LPVIDEOHDR lpVHdr);
    static LRESULT StatusCallbackProc(HWND hWnd, int nID, LPCSTR lpsz);
    static LRESULT capVideoStreamCallback(HWND hWnd, LPVIDEOHDR lpVHdr);
    static LRESULT WaveStreamCallbackProc(HWND hWnd, LPWAVEHDR lpWHdr);
    static LRESULT YieldCallbackProc(HWND hWnd);

    int ThisCapControlCallbackProc(int nState);
    int ThisErrorCallbackProc(int nID, char* lpsz);
    int ThisFrameCallbackProc(LPVIDEOHDR lpVHdr);
    int ThisStatusCallbackProc(int nID, char* lpsz);
    int ThisVideoStreamCallbackProc(LPVIDEOHDR lpVHdr);
    int ThisWaveStreamCallbackProc(LPWAVEHDR lpWHdr);
    int ThisYieldCallbackProc();

    // ---- Frames into bitmaps ----
    void UpdateFrameBitmaps(LPVIDEOHDR lpVHdr);
    void CopyBackVideoFrame(LPVIDEOHDR lpVHdr);
    TBitmap* GetCaptureFrame();
    TBitmap* GetVideoFrame() { return FVideoFrame; }
    bool GetFrameUpdated() const { return FFrameUpdated; }

    // Typed views of the format blocks (null until read, or when the driver reports none).
    BITMAPINFO* BitmapInfo = nullptr;
    WAVEFORMATEX* WaveFormatEx = nullptr;

    // ---- Events (the framework keeps an event in a public member of its name) ----
    TNotifyEvent OnCapControl;
    TCapTextEvent OnError;
    TCapVideoEvent OnFrame;
    TCapTextEvent OnStatus;
    TCapVideoEvent OnVideoStream;
    TCapWaveEvent OnWaveStream;
    TNotifyEvent OnYield;

    // Read-only copies of what the driver reported last.
    const CAPDRIVERCAPS& DriverCaps() const { return FDriverCaps; }
    const CAPSTATUS& CapStatus() const { return FCapStatus; }
    const CAPTUREPARMS& CaptureParms() const { return FCaptureParms; }

private:
    LRESULT Send(UINT Msg, WPARAM WParam, LPARAM LParam);
    void CreateCaptureWindow();
    void InstallCallbacks(bool Install);
    void SendSequenceSetup();
    int PreviewPeriodMs() const;
    // Pumps messages until Done answers true, the capture window is gone or the limit (ms
    // on the monotonic clock, negative: none) runs out; never spins a core.
    bool WaitFor(const std::function<bool()>& Done, int64_t LimitMs);
    // The instance owning a capture window among those in ThisList.
    static TVidCap* FindInstance(HWND hWnd, int& Index);
    template <class F>
    static LRESULT Dispatch(HWND hWnd, F Call);
    int FrameEvent(LPVIDEOHDR lpVHdr, int (TVidCap::*Method)(LPVIDEOHDR), bool Handled);
    bool InList() const;
    static bool Listed(const TVidCap* Instance);
    static void Report(const std::exception& E);

    bool FInitializing = false;
    std::unique_ptr<uint8_t[]> FBitmapInfoBuffer;
    std::unique_ptr<uint8_t[]> FWaveFormatBuffer;
    HWND FCapWnd = 0;
    CAPDRIVERCAPS FDriverCaps{};
    CAPSTATUS FCapStatus{};
    CAPTUREPARMS FCaptureParms{};
    bool FFrameUpdated = false;
    AnsiString FDriverName;
    AnsiString FDriverVersion;
    TBitmap* FCaptureFrame = nullptr;
    TBitmap* FVideoFrame = nullptr;
    bool FKeepAspectRatio = false;
    float FPreviewRate = 0;
    AnsiString FFileName;
    bool FStopGap = false;
    bool FWaiting = false;   // a SetRecording wait is running
    int FInFrameEvent = 0;   // inside OnFrame or OnVideoStream: the bitmaps hold the frame
};

// Where the capture window goes inside a component of W x H for an image of w x h.
TRect CaptureWindowPlacement(int W, int H, int w, int h, bool Scaling, bool KeepAspectRatio);

namespace Vidcap {
// Registers TVidCap on the palette page "VK Controls".
void Register();
}
