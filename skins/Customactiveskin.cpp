#include "skins/Customactiveskin.h"

#include "skins/ScopedPermission.h"

// TCustomActiveSkin: which cell a state calls for, and the fades that each change of state
// starts. Groups are in CustomactiveskinGroups.cpp.

TActiveCell ActiveCellFor(const TActiveState& S)
{
    TActiveCell cell;
    cell.Row = S.StateSwitch && S.SwitchedOn ? 1 : 0;
    if (!S.Enabled)
        cell.Column = S.DisabledArtwork ? S.Columns - 1 : 0;
    else if (S.MouseInteraction && S.InControl)
        cell.Column = S.Pressed ? 2 : 1;
    return cell;
}

TActiveCell ActiveGridFor(bool MouseInteraction, bool DisabledArtwork, bool StateSwitch)
{
    return TActiveCell{1 + (MouseInteraction ? 2 : 0) + (DisabledArtwork ? 1 : 0), StateSwitch ? 2 : 1};
}

TClass TCustomActiveSkin::StaticClass()
{
    // The abstract base publishes nothing; each component chooses what it stores.
    static const TClass Class = TPublished<TCustomActiveSkin, TCustomSkinnedControl>("TCustomActiveSkin");
    return Class;
}

TCustomActiveSkin::TCustomActiveSkin(TComponent* AOwner) : TCustomSkinnedControl(AOwner)
{
    FEnableStateSwitch = FEnableMouseInteraction = FEnableDisabledArtwork = false;
    FFadingOnEnabled = 500;
    FFadingOnMouseEnter = 500;
    FFadingOnMouseDown = 125;
    FFadingOnMouseUp = 250;
    FFadingOnStateChange = 250;
    FSwitchedOn = false;
    FNextInGroup = FActiveSkinGroup = nullptr;
    SetThemeRange(1, 1);
    SetArtworkSetPresent(true);
}

TCustomActiveSkin::~TCustomActiveSkin()
{
    // No member may keep pointing at a freed control.
    SetActiveSkinGroup(nullptr);
}

// ---- Switches and grid ----

void TCustomActiveSkin::SetEnableStateSwitch(bool Value)
{
    if (Value == FEnableStateSwitch)
        return;
    FEnableStateSwitch = Value;
    AutosetArtworkRange();
}

void TCustomActiveSkin::SetEnableMouseInteraction(bool Value)
{
    if (Value == FEnableMouseInteraction)
        return;
    FEnableMouseInteraction = Value;
    AutosetArtworkRange();
}

void TCustomActiveSkin::SetEnableDisabledArtwork(bool Value)
{
    if (Value == FEnableDisabledArtwork)
        return;
    FEnableDisabledArtwork = Value;
    AutosetArtworkRange();
}

void TCustomActiveSkin::AutosetArtworkRange()
{
    const TActiveCell grid = ActiveGridFor(FEnableMouseInteraction, FEnableDisabledArtwork, FEnableStateSwitch);
    if (Loading()) {
        // A stored artwork set is already laid out for the stored grid: divide it anew
        // rather than widen it, or a set with a disabled column would not read back intact.
        SetThemeHorzCount(grid.Column);
        SetThemeVertCount(grid.Row);
        return;
    }
    SetThemeRange(grid.Column, grid.Row);
}

TActiveCell TCustomActiveSkin::CellFor(bool InControl, bool Pressed) const
{
    TActiveState state;
    state.MouseInteraction = FEnableMouseInteraction;
    state.StateSwitch = FEnableStateSwitch;
    state.DisabledArtwork = FEnableDisabledArtwork;
    state.Enabled = GetEnabled();
    state.SwitchedOn = FSwitchedOn;
    state.InControl = InControl;
    state.Pressed = Pressed;
    state.Columns = GetThemeHorzCount();
    return ActiveCellFor(state);
}

