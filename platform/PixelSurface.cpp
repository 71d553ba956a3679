#include "platform/PixelSurface.h"

#include <climits>

COLORREF PixelSurface::pixel(int x, int y) const
{
    const uint8_t* p = row(y);
    auto fromTable = [this](int index) -> COLORREF {
        if (index >= int(colors.size()))
            return 0;
        const RGBQUAD& q = colors[size_t(index)];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    };
    switch (bitCount) {
    case 1:
        return fromTable((p[x >> 3] >> (7 - (x & 7))) & 1);
    case 4:
        return fromTable((p[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
    case 8:
        return fromTable(p[x]);
    case 24:
        p += 3 * x;
        return RGB(p[2], p[1], p[0]);
    case 32:
        p += 4 * x;
        return RGB(p[2], p[1], p[0]);
    }
    return 0;
}

int PixelSurface::nearestIndex(COLORREF color) const
{
    int best = 0;
    long bestDistance = LONG_MAX;
    for (size_t i = 0; i < colors.size(); ++i) {
        long dr = long(colors[i].rgbRed) - GetRValue(color);
        long dg = long(colors[i].rgbGreen) - GetGValue(color);
        long db = long(colors[i].rgbBlue) - GetBValue(color);
        long distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int(i);
            if (distance == 0)
                break;
        }
    }
    return best;
}

void PixelSurface::setIndex(int x, int y, int index)
{
    uint8_t* p = row(y);
    switch (bitCount) {
    case 1: {
        uint8_t mask = uint8_t(0x80 >> (x & 7));
        p[x >> 3] = index & 1 ? uint8_t(p[x >> 3] | mask) : uint8_t(p[x >> 3] & ~mask);
        break;
    }
    case 4: {
        uint8_t& b = p[x >> 1];
        b = (x & 1) ? uint8_t((b & 0xF0) | (index & 15)) : uint8_t((b & 0x0F) | ((index & 15) << 4));
        break;
    }
    case 8:
        p[x] = uint8_t(index);
        break;
    }
}

void PixelSurface::setPixel(int x, int y, COLORREF color)
{
    if (bitCount <= 8) {
        setIndex(x, y, nearestIndex(color));
        return;
    }
    uint8_t* p = row(y) + x * (bitCount / 8);
    p[0] = GetBValue(color);
    p[1] = GetGValue(color);
    p[2] = GetRValue(color);
    if (bitCount == 32)
        p[3] = 0;
}
