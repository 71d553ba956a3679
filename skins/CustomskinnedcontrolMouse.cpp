#include "skins/Customskinnedcontrol.h"

// TCustomSkinnedControl: where the mouse is, its capture, the mouse messages and dragging.
// Enter and leave are decided by the window under the pointer, so they follow the control's
// visible shape. While a mouse message is handled the pointer is where the message says
// (asking the display would cost a round trip per question); whether it is over the window
// is still decided anew after every handler that may have run, since a handler may move
// the window.

namespace {

bool anyButton(TShiftState Shift)
{
    return Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle);
}

}  // namespace

TPoint TCustomSkinnedControl::PointerOnScreen()
{
    TPoint screen;
    if (TPointerFromMessage::Current(screen))
        return screen;
    POINT cursor{};
    GetCursorPos(&cursor);
    return TPoint(cursor.x, cursor.y);
}

TPoint TCustomSkinnedControl::GetMousePosition()
{
    const TPoint cursor = PointerOnScreen();
    const TPoint origin = GetClientOrigin();
    return TPoint(cursor.X - origin.X, cursor.Y - origin.Y);
}

bool TCustomSkinnedControl::GetMouseInControl()
{
    return PointerOverWindow();
}

bool TCustomSkinnedControl::PointerOverWindow()
{
    if (!HandleAllocated())
        return false;
    const TPoint p = PointerOnScreen();
    // Window regions are honoured: a cut-away corner finds the window behind it. The window
    // layer remembers the answer for the point the move was routed by, so asking is cheap.
    return WindowFromPoint(POINT{p.X, p.Y}) == FHandle;
}

bool TCustomSkinnedControl::GetMouseIsCaptured()
{
    return GetCaptureControl() == this;
}

void TCustomSkinnedControl::SetMouseIsCaptured(bool Value)
{
    if (Value == GetMouseIsCaptured())
        return;
    if (Value)
        SetCaptureControl(this);
    else
        ReleaseCapture();
}

// ---- Mouse messages ----

void TCustomSkinnedControl::MouseMove(TShiftState Shift, int X, int Y)
{
    TPointerFromMessage pointer(ClientToScreen(TPoint(X, Y)));
    // Captured on entering: the framework sends moves outside a window only to the capturing
    // control, and without them the exit would never be seen. Taking the capture runs no
    // handler of ours, so one look at the cursor serves both decisions.
    const bool inControl = GetMouseInControl();
    if (inControl && !GetMouseIsCaptured())
        SetMouseIsCaptured(true);
    if (!FPointer.WasInControl() && inControl) {
        MouseEnterControl(Shift, X, Y);
        // Entered: should a handler have moved the control away, the exit below pairs it
        // and gives the capture up.
        FPointer.SetWasInControl(true);
    }
    TCustomControl::MouseMove(Shift, X, Y);
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
    if (FPointer.Dragging() && !anyButton(Shift)) {
        // The release never arrived (the capture was taken away during the drag): the
        // press is over, and hovering must not drag the control along.
        FPointer.Release(false);
        SetDragging(false);
    }
    if (FPointer.Dragging()) {
        // The grabbed point stays under the cursor.
        const TPoint target = FPointer.DragTarget(TPoint(X, Y), TPoint(GetLeft(), GetTop()));
        int newLeft = target.X, newTop = target.Y;
        DragTo(Shift, newLeft, newTop);
    }
    bool inNow = GetMouseInControl();
    if (FPointer.WasInControl() && !inNow) {
        MouseExitControl(Shift, X, Y);
        if (!FPointer.Dragging() && !FPointer.ButtonHeld())
            SetMouseIsCaptured(false);
        inNow = GetMouseInControl();
    }
    FPointer.SetWasInControl(inNow);
}

void TCustomSkinnedControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TPointerFromMessage pointer(ClientToScreen(TPoint(X, Y)));
    if (!FPointer.WasInControl() && GetMouseInControl()) {
        // The move that brought the cursor here went to the control that held the capture
        // then: the press is the first this control hears of it. Entering now keeps the
        // entry and exit paired, so the capture that the release keeps is given up again.
        MouseEnterControl(Shift, X, Y);
        FPointer.SetWasInControl(true);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
    FPointer.Press(TPoint(X, Y));
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
    if (FPointer.Dragable())
        SetDragging(true);
}

void TCustomSkinnedControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TPointerFromMessage pointer(ClientToScreen(TPoint(X, Y)));
    FPointer.Release(false);
    if (FPointer.Dragging())
        SetDragging(false);
    // The capture stays only while the cursor is over the control.
    SetMouseIsCaptured(GetMouseInControl());
    if (!GetMouseInControl()) {
        // Released away (also at the end of a drag that left the cursor elsewhere): the
        // press is cancelled before anyone hears of the release.
        FPointer.Release(true);
        MouseCancelled();
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TCustomSkinnedControl::EnabledChanged()
{
    TCustomControl::EnabledChanged();
    if (GetEnabled())
        return;
    // Disabling the window took its capture away, and no move or release will reach it
    // now: forget the press and the hover, or the control would come back held, dragging,
    // or without seeing the next entry.
    FPointer.Forget();
    SetDragging(false);
}

// ---- Dragging ----

void TCustomSkinnedControl::SetDragable(bool Value)
{
    if (Value == FPointer.Dragable())
        return;
    FPointer.SetDragable(Value);
    SetCursor(Value ? crHandPoint : crDefault);
}

void TCustomSkinnedControl::SetDragging(bool Value)
{
    if (Value == FPointer.Dragging())
        return;
    FPointer.SetDragging(Value);
    SetBeingDragged(Value);
}

void TCustomSkinnedControl::SetBeingDragged(bool Value)
{
    if (Value == FPointer.BeingDragged())
        return;
    if (FPointer.DragParent()) {
        // The drag state moves up to the control that really moves.
        if (TCustomSkinnedControl* parent = SkinnedParent())
            parent->SetBeingDragged(FPointer.Dragging());
        return;
    }
    FPointer.SetBeingDragged(Value);
}

void TCustomSkinnedControl::MouseEnterControl(TShiftState Shift, int X, int Y)
{
    if (OnMouseEnterControl)
        OnMouseEnterControl(this, Shift, X, Y);
}

void TCustomSkinnedControl::MouseExitControl(TShiftState Shift, int X, int Y)
{
    if (OnMouseExitControl)
        OnMouseExitControl(this, Shift, X, Y);
}

void TCustomSkinnedControl::MouseCancelled()
{
    if (OnMouseCancelled)
        OnMouseCancelled(this);
}

void TCustomSkinnedControl::DragTo(TShiftState Shift, int& NewLeft, int& NewTop)
{
    TWinControl* parent = GetParent();
    if (FPointer.DragParent()) {
        if (!parent)
            return;
        // The parent moves by the offset this control would have moved.
        NewLeft = parent->GetLeft() + (NewLeft - GetLeft());
        NewTop = parent->GetTop() + (NewTop - GetTop());
        if (TCustomSkinnedControl* skinned = SkinnedParent())
            skinned->DragTo(Shift, NewLeft, NewTop);
        else
            parent->SetBounds(NewLeft, NewTop, parent->GetWidth(), parent->GetHeight());
        return;
    }
    if (OnDragTo)
        OnDragTo(this, Shift, NewLeft, NewTop);
    SetBounds(NewLeft, NewTop, GetWidth(), GetHeight());
}
