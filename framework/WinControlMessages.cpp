#include "framework/Controls.h"

// TWinControl's message dispatch: paint, mouse routing to windowless children, cursor,
// keys, focus and the window's own moves.

namespace {

bool isMouseMessage(UINT msg)
{
    return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK;
}

}  // namespace

void TWinControl::DefaultHandler(TMessage& Message)
{
    if (FHandle)
        Message.Result = DefWindowProcA(FHandle, Message.Msg, Message.WParam, Message.LParam);
}

void TWinControl::WndProc(TMessage& Message)
{
    if (isMouseMessage(Message.Msg)) {
        RouteMouse(Message);
        return;
    }
    if (Message.Msg >= CM_BASE && Message.Msg < CM_BASE + 0x100) {
        TControl::WndProc(Message);
        return;
    }
    switch (Message.Msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        if (dc)
            PaintHandler(dc, ps.rcPaint);
        EndPaint(FHandle, &ps);
        return;
    }
    case WM_ERASEBKGND:
        Message.Result = 1;   // WM_PAINT fills the whole client area through its buffer
        return;
    case WM_SETCURSOR:
        if (SetCursorFor(Message))
            return;
        break;
    case WM_WINDOWPOSCHANGED:
        DefaultHandler(Message);
        WindowPosChanged();
        return;
    case WM_CAPTURECHANGED: {
        TControl* capture = GetCaptureControl();
        if (capture && (capture == this || capture->GetParent() == this) && HWND(Message.LParam) != FHandle)
            SetCaptureControl(nullptr);
        break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        WORD key = WORD(Message.WParam);
        KeyDown(key, KeyboardShiftState());
        if (key == 0)
            return;
        if (Message.Msg == WM_KEYDOWN && (key == VK_RETURN || key == VK_ESCAPE) &&
            !Perform(CM_WANTSPECIALKEY, key, 0)) {
            TWinControl* top = this;
            while (top->GetParent())
                top = top->GetParent();
            if (top->Perform(CM_DIALOGKEY, key, 0))
                return;   // a button acted on it; it may have ended this control's form
        }
        Message.WParam = key;
        break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        WORD key = WORD(Message.WParam);
        KeyUp(key, KeyboardShiftState());
        if (key == 0)
            return;
        Message.WParam = key;
        break;
    }
    case WM_CHAR: {
        char key = char(Message.WParam);
        KeyPress(key);
        if (key == 0)
            return;
        Message.WParam = WPARAM(uint8_t(key));
        break;
    }
    case WM_SETFOCUS:
        DoEnter();
        break;
    case WM_KILLFOCUS:
        DoExit();
        break;
    case WM_NCDESTROY:
        DefaultHandler(Message);
        // The window is gone, whoever destroyed it; a later HandleNeeded makes a new one.
        FHandle = 0;
        return;
    default:
        break;
    }
    DefaultHandler(Message);
}

void TWinControl::RouteMouse(TMessage& Message)
{
    int x = GET_X_LPARAM(Message.LParam);
    int y = GET_Y_LPARAM(Message.LParam);
    TControl* target = this;
    TControl* capture = GetCaptureControl();
    if (capture && capture->GetParent() == this && !dynamic_cast<TWinControl*>(capture))
        target = capture;
    else if (capture != this)
        if (TControl* child = ControlAtPos(TPoint(x, y), false))
            target = child;

    if (Message.Msg == WM_MOUSEMOVE) {
        TControl* over = target == this ? nullptr : target;
        if (over != FMouseControl) {
            TControl* left = FMouseControl;
            FMouseControl = over;
            if (left)
                left->Perform(CM_MOUSELEAVE, 0, 0);
            if (over && FMouseControl == over)
                over->Perform(CM_MOUSEENTER, 0, 0);
        }
    }
    if (target == this) {
        TControl::WndProc(Message);
        return;
    }
    TMessage child = Message;
    child.LParam = MAKELPARAM(x - target->FLeft, y - target->FTop);
    target->WndProc(child);
    Message.Result = child.Result;
}

bool TWinControl::SetCursorFor(TMessage& Message)
{
    if (HWND(Message.WParam) != FHandle) {
        // A child window asks its parents first: let the child decide.
        Message.Result = FALSE;
        return true;
    }
    if (int16_t(LOWORD(uintptr_t(Message.LParam))) != HTCLIENT)
        return false;
    TCursor cursor = GetGlobalCursor();
    if (cursor == crDefault) {
        POINT p;
        GetCursorPos(&p);
        ::ScreenToClient(FHandle, &p);
        TControl* target = ControlAtPos(TPoint(p.x, p.y), false);
        cursor = target ? target->GetCursor() : crDefault;
        if (cursor == crDefault)
            cursor = GetCursor();
    }
    if (cursor == crDefault)
        return false;
    ::SetCursor(CursorHandle(cursor));
    Message.Result = TRUE;
    return true;
}
