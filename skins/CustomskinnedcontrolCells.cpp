#include "skins/Customskinnedcontrol.h"

#include "skins/Bitmaps.h"
#include "skins/CellCopy.h"
#include "skins/ScopedPermission.h"

// TCustomSkinnedControl: the colour map and the theme grid: which cell is shown, how the
// grid changes, single cells handed out.

namespace {

// A 24-bit view of a source bitmap: the bitmap itself, or a working copy.
struct Source24
{
    explicit Source24(TBitmap* Source) : bitmap(Source)
    {
        if (Source && Source->GetPixelFormat() != pf24bit) {
            copy = std::make_unique<TBitmap>();
            AssignBitmap(Source, copy.get(), false);
            copy->SetPixelFormat(pf24bit);
            bitmap = copy.get();
        }
    }
    TBitmap* bitmap;
    std::unique_ptr<TBitmap> copy;
};


}  // namespace

// ---- Colour map ----

TColor TCustomSkinnedControl::GetColorMap(int H, int V)
{
    if (H < 0 || V < 0 || H >= FThemeHorzCount || V >= FThemeVertCount)
        return GetColor();
    return FColorMapStore.Get(H, V, GetColor());
}

void TCustomSkinnedControl::SetColorMap(int H, int V, TColor Color)
{
    if (H < 0 || V < 0 || H >= FThemeHorzCount || V >= FThemeVertCount)
        return;
    if (!FColorMapStore.Allocated())
        FColorMapStore.Resize(FThemeHorzCount, FThemeVertCount, GetColor());
    FColorMapStore.Set(H, V, Color);
}

void TCustomSkinnedControl::UpdateColorMap()
{
    TBitmap* set = GetColorSet();
    if (!set)
        return;
    Validate(TCacheItem::ColorMap, true);
    const int columns = std::max(FThemeHorzCount, 1), rows = std::max(FThemeVertCount, 1);
    if (FColorMapStore.Columns() != columns || FColorMapStore.Rows() != rows)
        FColorMapStore.Resize(columns, rows, GetColor());
    const TCellSize cell = ThemeCellSize(set->GetWidth(), set->GetHeight(), columns, rows);
    for (int v = 0; v < rows; ++v)
        for (int h = 0; h < columns; ++h) {
            const int x = h * cell.Width, y = v * cell.Height;
            // A set smaller than its grid has cells without pixels: they keep their colour.
            if (x < set->GetWidth() && y < set->GetHeight())
                FColorMapStore.Set(h, v, set->Canvas()->GetPixel(x, y));
        }
}

// ---- Theme grid ----

void TCustomSkinnedControl::SetThemeHorzCount(int Value)
{
    if (Value == FThemeHorzCount || Value <= 0)
        return;
    FThemeHorzCount = Value;
    if (FColorMapStore.Allocated())
        FColorMapStore.Resize(FThemeHorzCount, std::max(FThemeVertCount, 1), GetColor());
    InvalidatePArtwork(FWorkspaces.New());
}

void TCustomSkinnedControl::SetThemeVertCount(int Value)
{
    if (Value == FThemeVertCount || Value <= 0)
        return;
    FThemeVertCount = Value;
    if (FColorMapStore.Allocated())
        FColorMapStore.Resize(std::max(FThemeHorzCount, 1), FThemeVertCount, GetColor());
    InvalidatePArtwork(FWorkspaces.New());
}

void TCustomSkinnedControl::SetThemeHorzIndex(int Value)
{
    if (Value != FThemeHorzIndex)
        SetArtworkIndexes(Value, FThemeVertIndex);
}

void TCustomSkinnedControl::SetThemeVertIndex(int Value)
{
    if (Value != FThemeVertIndex)
        SetArtworkIndexes(FThemeHorzIndex, Value);
}

void TCustomSkinnedControl::SetArtworkIndexes(int H, int V)
{
    if ((H == FThemeHorzIndex && V == FThemeVertIndex) || H < 0 || V < 0 || H >= FThemeHorzCount ||
        V >= FThemeVertCount)
        return;
    // The picture shown so far, brought up to date while the old indexes still hold: it is
    // what a fade starts from.
    GetPArtwork(FWorkspaces.New());
    FThemeHorzIndex = H;
    FThemeVertIndex = V;
    RecanvasArtwork(GetArtworkSet(), H, V);
}

