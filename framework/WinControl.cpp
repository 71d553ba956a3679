#include "framework/Controls.h"

#include <algorithm>
#include <unordered_map>

// TWinControl: its window, made on demand, and the window procedure that routes the
// window's messages to it. A window's GWLP_USERDATA holds a number, never a pointer: the
// number is looked up in a table of live controls, so a stale or forged value finds nothing.

namespace {

std::unordered_map<LONG_PTR, TWinControl*>& controlTable()
{
    static std::unordered_map<LONG_PTR, TWinControl*> table;
    return table;
}
LONG_PTR nextId = 1;
// The control whose window CreateWindowExA is making: its first messages arrive before
// GWLP_USERDATA can be set.
TWinControl* creating = nullptr;

}  // namespace

TClass TWinControl::StaticClass()
{
    static const TClass Class = TPublished<TWinControl, TControl>("TWinControl")
        .Property("DoubleBuffered", &TWinControl::GetDoubleBuffered, &TWinControl::SetDoubleBuffered, Default(false));
    return Class;
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner), FId(nextId++)
{
    controlTable()[FId] = this;
}

TWinControl::~TWinControl()
{
    // Children go with their parent, as in the classic framework.
    while (!FControls.empty()) {
        TControl* child = FControls.back();
        RemoveControl(child);
        delete child;
    }
    // Out of the table first: the window's last messages must not reach a half-freed object.
    controlTable().erase(FId);
    if (FHandle && IsWindow(FHandle))
        DestroyWindow(FHandle);
    FHandle = 0;
}

TWinControl* TWinControl::FindControl(HWND Window)
{
    if (!Window || !IsWindow(Window))
        return nullptr;
    if (GetWindowLongPtrA(Window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&ControlWindowProc))
        return nullptr;
    auto& table = controlTable();
    auto it = table.find(GetWindowLongPtrA(Window, GWLP_USERDATA));
    if (it == table.end() || it->second->FHandle != Window)
        return nullptr;
    return it->second;
}

LRESULT ControlWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    TWinControl* control = TWinControl::FindControl(Window);
    if (!control && creating && !creating->FHandle) {
        control = creating;
        control->AdoptHandle(Window);
    }
    if (!control)
        return DefWindowProcA(Window, Message, WParam, LParam);
    TMessage message{Message, WParam, LParam, 0};
    try {
        control->WndProc(message);
    } catch (const std::exception& e) {
        // Never unwind through the window layer.
        HandleControlException(e);
    }
    return message.Result;
}

void TWinControl::AdoptHandle(HWND Window)
{
    FHandle = Window;
    SetWindowLongPtrA(Window, GWLP_USERDATA, FId);
}

// ---- The window ----

