// BitBlt, StretchBlt and TransparentBlt between device contexts, and StretchDIBits from the
// caller's memory. Stretching samples the nearest source pixel (the centre of each target
// pixel mapped back onto the source); the rows are copied by BlitRows.
#include <cstdlib>
#include <vector>

#include "platform/BlitRows.h"
#include "platform/DeviceContexts.h"

namespace {

// When source and target share their pixels, the source is read from a snapshot so that
// overlapping copies read the original pixels.
struct SourceSnapshot
{
    PixelSurface surface;
    std::vector<uint8_t> storage;
    const PixelSurface& take(const PixelSurface& src, const PixelSurface& dst)
    {
        if (src.bits != dst.bits)
            return src;
        surface = src;
        storage.assign(src.bits, src.bits + size_t(src.stride) * size_t(src.height));
        surface.bits = storage.data();
        return surface;
    }
};

// Source column or row for each target one (-1: outside the source): the centre of each
// target pixel mapped back onto the source.
std::vector<int> mapAxis(int count, int srcStart, int srcCount, int srcLimit, bool mirror)
{
    std::vector<int> map(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        int64_t k = (int64_t(2 * i + 1) * srcCount) / (int64_t(2) * count);
        if (mirror)
            k = srcCount - 1 - k;
        int64_t s = srcStart + k;
        map[size_t(i)] = s >= 0 && s < srcLimit ? int(s) : -1;
    }
    return map;
}

// What a blit reads: a surface, the rectangle on it (surface coordinates, either size may
// be negative to mirror) and the background colour of the DC it comes from.
struct BlitSource
{
    const PixelSurface* surface;
    int x, y, width, height;
    COLORREF bkColor;
};

// For each target pixel inside the clip, the source pixel that maps onto it; pixels that
// map outside the source are left alone.
BOOL blitFrom(HDC destHandle, RECT dest, const BlitSource& source, bool keyed, COLORREF key)
{
    DcObject* dstDc = dcOf(destHandle);
    PixelSurface* dst = dcSurface(dstDc);
    if (!dst)
        return FALSE;
    int srcX = source.x, srcY = source.y, srcW = source.width, srcH = source.height;
    int dw = dest.right - dest.left;
    int dh = dest.bottom - dest.top;
    bool mirrorX = (dw < 0) != (srcW < 0);
    bool mirrorY = (dh < 0) != (srcH < 0);
    if (dw < 0) { dest.left += dw; dw = -dw; }
    if (dh < 0) { dest.top += dh; dh = -dh; }
    if (srcW < 0) { srcX += srcW; srcW = -srcW; }
    if (srcH < 0) { srcY += srcH; srcH = -srcH; }
    if (dw == 0 || dh == 0 || srcW == 0 || srcH == 0)
        return TRUE;
    dest.right = dest.left + dw;
    dest.bottom = dest.top + dh;

    // The mapping works on surface coordinates, the clip on the DC's.
    const RECT destInDc = dest;
    const int top = dest.top + dstDc->originY;

    SourceSnapshot snapshot;
    BlitRows rows;
    rows.src = &snapshot.take(*source.surface, *dst);
    rows.dst = dst;
    rows.left = dest.left + dstDc->originX;
    rows.cols = mapAxis(dw, srcX, srcW, rows.src->width, mirrorX);
    rows.straight = dw == srcW && !mirrorX;
    rows.keyed = keyed;
    rows.key = key;
    rows.srcBk = source.bkColor;
    const std::vector<int> sourceRows = mapAxis(dh, srcY, srcH, rows.src->height, mirrorY);
    const RowCopy copy = chooseRowCopy(rows);

    forEachClipBox(dstDc, *dst, destInDc, [&](const RECT& r) {
        for (int y = r.top; y < r.bottom; ++y) {
            const int sy = sourceRows[size_t(y - top)];
            if (sy >= 0)
                copy(rows, y, sy, r.left, r.right);
        }
    });
    return TRUE;
}

// Window DCs address their surface from an origin.
BOOL blit(HDC destHandle, RECT dest, HDC srcHandle, int srcX, int srcY, int srcW, int srcH,
          bool keyed, COLORREF key)
{
    DcObject* srcDc = dcOf(srcHandle);
    const PixelSurface* src = dcSurface(srcDc);
    if (!src)
        return FALSE;
    return blitFrom(destHandle, dest,
                    BlitSource{src, srcX + srcDc->originX, srcY + srcDc->originY, srcW, srcH, srcDc->bkColor},
                    keyed, key);
}

BOOL fillRop(HDC handle, int x, int y, int width, int height, DWORD rop)
{
    DcObject* dc = dcOf(handle);
    PixelSurface* s = dcSurface(dc);
    if (!s)
        return FALSE;
    COLORREF color = 0;
    if (rop == WHITENESS) {
        color = RGB(255, 255, 255);
    } else if (rop == PATCOPY) {
        auto* brush = gdiObject<BrushObject>(dc->brush);
        color = brush ? brush->color : 0;
    }
    fillArea(dc, *s, RECT{x, y, x + width, y + height}, color);
    return TRUE;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY)
        return fillRop(dest, x, y, width, height, rop);
    if (rop != SRCCOPY)
        return FALSE;
    return blit(dest, RECT{x, y, x + width, y + height}, src, srcX, srcY, width, height, false, 0);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop)
{
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY)
        return fillRop(dest, x, y, width, height, rop);
    if (rop != SRCCOPY)
        return FALSE;
    return blit(dest, RECT{x, y, x + width, y + height}, src, srcX, srcY, srcWidth, srcHeight,
                false, 0);
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                    int srcWidth, int srcHeight, UINT transparent)
{
    if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0)
        return FALSE;
    return blit(dest, RECT{x, y, x + width, y + height}, src, srcX, srcY, srcWidth, srcHeight,
                true, transparent & 0xFFFFFF);
}

int StretchDIBits(HDC dest, int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
{
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY)
        return fillRop(dest, x, y, width, height, rop) ? std::abs(srcHeight) : 0;
    if (rop != SRCCOPY || !bits || !info || usage != DIB_RGB_COLORS)
        return 0;
    PixelSurface picture;
    if (!describeDib(info->bmiHeader, picture))
        return 0;
    picture.bits = static_cast<uint8_t*>(const_cast<void*>(bits));   // only read
    if (picture.bitCount <= 8)
        picture.colors.assign(info->bmiColors, info->bmiColors + dibColorCount(info->bmiHeader));
    // A bottom-up picture counts source rows from its bottom edge.
    if (!picture.topDown)
        srcY = picture.height - srcY - srcHeight;
    DcObject* dc = dcOf(dest);
    const BlitSource source{&picture, srcX, srcY, srcWidth, srcHeight, dc ? dc->bkColor : RGB(255, 255, 255)};
    return blitFrom(dest, RECT{x, y, x + width, y + height}, source, false, 0) ? std::abs(srcHeight) : 0;
}
