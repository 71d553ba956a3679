#pragma once
// Update regions, paint generation and presentation of the top-level surfaces.
// Internal to platform/.
#include <cstdint>

#include "platform/WindowTree.h"

// Adds area (window coordinates) to the window's update region. Without RDW_FRAME only the
// client part counts. Children share it with RDW_ALLCHILDREN, or unless RDW_NOCHILDREN or
// WS_CLIPCHILDREN keeps them out, as RedrawWindow documents.
void invalidateWindow(HWND window, const Region& area, UINT flags);
// The whole window, frame and children included, to be erased and painted.
void invalidateWhole(HWND window);
// A child's old place (its parent's client coordinates) must be painted again.
void exposeInParent(HWND parent, const Region& area);
// The next visible window with something to paint (frames are painted on the way).
HWND windowNeedingPaint(HWND filter);
// Sends WM_PAINT now if the window has anything to paint; with children also for them.
void paintNow(HWND window, bool children);
// Hands every top-level window's damaged pixels to the display.
void presentDamage();
// Counts BeginPaint and validation calls: DispatchMessageA validates a window whose
// WM_PAINT handler did neither, so that it is not painted forever.
uint64_t validationCount();
void validateWhole(HWND window);
