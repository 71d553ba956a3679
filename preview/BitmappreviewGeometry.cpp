// TBitmapPreview: origin and zoom, the nine fit and centre modes, coordinate conversions
// and resizing.
//
// Interplay of the modes: moving the origin cancels the centre modes of that axis and the
// frame's; zooming cancels every fit mode but keeps the centre modes; a mode already in
// force is not applied again. A change of picture or of size backs the modes up, clears
// them and sets them again, so they follow the new picture or size.
#include <algorithm>
#include <cmath>

#include "preview/Bitmappreview.h"

using Bitmappreview::Round;
using Bitmappreview::RoundDecimal;

// ---- Origin and zoom ----

void TBitmapPreview::SetOriginX(double Value)
{
    if (!std::isfinite(Value))
        return;
    double v = RoundDecimal(Value, 3);
    if (v == FOriginX)
        return;
    FOriginX = v;
    FCenterFrame = FCenterFitFrame = FCenterHorz = FCenterFitHorz = false;
    InvalidateOffscreenBitmap();
    ConditionalChange();
}

void TBitmapPreview::SetOriginY(double Value)
{
    if (!std::isfinite(Value))
        return;
    double v = RoundDecimal(Value, 3);
    if (v == FOriginY)
        return;
    FOriginY = v;
    FCenterFrame = FCenterFitFrame = FCenterVert = FCenterFitVert = false;
    InvalidateOffscreenBitmap();
    ConditionalChange();
}

void TBitmapPreview::SetZoom(double Value)
{
    if (!std::isfinite(Value))
        return;
    double v = RoundDecimal(Value, 3);
    if (!(v > 0.0) || v == FZoom)
        return;
    const double z0 = FZoom;
    FZoom = v;
    FFitFrame = FCenterFitFrame = FFitHorz = FCenterFitHorz = FFitVert = FCenterFitVert = false;
    if (Loading()) {
        // A layout stores the origin before the zoom: keep the origin it gave.
        InvalidateOffscreenBitmap();
        ConditionalChange();
        return;
    }
    // Keep the bitmap point under the client centre where it is.
    const double w = GetWidth(), h = GetHeight();
    double x = RoundDecimal(FOriginX + w / (2 * z0) - w / (2 * v), 3);
    double y = RoundDecimal(FOriginY + h / (2 * z0) - h / (2 * v), 3);
    if (std::isfinite(x))
        FOriginX = x;
    if (std::isfinite(y))
        FOriginY = y;
    InvalidateOffscreenBitmap();
    ConditionalChange();
}

void TBitmapPreview::SetScrollX(double Value)
{
    if (!std::isfinite(Value) || Value == FScrollX)
        return;
    FScrollX = Value;
    ConditionalChange();
}

void TBitmapPreview::SetScrollY(double Value)
{
    if (!std::isfinite(Value) || Value == FScrollY)
        return;
    FScrollY = Value;
    ConditionalChange();
}

// ---- Fit and centre ----

void TBitmapPreview::SetFitFrame(bool Value)
{
    if (!Value || FFitFrame)
        return;
    Compound([this] {
        if (FIsEmpty)
            SetZoom(1.0);
        else
            SetZoom(std::min(double(GetWidth()) / FBitmap->GetWidth(), double(GetHeight()) / FBitmap->GetHeight()));
        FFitFrame = true;
        InvalidateOffscreenBitmap();
    });
}

void TBitmapPreview::SetFitHorz(bool Value)
{
    if (!Value || FFitHorz)
        return;
    Compound([this] {
        SetZoom(FIsEmpty ? 1.0 : double(GetWidth()) / FBitmap->GetWidth());
        FFitHorz = true;
        InvalidateOffscreenBitmap();
    });
}

void TBitmapPreview::SetFitVert(bool Value)
{
    if (!Value || FFitVert)
        return;
    Compound([this] {
        SetZoom(FIsEmpty ? 1.0 : double(GetHeight()) / FBitmap->GetHeight());
        FFitVert = true;
        InvalidateOffscreenBitmap();
    });
}

void TBitmapPreview::SetCenterHorz(bool Value)
{
    if (!Value || FCenterHorz)
        return;
    Compound([this] {
        SetOriginX((FBitmap->GetWidth() * FZoom - GetWidth()) * 0.5 / FZoom);
        FCenterHorz = true;
        InvalidateOffscreenBitmap();
    });
}

void TBitmapPreview::SetCenterVert(bool Value)
{
    if (!Value || FCenterVert)
        return;
    Compound([this] {
        SetOriginY((FBitmap->GetHeight() * FZoom - GetHeight()) * 0.5 / FZoom);
        FCenterVert = true;
        InvalidateOffscreenBitmap();
    });
}