void TCustomSkinnedControl::RecanvasArtwork(TBitmap* Source, int H, int V)
{
    Source24 source(Source);
    // The cell is the size of the picture shown now.
    const TCellSize cell{FPArtworkStore[FWorkspaces.New()]->GetWidth(), FPArtworkStore[FWorkspaces.New()]->GetHeight()};
    const TRect from = ThemeCellRect(H, V, cell);
    const bool fading = GetAllowFading();
    // A fade that has not drawn a frame yet still shows its old workspace exactly: that
    // picture stays the start of the next fade, and the new workspace is free for the new
    // cell. Otherwise the picture reached becomes the old workspace's.
    if (fading && !FadeAtItsStart())
        StopFading();
    {
        const int w = FWorkspaces.New();
        TScopedPermission quiet([this, w](bool v) { SetAllowArtworkChangeEvent(w, v); });
        TBitmap* artwork = FPArtworkStore[w].get();
        if (fading) {
            artwork->SetWidth(FPArtworkStore[FWorkspaces.Old()]->GetWidth());
            artwork->SetHeight(FPArtworkStore[FWorkspaces.Old()]->GetHeight());
        }
        CopyCell(artwork, source.bitmap, from);
        source.copy.reset();
        TScopedPermission keepShape([this](bool v) { SetAllowShapeUpdating(v); });
        InvalidatePStretchedArtwork(w);
    }
    if (fading)
        StartFading(false, true);
    else
        ShowNewPicture();
}

void TCustomSkinnedControl::SetThemeRange(int HorzCount, int VertCount)
{
    if ((HorzCount == FThemeHorzCount && VertCount == FThemeVertCount) || HorzCount < 0 || VertCount < 0)
        return;
    // The cell shown is cut from the set as it was before the change.
    if (FArtworkSetPresent)
        UpdatePArtwork(FWorkspaces.New());
    if (FColorSetPresent)
        UpdatePColor(FWorkspaces.New());
    if (HorzCount == 0 || VertCount == 0) {
        FArtworkSetPresent = false;
        FColorSetPresent = false;
    }
    {
        TScopedPermission colorSetQuiet([this](bool v) { SetAllowColorSetChangeEvent(v); });
        TScopedPermission artworkSetQuiet([this](bool v) { SetAllowArtworkSetChangeEvent(v); });
        // Pixels stay in place, so the cells keep their positions and their size.
        if (FThemeHorzCount > 0) {
            FArtworkSetStore->SetWidth(RescaledExtent(FArtworkSetStore->GetWidth(), HorzCount, FThemeHorzCount));
            FColorSetStore->SetWidth(RescaledExtent(FColorSetStore->GetWidth(), HorzCount, FThemeHorzCount));
        }
        if (FThemeVertCount > 0) {
            FArtworkSetStore->SetHeight(RescaledExtent(FArtworkSetStore->GetHeight(), VertCount, FThemeVertCount));
            FColorSetStore->SetHeight(RescaledExtent(FColorSetStore->GetHeight(), VertCount, FThemeVertCount));
        }
        FColorMapStore.Clear();
        if (HorzCount > 0 && VertCount > 0)
            FColorMapStore.Resize(HorzCount, VertCount, GetColor());
        InvalidateArtworkMap();
        InvalidateColorMap();
    }
    FThemeHorzCount = HorzCount;
    FThemeVertCount = VertCount;
    InvalidateArtworkSet();
}

std::unique_ptr<TBitmap> TCustomSkinnedControl::GetArtworkMap(int H, int V)
{
    auto result = std::make_unique<TBitmap>();
    if (!FArtworkSetPresent) {
        AssignBitmap(GetArtwork(), result.get(), false);
        return result;
    }
    TBitmap* set = GetArtworkSet();
    const TCellSize cell = SetCellSize(set);
    result->SetWidth(cell.Width);
    result->SetHeight(cell.Height);
    CopyCell(result.get(), set, ThemeCellRect(H, V, cell));
    return result;
}

void TCustomSkinnedControl::SetArtworkMap(int, int, TBitmap*)
{
    // Not settled; SetColorMap and Assign with two counts are the working counterparts.
}
