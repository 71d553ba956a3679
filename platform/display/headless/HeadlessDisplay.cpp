#include "platform/display/headless/HeadlessDisplay.h"

#include <algorithm>
#include <chrono>
#include <cstring>

HeadlessDisplay::HeadlessDisplay() = default;

std::shared_ptr<HeadlessDisplay> installHeadlessDisplay()
{
    auto display = std::make_shared<HeadlessDisplay>();
    installDisplayBackend(display);
    return display;
}

// ---- Injected input ----

void HeadlessDisplay::inject(InputEvent event)
{
    {
        std::lock_guard lock(mutex_);
        input_.push_back(event);
    }
    wakeup_.notify_all();
}

void HeadlessDisplay::setScreenSize(int width, int height)
{
    std::lock_guard lock(mutex_);
    screen_ = SIZE{std::max(width, 1), std::max(height, 1)};
}

void HeadlessDisplay::moveMouse(int x, int y) { inject({InputEvent::MouseMove, x, y, 0, 0, 0}); }

void HeadlessDisplay::pressMouse(int x, int y, int button)
{
    inject({InputEvent::MouseDown, x, y, button, 0, 0});
}

void HeadlessDisplay::releaseMouse(int x, int y, int button)
{
    inject({InputEvent::MouseUp, x, y, button, 0, 0});
}

void HeadlessDisplay::click(int x, int y, int button)
{
    pressMouse(x, y, button);
    releaseMouse(x, y, button);
}

void HeadlessDisplay::keyDown(int key) { inject({InputEvent::KeyDown, 0, 0, 0, key, 0}); }

void HeadlessDisplay::keyUp(int key) { inject({InputEvent::KeyUp, 0, 0, 0, key, 0}); }

void HeadlessDisplay::requestClose(HWND window)
{
    inject({InputEvent::CloseRequest, 0, 0, 0, 0, window});
}

bool HeadlessDisplay::nextInput(InputEvent& event)
{
    std::lock_guard lock(mutex_);
    if (input_.empty())
        return false;
    event = input_.front();
    input_.pop_front();
    return true;
}

void HeadlessDisplay::waitForInput(int timeoutMs)
{
    std::unique_lock lock(mutex_);
    auto ready = [this] { return woken_ || !input_.empty(); };
    if (timeoutMs < 0)
        wakeup_.wait(lock, ready);
    else
        wakeup_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    woken_ = false;
}

void HeadlessDisplay::wake()
{
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wakeup_.notify_all();
}

// ---- Surfaces ----

const HeadlessDisplay::Surface* HeadlessDisplay::find(HWND window) const
{
    auto it = surfaces_.find(window);
    return it == surfaces_.end() ? nullptr : &it->second;
}

void HeadlessDisplay::createSurface(HWND window, const RECT& rect)
{
    std::lock_guard lock(mutex_);
    Surface& s = surfaces_[window];
    s = Surface{};
    s.rect = rect;
    stacking_.insert(stacking_.begin(), window);
}

void HeadlessDisplay::destroySurface(HWND window)
{
    std::lock_guard lock(mutex_);
    surfaces_.erase(window);
    std::erase(stacking_, window);
}

void HeadlessDisplay::placeSurface(HWND window, const RECT& rect)
{
    std::lock_guard lock(mutex_);
    if (auto it = surfaces_.find(window); it != surfaces_.end())
        it->second.rect = rect;
}

void HeadlessDisplay::showSurface(HWND window, bool visible)
{
    std::lock_guard lock(mutex_);
    if (auto it = surfaces_.find(window); it != surfaces_.end())
        it->second.shown = visible;
}

void HeadlessDisplay::setShape(HWND window, const pixman_region32_t* shape)
{
    std::lock_guard lock(mutex_);
    auto it = surfaces_.find(window);
    if (it == surfaces_.end())
        return;
    Surface& s = it->second;
    s.shaped = shape != nullptr;
    s.shape.clear();
    if (!shape)
        return;
    int n = 0;
    const pixman_box32_t* boxes =
        pixman_region32_rectangles(const_cast<pixman_region32_t*>(shape), &n);
    for (int i = 0; i < n; ++i)
        s.shape.push_back(RECT{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2});
}

void HeadlessDisplay::present(HWND window, const PixelSurface& pixels,
                              const pixman_region32_t& damage)
{
    std::lock_guard lock(mutex_);
    auto it = surfaces_.find(window);
    if (it == surfaces_.end())
        return;
    Surface& s = it->second;
    // s.pixels holds 32-bit DIB words (0x00RRGGBB, the fourth byte unused), so that a window
    // surface arrives as it is; screenshot() turns them into RGB values.
    if (s.width != pixels.width || s.height != pixels.height) {
        s.width = pixels.width;
        s.height = pixels.height;
        s.pixels.assign(size_t(s.width) * size_t(s.height), 0);
    }
    int n = 0;
    const pixman_box32_t* boxes =
        pixman_region32_rectangles(const_cast<pixman_region32_t*>(&damage), &n);
    for (int i = 0; i < n; ++i) {
        int x1 = std::max(boxes[i].x1, 0), x2 = std::min(boxes[i].x2, s.width);
        int y1 = std::max(boxes[i].y1, 0), y2 = std::min(boxes[i].y2, s.height);
        if (x1 >= x2)
            continue;
        for (int y = y1; y < y2; ++y) {
            uint32_t* out = s.pixels.data() + size_t(y) * size_t(s.width);
            if (pixels.bitCount == 32) {
                // One move per row: the cheapest present there is.
                std::memcpy(out + x1, pixels.row(y) + size_t(x1) * 4, size_t(x2 - x1) * 4);
            } else {
                for (int x = x1; x < x2; ++x) {
                    const COLORREF c = pixels.pixel(x, y);
                    out[x] = uint32_t(GetBValue(c)) | uint32_t(GetGValue(c)) << 8 | uint32_t(GetRValue(c)) << 16;
                }
            }
        }
    }
    ++s.presents;
}

