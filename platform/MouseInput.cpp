// Hit-testing, mouse and keyboard routing, capture, focus, activation and the cursor.
#include "platform/MouseInput.h"

#include <cstdlib>

#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/NonClient.h"
#include "platform/WindowTree.h"

InputState& inputState()
{
    static InputState state;
    return state;
}

// ---- Hit-testing ----

namespace {

bool shows(const WindowObject& w)
{
    return (w.style & WS_VISIBLE) && !(w.style & WS_MINIMIZE);
}

// Whether (x, y) in window coordinates is inside the window's shape: windowShape() without
// building the region, since every move asks this of every window on its way down.
bool shapeContains(const WindowObject& w, int x, int y)
{
    if (x < 0 || y < 0 || x >= rectWidth(w.rect) || y >= rectHeight(w.rect))
        return false;
    auto* region = gdiObject<RegionObject>(w.region);
    return !region || pixman_region32_contains_point(&region->region, x, y, nullptr);
}

// (x, y) in w's window coordinates, inside its shape.
HWND deepestAt(const WindowObject& w, int x, int y)
{
    RECT client = clientRectInWindow(w);
    if (!ptInRect(client, x, y))
        return w.handle;
    int cx = x - client.left, cy = y - client.top;
    for (HWND child : w.children) {
        const WindowObject* c = windowOf(child);
        if (!c || !shows(*c) || !ptInRect(c->rect, cx, cy))
            continue;
        if (shapeContains(*c, cx - c->rect.left, cy - c->rect.top))
            return deepestAt(*c, cx - c->rect.left, cy - c->rect.top);
    }
    return w.handle;
}

HWND searchWindowAt(POINT point)
{
    for (HWND top : topLevelWindows()) {
        const WindowObject* w = windowOf(top);
        if (!w || !shows(*w) || !ptInRect(w->rect, point.x, point.y))
            continue;
        int x = point.x - w->rect.left, y = point.y - w->rect.top;
        if (shapeContains(*w, x, y))
            return deepestAt(*w, x, y);
    }
    return 0;
}

}  // namespace

HWND WindowFromPoint(POINT point)
{
    // Routing a move finds the window under it, and the controls it reaches ask again for
    // the same point: the answer holds until the tree changes.
    thread_local struct
    {
        uint64_t generation = 0;
        POINT point{};
        HWND window = 0;
    } last;
    const uint64_t now = windowTreeGeneration();
    if (last.generation != now || last.point.x != point.x || last.point.y != point.y)
        last = {now, point, searchWindowAt(point)};
    return last.window;
}

HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags)
{
    const WindowObject* p = windowOf(parent);
    if (!p)
        return 0;
    RECT client = clientRectInWindow(*p);
    if (!ptInRect(RECT{0, 0, rectWidth(client), rectHeight(client)}, point.x, point.y))
        return 0;
    for (HWND child : p->children) {
        const WindowObject* c = windowOf(child);
        if (!c || !ptInRect(c->rect, point.x, point.y))
            continue;
        if ((flags & CWP_SKIPINVISIBLE) && !(c->style & WS_VISIBLE))
            continue;
        if ((flags & CWP_SKIPDISABLED) && (c->style & WS_DISABLED))
            continue;
        if (shapeContains(*c, point.x - c->rect.left, point.y - c->rect.top))
            return child;
    }
    return parent;
}

HWND ChildWindowFromPoint(HWND parent, POINT point)
{
    return ChildWindowFromPointEx(parent, point, CWP_ALL);
}

// ---- Routing ----

