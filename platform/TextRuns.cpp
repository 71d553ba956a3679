#include "platform/TextRuns.h"

#include <algorithm>
#include <array>

#include "platform/DeviceContexts.h"

uint32_t codePointOf1252(unsigned char c)
{
    static constexpr std::array<uint16_t, 32> high{
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c;
}

std::vector<uint32_t> decodeText(const char* text, size_t count)
{
    std::vector<uint32_t> chars(count);
    for (size_t i = 0; i < count; ++i)
        chars[i] = codePointOf1252(static_cast<unsigned char>(text[i]));
    return chars;
}

std::vector<int> layoutRun(ScaledFont& font, std::span<const uint32_t> chars, int tabWidth)
{
    std::vector<int> offsets(chars.size() + 1, 0);
    for (size_t i = 0; i < chars.size(); ++i) {
        int pen = offsets[i];
        if (chars[i] == '\t' && tabWidth > 0)
            pen = (pen / tabWidth + 1) * tabWidth;
        else
            pen += font.glyph(chars[i]).advance;
        if (i + 1 < chars.size())
            pen += font.kerning(chars[i], chars[i + 1]);
        offsets[i + 1] = pen;
    }
    return offsets;
}

namespace {

uint8_t mix(uint8_t under, uint8_t over, unsigned coverage)
{
    return uint8_t((under * (255 - coverage) + over * coverage + 127) / 255);
}

// Blends one glyph's coverage into the part of the surface inside clip.
void blendGlyph(PixelSurface& s, const RECT& clip, const GlyphImage& g, int gx, int gy,
                COLORREF color)
{
    int x0 = std::max<int>(gx, clip.left), x1 = std::min<int>(gx + g.width, clip.right);
    int y0 = std::max<int>(gy, clip.top), y1 = std::min<int>(gy + g.rows, clip.bottom);
    int bpp = s.bitCount / 8;
    for (int y = y0; y < y1; ++y) {
        const uint8_t* cov = g.coverage.data() + size_t(y - gy) * size_t(g.width);
        for (int x = x0; x < x1; ++x) {
            unsigned c = cov[x - gx];
            if (c == 0)
                continue;
            if (bpp >= 3) {
                uint8_t* p = s.row(y) + x * bpp;
                p[0] = mix(p[0], GetBValue(color), c);
                p[1] = mix(p[1], GetGValue(color), c);
                p[2] = mix(p[2], GetRValue(color), c);
                continue;
            }
            // Paletted: the nearest entry to the blended colour.
            COLORREF under = s.pixel(x, y);
            s.setPixel(x, y, RGB(mix(GetRValue(under), GetRValue(color), c),
                                 mix(GetGValue(under), GetGValue(color), c),
                                 mix(GetBValue(under), GetBValue(color), c)));
        }
    }
}

void drawBar(DcObject& dc, PixelSurface& s, int left, int right, int top, int thickness,
             COLORREF color)
{
    if (left < right)
        fillArea(&dc, s, RECT{left, top, right, top + thickness}, color);
}

}  // namespace

void drawRun(DcObject& dc, PixelSurface& s, ScaledFont& font, const LOGFONTA& lf,
             std::span<const uint32_t> chars, std::span<const int> offsets, int x, int y,
             std::span<const uint8_t> marked)
{
    const FontMetrics& m = font.metrics();
    int width = offsets.empty() ? 0 : offsets.back();
    int baseline = y + m.ascent;
    if (dc.bkMode == OPAQUE)
        fillArea(&dc, s, RECT{x, y, x + width, y + m.height}, dc.bkColor);

    // One pass over the clip boxes of the area the ink can reach.
    RECT area{x, y, x + width, y + m.height};
    for (size_t i = 0; i < chars.size(); ++i) {
        const GlyphImage& g = font.glyph(chars[i]);
        int gx = x + offsets[i] + g.left, gy = baseline - g.top;
        area.left = std::min<LONG>(area.left, gx);
        area.right = std::max<LONG>(area.right, gx + g.width);
        area.top = std::min<LONG>(area.top, gy);
        area.bottom = std::max<LONG>(area.bottom, gy + g.rows);
    }
    COLORREF color = dc.textColor;
    forEachClipBox(&dc, s, area, [&](const RECT& clip) {
        for (size_t i = 0; i < chars.size(); ++i) {
            if (chars[i] <= ' ')
                continue;   // spaces and control characters leave no ink
            const GlyphImage& g = font.glyph(chars[i]);
            // clip is in surface coordinates: shift the DC-coordinate glyph by the origin.
            blendGlyph(s, clip, g, x + offsets[i] + g.left + dc.originX,
                       baseline - g.top + dc.originY, color);
        }
    });

    int underline = baseline + m.underlineOffset;
    if (lf.lfUnderline)
        drawBar(dc, s, x, x + width, underline, m.underlineThickness, color);
    if (lf.lfStrikeOut)
        drawBar(dc, s, x, x + width, baseline - m.strikeoutOffset, m.underlineThickness, color);
    for (size_t i = 0; i < marked.size() && i < chars.size(); ++i)
        if (marked[i])
            drawBar(dc, s, x + offsets[i], x + offsets[i + 1], underline, m.underlineThickness,
                    color);
}
