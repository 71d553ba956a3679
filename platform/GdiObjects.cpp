#include "platform/GdiObjects.h"

HandleTable<GdiObject>& gdiObjects()
{
    static HandleTable<GdiObject> table;
    return table;
}

static HGDIOBJ addStock(std::unique_ptr<GdiObject> object)
{
    object->stock = true;
    return gdiObjects().add(std::move(object));
}

HBITMAP stockMonoBitmap()
{
    // A new memory DC holds a 1 x 1 monochrome bitmap until another one is selected.
    static HBITMAP handle = [] {
        auto bitmap = std::make_unique<BitmapObject>();
        PixelSurface& s = bitmap->surface;
        s.width = s.height = 1;
        s.bitCount = 1;
        s.stride = 4;
        bitmap->storage = std::make_unique<uint8_t[]>(4);
        s.bits = bitmap->storage.get();
        s.colors = {{0, 0, 0, 0}, {255, 255, 255, 0}};
        return addStock(std::move(bitmap));
    }();
    return handle;
}

HBRUSH stockWhiteBrush()
{
    static HBRUSH handle = [] {
        auto brush = std::make_unique<BrushObject>();
        brush->color = RGB(255, 255, 255);
        return addStock(std::move(brush));
    }();
    return handle;
}

BOOL DeleteObject(HGDIOBJ handle)
{
    GdiObject* object = gdiObjects().get(handle);
    if (!object || object->type() == OBJ_MEMDC || object->type() == OBJ_DC)
        return FALSE;
    if (object->stock)
        return TRUE;
    if (auto* bitmap = dynamic_cast<BitmapObject*>(object); bitmap && bitmap->selectedInto)
        return FALSE;
    gdiObjects().remove(handle);
    return TRUE;
}

DWORD GetObjectType(HGDIOBJ handle)
{
    GdiObject* object = gdiObjects().get(handle);
    return object ? DWORD(object->type()) : 0;
}

PixelSurface* GetDibSurface(HBITMAP handle)
{
    auto* bitmap = gdiObject<BitmapObject>(handle);
    return bitmap ? &bitmap->surface : nullptr;
}
