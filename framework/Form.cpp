#include "framework/Forms.h"

#include <algorithm>

#include "framework/Layouts.h"

// TCustomForm: construction, layout, border and window styles, painting.

const TIdentMapEntry<TFormBorderStyle> FormBorderStyleIdents[6] = {
    {bsNone, "bsNone"},     {bsSingle, "bsSingle"},         {bsSizeable, "bsSizeable"},
    {bsDialog, "bsDialog"}, {bsToolWindow, "bsToolWindow"}, {bsSizeToolWin, "bsSizeToolWin"}};
const TIdentMapEntry<TPosition> PositionIdents[8] = {
    {poDesigned, "poDesigned"},           {poDefault, "poDefault"},
    {poDefaultPosOnly, "poDefaultPosOnly"}, {poDefaultSizeOnly, "poDefaultSizeOnly"},
    {poScreenCenter, "poScreenCenter"},   {poDesktopCenter, "poDesktopCenter"},
    {poMainFormCenter, "poMainFormCenter"}, {poOwnerFormCenter, "poOwnerFormCenter"}};

namespace {

constexpr TIdentMapEntry<TBorderIcon> borderIconIdents[] = {
    {biSystemMenu, "biSystemMenu"}, {biMinimize, "biMinimize"}, {biMaximize, "biMaximize"}, {biHelp, "biHelp"}};
constexpr TIdentMapEntry<TWindowState> windowStateIdents[] = {
    {wsNormal, "wsNormal"}, {wsMinimized, "wsMinimized"}, {wsMaximized, "wsMaximized"}};
constexpr TIdentMapEntry<TFormStyle> formStyleIdents[] = {
    {fsNormal, "fsNormal"}, {fsMDIChild, "fsMDIChild"}, {fsMDIForm, "fsMDIForm"}, {fsStayOnTop, "fsStayOnTop"}};

struct FormStyles
{
    DWORD style;
    DWORD exStyle;
};

FormStyles stylesFor(TFormBorderStyle border, TBorderIcons icons)
{
    FormStyles s{WS_CLIPCHILDREN, 0};
    switch (border) {
    case bsNone:
        s.style |= WS_POPUP;
        return s;
    case bsSingle:
        s.style |= WS_CAPTION | WS_OVERLAPPED;
        break;
    case bsSizeable:
        s.style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        s.style |= WS_CAPTION;
        s.exStyle |= WS_EX_DLGMODALFRAME;
        icons = icons - TBorderIcons{biMinimize, biMaximize};
        break;
    case bsToolWindow:
        s.style |= WS_CAPTION;
        s.exStyle |= WS_EX_TOOLWINDOW;
        icons = icons - TBorderIcons{biMinimize, biMaximize};
        break;
    case bsSizeToolWin:
        s.style |= WS_CAPTION | WS_THICKFRAME;
        s.exStyle |= WS_EX_TOOLWINDOW;
        icons = icons - TBorderIcons{biMinimize, biMaximize};
        break;
    }
    if (icons.Contains(biSystemMenu)) {
        s.style |= WS_SYSMENU;
        if (icons.Contains(biMinimize))
            s.style |= WS_MINIMIZEBOX;
        if (icons.Contains(biMaximize))
            s.style |= WS_MAXIMIZEBOX;
    }
    return s;
}

}  // namespace

TClass TScrollingWinControl::StaticClass()
{
    static const TClass Class = TPublished<TScrollingWinControl, TWinControl>("TScrollingWinControl");
    return Class;
}

