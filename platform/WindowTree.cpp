// The window table, the tree and the geometry every other part of the window layer uses.
#include "platform/WindowTree.h"

#include <atomic>

#include "platform/NonClient.h"
#include "platform/display/DisplayBackend.h"

namespace {
// Changed on the user-interface thread; atomic since other threads may look.
std::atomic<uint64_t> treeGeneration{1};
}

uint64_t windowTreeGeneration()
{
    return treeGeneration.load(std::memory_order_relaxed);
}

void windowTreeChanged()
{
    treeGeneration.fetch_add(1, std::memory_order_relaxed);
}

HandleTable<WindowObject>& windowTable()
{
    static HandleTable<WindowObject> table;
    return table;
}

WindowObject* windowOf(HWND window)
{
    return window ? windowTable().get(window) : nullptr;
}

std::vector<HWND>& topLevelWindows()
{
    static std::vector<HWND> list;
    return list;
}

std::vector<HWND>* siblingList(const WindowObject& w)
{
    if (isTopLevel(w))
        return &topLevelWindows();
    WindowObject* parent = windowOf(w.parent);
    return parent ? &parent->children : nullptr;
}

bool isTopLevel(const WindowObject& w)
{
    return w.parent == 0;
}

HWND topLevelOf(HWND window)
{
    WindowObject* w = windowOf(window);
    while (w && w->parent) {
        window = w->parent;
        w = windowOf(window);
    }
    return w ? window : 0;
}

bool visibleChain(const WindowObject& w)
{
    for (const WindowObject* p = &w; p; p = windowOf(p->parent))
        if (!(p->style & WS_VISIBLE))
            return false;
    return true;
}

bool enabledChain(const WindowObject& w)
{
    for (const WindowObject* p = &w; p; p = windowOf(p->parent))
        if (p->style & WS_DISABLED)
            return false;
    return true;
}

