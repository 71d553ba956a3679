#include <algorithm>
#include <cstring>

#include "platform/GdiObjects.h"

namespace {

// Pixel buffers of DIB sections are capped well below what would overflow their arithmetic.
constexpr int64_t kMaxDibBytes = int64_t(1) << 30;

}  // namespace

bool describeDib(const BITMAPINFOHEADER& h, PixelSurface& s)
{
    const int bitCount = h.biBitCount;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biWidth <= 0 ||
        h.biHeight == 0 || h.biHeight == INT32_MIN ||
        (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32))
        return false;
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const int64_t stride = ((int64_t(h.biWidth) * bitCount + 31) / 32) * 4;
    if (stride * height > kMaxDibBytes)
        return false;
    s.width = h.biWidth;
    s.height = height;
    s.bitCount = bitCount;
    s.stride = int(stride);
    s.topDown = h.biHeight < 0;
    return true;
}

size_t dibColorCount(const BITMAPINFOHEADER& h)
{
    if (h.biBitCount > 8)
        return 0;
    const size_t entries = size_t(1) << h.biBitCount;
    return h.biClrUsed != 0 && h.biClrUsed < entries ? h.biClrUsed : entries;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD)
{
    if (bits)
        *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section != 0)
        return 0;
    auto object = std::make_unique<BitmapObject>();
    PixelSurface& s = object->surface;
    if (!describeDib(info->bmiHeader, s))
        return 0;
    size_t bytes = size_t(s.stride) * size_t(s.height);
    object->storage = std::make_unique<uint8_t[]>(bytes);   // zeroed: a new DIB is black
    s.bits = object->storage.get();
    s.colors.assign(info->bmiColors, info->bmiColors + dibColorCount(info->bmiHeader));
    if (bits)
        *bits = s.bits;
    return gdiObjects().add(std::move(object));
}

// The colour table of the DIB section selected into a DC.
static std::vector<RGBQUAD>* selectedColorTable(HDC dc)
{
    auto* object = gdiObject<DcObject>(dc);
    PixelSurface* s = object ? GetDibSurface(object->bitmap) : nullptr;
    return s && s->bitCount <= 8 ? &s->colors : nullptr;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors)
{
    std::vector<RGBQUAD>* table = selectedColorTable(dc);
    if (!table || !colors || start >= table->size())
        return 0;
    UINT n = std::min<UINT>(count, UINT(table->size()) - start);
    std::copy_n(table->begin() + start, n, colors);
    return n;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors)
{
    std::vector<RGBQUAD>* table = selectedColorTable(dc);
    if (!table || !colors || start >= table->size())
        return 0;
    UINT n = std::min<UINT>(count, UINT(table->size()) - start);
    std::copy_n(colors, n, table->begin() + start);
    return n;
}
