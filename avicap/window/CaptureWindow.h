#pragma once
// The state behind one capture window and the handling of its messages. Internal to avicap/.
//
// Frames: the device's camera thread hands each frame to the window's mailbox, which keeps
// only the newest one and posts one wake-up message while a frame waits; a frame replaced
// before the window took it counts as dropped. The camera thread never waits for the UI.
// At each preview-rate tick the newest frame becomes the current frame: the frame callback
// sees it (and may draw into it), then the window shows it.
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "avicap/CaptureDriver.h"
#include "avicap/CaptureRecorder.h"

// Posted by the camera thread; outside the WM_CAP_ range.
constexpr UINT WM_CAPTURE_FRAME_READY = WM_USER + 0x200;
constexpr UINT_PTR kPreviewTimer = 1;

class CaptureWindow : public CaptureSink, public CaptureRecorderHost
{
public:
    explicit CaptureWindow(HWND window);
    ~CaptureWindow() override;

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    // Camera thread.
    void frameArrived(CaptureFrame&& frame) override;
    void deviceFailed(const std::string& message) override;

    // Recorder host.
    LRESULT reportStatus(int id, const char* text) override;
    LRESULT reportError(int id, const char* text) override;
    LRESULT yield() override;
    LRESULT capControl(int state) override;
    LRESULT videoStream(VIDEOHDR* header) override;
    LRESULT waveStream(WAVEHDR* header) override;
    void recordingEnded() override;
    void recordingStarted() override;

    const VideoCompression& compression() const { return compression_; }
    uint64_t framesDropped() const { return dropped_.load(); }
    uint64_t framesShown() const { return shown_; }

private:
    // CaptureWindowMessages.cpp
    LRESULT connect(WPARAM index);
    LRESULT disconnect();
    LRESULT copyText(const std::string& text, WPARAM size, LPARAM buffer);
    LRESULT getCaps(WPARAM size, LPARAM buffer);
    LRESULT getStatus(WPARAM size, LPARAM buffer);
    LRESULT getVideoFormat(WPARAM size, LPARAM buffer);
    LRESULT setVideoFormat(WPARAM size, LPARAM buffer);
    LRESULT setAudioFormat(WPARAM size, LPARAM buffer);
    LRESULT recordingMessage(UINT message, LPARAM lParam);
    CaptureSession session(bool toFile) const;
    BITMAPINFOHEADER videoFormat() const;

    // CapturePreview.cpp
    void setPreview(bool on);
    void setPreviewRate(UINT ms);
    void updateStreaming();
    void takeDelivered();
    void previewTick();
    void showFrame(CaptureFrame&& frame, bool callback);
    void paint();
    bool recordingNow() const;

    // CaptureStill.cpp
    LRESULT grab(bool stopPreview);
    LRESULT saveDib(LPARAM fileName);
    LRESULT editCopy();
    std::vector<uint8_t> bmpFile() const;

    // CaptureWindowDialogs.cpp
    LRESULT dialog(UINT message);

    HWND window_;
    std::shared_ptr<CaptureDevice> device_;
    int deviceIndex_ = 0;

    // Settings kept across connections.
    bool preview_ = false;
    bool scale_ = false;
    UINT previewRateMs_ = 66;
    POINT scroll_{};
    LPARAM userData_ = 0;
    std::string captureFile_ = "CAPTURE.AVI";
    CAPTUREPARMS parms_{};
    WAVEFORMATEX audio_{};
    VideoCompression compression_;

    CAPERRORCALLBACKA onError_ = nullptr;
    CAPSTATUSCALLBACKA onStatus_ = nullptr;
    CAPYIELDCALLBACK onYield_ = nullptr;
    CAPVIDEOCALLBACK onFrame_ = nullptr;
    CAPVIDEOCALLBACK onVideoStream_ = nullptr;
    CAPWAVECALLBACK onWaveStream_ = nullptr;
    CAPCONTROLCALLBACK onCapControl_ = nullptr;

    // Hand-over from the camera thread.
    std::mutex mailMutex_;
    std::optional<CaptureFrame> mailbox_;
    bool wakePosted_ = false;
    std::string failure_;
    std::atomic<uint64_t> dropped_{0};

    // User-interface side.
    std::optional<CaptureFrame> newest_;   // delivered, not yet shown
    CaptureFrame current_;                 // shown last; what the still-frame messages use
    bool haveCurrent_ = false;
    bool previewDue_ = true;
    int64_t streamStartUs_ = 0;
    uint64_t shown_ = 0;
    HDC memDC_ = 0;
    HBITMAP dib_ = 0;
    HBITMAP oldBitmap_ = 0;
    uint8_t* dibBits_ = nullptr;
    int dibWidth_ = 0;
    int dibHeight_ = 0;

    std::unique_ptr<CaptureRecorder> recorder_;
};

// Whether the machine has an audio input (looked up once).
bool audioInputPresent();

// The state of a capture window, or null for a handle that is not one.
CaptureWindow* findCaptureWindow(HWND window);
