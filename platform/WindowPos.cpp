// Position, size, z-order, visibility, window regions and coordinate mapping.
#include <algorithm>
#include <utility>

#include "platform/MouseInput.h"
#include "platform/Painting.h"
#include "platform/WindowTree.h"
#include "platform/display/DisplayBackend.h"

namespace {

bool isTopmost(HWND h)
{
    const WindowObject* o = windowOf(h);
    return o && (o->exStyle & WS_EX_TOPMOST);
}

// Moves the window within its sibling list; true when its place changed.
bool restack(WindowObject& w, HWND after)
{
    std::vector<HWND>* list = siblingList(w);
    if (!list)
        return false;
    std::vector<HWND> before = *list;
    windowTreeChanged();
    std::erase(*list, w.handle);
    bool top = isTopLevel(w);
    auto firstPlain = [&] {
        return top ? std::find_if(list->begin(), list->end(), [](HWND h) { return !isTopmost(h); })
                   : list->begin();
    };
    if (after == HWND_TOPMOST && top) {
        w.exStyle |= WS_EX_TOPMOST;
        list->insert(list->begin(), w.handle);
    } else if (after == HWND_NOTOPMOST && top) {
        w.exStyle &= ~WS_EX_TOPMOST;
        list->insert(firstPlain(), w.handle);
    } else if (after == HWND_BOTTOM) {
        w.exStyle &= ~WS_EX_TOPMOST;
        list->push_back(w.handle);
    } else if (auto it = std::find(list->begin(), list->end(), after);
               after != HWND_TOP && it != list->end()) {
        list->insert(it + 1, w.handle);
    } else {
        list->insert((w.exStyle & WS_EX_TOPMOST) ? list->begin() : firstPlain(), w.handle);
    }
    return *list != before;
}

// An owned window stays above its owner: raising the owner raises what it owns with it,
// in their order, so a dialog never ends up behind the window it belongs to.
void raiseOwned(HWND owner, int depth = 0)
{
    if (depth > 8)
        return;   // owners set through GWLP_HWNDPARENT could form a loop
    std::vector<HWND> owned;
    for (HWND h : topLevelWindows())
        if (const WindowObject* o = windowOf(h); o && o->owner == owner)
            owned.push_back(h);
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
        if (WindowObject* o = windowOf(*it)) {
            restack(*o, HWND_TOP);
            raiseOwned(*it, depth + 1);
        }
    }
}

