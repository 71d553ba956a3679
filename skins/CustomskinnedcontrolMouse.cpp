#include "skins/Customskinnedcontrol.h"

// TCustomSkinnedControl: where the mouse is, its capture, the mouse messages and dragging.
// Enter and leave are decided by the window under the cursor, so they follow the control's
// visible shape. The cursor is read anew after every handler that may have run, never
// remembered from one move to the next.

namespace {

bool anyButton(TShiftState Shift)
{
    return Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle);
}

}  // namespace

TPoint TCustomSkinnedControl::GetMousePosition()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    const TPoint origin = GetClientOrigin();
    return TPoint(cursor.x - origin.X, cursor.y - origin.Y);
}

bool TCustomSkinnedControl::GetMouseInControl()
{
    if (!HandleAllocated())
        return false;
    // The client origin plus the position in client coordinates is the cursor itself.
    // Window regions are honoured: a cut-away corner finds the window behind it.
    POINT cursor{};
    GetCursorPos(&cursor);
    // Outside the window's rectangle no window-tree search can find it: most queries of a
    // move are about a control the cursor has just left.
    RECT rect;
    if (!GetWindowRect(FHandle, &rect) || cursor.x < rect.left || cursor.y < rect.top || cursor.x >= rect.right ||
        cursor.y >= rect.bottom)
        return false;
    return WindowFromPoint(cursor) == FHandle;
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
    // Captured on entering: the framework sends moves outside a window only to the capturing
    // control, and without them the exit would never be seen. Taking the capture runs no
    // handler of ours, so one look at the cursor serves both decisions.
    const bool inControl = GetMouseInControl();
    if (inControl && !GetMouseIsCaptured())
        SetMouseIsCaptured(true);
    if (!FWasMouseInControl && inControl)
        MouseEnterControl(Shift, X, Y);
    TCustomControl::MouseMove(Shift, X, Y);
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
    if (FDragging && !anyButton(Shift)) {
        // The release never arrived (the capture was taken away during the drag): the
        // press is over, and hovering must not drag the control along.
        FMouseButtonHeld = false;
        SetDragging(false);
    }
    if (FDragging) {
        // The grabbed point stays under the cursor.
        int newLeft = X - FMouseDownPos.X + GetLeft();
        int newTop = Y - FMouseDownPos.Y + GetTop();
        DragTo(Shift, newLeft, newTop);
    }
    if (FWasMouseInControl && !GetMouseInControl()) {
        MouseExitControl(Shift, X, Y);
        if (!FDragging && !FMouseButtonHeld)
            SetMouseIsCaptured(false);
    }
    FWasMouseInControl = GetMouseInControl();
}

void TCustomSkinnedControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (!FWasMouseInControl && GetMouseInControl()) {
        // The move that brought the cursor here went to the control that held the capture
        // then: the press is the first this control hears of it. Entering now keeps the
        // entry and exit paired, so the capture that the release keeps is given up again.
        MouseEnterControl(Shift, X, Y);
        FWasMouseInControl = true;
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
    FMouseButtonHeld = true;
    FMouseDownPos = TPoint(X, Y);
    FPressCancelled = false;
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
    if (FDragable)
        SetDragging(true);
}

void TCustomSkinnedControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    FMouseButtonHeld = false;
    if (FDragging)
        SetDragging(false);
    // The capture stays only while the cursor is over the control.
    SetMouseIsCaptured(GetMouseInControl());
    if (!GetMouseInControl()) {
        // Released away (also at the end of a drag that left the cursor elsewhere): the
        // press is cancelled before anyone hears of the release.
        FPressCancelled = true;
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
    FMouseButtonHeld = false;
    SetDragging(false);
    FWasMouseInControl = false;
}

// ---- Dragging ----

void TCustomSkinnedControl::SetDragable(bool Value)
{
    if (Value == FDragable)
        return;
    FDragable = Value;
    SetCursor(Value ? crHandPoint : crDefault);
}

void TCustomSkinnedControl::SetDragging(bool Value)
{
    if (Value == FDragging)
        return;
    FDragging = Value;
    SetBeingDragged(FDragging);
}

void TCustomSkinnedControl::SetBeingDragged(bool Value)
{
    if (Value == FBeingDragged)
        return;
    if (FDragParent) {
        // The drag state moves up to the control that really moves.
        if (TCustomSkinnedControl* parent = SkinnedParent())
            parent->SetBeingDragged(FDragging);
        return;
    }
    FBeingDragged = Value;
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
    if (FDragParent) {
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
