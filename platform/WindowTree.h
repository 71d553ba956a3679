#pragma once
// The window layer's own bookkeeping, internal to platform/: window objects in a
// generation-checked table, the tree and its z-order, and geometry helpers.
//
// Invariants:
// - Window::rect is in the parent's client coordinates (screen coordinates for a top-level
//   window); children are listed topmost first, as are the top-level windows.
// - Window::region and Window::update are in window coordinates (non-client area included).
// - Only top-level windows own a PixelSurface; a child draws into its top-level's one at
//   surfaceOrigin(). Surface coordinates of a top-level window equal its window coordinates.
// - A WindowObject pointer is never kept across a call into a window procedure: the procedure
//   may destroy the window. Look the handle up again.
#include <pixman.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/GdiObjects.h"
#include "platform/HandleTable.h"
#include "platform/Windows.h"

struct WindowClass
{
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HCURSOR cursor = 0;
    HBRUSH background = 0;
};

// A pixman region that cleans up after itself.
struct Region
{
    pixman_region32_t r;
    Region() { pixman_region32_init(&r); }
    explicit Region(const RECT& rect)
    {
        pixman_region32_init_rect(&r, rect.left, rect.top, uint32_t(std::max(0, int(rect.right - rect.left))),
                                  uint32_t(std::max(0, int(rect.bottom - rect.top))));
    }
    Region(const Region& other) { pixman_region32_init(&r); pixman_region32_copy(&r, &other.r); }
    Region& operator=(const Region& other) { pixman_region32_copy(&r, &other.r); return *this; }
    ~Region() { pixman_region32_fini(&r); }
    pixman_region32_t* get() { return &r; }
    bool empty() const { return !pixman_region32_not_empty(const_cast<pixman_region32_t*>(&r)); }
    void clear() { pixman_region32_clear(&r); }
    void add(const Region& o) { pixman_region32_union(&r, &r, const_cast<pixman_region32_t*>(&o.r)); }
    void add(const RECT& rc) { add(Region(rc)); }
    void intersect(const Region& o) { pixman_region32_intersect(&r, &r, const_cast<pixman_region32_t*>(&o.r)); }
    void intersect(const RECT& rc) { intersect(Region(rc)); }
    void subtract(const Region& o) { pixman_region32_subtract(&r, &r, const_cast<pixman_region32_t*>(&o.r)); }
    void subtract(const RECT& rc) { subtract(Region(rc)); }
    void offset(int dx, int dy) { pixman_region32_translate(&r, dx, dy); }
    bool contains(int x, int y) const
    {
        return pixman_region32_contains_point(const_cast<pixman_region32_t*>(&r), x, y, nullptr);
    }
    RECT bounds() const
    {
        const pixman_box32_t* b = pixman_region32_extents(const_cast<pixman_region32_t*>(&r));
        return empty() ? RECT{} : RECT{b->x1, b->y1, b->x2, b->y2};
    }
};

struct WindowObject
{
    HWND handle = 0;
    WindowClass cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = 0;   // child windows only
    HWND owner = 0;    // top-level windows only
    std::vector<HWND> children;
    RECT rect{};
    RECT restoreRect{};
    bool hasRestoreRect = false;
    std::string text;
    // Top-level windows: what the task bar shows instead of the text (SetWindowTaskbarTextA).
    bool hasTaskbarText = false;
    std::string taskbarText;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    HRGN region = 0;
    Region update;
    bool erasePending = false;
    bool destroying = false;
    bool fullScreen = false;
    bool hiddenWithOwner = false;   // hidden because its owner was minimised
    bool shapePending = false;      // top-level windows: the display has not had the region yet
    // Top-level windows only: the pixels, and what was drawn since the last present.
    PixelSurface surface;
    std::vector<uint32_t> pixels;
    Region damage;
    // The shape the display has (shapeShown) and what it is: a region set again unchanged,
    // as a layout does when any part of it changes, is not sent again.
    bool shapeShown = false;
    Region shownShape;
    // visibleRegion() as last built (index: client area only), valid while the tree
    // generation it was built in lasts.
    Region visibleCache[2];
    uint64_t visibleCacheGeneration[2] = {0, 0};
};

// Bumped by every change that can move what a window shows or where the pointer finds it:
// windows created or destroyed, rectangles, styles, regions, parents and z-order. What is
// derived from the tree alone may be kept while the generation stays the same.
uint64_t windowTreeGeneration();
void windowTreeChanged();

HandleTable<WindowObject>& windowTable();
WindowObject* windowOf(HWND window);
std::vector<HWND>& topLevelWindows();
// The list a window is stacked in: its parent's children, or the top-level list.
std::vector<HWND>* siblingList(const WindowObject& w);

bool isTopLevel(const WindowObject& w);
HWND topLevelOf(HWND window);
// WS_VISIBLE on the window and every ancestor.
bool visibleChain(const WindowObject& w);
bool enabledChain(const WindowObject& w);

int rectWidth(const RECT& r);
int rectHeight(const RECT& r);
bool ptInRect(const RECT& r, int x, int y);
RECT offsetRect(RECT r, int dx, int dy);
RECT intersectRects(const RECT& a, const RECT& b);

// The client area in window coordinates.
RECT clientRectInWindow(const WindowObject& w);
// The window's top-left corner on the screen.
POINT windowScreenOrigin(const WindowObject& w);
// The window's top-left corner in its top-level window's surface.
POINT surfaceOrigin(const WindowObject& w);
// The window's own area (its rectangle cut by its region) in window coordinates.
Region windowShape(const WindowObject& w);
// Gives the display the regions of the top-level windows set since it last had them: once per
// turn of the message loop, however often a layout changed them meanwhile.
void markShapePending(WindowObject& w);
void applyPendingShapes();
void applyPendingShape(WindowObject& w);
// What of the window (or of its client area) can be seen, in surface coordinates: its shape,
// cut by its ancestors' client areas and shapes and by the visible siblings above it at each
// level; with WS_CLIPCHILDREN also minus its visible children. Kept until the tree changes.
const Region& visibleRegion(WindowObject& w, bool clientOnly);

// Re-fits a top-level window's surface to its size, keeping the pixels that remain in place.
void fitSurface(WindowObject& w);
// The surface pixels a window DC draws on, or null.
PixelSurface* windowSurface(HWND window);
// Marks part of a top-level surface (surface coordinates) as needing presentation.
void addDamage(HWND window, const Region& surfaceArea);
// Whether damage was added since the last call: most turns of the loop have none to present.
bool takeDamageAdded();

// The user-interface thread: the one that created the first window.
void noteUiThread();
bool onUiThread();

// Tests: destroys every window, resets capture, focus, timers and the queue.
void destroyAllWindows();
