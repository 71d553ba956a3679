#pragma once
// The platform's table of graphics objects. Internal to platform/: callers hold handles.
#include <pixman.h>

#include <memory>
#include <vector>

#include "platform/HandleTable.h"
#include "platform/PixelSurface.h"

struct GdiObject
{
    virtual ~GdiObject() = default;
    virtual int type() const = 0;
    bool stock = false;   // stock objects survive DeleteObject
};

struct RegionObject final : GdiObject
{
    RegionObject() { pixman_region32_init(&region); }
    ~RegionObject() override { pixman_region32_fini(&region); }
    static constexpr int kType = OBJ_REGION;
    int type() const override { return kType; }
    pixman_region32_t region;
    // Set once the region shapes a window: changing it then changes the window tree.
    bool windowShape = false;
};

struct PaletteObject final : GdiObject
{
    static constexpr int kType = OBJ_PAL;
    int type() const override { return kType; }
    std::vector<PALETTEENTRY> entries;
};

struct BrushObject final : GdiObject
{
    static constexpr int kType = OBJ_BRUSH;
    int type() const override { return kType; }
    COLORREF color = 0;
};

struct BitmapObject final : GdiObject
{
    static constexpr int kType = OBJ_BITMAP;
    int type() const override { return kType; }
    PixelSurface surface;
    std::unique_ptr<uint8_t[]> storage;
    HDC selectedInto = 0;   // a selected bitmap cannot be deleted
};

struct DcObject : GdiObject
{
    int type() const override { return window ? OBJ_DC : OBJ_MEMDC; }
    // A window DC draws on its top-level window's surface: DC coordinates are shifted by the
    // origin, and the system clip (surface coordinates) holds what of the window is visible.
    HWND window = 0;
    int originX = 0;
    int originY = 0;
    pixman_region32_t systemClip;
    HBITMAP bitmap = 0;
    HBRUSH brush = 0;
    HPALETTE palette = 0;
    HFONT font = 0;
    int stretchMode = BLACKONWHITE;
    COLORREF bkColor = RGB(255, 255, 255);
    COLORREF textColor = 0;
    int bkMode = OPAQUE;
    bool hasClip = false;
    pixman_region32_t clip;   // in the DC's coordinates, valid when hasClip
    DcObject()
    {
        pixman_region32_init(&clip);
        pixman_region32_init(&systemClip);
    }
    ~DcObject() override
    {
        pixman_region32_fini(&clip);
        pixman_region32_fini(&systemClip);
    }
};

HandleTable<GdiObject>& gdiObjects();

// The live object behind a handle when it has the wanted kind, else null.
template <typename T>
T* gdiObject(HGDIOBJ handle)
{
    GdiObject* object = gdiObjects().get(handle);
    // A final kind with a type code of its own is told by the code: lookups come per pixel
    // row and per hit test, where a dynamic cast shows.
    if constexpr (requires { T::kType; })
        return object && object->type() == T::kType ? static_cast<T*>(object) : nullptr;
    else
        return dynamic_cast<T*>(object);
}

HBITMAP stockMonoBitmap();
HBRUSH stockWhiteBrush();