namespace {

constexpr int kButtonKeys[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};

WPARAM mouseKeys()
{
    const InputState& s = inputState();
    WPARAM keys = 0;
    if (s.keys[VK_LBUTTON]) keys |= MK_LBUTTON;
    if (s.keys[VK_RBUTTON]) keys |= MK_RBUTTON;
    if (s.keys[VK_MBUTTON]) keys |= MK_MBUTTON;
    if (s.keys[VK_SHIFT]) keys |= MK_SHIFT;
    if (s.keys[VK_CONTROL]) keys |= MK_CONTROL;
    return keys;
}

UINT buttonMessage(const InputEvent& e, bool doubleClick)
{
    int button = std::clamp(e.button, 0, 2);
    if (e.kind == InputEvent::MouseMove)
        return WM_MOUSEMOVE;
    UINT down = button == 0 ? WM_LBUTTONDOWN : button == 1 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    if (e.kind == InputEvent::MouseUp)
        return down + 1;
    return doubleClick ? down + 2 : down;
}

// Whether this press completes a double click on the same window and button.
bool isDoubleClick(HWND target, const InputEvent& e, bool clientArea)
{
    InputState& s = inputState();
    int64_t now = currentClock().monotonicMs();
    bool same = s.lastPressWindow == target && s.lastPressButton == e.button && !s.lastWasDouble &&
                now - s.lastPressMs <= int64_t(GetDoubleClickTime()) &&
                std::abs(e.x - s.lastPressAt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                std::abs(e.y - s.lastPressAt.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    const WindowObject* w = windowOf(target);
    bool wanted = !clientArea || (w && (w->cls.style & CS_DBLCLKS));
    bool result = same && wanted;
    s.lastPressWindow = target;
    s.lastPressButton = e.button;
    s.lastPressMs = now;
    s.lastPressAt = POINT{e.x, e.y};
    s.lastWasDouble = result;
    return result;
}

// A press on a window its modal dialog disabled brings that dialog forward and activates
// it, so a window that seems to ignore the click shows why.
void bringOwnedForward(HWND owner)
{
    for (HWND top : topLevelWindows()) {   // the topmost first
        const WindowObject* o = windowOf(top);
        if (!o || o->destroying || !(o->style & WS_VISIBLE) || (o->style & WS_DISABLED))
            continue;
        HWND chain = o->owner;
        for (int depth = 0; chain && chain != owner && depth < 8; ++depth)
            chain = windowOf(chain) ? windowOf(chain)->owner : 0;
        if (chain == owner) {
            SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            SetActiveWindow(top);
            return;
        }
    }
}

// A press on an inactive top-level window asks the window, activates the window and brings
// it forward. False when the window eats the press.
bool activateOnPress(HWND target, LRESULT hit, UINT message)
{
    HWND top = topLevelOf(target);
    if (!top || top == inputState().active)
        return true;
    LRESULT answer = SendMessageA(target, WM_MOUSEACTIVATE, top, MAKELPARAM(int(hit), int(message)));
    if (answer == MA_NOACTIVATE || answer == MA_NOACTIVATEANDEAT)
        return answer == MA_NOACTIVATE;
    if (IsWindow(top)) {
        SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetActiveWindow(top);
    }
    return answer != MA_ACTIVATEANDEAT;
}

// The window under the pointer and its one hit-test answer, which the cursor, the activation
// and the message itself all use. No target: the event goes to nobody (no window there, a
// transparent part, a disabled window).
struct Hit
{
    HWND target = 0;
    LRESULT code = HTCLIENT;
};

Hit hitTest(const InputEvent& e)
{
    HWND target = WindowFromPoint(POINT{e.x, e.y});
    if (!target)
        return {};
    LRESULT code = SendMessageA(target, WM_NCHITTEST, 0, MAKELPARAM(e.x, e.y));
    if (!IsWindow(target) || code == HTNOWHERE || code == HTTRANSPARENT)
        return {};
    const WindowObject* w = windowOf(target);
    if (!w || !enabledChain(*w)) {
        if (e.kind == InputEvent::MouseDown)
            bringOwnedForward(topLevelOf(target));
        return {};   // a disabled window gets no mouse input
    }
    return Hit{target, code};
}

bool choosingCursor = false;

// WM_SETCURSOR on every move; a press or release asks again only where the last answer was
// for another window or another part of it: the cursor it chose is still the one shown.
void chooseCursor(const Hit& hit, const InputEvent& e, UINT message)
{
    InputState& s = inputState();
    if (e.kind != InputEvent::MouseMove && hit.target == s.cursorChosenBy && hit.code == s.cursorChosenFor)
        return;
    struct Choosing   // over again should the window procedure throw
    {
        Choosing() { choosingCursor = true; }
        ~Choosing() { choosingCursor = false; }
    } choosing;
    SendMessageA(hit.target, WM_SETCURSOR, hit.target, MAKELPARAM(int(hit.code), int(message)));
    s.cursorChosenBy = hit.target;
    s.cursorChosenFor = hit.code;
}

// The message a mouse event becomes for its target: client coordinates in the client area,
// the hit-test answer and screen coordinates elsewhere.
MSG mouseMessage(const Hit& hit, const InputEvent& e)
{
    InputState& s = inputState();
    bool client = hit.code == HTCLIENT;
    bool doubleClick = e.kind == InputEvent::MouseDown && isDoubleClick(hit.target, e, client);
    UINT message = buttonMessage(e, doubleClick);
    MSG msg{hit.target, message, 0, 0, GetTickCount(), s.cursor};
    if (client) {
        POINT p = s.cursor;
        ScreenToClient(hit.target, &p);
        msg.wParam = mouseKeys();
        msg.lParam = MAKELPARAM(p.x, p.y);
    } else {
        msg.message = message - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
        msg.wParam = WPARAM(hit.code);
        msg.lParam = MAKELPARAM(e.x, e.y);
    }
    return msg;
}

void routeMouse(const InputEvent& e)
{
    InputState& s = inputState();
    int button = std::clamp(e.button, 0, 2);
    if (e.kind == InputEvent::MouseDown || e.kind == InputEvent::MouseUp)
        s.keys[kButtonKeys[button]] = e.kind == InputEvent::MouseDown;
    if (trackNonClient(e))
        return;

    // With the capture the window takes the input as it comes: no hit-test, no cursor choice.
    Hit hit{s.capture, HTCLIENT};
    if (IsWindow(hit.target)) {
        s.cursorChosenBy = 0;   // the captured window may set any cursor meanwhile
    } else {
        hit = hitTest(e);
        if (!hit.target)
            return;
        UINT probe = buttonMessage(e, false);
        chooseCursor(hit, e, probe);
        if (e.kind == InputEvent::MouseDown && !activateOnPress(hit.target, hit.code, probe))
            return;
        if (!IsWindow(hit.target))
            return;
    }
    postToQueue(mouseMessage(hit, e));
}

// What the window system did to a top-level window on its own: the window layer follows.
void routeSurfaceEvent(const InputEvent& e)
{
    WindowObject* w = windowOf(e.window);
    if (!w || !isTopLevel(*w) || w->destroying)
        return;
    constexpr UINT kQuiet = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    switch (e.kind) {
    case InputEvent::Moved:
        if (e.x != w->rect.left || e.y != w->rect.top)
            SetWindowPos(e.window, 0, e.x, e.y, 0, 0, kQuiet);
        break;
    case InputEvent::Exposed:
        // The pixels are still in the surface: presenting them again is enough.
        addDamage(e.window, Region(RECT{e.x, e.y, e.x + e.width, e.y + e.height}));
        break;
    case InputEvent::Minimized:
        if (!(w->style & WS_MINIMIZE))
            ShowWindow(e.window, SW_MINIMIZE);
        break;
    case InputEvent::Restored:
        if (w->style & WS_MINIMIZE)
            ShowWindow(e.window, SW_RESTORE);
        break;
    default:
        break;
    }
}

void routeKey(const InputEvent& e)
{
    InputState& s = inputState();
    int key = e.key & 0xFF;
    bool down = e.kind == InputEvent::KeyDown;
    bool wasDown = s.keys[key];
    s.keys[key] = down;
    HWND target = IsWindow(s.focus) ? s.focus : s.active;
    const WindowObject* w = windowOf(target);
    if (!w || !enabledChain(*w))
        return;
    bool alt = s.keys[VK_MENU] && key != VK_MENU;
    UINT message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
    // Repeat count 1, bit 30 the previous state, bit 31 set on release.
    LPARAM lParam = down ? LPARAM(1u | (wasDown ? 1u << 30 : 0u)) : LPARAM(1u | 1u << 30 | 1u << 31);
    postToQueue(MSG{target, message, WPARAM(key), lParam, GetTickCount(), s.cursor});
}

}  // namespace

void routeInput(const InputEvent& e)
{
    if (e.kind == InputEvent::MouseMove || e.kind == InputEvent::MouseDown ||
        e.kind == InputEvent::MouseUp || e.kind == InputEvent::MouseWheel) {
        inputState().cursor = POINT{e.x, e.y};
        inputState().cursorKnown = true;
    }
    switch (e.kind) {
    case InputEvent::MouseMove:
    case InputEvent::MouseDown:
    case InputEvent::MouseUp:
        routeMouse(e);
        break;
    case InputEvent::MouseWheel: {
        HWND target = IsWindow(inputState().focus) ? inputState().focus : WindowFromPoint(POINT{e.x, e.y});
        if (target)
            postToQueue(MSG{target, WM_MOUSEWHEEL, WPARAM(mouseKeys() | (WPARAM(uint16_t(e.key)) << 16)),
                            MAKELPARAM(e.x, e.y), GetTickCount(), POINT{e.x, e.y}});
        break;
    }
    case InputEvent::KeyDown:
    case InputEvent::KeyUp:
        routeKey(e);
        break;
    case InputEvent::CloseRequest:
        if (IsWindow(e.window))
            postToQueue(MSG{e.window, WM_SYSCOMMAND, SC_CLOSE, 0, GetTickCount(), inputState().cursor});
        break;
    default:
        routeSurfaceEvent(e);
        break;
    }
}

// ---- Capture, focus, activation ----

HWND SetCapture(HWND window)
{
    InputState& s = inputState();
    if (window && !IsWindow(window))
        return 0;
    HWND previous = s.capture;
    if (previous == window)
        return previous;
    s.capture = window;
    displayBackend().setCapture(topLevelOf(window));
    if (IsWindow(previous))
        SendMessageA(previous, WM_CAPTURECHANGED, 0, LPARAM(window));
    return IsWindow(previous) ? previous : 0;
}

BOOL ReleaseCapture()
{
    SetCapture(0);
    return TRUE;
}

HWND GetCapture()
{
    HWND capture = inputState().capture;
    return IsWindow(capture) ? capture : 0;
}

HWND SetFocus(HWND window)
{
    InputState& s = inputState();
    if (window && !IsWindow(window))
        return 0;
    HWND previous = IsWindow(s.focus) ? s.focus : 0;
    if (previous == window)
        return previous;
    if (window && topLevelOf(window) != s.active) {
        SetActiveWindow(topLevelOf(window));
        if (s.focus == window)
            return previous;   // activation already moved the focus there
        previous = IsWindow(s.focus) ? s.focus : 0;
    }
    s.focus = window;
    if (previous)
        SendMessageA(previous, WM_KILLFOCUS, window, 0);
    if (window && s.focus == window && IsWindow(window))
        SendMessageA(window, WM_SETFOCUS, previous, 0);
    return previous;
}

HWND GetFocus()
{
    HWND focus = inputState().focus;
    return IsWindow(focus) ? focus : 0;
}

HWND SetActiveWindow(HWND window)
{
    InputState& s = inputState();
    window = topLevelOf(window);
    HWND previous = IsWindow(s.active) ? s.active : 0;
    if (previous == window)
        return previous;
    s.active = window;
    if (previous) {
        SendMessageA(previous, WM_NCACTIVATE, FALSE, 0);
        SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, LPARAM(window));
    }
    if (s.active != window)
        return previous;   // a handler activated something else
    if (IsWindow(s.focus) && topLevelOf(s.focus) != window) {
        HWND lost = s.focus;
        s.focus = 0;
        SendMessageA(lost, WM_KILLFOCUS, 0, 0);
    }
    if (IsWindow(window)) {
        SendMessageA(window, WM_NCACTIVATE, TRUE, 0);
        SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, LPARAM(previous));
    }
    return previous;
}

