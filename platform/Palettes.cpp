#include "platform/GdiObjects.h"

HPALETTE CreatePalette(const LOGPALETTE* palette)
{
    if (!palette || palette->palVersion != 0x300 || palette->palNumEntries == 0)
        return 0;
    auto object = std::make_unique<PaletteObject>();
    object->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    return gdiObjects().add(std::move(object));
}

UINT GetPaletteEntries(HPALETTE handle, UINT start, UINT count, PALETTEENTRY* entries)
{
    auto* palette = gdiObject<PaletteObject>(handle);
    if (!palette)
        return 0;
    UINT size = UINT(palette->entries.size());
    if (!entries)
        return size;
    if (start >= size)
        return 0;
    UINT n = std::min(count, size - start);
    for (UINT i = 0; i < n; ++i)
        entries[i] = palette->entries[start + i];
    return n;
}
