// DefWindowProcA: the default answers of the classic window procedure.
#include <cstring>

#include "platform/DeviceContexts.h"
#include "platform/NonClient.h"
#include "platform/Painting.h"
#include "platform/WindowTree.h"
#include "platform/display/DisplayBackend.h"

namespace {

// The class brush: a brush handle, or a COLOR_ index plus one.
COLORREF backgroundColor(HBRUSH brush, bool& found)
{
    found = true;
    if (brush > 0 && brush <= 31)
        return GetSysColor(int(brush) - 1);
    if (auto* object = gdiObject<BrushObject>(brush))
        return object->color;
    found = false;
    return 0;
}

LRESULT eraseBackground(HWND window, HDC hdc)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return 0;
    bool found;
    COLORREF color = backgroundColor(w->cls.background, found);
    DcObject* dc = dcOf(hdc);
    PixelSurface* s = dcSurface(dc);
    if (!found || !s)
        return 0;
    RECT client;
    GetClientRect(window, &client);
    fillArea(dc, *s, client, color);
    return 1;
}

LRESULT setCursor(HWND window, LPARAM lParam)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    // A parent may decide for its children.
    if (w->parent && SendMessageA(w->parent, WM_SETCURSOR, window, lParam))
        return TRUE;
    LRESULT hit = LRESULT(int16_t(LOWORD(uintptr_t(lParam))));
    if (hit == HTCLIENT) {
        w = windowOf(window);
        if (w && w->cls.cursor) {
            SetCursor(w->cls.cursor);
            return TRUE;
        }
        return FALSE;
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return FALSE;
}

void setText(HWND window, LPCSTR text)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return;
    w->text = text ? text : "";
    if (isTopLevel(*w))
        displayBackend().setTitle(window, w->hasTaskbarText ? w->taskbarText : w->text);
    if (hasCaption(w->style))
        invalidateWindow(window, Region(captionRect(*w)), RDW_FRAME | RDW_NOCHILDREN);
}

LRESULT getText(HWND window, WPARAM size, LPSTR buffer)
{
    WindowObject* w = windowOf(window);
    if (!w || !buffer || size == 0)
        return 0;
    size_t n = std::min<size_t>(w->text.size(), size - 1);
    std::memcpy(buffer, w->text.data(), n);
    buffer[n] = 0;
    return LRESULT(n);
}

void sizeAndMove(HWND window, const WINDOWPOS* pos)
{
    if (!pos || !IsWindow(window))
        return;
    if (!(pos->flags & SWP_NOMOVE) || (pos->flags & SWP_FRAMECHANGED)) {
        POINT origin{0, 0};
        if (const WindowObject* w = windowOf(window)) {
            RECT client = clientRectInWindow(*w);
            origin = POINT{w->rect.left + client.left, w->rect.top + client.top};
        }
        SendMessageA(window, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    }
    if ((!(pos->flags & SWP_NOSIZE) || (pos->flags & SWP_FRAMECHANGED)) && IsWindow(window)) {
        RECT client;
        GetClientRect(window, &client);
        WPARAM kind = IsZoomed(window) ? SIZE_MAXIMIZED : IsIconic(window) ? SIZE_MINIMIZED : SIZE_RESTORED;
        SendMessageA(window, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
    }
}

}  // namespace

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(window))
        return 0;
    switch (message) {
    case WM_NCCREATE:
        if (auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam); cs && cs->lpszName)
            setText(window, cs->lpszName);
        return TRUE;
    case WM_NCHITTEST:
        return defaultHitTest(window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCLBUTTONDOWN:
        if (wParam == WPARAM(HTCAPTION) || wParam == WPARAM(HTCLOSE))
            beginNonClientTracking(window, LRESULT(wParam));
        return 0;
    case WM_NCLBUTTONDBLCLK:
        if (wParam == WPARAM(HTCAPTION) && (windowOf(window)->style & WS_MAXIMIZEBOX))
            ShowWindow(window, IsZoomed(window) ? SW_RESTORE : SW_MAXIMIZE);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessageA(window, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ShowWindow(window, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            ShowWindow(window, SW_MAXIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(window, SW_RESTORE);
            break;
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == WPARAM(VK_F4))
            SendMessageA(topLevelOf(window), WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_ERASEBKGND:
        return eraseBackground(window, HDC(wParam));
    case WM_SETCURSOR:
        return setCursor(window, lParam);
    case WM_MOUSEWHEEL:
        // Up the chain of child windows until one handles it: a scrolling container takes the
        // wheel turned over any of its children.
        if (HWND parent = GetAncestor(window, GA_PARENT); parent && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD))
            return SendMessageA(parent, message, wParam, lParam);
        return 0;
    case WM_MOUSEACTIVATE:
        if (HWND parent = GetAncestor(window, GA_PARENT)) {
            if (LRESULT answer = SendMessageA(parent, WM_MOUSEACTIVATE, wParam, lParam))
                return answer;
        }
        return MA_ACTIVATE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_NCPAINT:
        paintNonClient(window);
        return 0;
    case WM_NCACTIVATE:
        if (WindowObject* w = windowOf(window); w && hasCaption(w->style))
            invalidateWindow(window, Region(captionRect(*w)), RDW_FRAME | RDW_NOCHILDREN);
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(window)) {
            HWND focus = GetFocus();
            if (focus != window && !IsChild(window, focus))
                SetFocus(window);
        }
        return 0;
    case WM_WINDOWPOSCHANGED:
        sizeAndMove(window, reinterpret_cast<const WINDOWPOS*>(lParam));
        return 0;
    case WM_SETTEXT:
        setText(window, reinterpret_cast<LPCSTR>(lParam));
        return TRUE;
    case WM_GETTEXT:
        return getText(window, wParam, reinterpret_cast<LPSTR>(lParam));
    case WM_GETTEXTLENGTH:
        return LRESULT(windowOf(window)->text.size());
    }
    return 0;
}
