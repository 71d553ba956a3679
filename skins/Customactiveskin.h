#pragma once
// Unit Customactiveskin: TCustomActiveSkin, a skinned control whose cell follows its state.
// The artwork grid has a column per look (normal; hover and pressed with mouse interaction;
// disabled with disabled artwork, always last) and a row per switch state (off; on with the
// state switch). Every change of state fades to the cell it calls for, over a duration that
// depends on what happened.
//
// Controls can form a group that looks and switches as one: the members make a ring through
// FNextInGroup (next) and FActiveSkinGroup (previous). A control in no group has both null;
// a group has at least two members; every walk starts where the event happened, follows the
// previous member and ends back at the start. Neither pointer owns anything.
//
// Customactiveskin.cpp holds the states and fades, CustomactiveskinGroups.cpp the ring.
#include "skins/Customskinnedcontrol.h"

// The column and row of the cell that fits a state (column 0 and row 0 where the grid has
// no better one).
struct TActiveCell
{
    int Column = 0;
    int Row = 0;
    bool operator==(const TActiveCell&) const = default;
};
struct TActiveState
{
    bool MouseInteraction = false;
    bool StateSwitch = false;
    bool DisabledArtwork = false;
    bool Enabled = true;
    bool SwitchedOn = false;
    bool InControl = false;
    bool Pressed = false;
    int Columns = 1;   // ThemeHorzCount
};
TActiveCell ActiveCellFor(const TActiveState& State);
// The grid the three switches call for: columns x rows.
TActiveCell ActiveGridFor(bool MouseInteraction, bool DisabledArtwork, bool StateSwitch);

class TCustomActiveSkin : public TCustomSkinnedControl
{
public:
    explicit TCustomActiveSkin(TComponent* AOwner);
    ~TCustomActiveSkin() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    // ---- Virtual operations, in the order of the class's design ----
    virtual void SetEnableStateSwitch(bool Value);
    virtual void SetEnableMouseInteraction(bool Value);
    virtual void SetEnableDisabledArtwork(bool Value);
    // Never raises OnStateChange: only a click does.
    virtual void SetSwitchedOn(bool Value);
    // The previous member of the ring, not necessarily the control that was assigned.
    virtual TCustomActiveSkin* GetActiveSkinGroup() const { return FActiveSkinGroup; }
    virtual void SetActiveSkinGroup(TCustomActiveSkin* Value);

    // ---- Overrides ----
    void SetEnabled(bool Value) override;
    void MouseEnterControl(TShiftState Shift, int X, int Y) override;
    void MouseExitControl(TShiftState Shift, int X, int Y) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Loaded() override;

    // Shows the cell that fits the control's state, fading over Interval milliseconds.
    void FadeInArtwork(int Interval, bool InControl, bool Pressed);
    // The grid from the three switches.
    void AutosetArtworkRange();
    // Joins Group's ring right after Group (leaving any ring the control was in first) and
    // takes the group's switch state at once.
    void AttachActiveSkinGroup(TCustomActiveSkin* Group);
    void DetachActiveSkinGroup();
    TCustomActiveSkin* NextInGroup() const { return FNextInGroup; }

    // ---- Plain properties ----
    bool GetEnableStateSwitch() const { return FEnableStateSwitch; }
    bool GetEnableMouseInteraction() const { return FEnableMouseInteraction; }
    bool GetEnableDisabledArtwork() const { return FEnableDisabledArtwork; }
    bool GetSwitchedOn() const { return FSwitchedOn; }
    int GetFadingOnEnabled() const { return FFadingOnEnabled; }
    void SetFadingOnEnabled(int Value) { FFadingOnEnabled = Value; }
    int GetFadingOnMouseEnter() const { return FFadingOnMouseEnter; }
    void SetFadingOnMouseEnter(int Value) { FFadingOnMouseEnter = Value; }
    int GetFadingOnMouseDown() const { return FFadingOnMouseDown; }
    void SetFadingOnMouseDown(int Value) { FFadingOnMouseDown = Value; }
    int GetFadingOnMouseUp() const { return FFadingOnMouseUp; }
    void SetFadingOnMouseUp(int Value) { FFadingOnMouseUp = Value; }
    int GetFadingOnStateChange() const { return FFadingOnStateChange; }
    void SetFadingOnStateChange(int Value) { FFadingOnStateChange = Value; }

    // Raised after a click has switched the control.
    TNotifyEvent OnStateChange;

protected:
    virtual void StateChange();
    // The cell that fits the control's state.
    TActiveCell CellFor(bool InControl, bool Pressed) const;
    // FadeInArtwork on every member (with mouse interaction only, when asked), each with its
    // own duration of the kind given and with this control's mouse state.
    void FadeGroup(int TCustomActiveSkin::*Duration, bool InteractiveOnly);
    // The same with the mouse state known to the caller.
    void FadeGroup(int TCustomActiveSkin::*Duration, bool InteractiveOnly, bool InControl);
    // Calls Action on every member of the control's group, this control first.
    template <class F>
    void ForEachInGroup(F Action);

    bool FEnableStateSwitch = false;
    bool FEnableMouseInteraction = false;
    bool FEnableDisabledArtwork = false;
    int FFadingOnEnabled = 500;
    int FFadingOnMouseEnter = 500;
    int FFadingOnMouseDown = 125;
    int FFadingOnMouseUp = 250;
    int FFadingOnStateChange = 250;
    bool FSwitchedOn = false;
    TCustomActiveSkin* FNextInGroup = nullptr;
    TCustomActiveSkin* FActiveSkinGroup = nullptr;
};

template <class F>
void TCustomActiveSkin::ForEachInGroup(F Action)
{
    TCustomActiveSkin* member = this;
    do {
        // Read before the action, which may not change the ring but may run handlers.
        TCustomActiveSkin* previous = member->GetActiveSkinGroup();
        Action(member);
        member = previous;
    } while (member && member != this);
}
