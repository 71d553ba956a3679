#include "avicap/window/CaptureWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

namespace {

constexpr const char* kClassName = "LumoCaptureWindow";

std::map<HWND, std::shared_ptr<CaptureWindow>>& windows()
{
    static std::map<HWND, std::shared_ptr<CaptureWindow>> all;
    return all;
}

std::mutex factoryMutex;
// None until the program installs one: the recording messages answer FALSE meanwhile.
CaptureRecorderFactory recorderFactory;

std::shared_ptr<CaptureWindow> lookup(HWND window)
{
    auto it = windows().find(window);
    return it == windows().end() ? nullptr : it->second;
}

LRESULT captureWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
        windows()[hwnd] = std::make_shared<CaptureWindow>(hwnd);
    // Held for the whole message: a callback may destroy the window meanwhile.
    std::shared_ptr<CaptureWindow> state = lookup(hwnd);
    if (message == WM_DESTROY) {
        windows().erase(hwnd);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (state) {
        bool handled = false;
        try {
            LRESULT result = state->handle(message, wParam, lParam, handled);
            if (handled)
                return result;
        } catch (const std::exception& e) {
            state->messageFailed(message, e.what());
            return 0;
        } catch (...) {
            state->messageFailed(message, "unknown exception");
            return 0;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool registerClass()
{
    WNDCLASSA existing{};
    if (GetClassInfoA(nullptr, kClassName, &existing))
        return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = &captureWindowProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

void copyBounded(const std::string& text, LPSTR buffer, int size)
{
    if (!buffer || size <= 0)
        return;
    size_t n = std::min(text.size(), size_t(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
}

}  // namespace

HWND capCreateCaptureWindowA(LPCSTR lpszWindowName, DWORD dwStyle, int x, int y, int nWidth,
                             int nHeight, HWND hwndParent, int nID)
{
    if (!registerClass())
        return 0;
    if ((dwStyle & WS_CHILD) && !IsWindow(hwndParent))
        return 0;
    return CreateWindowExA(0, kClassName, lpszWindowName ? lpszWindowName : "", dwStyle, x, y,
                           std::max(0, nWidth), std::max(0, nHeight), hwndParent, HMENU(nID),
                           nullptr, nullptr);
}

BOOL capGetDriverDescriptionA(WORD wDriverIndex, LPSTR lpszName, int cbName, LPSTR lpszVer, int cbVer)
{
    std::vector<CaptureDeviceInfo> devices = listCaptureDevices();
    if (wDriverIndex >= devices.size())
        return FALSE;
    // What stands in the way of a listed camera is part of its description.
    std::string name = devices[wDriverIndex].name;
    if (devices[wDriverIndex].state == CaptureDeviceInfo::Busy)
        name += " (busy)";
    else if (devices[wDriverIndex].state == CaptureDeviceInfo::NoAccess)
        name += " (no access)";
    copyBounded(name, lpszName, cbName);
    copyBounded(devices[wDriverIndex].version, lpszVer, cbVer);
    return TRUE;
}

void setCaptureRecorderFactory(CaptureRecorderFactory factory)
{
    std::lock_guard lock(factoryMutex);
    recorderFactory = std::move(factory);
}

CaptureRecorderFactory captureRecorderFactory()
{
    std::lock_guard lock(factoryMutex);
    return recorderFactory;
}

CaptureWindow* findCaptureWindow(HWND window) { return lookup(window).get(); }

VideoCompression capGetVideoCompression(HWND window)
{
    CaptureWindow* state = findCaptureWindow(window);
    return state ? state->compression() : VideoCompression{};
}

bool audioInputPresent()
{
    static const bool present = [] {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", error)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("pcmC", 0) == 0 && name.back() == 'c')
                return true;
        }
        return false;
    }();
    return present;
}

// Classic defaults: 15 frames per second, audio when there is audio input.

CaptureWindow::CaptureWindow(HWND window) : window_(window)
{
    parms_.dwRequestMicroSecPerFrame = 66667;
    parms_.wPercentDropForError = 10;
    parms_.dwIndexSize = 34952;
    parms_.wNumVideoRequested = 5;
    parms_.fCaptureAudio = audioInputPresent();
    parms_.wNumAudioRequested = 4;
    parms_.vKeyAbort = VK_ESCAPE;
    parms_.fAbortLeftMouse = TRUE;
    parms_.fAbortRightMouse = TRUE;
    parms_.wStepCaptureAverageFrames = 3;
    parms_.AVStreamMaster = AVSTREAMMASTER_AUDIO;

    audio_.wFormatTag = WAVE_FORMAT_PCM;
    audio_.nChannels = 1;
    audio_.nSamplesPerSec = 11025;
    audio_.wBitsPerSample = 8;
    audio_.nBlockAlign = 1;
    audio_.nAvgBytesPerSec = 11025;
    audio_.cbSize = 0;

    if (CaptureRecorderFactory factory = captureRecorderFactory())
        recorder_ = factory();
}

CaptureWindow::~CaptureWindow()
{
    if (recorder_ && recorder_->capturing())
        recorder_->stop(true);
    if (device_)
        device_->stopStreaming();
}

void CaptureWindow::frameArrived(CaptureFrame&& frame)
{
    std::lock_guard lock(mailMutex_);
    while (!inbox_.empty() && inbox_.size() >= inboxLimit_) {
        inbox_.pop_front();
        ++dropped_;
    }
    inbox_.push_back(std::move(frame));
    if (!wakePosted_)
        wakePosted_ = PostMessageA(window_, WM_CAPTURE_FRAME_READY, 0, 0) != FALSE;
}

void CaptureWindow::deviceFailed(const CaptureError& error)
{
    std::lock_guard lock(mailMutex_);
    failure_ = error.failed() ? error : captureFault(CaptureFault::CameraLost, "The camera stopped");
    if (!wakePosted_)
        wakePosted_ = PostMessageA(window_, WM_CAPTURE_FRAME_READY, 0, 0) != FALSE;
}

LRESULT CaptureWindow::reportStatus(int id, const char* text)
{
    return onStatus_ ? callProgram("status", [&] { return onStatus_(window_, id, text); }) : TRUE;
}

// Every error also goes to stderr, where someone who started the program from a terminal
// (or reads the session's log) finds the call and the reason.
LRESULT CaptureWindow::reportError(int id, const char* text)
{
    std::fprintf(stderr, "Lumo free: %s\n", text);
    if (!onError_)
        return TRUE;
    try {
        return onError_(window_, id, text);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Lumo free: the error callback failed (%s) while reporting it\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Lumo free: the error callback failed while reporting it\n");
    }
    return FALSE;
}

// A camera failure: its id is what dwReturn says until the camera works again.
void CaptureWindow::reportCameraError(const CaptureError& error)
{
    windowError_ = DWORD(captureErrorId(error));
    reportError(int(windowError_), error.text.c_str());
}

LRESULT CaptureWindow::yield()
{
    return onYield_ ? callProgram("yield", [&] { return onYield_(window_); }) : TRUE;
}

LRESULT CaptureWindow::capControl(int state)
{
    return onCapControl_ ? callProgram("capture-control", [&] { return onCapControl_(window_, state); }) : TRUE;
}

LRESULT CaptureWindow::videoStream(VIDEOHDR* header)
{
    return onVideoStream_ ? callProgram("video-stream", [&] { return onVideoStream_(window_, header); }) : TRUE;
}

LRESULT CaptureWindow::waveStream(WAVEHDR* header)
{
    return onWaveStream_ ? callProgram("wave-stream", [&] { return onWaveStream_(window_, header); }) : TRUE;
}

// A callback threw: the capture ends (its file stays playable), the camera stops, and the
// error callback hears why. Failures while this runs are only printed.
void CaptureWindow::callbackFailed(const char* name, const std::string& what)
{
    failed(std::string("The ") + name + " callback failed: " + what);
}

void CaptureWindow::messageFailed(UINT message, const std::string& what)
{
    char number[16];
    std::snprintf(number, sizeof number, "0x%x", unsigned(message));
    failed(std::string("The capture window failed to handle message ") + number + ": " + what);
}

void CaptureWindow::failed(const std::string& text)
{
    if (failing_) {
        std::fprintf(stderr, "Lumo free: %s\n", text.c_str());
        return;
    }
    failing_ = true;
    windowError_ = IDS_CAP_CALLBACK_EXCEPTION;
    if (recordingNow())
        recorder_->stop(true);
    KillTimer(window_, kPreviewTimer);
    KillTimer(window_, kCameraRetryTimer);
    preview_ = previewLost_ = false;
    updateStreaming();
    reportError(IDS_CAP_CALLBACK_EXCEPTION, text.c_str());
    failing_ = false;
}

void CaptureWindow::recordingEnded() { updateStreaming(); }

void CaptureWindow::recordingStarted() { updateStreaming(); }

void capWaitForFiles(HWND window)
{
    std::shared_ptr<CaptureWindow> state = lookup(window);
    if (state)
        state->waitForFiles();
}

void capWaitForWriter(HWND window)
{
    std::shared_ptr<CaptureWindow> state = lookup(window);
    if (state)
        state->waitForWriter();
}
