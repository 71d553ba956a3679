#pragma once
// The non-client area the platform draws for framed windows: metrics, hit-testing, the
// classic 3D frame and caption, and the caption drag and close-box press that
// DefWindowProcA starts. Internal to platform/.
#include "platform/Windows.h"
#include "platform/display/DisplayBackend.h"

struct WindowObject;

// Frame and caption thickness on each side of the client area.
RECT nonClientInsets(DWORD style, DWORD exStyle);
bool hasCaption(DWORD style);
// In window coordinates; empty when the window has no caption.
RECT captionRect(const WindowObject& w);
// In window coordinates; empty when the window has no close box.
RECT closeBoxRect(const WindowObject& w);

// DefWindowProcA's WM_NCHITTEST answer for a screen point.
LRESULT defaultHitTest(HWND window, POINT screen);
// Draws the frame and caption through a window DC (WM_NCPAINT's default).
void paintNonClient(HWND window);

// Caption drag (HTCAPTION) and close-box press (HTCLOSE), tracked without a modal loop so
// that injected input drives them: the window takes the capture until the button is released.
void beginNonClientTracking(HWND window, LRESULT hit);
// Offers a mouse event to the tracking in progress; true when it was consumed.
bool trackNonClient(const InputEvent& event);
void cancelNonClientTracking();
