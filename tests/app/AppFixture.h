#pragma once
// The program's windows on a fresh desktop, their classes and compiled-in layouts
// registered; the test-pattern camera is the only capture driver.
#include <memory>

#include "app/Registration.h"
#include "framework/Forms.h"
#include "tests/app/AppClock.h"
#include "tests/support/DesktopFixture.h"

class AppFixture : public DesktopFixture
{
protected:
    AppFixture() : DesktopFixture(LocalMicroseconds(2026, 12, 6, 16, 53, 30, 42)) {}

    void SetUp() override
    {
        DesktopFixture::SetUp();
        App::RegisterAll();
    }

    // Clicks far enough apart in time that two of them never make a double click; the
    // pointer gets there first, as a hand moves it, so hover leaves the last control.
    void click(int x, int y)
    {
        clock->advanceMs(1000);
        display->moveMouse(x, y);
        pump();
        display->click(x, y);
        pump();
    }

    // The screen position of a control's point (x, y).
    static POINT at(TControl* control, int x, int y)
    {
        TPoint p = control->ClientToScreen(TPoint(x, y));
        return POINT{p.X, p.Y};
    }
    // For hooks that run before a modal loop: the clicks wait in the queue for the loop.
    void queueClick(POINT p)
    {
        display->moveMouse(p.x, p.y);
        display->click(p.x, p.y);
    }
    void clickOn(TControl* control, int x = -1, int y = -1)
    {
        POINT p = at(control, x < 0 ? control->GetWidth() / 2 : x, y < 0 ? control->GetHeight() / 2 : y);
        click(p.x, p.y);
    }
};