void TBitmapPreview::SetCenterFrame(bool Value)
{
    if (!Value || FCenterFrame)
        return;
    Compound([this] {
        SetCenterHorz(true);
        SetCenterVert(true);
        FCenterFrame = true;
        InvalidateOffscreenBitmap();
    });
}

void TBitmapPreview::SetCenterFitFrame(bool Value)
{
    if (!Value || FCenterFitFrame)
        return;
    Compound([this] {
        SetFitFrame(true);
        SetCenterFrame(true);
        FCenterFitFrame = true;
        InvalidateOffscreenBitmap();
    });
}

void TBitmapPreview::SetCenterFitHorz(bool Value)
{
    if (!Value || FCenterFitHorz)
        return;
    Compound([this] {
        SetFitHorz(true);
        SetCenterHorz(true);
        FCenterFitHorz = true;
        InvalidateOffscreenBitmap();
    });
}

void TBitmapPreview::SetCenterFitVert(bool Value)
{
    if (!Value || FCenterFitVert)
        return;
    Compound([this] {
        SetFitVert(true);
        SetCenterVert(true);
        FCenterFitVert = true;
        InvalidateOffscreenBitmap();
    });
}

void TBitmapPreview::BackupAlignments()
{
    FBkpFitFrame = FFitFrame;
    FBkpCenterFrame = FCenterFrame;
    FBkpCenterFitFrame = FCenterFitFrame;
    FBkpFitHorz = FFitHorz;
    FBkpCenterHorz = FCenterHorz;
    FBkpCenterFitHorz = FCenterFitHorz;
    FBkpFitVert = FFitVert;
    FBkpCenterVert = FCenterVert;
    FBkpCenterFitVert = FCenterFitVert;
}

void TBitmapPreview::ClearAlignments()
{
    FFitFrame = FCenterFrame = FCenterFitFrame = false;
    FFitHorz = FCenterHorz = FCenterFitHorz = false;
    FFitVert = FCenterVert = FCenterFitVert = false;
}

void TBitmapPreview::ClearBkpAlignments()
{
    FBkpFitFrame = FBkpCenterFrame = FBkpCenterFitFrame = false;
    FBkpFitHorz = FBkpCenterHorz = FBkpCenterFitHorz = false;
    FBkpFitVert = FBkpCenterVert = FBkpCenterFitVert = false;
}

void TBitmapPreview::RestoreAlignments()
{
    SetFitFrame(FBkpFitFrame);
    SetCenterFrame(FBkpCenterFrame);
    SetCenterFitFrame(FBkpCenterFitFrame);
    SetFitHorz(FBkpFitHorz);
    SetCenterHorz(FBkpCenterHorz);
    SetCenterFitHorz(FBkpCenterFitHorz);
    SetFitVert(FBkpFitVert);
    SetCenterVert(FBkpCenterVert);
    SetCenterFitVert(FBkpCenterFitVert);
}

// ---- Conversions ----

TPoint TBitmapPreview::ClientToDisplayPoint(const TPoint& P) const
{
    return TPoint(P.X + GetWidth(), P.Y + GetHeight());
}

TPoint TBitmapPreview::DisplayToClientPoint(const TPoint& P) const
{
    return TPoint(P.X - GetWidth(), P.Y - GetHeight());
}

TDblPoint TBitmapPreview::ClientToBitmapPoint(const TPoint& P) const
{
    return TDblPoint{P.X / FZoom + FOriginX, P.Y / FZoom + FOriginY};
}

TDblPoint TBitmapPreview::DisplayToBitmapPoint(const TPoint& P) const
{
    return TDblPoint{(P.X - GetWidth()) / FZoom + FOriginX, (P.Y - GetHeight()) / FZoom + FOriginY};
}

TPoint TBitmapPreview::BitmapToClientPoint(const TDblPoint& B) const
{
    return TPoint(Round((B.X - FOriginX) * FZoom), Round((B.Y - FOriginY) * FZoom));
}

TPoint TBitmapPreview::BitmapToDisplayPoint(const TDblPoint& B) const
{
    TPoint p = BitmapToClientPoint(B);
    return TPoint(p.X + GetWidth(), p.Y + GetHeight());
}

// ---- Resizing ----

void TBitmapPreview::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    ClampControlBounds(ALeft, ATop, AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
        return;
    const bool resized = AWidth != FWidth || AHeight != FHeight;
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (!resized)
        return;
    SetEnableChangeEvent(false);
    try {
        BackupAlignments();
        ClearAlignments();
        InvalidateOffscreenBitmap();
        RestoreAlignments();
    } catch (...) {
        SetEnableChangeEvent(true);
        throw;
    }
    SetEnableChangeEvent(true);
    Paint();
}
