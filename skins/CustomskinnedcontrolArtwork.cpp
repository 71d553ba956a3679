#include "skins/Customskinnedcontrol.h"

#include "skins/Bitmaps.h"
#include "skins/CellCopy.h"
#include "skins/ScopedPermission.h"

// TCustomSkinnedControl: the artwork, the sets and the chain of cached pictures.


// ---- Bitmap operations ----

void TCustomSkinnedControl::DefaultBitmap(std::unique_ptr<TBitmap>& B)
{
    TNotifyEvent handler;
    TPixelFormat format = pf24bit;
    if (B) {
        handler = std::move(B->OnChange);
        B->OnChange = nullptr;
        format = B->GetPixelFormat();
        B.reset();
    }
    B = std::make_unique<TBitmap>();
    if (B->GetPixelFormat() != format)
        B->SetPixelFormat(format);
    B->OnChange = std::move(handler);
}

void TCustomSkinnedControl::AttachFColorSetChngEvent()
{
    FColorSetStore->OnChange = [this](TObject* Sender) { FColorSetOnChange(Sender); };
}

void TCustomSkinnedControl::AttachFArtworkSetChngEvent()
{
    FArtworkSetStore->OnChange = [this](TObject* Sender) { FArtworkSetOnChange(Sender); };
}

void TCustomSkinnedControl::AttachFArtworkChngEvent(int W)
{
    if (W == FWorkspaces.New())
        FPArtworkStore[W]->OnChange = [this](TObject* Sender) { NewFArtworkOnChange(Sender); };
    else
        FPArtworkStore[W]->OnChange = [this](TObject* Sender) { OldFArtworkOnChange(Sender); };
}

void TCustomSkinnedControl::SwitchWorkspaces()
{
    FWorkspaces.Switch();
    AttachFArtworkChngEvent(FWorkspaces.Old());
    AttachFArtworkChngEvent(FWorkspaces.New());
}

// ---- Change handlers ----

void TCustomSkinnedControl::FColorSetOnChange(TObject*)
{
    if (!GetAllowColorSetChangeEvent())
        return;
    FColorSetPresent = true;
    InvalidateColorSet();
}

void TCustomSkinnedControl::FArtworkSetOnChange(TObject*)
{
    if (!GetAllowArtworkSetChangeEvent())
        return;
    FArtworkSetPresent = true;
    InvalidateArtworkSet();
}

void TCustomSkinnedControl::NewFArtworkOnChange(TObject*)
{
    if (!GetAllowArtworkChangeEvent(FWorkspaces.New()))
        return;
    // The shown artwork was changed from outside: it is the single artwork from now on.
    DefaultBitmap(FArtworkSetStore);
    FArtworkSetPresent = false;
    InvalidatePArtwork(FWorkspaces.New());
}

void TCustomSkinnedControl::OldFArtworkOnChange(TObject*)
{
    if (GetAllowArtworkChangeEvent(FWorkspaces.Old()))
        InvalidatePArtwork(FWorkspaces.Old());
}

// ---- Bitmap properties ----

void TCustomSkinnedControl::AssignOwnedBitmap(std::unique_ptr<TBitmap>& Target, TBitmap* Value)
{
    // The stored bitmaps always exist, so the copy never needs its handler attached anew.
    if (Value != Target.get()) {
        DefaultBitmap(Target);
        if (Value)
            AssignBitmap(Value, Target.get(), false);
    }
    // Assigning a bitmap to itself only notifies: replacing it first would free the source.
    if (TNotifyEvent handler = Target->OnChange)
        handler(this);
}

TBitmap* TCustomSkinnedControl::GetColorSet()
{
    if (!Valid(TCacheItem::ColorSet))
        UpdateColorSet();
    return FColorSetStore.get();
}

void TCustomSkinnedControl::SetColorSet(TBitmap* Value)
{
    AssignOwnedBitmap(FColorSetStore, Value);
}

void TCustomSkinnedControl::SetColorSetPresent(bool)
{
    // The flag follows the colour set; writing it has no effect.
}

bool TCustomSkinnedControl::StoreColorSet()
{
    return FColorSetPresent;
}

TBitmap* TCustomSkinnedControl::GetArtworkSet()
{
    if (!Valid(TCacheItem::ArtworkSet))
        UpdateArtworkSet();
    return FArtworkSetStore.get();
}

void TCustomSkinnedControl::SetArtworkSet(TBitmap* Value)
{
    AssignOwnedBitmap(FArtworkSetStore, Value);
}

bool TCustomSkinnedControl::StoreArtworkSet()
{
    return FArtworkSetPresent;
}

