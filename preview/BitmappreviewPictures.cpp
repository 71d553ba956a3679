// TBitmapPreview: the source bitmap, the offscreen and displayed pictures with their lazy
// validity, and painting.
#include <algorithm>
#include <cmath>
#include <climits>

#include "framework/StdPaint.h"
#include "preview/Bitmappreview.h"
#include "skins/Bitmaps.h"

using Bitmappreview::ZoomBitmap;

namespace {

// Truncation toward zero that saturates instead of overflowing.
int truncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    return v >= double(INT_MAX) ? INT_MAX : v <= double(INT_MIN) ? INT_MIN : int(v);
}

}  // namespace

// ---- Source bitmap ----

void TBitmapPreview::InitializeBitmap()
{
    if (!FBitmap)
        FBitmap = std::make_unique<TBitmap>();
    // Emptying is one change, announced by the caller: no notification per step.
    FBitmap->OnChange = nullptr;
    FBitmap->SetPixelFormat(pf24bit);
    FBitmap->SetSize(0, 0);
    FBitmap->OnChange = [this](TObject* Sender) { FBitmapOnChange(Sender); };
    ClearAlignments();
    FIsEmpty = true;
    Invalidate();
}

void TBitmapPreview::SetBitmap(TBitmap* Value)
{
    if (FBitmap && !Value) {
        InitializeBitmap();
    } else if (!FBitmap && Value) {
        InitializeBitmap();
        AssignBitmap(Value, FBitmap.get(), false);
    } else if (FBitmap && Value) {
        if (Value != FBitmap.get())
            AssignBitmap(Value, FBitmap.get(), false);
    } else {
        return;
    }
    FBitmapOnChange(FBitmap.get());
}

void TBitmapPreview::FBitmapOnChange(TObject*)
{
    Compound([this] {
        BackupAlignments();
        ClearAlignments();
        if (FBitmap->GetPixelFormat() != pf24bit)
            InvalidateBitmap();
        if (FBitmap->GetWidth() != FBitmapWidth || FBitmap->GetHeight() != FBitmapHeight) {
            FBitmapWidth = FBitmap->GetWidth();
            FBitmapHeight = FBitmap->GetHeight();
        }
        if (FBitmap->GetWidth() < 1 || FBitmap->GetHeight() < 1) {
            FIsEmpty = true;
            Invalidate();
        } else {
            FIsEmpty = false;
        }
        InvalidateOffscreenBitmap();
        RestoreAlignments();
    });
}

void TBitmapPreview::Clear()
{
    InitializeBitmap();
    FIsEmpty = true;
    InvalidateOffscreenBitmap();
    Invalidate();
    ConditionalChange();
}

void TBitmapPreview::SetIsEmpty(bool Value)
{
    if (Value && !FIsEmpty)
        Clear();
}

// ---- The three pictures ----

TBitmap* TBitmapPreview::GetBitmap()
{
    if (!FBitmapValid)
        UpdateBitmap();
    return FBitmap.get();
}

TBitmap* TBitmapPreview::GetOffscreenBitmap()
{
    if (!FOffscreenValid)
        UpdateOffscreenBitmap();
    return FOffscreenBitmap.get();
}

TBitmap* TBitmapPreview::GetDisplayedBitmap()
{
    if (!FDisplayedValid)
        UpdateDisplayedBitmap();
    return FDisplayedBitmap.get();
}

void TBitmapPreview::pf24bitBitmap()
{
    if (FBitmap->GetPixelFormat() == pf24bit)
        return;
    TNotifyEvent handler = FBitmap->OnChange;
    FBitmap->OnChange = nullptr;
    try {
        FBitmap->SetPixelFormat(pf24bit);
    } catch (...) {
        FBitmap->OnChange = handler;
        throw;
    }
    FBitmap->OnChange = handler;
}

void TBitmapPreview::UpdateBitmap()
{
    if (!FBitmap || FIsEmpty)
        return;
    pf24bitBitmap();
    FBitmapValid = true;
}

void TBitmapPreview::UpdateOffscreenBitmap()
{
    if (!FOffscreenBitmap || FIsEmpty)
        return;
    const int w = GetWidth(), h = GetHeight();
    ZoomBitmap(GetBitmap(), TDblPoint{FOriginX - w / FZoom, FOriginY - h / FZoom}, FZoom, GetColor(),
               FOffscreenBitmap.get(), 3 * w, 3 * h, FQualityLevel);
    FOffscreenValid = true;
    ConditionalUpdateDisplay();
}

void TBitmapPreview::UpdateDisplayedBitmap()
{
    if (!FDisplayedBitmap || FIsEmpty)
        return;
    const int w = GetWidth(), h = GetHeight();
    ZoomBitmap(GetOffscreenBitmap(), TDblPoint{w + FScrollX, h + FScrollY}, 1.0, GetColor(), FDisplayedBitmap.get(),
               w, h, 0);
    FDisplayedValid = true;
}

void TBitmapPreview::InvalidateBitmap()
{
    FBitmapValid = false;
    InvalidateOffscreenBitmap();
}

void TBitmapPreview::InvalidateOffscreenBitmap()
{
    FOffscreenValid = false;
    InvalidateDisplayedBitmap();
}

void TBitmapPreview::InvalidateDisplayedBitmap()
{
    FDisplayedValid = false;
}

// ---- Painting ----

void TBitmapPreview::Paint()
{
    if (!GetParent() || !FOffscreenBitmap || FIsEmpty)
        return;
    auto* canvas = static_cast<TControlCanvas*>(GetCanvas());
    // Outside a paint message the picture goes straight to the window, once there is one;
    // the device context is let go afterwards so the drawing reaches the screen.
    const bool direct = !canvas->HandleAllocated();
    if (direct && !HandleAllocated())
        return;
    try {
        TBitmap* picture = GetOffscreenBitmap();
        const int w = GetWidth(), h = GetHeight();
        const int x = truncToInt(-w - FScrollX);
        const int y = truncToInt(-h - FScrollY);
        // Only the part inside the client area is copied (the same pixels Draw would give).
        const TRect drawn(x, y, x + picture->GetWidth(), y + picture->GetHeight());
        const TRect seen(std::max(drawn.Left, 0), std::max(drawn.Top, 0), std::min(drawn.Right, w),
                         std::min(drawn.Bottom, h));
        if (seen.Left < seen.Right && seen.Top < seen.Bottom)
            canvas->CopyRect(seen, picture->Canvas(),
                             TRect(seen.Left - x, seen.Top - y, seen.Right - x, seen.Bottom - y));
        // A pan past one component size uncovers client area the picture does not reach.
        if (drawn.Left > 0 || drawn.Top > 0 || drawn.Right < w || drawn.Bottom < h) {
            HDC dc = canvas->GetHandle();
            TColor back = GetColor();
            if (drawn.Left > 0)
                FillSolid(dc, TRect(0, 0, std::min(drawn.Left, w), h), back);
            if (drawn.Right < w)
                FillSolid(dc, TRect(std::max(drawn.Right, 0), 0, w, h), back);
            if (drawn.Top > 0)
                FillSolid(dc, TRect(0, 0, w, std::min(drawn.Top, h)), back);
            if (drawn.Bottom < h)
                FillSolid(dc, TRect(0, std::max(drawn.Bottom, 0), w, h), back);
        }
    } catch (...) {
        if (direct)
            canvas->FreeHandle();
        throw;
    }
    if (direct)
        canvas->FreeHandle();
}
