#pragma once
// The thread-safe message queue of the user-interface thread. Internal to platform/.
#include <functional>

#include "platform/Windows.h"

// Appends a message and wakes the user-interface thread; safe from any thread.
void postToQueue(const MSG& msg);
// Puts a message ahead of everything queued (WM_CHAR after its key press).
void postToQueueFront(const MSG& msg);
void removeQueued(const std::function<bool(const MSG&)>& match);
bool anyQueued(const std::function<bool(const MSG&)>& match);
// Tests: empties the queue and forgets a pending WM_QUIT.
void resetMessageQueue();
// Calls the window procedure on this thread, or 0 for a window that is gone.
LRESULT callWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
