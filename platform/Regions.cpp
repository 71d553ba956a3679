// Regions of the graphics interface on pixman regions. pixman keeps its rectangles in
// y-x bands (sorted by top, then left, never overlapping), which is also the order in
// which the classic interface reports a region's data.
#include <cstring>
#include <vector>

#include "platform/GdiObjects.h"
#include "platform/WindowTree.h"

namespace {

RegionObject* regionOf(HRGN handle) { return gdiObject<RegionObject>(handle); }

// A region about to change: what was derived from a window shaped by it is stale.
RegionObject* changing(RegionObject* object)
{
    if (object && object->windowShape)
        windowTreeChanged();
    return object;
}

int regionType(const pixman_region32_t* region)
{
    int count = pixman_region32_n_rects(const_cast<pixman_region32_t*>(region));
    return count == 0 ? NULLREGION : count == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// Makes the region the one rectangle, or empty; corners are taken as boxes, so no width
// is computed that could overflow.
void setBox(pixman_region32_t& region, int left, int top, int right, int bottom)
{
    pixman_region32_fini(&region);
    if (left < right && top < bottom) {
        pixman_box32_t box{left, top, right, bottom};
        pixman_region32_init_rects(&region, &box, 1);
    } else {
        pixman_region32_init(&region);
    }
}

HRGN addRegion(std::unique_ptr<RegionObject> region)
{
    return gdiObjects().add(std::move(region));
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto object = std::make_unique<RegionObject>();
    // The classic call accepts the corners in either order.
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    setBox(object->region, left, top, right, bottom);
    return addRegion(std::move(object));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    if (!rect)
        return 0;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN handle, int left, int top, int right, int bottom)
{
    RegionObject* object = changing(regionOf(handle));
    if (!object)
        return FALSE;
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    setBox(object->region, left, top, right, bottom);
    return TRUE;
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode)
{
    RegionObject* d = changing(regionOf(dest));
    RegionObject* a = regionOf(src1);
    if (!d || !a)
        return ERROR;
    if (mode == RGN_COPY) {
        if (!pixman_region32_copy(&d->region, &a->region))
            return ERROR;
        return regionType(&d->region);
    }
    RegionObject* b = regionOf(src2);
    if (!b)
        return ERROR;
    bool ok = false;
    switch (mode) {
    case RGN_AND:
        ok = pixman_region32_intersect(&d->region, &a->region, &b->region);
        break;
    case RGN_OR:
        ok = pixman_region32_union(&d->region, &a->region, &b->region);
        break;
    case RGN_DIFF:
        ok = pixman_region32_subtract(&d->region, &a->region, &b->region);
        break;
    case RGN_XOR: {
        // pixman has no exclusive-or: (a - b) + (b - a).
        pixman_region32_t ab, ba;
        pixman_region32_init(&ab);
        pixman_region32_init(&ba);
        ok = pixman_region32_subtract(&ab, &a->region, &b->region) &&
             pixman_region32_subtract(&ba, &b->region, &a->region) &&
             pixman_region32_union(&d->region, &ab, &ba);
        pixman_region32_fini(&ab);
        pixman_region32_fini(&ba);
        break;
    }
    default:
        return ERROR;
    }
    return ok ? regionType(&d->region) : ERROR;
}

int OffsetRgn(HRGN handle, int dx, int dy)
{
    RegionObject* object = changing(regionOf(handle));
    if (!object)
        return ERROR;
    pixman_region32_translate(&object->region, dx, dy);
    return regionType(&object->region);
}

int GetRgnBox(HRGN handle, LPRECT rect)
{
    RegionObject* object = regionOf(handle);
    if (!object || !rect)
        return ERROR;
    int type = regionType(&object->region);
    if (type == NULLREGION) {
        *rect = RECT{};
        return type;
    }
    const pixman_box32_t* box = pixman_region32_extents(&object->region);
    *rect = RECT{box->x1, box->y1, box->x2, box->y2};
    return type;
}

BOOL PtInRegion(HRGN handle, int x, int y)
{
    RegionObject* object = regionOf(handle);
    if (!object)
        return FALSE;
    return pixman_region32_contains_point(&object->region, x, y, nullptr) ? TRUE : FALSE;
}

BOOL RectInRegion(HRGN handle, const RECT* rect)
{
    RegionObject* object = regionOf(handle);
    if (!object || !rect)
        return FALSE;
    pixman_box32_t box{rect->left, rect->top, rect->right, rect->bottom};
    return pixman_region32_contains_rectangle(&object->region, &box) != PIXMAN_REGION_OUT;
}

BOOL EqualRgn(HRGN a, HRGN b)
{
    RegionObject* ra = regionOf(a);
    RegionObject* rb = regionOf(b);
    if (!ra || !rb)
        return ERROR;
    return pixman_region32_equal(&ra->region, &rb->region) ? TRUE : FALSE;
}

DWORD GetRegionData(HRGN handle, DWORD count, RGNDATA* data)
{
    RegionObject* object = regionOf(handle);
    if (!object)
        return 0;
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&object->region, &n);
    DWORD needed = DWORD(sizeof(RGNDATAHEADER) + size_t(n) * sizeof(RECT));
    if (!data)
        return needed;
    if (count < needed)
        return 0;
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = DWORD(n);
    data->rdh.nRgnSize = DWORD(size_t(n) * sizeof(RECT));
    GetRgnBox(handle, &data->rdh.rcBound);
    auto* out = reinterpret_cast<unsigned char*>(data) + sizeof(RGNDATAHEADER);
    for (int i = 0; i < n; ++i) {
        RECT r{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2};
        std::memcpy(out + size_t(i) * sizeof(RECT), &r, sizeof r);
    }
    return count;
}

HRGN ExtCreateRegion(const XFORM* xform, DWORD count, const RGNDATA* data)
{
    // Only the identity transformation is supported.
    if (xform && (xform->eM11 != 1 || xform->eM12 != 0 || xform->eM21 != 0 ||
                  xform->eM22 != 1 || xform->eDx != 0 || xform->eDy != 0))
        return 0;
    if (!data || count < sizeof(RGNDATAHEADER))
        return 0;
    const RGNDATAHEADER& header = data->rdh;
    if (header.dwSize != sizeof(RGNDATAHEADER) || header.iType != RDH_RECTANGLES)
        return 0;
    if (header.nCount > (count - sizeof(RGNDATAHEADER)) / sizeof(RECT))
        return 0;
    const auto* in = reinterpret_cast<const unsigned char*>(data) + sizeof(RGNDATAHEADER);
    std::vector<pixman_box32_t> boxes;
    boxes.reserve(header.nCount);
    for (DWORD i = 0; i < header.nCount; ++i) {
        RECT r;
        std::memcpy(&r, in + size_t(i) * sizeof(RECT), sizeof r);
        if (r.left < r.right && r.top < r.bottom)
            boxes.push_back({r.left, r.top, r.right, r.bottom});
    }
    auto object = std::make_unique<RegionObject>();
    pixman_region32_fini(&object->region);
    if (!pixman_region32_init_rects(&object->region, boxes.data(), int(boxes.size()))) {
        pixman_region32_init(&object->region);
        return 0;
    }
    return addRegion(std::move(object));
}
