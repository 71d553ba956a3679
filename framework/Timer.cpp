// TTimer: a hidden utility window per timer receives WM_TIMER.
#include "framework/ExtCtrls.h"
#include "framework/TypeInfo.h"

namespace {

constexpr const char* kTimerWindowClass = "LumoTimerWindow";
constexpr UINT_PTR kTimerId = 1;

HWND CreateTimerWindow(WNDPROC Proc, TTimer* Timer)
{
    WNDCLASSA existing{};
    if (!GetClassInfoA(nullptr, kTimerWindowClass, &existing)) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = kTimerWindowClass;
        RegisterClassA(&wc);
    }
    // Never shown: a top-level window without WS_VISIBLE reaches no display surface.
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kTimerWindowClass, "", WS_POPUP, 0, 0, 0, 0, 0, 0, nullptr,
                                  nullptr);
    if (window)
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Timer));
    return window;
}

}   // namespace

TClass TTimer::StaticClass()
{
    static const TClass Class = TPublished<TTimer, TComponent>("TTimer")
        .Property("Enabled", &TTimer::GetEnabled, &TTimer::SetEnabled, Default(true))
        .Property("Interval", &TTimer::GetInterval, &TTimer::SetInterval, Default(1000u))
        .Event("OnTimer", &TTimer::FOnTimer);
    return Class;
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer()
{
    StopTimer();
    if (FWindowHandle && IsWindow(FWindowHandle)) {
        // The window may be inside its own WM_TIMER (OnTimer freed this timer): it must not
        // find its way back to us.
        SetWindowLongPtrA(FWindowHandle, GWLP_USERDATA, 0);
        DestroyWindow(FWindowHandle);
    }
}

void TTimer::SetEnabled(bool Value)
{
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned Value)
{
    if (Value == FInterval)
        return;
    FInterval = Value;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value)
{
    FOnTimer = std::move(Value);
    UpdateTimer();
}

void TTimer::Loaded()
{
    TComponent::Loaded();
    UpdateTimer();
}

void TTimer::StopTimer()
{
    if (FRunning && IsWindow(FWindowHandle))
        KillTimer(FWindowHandle, kTimerId);
    FRunning = false;
}

void TTimer::UpdateTimer()
{
    if (ComponentState().Contains(csLoading))
        return;
    StopTimer();
    if (!FEnabled || FInterval == 0 || !FOnTimer)
        return;
    if (!FWindowHandle || !IsWindow(FWindowHandle))
        FWindowHandle = CreateTimerWindow(&TTimer::WndProc, this);
    if (!FWindowHandle)
        throw EOutOfResources("Not enough timers available");
    if (!SetTimer(FWindowHandle, kTimerId, FInterval, nullptr))
        throw EOutOfResources("Not enough timers available");
    FRunning = true;
}

void TTimer::Timer()
{
    if (FOnTimer)
        FOnTimer(this);
}

LRESULT TTimer::WndProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if (Message == WM_TIMER && WParam == kTimerId) {
        auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
        if (timer && timer->FRunning)
            timer->Timer();   // may free the timer: nothing touches it afterwards
        return 0;
    }
    return DefWindowProcA(Window, Message, WParam, LParam);
}
