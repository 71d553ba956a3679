#include "skins/Customskinnedcontrol.h"

#include <algorithm>

#include "platform/Clock.h"
#include "skins/Bitmaps.h"
#include "skins/CellCopy.h"
#include "skins/ScopedPermission.h"

// TCustomSkinnedControl: cross-fades between the two workspaces, driven by the control's
// frame timer; each frame's mix follows the time elapsed on the monotonic clock, so late or
// dropped ticks shorten the number of frames, never the duration.

namespace {

// Set while no fade frame runs, program-wide: a frame entered again from inside another
// (message processing during painting) returns without work.
bool frameGuard = true;

int64_t nowMs()
{
    return currentClock().monotonicMs();
}

}  // namespace

bool TCustomSkinnedControl::FrameGuardSet()
{
    return frameGuard;
}

bool TCustomSkinnedControl::GetAllowFading()
{
    return FFade.Enabled() && FLocks.Allowed(TPermission::Fading) && !(FColorized && !FArtworked) && FFade.Interval() > 0 &&
           !Designing();
}

void TCustomSkinnedControl::SetEnableFading(bool Value)
{
    FFade.SetEnabled(Value);
}

void TCustomSkinnedControl::SetFadingInterval(int Value)
{
    FFade.SetInterval(Value);
}

int TCustomSkinnedControl::GetFadingFrameRate() const
{
    return int(1000 / std::max(FFadingFrameTimer->GetInterval(), 1u));
}

void TCustomSkinnedControl::SetFadingFrameRate(int Value)
{
    FFadingFrameTimer->SetInterval(FrameIntervalForRate(Value));
}

bool TCustomSkinnedControl::GetFadingInProgress() const
{
    return FFadingFrameTimer->GetEnabled();
}

void TCustomSkinnedControl::StartFading(bool FadeColor, bool FadeArtwork)
{
    if (!FadeColor)
        SetPColor(FWorkspaces.New(), FNewColor);
    else
        // The old end is the colour shown so far, not one derived again from the new end.
        Validate(TWorkspaceItem::Color, FWorkspaces.Old(), true);
    if (!FadeArtwork) {
        // The picture stays as it is during a colour fade.
        AssignBitmap(FPArtworkStore[FWorkspaces.Old()].get(), FPArtworkStore[FWorkspaces.New()].get(), false);
        TScopedPermission keepShape([this](bool v) { SetAllowShapeUpdating(v); });
        InvalidatePStretchedArtwork(FWorkspaces.New());
    }
    // Until the first frame the screen shows the old end.
    FFade.Start(nowMs(), FadeColor, FadeArtwork);
    FFadingFrameTimer->SetEnabled(true);
}

void TCustomSkinnedControl::FadingFrameTimerOnTimer(TObject*)
{
    if (!frameGuard)
        return;
    frameGuard = false;
    struct Restore
    {
        ~Restore() { frameGuard = true; }
    } restore;

    const TFadeStep step = FFade.Frame(nowMs());
    InvalidateFadingSkinBitmap();
    const TColor oldColor = GetPColor(FWorkspaces.Old()), newColor = GetPColor(FWorkspaces.New());
    if (newColor != oldColor)
        TCustomControl::SetColor(MixColors(oldColor, newColor, FFade.OldWeight(), FFade.NewWeight()));
    else
        TCustomControl::Paint();
    if (GetParent() && FArtworked)
        UpdateClientBitmap();
    if (step.Finished) {
        FFadingFrameTimer->SetEnabled(false);
        FFade.End();
        FNewColor = GetColor();
    }
}

bool TCustomSkinnedControl::FadeAtItsStart() const
{
    if (!GetFadingInProgress() || !FFade.FadesArtwork() || FFade.FadesColor())
        return false;
    const TBitmap* from = FPArtworkStore[FWorkspaces.Old()].get();
    const TBitmap* to = FPArtworkStore[FWorkspaces.New()].get();
    return FFade.OldWeight() == 1.0 && FFade.NewWeight() == 0.0 && from->GetWidth() == to->GetWidth() &&
           from->GetHeight() == to->GetHeight();
}

TBitmap* TCustomSkinnedControl::GetFadingSkinBitmap()
{
    if (!Valid(TCacheItem::FadingSkinBitmap))
        UpdateFadingSkinBitmap();
    return FFadingSkinBitmap.get();
}

void TCustomSkinnedControl::UpdateFadingSkinBitmap()
{
    if (!FFadingSkinBitmap)
        return;
    TBitmap* from = FColorized ? GetPColorizedArtwork(FWorkspaces.Old()) : GetPArtworkMux(FWorkspaces.Old());
    TBitmap* to = FColorized ? GetPColorizedArtwork(FWorkspaces.New()) : GetPArtworkMux(FWorkspaces.New());
    if (!from || !to)
        return;
    Validate(TCacheItem::FadingSkinBitmap, true);
    if (!FColorized && !FFade.FadesArtwork()) {
        // A colour fade of an untinted picture: both ends are the same picture, and a blend
        // of it with itself would lose a level wherever the weights' sum falls short of 1.
        AssignBitmap(to, FFadingSkinBitmap.get(), false);
        return;
    }
    BlendBitmaps(from, to, FFadingSkinBitmap.get(), FFade.OldWeight(), FFade.NewWeight());
}

void TCustomSkinnedControl::StopFading()
{
    FFadingFrameTimer->SetEnabled(false);
    {
        const int w = FWorkspaces.New();
        TScopedPermission quiet([this, w](bool v) { SetAllowArtworkChangeEvent(w, v); });
        // What was reached becomes the new end, and after the exchange the next fade's start.
        if (FFade.FadesColor())
            SetPColor(w, MixColors(GetPColor(FWorkspaces.Old()), GetPColor(w), FFade.OldWeight(), FFade.NewWeight()));
        if (FFade.FadesArtwork()) {
            TBitmap* from = FPArtworkStore[FWorkspaces.Old()].get();
            TBitmap* to = FPArtworkStore[w].get();
            const bool sameSize = from->GetWidth() == to->GetWidth() && from->GetHeight() == to->GetHeight();
            // A fade stopped before its first frame (the mouse moves faster than frames come)
            // reached the old picture exactly, and one at its end the new: a copy, or nothing,
            // gives what the blend would.
            if (sameSize && FFade.OldWeight() == 1.0 && FFade.NewWeight() == 0.0)
                CopyCell(to, from, TRect(0, 0, from->GetWidth(), from->GetHeight()));
            else if (!(sameSize && FFade.OldWeight() == 0.0 && FFade.NewWeight() == 1.0))
                BlendBitmaps(from, to, to, FFade.OldWeight(), FFade.NewWeight());
        }
        {
            TScopedPermission keepShape([this](bool v) { SetAllowShapeUpdating(v); });
            InvalidatePStretchedArtwork(w);
        }
        FFade.End();
    }
    SwitchWorkspaces();
}
