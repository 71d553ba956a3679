// The WM_CAP_ messages: each answers as its documented namesake. Without a driver most of
// them answer FALSE; the callbacks, user data, capture file name, sequence setup and audio
// format are the window's own and work either way.
#include <cstring>
#include <filesystem>

#include "avicap/window/CaptureWindow.h"

namespace {

template <class T>
bool readRecord(T& record, WPARAM size, LPARAM source)
{
    if (!source || size == 0)
        return false;
    std::memcpy(&record, reinterpret_cast<const void*>(source), std::min<size_t>(size, sizeof(T)));
    return true;
}

template <class T>
bool writeRecord(const T& record, WPARAM size, LPARAM dest)
{
    if (!dest || size == 0)
        return false;
    std::memcpy(reinterpret_cast<void*>(dest), &record, std::min<size_t>(size, sizeof(T)));
    return true;
}

template <class F>
LRESULT install(F& slot, LPARAM proc, bool busy)
{
    if (busy)
        return FALSE;
    slot = reinterpret_cast<F>(proc);
    return TRUE;
}

}  // namespace

LRESULT CaptureWindow::handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = true;
    const bool busy = recordingNow();
    switch (message) {
    case WM_CAPTURE_FRAME_READY: takeDelivered(); return 0;
    case WM_CAPTURE_FILE_CLOSED:
        if (recorder_)
            recorder_->filesClosed();
        return 0;
    case WM_TIMER:
        if (wParam == kPreviewTimer)
            previewTick();
        else if (wParam == kCameraRetryTimer)
            retryLostCamera();
        else
            break;
        return 0;
    case WM_PAINT: paint(); return 0;
    case WM_ERASEBKGND: return 1;   // WM_PAINT covers every pixel

    case WM_CAP_SET_CALLBACK_ERRORA: return install(onError_, lParam, busy);
    case WM_CAP_SET_CALLBACK_STATUSA: return install(onStatus_, lParam, busy);
    case WM_CAP_SET_CALLBACK_YIELD: return install(onYield_, lParam, busy);
    case WM_CAP_SET_CALLBACK_FRAME: return install(onFrame_, lParam, busy);
    case WM_CAP_SET_CALLBACK_VIDEOSTREAM: return install(onVideoStream_, lParam, busy);
    case WM_CAP_SET_CALLBACK_WAVESTREAM: return install(onWaveStream_, lParam, busy);
    case WM_CAP_SET_CALLBACK_CAPCONTROL: return install(onCapControl_, lParam, busy);
    case WM_CAP_GET_USER_DATA: return userData_;
    case WM_CAP_SET_USER_DATA: userData_ = lParam; return TRUE;

    case WM_CAP_DRIVER_CONNECT: return connect(wParam);
    case WM_CAP_DRIVER_DISCONNECT: return disconnect();
    case WM_CAP_DRIVER_GET_NAMEA: return device_ ? copyText(device_->name(), wParam, lParam) : FALSE;
    case WM_CAP_DRIVER_GET_VERSIONA:
        return device_ ? copyText(device_->version(), wParam, lParam) : FALSE;
    case WM_CAP_DRIVER_GET_CAPS: return getCaps(wParam, lParam);

    case WM_CAP_FILE_SET_CAPTURE_FILEA:
        if (!lParam || busy)
            return FALSE;
        captureFile_ = reinterpret_cast<const char*>(lParam);
        return TRUE;
    case WM_CAP_FILE_GET_CAPTURE_FILEA: return copyText(captureFile_, wParam, lParam);
    case WM_CAP_FILE_SAVEDIBA: return saveDib(lParam);
    case WM_CAP_EDIT_COPY: return editCopy();

    case WM_CAP_SET_AUDIOFORMAT: return setAudioFormat(wParam, lParam);
    case WM_CAP_GET_AUDIOFORMAT:
        // Asked without a buffer: the size the format needs.
        if (lParam && wParam)
            writeRecord(audio_, wParam, lParam);
        return sizeof(WAVEFORMATEX);

    case WM_CAP_DLG_VIDEOFORMAT:
    case WM_CAP_DLG_VIDEOSOURCE:
    case WM_CAP_DLG_VIDEODISPLAY:
    case WM_CAP_DLG_VIDEOCOMPRESSION: return dialog(message);
    case WM_CAP_GET_VIDEOFORMAT: return getVideoFormat(wParam, lParam);
    case WM_CAP_SET_VIDEOFORMAT: return setVideoFormat(wParam, lParam);

    case WM_CAP_SET_PREVIEW:
        if (!device_)
            return FALSE;
        return setPreview(wParam != 0) ? TRUE : FALSE;
    case WM_CAP_SET_OVERLAY:
        // No overlay hardware: accepted, nothing changes (fHasOverlay is FALSE).
        return device_ ? TRUE : FALSE;
    case WM_CAP_SET_PREVIEWRATE:
        if (!device_)
            return FALSE;
        setPreviewRate(UINT(std::min<WPARAM>(wParam, 0x7FFFFFFF)));
        return TRUE;
    case WM_CAP_SET_SCALE:
        if (!device_)
            return FALSE;
        scale_ = wParam != 0;
        InvalidateRect(window_, nullptr, FALSE);
        return TRUE;
    case WM_CAP_GET_STATUS: return getStatus(wParam, lParam);
    case WM_CAP_SET_SCROLL:
        if (!device_ || !lParam)
            return FALSE;
        scroll_ = *reinterpret_cast<const POINT*>(lParam);
        InvalidateRect(window_, nullptr, FALSE);
        return TRUE;

    case WM_CAP_GRAB_FRAME: return grab(true);
    case WM_CAP_GRAB_FRAME_NOSTOP: return grab(false);
    case WM_CAP_SET_SEQUENCE_SETUP: {
        CAPTUREPARMS next = parms_;
        if (busy || !readRecord(next, wParam, lParam))
            return FALSE;
        if (next.dwRequestMicroSecPerFrame == 0)
            return FALSE;
        parms_ = next;
        return TRUE;
    }
    case WM_CAP_GET_SEQUENCE_SETUP: return writeRecord(parms_, wParam, lParam) ? TRUE : FALSE;

    case WM_CAP_SEQUENCE:
    case WM_CAP_SEQUENCE_NOFILE:
    case WM_CAP_STOP:
    case WM_CAP_ABORT:
    case WM_CAP_SINGLE_FRAME_OPEN:
    case WM_CAP_SINGLE_FRAME:
    case WM_CAP_SINGLE_FRAME_CLOSE:
    case WM_CAP_FILE_ALLOCATE:
    case WM_CAP_FILE_SAVEASA:
    case WM_CAP_FILE_SET_INFOCHUNK: return recordingMessage(message, lParam);

    default:
        // MCI devices, palettes and the stream pointer are not offered.
        if (message >= WM_CAP_START && message <= WM_CAP_END)
            return FALSE;
        break;
    }
    handled = false;
    return 0;
}

