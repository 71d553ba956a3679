#include "skins/Customskinnedcontrol.h"

// TCustomSkinnedControl: where the mouse is, its capture, and the dragging state. The
// handling of the mouse messages themselves builds on these.

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
    const TPoint origin = GetClientOrigin(), position = GetMousePosition();
    // Window regions are honoured: a cut-away corner finds the window behind it.
    return WindowFromPoint(POINT{origin.X + position.X, origin.Y + position.Y}) == FHandle;
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
