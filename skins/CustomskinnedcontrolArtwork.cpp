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
    FColorSet->OnChange = [this](TObject* Sender) { FColorSetOnChange(Sender); };
}

void TCustomSkinnedControl::AttachFArtworkSetChngEvent()
{
    FArtworkSet->OnChange = [this](TObject* Sender) { FArtworkSetOnChange(Sender); };
}

void TCustomSkinnedControl::AttachFArtworkChngEvent(int W)
{
    if (W == FNewWorkspace)
        FPArtwork[W]->OnChange = [this](TObject* Sender) { NewFArtworkOnChange(Sender); };
    else
        FPArtwork[W]->OnChange = [this](TObject* Sender) { OldFArtworkOnChange(Sender); };
}

void TCustomSkinnedControl::SwitchWorkspaces()
{
    FOldWorkspace = FNewWorkspace;
    FNewWorkspace = FOldWorkspace == 0 ? 1 : 0;
    AttachFArtworkChngEvent(FOldWorkspace);
    AttachFArtworkChngEvent(FNewWorkspace);
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
    if (!GetAllowArtworkChangeEvent(FNewWorkspace))
        return;
    // The shown artwork was changed from outside: it is the single artwork from now on.
    DefaultBitmap(FArtworkSet);
    FArtworkSetPresent = false;
    InvalidatePArtwork(FNewWorkspace);
}

void TCustomSkinnedControl::OldFArtworkOnChange(TObject*)
{
    if (GetAllowArtworkChangeEvent(FOldWorkspace))
        InvalidatePArtwork(FOldWorkspace);
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
    if (!FColorSetValid)
        UpdateColorSet();
    return FColorSet.get();
}

void TCustomSkinnedControl::SetColorSet(TBitmap* Value)
{
    AssignOwnedBitmap(FColorSet, Value);
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
    if (!FArtworkSetValid)
        UpdateArtworkSet();
    return FArtworkSet.get();
}

void TCustomSkinnedControl::SetArtworkSet(TBitmap* Value)
{
    AssignOwnedBitmap(FArtworkSet, Value);
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
        InvalidatePArtwork(FNewWorkspace);
        return;
    }
    // The cell shown becomes the single artwork.
    if (!FPArtworkValid[FNewWorkspace])
        UpdatePArtwork(FNewWorkspace);
    DefaultBitmap(FArtworkSet);
    FArtworkSetPresent = false;
}

TBitmap* TCustomSkinnedControl::GetArtwork()
{
    return GetPArtwork(FNewWorkspace);
}

void TCustomSkinnedControl::SetArtwork(TBitmap* Value)
{
    SetPArtwork(FNewWorkspace, Value);
}

bool TCustomSkinnedControl::StoreArtwork()
{
    return !FArtworkSetPresent;
}

void TCustomSkinnedControl::SetPArtwork(int W, TBitmap* Value)
{
    AssignOwnedBitmap(FPArtwork[W & 1], Value);
}

TBitmap* TCustomSkinnedControl::GetStretchedArtwork()
{
    return GetPStretchedArtwork(FNewWorkspace);
}

TBitmap* TCustomSkinnedControl::GetArtworkMux()
{
    return GetPArtworkMux(FNewWorkspace);
}

TBitmap* TCustomSkinnedControl::GetColorizedArtwork()
{
    return GetPColorizedArtwork(FNewWorkspace);
}

// ---- Getters of the chain ----

TColor TCustomSkinnedControl::GetPColor(int W)
{
    W &= 1;
    if (!FPColorValid[W])
        UpdatePColor(W);
    return FPColor[W];
}

void TCustomSkinnedControl::SetPColor(int W, TColor Color)
{
    FPColor[W & 1] = Color;
}

TBitmap* TCustomSkinnedControl::GetPArtwork(int W)
{
    W &= 1;
    if (!FPArtworkValid[W])
        UpdatePArtwork(W);
    return FPArtwork[W].get();
}

TBitmap* TCustomSkinnedControl::GetPStretchedArtwork(int W)
{
    W &= 1;
    if (!FPStretchedArtworkValid[W])
        UpdatePStretchedArtwork(W);
    return FPStretchedArtwork[W].get();
}

TBitmap* TCustomSkinnedControl::GetPArtworkMux(int W)
{
    W &= 1;
    TBitmap* result = FStretched ? GetPStretchedArtwork(W) : GetPArtwork(W);
    if (result)
        FPArtworkMuxValid[W] = true;
    return result;
}

TBitmap* TCustomSkinnedControl::GetPColorizedArtwork(int W)
{
    W &= 1;
    if (!FPColorizedArtworkValid[W])
        UpdatePColorizedArtwork(W);
    return FPColorizedArtwork[W].get();
}

