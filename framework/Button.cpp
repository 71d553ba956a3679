#include "framework/StdCtrls.h"

TClass TButton::StaticClass()
{
    static const TClass Class = PublishWinControl(TPublished<TButton, TCustomControl>("TButton"), clBtnFace, false, true)
        .Property("Caption", &TButton::GetCaption, &TButton::SetCaption)
        .Property("Cancel", &TButton::GetCancel, &TButton::SetCancel, Default(false))
        .Property("Default", &TButton::GetDefault, &TButton::SetDefault, Default(false))
        .Property("ModalResult", &TButton::GetModalResult, &TButton::SetModalResult, Default(mrNone));
    return Class;
}

TButton::TButton(TComponent* AOwner) : TCustomControl(AOwner)
{
    // A quick second click is a second click, not a double click.
    FControlStyle >> csDoubleClicks;
    FControlStyle << csSetCaption;
    SetBounds(0, 0, 75, 25);
    SetColor(clBtnFace);
    SetTabStop(true);
}

void TButton::SetDefault(bool Value)
{
    if (Value == FDefault)
        return;
    FDefault = Value;
    Invalidate();
}

void TButton::Click()
{
    if (FModalResult != mrNone)
        if (TCustomForm* form = GetParentForm(this))
            form->SetModalResult(FModalResult);
    TCustomControl::Click();
}

void TButton::SetDown(bool Value)
{
    if (Value == FDown)
        return;
    FDown = Value;
    Invalidate();
}

void TButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft) {
        FTracking = true;
        SetDown(true);
        if (CanFocus())
            SetFocus();
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TButton::MouseMove(TShiftState Shift, int X, int Y)
{
    if (FTracking)
        SetDown(HitTest(X, Y));
    TCustomControl::MouseMove(Shift, X, Y);
}

void TButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft) {
        FTracking = false;
        SetDown(false);
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TButton::KeyPress(char& Key)
{
    TCustomControl::KeyPress(Key);
    if (Key == ' ' || Key == '\r') {
        Key = 0;
        Click();
    }
}

void TButton::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_DIALOGKEY:
        if ((Message.WParam == VK_RETURN && FDefault) || (Message.WParam == VK_ESCAPE && FCancel)) {
            Message.Result = 1;
            Click();
        }
        return;
    case CM_WANTSPECIALKEY:
        Message.Result = Message.WParam == VK_RETURN ? 1 : 0;
        return;
    default:
        TCustomControl::WndProc(Message);
    }
}

void TButton::Paint()
{
    HDC dc = GetCanvas()->GetHandle();
    TRect rect = GetClientRect();
    if (FDefault || Focused())
        Frame3D(dc, rect, clWindowFrame, clWindowFrame, 1);
    if (FDown) {
        // Pressed: a flat shadow ring, the caption one pixel down and right.
        Frame3D(dc, rect, clBtnShadow, clBtnShadow, 1);
        rect = TRect(rect.Left + 1, rect.Top + 1, rect.Right, rect.Bottom);
    } else {
        DrawRaisedEdge(dc, rect);
    }
    FillSolid(dc, rect, GetColor());
    const AnsiString caption = GetCaption();
    if (!caption.empty())
        DrawControlText(dc, GetFont(), caption, rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER,
                        GetEnabled() ? GetFont()->GetColor() : clGrayText);
}

namespace {

TButton* FindDialogButton(TWinControl* Container, WORD Key)
{
    for (int i = 0; i < Container->ControlCount(); ++i) {
        TControl* child = Container->Controls(i);
        if (!child->GetVisible() || !child->GetEnabled())
            continue;
        if (auto* button = dynamic_cast<TButton*>(child)) {
            if ((Key == VK_RETURN && button->GetDefault()) || (Key == VK_ESCAPE && button->GetCancel()))
                return button;
        } else if (auto* inner = dynamic_cast<TWinControl*>(child)) {
            if (TButton* found = FindDialogButton(inner, Key))
                return found;
        }
    }
    return nullptr;
}

}   // namespace

bool ClickDialogButton(TWinControl* Container, WORD Key)
{
    if (!Container || (Key != VK_RETURN && Key != VK_ESCAPE))
        return false;
    TButton* button = FindDialogButton(Container, Key);
    if (!button)
        return false;
    button->Click();
    return true;
}
