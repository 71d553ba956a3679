#include "framework/Forms.h"

#include <algorithm>

// TApplication and TScreen: the message loop, the main form, exceptions and the screen.

TApplication* Application = new TApplication(nullptr);
TScreen* Screen = new TScreen(nullptr);

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner)
{
    SetControlExceptionHandler([this](const std::exception& e) { HandleException(this, e); });
}

TApplication::~TApplication()
{
    if (Application == this)
        SetControlExceptionHandler(nullptr);
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FMainForm)
        FMainForm = nullptr;
    if (AComponent == FMessageBox)
        FMessageBox = nullptr;
    std::erase(FPendingRelease, AComponent);
}

void TApplication::SetTitle(const AnsiString& Value)
{
    FTitle = Value;
    UpdateTaskbarTitle();
}

void TApplication::UpdateTaskbarTitle()
{
    // The classic task bar button is the application's and shows its title, while the main
    // form's caption stays on the form; without a title the form's caption shows.
    if (FMainForm && FMainForm->HandleAllocated())
        SetWindowTaskbarTextA(FMainForm->Handle(), FTitle.empty() ? nullptr : FTitle.c_str());
}

bool TApplication::DispatchOne(bool Wait)
{
    MSG msg;
    bool got = PeekMessageA(&msg, 0, 0, 0, PM_REMOVE);
    // Idle: canvases drawn on outside painting let go of their DCs, and the second look at
    // the queue presents what they drew.
    if (!got && FreeDeviceContexts() > 0)
        got = PeekMessageA(&msg, 0, 0, 0, PM_REMOVE);
    if (got) {
        if (msg.message == WM_QUIT) {
            FTerminated = true;
        } else {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Forms released by their handlers go once the message that released them is done.
    while (!FPendingRelease.empty()) {
        TComponent* form = FPendingRelease.back();
        FPendingRelease.pop_back();
        delete form;
    }
    if (!got && Wait)
        WaitMessage();
    return got;
}

void TApplication::HandleMessage()
{
    try {
        DispatchOne(true);
    } catch (const std::exception& e) {
        HandleException(this, e);
    }
}

void TApplication::ProcessMessages()
{
    // Bounded, so a window that keeps invalidating itself cannot hang the caller.
    for (int i = 0; i < 100000; ++i) {
        try {
            if (!DispatchOne(false))
                break;
        } catch (const std::exception& e) {
            HandleException(this, e);
        }
    }
}

void TApplication::Run()
{
    FRunning = true;
    try {
        if (FMainForm && !FMainForm->GetVisible())
            FMainForm->Show();
        while (!FTerminated && FMainForm)
            HandleMessage();
    } catch (...) {
        FRunning = false;
        throw;
    }
    FRunning = false;
}

void TApplication::Terminate()
{
    FTerminated = true;
    // Wakes a loop waiting for a message, which then sees Terminated.
    if (FMainForm && FMainForm->HandleAllocated())
        PostMessageA(FMainForm->Handle(), WM_NULL, 0, 0);
}

void TApplication::Minimize()
{
    if (FMainForm && FMainForm->HandleAllocated())
        ShowWindow(FMainForm->Handle(), SW_MINIMIZE);
}

void TApplication::Restore()
{
    if (FMainForm && FMainForm->HandleAllocated() && IsIconic(FMainForm->Handle()))
        ShowWindow(FMainForm->Handle(), SW_RESTORE);
}

void TApplication::ShowException(const Exception* E)
{
    if (!E)
        return;
    AnsiString text = E->Message();
    if (!text.empty() && text.back() > '.')
        text += '.';
    MessageBox(text, FTitle, MB_OK | MB_ICONERROR);
}

void TApplication::HandleException(TObject* Sender, const std::exception& E)
{
    const auto* known = dynamic_cast<const Exception*>(&E);
    Exception wrapped(E.what());
    const Exception& error = known ? *known : wrapped;
    if (OnException)
        OnException(Sender, error);
    else
        ShowException(&error);
}

std::vector<HWND> TApplication::DisableTaskWindows(HWND Except)
{
    std::vector<HWND> disabled;
    if (!Screen)
        return disabled;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* form = Screen->Forms(i);
        if (!form->HandleAllocated() || form->GetParent())
            continue;
        HWND window = form->Handle();
        if (window != Except && IsWindowVisible(window) && IsWindowEnabled(window)) {
            EnableWindow(window, FALSE);
            disabled.push_back(window);
        }
    }
    return disabled;
}

void TApplication::EnableTaskWindows(const std::vector<HWND>& Windows)
{
    for (HWND window : Windows)
        if (IsWindow(window))
            EnableWindow(window, TRUE);
}

// ---- TScreen ----

int TScreen::GetWidth() const
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::GetHeight() const
{
    return GetSystemMetrics(SM_CYSCREEN);
}

TCustomForm* TScreen::Forms(int Index) const
{
    if (Index < 0 || Index >= FormCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FForms[size_t(Index)];
}

TCustomForm* TScreen::GetActiveForm() const
{
    HWND active = GetActiveWindow();
    for (TCustomForm* form : FForms)
        if (form->HandleAllocated() && form->Handle() == active)
            return form;
    return nullptr;
}

void TScreen::SetCursor(TCursor Value)
{
    SetGlobalCursor(Value);
}

void TScreen::AddForm(TCustomForm* Form)
{
    FForms.push_back(Form);
}

void TScreen::RemoveForm(TCustomForm* Form)
{
    std::erase(FForms, Form);
}