LRESULT CaptureWindow::connect(WPARAM index)
{
    if (index >= WPARAM(kMaxCaptureDrivers) || recordingNow())
        return FALSE;
    CaptureOpening opening = openCaptureDevice(int(index));
    if (!opening.device) {
        if (opening.error.ok())
            opening.error = captureFault(CaptureFault::CameraMissing, "The camera could not be opened");
        // The camera in use stays, and so does what dwReturn says of it.
        if (!device_)
            reportCameraError(opening.error);
        else
            reportError(captureErrorId(opening.error), opening.error.text.c_str());
        return FALSE;
    }
    disconnect();
    device_ = std::move(opening.device);
    deviceIndex_ = int(index);
    rejectedBase_ = device_->framesRejected();
    windowError_ = 0;
    return TRUE;
}

LRESULT CaptureWindow::disconnect()
{
    if (!device_)
        return FALSE;
    if (recordingNow())
        recorder_->stop(true);
    KillTimer(window_, kPreviewTimer);
    device_->stopStreaming();
    device_.reset();
    preview_ = previewLost_ = false;
    newest_.reset();
    haveCurrent_ = false;
    {
        std::lock_guard lock(mailMutex_);
        inbox_.clear();
        failure_ = {};
    }
    InvalidateRect(window_, nullptr, FALSE);
    return TRUE;
}

LRESULT CaptureWindow::copyText(const std::string& text, WPARAM size, LPARAM buffer)
{
    if (!buffer || size == 0)
        return FALSE;
    size_t n = std::min<size_t>(text.size(), size - 1);
    auto* dest = reinterpret_cast<char*>(buffer);
    std::memcpy(dest, text.data(), n);
    dest[n] = 0;
    return TRUE;
}

LRESULT CaptureWindow::getCaps(WPARAM size, LPARAM buffer)
{
    if (!device_)
        return FALSE;
    CAPDRIVERCAPS caps{};
    caps.wDeviceIndex = uint32_t(deviceIndex_);
    caps.fHasOverlay = FALSE;
    caps.fHasDlgVideoSource = !device_->controls().empty();
    caps.fHasDlgVideoFormat = !device_->formats().empty();
    caps.fHasDlgVideoDisplay = device_->hasDisplayDialog();
    caps.fCaptureInitialized = TRUE;
    caps.fDriverSuppliesPalettes = FALSE;
    return writeRecord(caps, size, buffer) ? TRUE : FALSE;
}

LRESULT CaptureWindow::getStatus(WPARAM size, LPARAM buffer)
{
    if (!device_)
        return FALSE;
    CaptureFormat format = device_->format();
    CAPSTATUS status{};
    status.uiImageWidth = uint32_t(format.width);
    status.uiImageHeight = uint32_t(format.height);
    status.fLiveWindow = preview_;
    status.fOverlayWindow = FALSE;
    status.fScale = scale_;
    status.ptScroll = scroll_;
    status.fAudioHardware = audioInputPresent();
    std::error_code error;
    status.fCapFileExists = std::filesystem::exists(captureFile_, error);
    // Outside a capture, the frames lost are those the camera delivered unusable; a
    // capture counts its own (a rejected frame leaves its slot empty).
    status.dwCurrentVideoFramesDropped = DWORD(device_->framesRejected() - rejectedBase_);
    if (recorder_)
        recorder_->fillStatus(status);
    if (!status.dwReturn)
        status.dwReturn = windowError_;
    return writeRecord(status, size, buffer) ? TRUE : FALSE;
}

