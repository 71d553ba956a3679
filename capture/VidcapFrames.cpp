// Every frame that passes the frame and video-stream callbacks is mirrored into two bitmaps
// (CaptureFrame for readers, VideoFrame for handlers to draw on), and VideoFrame is copied
// back into the frame buffer after the event.
//
// The buffer holds 24-bit pixels, rows of exactly 3 x ImageWidth bytes, bottom row first;
// bitmap scan lines are counted from the top. At most min(dwBytesUsed, dwBufferLength)
// bytes of the buffer are touched; rows the buffer does not reach keep what they held.
#include <algorithm>
#include <cstring>

#include "capture/Vidcap.h"
#include "framework/Forms.h"
#include "platform/Clock.h"

namespace {

constexpr int64_t kFrameWaitMs = 5000;
constexpr DWORD kPollMs = 10;

void prepare(TBitmap* Bitmap, int Width, int Height)
{
    if (Bitmap->GetPixelFormat() != pf24bit)
        Bitmap->SetPixelFormat(pf24bit);
    if (Bitmap->GetWidth() != Width || Bitmap->GetHeight() != Height) {
        Bitmap->SetHeight(Height);
        Bitmap->SetWidth(Width);
    }
}

// The bytes of the buffer that may be read or written.
size_t usableBytes(const VIDEOHDR* Header)
{
    if (!Header || !Header->lpData)
        return 0;
    return std::min<size_t>(Header->dwBytesUsed, Header->dwBufferLength);
}

// Calls Row(bufferOffset, scanLine, bytes) for each buffer row the n bytes reach.
template <class F>
void forEachRow(size_t n, int Width, int Height, F Row)
{
    if (Width <= 0 || Height <= 0)
        return;
    const size_t rowBytes = size_t(Width) * 3;
    size_t copied = 0;
    for (int i = 0; copied < n && i < Height; ++i) {
        const size_t bytes = std::min(rowBytes, n - copied);
        Row(rowBytes * size_t(i), Height - 1 - i, bytes);
        copied += bytes;
    }
}

void notifyChanged(TBitmap* Bitmap)
{
    if (Bitmap->OnChange)
        Bitmap->OnChange(Bitmap);
}

}  // namespace

void TVidCap::UpdateFrameBitmaps(LPVIDEOHDR lpVHdr)
{
    FFrameUpdated = false;
    const int W = GetImageWidth(), H = GetImageHeight();
    prepare(FCaptureFrame, W, H);
    prepare(FVideoFrame, W, H);
    const size_t n = usableBytes(lpVHdr);
    if (n > 0) {
        const uint8_t* source = lpVHdr->lpData;
        forEachRow(n, W, H, [&](size_t offset, int line, size_t bytes) {
            std::memcpy(FCaptureFrame->ScanLine(line), source + offset, bytes);
            std::memcpy(FVideoFrame->ScanLine(line), source + offset, bytes);
        });
        notifyChanged(FCaptureFrame);
        notifyChanged(FVideoFrame);
    }
    FFrameUpdated = true;
}

void TVidCap::CopyBackVideoFrame(LPVIDEOHDR lpVHdr)
{
    const int W = GetImageWidth(), H = GetImageHeight();
    prepare(FVideoFrame, W, H);
    const size_t n = usableBytes(lpVHdr);
    if (n == 0)
        return;
    uint8_t* dest = lpVHdr->lpData;
    forEachRow(n, W, H, [&](size_t offset, int line, size_t bytes) {
        std::memcpy(dest + offset, FVideoFrame->ScanLine(line), bytes);
    });
}

TBitmap* TVidCap::GetCaptureFrame()
{
    // Inside a frame event the bitmap already holds the frame being delivered; a grab from
    // there would run the event again, without end.
    if (FInFrameEvent > 0)
        return FCaptureFrame;
    if (!GetRecording())
        Send(WM_CAP_GRAB_FRAME_NOSTOP, 0, 0);
    // On the monotonic clock: a step of the wall clock cannot stretch or cut the wait.
    const int64_t start = currentClock().monotonicMs();
    while (!FFrameUpdated && currentClock().monotonicMs() - start < kFrameWaitMs) {
        if (Application)
            Application->ProcessMessages();
        else
            processPendingMessages();
        if (!FFrameUpdated)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    }
    if (!FFrameUpdated && Application)
        Application->MessageBox("FrameBitmap failed to update", "Velkor Error", MB_OK);
    return FCaptureFrame;
}
