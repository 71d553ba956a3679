#pragma once
// Pixel memory that device contexts draw on: the bits of a DIB section, and later the
// surfaces of top-level windows. Rows are addressed from the top whatever their order
// in memory.
#include <cstdint>
#include <vector>

#include "platform/Gdi.h"

struct PixelSurface
{
    int width = 0;
    int height = 0;
    int bitCount = 24;   // 1, 4, 8, 24 or 32
    int stride = 0;      // bytes per row, a multiple of 4
    bool topDown = false;
    uint8_t* bits = nullptr;
    std::vector<RGBQUAD> colors;   // colour table of the 1, 4 and 8-bit formats

    uint8_t* row(int y) const
    {
        return bits + size_t(topDown ? y : height - 1 - y) * size_t(stride);
    }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }

    // Colour of a pixel as an RGB value; the caller keeps (x, y) inside the surface.
    COLORREF pixel(int x, int y) const;
    // Writes a colour; on paletted formats the nearest entry of the colour table is used.
    void setPixel(int x, int y, COLORREF color);
    // Index of the colour table entry nearest to a colour (0 when there is no table).
    int nearestIndex(COLORREF color) const;
    // Writes a colour-table index directly (paletted formats only).
    void setIndex(int x, int y, int index);

    static int strideFor(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }
};

// Size and format of the pixels a DIB header describes (bits and colours left alone); false
// for a header that cannot be drawn (compressed, 16 bits, empty, too large).
bool describeDib(const BITMAPINFOHEADER& header, PixelSurface& surface);
// Entries of the colour table that follows a DIB header (none above 8 bits).
size_t dibColorCount(const BITMAPINFOHEADER& header);

// The pixels behind a DIB section, or null when the handle is not a live bitmap.
PixelSurface* GetDibSurface(HBITMAP bitmap);
