#pragma once
// Mouse and keyboard state of the window layer and the routing of display input into
// window messages. Internal to platform/.
#include "platform/Windows.h"
#include "platform/display/DisplayBackend.h"

struct InputState
{
    HWND capture = 0;
    HWND focus = 0;
    HWND active = 0;
    // Where the pointer is, from the last pointer event read from the display.
    POINT cursor{};
    bool cursorKnown = false;
    // Whom the last WM_SETCURSOR asked, and for which part of it.
    HWND cursorChosenBy = 0;
    LRESULT cursorChosenFor = 0;
    HCURSOR cursorShape = 32512;
    bool keys[256] = {};
    // The last press, to recognise a double click.
    HWND lastPressWindow = 0;
    int lastPressButton = -1;
    int64_t lastPressMs = 0;
    POINT lastPressAt{};
    bool lastWasDouble = false;
};
InputState& inputState();

// Turns one display event into window messages (posted to the queue, as input is).
void routeInput(const InputEvent& event);
// A window is going away: capture, focus and activation leave it.
void forgetWindow(HWND window);