TBitmap* TCustomSkinnedControl::GetSkinBitmap()
{
    TBitmap* result = FColorized ? GetColorizedArtwork() : GetArtworkMux();
    if (result)
        FSkinBitmapValid = true;
    return result;
}

// ---- Updates ----

TCellSize TCustomSkinnedControl::SetCellSize(TBitmap* Set) const
{
    return ThemeCellSize(Set->GetWidth(), Set->GetHeight(), FThemeHorzCount, FThemeVertCount);
}

void TCustomSkinnedControl::UpdateColorSet()
{
    FColorSetValid = true;
    FixBitmap(FColorSet.get());
}

void TCustomSkinnedControl::UpdateArtworkSet()
{
    FArtworkSetValid = true;
    FixBitmap(FArtworkSet.get());
}

void TCustomSkinnedControl::UpdateArtworkMap()
{
    if (GetArtworkSet())
        FArtworkMapValid = true;
}

void TCustomSkinnedControl::UpdatePColor(int W)
{
    W &= 1;
    FPColorValid[W] = true;
    if (W == FNewWorkspace) {
        if (FColorSetPresent)
            FPColor[W] = GetColorMap(FThemeHorzIndex, FThemeVertIndex);
    } else {
        FPColor[W] = FPColor[FNewWorkspace];
    }
}

void TCustomSkinnedControl::UpdatePArtwork(int W)
{
    W &= 1;
    TBitmap* artwork = FPArtwork[W].get();
    FPArtworkValid[W] = true;
    FixBitmap(artwork);
    if (W == FOldWorkspace) {
        AssignBitmap(FPArtwork[FNewWorkspace].get(), artwork, false);
        return;
    }
    if (!FArtworkSetPresent)
        return;   // the single artwork is the artwork itself
    TBitmap* set = GetArtworkSet();
    const TCellSize cell = SetCellSize(set);
    const int w = FNewWorkspace;
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
    FPStretchedArtworkValid[W] = true;
    StretchBitmap(artwork, FPStretchedArtwork[W].get(), GetWidth(), GetHeight(), 0);
}

void TCustomSkinnedControl::UpdatePColorizedArtwork(int W)
{
    W &= 1;
    TBitmap* source = GetPArtworkMux(W);
    if (!FPColorizedArtwork[W] || !source)
        return;
    FPColorizedArtworkValid[W] = true;
    ColorizeBitmap(source, FPColorizedArtwork[W].get(), GetPColor(W));
}

// ---- Invalidation ----

void TCustomSkinnedControl::InvalidateColorSet()
{
    FColorSetValid = false;
    InvalidatePColor(FNewWorkspace);
}

void TCustomSkinnedControl::InvalidateColorMap()
{
    FColorMapValid = false;
}

void TCustomSkinnedControl::InvalidateArtworkSet()
{
    FArtworkSetValid = false;
    InvalidatePArtwork(FNewWorkspace);
}

void TCustomSkinnedControl::InvalidateArtworkMap()
{
    FArtworkMapValid = false;
}

void TCustomSkinnedControl::InvalidatePColor(int W)
{
    W &= 1;
    FPColorValid[W] = false;
    InvalidatePColorizedArtwork(W);
}

void TCustomSkinnedControl::RecomputeStretched(int Width, int Height)
{
    // The raw set: its size is all that counts here.
    const TCellSize cell = FArtworkSetPresent
                               ? SetCellSize(FArtworkSet.get())
                               : TCellSize{FPArtwork[FNewWorkspace]->GetWidth(), FPArtwork[FNewWorkspace]->GetHeight()};
    FStretched = NeedsStretch(cell, Width, Height);
}

void TCustomSkinnedControl::InvalidatePArtwork(int W)
{
    W &= 1;
    FPArtworkValid[W] = false;
    if (W == FNewWorkspace) {
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
    FPStretchedArtworkValid[W] = false;
    InvalidatePArtworkMux(W);
}

void TCustomSkinnedControl::InvalidatePArtworkMux(int W)
{
    W &= 1;
    FPArtworkMuxValid[W] = false;
    InvalidatePColorizedArtwork(W);
    if (W == FNewWorkspace && FShaped)
        InvalidateArtworkShape();
}

void TCustomSkinnedControl::InvalidatePColorizedArtwork(int W)
{
    FPColorizedArtworkValid[W & 1] = false;
    InvalidateSkinBitmap();
}

void TCustomSkinnedControl::InvalidateSkinBitmap()
{
    FSkinBitmapValid = false;
    InvalidateFadingSkinBitmap();
}

void TCustomSkinnedControl::InvalidateFadingSkinBitmap()
{
    FFadingSkinBitmapValid = false;
    InvalidateClientBitmap();
}

void TCustomSkinnedControl::InvalidateClientBitmap()
{
    FClientBitmapValid = false;
}
