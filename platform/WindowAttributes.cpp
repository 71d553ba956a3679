// Queries and settings of single windows: validity, state, tree links, long values, text.
#include <algorithm>
#include <cstring>

#include "platform/MouseInput.h"
#include "platform/Painting.h"
#include "platform/WindowTree.h"
#include "platform/display/DisplayBackend.h"

BOOL IsWindow(HWND window)
{
    return windowOf(window) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window)
{
    const WindowObject* w = windowOf(window);
    return w && visibleChain(*w) ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window)
{
    const WindowObject* w = windowOf(window);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND window, BOOL enable)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (bool(enable) == !wasDisabled)
        return wasDisabled;
    windowTreeChanged();
    if (enable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        HWND focus = GetFocus();
        if (focus && (focus == window || IsChild(window, focus)))
            SetFocus(0);
        if (GetCapture() == window)
            ReleaseCapture();
    }
    SendMessageA(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsChild(HWND parent, HWND window)
{
    const WindowObject* w = windowOf(window);
    while (w && w->parent) {
        if (w->parent == parent)
            return TRUE;
        w = windowOf(w->parent);
    }
    return FALSE;
}

// Children answer their parent, popup windows their owner, other top-level windows null.
HWND GetParent(HWND window)
{
    const WindowObject* w = windowOf(window);
    if (!w)
        return 0;
    if (w->parent)
        return w->parent;
    return (w->style & WS_POPUP) && IsWindow(w->owner) ? w->owner : 0;
}

HWND GetAncestor(HWND window, UINT flags)
{
    const WindowObject* w = windowOf(window);
    if (!w)
        return 0;
    if (flags == GA_PARENT)
        return w->parent;
    return topLevelOf(window);
}

HWND GetDesktopWindow()
{
    return 0;
}

HWND SetParent(HWND window, HWND newParent)
{
    WindowObject* w = windowOf(window);
    if (!w || (newParent && (!IsWindow(newParent) || newParent == window || IsChild(window, newParent))))
        return 0;
    HWND previous = w->parent;
    if (previous == newParent)
        return previous;
    bool visible = w->style & WS_VISIBLE;
    if (visible)
        ShowWindow(window, SW_HIDE);
    w = windowOf(window);
    if (!w)
        return 0;
    bool wasTop = isTopLevel(*w);
    if (std::vector<HWND>* list = siblingList(*w))
        std::erase(*list, window);
    if (wasTop)
        displayBackend().destroySurface(window);
    w->parent = newParent;
    windowTreeChanged();
    if (newParent) {
        w->style = (w->style & ~WS_POPUP) | WS_CHILD;
        windowOf(newParent)->children.insert(windowOf(newParent)->children.begin(), window);
        w->surface = PixelSurface{};
        w->pixels.clear();
    } else {
        w->style &= ~WS_CHILD;
        topLevelWindows().insert(topLevelWindows().begin(), window);
        fitSurface(*w);
        displayBackend().createSurface(window, w->rect);
        w->shapeShown = false;   // the new surface has no shape yet
        if (w->region)
            markShapePending(*w);
        displayBackend().setTitle(window, w->hasTaskbarText ? w->taskbarText : w->text);
    }
    if (visible)
        ShowWindow(window, SW_SHOWNA);
    return previous;
}

HWND GetWindow(HWND window, UINT command)
{
    const WindowObject* w = windowOf(window);
    if (!w)
        return 0;
    if (command == GW_CHILD)
        return w->children.empty() ? 0 : w->children.front();
    if (command == GW_OWNER)
        return w->parent ? 0 : w->owner;
    const std::vector<HWND>* list = siblingList(*w);
    if (!list || list->empty())
        return 0;
    auto it = std::find(list->begin(), list->end(), window);
    switch (command) {
    case GW_HWNDFIRST:
        return list->front();
    case GW_HWNDLAST:
        return list->back();
    case GW_HWNDNEXT:
        return it != list->end() && it + 1 != list->end() ? *(it + 1) : 0;
    case GW_HWNDPREV:
        return it != list->end() && it != list->begin() ? *(it - 1) : 0;
    }
    return 0;
}

HWND GetTopWindow(HWND window)
{
    if (!window)
        return topLevelWindows().empty() ? 0 : topLevelWindows().front();
    return GetWindow(window, GW_CHILD);
}

LONG_PTR GetWindowLongPtrA(HWND window, int index)
{
    const WindowObject* w = windowOf(window);
    if (!w)
        return 0;
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return LONG_PTR(w->parent ? w->parent : w->owner);
    case GWLP_ID:
        return w->id;
    case GWL_STYLE:
        return LONG_PTR(w->style);
    case GWL_EXSTYLE:
        return LONG_PTR(w->exStyle);
    case GWLP_USERDATA:
        return w->userData;
    }
    return 0;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return 0;
    LONG_PTR previous = GetWindowLongPtrA(window, index);
    switch (index) {
    case GWLP_WNDPROC:
        if (value)
            w->proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWLP_ID:
        w->id = value;
        break;
    case GWLP_USERDATA:
        w->userData = value;
        break;
    case GWLP_HWNDPARENT:
        if (!w->parent)
            w->owner = HWND(value);
        break;
    case GWL_STYLE:
        // Visibility changes through ShowWindow only; the frame waits for SWP_FRAMECHANGED.
        w->style = (DWORD(value) & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
        windowTreeChanged();
        break;
    case GWL_EXSTYLE:
        w->exStyle = DWORD(value);
        windowTreeChanged();
        break;
    default:
        return 0;
    }
    return previous;
}

LONG GetWindowLongA(HWND window, int index)
{
    return LONG(GetWindowLongPtrA(window, index));
}

LONG SetWindowLongA(HWND window, int index, LONG value)
{
    LONG_PTR v = index == GWL_STYLE || index == GWL_EXSTYLE ? LONG_PTR(DWORD(value)) : LONG_PTR(value);
    return LONG(SetWindowLongPtrA(window, index, v));
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!proc || !IsWindow(window))
        return 0;
    return proc(window, message, wParam, lParam);
}

BOOL SetWindowTextA(HWND window, LPCSTR text)
{
    if (!IsWindow(window))
        return FALSE;
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

BOOL SetWindowTaskbarTextA(HWND window, LPCSTR text)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    w->hasTaskbarText = text != nullptr;
    w->taskbarText = text ? text : "";
    if (isTopLevel(*w))
        displayBackend().setTitle(window, w->hasTaskbarText ? w->taskbarText : w->text);
    return TRUE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size)
{
    if (!IsWindow(window) || !buffer || size <= 0)
        return 0;
    return int(SendMessageA(window, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND window)
{
    return IsWindow(window) ? int(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0)) : 0;
}
