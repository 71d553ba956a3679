// Preview: the newest delivered frame is shown once per preview period, after the frame
// callback has seen (and perhaps drawn into) its pixels.
#include <cstring>

#include "avicap/window/CaptureWindow.h"
#include "platform/Clock.h"

bool CaptureWindow::recordingNow() const { return recorder_ && recorder_->capturing(); }

bool CaptureWindow::setPreview(bool on)
{
    preview_ = on;
    previewLost_ = false;
    if (on) {
        previewDue_ = true;
        SetTimer(window_, kPreviewTimer, previewRateMs_, nullptr);
    } else {
        KillTimer(window_, kPreviewTimer);
    }
    return updateStreaming();   // a camera still away is looked for again (updateStreaming)
}

void CaptureWindow::setPreviewRate(UINT ms)
{
    previewRateMs_ = std::max<UINT>(ms, 1);
    if (preview_)
        SetTimer(window_, kPreviewTimer, previewRateMs_, nullptr);
}

// Recording keeps every frame for a while; the preview alone needs only the newest.
void CaptureWindow::sizeInbox()
{
    size_t limit = 1;
    if (recordingNow() && device_) {
        const int fps = std::max(1, device_->format().framesPerSecond);
        limit = std::max<size_t>(4, size_t((fps * kFrameQueueMs + 999) / 1000));
    }
    std::lock_guard lock(mailMutex_);
    inboxLimit_ = limit;
}

// Starts or stops the camera as preview and recording need it. A camera that will not
// start is reported (error callback, dwReturn); a recording waiting for it ends as if the
// camera had failed, and a preview waits for it as for a lost camera (another program may
// let it go). False when it would not start.
bool CaptureWindow::updateStreaming()
{
    sizeInbox();
    if (!device_)
        return true;
    const bool wanted = preview_ || recordingNow();
    if (wanted && !device_->streaming()) {
        streamStartUs_ = currentClock().monotonicUs();
        if (CaptureError error = device_->startStreaming(this); error.failed()) {
            KillTimer(window_, kPreviewTimer);
            if (preview_ && !previewLost_) {
                previewLost_ = true;
                SetTimer(window_, kCameraRetryTimer, kCameraRetryMs, nullptr);
            }
            preview_ = false;
            if (recordingNow())
                recorder_->deviceFailed(error);
            reportCameraError(error);
            InvalidateRect(window_, nullptr, FALSE);
            return false;
        }
        windowError_ = 0;
        resumeLostPreview();
    } else if (!wanted && device_->streaming()) {
        device_->stopStreaming();
        std::lock_guard lock(mailMutex_);
        inbox_.clear();
    }
    return true;
}

// A camera plugged back in shows again, as the preview was when it was lost.
void CaptureWindow::resumeLostPreview()
{
    KillTimer(window_, kCameraRetryTimer);
    if (!previewLost_)
        return;
    previewLost_ = false;
    preview_ = previewDue_ = true;
    SetTimer(window_, kPreviewTimer, previewRateMs_, nullptr);
    // Whoever keeps a copy of the status (it heard the preview go off) reads it again.
    reportStatus(IDS_CAP_STAT_LIVE_MODE, "Live window: the camera streams again");
}

// The retry timer: quietly, since the loss was reported once already.
void CaptureWindow::retryLostCamera()
{
    if (!previewLost_ || !device_) {
        KillTimer(window_, kCameraRetryTimer);
        return;
    }
    if (device_->streaming()) {
        resumeLostPreview();
        return;
    }
    streamStartUs_ = currentClock().monotonicUs();
    CaptureError error = device_->startStreaming(this);
    if (error.ok()) {
        windowError_ = 0;
        resumeLostPreview();
    } else if (DWORD(captureErrorId(error)) != windowError_) {
        reportCameraError(error);   // another trouble now (a lost camera back, but busy)
    }
}

void CaptureWindow::takeDelivered()
{
    std::deque<CaptureFrame> frames;
    CaptureError failure;
    {
        std::lock_guard lock(mailMutex_);
        frames.swap(inbox_);
        std::swap(failure, failure_);
        wakePosted_ = false;
    }
    if (failure.failed()) {
        // Frames the camera delivered before it failed still belong in the file.
        for (CaptureFrame& frame : frames)
            if (recordingNow() && device_)
                recordFrame(frame);
        KillTimer(window_, kPreviewTimer);
        previewLost_ = preview_;
        preview_ = false;
        if (device_)
            device_->stopStreaming();
        if (previewLost_)
            SetTimer(window_, kCameraRetryTimer, kCameraRetryMs, nullptr);
        if (recordingNow())
            recorder_->deviceFailed(failure);
        reportCameraError(failure);
        return;
    }
    if (frames.empty() || !device_)
        return;
    for (CaptureFrame& frame : frames) {
        if (!recordingNow())
            break;
        recordFrame(frame);
    }
    newest_ = std::move(frames.back());
    if (preview_ && previewDue_)
        previewTick();
}

