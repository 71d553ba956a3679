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

// The bitmap's pixels as one block laid out like the buffer (bottom row first, no padding
// between rows), or null when its rows lie otherwise. The block takes one copy instead of a
// copy per row.
uint8_t* asBufferBlock(TBitmap* Bitmap, int Width, int Height)
{
    if (Width <= 0 || Height <= 0)
        return nullptr;
    auto* bottom = static_cast<uint8_t*>(Bitmap->ScanLine(Height - 1));
    if (Height == 1)
        return bottom;
    auto* above = static_cast<uint8_t*>(Bitmap->ScanLine(Height - 2));
    return above == bottom + size_t(Width) * 3 ? bottom : nullptr;
}

// The bytes of n the Width x Height picture holds.
size_t pictureBytes(size_t n, int Width, int Height)
{
    return std::min(n, size_t(std::max(Width, 0)) * 3 * size_t(std::max(Height, 0)));
}

// The same bytes into two places in one pass: each block is read from memory once and the
// second time from the cache.
void copyTwice(const uint8_t* from, uint8_t* first, uint8_t* second, size_t n)
{
    constexpr size_t kBlock = 64 * 1024;
    for (size_t at = 0; at < n; at += kBlock) {
        const size_t bytes = std::min(kBlock, n - at);
        std::memcpy(first + at, from + at, bytes);
        std::memcpy(second + at, from + at, bytes);
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
        uint8_t* capture = asBufferBlock(FCaptureFrame, W, H);
        uint8_t* video = asBufferBlock(FVideoFrame, W, H);
        if (capture && video) {
            copyTwice(source, capture, video, pictureBytes(n, W, H));
        } else {
            forEachRow(n, W, H, [&](size_t offset, int line, size_t bytes) {
                std::memcpy(FCaptureFrame->ScanLine(line), source + offset, bytes);
                std::memcpy(FVideoFrame->ScanLine(line), source + offset, bytes);
            });
        }
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
    if (const uint8_t* video = asBufferBlock(FVideoFrame, W, H)) {
        std::memcpy(dest, video, pictureBytes(n, W, H));
        return;
    }
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