HWND TWinControl::GetHandle()
{
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded()
{
    if (FHandle)
        return;
    if (ComponentState().Contains(csDestroying))
        throw EInvalidOperation("Control '" + GetName() + "' is being destroyed");
    if (FParent)
        FParent->HandleNeeded();
    else if (!IsTopLevel())
        throw EInvalidOperation("Control '" + GetName() + "' has no parent window");
    if (FHandle)
        return;   // the parent made it along with its children
    CreateWnd();
    CreateChildHandles();
}

void TWinControl::CreateParams(TCreateParams& Params)
{
    Params.Caption = GetText();
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (FVisible)
        Params.Style |= WS_VISIBLE;
    if (!FEnabled)
        Params.Style |= WS_DISABLED;
    if (FTabStop)
        Params.Style |= WS_TABSTOP;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    Params.WndParent = FParent ? FParent->FHandle : 0;
    Params.WindowClassStyle = CS_DBLCLKS;
    Params.WinClassName = ClassName();
}

void TWinControl::CreateWnd()
{
    TCreateParams params;
    CreateParams(params);
    WNDCLASSA existing{};
    AnsiString className = params.WinClassName;
    if (GetClassInfoA(nullptr, className.c_str(), &existing) && existing.lpfnWndProc != &ControlWindowProc)
        className = "Lumo" + className;   // a foreign class of that name: keep ours apart
    if (!GetClassInfoA(nullptr, className.c_str(), &existing)) {
        WNDCLASSA wc{};
        wc.style = params.WindowClassStyle;
        wc.lpfnWndProc = &ControlWindowProc;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = className.c_str();
        if (!RegisterClassA(&wc))
            throw EOutOfResources("Cannot register window class " + className);
    }
    TWinControl* previous = creating;
    creating = this;
    HWND window = CreateWindowExA(params.ExStyle, className.c_str(), params.Caption.c_str(), params.Style, params.X,
                                  params.Y, params.Width, params.Height, params.WndParent, 0, nullptr, nullptr);
    creating = previous;
    if (!window)
        throw EOutOfResources("Error creating window");
    if (!FHandle)
        AdoptHandle(window);
    // The window layer may have adjusted the size (minimum sizes): take what it made.
    WindowPosChanged();
}

void TWinControl::CreateChildHandles()
{
    for (TControl* child : std::vector<TControl*>(FControls))
        if (auto* win = dynamic_cast<TWinControl*>(child); win && !win->Loading() && !win->FHandle)
            win->HandleNeeded();
}

void TWinControl::DestroyWnd()
{
    if (FHandle && IsWindow(FHandle))
        DestroyWindow(FHandle);
    FHandle = 0;
}

void TWinControl::DestroyHandle()
{
    if (!FHandle)
        return;
    for (TControl* child : FControls)
        if (auto* win = dynamic_cast<TWinControl*>(child))
            win->DestroyHandle();
    DestroyWnd();
}

void TWinControl::UpdateWindowState()
{
    if (Loading())
        return;
    if (!FHandle) {
        if (FParent && FParent->FHandle && !FParent->Loading())
            HandleNeeded();
        return;
    }
    SetWindowPos(FHandle, 0, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (FVisible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::Loaded()
{
    TControl::Loaded();
    UpdateWindowState();
    Realign();
}

void TWinControl::WindowPosChanged()
{
    if (!FHandle || IsIconic(FHandle))
        return;
    RECT r;
    GetWindowRect(FHandle, &r);
    if (HWND parent = ::GetParent(FHandle))
        MapWindowPoints(0, parent, reinterpret_cast<POINT*>(&r), 2);
    UpdateBoundsFromWindow(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// ---- Geometry ----

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    ClampControlBounds(ALeft, ATop, AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
        return;
    bool resized = AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    // A window made while loading follows at once: whoever made it reads its geometry.
    if (FHandle && !IsIconic(FHandle))
        SetWindowPos(FHandle, 0, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (Loading())
        return;
    if (resized)
        Resize();
    if (FParent && GetAlign() != alNone)
        FParent->Realign();
}

TRect TWinControl::GetClientRect() const
{
    if (FHandle) {
        RECT r;
        if (::GetClientRect(FHandle, &r))
            return r;
    }
    TRect inset = FrameInsets();
    return TRect(0, 0, std::max(0, FWidth - inset.Left - inset.Right), std::max(0, FHeight - inset.Top - inset.Bottom));
}

TPoint TWinControl::GetClientOrigin() const
{
    if (FHandle) {
        POINT p{0, 0};
        ::ClientToScreen(FHandle, &p);
        return p;
    }
    TRect inset = FrameInsets();
    TPoint origin = FParent ? FParent->GetClientOrigin() : TPoint();
    return TPoint(origin.X + FLeft + inset.Left, origin.Y + FTop + inset.Top);
}

void TWinControl::Resize()
{
    Realign();
    TControl::Resize();
}

void TWinControl::Realign()
{
    if (Loading() || FAligning)
        return;
    FAligning = true;
    try {
        AlignControls();
    } catch (...) {
        FAligning = false;
        throw;
    }
    FAligning = false;
}

void TWinControl::AlignControls()
{
    TRect rest = GetClientRect();
    // The classic order: top, bottom, left, right, then the client filler.
    for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl* c : std::vector<TControl*>(FControls)) {
            if (c->GetAlign() != pass || !c->GetVisible() || !ContainsControl(c))
                continue;
            int w = c->GetWidth(), h = c->GetHeight();
            switch (pass) {
            case alTop:
                c->SetBounds(rest.Left, rest.Top, rest.Width(), h);
                rest.Top += c->GetHeight();
                break;
            case alBottom:
                c->SetBounds(rest.Left, rest.Bottom - h, rest.Width(), h);
                rest.Bottom -= c->GetHeight();
                break;
            case alLeft:
                c->SetBounds(rest.Left, rest.Top, w, rest.Height());
                rest.Left += c->GetWidth();
                break;
            case alRight:
                c->SetBounds(rest.Right - w, rest.Top, w, rest.Height());
                rest.Right -= c->GetWidth();
                break;
            default:
                c->SetBounds(rest.Left, rest.Top, std::max(0, rest.Width()), std::max(0, rest.Height()));
                break;
            }
        }
    }
}

// ---- Children ----

TControl* TWinControl::Controls(int Index) const
{
    if (Index < 0 || Index >= ControlCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FControls[size_t(Index)];
}

void TWinControl::InsertControl(TControl* AControl)
{
    if (!AControl || ContainsControl(AControl))
        return;
    AControl->FParent = this;
    FControls.push_back(AControl);
    if (auto* win = dynamic_cast<TWinControl*>(AControl)) {
        if (FHandle && !Loading() && !win->Loading())
            win->UpdateWindowState();
    } else {
        AControl->Invalidate();
    }
    if (AControl->GetAlign() != alNone)
        Realign();
}

void TWinControl::RemoveControl(TControl* AControl)
{
    auto it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it == FControls.end())
        return;
    if (FHandle) {
        RECT r{AControl->FLeft, AControl->FTop, AControl->FLeft + AControl->FWidth, AControl->FTop + AControl->FHeight};
        InvalidateRect(FHandle, &r, FALSE);
    }
    FControls.erase(it);
    AControl->FParent = nullptr;
    if (FMouseControl == AControl)
        FMouseControl = nullptr;
    if (GetCaptureControl() == AControl)
        SetCaptureControl(nullptr);
}

bool TWinControl::ContainsControl(const TControl* Control) const
{
    for (TControl* c : FControls)
        if (c == Control)
            return true;
    for (TControl* c : FControls)
        if (auto* win = dynamic_cast<const TWinControl*>(c); win && win->ContainsControl(Control))
            return true;
    return false;
}

TControl* TWinControl::ControlAtPos(const TPoint& Pos, bool AllowDisabled, bool AllowWinControls) const
{
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!c->FVisible || (!AllowDisabled && !c->FEnabled))
            continue;
        if (!AllowWinControls && dynamic_cast<TWinControl*>(c))
            continue;
        if (c->HitTest(Pos.X - c->FLeft, Pos.Y - c->FTop))
            return c;
    }
    return nullptr;
}

void TWinControl::GetChildren(const TGetChildProc& Proc, TComponent* Root)
{
    for (TControl* c : FControls)
        if (c->Owner() == Root)
            Proc(c);
}

void TWinControl::Notification(TComponent* AComponent, TOperation Operation)
{
    TControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMouseControl)
        FMouseControl = nullptr;
}

void TWinControl::SetParent(TWinControl* AParent)
{
    if (AParent == FParent)
        return;
    if (FHandle) {
        if (AParent && AParent->FHandle)
            ::SetParent(FHandle, AParent->FHandle);
        else if (!IsTopLevel() || AParent)
            DestroyHandle();
    }
    TControl::SetParent(AParent);
    if (AParent && !FHandle)
        UpdateWindowState();
}

// ---- Appearance ----

void TWinControl::VisibleChanged()
{
    UpdateWindowState();
}

void TWinControl::EnabledChanged()
{
    if (FHandle)
        EnableWindow(FHandle, FEnabled);
    Invalidate();
}

void TWinControl::TextChanged()
{
    if (FHandle)
        SetWindowTextA(FHandle, GetText().c_str());
    Invalidate();
}

void TWinControl::ColorChanged()
{
    Invalidate();
    for (TControl* c : std::vector<TControl*>(FControls))
        c->Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TWinControl::FontChanged()
{
    Invalidate();
    for (TControl* c : std::vector<TControl*>(FControls))
        c->Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TWinControl::Invalidate()
{
    if (FHandle)
        InvalidateRect(FHandle, nullptr, FALSE);
}

void TWinControl::Update()
{
    if (FHandle)
        UpdateWindow(FHandle);
}

void TWinControl::Repaint()
{
    Invalidate();
    Update();
}

void TWinControl::BringToFront()
{
    TControl::BringToFront();
    if (FHandle)
        SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::SendToBack()
{
    TControl::SendToBack();
    if (FHandle)
        SetWindowPos(FHandle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// ---- Focus and keys ----

bool TWinControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->GetParent())
        if (!c->GetVisible() || !c->GetEnabled())
            return false;
    return true;
}

void TWinControl::SetFocus()
{
    if (!CanFocus())
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    ::SetFocus(GetHandle());
}

bool TWinControl::Focused() const
{
    return FHandle && GetFocus() == FHandle;
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift)
{
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(WORD& Key, TShiftState Shift)
{
    if (OnKeyUp)
        OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key)
{
    if (OnKeyPress)
        OnKeyPress(this, Key);
}

void TWinControl::DoEnter()
{
    if (OnEnter)
        OnEnter(this);
}

void TWinControl::DoExit()
{
    if (OnExit)
        OnExit(this);
}
