#include "platform/NonClient.h"

#include "platform/DeviceContexts.h"
#include "platform/Fonts.h"
#include "platform/WindowTree.h"

namespace {

constexpr int kBorder = 1;
constexpr int kFixedFrame = 3;
constexpr int kSizingFrame = 4;
constexpr int kCaption = 19;        // 18 of caption and the line below it
constexpr int kToolCaption = 16;
constexpr int kClientEdge = 2;

int frameWidth(DWORD style, DWORD exStyle)
{
    if (style & WS_THICKFRAME)
        return kSizingFrame;
    if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        return kFixedFrame;
    if (style & WS_BORDER)
        return kBorder;
    return 0;
}

struct Tracking
{
    HWND window = 0;
    LRESULT hit = HTNOWHERE;
    POINT grab{};   // cursor position relative to the window's top-left corner
};
Tracking tracking;

}  // namespace

bool hasCaption(DWORD style)
{
    return (style & WS_CAPTION) == WS_CAPTION;
}

RECT nonClientInsets(DWORD style, DWORD exStyle)
{
    int frame = frameWidth(style, exStyle);
    if (exStyle & WS_EX_CLIENTEDGE)
        frame += kClientEdge;
    int caption = hasCaption(style) ? (exStyle & WS_EX_TOOLWINDOW ? kToolCaption : kCaption) : 0;
    return RECT{frame, frame + caption, frame, frame};
}

RECT captionRect(const WindowObject& w)
{
    if (!hasCaption(w.style))
        return RECT{};
    int frame = frameWidth(w.style, w.exStyle);
    int height = (w.exStyle & WS_EX_TOOLWINDOW ? kToolCaption : kCaption) - 1;
    return RECT{frame, frame, rectWidth(w.rect) - frame, frame + height};
}

RECT closeBoxRect(const WindowObject& w)
{
    RECT caption = captionRect(w);
    if (!(w.style & WS_SYSMENU) || rectHeight(caption) <= 4)
        return RECT{};
    int height = rectHeight(caption) - 4;
    int width = height + 2;
    return RECT{caption.right - 2 - width, caption.top + 2, caption.right - 2, caption.top + 2 + height};
}

LRESULT defaultHitTest(HWND window, POINT screen)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return HTNOWHERE;
    POINT origin = windowScreenOrigin(*w);
    int x = screen.x - origin.x, y = screen.y - origin.y;
    if (!ptInRect(RECT{0, 0, rectWidth(w->rect), rectHeight(w->rect)}, x, y))
        return HTNOWHERE;
    if (ptInRect(clientRectInWindow(*w), x, y))
        return HTCLIENT;
    if (ptInRect(closeBoxRect(*w), x, y))
        return HTCLOSE;
    if (ptInRect(captionRect(*w), x, y))
        return HTCAPTION;
    if (w->style & WS_THICKFRAME) {
        int frame = kSizingFrame, width = rectWidth(w->rect), height = rectHeight(w->rect);
        bool left = x < frame, right = x >= width - frame;
        bool top = y < frame, bottom = y >= height - frame;
        if (top)
            return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
        if (bottom)
            return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
        if (left)
            return HTLEFT;
        if (right)
            return HTRIGHT;
    }
    return HTBORDER;
}

// ---- Drawing: the classic raised 3D frame, caption band and close box ----

namespace {

void fill(DcObject* dc, PixelSurface& s, RECT r, COLORREF color)
{
    if (r.left < r.right && r.top < r.bottom)
        fillArea(dc, s, r, color);
}

// A raised edge: light outer top-left, dark outer bottom-right, then the inner pair.
void raisedEdge(DcObject* dc, PixelSurface& s, RECT r)
{
    const COLORREF outerLight = GetSysColor(COLOR_3DLIGHT), outerDark = GetSysColor(COLOR_3DDKSHADOW);
    const COLORREF innerLight = GetSysColor(COLOR_BTNHIGHLIGHT), innerDark = GetSysColor(COLOR_BTNSHADOW);
    for (int ring = 0; ring < 2 && rectWidth(r) > 1 && rectHeight(r) > 1; ++ring) {
        COLORREF light = ring == 0 ? outerLight : innerLight;
        COLORREF dark = ring == 0 ? outerDark : innerDark;
        fill(dc, s, RECT{r.left, r.top, r.right - 1, r.top + 1}, light);
        fill(dc, s, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, light);
        fill(dc, s, RECT{r.left, r.bottom - 1, r.right, r.bottom}, dark);
        fill(dc, s, RECT{r.right - 1, r.top, r.right, r.bottom}, dark);
        r = RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    }
}

void drawCaption(HDC hdc, DcObject* dc, PixelSurface& s, const WindowObject& w, bool active)
{
    RECT caption = captionRect(w);
    COLORREF from = GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    COLORREF to = GetSysColor(active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION);
    int width = std::max(rectWidth(caption), 1);
    for (int x = caption.left; x < caption.right; ++x) {
        int t = x - caption.left;
        auto mix = [&](BYTE a, BYTE b) { return BYTE(a + (int(b) - int(a)) * t / width); };
        fill(dc, s, RECT{x, caption.top, x + 1, caption.bottom},
             RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
                 mix(GetBValue(from), GetBValue(to))));
    }
    fill(dc, s, RECT{caption.left, caption.bottom, caption.right, caption.bottom + 1},
         GetSysColor(COLOR_BTNFACE));

