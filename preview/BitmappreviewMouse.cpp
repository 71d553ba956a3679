// TBitmapPreview: mouse tracking, dragging the component or its parent, and hand scrolling.
//
// A move that enters the component captures the mouse, so the component also sees the move
// that leaves it; the capture is let go on leaving unless a button is held, a drag or a hand
// scroll is under way. A hand scroll only shifts the drawn picture (ScrollX, ScrollY) until
// the button is released; then the pan becomes the new origin.
#include "preview/Bitmappreview.h"

// ---- Where the mouse is ----

TPoint TBitmapPreview::GetMousePosition() const
{
    POINT p{};
    GetCursorPos(&p);
    TPoint origin = GetClientOrigin();
    return TPoint(p.x - origin.X, p.y - origin.Y);
}

bool TBitmapPreview::GetMouseInControl() const
{
    if (!FHandle)
        return false;
    POINT p{};
    GetCursorPos(&p);
    return WindowFromPoint(p) == FHandle;
}

bool TBitmapPreview::GetMouseIsCaptured() const
{
    return GetCaptureControl() == this;
}

void TBitmapPreview::SetMouseIsCaptured(bool Value)
{
    if (Value == GetMouseIsCaptured())
        return;
    // Letting go through the framework releases the window layer's capture and keeps the
    // framework's record of the capturing control in step.
    SetCaptureControl(Value ? this : nullptr);
}

// ---- Mouse handlers ----

void TBitmapPreview::MouseMove(TShiftState Shift, int X, int Y)
{
    bool inside = GetMouseInControl();
    if (!GetMouseIsCaptured() && inside)
        SetMouseIsCaptured(true);
    if (!FWasMouseInControl && inside)
        MouseEnterControl(Shift, X, Y);
    TCustomControl::MouseMove(Shift, X, Y);
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
    if (FDragging || FHandScrolling) {
        const int dx = X - FMouseDownPos.X;
        const int dy = Y - FMouseDownPos.Y;
        if (FDragging)
            DragTo(Shift, GetLeft() + dx, GetTop() + dy);
        else
            HandScrollTo(Shift, -dx, -dy);
    }
    inside = GetMouseInControl();
    if (FWasMouseInControl && !inside) {
        MouseExitControl(Shift, X, Y);
        if (!FDragging && !FHandScrolling && !FMouseButtonHeld)
            SetMouseIsCaptured(false);
    }
    FWasMouseInControl = inside;
}

void TBitmapPreview::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X, Y);
    FMouseButtonHeld = true;
    FMouseDownPos = TPoint(X, Y);
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
    if (FDragable)
        SetDragging(true);
    else if (FHandScrollable)
        SetHandScrolling(true);
}

void TBitmapPreview::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    FMouseUpPos = TPoint(X, Y);
    FMouseButtonHeld = false;
    if (FDragging)
        SetDragging(false);
    else if (FHandScrolling)
        SetHandScrolling(false);
    const bool inside = GetMouseInControl();
    SetMouseIsCaptured(inside);
    if (!inside)
        MouseCancelled();
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TBitmapPreview::MouseEnterControl(TShiftState Shift, int X, int Y)
{
    if (OnMouseEnterControl)
        OnMouseEnterControl(this, Shift, X, Y);
}

void TBitmapPreview::MouseExitControl(TShiftState Shift, int X, int Y)
{
    if (OnMouseExitControl)
        OnMouseExitControl(this, Shift, X, Y);
}

void TBitmapPreview::MouseCancelled()
{
    if (OnMouseCancelled)
        OnMouseCancelled(this);
}

// ---- Dragging ----

void TBitmapPreview::SetDragable(bool Value)
{
    if (Value == FDragable)
        return;
    SetHandScrollable(false);
    FDragable = Value;
    SetCursor(Value ? crHandPoint : crDefault);
}

void TBitmapPreview::SetHandScrollable(bool Value)
{
    if (Value == FHandScrollable)
        return;
    SetDragable(false);
    FHandScrollable = Value;
    SetCursor(Value ? crHandPoint : crDefault);
}

void TBitmapPreview::SetDragging(bool Value)
{
    if (Value == FDragging)
        return;
    FDragging = Value;
    SetBeingDragged(Value);
}

void TBitmapPreview::SetBeingDragged(bool Value)
{
    // Moving the parent is not the component being dragged.
    if (Value == FBeingDragged || FDragParent)
        return;
    FBeingDragged = Value;
}

void TBitmapPreview::DragTo(TShiftState Shift, int NewLeft, int NewTop)
{
    if (FDragParent) {
        TWinControl* parent = GetParent();
        if (!parent)
            return;
        NewLeft += parent->GetLeft() - GetLeft();
        NewTop += parent->GetTop() - GetTop();
        parent->SetBounds(NewLeft, NewTop, parent->GetWidth(), parent->GetHeight());
        return;
    }
    if (OnDragTo)
        OnDragTo(this, Shift, NewLeft, NewTop);
    SetBounds(NewLeft, NewTop, GetWidth(), GetHeight());
}

// ---- Hand scrolling ----

void TBitmapPreview::SetHandScrolling(bool Value)
{
    if (Value == FHandScrolling)
        return;
    FHandScrolling = Value;
    SetBeingHandScrolled(Value);
}

void TBitmapPreview::HandScrollTo(TShiftState Shift, int NewLeft, int NewTop)
{
    if (OnHandScrollTo)
        OnHandScrollTo(this, Shift, NewLeft, NewTop);
    // One step moves the picture once: a diagonal step is one change and one paint, not two.
    const double x = FScrollX, y = FScrollY;
    SetEnableChangeEvent(false);
    try {
        SetScrollX(NewLeft);
        SetScrollY(NewTop);
    } catch (...) {
        SetEnableChangeEvent(true);
        throw;
    }
    SetEnableChangeEvent(true);
    if (FScrollX != x || FScrollY != y)
        ConditionalChange();
}

void TBitmapPreview::SetBeingHandScrolled(bool Value)
{
    if (Value == FBeingHandScrolled)
        return;
    if (!Value) {
        // The pan becomes the new origin; the offscreen picture is made again around it.
        Compound([this] {
            SetOriginX(FScrollX / FZoom + FOriginX);
            SetOriginY(FScrollY / FZoom + FOriginY);
            SetScrollX(0.0);
            SetScrollY(0.0);
        });
    }
    FBeingHandScrolled = Value;
}