TClass TCustomForm::StaticClass()
{
    static const TClass Class = TPublished<TCustomForm, TScrollingWinControl>("TCustomForm")
        .Property("AutoSize", &TCustomForm::GetAutoSize, &TCustomForm::SetAutoSize, Default(false))
        .Property("BorderIcons", &TCustomForm::GetBorderIcons, &TCustomForm::SetBorderIcons, borderIconIdents,
                  Default(TBorderIcons{biSystemMenu, biMinimize, biMaximize}))
        .Property("BorderStyle", &TCustomForm::GetBorderStyle, &TCustomForm::SetBorderStyle, FormBorderStyleIdents,
                  Default(bsSizeable))
        .Property("Caption", &TCustomForm::GetCaption, &TCustomForm::SetCaption)
        .Property("ClientHeight", &TCustomForm::GetClientHeight, &TCustomForm::SetClientHeight)
        .Property("ClientWidth", &TCustomForm::GetClientWidth, &TCustomForm::SetClientWidth)
        .Property("Color", &TCustomForm::GetColor, &TCustomForm::SetColor, ColorIdents(), Default(clBtnFace),
                  Stored(&TCustomForm::IsColorStored))
        .Property("Enabled", &TCustomForm::GetEnabled, &TCustomForm::SetEnabled, Default(true))
        .Property("Font", &TCustomForm::GetFont, Stored(&TCustomForm::IsFontStored))
        .Property("FormStyle", &TCustomForm::GetFormStyle, &TCustomForm::SetFormStyle, formStyleIdents,
                  Default(fsNormal))
        .Property("KeyPreview", &TCustomForm::GetKeyPreview, &TCustomForm::SetKeyPreview, Default(false))
        .Property("ParentFont", &TCustomForm::GetParentFont, &TCustomForm::SetParentFont, Default(false))
        .Property("Position", &TCustomForm::GetPosition, &TCustomForm::SetPosition, PositionIdents,
                  Default(poDesigned))
        .Property("ShowHint", &TCustomForm::GetShowHint, &TCustomForm::SetShowHint, Default(false))
        .Property("Visible", &TCustomForm::GetVisible, &TCustomForm::SetVisible, Default(false))
        .Property("WindowState", &TCustomForm::GetWindowState, &TCustomForm::SetWindowState, windowStateIdents,
                  Default(wsNormal))
        .Event("OnActivate", &TCustomForm::OnActivate)
        .Event("OnClick", &TCustomForm::OnClick)
        .Event("OnClose", &TCustomForm::OnClose)
        .Event("OnCloseQuery", &TCustomForm::OnCloseQuery)
        .Event("OnCreate", &TCustomForm::OnCreate)
        .Event("OnDblClick", &TCustomForm::OnDblClick)
        .Event("OnDeactivate", &TCustomForm::OnDeactivate)
        .Event("OnDestroy", &TCustomForm::OnDestroy)
        .Event("OnHide", &TCustomForm::OnHide)
        .Event("OnKeyDown", &TCustomForm::OnKeyDown)
        .Event("OnKeyPress", &TCustomForm::OnKeyPress)
        .Event("OnKeyUp", &TCustomForm::OnKeyUp)
        .Event("OnMouseDown", &TCustomForm::OnMouseDown)
        .Event("OnMouseMove", &TCustomForm::OnMouseMove)
        .Event("OnMouseUp", &TCustomForm::OnMouseUp)
        .Event("OnPaint", &TCustomForm::OnPaint)
        .Event("OnResize", &TCustomForm::OnResize)
        .Event("OnShow", &TCustomForm::OnShow);
    return Class;
}

TClass TForm::StaticClass()
{
    static const TClass Class = TPublished<TForm, TCustomForm>("TForm");
    return Class;
}

TCustomForm::TCustomForm(TComponent* AOwner) : TScrollingWinControl(AOwner)
{
    InitForm();
}

TCustomForm::TCustomForm(TComponent* AOwner, int) : TScrollingWinControl(AOwner)
{
    FCreateNew = true;
    InitForm();
}

TForm::TForm(TComponent* AOwner) : TCustomForm(AOwner) {}

void TCustomForm::InitForm()
{
    FVisible = false;
    FColor = clBtnFace;
    FParentColor = false;
    FParentFont = false;
    FWidth = 320;
    FHeight = 240;
    FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    FCanvas = std::make_unique<TControlCanvas>();
    FCanvas->SetControl(this);
    if (Screen)
        Screen->AddForm(this);
}