int rectWidth(const RECT& r) { return r.right - r.left; }
int rectHeight(const RECT& r) { return r.bottom - r.top; }
bool ptInRect(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

RECT offsetRect(RECT r, int dx, int dy)
{
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

RECT intersectRects(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom)
        return RECT{};
    return r;
}

RECT clientRectInWindow(const WindowObject& w)
{
    RECT insets = nonClientInsets(w.style, w.exStyle);
    RECT r{insets.left, insets.top, rectWidth(w.rect) - insets.right,
           rectHeight(w.rect) - insets.bottom};
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

POINT windowScreenOrigin(const WindowObject& w)
{
    POINT p{w.rect.left, w.rect.top};
    for (const WindowObject* parent = windowOf(w.parent); parent; parent = windowOf(parent->parent)) {
        RECT client = clientRectInWindow(*parent);
        p.x += parent->rect.left + client.left;
        p.y += parent->rect.top + client.top;
    }
    return p;
}

POINT surfaceOrigin(const WindowObject& w)
{
    if (isTopLevel(w))
        return POINT{0, 0};
    POINT p{w.rect.left, w.rect.top};
    const WindowObject* parent = windowOf(w.parent);
    while (parent) {
        RECT client = clientRectInWindow(*parent);
        p.x += client.left;
        p.y += client.top;
        if (isTopLevel(*parent))
            break;
        p.x += parent->rect.left;
        p.y += parent->rect.top;
        parent = windowOf(parent->parent);
    }
    return p;
}

Region windowShape(const WindowObject& w)
{
    Region shape(RECT{0, 0, rectWidth(w.rect), rectHeight(w.rect)});
    if (auto* region = gdiObject<RegionObject>(w.region))
        pixman_region32_intersect(shape.get(), shape.get(), &region->region);
    return shape;
}

namespace {

Region shapeInSurface(const WindowObject& w)
{
    Region shape = windowShape(w);
    POINT o = surfaceOrigin(w);
    shape.offset(o.x, o.y);
    return shape;
}

// Takes the shape of w, its top-left corner at `origin` in the surface, away from `visible`.
// Most windows lie clear of what is left: their shape is not even built.
void subtractPlaced(Region& visible, const WindowObject& w, POINT origin)
{
    RECT box = visible.bounds();
    if (origin.x >= box.right || origin.y >= box.bottom || origin.x + rectWidth(w.rect) <= box.left ||
        origin.y + rectHeight(w.rect) <= box.top)
        return;
    Region shape = windowShape(w);
    shape.offset(origin.x, origin.y);
    visible.subtract(shape);
}

}  // namespace

namespace {

Region buildVisibleRegion(const WindowObject& w, bool clientOnly, bool clipChildren)
{
    if (!visibleChain(w) || (w.style & WS_MINIMIZE))
        return Region();
    Region visible = shapeInSurface(w);
    POINT origin = surfaceOrigin(w);
    RECT client = clientRectInWindow(w);
    if (clientOnly)
        visible.intersect(offsetRect(client, origin.x, origin.y));
    if (clipChildren) {
        for (HWND child : w.children)
            if (const WindowObject* c = windowOf(child); c && (c->style & WS_VISIBLE))
                subtractPlaced(visible, *c, POINT{origin.x + client.left + c->rect.left,
                                                  origin.y + client.top + c->rect.top});
    }
    for (const WindowObject* level = &w; level && !isTopLevel(*level) && !visible.empty();) {
        const WindowObject* parent = windowOf(level->parent);
        if (!parent)
            break;
        POINT po = surfaceOrigin(*parent);
        RECT inside = clientRectInWindow(*parent);
        visible.intersect(offsetRect(inside, po.x, po.y));
        // The client area lies within the window's rectangle: only a region cuts it further.
        if (parent->region)
            visible.intersect(shapeInSurface(*parent));
        for (HWND sibling : parent->children) {
            if (sibling == level->handle)
                break;   // the rest lie below
            if (const WindowObject* s = windowOf(sibling); s && (s->style & WS_VISIBLE))
                subtractPlaced(visible, *s, POINT{po.x + inside.left + s->rect.left,
                                                  po.y + inside.top + s->rect.top});
        }
        level = parent;
    }
    return visible;
}

}  // namespace

const Region& visibleRegion(WindowObject& w, bool clientOnly)
{
    const uint64_t now = windowTreeGeneration();
    if (w.visibleCacheGeneration[clientOnly] != now) {
        w.visibleCache[clientOnly] = buildVisibleRegion(w, clientOnly, (w.style & WS_CLIPCHILDREN) != 0);
        w.visibleCacheGeneration[clientOnly] = now;
    }
    return w.visibleCache[clientOnly];
}

void fitSurface(WindowObject& w)
{
    int width = std::max(rectWidth(w.rect), 0);
    int height = std::max(rectHeight(w.rect), 0);
    if (w.surface.bits && w.surface.width == width && w.surface.height == height)
        return;
    std::vector<uint32_t> pixels(size_t(std::max(width, 1)) * size_t(std::max(height, 1)), 0);
    for (int y = 0; y < std::min(height, w.surface.height); ++y)
        for (int x = 0; x < std::min(width, w.surface.width); ++x)
            pixels[size_t(y * width + x)] = w.pixels[size_t(y * w.surface.width + x)];
    w.pixels = std::move(pixels);
    w.surface.width = width;
    w.surface.height = height;
    w.surface.bitCount = 32;
    w.surface.stride = width * 4;
    w.surface.topDown = true;
    w.surface.bits = reinterpret_cast<uint8_t*>(w.pixels.data());
}

PixelSurface* windowSurface(HWND window)
{
    WindowObject* top = windowOf(topLevelOf(window));
    return top && top->surface.bits ? &top->surface : nullptr;
}

namespace {
std::atomic<bool> damageAdded{false};
}

void addDamage(HWND window, const Region& area)
{
    if (WindowObject* top = windowOf(topLevelOf(window))) {
        top->damage.add(area);
        damageAdded = true;
    }
}

bool takeDamageAdded()
{
    return damageAdded.exchange(false);
}

namespace {
std::atomic<std::thread::id> uiThread{};
}

void noteUiThread()
{
    std::thread::id none{};
    uiThread.compare_exchange_strong(none, std::this_thread::get_id());
}

bool onUiThread()
{
    std::thread::id id = uiThread.load();
    return id == std::thread::id{} || id == std::this_thread::get_id();
}