// Minimising a window hides the windows it owns; restoring it shows them again, and gives
// a modal one (its owner is disabled) the activation back.
void hideOwned(HWND owner)
{
    for (HWND h : std::vector<HWND>(topLevelWindows())) {
        WindowObject* o = windowOf(h);
        if (!o || o->owner != owner || !(o->style & WS_VISIBLE))
            continue;
        o->hiddenWithOwner = true;
        SendMessageA(h, WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING);
        if (IsWindow(h))
            SetWindowPos(h, 0, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void showOwned(HWND owner)
{
    HWND modal = 0;
    for (HWND h : std::vector<HWND>(topLevelWindows())) {
        WindowObject* o = windowOf(h);
        if (!o || o->owner != owner || !o->hiddenWithOwner)
            continue;
        o->hiddenWithOwner = false;
        SendMessageA(h, WM_SHOWWINDOW, TRUE, SW_PARENTOPENING);
        if (IsWindow(h))
            SetWindowPos(h, 0, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (!modal && IsWindowEnabled(h))
            modal = h;
    }
    if (modal && !IsWindowEnabled(owner))
        SetActiveWindow(modal);
}

Region placeInParent(const WindowObject& w)
{
    Region area = windowShape(w);
    area.offset(w.rect.left, w.rect.top);
    return area;
}

void activateNextTopLevel(HWND leaving)
{
    for (HWND top : topLevelWindows()) {
        const WindowObject* o = windowOf(top);
        if (top != leaving && o && !o->destroying && (o->style & WS_VISIBLE) &&
            !(o->style & (WS_DISABLED | WS_MINIMIZE)) && !(o->exStyle & WS_EX_TOOLWINDOW)) {
            SetActiveWindow(top);
            return;
        }
    }
    SetActiveWindow(0);
}

// A frameless top-level window covering the screen asks the display for full screen.
void updateFullScreen(WindowObject& w)
{
    SIZE screen = displayBackend().screenSize();
    bool full = (w.style & WS_VISIBLE) && !(w.style & (WS_CAPTION | WS_THICKFRAME)) &&
                w.rect.left <= 0 && w.rect.top <= 0 && w.rect.right >= screen.cx &&
                w.rect.bottom >= screen.cy;
    if (full != w.fullScreen) {
        w.fullScreen = full;
        displayBackend().setFullScreen(w.handle, full);
    }
}

void sendSize(HWND window, WPARAM kind)
{
    RECT client;
    GetClientRect(window, &client);
    SendMessageA(window, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
}

}  // namespace

RECT ClampedWindowRect(int x, int y, int width, int height)
{
    x = std::clamp(x, -kMaxWindowCoord, kMaxWindowCoord);
    y = std::clamp(y, -kMaxWindowCoord, kMaxWindowCoord);
    width = std::clamp(width, 0, kMaxWindowSide);
    height = std::clamp(height, 0, kMaxWindowSide);
    return RECT{x, y, x + width, y + height};
}

BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    const RECT asked = ClampedWindowRect(x, y, width, height);
    WINDOWPOS pos{window, after, asked.left, asked.top, rectWidth(asked), rectHeight(asked), flags};
    if ((flags & SWP_NOMOVE) || (x == w->rect.left && y == w->rect.top)) {
        pos.flags |= SWP_NOMOVE;
        pos.x = w->rect.left;
        pos.y = w->rect.top;
    }
    if ((flags & SWP_NOSIZE) || (pos.cx == rectWidth(w->rect) && pos.cy == rectHeight(w->rect))) {
        pos.flags |= SWP_NOSIZE;
        pos.cx = rectWidth(w->rect);
        pos.cy = rectHeight(w->rect);
    }
    if (!(flags & SWP_NOSENDCHANGING))
        SendMessageA(window, WM_WINDOWPOSCHANGING, 0, LPARAM(&pos));
    if (!(w = windowOf(window)))
        return FALSE;

    Region oldPlace = placeInParent(*w);
    bool wasVisible = w->style & WS_VISIBLE;
    bool moved = pos.x != w->rect.left || pos.y != w->rect.top;
    bool sized = pos.cx != rectWidth(w->rect) || pos.cy != rectHeight(w->rect);
    // WM_WINDOWPOSCHANGING may have changed the place: clamp again.
    w->rect = ClampedWindowRect(pos.x, pos.y, pos.cx, pos.cy);
    bool restacked = !(pos.flags & SWP_NOZORDER) && restack(*w, pos.hwndInsertAfter);
    if (restacked && isTopLevel(*w))
        raiseOwned(window);
    if (pos.flags & SWP_SHOWWINDOW)
        w->style |= WS_VISIBLE;
    if (pos.flags & SWP_HIDEWINDOW)
        w->style &= ~WS_VISIBLE;
    windowTreeChanged();
    bool visible = w->style & WS_VISIBLE;
    bool reframed = pos.flags & SWP_FRAMECHANGED;

    if (isTopLevel(*w)) {
        if (sized)
            fitSurface(*w);
        if (moved || sized)
            displayBackend().placeSurface(window, w->rect);
        if (restacked)
            displayBackend().restack(topLevelWindows());
        if (visible && !wasVisible) {
            // Told at every showing: a form shown modally once may be shown unowned later.
            // ShowModal disables the other windows before it shows the dialog.
            const WindowObject* owner = windowOf(w->owner);
            displayBackend().setOwner(window, owner ? w->owner : 0, owner && (owner->style & WS_DISABLED));
        }
        if (visible && !wasVisible)
            applyPendingShape(*w);   // shown in its outline from the first frame
        if (visible != wasVisible)
            displayBackend().showSurface(window, visible);
        if (visible && (sized || reframed || !wasVisible))
            invalidateWhole(window);
        updateFullScreen(*w);
    } else if (moved || sized || restacked || reframed || visible != wasVisible) {
        if (wasVisible)
            exposeInParent(w->parent, oldPlace);
        if (visible)
            invalidateWhole(window);
    }

    if (visible && !wasVisible && isTopLevel(*w) && !(pos.flags & SWP_NOACTIVATE))
        SetActiveWindow(window);
    else if (!visible && wasVisible && GetActiveWindow() == window)
        activateNextTopLevel(window);
    SendMessageA(window, WM_WINDOWPOSCHANGED, 0, LPARAM(&pos));
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(window, 0, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND window)
{
    return SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL ShowWindow(HWND window, int command)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    bool top = isTopLevel(*w);
    UINT noActivate = top ? 0 : SWP_NOACTIVATE;
    auto show = [&](UINT extra) {
        if (!(windowOf(window)->style & WS_VISIBLE)) {
            SendMessageA(window, WM_SHOWWINDOW, TRUE, 0);
            if (IsWindow(window))
                SetWindowPos(window, 0, 0, 0, 0, 0,
                             SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | extra);
        } else if (top && !(extra & SWP_NOACTIVATE)) {
            SetActiveWindow(window);
        }
    };

    switch (command) {
    case SW_HIDE:
        if (!wasVisible)
            return FALSE;
        SendMessageA(window, WM_SHOWWINDOW, FALSE, 0);
        if (IsWindow(window))
            SetWindowPos(window, 0, 0, 0, 0, 0,
                         SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        if (!(w->style & WS_MINIMIZE)) {
            if (!(w->style & WS_MAXIMIZE)) {
                w->restoreRect = w->rect;
                w->hasRestoreRect = true;
            }
            w->style |= WS_MINIMIZE;
            windowTreeChanged();
            if (top) {
                hideOwned(window);
                displayBackend().setMinimized(window, true);
            }
            show(SWP_NOACTIVATE);
            if (IsWindow(window))
                SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
        }
        if (GetActiveWindow() == window)
            activateNextTopLevel(window);
        break;
    case SW_SHOWMAXIMIZED: {
        if (w->style & WS_MINIMIZE) {
            w->style &= ~WS_MINIMIZE;
            windowTreeChanged();
            if (top)
                displayBackend().setMinimized(window, false);
        }
        if (!(w->style & WS_MAXIMIZE)) {
            w->restoreRect = w->rect;   // minimising leaves the rectangle as it was
            w->hasRestoreRect = true;
            w->style |= WS_MAXIMIZE;
            windowTreeChanged();
        }
        RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (!top)
            GetClientRect(w->parent, &area);
        show(noActivate);
        SetWindowPos(window, HWND_TOP, area.left, area.top, rectWidth(area), rectHeight(area),
                     SWP_FRAMECHANGED | noActivate);
        if (IsWindow(window) && !(windowOf(window)->style & WS_MINIMIZE))
            sendSize(window, SIZE_MAXIMIZED);
        break;
    }
    default: {
        bool restore = command == SW_SHOWNORMAL || command == SW_RESTORE || command == SW_SHOWDEFAULT;
        bool activate = restore || command == SW_SHOW;
        if (restore && (w->style & WS_MINIMIZE)) {
            w->style &= ~WS_MINIMIZE;
            windowTreeChanged();
            if (top)
                displayBackend().setMinimized(window, false);
            show(activate ? noActivate : SWP_NOACTIVATE);
            if (top && IsWindow(window))
                showOwned(window);
            invalidateWhole(window);
            if (IsWindow(window))
                sendSize(window, (windowOf(window)->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED);
        } else if (restore && (w->style & WS_MAXIMIZE)) {
            w->style &= ~WS_MAXIMIZE;
            windowTreeChanged();
            RECT r = w->hasRestoreRect ? w->restoreRect : w->rect;
            show(activate ? noActivate : SWP_NOACTIVATE);
            SetWindowPos(window, 0, r.left, r.top, rectWidth(r), rectHeight(r),
                         SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
        } else {
            show(activate ? noActivate : SWP_NOACTIVATE);
        }
        break;
    }
    }
    return wasVisible;
}

BOOL IsIconic(HWND window)
{
    const WindowObject* w = windowOf(window);
    return w && (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL IsZoomed(HWND window)
{
    const WindowObject* w = windowOf(window);
    return w && (w->style & WS_MAXIMIZE) ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND window, LPRECT rect)
{
    const WindowObject* w = windowOf(window);
    if (!w || !rect)
        return FALSE;
    POINT o = windowScreenOrigin(*w);
    *rect = RECT{o.x, o.y, o.x + rectWidth(w->rect), o.y + rectHeight(w->rect)};
    return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect)
{
    const WindowObject* w = windowOf(window);
    if (!w || !rect)
        return FALSE;
    RECT client = clientRectInWindow(*w);
    *rect = RECT{0, 0, rectWidth(client), rectHeight(client)};
    return TRUE;
}

namespace {

bool clientScreenOrigin(HWND window, POINT& origin)
{
    const WindowObject* w = windowOf(window);
    if (!w)
        return false;
    POINT o = windowScreenOrigin(*w);
    RECT client = clientRectInWindow(*w);
    origin = POINT{o.x + client.left, o.y + client.top};
    return true;
}

}  // namespace

BOOL ClientToScreen(HWND window, POINT* point)
{
    POINT o;
    if (!point || !clientScreenOrigin(window, o))
        return FALSE;
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point)
{
    POINT o;
    if (!point || !clientScreenOrigin(window, o))
        return FALSE;
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count)
{
    POINT a{}, b{};
    if ((from && !clientScreenOrigin(from, a)) || (to && !clientScreenOrigin(to, b)))
        return 0;
    int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return int(MAKELPARAM(dx, dy));
}

int SetWindowRgn(HWND window, HRGN region, BOOL)
{
    WindowObject* w = windowOf(window);
    if (!w || (region && GetObjectType(region) != OBJ_REGION))
        return 0;
    Region oldPlace = placeInParent(*w);
    HRGN previous = std::exchange(w->region, region);
    windowTreeChanged();
    if (auto* shape = gdiObject<RegionObject>(region))
        shape->windowShape = true;
    // Setting the region the window already has must not delete it.
    if (previous && previous != region)
        DeleteObject(previous);
    if (isTopLevel(*w)) {
        markShapePending(*w);
    } else if (w->style & WS_VISIBLE) {
        exposeInParent(w->parent, oldPlace);
    }
    // Parts the old region hid have never been drawn: paint the whole window again.
    invalidateWhole(window);
    return 1;
}

namespace {

// The windows whose shape the display has yet to have: the loop's every turn asks, and most
// turns there are none.
std::vector<HWND>& pendingShapes()
{
    static std::vector<HWND> pending;
    return pending;
}

}  // namespace

void markShapePending(WindowObject& w)
{
    if (!w.shapePending)
        pendingShapes().push_back(w.handle);
    w.shapePending = true;
}

void applyPendingShape(WindowObject& w)
{
    if (!w.shapePending)
        return;
    w.shapePending = false;
    auto* shape = gdiObject<RegionObject>(w.region);
    if (!shape) {
        if (w.shapeShown)
            displayBackend().setShape(w.handle, nullptr);
        w.shapeShown = false;
        return;
    }
    if (w.shapeShown && pixman_region32_equal(&shape->region, w.shownShape.get()))
        return;
    pixman_region32_copy(w.shownShape.get(), &shape->region);
    w.shapeShown = true;
    displayBackend().setShape(w.handle, &shape->region);
}

void applyPendingShapes()
{
    if (pendingShapes().empty())
        return;
    std::vector<HWND> pending;
    pending.swap(pendingShapes());
    for (HWND window : pending) {
        WindowObject* w = windowOf(window);
        if (w && isTopLevel(*w))
            applyPendingShape(*w);
        else if (w)
            w->shapePending = false;   // a child now: no surface of its own to shape
    }
}

int GetWindowRgn(HWND window, HRGN dest)
{
    const WindowObject* w = windowOf(window);
    if (!w || !w->region)
        return ERROR;
    return CombineRgn(dest, w->region, 0, RGN_COPY);
}

int GetSystemMetrics(int index)
{
    SIZE screen = displayBackend().screenSize();
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
        return screen.cx;
    case SM_CYSCREEN:
        return screen.cy;
    case SM_CYFULLSCREEN:
        return screen.cy - 19;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 16;
    case SM_CYCAPTION:
    case SM_CYMENU:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 18;
    case SM_CYSMCAPTION:
        return 16;
    case SM_CXSMSIZE:
    case SM_CYSMSIZE:
        return 12;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXMAXIMIZED:
        return screen.cx + 8;
    case SM_CYMAXIMIZED:
        return screen.cy + 8;
    }
    return 0;
}