void HeadlessDisplay::setTitle(HWND window, const std::string& title)
{
    std::lock_guard lock(mutex_);
    if (auto it = surfaces_.find(window); it != surfaces_.end())
        it->second.title = title;
}

void HeadlessDisplay::setFullScreen(HWND window, bool fullScreen)
{
    std::lock_guard lock(mutex_);
    if (auto it = surfaces_.find(window); it != surfaces_.end())
        it->second.fullScreen = fullScreen;
}

void HeadlessDisplay::setMinimized(HWND window, bool minimized)
{
    std::lock_guard lock(mutex_);
    if (auto it = surfaces_.find(window); it != surfaces_.end())
        it->second.minimized = minimized;
}

void HeadlessDisplay::restack(const std::vector<HWND>& topFirst)
{
    std::lock_guard lock(mutex_);
    stacking_ = topFirst;
}

void HeadlessDisplay::setCursor(int cursorId)
{
    std::lock_guard lock(mutex_);
    cursor_ = cursorId;
}

SIZE HeadlessDisplay::screenSize()
{
    std::lock_guard lock(mutex_);
    return screen_;
}

bool HeadlessDisplay::putClipboard(const std::string& mimeType, std::vector<uint8_t> bytes)
{
    std::lock_guard lock(mutex_);
    clipboardType_ = mimeType;
    clipboardBytes_ = std::move(bytes);
    return true;
}

// ---- Inspection ----

Screenshot HeadlessDisplay::screenshot(HWND window) const
{
    std::lock_guard lock(mutex_);
    Screenshot shot;
    const Surface* s = find(window);
    if (!s)
        return shot;
    shot.width = s->width;
    shot.height = s->height;
    shot.pixels.resize(s->pixels.size());
    for (size_t i = 0; i < s->pixels.size(); ++i) {
        const uint32_t v = s->pixels[i];
        shot.pixels[i] = (v & 0x0000FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16;
    }
    if (s->shaped) {
        std::vector<bool> inside(shot.pixels.size(), false);
        for (const RECT& r : s->shape)
            for (int y = std::max(r.top, 0); y < std::min(r.bottom, LONG(s->height)); ++y)
                for (int x = std::max(r.left, 0); x < std::min(r.right, LONG(s->width)); ++x)
                    inside[size_t(y * s->width + x)] = true;
        for (size_t i = 0; i < inside.size(); ++i)
            if (!inside[i])
                shot.pixels[i] = kOutsideShape;
    }
    return shot;
}

bool HeadlessDisplay::hasSurface(HWND window) const
{
    std::lock_guard lock(mutex_);
    return find(window) != nullptr;
}

bool HeadlessDisplay::isShown(HWND window) const
{
    std::lock_guard lock(mutex_);
    const Surface* s = find(window);
    return s && s->shown;
}

bool HeadlessDisplay::isMinimized(HWND window) const
{
    std::lock_guard lock(mutex_);
    const Surface* s = find(window);
    return s && s->minimized;
}

bool HeadlessDisplay::isFullScreen(HWND window) const
{
    std::lock_guard lock(mutex_);
    const Surface* s = find(window);
    return s && s->fullScreen;
}

RECT HeadlessDisplay::surfaceRect(HWND window) const
{
    std::lock_guard lock(mutex_);
    const Surface* s = find(window);
    return s ? s->rect : RECT{};
}

std::string HeadlessDisplay::title(HWND window) const
{
    std::lock_guard lock(mutex_);
    const Surface* s = find(window);
    return s ? s->title : std::string();
}

int HeadlessDisplay::presentCount(HWND window) const
{
    std::lock_guard lock(mutex_);
    const Surface* s = find(window);
    return s ? s->presents : 0;
}

int HeadlessDisplay::cursor() const
{
    std::lock_guard lock(mutex_);
    return cursor_;
}

std::vector<HWND> HeadlessDisplay::stacking() const
{
    std::lock_guard lock(mutex_);
    return stacking_;
}

std::string HeadlessDisplay::clipboardType() const
{
    std::lock_guard lock(mutex_);
    return clipboardType_;
}

std::vector<uint8_t> HeadlessDisplay::clipboardBytes() const
{
    std::lock_guard lock(mutex_);
    return clipboardBytes_;
}
