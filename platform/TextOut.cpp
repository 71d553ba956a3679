#include "platform/DeviceContexts.h"
#include "platform/FontObject.h"
#include "platform/TextRuns.h"

BOOL TextOutA(HDC handle, int x, int y, LPCSTR text, int count)
{
    DcObject* dc = dcOf(handle);
    PixelSurface* surface = dcSurface(dc);
    if (!surface || count < 0 || (!text && count > 0))
        return FALSE;
    LOGFONTA lf = dcLogFont(*dc);
    std::shared_ptr<ScaledFont> font = fontFor(lf);
    if (!font)
        return FALSE;
    std::vector<uint32_t> chars = decodeText(text, size_t(count));
    std::vector<int> offsets = layoutRun(*font, chars);
    drawRun(*dc, *surface, *font, lf, chars, offsets, x, y);
    return TRUE;
}

BOOL GetTextExtentPoint32A(HDC handle, LPCSTR text, int count, SIZE* size)
{
    DcObject* dc = dcOf(handle);
    if (!dc || !size || count < 0 || (!text && count > 0))
        return FALSE;
    std::shared_ptr<ScaledFont> font = fontFor(dcLogFont(*dc));
    if (!font)
        return FALSE;
    std::vector<uint32_t> chars = decodeText(text, size_t(count));
    size->cx = layoutRun(*font, chars).back();
    size->cy = font->metrics().height;
    return TRUE;
}

BOOL GetTextMetricsA(HDC handle, TEXTMETRICA* tm)
{
    DcObject* dc = dcOf(handle);
    if (!dc || !tm)
        return FALSE;
    LOGFONTA lf = dcLogFont(*dc);
    std::shared_ptr<ScaledFont> font = fontFor(lf);
    if (!font)
        return FALSE;
    const FontMetrics& m = font->metrics();
    *tm = TEXTMETRICA{};
    tm->tmHeight = m.height;
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmInternalLeading = m.internalLeading;
    tm->tmExternalLeading = m.externalLeading;
    tm->tmAveCharWidth = m.aveCharWidth;
    tm->tmMaxCharWidth = m.maxCharWidth;
    tm->tmWeight = m.weight;
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = lf.lfItalic ? 1 : 0;
    tm->tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm->tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    // The low bit set means a variable pitch font, oddly, on the original platform.
    tm->tmPitchAndFamily = BYTE((lf.lfPitchAndFamily & 0xF0) | (m.fixedPitch ? 0 : 1) | 0x06);
    tm->tmCharSet = lf.lfCharSet;
    return TRUE;
}