TCustomForm::~TCustomForm()
{
    if (FCreated)
        DoDestroy();
    if (Screen)
        Screen->RemoveForm(this);
    if (Application && Application->FMainForm == this)
        Application->FMainForm = nullptr;
}

AnsiString TCustomForm::LayoutResourceName(const AnsiString& ClassName)
{
    AnsiString base = ClassName;
    if (base.size() > 1 && (base[0] == 'T' || base[0] == 't'))
        base.erase(0, 1);
    return base + ".lfm";
}

bool TCustomForm::InitInheritedComponent()
{
    if (FCreated)
        return false;
    FCreated = true;
    bool read = false;
    if (!FCreateNew) {
        AnsiString resource = LayoutResourceName(ClassName());
        if (FindResource(resource)) {
            LoadLayout(this, resource, ResourceResolver());
            read = true;
        }
    }
    DoCreate();
    return read;
}

TCustomForm* GetParentForm(TControl* Control)
{
    while (Control && Control->GetParent())
        Control = Control->GetParent();
    return dynamic_cast<TCustomForm*>(Control);
}

// ---- Styles ----

void TCustomForm::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    if (GetParent())
        return;   // a form placed on another control behaves as a child window
    FormStyles s = stylesFor(FBorderStyle, FBorderIcons);
    Params.Style = s.style;
    Params.ExStyle = s.exStyle;
    if (!GetEnabled())
        Params.Style |= WS_DISABLED;
    if (FFormStyle == fsStayOnTop)
        Params.ExStyle |= WS_EX_TOPMOST;
    Params.WndParent = 0;
    // Shown by Show, after placing it.
    Params.Style &= ~WS_VISIBLE;
}

TRect TCustomForm::FrameInsets() const
{
    if (GetParent())
        return TRect();
    FormStyles s = stylesFor(FBorderStyle, FBorderIcons);
    int frame = 0;
    if (s.style & WS_THICKFRAME)
        frame = GetSystemMetrics(SM_CXFRAME);
    else if ((s.style & WS_DLGFRAME) || (s.exStyle & WS_EX_DLGMODALFRAME))
        frame = GetSystemMetrics(SM_CXDLGFRAME);
    else if (s.style & WS_BORDER)
        frame = GetSystemMetrics(SM_CXBORDER);
    int caption = 0;
    if ((s.style & WS_CAPTION) == WS_CAPTION)
        caption = GetSystemMetrics(s.exStyle & WS_EX_TOOLWINDOW ? SM_CYSMCAPTION : SM_CYCAPTION);
    return TRect(frame, frame + caption, frame, frame);
}

void TCustomForm::CreateWnd()
{
    TWinControl::CreateWnd();
    if (Application && Application->MainForm() == this)
        Application->UpdateTaskbarTitle();
}

