// Window classes, window creation and destruction.
#include <algorithm>
#include <cctype>
#include <map>

#include "platform/Messages.h"
#include "platform/MouseInput.h"
#include "platform/NonClient.h"
#include "platform/Painting.h"
#include "platform/TextCase.h"
#include "platform/Timers.h"
#include "platform/WindowTree.h"
#include "platform/display/DisplayBackend.h"

namespace {

std::string lowered(LPCSTR name)
{
    return asciiLower(name ? name : "");
}

// Class names compare without regard to case, as on the original platform.
std::map<std::string, WindowClass>& classes()
{
    static std::map<std::string, WindowClass> table;
    return table;
}

ATOM nextAtom = 0xC000;

// Top-level windows stack below the topmost ones unless they are topmost themselves.
void insertIntoZOrder(WindowObject& w)
{
    std::vector<HWND>* list = siblingList(w);
    if (!list)
        return;
    auto at = list->begin();
    if (isTopLevel(w) && !(w.exStyle & WS_EX_TOPMOST))
        at = std::find_if(list->begin(), list->end(), [](HWND h) {
            const WindowObject* o = windowOf(h);
            return o && !(o->exStyle & WS_EX_TOPMOST);
        });
    list->insert(at, w.handle);
}

void collectSubtree(HWND window, std::vector<HWND>& out)
{
    out.push_back(window);
    if (const WindowObject* w = windowOf(window))
        for (HWND child : w->children)
            collectSubtree(child, out);
}

void sendDestroy(HWND window)
{
    SendMessageA(window, WM_DESTROY, 0, 0);
    if (const WindowObject* w = windowOf(window))
        for (HWND child : std::vector<HWND>(w->children))
            sendDestroy(child);
}

void sendNcDestroy(HWND window)
{
    if (const WindowObject* w = windowOf(window))
        for (HWND child : std::vector<HWND>(w->children))
            sendNcDestroy(child);
    SendMessageA(window, WM_NCDESTROY, 0, 0);
}

void freeWindow(HWND window)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return;
    for (HWND child : std::vector<HWND>(w->children))
        freeWindow(child);
    if (std::vector<HWND>* list = siblingList(*w))
        std::erase(*list, window);
    if (w->region)
        DeleteObject(w->region);
    if (isTopLevel(*w))
        displayBackend().destroySurface(window);
    killTimersOf(window);
    removeQueued([window](const MSG& m) { return m.hwnd == window; });
    windowTable().remove(window);
    windowTreeChanged();
}

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* wc)
{
    if (!wc || !wc->lpszClassName || !*wc->lpszClassName || !wc->lpfnWndProc)
        return 0;
    std::string key = lowered(wc->lpszClassName);
    if (classes().count(key))
        return 0;
    classes()[key] = WindowClass{wc->lpszClassName, wc->style, wc->lpfnWndProc, wc->hCursor,
                                 wc->hbrBackground};
    return nextAtom++;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE)
{
    return classes().erase(lowered(className)) ? TRUE : FALSE;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* wc)
{
    auto it = classes().find(lowered(className));
    if (it == classes().end() || !wc)
        return FALSE;
    *wc = WNDCLASSA{};
    wc->style = it->second.style;
    wc->lpfnWndProc = it->second.proc;
    wc->hCursor = it->second.cursor;
    wc->hbrBackground = it->second.background;
    wc->lpszClassName = it->second.name.c_str();
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param)
{
    noteUiThread();
    if (!onUiThread())
        return 0;
    auto cls = classes().find(lowered(className));
    if (cls == classes().end())
        return 0;
    bool child = style & WS_CHILD;
    if (child && !IsWindow(parent))
        return 0;
    if (!child && parent && !IsWindow(parent))
        parent = 0;
    if (!child && !(style & WS_POPUP))
        style |= WS_CAPTION | WS_CLIPSIBLINGS;   // overlapped windows always have a caption
    if (x == CW_USEDEFAULT)
        x = y = 40;
    if (width == CW_USEDEFAULT)
        width = 640, height = 480;

    auto object = std::make_unique<WindowObject>();
    WindowObject& w = *object;
    w.cls = cls->second;
    w.proc = w.cls.proc;
    w.style = style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    w.exStyle = exStyle;
    w.parent = child ? parent : 0;
    w.owner = child ? 0 : parent;
    w.rect = ClampedWindowRect(x, y, width, height);
    w.instance = instance;
    w.id = child ? LONG_PTR(menu) : 0;
    HWND handle = windowTable().add(std::move(object));
    if (!handle)
        return 0;
    WindowObject* created = windowOf(handle);
    created->handle = handle;
    insertIntoZOrder(*created);
    windowTreeChanged();
    if (!child) {
        fitSurface(*created);
        displayBackend().createSurface(handle, created->rect);
        displayBackend().restack(topLevelWindows());
    }

    CREATESTRUCTA cs{param, instance, menu, parent, height, width, y, x, LONG(style), windowName,
                     className, exStyle};
    if (!SendMessageA(handle, WM_NCCREATE, 0, LPARAM(&cs)) ||
        SendMessageA(handle, WM_CREATE, 0, LPARAM(&cs)) == -1) {
        DestroyWindow(handle);
        return 0;
    }
    if (WindowObject* w2 = windowOf(handle)) {
        RECT client = clientRectInWindow(*w2);
        POINT origin{w2->rect.left + client.left, w2->rect.top + client.top};
        SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rectWidth(client), rectHeight(client)));
        SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    }
    if (!IsWindow(handle))
        return 0;
    if (style & WS_MINIMIZE)
        ShowWindow(handle, (style & WS_VISIBLE) ? SW_SHOWMINIMIZED : SW_MINIMIZE);
    else if ((style & WS_MAXIMIZE) && (style & WS_VISIBLE))
        ShowWindow(handle, SW_SHOWMAXIMIZED);
    else if (style & WS_VISIBLE)
        ShowWindow(handle, child ? SW_SHOWNA : SW_SHOW);
    return IsWindow(handle) ? handle : 0;
}

// The classic order: WM_DESTROY to the window and then to its children, parents first;
// WM_NCDESTROY to the children and last to the window; then the handles die.
BOOL DestroyWindow(HWND window)
{
    WindowObject* w = windowOf(window);
    if (!w || w->destroying || !onUiThread())
        return FALSE;
    std::vector<HWND> subtree;
    collectSubtree(window, subtree);
    for (HWND h : subtree)
        if (WindowObject* o = windowOf(h))
            o->destroying = true;
    if (w->style & WS_VISIBLE)
        SetWindowPos(window, 0, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    forgetWindow(window);
    for (HWND h : subtree)
        killTimersOf(h);
    sendDestroy(window);
    sendNcDestroy(window);
    freeWindow(window);
    return TRUE;
}

void destroyAllWindows()
{
    while (!topLevelWindows().empty()) {
        HWND top = topLevelWindows().front();
        if (!DestroyWindow(top)) {
            std::erase(topLevelWindows(), top);
            windowTreeChanged();
            freeWindow(top);
        }
    }
    cancelNonClientTracking();
    InputState& s = inputState();
    s = InputState{};
    resetTimers();
    resetMessageQueue();
}