void TCustomSkinnedControl::SetArtworkSetPresent(bool Value)
{
    if (Value == FArtworkSetPresent)
        return;
    if (Value) {
        FArtworkSetPresent = true;
        InvalidatePArtwork(FWorkspaces.New());
        return;
    }
    // The cell shown becomes the single artwork.
    if (!Valid(TWorkspaceItem::Artwork, FWorkspaces.New()))
        UpdatePArtwork(FWorkspaces.New());
    DefaultBitmap(FArtworkSetStore);
    FArtworkSetPresent = false;
}

TBitmap* TCustomSkinnedControl::GetArtwork()
{
    return GetPArtwork(FWorkspaces.New());
}

void TCustomSkinnedControl::SetArtwork(TBitmap* Value)
{
    SetPArtwork(FWorkspaces.New(), Value);
}

bool TCustomSkinnedControl::StoreArtwork()
{
    return !FArtworkSetPresent;
}

void TCustomSkinnedControl::SetPArtwork(int W, TBitmap* Value)
{
    AssignOwnedBitmap(FPArtworkStore[W & 1], Value);
}

TBitmap* TCustomSkinnedControl::GetStretchedArtwork()
{
    return GetPStretchedArtwork(FWorkspaces.New());
}

TBitmap* TCustomSkinnedControl::GetArtworkMux()
{
    return GetPArtworkMux(FWorkspaces.New());
}

TBitmap* TCustomSkinnedControl::GetColorizedArtwork()
{
    return GetPColorizedArtwork(FWorkspaces.New());
}

// ---- Getters of the chain ----

TColor TCustomSkinnedControl::GetPColor(int W)
{
    W &= 1;
    if (!Valid(TWorkspaceItem::Color, W))
        UpdatePColor(W);
    return FPColorStore[W];
}

void TCustomSkinnedControl::SetPColor(int W, TColor Color)
{
    FPColorStore[W & 1] = Color;
}

TBitmap* TCustomSkinnedControl::GetPArtwork(int W)
{
    W &= 1;
    if (!Valid(TWorkspaceItem::Artwork, W))
        UpdatePArtwork(W);
    return FPArtworkStore[W].get();
}

TBitmap* TCustomSkinnedControl::GetPStretchedArtwork(int W)
{
    W &= 1;
    if (!Valid(TWorkspaceItem::StretchedArtwork, W))
        UpdatePStretchedArtwork(W);
    return FPStretchedArtwork[W].get();
}

TBitmap* TCustomSkinnedControl::GetPArtworkMux(int W)
{
    W &= 1;
    TBitmap* result = FStretched ? GetPStretchedArtwork(W) : GetPArtwork(W);
    if (result)
        Validate(TWorkspaceItem::ArtworkMux, W, true);
    return result;
}

TBitmap* TCustomSkinnedControl::GetPColorizedArtwork(int W)
{
    W &= 1;
    if (!Valid(TWorkspaceItem::ColorizedArtwork, W))
        UpdatePColorizedArtwork(W);
    return FPColorizedArtwork[W].get();
}

TBitmap* TCustomSkinnedControl::GetSkinBitmap()
{
    TBitmap* result = FColorized ? GetColorizedArtwork() : GetArtworkMux();
    if (result)
        Validate(TCacheItem::SkinBitmap, true);
    return result;
}

// ---- Updates ----

TCellSize TCustomSkinnedControl::SetCellSize(TBitmap* Set) const
{
    return ThemeCellSize(Set->GetWidth(), Set->GetHeight(), FThemeHorzCount, FThemeVertCount);
}

void TCustomSkinnedControl::UpdateColorSet()
{
    Validate(TCacheItem::ColorSet, true);
    FixBitmap(FColorSetStore.get());
}

void TCustomSkinnedControl::UpdateArtworkSet()
{
    Validate(TCacheItem::ArtworkSet, true);
    FixBitmap(FArtworkSetStore.get());
}

void TCustomSkinnedControl::UpdateArtworkMap()
{
    if (GetArtworkSet())
        Validate(TCacheItem::ArtworkMap, true);
}

void TCustomSkinnedControl::UpdatePColor(int W)
{
    W &= 1;
    Validate(TWorkspaceItem::Color, W, true);
    if (W == FWorkspaces.New()) {
        if (FColorSetPresent)
            FPColorStore[W] = GetColorMap(FThemeHorzIndex, FThemeVertIndex);
    } else {
        FPColorStore[W] = FPColorStore[FWorkspaces.New()];
    }
}

