#include "framework/Forms.h"

// TCustomForm: showing, hiding, closing and the modal loop.

void TCustomForm::Show()
{
    SetVisible(true);
    BringToFront();
}

void TCustomForm::Hide()
{
    SetVisible(false);
}

void TCustomForm::ApplyPosition()
{
    TCustomForm* center = nullptr;
    switch (FPosition) {
    case poMainFormCenter:
        center = Application ? Application->MainForm() : nullptr;
        break;
    case poOwnerFormCenter:
        center = dynamic_cast<TCustomForm*>(Owner());
        if (!center && Application)
            center = Application->MainForm();
        break;
    case poScreenCenter:
    case poDesktopCenter:
        break;
    default:
        return;
    }
    TRect area(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (center && center != this && center->HandleAllocated())
        area = center->GetBoundsRect();
    SetBounds(area.Left + (area.Width() - FWidth) / 2, area.Top + (area.Height() - FHeight) / 2, FWidth, FHeight);
}

void TCustomForm::VisibleChanged()
{
    if (Loading())
        return;
    if (GetParent()) {
        TScrollingWinControl::VisibleChanged();
        return;
    }
    if (GetVisible()) {
        HandleNeeded();
        if (!FPositioned) {
            FPositioned = true;
            ApplyPosition();
        }
        DoShow();
        if (!GetVisible() || !FHandle)
            return;   // OnShow hid or freed the window
        int command = FWindowState == wsMinimized   ? SW_SHOWMINIMIZED
                      : FWindowState == wsMaximized ? SW_SHOWMAXIMIZED
                                                    : SW_SHOWNORMAL;
        ShowWindow(FHandle, command);
        if (FActiveControl && FActiveControl->CanFocus())
            FActiveControl->SetFocus();
    } else if (FHandle && IsWindowVisible(FHandle)) {
        DoHide();
        ShowWindow(FHandle, SW_HIDE);
    }
}

bool TCustomForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close()
{
    if (FModal) {
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQuery())
        return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
    }
}

void TCustomForm::Release()
{
    if (Application) {
        Hide();
        Application->FPendingRelease.push_back(this);
        FreeNotification(Application);
        if (FHandle)
            PostMessageA(FHandle, WM_NULL, 0, 0);   // so a waiting loop wakes and frees it
    } else {
        delete this;
    }
}

void TCustomForm::CloseModal()
{
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    if (action == caNone)
        FModalResult = mrNone;
    else if (action == caFree)
        Release();
}

TModalResult TCustomForm::ShowModal()
{
    if (FModal || GetVisible() || !GetEnabled())
        throw EInvalidFormOperation("Cannot make a visible window modal");
    if (!Application)
        throw EInvalidFormOperation("No application for a modal loop");
    SetCaptureControl(nullptr);
    HWND previousActive = GetActiveWindow();
    FModal = true;
    FModalResult = mrNone;
    HandleNeeded();
    // The window that was active owns the dialog while it runs: the window manager keeps it
    // above that window, as its dialog, and a click on the disabled owner brings it forward.
    HWND owner = previousActive && previousActive != FHandle && IsWindowVisible(previousActive) ? previousActive : 0;
    if (!owner && Application->MainForm() && Application->MainForm() != this)
        owner = Application->MainForm()->FHandle;
    const LONG_PTR previousOwner = GetWindowLongPtrA(FHandle, GWLP_HWNDPARENT);
    SetWindowLongPtrA(FHandle, GWLP_HWNDPARENT, LONG_PTR(owner));
    std::vector<HWND> disabled = Application->DisableTaskWindows(FHandle);
    auto finish = [&] {
        Application->EnableTaskWindows(disabled);
        FModal = false;
        if (FHandle && IsWindowVisible(FHandle))
            Hide();
        if (FHandle)
            SetWindowLongPtrA(FHandle, GWLP_HWNDPARENT, previousOwner);
        if (previousActive && IsWindow(previousActive))
            SetActiveWindow(previousActive);
    };
    try {
        Show();
        while (true) {
            Application->HandleMessage();
            if (Application->Terminated() || !FHandle)
                FModalResult = mrCancel;   // the application ends, or the window was destroyed
            else if (FModalResult != mrNone)
                CloseModal();
            if (FModalResult != mrNone)
                break;
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return FModalResult;
}

namespace {

// Offers a dialog key to the showing, enabled controls under Container, depth first, until
// one acts on it.
bool OfferDialogKey(TWinControl* Container, WPARAM Key)
{
    for (int i = 0; i < Container->ControlCount(); ++i) {
        TControl* child = Container->Controls(i);
        if (!child->GetVisible() || !child->GetEnabled())
            continue;
        if (child->Perform(CM_DIALOGKEY, Key, 0))
            return true;
        auto* inner = dynamic_cast<TWinControl*>(child);
        if (inner && !dynamic_cast<TCustomForm*>(child) && OfferDialogKey(inner, Key))
            return true;
    }
    return false;
}

}   // namespace

void TCustomForm::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_CLOSE:
        Close();
        Message.Result = 0;
        return;
    case CM_DIALOGKEY:
        Message.Result = OfferDialogKey(this, Message.WParam) ? 1 : 0;
        return;
    case WM_ACTIVATE:
        TScrollingWinControl::WndProc(Message);
        if (LOWORD(Message.WParam) != WA_INACTIVE) {
            if (OnActivate)
                OnActivate(this);
        } else if (OnDeactivate) {
            OnDeactivate(this);
        }
        return;
    default:
        TScrollingWinControl::WndProc(Message);
    }
}
