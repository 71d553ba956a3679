#pragma once
// The state behind one capture window and the handling of its messages. Internal to avicap/.
//
// Frames: the device's camera thread hands each frame to the window's inbox and posts one
// wake-up message while frames wait. Outside a recording the inbox keeps only the newest
// frame; while recording it holds up to kFrameQueueMs of frames, so a user-interface
// thread busy for that long loses none of them. A frame pushed out of a full inbox counts
// as dropped. The camera thread never waits for the UI. Every frame taken from the inbox
// goes to the recorder in order; at each preview-rate tick only the newest becomes the
// current frame: the frame callback sees it (and may draw into it), then the window shows it.
//
// Threads: the camera thread calls frameArrived and deviceFailed (a format change may call
// deviceFailed on the caller's thread too) and touches only the hand-over fields (inbox_,
// inboxLimit_, wakePosted_, failure_, dropped_) under mailMutex_.
// Everything else belongs to the user-interface thread, which also sets inboxLimit_.
// Callbacks into program code run on the user-interface thread only.
#include <atomic>
#include <exception>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "avicap/CaptureDriver.h"
#include "avicap/CaptureRecorder.h"

// Posted by the camera thread; outside the WM_CAP_ range.
constexpr UINT WM_CAPTURE_FRAME_READY = WM_USER + 0x200;
constexpr UINT_PTR kPreviewTimer = 1;
// While a lost camera held the preview, the window looks for it again this often.
constexpr UINT_PTR kCameraRetryTimer = 2;
constexpr UINT kCameraRetryMs = 2000;
// How much time of frames waits for a busy user-interface thread while recording.
constexpr int kFrameQueueMs = 300;

class CaptureWindow : public CaptureSink, public CaptureRecorderHost
{
public:
    explicit CaptureWindow(HWND window);
    ~CaptureWindow() override;

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    // Camera thread.
    void frameArrived(CaptureFrame&& frame) override;
    void deviceFailed(const CaptureError& error) override;

    // Recorder host.
    LRESULT reportStatus(int id, const char* text) override;
    LRESULT reportError(int id, const char* text) override;
    void reportCameraError(const CaptureError& error);
    LRESULT yield() override;
    LRESULT capControl(int state) override;
    LRESULT videoStream(VIDEOHDR* header) override;
    LRESULT waveStream(WAVEHDR* header) override;
    void recordingEnded() override;
    void recordingStarted() override;

    const VideoCompression& compression() const { return compression_; }
    uint64_t framesDropped() const { return dropped_.load(); }
    uint64_t framesShown() const { return shown_; }
    // The window procedure's boundary: an exception from handling a message ends capture
    // and stream like a throwing callback, and is reported the same way.
    void messageFailed(UINT message, const std::string& what);

    void waitForFiles()
    {
        if (recorder_)
            recorder_->waitForFiles();
    }
    void waitForWriter()
    {
        if (recorder_)
            recorder_->waitForWriter();
    }

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

    // CaptureWindow.cpp
    // Runs a callback of the program; an exception it throws is reported and ends the
    // capture and the stream (the callback then counts as answering FALSE).
    template <class Call>
    LRESULT callProgram(const char* name, Call call)
    {
        try {
            return call();
        } catch (const std::exception& e) {
            callbackFailed(name, e.what());
        } catch (...) {
            callbackFailed(name, "unknown exception");
        }
        return FALSE;
    }
    void callbackFailed(const char* name, const std::string& what);
    void failed(const std::string& text);

    // CapturePreview.cpp
    bool setPreview(bool on);
    void setPreviewRate(UINT ms);
    bool updateStreaming();
    void takeDelivered();
    void recordFrame(CaptureFrame& frame);   // hands one delivered frame to the recording
    void sizeInbox();
    void previewTick();
    void resumeLostPreview();
    void retryLostCamera();
    void showFrame(CaptureFrame&& frame, bool callback);
    void paint();
    void drawShown(HDC dc, int x, int y, int width, int height);
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
    bool previewLost_ = false;   // the camera failed under the preview: back when it streams
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
    bool failing_ = false;     // inside callbackFailed: a second failure is only printed
    DWORD windowError_ = 0;    // the window's own failure for dwReturn (stream, callback)
    uint64_t rejectedBase_ = 0;   // the device's rejected frames when it was connected

    // Hand-over from the camera thread.
    std::mutex mailMutex_;
    std::deque<CaptureFrame> inbox_;
    size_t inboxLimit_ = 1;
    bool wakePosted_ = false;
    CaptureError failure_;
    std::atomic<uint64_t> dropped_{0};

    // User-interface side.
    std::optional<CaptureFrame> newest_;   // delivered, not yet shown
    CaptureFrame current_;                 // shown last; what the still-frame messages use
    bool haveCurrent_ = false;
    bool previewDue_ = true;
    int64_t streamStartUs_ = 0;
    uint64_t shown_ = 0;
    std::vector<uint8_t> padded_;   // current_ with rows padded to four bytes, when they are not
    int shownWidth_ = 0;            // the picture paint draws (0: none)
    int shownHeight_ = 0;

    std::unique_ptr<CaptureRecorder> recorder_;
};

// Whether the machine has an audio input (looked up once).
bool audioInputPresent();

// The state of a capture window, or null for a handle that is not one.
CaptureWindow* findCaptureWindow(HWND window);