void TCustomActiveSkin::FadeInArtwork(int Interval, bool InControl, bool Pressed)
{
    SetFadingInterval(Interval);
    const TActiveCell cell = CellFor(InControl, Pressed);
    // A state that a layout stores (disabled, switched on) is shown at once: the window opens
    // as stored instead of fading into it while it appears.
    if (Loading()) {
        TScopedPermission still([this](bool v) { SetAllowFading(v); });
        SetArtworkIndexes(cell.Column, cell.Row);
        return;
    }
    // The cell already shown, or one outside the grid, changes nothing.
    SetArtworkIndexes(cell.Column, cell.Row);
}

void TCustomActiveSkin::Loaded()
{
    TCustomSkinnedControl::Loaded();
    // The stored state (disabled, switched on) may call for another cell than the one shown
    // while the properties arrived; show it at once.
    const bool inControl = GetMouseInControl();
    const TActiveCell cell = CellFor(inControl, GetMouseButtonHeld());
    if (cell.Column != GetThemeHorzIndex() || cell.Row != GetThemeVertIndex())
        FadeInArtwork(0, inControl, GetMouseButtonHeld());
}

// ---- State changes ----

void TCustomActiveSkin::SetEnabled(bool Value)
{
    if (Value == GetEnabled())
        return;
    TCustomSkinnedControl::SetEnabled(Value);
    if (FEnableDisabledArtwork)
        FadeInArtwork(FFadingOnEnabled, GetMouseInControl(), GetMouseButtonHeld());
}

void TCustomActiveSkin::SetSwitchedOn(bool Value)
{
    if (Value == FSwitchedOn)
        return;
    FSwitchedOn = Value;
    const bool inControl = GetMouseInControl(), pressed = GetMouseButtonHeld();
    ForEachInGroup([&](TCustomActiveSkin* Member) {
        if (!Member->FEnableStateSwitch)
            return;
        Member->FSwitchedOn = Value;
        Member->FadeInArtwork(Member->FFadingOnStateChange, inControl, pressed);
    });
}

void TCustomActiveSkin::StateChange()
{
    if (OnStateChange)
        OnStateChange(this);
}

void TCustomActiveSkin::FadeGroup(int TCustomActiveSkin::*Duration, bool InteractiveOnly)
{
    FadeGroup(Duration, InteractiveOnly, GetMouseInControl());
}

void TCustomActiveSkin::FadeGroup(int TCustomActiveSkin::*Duration, bool InteractiveOnly, bool InControl)
{
    // The state is the initiator's, for every member.
    const bool inControl = InControl, pressed = GetMouseButtonHeld();
    ForEachInGroup([&](TCustomActiveSkin* Member) {
        if (!InteractiveOnly || Member->FEnableMouseInteraction)
            Member->FadeInArtwork(Member->*Duration, inControl, pressed);
    });
}

void TCustomActiveSkin::MouseEnterControl(TShiftState Shift, int X, int Y)
{
    TCustomSkinnedControl::MouseEnterControl(Shift, X, Y);
    // The pointer was just found over the control; only a handler of the entry could have
    // moved it away since.
    if (FEnableMouseInteraction)
        FadeGroup(&TCustomActiveSkin::FFadingOnMouseEnter, true, OnMouseEnterControl ? GetMouseInControl() : true);
}

void TCustomActiveSkin::MouseExitControl(TShiftState Shift, int X, int Y)
{
    TCustomSkinnedControl::MouseExitControl(Shift, X, Y);
    // While the button is held the pressed cell stays until the release.
    if (FEnableMouseInteraction && !GetMouseButtonHeld())
        FadeGroup(&TCustomActiveSkin::FFadingOnMouseEnter, true);
}

void TCustomActiveSkin::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomSkinnedControl::MouseDown(Button, Shift, X, Y);
    if (FEnableMouseInteraction)
        FadeGroup(&TCustomActiveSkin::FFadingOnMouseDown, true);
}

void TCustomActiveSkin::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    // The core marks a press released away as cancelled before this runs.
    TCustomSkinnedControl::MouseUp(Button, Shift, X, Y);
    if (!FEnableMouseInteraction)
        return;
    if (FEnableStateSwitch && !GetPressCancelled()) {
        SetSwitchedOn(!FSwitchedOn);
        StateChange();
        return;
    }
    FadeGroup(&TCustomActiveSkin::FFadingOnMouseUp, false);
}