void CaptureWindow::recordFrame(CaptureFrame& frame)
{
    VIDEOHDR header{};
    header.lpData = frame.pixels.data();
    header.dwBufferLength = header.dwBytesUsed = DWORD(frame.pixels.size());
    header.dwTimeCaptured = DWORD((frame.timestampUs - streamStartUs_) / 1000);
    header.dwFlags = VHDR_DONE | VHDR_KEYFRAME;
    recorder_->cameraFrame(header, frame);
}

void CaptureWindow::previewTick()
{
    if (!preview_)
        return;
    if (!newest_) {
        previewDue_ = true;
        return;
    }
    previewDue_ = false;
    CaptureFrame frame = std::move(*newest_);
    newest_.reset();
    showFrame(std::move(frame), true);
}

// A frame too short for its size is passed to the program but never kept: the last whole
// picture stays up, and a still saved now is that picture.
void CaptureWindow::showFrame(CaptureFrame&& frame, bool callback)
{
    const int w = frame.width, h = frame.height;
    const bool whole = w > 0 && h > 0 && frame.pixels.size() >= size_t(w) * size_t(h) * 3;
    if (whole) {
        current_ = std::move(frame);
        haveCurrent_ = true;
    }
    ++shown_;
    if (callback && onFrame_) {
        CaptureFrame& given = whole ? current_ : frame;
        VIDEOHDR header{};
        header.lpData = given.pixels.data();
        header.dwBufferLength = header.dwBytesUsed = DWORD(given.pixels.size());
        header.dwTimeCaptured = DWORD(std::max<int64_t>(0, given.timestampUs - streamStartUs_) / 1000);
        header.dwFlags = VHDR_DONE | VHDR_KEYFRAME;
        callProgram("frame", [&] { return onFrame_(window_, &header); });
    }
    if (!whole)
        return;
    // Paint draws straight from the frame; only rows not padded to four bytes (as a DIB's
    // are) need a padded copy.
    const size_t row = size_t(w) * 3, stride = (row + 3) & ~size_t(3);
    if (row == stride) {
        padded_.clear();
    } else {
        padded_.resize(stride * size_t(h));
        for (int y = 0; y < h; ++y)
            std::memcpy(padded_.data() + stride * size_t(y), current_.pixels.data() + row * size_t(y), row);
    }
    shownWidth_ = w;
    shownHeight_ = h;
    InvalidateRect(window_, nullptr, FALSE);
}

// The frame shown last onto the window at (x, y), width x height.
void CaptureWindow::drawShown(HDC dc, int x, int y, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), shownWidth_, shownHeight_, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const uint8_t* bits = padded_.empty() ? current_.pixels.data() : padded_.data();
    StretchDIBits(dc, x, y, width, height, 0, 0, shownWidth_, shownHeight_, bits, &info, DIB_RGB_COLORS, SRCCOPY);
}

void CaptureWindow::paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    if (!dc)
        return;
    RECT client;
    GetClientRect(window_, &client);
    HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
    if (haveCurrent_ && shownWidth_ > 0) {
        const bool sameSize = client.right == shownWidth_ && client.bottom == shownHeight_;
        if (scale_ && !sameSize) {
            drawShown(dc, 0, 0, client.right, client.bottom);
        } else {
            // Scrolling applies at natural size only.
            const POINT at = scale_ ? POINT{} : scroll_;
            drawShown(dc, -at.x, -at.y, shownWidth_, shownHeight_);
            RECT right{shownWidth_ - at.x, 0, client.right, client.bottom};
            RECT below{0, shownHeight_ - at.y, client.right, client.bottom};
            if (right.left < right.right)
                FillRect(dc, &right, black);
            if (below.top < below.bottom)
                FillRect(dc, &below, black);
        }
    } else {
        FillRect(dc, &client, black);
    }
    DeleteObject(black);
    EndPaint(window_, &ps);
}