BITMAPINFOHEADER CaptureWindow::videoFormat() const
{
    BITMAPINFOHEADER header{};
    CaptureFormat format = device_ ? device_->format() : CaptureFormat{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = format.width;
    header.biHeight = format.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = DWORD(format.width) * DWORD(format.height) * 3;
    return header;
}

LRESULT CaptureWindow::getVideoFormat(WPARAM size, LPARAM buffer)
{
    if (!device_)
        return 0;
    if (buffer && size)
        writeRecord(videoFormat(), size, buffer);
    return sizeof(BITMAPINFOHEADER);
}

LRESULT CaptureWindow::setVideoFormat(WPARAM size, LPARAM buffer)
{
    BITMAPINFOHEADER header{};
    if (!device_ || recordingNow() || size < sizeof header || !readRecord(header, size, buffer))
        return FALSE;
    if (header.biBitCount != 24 || header.biCompression != BI_RGB || header.biHeight <= 0)
        return FALSE;
    CaptureFormat format = device_->format();
    format.width = header.biWidth;
    format.height = header.biHeight;
    if (CaptureError error = device_->setFormat(format); error.failed()) {
        reportError(captureErrorId(error), error.text.c_str());
        return FALSE;
    }
    InvalidateRect(window_, nullptr, FALSE);
    return TRUE;
}

LRESULT CaptureWindow::setAudioFormat(WPARAM size, LPARAM buffer)
{
    WAVEFORMATEX format{};
    if (recordingNow() || size < 16 || !readRecord(format, size, buffer))
        return FALSE;
    if (size < sizeof format)
        format.cbSize = 0;
    const bool valid = format.wFormatTag == WAVE_FORMAT_PCM && format.nChannels >= 1 &&
                       format.nChannels <= 2 &&
                       (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) &&
                       format.nSamplesPerSec >= 1000 && format.nSamplesPerSec <= 192000 &&
                       format.nBlockAlign == format.nChannels * format.wBitsPerSample / 8 &&
                       format.nAvgBytesPerSec == format.nSamplesPerSec * format.nBlockAlign;
    if (!valid)
        return FALSE;
    audio_ = format;
    audio_.cbSize = 0;
    return TRUE;
}

CaptureSession CaptureWindow::session(bool toFile) const
{
    CaptureSession s;
    s.window = window_;
    s.fileName = captureFile_;
    s.toFile = toFile;
    s.parms = parms_;
    s.audioFormat = audio_;
    s.videoFormat = videoFormat();
    s.compression = compression_;
    return s;
}

LRESULT CaptureWindow::recordingMessage(UINT message, LPARAM lParam)
{
    if (!recorder_ || !device_)
        return FALSE;
    bool ok = false;
    switch (message) {
    case WM_CAP_SEQUENCE:
    case WM_CAP_SEQUENCE_NOFILE:
        if (recordingNow())
            return FALSE;
        windowError_ = 0;
        ok = recorder_->start(session(message == WM_CAP_SEQUENCE), *this);
        break;
    case WM_CAP_STOP:
    case WM_CAP_ABORT: ok = recorder_->stop(message == WM_CAP_ABORT); break;
    case WM_CAP_SINGLE_FRAME_OPEN: ok = recorder_->singleFrameOpen(session(true), *this); break;
    case WM_CAP_SINGLE_FRAME: {
        CaptureFrame frame;
        if (CaptureError error = device_->grabFrame(frame, kGrabTimeoutMs); error.failed()) {
            reportError(captureErrorId(error), error.text.c_str());
            return FALSE;
        }
        showFrame(std::move(frame), true);
        VIDEOHDR header{};
        header.lpData = current_.pixels.data();
        header.dwBufferLength = header.dwBytesUsed = DWORD(current_.pixels.size());
        header.dwFlags = VHDR_DONE | VHDR_KEYFRAME;
        ok = recorder_->singleFrame(header);
        break;
    }
    case WM_CAP_SINGLE_FRAME_CLOSE: ok = recorder_->singleFrameClose(); break;
    case WM_CAP_FILE_ALLOCATE: ok = recorder_->allocateFile(captureFile_, DWORD(lParam)); break;
    case WM_CAP_FILE_SAVEASA:
        ok = lParam && recorder_->saveAs(captureFile_, reinterpret_cast<const char*>(lParam));
        break;
    case WM_CAP_FILE_SET_INFOCHUNK:
        ok = lParam && recorder_->setInfoChunk(reinterpret_cast<const void*>(lParam));
        break;
    default: break;
    }
    // A capture whose camera would not start has already ended: its start answers FALSE.
    if (!updateStreaming() && (message == WM_CAP_SEQUENCE || message == WM_CAP_SEQUENCE_NOFILE))
        ok = false;
    return ok ? TRUE : FALSE;
}