HWND GetActiveWindow()
{
    HWND active = inputState().active;
    return IsWindow(active) ? active : 0;
}

HWND GetForegroundWindow()
{
    return GetActiveWindow();
}

BOOL SetForegroundWindow(HWND window)
{
    if (!IsWindow(window))
        return FALSE;
    SetWindowPos(topLevelOf(window), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetActiveWindow(window);
    return TRUE;
}

void forgetWindow(HWND window)
{
    InputState& s = inputState();
    auto within = [window](HWND h) { return h && (h == window || IsChild(window, h)); };
    if (within(s.capture))
        ReleaseCapture();
    if (within(s.focus)) {
        HWND lost = s.focus;
        s.focus = 0;
        SendMessageA(lost, WM_KILLFOCUS, 0, 0);
    }
    if (within(s.active)) {
        HWND next = 0;
        for (HWND top : topLevelWindows()) {
            const WindowObject* w = windowOf(top);
            if (top != window && w && !w->destroying && (w->style & WS_VISIBLE) &&
                !(w->style & WS_DISABLED) && !(w->exStyle & WS_EX_TOOLWINDOW)) {
                next = top;
                break;
            }
        }
        SetActiveWindow(next);
    }
    if (s.lastPressWindow == window)
        s.lastPressWindow = 0;
}

// ---- Cursor and keys ----

// The position the pointer events read so far tell, as current as the input handled: asking
// the window system would wait for its answer on every call. Only before any pointer event
// has been read is it asked, once.
BOOL GetCursorPos(POINT* point)
{
    if (!point)
        return FALSE;
    InputState& s = inputState();
    if (!s.cursorKnown) {
        s.cursorKnown = true;
        POINT real{};
        if (displayBackend().cursorPosition(real))
            s.cursor = real;
    }
    *point = s.cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    inputState().cursor = POINT{x, y};
    inputState().cursorKnown = true;
    return TRUE;
}

UINT GetDoubleClickTime()
{
    return 500;
}

short GetKeyState(int key)
{
    return key >= 0 && key < 256 && inputState().keys[key] ? short(0x8000) : short(0);
}

short GetAsyncKeyState(int key)
{
    return GetKeyState(key);
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name)
{
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if ((id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651))
        return HCURSOR(id);
    return 0;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    InputState& s = inputState();
    HCURSOR previous = s.cursorShape;
    if (cursor != previous) {
        if (!choosingCursor)
            s.cursorChosenBy = 0;   // set from elsewhere: the next press asks again
        s.cursorShape = cursor;
        displayBackend().setCursor(int(cursor));
    }
    return previous;
}

HCURSOR GetCursor()
{
    return inputState().cursorShape;
}
