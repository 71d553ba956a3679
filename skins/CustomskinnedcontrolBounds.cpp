#include "skins/Customskinnedcontrol.h"

#include "skins/Bitmaps.h"
#include "skins/ScopedPermission.h"

// TCustomSkinnedControl: copying one control into another, and resizing.

void TCustomSkinnedControl::Assign(TPersistent* Source)
{
    if (auto* source = dynamic_cast<TCustomSkinnedControl*>(Source)) {
        SetColor(source->GetColor());
        SetParentColor(source->GetParentColor());
        SetArtworkSetPresent(source->FArtworkSetPresent);
        if (FArtworkSetPresent)
            AssignBitmap(source->FArtworkSetStore.get(), FArtworkSetStore.get(), false);
        AssignBitmap(source->FPArtworkStore[source->FWorkspaces.New()].get(), FPArtworkStore[FWorkspaces.New()].get(), false);
        FThemeHorzCount = source->FThemeHorzCount;
        FThemeVertCount = source->FThemeVertCount;
        FThemeHorzIndex = source->FThemeHorzIndex;
        FThemeVertIndex = source->FThemeVertIndex;
        // The colour map keeps to the grid it now serves.
        if (FColorMapStore.Allocated())
            FColorMapStore.Resize(std::max(FThemeHorzCount, 1), std::max(FThemeVertCount, 1), GetColor());
        SetTransparentColor(source->FTransparentColor);
        SetTransparentMode(source->FTransparentMode);
        SetColorized(source->FColorized);
        SetArtworked(source->FArtworked);
        SetShaped(source->FShaped);
        SetShapeParent(source->GetShapeParent());
        SetDragable(source->FPointer.Dragable());
        SetDragParent(source->GetDragParent());
        SetEnableFading(source->FFade.Enabled());
        SetFadingInterval(source->FFade.Interval());
        InvalidateArtworkSet();
        SetBounds(GetLeft(), GetTop(), source->GetWidth(), source->GetHeight());
    } else if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
        // The notification makes the bitmap the single artwork.
        AssignBitmap(bitmap, GetArtwork(), true);
    } else {
        TCustomControl::Assign(Source);
    }
    InvalidatePStretchedArtwork(FWorkspaces.New());
}

void TCustomSkinnedControl::Assign(TBitmap* Source, int HorzCount, int VertCount)
{
    if (!Source)
        return;
    std::unique_ptr<TBitmap> copy;
    TBitmap* from = Source;
    if (Source->GetPixelFormat() != pf24bit) {
        copy = std::make_unique<TBitmap>();
        AssignBitmap(Source, copy.get(), false);
        copy->SetPixelFormat(pf24bit);
        from = copy.get();
    }
    const TCellSize cell = ThemeCellSize(from->GetWidth(), from->GetHeight(), HorzCount, VertCount);
    TBitmap* artwork = FPArtworkStore[FWorkspaces.New()].get();
    {
        const int w = FWorkspaces.New();
        TScopedPermission quiet([this, w](bool v) { SetAllowArtworkChangeEvent(w, v); });
        artwork->SetHeight(cell.Height);
        artwork->SetWidth(cell.Width);
        const TRect rect(0, 0, cell.Width, cell.Height);
        if (cell.Width > 0 && cell.Height > 0)
            artwork->Canvas()->CopyRect(rect, from->Canvas(), rect);
        copy.reset();
    }
    // The cell becomes the single artwork.
    if (TNotifyEvent handler = artwork->OnChange)
        handler(artwork);
}

void TCustomSkinnedControl::Assign(TBitmap*, int, int, TColor, int)
{
    // Not settled; Assign with two counts is the working form.
}

void TCustomSkinnedControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    ClampControlBounds(ALeft, ATop, AWidth, AHeight);
    if (TRect(ALeft, ATop, ALeft + AWidth, ATop + AHeight) == GetBoundsRect())
        return;
    const bool resized = AWidth != GetWidth() || AHeight != GetHeight();
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (!resized) {
        InvalidateParentChildShapes(nullptr);
        return;
    }
    RecomputeStretched(GetWidth(), GetHeight());
    InvalidatePStretchedArtwork(FWorkspaces.Old());
    InvalidatePStretchedArtwork(FWorkspaces.New());
    // A shaped control gets there through its own outline.
    if (!FShaped)
        InvalidateParentChildShapes(nullptr);
}

void TCustomSkinnedControl::SetStretched(bool Value)
{
    if (!FStretched || Value)
        return;
    if (TBitmap* artwork = GetArtwork())
        SetBounds(GetLeft(), GetTop(), artwork->GetWidth(), artwork->GetHeight());
}
