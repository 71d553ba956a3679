#include <cstring>
#include <utility>

#include "platform/DeviceContexts.h"
#include "platform/FontObject.h"

namespace {

LOGFONTA makeLogFont(LONG height, LONG weight, BYTE pitchAndFamily, const char* face)
{
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfPitchAndFamily = pitchAndFamily;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

HFONT addFont(const LOGFONTA& lf, bool stock)
{
    auto font = std::make_unique<FontObject>();
    font->logFont = lf;
    font->logFont.lfFaceName[LF_FACESIZE - 1] = 0;
    font->stock = stock;
    return gdiObjects().add(std::move(font));
}

// Stock fonts are made on first use and live for the whole run.
HFONT stockFont(int kind)
{
    static const HFONT guiFont = addFont(makeLogFont(-11, FW_NORMAL, FF_SWISS, "MS Shell Dlg"), true);
    static const HFONT systemFont = addFont(makeLogFont(16, FW_BOLD, FF_SWISS, "System"), true);
    static const HFONT varFont = addFont(makeLogFont(12, FW_NORMAL, FF_SWISS, "MS Sans Serif"), true);
    static const HFONT fixedFont = addFont(makeLogFont(12, FW_NORMAL, FIXED_PITCH | FF_MODERN,
                                                       "Courier"), true);
    switch (kind) {
    case DEFAULT_GUI_FONT:
        return guiFont;
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
        return systemFont;
    case ANSI_VAR_FONT:
        return varFont;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
        return fixedFont;
    }
    return 0;
}

}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA* font)
{
    return font ? addFont(*font, false) : 0;
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                  DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                  LPCSTR faceName)
{
    LOGFONTA lf{height, width, escapement, orientation, weight, BYTE(italic), BYTE(underline),
                BYTE(strikeOut), BYTE(charSet), BYTE(outPrecision), BYTE(clipPrecision),
                BYTE(quality), BYTE(pitchAndFamily), {}};
    if (faceName)
        std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return addFont(lf, false);
}

HGDIOBJ GetStockObject(int kind)
{
    return stockFont(kind);
}

LOGFONTA dcLogFont(const DcObject& dc)
{
    auto* font = gdiObject<FontObject>(dc.font);
    if (!font)
        font = gdiObject<FontObject>(stockFont(DEFAULT_GUI_FONT));
    return font->logFont;
}

int SetBkMode(HDC handle, int mode)
{
    DcObject* dc = dcOf(handle);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    return std::exchange(dc->bkMode, mode);
}

int GetBkMode(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->bkMode : 0;
}
