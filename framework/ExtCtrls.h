#pragma once
// Unit ExtCtrls: the timer component, and the panel.
#include "framework/StdPaint.h"
#include "platform/Windows.h"

enum TBevelCut { bvNone, bvLowered, bvRaised };
extern const TIdentMapEntry<TBevelCut> BevelCutIdents[3];

// A message-driven timer: a hidden utility window receives WM_TIMER from SetTimer and calls
// OnTimer. A platform timer exists only while Enabled, Interval > 0 and OnTimer is set; every
// change restarts it. While the timer is being loaded nothing reaches the platform: Loaded
// starts it.
class TTimer : public TComponent
{
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    unsigned GetInterval() const { return FInterval; }
    void SetInterval(unsigned Value);
    // The handler is a property here, not a plain member, because setting it starts or
    // stops the platform timer.
    const TNotifyEvent& GetOnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent Value);

    void Loaded() override;

protected:
    virtual void Timer();

private:
    static LRESULT WndProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
    void UpdateTimer();
    void StopTimer();

    TNotifyEvent FOnTimer;   // published as OnTimer
    bool FEnabled = true;
    unsigned FInterval = 1000;
    HWND FWindowHandle = 0;
    bool FRunning = false;
};

// A container with the classic 3D look: an outer bevel, a border of Color, an inner bevel,
// and its caption centred vertically.
class TPanel : public TCustomControl
{
public:
    explicit TPanel(TComponent* AOwner);
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    TBevelCut GetBevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut Value) { Change(FBevelInner, Value); }
    TBevelCut GetBevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value) { Change(FBevelOuter, Value); }
    int GetBevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int Value) { Change(FBevelWidth, Value < 1 ? 1 : Value); }
    int GetBorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value) { Change(FBorderWidth, Value < 0 ? 0 : Value); }
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value) { Change(FBorderStyle, Value); }
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value) { Change(FAlignment, Value); }

protected:
    void Paint() override;

private:
    template <class V>
    void Change(V& Field, V Value)
    {
        if (Field == Value)
            return;
        Field = Value;
        Invalidate();
    }

    TBevelCut FBevelInner = bvNone;
    TBevelCut FBevelOuter = bvRaised;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TBorderStyle FBorderStyle = bsNone;
    TAlignment FAlignment = taCenter;
};