void TCustomSkinnedControl::UpdatePArtwork(int W)
{
    W &= 1;
    TBitmap* artwork = FPArtworkStore[W].get();
    Validate(TWorkspaceItem::Artwork, W, true);
    FixBitmap(artwork);
    if (W == FWorkspaces.Old()) {
        AssignBitmap(FPArtworkStore[FWorkspaces.New()].get(), artwork, false);
        return;
    }
    if (!FArtworkSetPresent)
        return;   // the single artwork is the artwork itself
    TBitmap* set = GetArtworkSet();
    const TCellSize cell = SetCellSize(set);
    const int w = FWorkspaces.New();
    TScopedPermission quiet([this, w](bool v) { SetAllowArtworkChangeEvent(w, v); });
    artwork->SetWidth(cell.Width);
    artwork->SetHeight(cell.Height);
    if (cell.Width > 0 && cell.Height > 0)
        CopyCell(artwork, set, ThemeCellRect(FThemeHorzIndex, FThemeVertIndex, cell));
}

void TCustomSkinnedControl::UpdatePStretchedArtwork(int W)
{
    W &= 1;
    TBitmap* artwork = GetPArtwork(W);
    if (!FPStretchedArtwork[W] || !artwork)
        return;
    Validate(TWorkspaceItem::StretchedArtwork, W, true);
    StretchBitmap(artwork, FPStretchedArtwork[W].get(), GetWidth(), GetHeight(), 0);
}

void TCustomSkinnedControl::UpdatePColorizedArtwork(int W)
{
    W &= 1;
    TBitmap* source = GetPArtworkMux(W);
    if (!FPColorizedArtwork[W] || !source)
        return;
    Validate(TWorkspaceItem::ColorizedArtwork, W, true);
    ColorizeBitmap(source, FPColorizedArtwork[W].get(), GetPColor(W));
}

// ---- Invalidation ----

void TCustomSkinnedControl::InvalidateColorSet()
{
    Validate(TCacheItem::ColorSet, false);
    InvalidatePColor(FWorkspaces.New());
}

void TCustomSkinnedControl::InvalidateColorMap()
{
    Validate(TCacheItem::ColorMap, false);
}

void TCustomSkinnedControl::InvalidateArtworkSet()
{
    Validate(TCacheItem::ArtworkSet, false);
    InvalidatePArtwork(FWorkspaces.New());
}

void TCustomSkinnedControl::InvalidateArtworkMap()
{
    Validate(TCacheItem::ArtworkMap, false);
}

void TCustomSkinnedControl::InvalidatePColor(int W)
{
    W &= 1;
    Validate(TWorkspaceItem::Color, W, false);
    InvalidatePColorizedArtwork(W);
}

void TCustomSkinnedControl::RecomputeStretched(int Width, int Height)
{
    // The raw set: its size is all that counts here.
    const TCellSize cell = FArtworkSetPresent
                               ? SetCellSize(FArtworkSetStore.get())
                               : TCellSize{FPArtworkStore[FWorkspaces.New()]->GetWidth(), FPArtworkStore[FWorkspaces.New()]->GetHeight()};
    FStretched = NeedsStretch(cell, Width, Height);
}

void TCustomSkinnedControl::InvalidatePArtwork(int W)
{
    W &= 1;
    Validate(TWorkspaceItem::Artwork, W, false);
    if (W == FWorkspaces.New()) {
        if (FArtworkSetPresent)
            GetArtworkSet();   // brought up to date before its size is read
        RecomputeStretched(GetWidth(), GetHeight());
    }
    InvalidatePStretchedArtwork(W);
    if (FArtworked && !FShaped)
        Repaint();
}

void TCustomSkinnedControl::InvalidatePStretchedArtwork(int W)
{
    W &= 1;
    Validate(TWorkspaceItem::StretchedArtwork, W, false);
    InvalidatePArtworkMux(W);
}

void TCustomSkinnedControl::InvalidatePArtworkMux(int W)
{
    W &= 1;
    Validate(TWorkspaceItem::ArtworkMux, W, false);
    InvalidatePColorizedArtwork(W);
    if (W == FWorkspaces.New() && FShaped)
        InvalidateArtworkShape();
}

void TCustomSkinnedControl::InvalidatePColorizedArtwork(int W)
{
    Validate(TWorkspaceItem::ColorizedArtwork, W & 1, false);
    InvalidateSkinBitmap();
}

void TCustomSkinnedControl::InvalidateSkinBitmap()
{
    Validate(TCacheItem::SkinBitmap, false);
    InvalidateFadingSkinBitmap();
}

void TCustomSkinnedControl::InvalidateFadingSkinBitmap()
{
    Validate(TCacheItem::FadingSkinBitmap, false);
    InvalidateClientBitmap();
}

void TCustomSkinnedControl::InvalidateClientBitmap()
{
    Validate(TCacheItem::ClientBitmap, false);
}
