#include "framework/Controls.h"

#include <cstdio>

// Message dispatch of TControl: the mouse, the CM_ notifications, capture and cursors.

namespace {

TControl* captureControl = nullptr;
TCursor globalCursor = crDefault;
// Function-local, so the application object may install its handler during static
// initialisation of another file.
std::function<void(const std::exception&)>& exceptionHandler()
{
    static std::function<void(const std::exception&)> handler;
    return handler;
}

bool isMouseMessage(UINT msg)
{
    return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK;
}

}  // namespace

HCURSOR CursorHandle(TCursor Cursor)
{
    LPCSTR id = IDC_ARROW;
    switch (Cursor) {
    case crNone:
        return 0;
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS:
    case crVSplit: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE:
    case crHSplit: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass:
    case crSQLWait: id = IDC_WAIT; break;
    case crNoDrop:
    case crNo: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: break;
    }
    return LoadCursorA(nullptr, id);
}

TShiftState MouseShiftState(WPARAM Flags)
{
    TShiftState s;
    if (Flags & MK_SHIFT)
        s << ssShift;
    if (Flags & MK_CONTROL)
        s << ssCtrl;
    if (Flags & MK_LBUTTON)
        s << ssLeft;
    if (Flags & MK_RBUTTON)
        s << ssRight;
    if (Flags & MK_MBUTTON)
        s << ssMiddle;
    if (GetKeyState(VK_MENU) < 0)
        s << ssAlt;
    return s;
}

TShiftState KeyboardShiftState()
{
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0)
        s << ssShift;
    if (GetKeyState(VK_CONTROL) < 0)
        s << ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        s << ssAlt;
    return s;
}

void SetCaptureControl(TControl* Control)
{
    captureControl = nullptr;
    if (GetCapture())
        ReleaseCapture();
    if (!Control)
        return;
    TWinControl* window = dynamic_cast<TWinControl*>(Control);
    if (!window)
        window = Control->GetParent();
    if (!window || !window->HandleAllocated())
        return;
    SetCapture(window->Handle());
    captureControl = Control;
}

TControl* GetCaptureControl()
{
    return captureControl;
}

void SetGlobalCursor(TCursor Cursor)
{
    globalCursor = Cursor;
    if (Cursor != crDefault) {
        ::SetCursor(CursorHandle(Cursor));
    } else {
        // Let the control under the mouse choose again.
        POINT p;
        GetCursorPos(&p);
        if (HWND w = WindowFromPoint(p))
            SendMessageA(w, WM_SETCURSOR, w, MAKELPARAM(int(HTCLIENT), int(WM_MOUSEMOVE)));
    }
}

TCursor GetGlobalCursor()
{
    return globalCursor;
}

void SetControlExceptionHandler(std::function<void(const std::exception&)> Handler)
{
    exceptionHandler() = std::move(Handler);
}

void HandleControlException(const std::exception& E)
{
    if (exceptionHandler())
        exceptionHandler()(E);
    else   // no application object to show it: standard error, never lost
        std::fprintf(stderr, "Lumo free: exception in a control: %s\n", E.what());
}

// ---- TControl ----

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TMessage message{Msg, WParam, LParam, 0};
    WndProc(message);
    return message.Result;
}

void TControl::WndProc(TMessage& Message)
{
    if (isMouseMessage(Message.Msg)) {
        HandleMouse(Message);
        return;
    }
    switch (Message.Msg) {
    case CM_TEXTCHANGED: TextChanged(); break;
    case CM_FONTCHANGED: FontChanged(); break;
    case CM_COLORCHANGED: ColorChanged(); break;
    case CM_ENABLEDCHANGED: EnabledChanged(); break;
    case CM_VISIBLECHANGED: VisibleChanged(); break;
    case CM_PARENTFONTCHANGED: ParentFontChanged(); break;
    case CM_PARENTCOLORCHANGED: ParentColorChanged(); break;
    case CM_MOUSEENTER: MouseEnter(); break;
    case CM_MOUSELEAVE: MouseLeave(); break;
    default: break;
    }
}

void TControl::SetMouseCapture(bool Value)
{
    if (Value)
        SetCaptureControl(this);
    else if (GetCaptureControl() == this)
        SetCaptureControl(nullptr);
}

bool TControl::HitTest(int X, int Y) const
{
    return X >= 0 && Y >= 0 && X < FWidth && Y < FHeight;
}

void TControl::HandleMouse(TMessage& Message)
{
    if (!FEnabled)
        return;   // a disabled control takes no mouse input
    TShiftState shift = MouseShiftState(Message.WParam);
    int x = GET_X_LPARAM(Message.LParam);
    int y = GET_Y_LPARAM(Message.LParam);
    UINT msg = Message.Msg;
    if (msg == WM_LBUTTONDBLCLK && !FControlStyle.Contains(csDoubleClicks))
        msg = WM_LBUTTONDOWN;
    switch (msg) {
    case WM_MOUSEMOVE:
        MouseMove(shift, x, y);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (FControlStyle.Contains(csCaptureMouse))
            SetMouseCapture(true);
        if (msg == WM_LBUTTONDBLCLK) {
            if (FControlStyle.Contains(csClickEvents))
                DblClick();
            shift << ssDouble;
        } else if (FControlStyle.Contains(csClickEvents)) {
            FControlState << csClicked;
        }
        MouseDown(mbLeft, shift, x, y);
        break;
    case WM_LBUTTONUP:
        if (FControlStyle.Contains(csCaptureMouse))
            SetMouseCapture(false);
        if (FControlState.Contains(csClicked)) {
            FControlState >> csClicked;
            if (GetClientRect().Width() > x && x >= 0 && y >= 0 && GetClientRect().Height() > y)
                Click();
        }
        MouseUp(mbLeft, shift, x, y);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        MouseDown(mbRight, msg == WM_RBUTTONDBLCLK ? shift << ssDouble : shift, x, y);
        break;
    case WM_RBUTTONUP:
        MouseUp(mbRight, shift, x, y);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        MouseDown(mbMiddle, msg == WM_MBUTTONDBLCLK ? shift << ssDouble : shift, x, y);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, shift, x, y);
        break;
    default:
        break;
    }
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y)
{
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TControl::MouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}