void TCustomForm::UpdateStyle()
{
    if (!FHandle || GetParent())
        return;
    // The client size is what the layout states: keep it across the change of frame.
    TRect client = GetClientRect();
    FormStyles s = stylesFor(FBorderStyle, FBorderIcons);
    DWORD keep = DWORD(GetWindowLongA(FHandle, GWL_STYLE)) & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
    SetWindowLongA(FHandle, GWL_STYLE, LONG(s.style | keep));
    SetWindowLongA(FHandle, GWL_EXSTYLE, LONG(s.exStyle | (FFormStyle == fsStayOnTop ? WS_EX_TOPMOST : 0)));
    SetWindowPos(FHandle, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    TRect inset = FrameInsets();
    SetBounds(FLeft, FTop, client.Width() + inset.Left + inset.Right, client.Height() + inset.Top + inset.Bottom);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value)
{
    if (Value == FBorderStyle)
        return;
    TRect client = GetClientRect();
    FBorderStyle = Value;
    if (FHandle) {
        UpdateStyle();
    } else if (!Loading()) {
        TRect inset = FrameInsets();
        SetBounds(FLeft, FTop, client.Width() + inset.Left + inset.Right, client.Height() + inset.Top + inset.Bottom);
    }
}

void TCustomForm::SetBorderIcons(TBorderIcons Value)
{
    if (Value == FBorderIcons)
        return;
    FBorderIcons = Value;
    UpdateStyle();
}

void TCustomForm::SetFormStyle(TFormStyle Value)
{
    if (Value == FFormStyle)
        return;
    FFormStyle = Value;
    if (FHandle)
        SetWindowPos(FHandle, Value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TWindowState TCustomForm::GetWindowState() const
{
    if (FHandle) {
        if (IsIconic(FHandle))
            return wsMinimized;
        if (IsZoomed(FHandle))
            return wsMaximized;
        return wsNormal;
    }
    return FWindowState;
}

void TCustomForm::SetWindowState(TWindowState Value)
{
    FWindowState = Value;
    if (!FHandle || Loading() || !GetVisible())
        return;   // applied when shown
    ShowWindow(FHandle, Value == wsMinimized ? SW_MINIMIZE : Value == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

void TCustomForm::SetActiveControl(TWinControl* Value)
{
    FActiveControl = Value;
    if (Value && FHandle && IsWindowVisible(FHandle) && Value->CanFocus())
        Value->SetFocus();
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TScrollingWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FActiveControl)
        FActiveControl = nullptr;
}

void TCustomForm::SetParent(TWinControl* AParent)
{
    if (AParent == GetParent())
        return;
    DestroyHandle();   // a top-level window and a child window differ in kind
    TScrollingWinControl::SetParent(AParent);
}

// ---- Size ----

void TCustomForm::AdjustSize()
{
    if (FInAdjustSize || Loading())
        return;
    int right = 0, bottom = 0;
    bool any = false;
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (!c->GetVisible() || c->GetAlign() != alNone)
            continue;
        right = std::max(right, c->GetLeft() + c->GetWidth());
        bottom = std::max(bottom, c->GetTop() + c->GetHeight());
        any = true;
    }
    if (!any)
        return;
    FInAdjustSize = true;
    TRect inset = FrameInsets();
    if (FHandle) {
        RECT w, c;
        GetWindowRect(FHandle, &w);
        ::GetClientRect(FHandle, &c);
        inset = TRect(0, 0, (w.right - w.left) - c.right, (w.bottom - w.top) - c.bottom);
    }
    SetBounds(FLeft, FTop, right + inset.Left + inset.Right, bottom + inset.Top + inset.Bottom);
    FInAdjustSize = false;
}

// ---- Painting ----

void TCustomForm::PaintWindow(HDC DC)
{
    TScrollingWinControl::PaintWindow(DC);
    FCanvas->PaintWith(DC, [this] { Paint(); });
}

void TCustomForm::Paint()
{
    if (OnPaint)
        OnPaint(this);
}

void TCustomForm::KeyDown(WORD& Key, TShiftState Shift)
{
    TScrollingWinControl::KeyDown(Key, Shift);
}

// ---- Events ----

void TCustomForm::DoCreate()
{
    if (OnCreate)
        OnCreate(this);
}

void TCustomForm::DoDestroy()
{
    if (OnDestroy)
        OnDestroy(this);
}

void TCustomForm::DoShow()
{
    if (OnShow)
        OnShow(this);
}

void TCustomForm::DoHide()
{
    if (OnHide)
        OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& Action)
{
    if (OnClose)
        OnClose(this, Action);
}

void TCustomForm::Loaded()
{
    TScrollingWinControl::Loaded();
    if (GetAutoSize())
        AdjustSize();
    if (GetVisible() && !GetParent())
        VisibleChanged();   // a layout that says Visible = True shows the form now
}