    RECT box = closeBoxRect(w);
    if (rectWidth(box) > 0) {
        fill(dc, s, box, GetSysColor(COLOR_BTNFACE));
        raisedEdge(dc, s, box);
        // The cross: two diagonals two pixels thick, centred in the box.
        int size = std::min(rectWidth(box), rectHeight(box)) - 7;
        int left = box.left + (rectWidth(box) - size) / 2, top = box.top + (rectHeight(box) - size) / 2;
        for (int i = 0; i < size; ++i) {
            fill(dc, s, RECT{left + i, top + i, left + i + 2, top + i + 1}, GetSysColor(COLOR_BTNTEXT));
            fill(dc, s, RECT{left + size - 1 - i, top + i, left + size + 1 - i, top + i + 1},
                 GetSysColor(COLOR_BTNTEXT));
        }
    }

    if (!w.text.empty()) {
        RECT text{caption.left + 4, caption.top, (rectWidth(box) > 0 ? box.left : caption.right) - 2,
                  caption.bottom};
        SetBkMode(hdc, TRANSPARENT);
        SetTextColor(hdc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        DrawTextA(hdc, w.text.c_str(), int(w.text.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

}  // namespace

void paintNonClient(HWND window)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return;
    RECT client = clientRectInWindow(*w);
    RECT whole{0, 0, rectWidth(w->rect), rectHeight(w->rect)};
    if (client.left == 0 && client.top == 0 && client.right == whole.right && client.bottom == whole.bottom)
        return;
    HDC hdc = GetWindowDC(window);
    DcObject* dc = dcOf(hdc);
    PixelSurface* s = dcSurface(dc);
    if (s) {
        int frame = frameWidth(w->style, w->exStyle);
        if (frame == kBorder) {
            for (const RECT& r : {RECT{0, 0, whole.right, 1}, RECT{0, 0, 1, whole.bottom},
                                  RECT{whole.right - 1, 0, whole.right, whole.bottom},
                                  RECT{0, whole.bottom - 1, whole.right, whole.bottom}})
                fill(dc, *s, r, GetSysColor(COLOR_WINDOWFRAME));
        } else if (frame > 0) {
            COLORREF face = GetSysColor((w->style & WS_THICKFRAME) ? COLOR_ACTIVEBORDER : COLOR_BTNFACE);
            RECT inner{frame, frame, whole.right - frame, whole.bottom - frame};
            fill(dc, *s, RECT{0, 0, whole.right, inner.top}, face);
            fill(dc, *s, RECT{0, inner.bottom, whole.right, whole.bottom}, face);
            fill(dc, *s, RECT{0, inner.top, inner.left, inner.bottom}, face);
            fill(dc, *s, RECT{inner.right, inner.top, whole.right, inner.bottom}, face);
            raisedEdge(dc, *s, whole);
        }
        if (hasCaption(w->style))
            drawCaption(hdc, dc, *s, *w, topLevelOf(window) == GetActiveWindow());
    }
    ReleaseDC(window, hdc);
}

// ---- Caption drag and close box ----

void beginNonClientTracking(HWND window, LRESULT hit)
{
    WindowObject* w = windowOf(window);
    if (!w || (hit != HTCAPTION && hit != HTCLOSE))
        return;
    if (hit == HTCAPTION && (w->style & WS_MAXIMIZE))
        return;   // a maximised window stays where it is
    POINT cursor;
    GetCursorPos(&cursor);
    POINT origin = windowScreenOrigin(*w);
    SetCapture(window);
    tracking = Tracking{window, hit, POINT{cursor.x - origin.x, cursor.y - origin.y}};
    if (hit == HTCAPTION)
        SendMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
}

void cancelNonClientTracking()
{
    HWND window = tracking.window;
    LRESULT hit = tracking.hit;
    tracking = Tracking{};
    if (window && hit == HTCAPTION)
        SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
}

bool trackNonClient(const InputEvent& event)
{
    if (!tracking.window)
        return false;
    if (!IsWindow(tracking.window) || GetCapture() != tracking.window) {
        tracking = Tracking{};
        return false;
    }
    HWND window = tracking.window;
    if (event.kind == InputEvent::MouseMove && tracking.hit == HTCAPTION) {
        WindowObject* w = windowOf(window);
        POINT target{event.x - tracking.grab.x, event.y - tracking.grab.y};
        if (WindowObject* parent = w ? windowOf(w->parent) : nullptr) {
            POINT po = windowScreenOrigin(*parent);
            RECT client = clientRectInWindow(*parent);
            target.x -= po.x + client.left;
            target.y -= po.y + client.top;
        }
        SetWindowPos(window, 0, target.x, target.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return true;
    }
    if (event.kind == InputEvent::MouseUp && event.button == 0) {
        LRESULT hit = tracking.hit;
        tracking.hit = HTNOWHERE;   // ReleaseCapture below must not report an unfinished drag
        ReleaseCapture();
        if (hit == HTCAPTION)
            SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
        else if (IsWindow(window) && defaultHitTest(window, POINT{event.x, event.y}) == HTCLOSE)
            SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, MAKELPARAM(event.x, event.y));
        return true;
    }
    return event.kind != InputEvent::KeyDown && event.kind != InputEvent::KeyUp &&
           event.kind != InputEvent::CloseRequest;
}
