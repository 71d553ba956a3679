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
    return FEnableFading && FAllowFadingLock == 0 && !(FColorized && !FArtworked) && FFadingInterval > 0 &&
           !Designing();
}

void TCustomSkinnedControl::SetEnableFading(bool Value)
{
    FEnableFading = Value;
}

void TCustomSkinnedControl::SetFadingInterval(int Value)
{
    FFadingInterval = Value;
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
    FFadeColor = FadeColor;
    FFadeArtwork = FadeArtwork;
    if (!FadeColor)
        SetPColor(FNewWorkspace, FNewColor);
    else
        // The old end is the colour shown so far, not one derived again from the new end.
        FPColorValid[FOldWorkspace] = true;
    if (!FadeArtwork) {
        // The picture stays as it is during a colour fade.
        AssignBitmap(FPArtwork[FOldWorkspace].get(), FPArtwork[FNewWorkspace].get(), false);
        TScopedPermission keepShape([this](bool v) { SetAllowShapeUpdating(v); });
        InvalidatePStretchedArtwork(FNewWorkspace);
    }
    // Until the first frame the screen shows the old end.
    FOldWeight = 1.0;
    FNewWeight = 0.0;
    FFadingStartTime = nowMs();
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

    FFadingCurrentTime = nowMs();
    FFadingElapsed = FFadingCurrentTime - FFadingStartTime;
    const TFadeStep step = FadeStepAt(FFadingElapsed, FFadingInterval);
    FNewWeight = step.NewWeight;
    FOldWeight = step.OldWeight;
    InvalidateFadingSkinBitmap();
    const TColor oldColor = GetPColor(FOldWorkspace), newColor = GetPColor(FNewWorkspace);
    if (newColor != oldColor)
        TCustomControl::SetColor(MixColors(oldColor, newColor, FOldWeight, FNewWeight));
    else
        TCustomControl::Paint();
    if (GetParent() && FArtworked)
        UpdateClientBitmap();
    if (step.Finished) {
        FFadingFrameTimer->SetEnabled(false);
        FFadeColor = FFadeArtwork = false;
        FNewColor = GetColor();
    }
}

TBitmap* TCustomSkinnedControl::GetFadingSkinBitmap()
{
    if (!FFadingSkinBitmapValid)
        UpdateFadingSkinBitmap();
    return FFadingSkinBitmap.get();
}

void TCustomSkinnedControl::UpdateFadingSkinBitmap()
{
    if (!FFadingSkinBitmap)
        return;
    TBitmap* from = FColorized ? GetPColorizedArtwork(FOldWorkspace) : GetPArtworkMux(FOldWorkspace);
    TBitmap* to = FColorized ? GetPColorizedArtwork(FNewWorkspace) : GetPArtworkMux(FNewWorkspace);
    if (!from || !to)
        return;
    FFadingSkinBitmapValid = true;
    if (!FColorized && !FFadeArtwork) {
        // A colour fade of an untinted picture: both ends are the same picture, and a blend
        // of it with itself would lose a level wherever the weights' sum falls short of 1.
        AssignBitmap(to, FFadingSkinBitmap.get(), false);
        return;
    }
    BlendBitmaps(from, to, FFadingSkinBitmap.get(), FOldWeight, FNewWeight);
}

void TCustomSkinnedControl::StopFading()
{
    FFadingFrameTimer->SetEnabled(false);
    {
        const int w = FNewWorkspace;
        TScopedPermission quiet([this, w](bool v) { SetAllowArtworkChangeEvent(w, v); });
        // What was reached becomes the new end, and after the exchange the next fade's start.
        if (FFadeColor)
            SetPColor(w, MixColors(GetPColor(FOldWorkspace), GetPColor(w), FOldWeight, FNewWeight));
        if (FFadeArtwork) {
            TBitmap* from = FPArtwork[FOldWorkspace].get();
            TBitmap* to = FPArtwork[w].get();
            const bool sameSize = from->GetWidth() == to->GetWidth() && from->GetHeight() == to->GetHeight();
            // A fade stopped before its first frame (the mouse moves faster than frames come)
            // reached the old picture exactly, and one at its end the new: a copy, or nothing,
            // gives what the blend would.
            if (sameSize && FOldWeight == 1.0 && FNewWeight == 0.0)
                CopyCell(to, from, TRect(0, 0, from->GetWidth(), from->GetHeight()));
            else if (!(sameSize && FOldWeight == 0.0 && FNewWeight == 1.0))
                BlendBitmaps(from, to, to, FOldWeight, FNewWeight);
        }
        {
            TScopedPermission keepShape([this](bool v) { SetAllowShapeUpdating(v); });
            InvalidatePStretchedArtwork(w);
        }
        FFadeColor = FFadeArtwork = false;
    }
    SwitchWorkspaces();
}
