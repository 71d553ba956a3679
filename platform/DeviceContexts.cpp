#include "platform/DeviceContexts.h"
#include "platform/Fonts.h"

#include "platform/WindowTree.h"

#include <algorithm>
#include <utility>

DcObject* dcOf(HDC handle)
{
    return gdiObject<DcObject>(handle);
}

PixelSurface* dcSurface(DcObject* dc)
{
    if (!dc)
        return nullptr;
    return dc->window ? windowSurface(dc->window) : GetDibSurface(dc->bitmap);
}

void forEachClipBox(DcObject* dc, const PixelSurface& surface, RECT area,
                    const std::function<void(const RECT&)>& visit)
{
    area = RECT{area.left + dc->originX, area.top + dc->originY, area.right + dc->originX,
                area.bottom + dc->originY};
    RECT bounds{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, surface.width),
                std::min(area.bottom, surface.height)};
    if (bounds.left >= bounds.right || bounds.top >= bounds.bottom)
        return;
    if (!dc->hasClip && !dc->window) {
        visit(bounds);
        return;
    }
    pixman_region32_t visible;
    pixman_region32_init_rect(&visible, bounds.left, bounds.top, uint32_t(bounds.right - bounds.left),
                              uint32_t(bounds.bottom - bounds.top));
    if (dc->hasClip) {
        pixman_region32_t clip;
        pixman_region32_init(&clip);
        pixman_region32_copy(&clip, &dc->clip);
        pixman_region32_translate(&clip, dc->originX, dc->originY);
        pixman_region32_intersect(&visible, &visible, &clip);
        pixman_region32_fini(&clip);
    }
    if (dc->window)
        pixman_region32_intersect(&visible, &visible, &dc->systemClip);
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&visible, &n);
    for (int i = 0; i < n; ++i)
        visit(RECT{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2});
    pixman_region32_fini(&visible);
}

bool dcPointVisible(DcObject* dc, const PixelSurface& surface, int x, int y, int& sx, int& sy)
{
    sx = x + dc->originX;
    sy = y + dc->originY;
    if (!surface.contains(sx, sy))
        return false;
    if (dc->hasClip && !pixman_region32_contains_point(&dc->clip, x, y, nullptr))
        return false;
    return !dc->window || pixman_region32_contains_point(&dc->systemClip, sx, sy, nullptr);
}

HDC CreateCompatibleDC(HDC)
{
    auto dc = std::make_unique<DcObject>();
    dc->bitmap = stockMonoBitmap();
    dc->brush = stockWhiteBrush();
    // Like the classic DC, a new one holds the default font, so select/restore pairs work.
    dc->font = GetStockObject(DEFAULT_GUI_FONT);
    return gdiObjects().add(std::move(dc));
}

BOOL DeleteDC(HDC handle)
{
    DcObject* dc = dcOf(handle);
    if (!dc || dc->window)
        return FALSE;   // window DCs go back through ReleaseDC
    if (auto* bitmap = gdiObject<BitmapObject>(dc->bitmap); bitmap && !bitmap->stock)
        bitmap->selectedInto = 0;
    gdiObjects().remove(handle);
    return TRUE;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object)
{
    DcObject* dc = dcOf(handle);
    GdiObject* target = gdiObjects().get(object);
    if (!dc || !target)
        return 0;
    switch (target->type()) {
    case OBJ_BITMAP: {
        auto* bitmap = static_cast<BitmapObject*>(target);
        if (!bitmap->stock && bitmap->selectedInto && bitmap->selectedInto != handle)
            return 0;   // a bitmap sits in one DC at a time
        HBITMAP previous = dc->bitmap;
        if (auto* old = gdiObject<BitmapObject>(previous); old && !old->stock)
            old->selectedInto = 0;
        if (!bitmap->stock)
            bitmap->selectedInto = handle;
        dc->bitmap = object;
        return previous;
    }
    case OBJ_BRUSH:
        return std::exchange(dc->brush, object);
    case OBJ_FONT:
        return std::exchange(dc->font, object);
    case OBJ_REGION:
        return HGDIOBJ(SelectClipRgn(handle, object));
    }
    return 0;
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return 0;
    switch (type) {
    case OBJ_BITMAP:
        return dc->bitmap;
    case OBJ_BRUSH:
        return dc->brush;
    case OBJ_FONT:
        return dc->font;
    case OBJ_PAL:
        return dc->palette;
    }
    return 0;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    auto brush = std::make_unique<BrushObject>();
    brush->color = color & 0xFFFFFF;
    return gdiObjects().add(std::move(brush));
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle)
{
    DcObject* dc = dcOf(handle);
    PixelSurface* s = dcSurface(dc);
    auto* brush = gdiObject<BrushObject>(brushHandle);
    if (!s || !rect || !brush)
        return 0;
    fillArea(dc, *s, *rect, brush->color);
    return 1;
}

void fillArea(DcObject* dc, PixelSurface& s, const RECT& area, COLORREF color)
{
    forEachClipBox(dc, s, area, [&](const RECT& r) {
        if (s.bitCount == 24 || s.bitCount == 32) {
            int bpp = s.bitCount / 8;
            for (int y = r.top; y < r.bottom; ++y) {
                uint8_t* p = s.row(y) + r.left * bpp;
                for (int x = r.left; x < r.right; ++x, p += bpp) {
                    p[0] = GetBValue(color);
                    p[1] = GetGValue(color);
                    p[2] = GetRValue(color);
                    if (bpp == 4)
                        p[3] = 0;
                }
            }
            return;
        }
        int index = s.nearestIndex(color);
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                s.setIndex(x, y, index);
    });
}

COLORREF GetPixel(HDC handle, int x, int y)
{
    DcObject* dc = dcOf(handle);
    PixelSurface* s = dcSurface(dc);
    int sx, sy;
    if (!s || !dcPointVisible(dc, *s, x, y, sx, sy))
        return CLR_INVALID;
    return s->pixel(sx, sy);
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color)
{
    DcObject* dc = dcOf(handle);
    PixelSurface* s = dcSurface(dc);
    int sx, sy;
    if (!s || !dcPointVisible(dc, *s, x, y, sx, sy))
        return CLR_INVALID;
    s->setPixel(sx, sy, color & 0xFFFFFF);
    return s->pixel(sx, sy);
}

int SetStretchBltMode(HDC handle, int mode)
{
    DcObject* dc = dcOf(handle);
    if (!dc || mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    return std::exchange(dc->stretchMode, mode);
}

int GetStretchBltMode(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->stretchMode : 0;
}

COLORREF SetBkColor(HDC handle, COLORREF color)
{
    DcObject* dc = dcOf(handle);
    return dc ? std::exchange(dc->bkColor, color & 0xFFFFFF) : CLR_INVALID;
}

COLORREF GetBkColor(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->bkColor : CLR_INVALID;
}

COLORREF SetTextColor(HDC handle, COLORREF color)
{
    DcObject* dc = dcOf(handle);
    return dc ? std::exchange(dc->textColor, color & 0xFFFFFF) : CLR_INVALID;
}

COLORREF GetTextColor(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->textColor : CLR_INVALID;
}

int SelectClipRgn(HDC handle, HRGN region)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return ERROR;
    if (!region) {
        dc->hasClip = false;
        pixman_region32_clear(&dc->clip);
        return SIMPLEREGION;
    }
    auto* object = gdiObject<RegionObject>(region);
    if (!object)
        return ERROR;
    pixman_region32_copy(&dc->clip, &object->region);
    dc->hasClip = true;
    int n = pixman_region32_n_rects(&dc->clip);
    return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}
