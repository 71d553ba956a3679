// Update regions, WM_PAINT, window device contexts and presentation.
#include "platform/Painting.h"

#include <atomic>

#include "platform/DeviceContexts.h"
#include "platform/NonClient.h"
#include "platform/display/DisplayBackend.h"

namespace {

uint64_t validations = 0;

// A search of the whole tree that found nothing to paint holds until an update region
// grows or the tree changes (a window shown, moved or restored may need painting).
std::atomic<bool> updateAdded{true};
uint64_t nothingToPaintIn = 0;   // the tree generation of that search

RECT wholeWindow(const WindowObject& w)
{
    return RECT{0, 0, rectWidth(w.rect), rectHeight(w.rect)};
}

bool childrenShare(const WindowObject& w, UINT flags)
{
    if (flags & RDW_ALLCHILDREN)
        return true;
    return !(flags & RDW_NOCHILDREN) && !(w.style & WS_CLIPCHILDREN);
}

// A window DC: origin at the window's (or its client area's) corner in the top-level
// surface, clipped to what of it can be seen.
HDC makeWindowDc(HWND window, bool clientOnly, const Region* limit)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return 0;
    auto dc = std::make_unique<DcObject>();
    dc->window = window;
    dc->brush = stockWhiteBrush();
    POINT origin = surfaceOrigin(*w);
    if (clientOnly) {
        RECT client = clientRectInWindow(*w);
        origin.x += client.left;
        origin.y += client.top;
    }
    dc->originX = origin.x;
    dc->originY = origin.y;
    const Region& visible = visibleRegion(*w, clientOnly);
    if (limit)
        pixman_region32_intersect(&dc->systemClip, const_cast<pixman_region32_t*>(&visible.r),
                                  const_cast<pixman_region32_t*>(&limit->r));
    else
        pixman_region32_copy(&dc->systemClip, const_cast<pixman_region32_t*>(&visible.r));
    return gdiObjects().add(std::move(dc));
}

// Paints the frame when the update region reaches into it.
void paintFrameIfDue(WindowObject& w)
{
    RECT client = clientRectInWindow(w);
    Region frame = w.update;
    frame.subtract(client);
    if (frame.empty())
        return;
    w.update.intersect(client);
    HWND window = w.handle;
    SendMessageA(window, WM_NCPAINT, 1, 0);
}

bool needsPaint(const WindowObject& w)
{
    return !w.update.empty() && visibleChain(w) && !(w.style & WS_MINIMIZE);
}

HWND findInTree(HWND window, HWND filter)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return 0;
    if (needsPaint(*w) && (!filter || filter == window || IsChild(filter, window))) {
        paintFrameIfDue(*w);
        w = windowOf(window);
        if (w && needsPaint(*w))
            return window;
    }
    if (!w || !visibleChain(*w))
        return 0;
    std::vector<HWND> children = w->children;
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (HWND found = findInTree(*it, filter))
            return found;
    return 0;
}

}  // namespace

uint64_t validationCount()
{
    return validations;
}

void validateWhole(HWND window)
{
    if (WindowObject* w = windowOf(window)) {
        w->update.clear();
        w->erasePending = false;
    }
}

void invalidateWindow(HWND window, const Region& area, UINT flags)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return;
    Region part = area;
    part.intersect((flags & RDW_FRAME) ? wholeWindow(*w) : clientRectInWindow(*w));
    if (part.empty())
        return;
    w->update.add(part);
    updateAdded = true;
    if (flags & RDW_ERASE)
        w->erasePending = true;
    if (!childrenShare(*w, flags))
        return;
    RECT client = clientRectInWindow(*w);
    part.intersect(client);
    for (HWND child : std::vector<HWND>(w->children)) {
        const WindowObject* c = windowOf(child);
        if (!c)
            continue;
        Region inChild = part;
        inChild.offset(-client.left - c->rect.left, -client.top - c->rect.top);
        invalidateWindow(child, inChild, flags | RDW_FRAME);
    }
}

void invalidateWhole(HWND window)
{
    if (WindowObject* w = windowOf(window))
        invalidateWindow(window, Region(wholeWindow(*w)), RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN);
}

void exposeInParent(HWND parent, const Region& area)
{
    WindowObject* p = windowOf(parent);
    if (!p)
        return;
    RECT client = clientRectInWindow(*p);
    Region inParent = area;
    inParent.offset(client.left, client.top);
    invalidateWindow(parent, inParent, RDW_ERASE | RDW_ALLCHILDREN);
}

HWND windowNeedingPaint(HWND filter)
{
    const uint64_t generation = windowTreeGeneration();
    if (!updateAdded && nothingToPaintIn == generation)
        return 0;
    updateAdded = false;
    for (HWND top : std::vector<HWND>(topLevelWindows()))
        if (HWND found = findInTree(top, filter)) {
            updateAdded = true;   // the search stopped short
            return found;
        }
    // Only a search of everything proves there is nothing; a frame painted on the way may
    // have invalidated something again.
    if (filter)
        updateAdded = true;
    else if (!updateAdded && windowTreeGeneration() == generation)
        nothingToPaintIn = generation;
    else
        updateAdded = true;
    return 0;
}

void paintNow(HWND window, bool children)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return;
    if (needsPaint(*w)) {
        paintFrameIfDue(*w);
        w = windowOf(window);
        if (w && needsPaint(*w)) {
            MSG msg{window, WM_PAINT, 0, 0, 0, {}};
            DispatchMessageA(&msg);
        }
    }
    w = windowOf(window);
    if (!children || !w)
        return;
    for (HWND child : std::vector<HWND>(w->children))
        paintNow(child, true);
}

void presentDamage()
{
    if (!takeDamageAdded())
        return;
    for (HWND top : std::vector<HWND>(topLevelWindows())) {
        WindowObject* w = windowOf(top);
        if (!w || w->damage.empty() || !w->surface.bits)
            continue;
        w->damage.intersect(RECT{0, 0, w->surface.width, w->surface.height});
        if (!w->damage.empty())
            displayBackend().present(top, w->surface, w->damage.r);
        w->damage.clear();
    }
}

// ---- The API ----

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase)
{
    if (!window) {
        for (HWND top : std::vector<HWND>(topLevelWindows()))
            invalidateWhole(top);
        return TRUE;
    }
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    RECT client = clientRectInWindow(*w);
    Region area(rect ? offsetRect(*rect, client.left, client.top) : client);
    invalidateWindow(window, area, erase ? RDW_ERASE : 0);
    return TRUE;
}

BOOL InvalidateRgn(HWND window, HRGN region, BOOL erase)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    if (!region)
        return InvalidateRect(window, nullptr, erase);
    auto* object = gdiObject<RegionObject>(region);
    if (!object)
        return FALSE;
    RECT client = clientRectInWindow(*w);
    Region area;
    pixman_region32_copy(area.get(), &object->region);
    area.offset(client.left, client.top);
    invalidateWindow(window, area, erase ? RDW_ERASE : 0);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    ++validations;
    RECT client = clientRectInWindow(*w);
    if (rect)
        w->update.subtract(offsetRect(*rect, client.left, client.top));
    else
        w->update.subtract(client);
    if (w->update.empty())
        w->erasePending = false;
    return TRUE;
}

BOOL ValidateRgn(HWND window, HRGN region)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    auto* object = gdiObject<RegionObject>(region);
    if (!object)
        return ValidateRect(window, nullptr);
    ++validations;
    RECT client = clientRectInWindow(*w);
    Region area;
    pixman_region32_copy(area.get(), &object->region);
    area.offset(client.left, client.top);
    w->update.subtract(area);
    return TRUE;
}

BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    RECT client = clientRectInWindow(*w);
    Region part = w->update;
    part.intersect(client);
    RECT bounds = part.empty() ? RECT{} : offsetRect(part.bounds(), -client.left, -client.top);
    if (rect)
        *rect = bounds;
    return part.empty() ? FALSE : TRUE;
}

BOOL UpdateWindow(HWND window)
{
    if (!IsWindow(window))
        return FALSE;
    paintNow(window, false);
    return TRUE;
}

BOOL RedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags)
{
    if (!window) {
        for (HWND top : std::vector<HWND>(topLevelWindows()))
            RedrawWindow(top, rect, region, flags | RDW_ALLCHILDREN);
        return TRUE;
    }
    WindowObject* w = windowOf(window);
    if (!w)
        return FALSE;
    RECT client = clientRectInWindow(*w);
    Region area;
    if (auto* object = gdiObject<RegionObject>(region)) {
        pixman_region32_copy(area.get(), &object->region);
        area.offset(client.left, client.top);
    } else if (rect) {
        area = Region(offsetRect(*rect, client.left, client.top));
    } else {
        area = Region((flags & RDW_FRAME) ? wholeWindow(*w) : client);
    }
    if (flags & RDW_INVALIDATE)
        invalidateWindow(window, area, flags);
    if (flags & RDW_VALIDATE) {
        ++validations;
        w->update.subtract(area);
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
        paintNow(window, childrenShare(*w, flags));
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint)
{
    WindowObject* w = windowOf(window);
    if (!w || !paint)
        return 0;
    ++validations;
    paintFrameIfDue(*w);
    if (!(w = windowOf(window)))
        return 0;
    RECT client = clientRectInWindow(*w);
    Region dirty = w->update;
    dirty.intersect(client);
    w->update.subtract(client);
    bool erase = w->erasePending;
    w->erasePending = false;

    POINT origin = surfaceOrigin(*w);
    Region limit = dirty;
    limit.offset(origin.x, origin.y);
    HDC dc = makeWindowDc(window, true, &limit);
    *paint = PAINTSTRUCT{};
    paint->hdc = dc;
    paint->rcPaint = dirty.empty() ? RECT{} : offsetRect(dirty.bounds(), -client.left, -client.top);
    if (erase)
        paint->fErase = SendMessageA(window, WM_ERASEBKGND, dc, 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint)
{
    if (!paint)
        return FALSE;
    ReleaseDC(window, paint->hdc);
    return TRUE;
}

HDC GetDC(HWND window)
{
    if (!window)
        return CreateCompatibleDC(0);   // the screen: a memory DC stands in
    return makeWindowDc(window, true, nullptr);
}

HDC GetWindowDC(HWND window)
{
    return makeWindowDc(window, false, nullptr);
}

int ReleaseDC(HWND, HDC handle)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return 0;
    if (!dc->window)
        return DeleteDC(handle) ? 1 : 0;
    Region drawn;
    pixman_region32_copy(drawn.get(), &dc->systemClip);
    addDamage(dc->window, drawn);
    gdiObjects().remove(handle);
    return 1;
}

HWND WindowFromDC(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc && IsWindow(dc->window) ? dc->window : 0;
}
