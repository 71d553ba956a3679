#include <cstring>
#include <unordered_map>

#include "framework/Graphics.h"
#include "platform/PixelSurface.h"

namespace {

TPixelFormat storedFormat(TPixelFormat format)
{
    switch (format) {
    case pf1bit:
        return pf1bit;
    case pf4bit:
    case pf8bit:
        return pf8bit;
    default:
        return pf24bit;
    }
}

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Copies the overlapping part of one surface into another of any format. To one bit, white
// stays white and every other colour becomes black.
void copyPixels(const PixelSurface& from, PixelSurface& to)
{
    int w = std::min(from.width, to.width);
    int h = std::min(from.height, to.height);
    if (from.bitCount == to.bitCount && (from.bitCount == 24 || from.colors.size() == to.colors.size())) {
        bool sameTable = from.bitCount == 24 ||
                         std::memcmp(from.colors.data(), to.colors.data(),
                                     from.colors.size() * sizeof(RGBQUAD)) == 0;
        if (sameTable && from.bitCount >= 8) {
            size_t bytes = size_t(w) * size_t(from.bitCount / 8);
            for (int y = 0; y < h; ++y)
                std::memcpy(to.row(y), from.row(y), bytes);
            return;
        }
        if (sameTable) {   // one bit: the indexes stay, whatever colours the table holds
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    to.setIndex(x, y, (from.row(y)[x >> 3] >> (7 - (x & 7))) & 1);
            return;
        }
    }
    std::unordered_map<COLORREF, int> nearest;
    int white = to.bitCount <= 8 ? to.nearestIndex(kWhite) : 0;
    int black = to.bitCount <= 8 ? to.nearestIndex(0) : 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            COLORREF c = from.pixel(x, y);
            if (to.bitCount == 1) {
                to.setIndex(x, y, c == kWhite ? white : black);
            } else if (to.bitCount <= 8) {
                auto it = nearest.find(c);
                to.setIndex(x, y, it != nearest.end() ? it->second : (nearest[c] = to.nearestIndex(c)));
            } else {
                to.setPixel(x, y, c);
            }
        }
    }
}

void fillWhite(PixelSurface& s)
{
    if (s.bitCount == 24) {
        // Pixels only: padding stays zero, so equal pictures save as equal files.
        for (int y = 0; y < s.height; ++y)
            std::memset(s.row(y), 0xFF, size_t(s.width) * 3);
        return;
    }
    int index = s.nearestIndex(kWhite);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            s.setIndex(x, y, index);
}

HBITMAP createDib(int width, int height, int bitCount, const std::vector<RGBQUAD>& colors)
{
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
    bmi->bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, WORD(bitCount),
                                      BI_RGB, 0, 0, 0, DWORD(colors.size()), 0};
    if (!colors.empty())   // a 24-bit image has no table, and memcpy must not see its null data
        std::memcpy(bmi->bmiColors, colors.data(), std::min<size_t>(colors.size(), 256) * sizeof(RGBQUAD));
    void* bits = nullptr;
    HBITMAP handle = CreateDIBSection(0, bmi, DIB_RGB_COLORS, &bits, 0, 0);
    if (!handle)
        throw EOutOfResources("Out of system resources: cannot create a " + std::to_string(width) +
                              " x " + std::to_string(height) + " bitmap");
    return handle;
}

// A palette of its own with the same entries, or 0 for none.
HPALETTE copyPalette(HPALETTE palette)
{
    UINT n = palette ? GetPaletteEntries(palette, 0, 0, nullptr) : 0;
    if (n == 0)
        return 0;
    std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
    auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = WORD(GetPaletteEntries(palette, 0, n, log->palPalEntry));
    return CreatePalette(log);
}

}  // namespace

int BitsPerPixel(TPixelFormat Format)
{
    switch (Format) {
    case pf1bit:
        return 1;
    case pf8bit:
        return 8;
    case pf24bit:
        return 24;
    default:
        return 0;
    }
}

std::vector<RGBQUAD> DefaultColorTable(TPixelFormat Format)
{
    std::vector<RGBQUAD> colors;
    if (Format == pf1bit) {
        colors = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    } else if (Format == pf8bit) {
        // A 6 x 6 x 6 colour cube followed by 40 greys.
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    colors.push_back({BYTE(b * 51), BYTE(g * 51), BYTE(r * 51), 0});
        for (int i = 0; i < 40; ++i) {
            BYTE v = BYTE(i * 255 / 39);
            colors.push_back({v, v, v, 0});
        }
    }
    return colors;
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap()
{
    FCanvas.reset();
    if (FHandle)
        DeleteObject(FHandle);
    if (FPalette)
        DeleteObject(FPalette);
}

PixelSurface* TBitmap::Surface() const
{
    return FSurface;
}

void TBitmap::ReplaceImage(HBITMAP Handle, int Width, int Height, TPixelFormat Format,
                           std::vector<RGBQUAD> Colors)
{
    HBITMAP old = FHandle;
    FHandle = Handle;
    FSurface = GetDibSurface(Handle);
    FWidth = Width;
    FHeight = Height;
    FPixelFormat = Format;
    FColors = std::move(Colors);
    if (FCanvas)
        FCanvas->Reselect();
    if (old)
        DeleteObject(old);
}

void TBitmap::Reshape(int Width, int Height, TPixelFormat Format, const std::vector<RGBQUAD>& Colors,
                      bool KeepPixels)
{
    Width = std::max(Width, 0);
    Height = std::max(Height, 0);
    HBITMAP handle = 0;
    if (Width > 0 && Height > 0) {
        handle = createDib(Width, Height, BitsPerPixel(Format), Colors);
        PixelSurface* target = GetDibSurface(handle);
        fillWhite(*target);
        if (KeepPixels && Surface())
            copyPixels(*Surface(), *target);
    }
    ReplaceImage(handle, Width, Height, Format, Colors);
}

void TBitmap::SetWidth(int Value)
{
    Value = std::max(Value, 0);
    if (Value == FWidth)
        return;
    Reshape(Value, FHeight, FPixelFormat, FColors, true);
    Changed(this);
}

void TBitmap::SetHeight(int Value)
{
    Value = std::max(Value, 0);
    if (Value == FHeight)
        return;
    Reshape(FWidth, Value, FPixelFormat, FColors, true);
    Changed(this);
}

void TBitmap::SetSize(int Width, int Height)
{
    Width = std::max(Width, 0);
    Height = std::max(Height, 0);
    if (Width == FWidth && Height == FHeight)
        return;
    Reshape(Width, Height, FPixelFormat, FColors, true);
    Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat Value)
{
    Value = storedFormat(Value);
    if (Value == FPixelFormat)
        return;
    std::vector<RGBQUAD> colors = DefaultColorTable(Value);
    if (Value == pf8bit && FPalette) {
        std::vector<PALETTEENTRY> entries(256);
        UINT n = GetPaletteEntries(FPalette, 0, 256, entries.data());
        if (n > 0) {
            colors.clear();
            for (UINT i = 0; i < n; ++i)
                colors.push_back({entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0});
        }
    }
    Reshape(FWidth, FHeight, Value, colors, true);
    Changed(this);
}

void* TBitmap::ScanLine(int Row)
{
    PixelSurface* s = Surface();
    if (!s || Row < 0 || Row >= FHeight)
        throw EInvalidGraphicOperation("Scan line index out of range");
    return s->row(Row);
}

TCanvas* TBitmap::Canvas()
{
    if (!FCanvas) {
        FCanvas = std::make_unique<TBitmapCanvas>(this);
        FCanvas->OnChange = [this](TObject*) { Changed(this); };
    }
    return FCanvas.get();
}

HPALETTE TBitmap::GetPalette()
{
    if (!FPalette && !FColors.empty()) {
        std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + FColors.size() * sizeof(PALETTEENTRY));
        auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
        log->palVersion = 0x300;
        log->palNumEntries = WORD(FColors.size());
        for (size_t i = 0; i < FColors.size(); ++i)
            log->palPalEntry[i] = {FColors[i].rgbRed, FColors[i].rgbGreen, FColors[i].rgbBlue, 0};
        FPalette = CreatePalette(log);
    }
    return FPalette;
}

void TBitmap::SetPalette(HPALETTE Value)
{
    if (Value == FPalette)
        return;
    if (FPalette)
        DeleteObject(FPalette);
    FPalette = Value;
    if (Value && FPixelFormat != pf24bit) {
        size_t limit = size_t(1) << BitsPerPixel(FPixelFormat);
        std::vector<PALETTEENTRY> entries(limit);
        UINT n = GetPaletteEntries(Value, 0, UINT(limit), entries.data());
        if (n > 0) {
            FColors.clear();
            for (UINT i = 0; i < n; ++i)
                FColors.push_back({entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0});
            if (PixelSurface* s = Surface())
                s->colors = FColors;   // the indexes stay; their colours change
        }
    }
    Changed(this);
}

HPALETTE TBitmap::ReleasePalette()
{
    HPALETTE palette = GetPalette();
    FPalette = 0;
    return palette;
}

TColor TBitmap::GetTransparentColor()
{
    TColor result;
    if (FTransparentColor == clDefault) {
        if (GetMonochrome())
            result = clWhite;
        else if (PixelSurface* s = Surface())
            result = TColor(s->pixel(0, FHeight - 1));
        else
            result = TColor(CLR_INVALID);
    } else {
        result = TColor(ColorToRGB(FTransparentColor));
    }
    // The classic bitmap marks the colour it reports with this flag byte.
    return TColor(uint32_t(result) | 0x02000000u);
}

void TBitmap::SetTransparentColor(TColor Value)
{
    if (Value == FTransparentColor)
        return;
    FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
    FTransparentColor = Value;
    Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode Value)
{
    if (Value == FTransparentMode)
        return;
    if (Value == tmAuto)
        SetTransparentColor(clDefault);
    else
        SetTransparentColor(GetTransparentColor());
}

void TBitmap::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TBitmap*>(Source);
    if (Source && !source) {
        TGraphic::Assign(Source);
        return;
    }
    if (source == this)
        return;
    if (!source) {
        Reshape(0, 0, FPixelFormat, FColors, false);
    } else {
        HBITMAP handle = 0;
        if (PixelSurface* from = source->Surface()) {
            handle = createDib(source->FWidth, source->FHeight, from->bitCount, source->FColors);
            PixelSurface* to = GetDibSurface(handle);
            std::memcpy(to->bits, from->bits, size_t(from->stride) * size_t(from->height));
        }
        ReplaceImage(handle, source->FWidth, source->FHeight, source->FPixelFormat, source->FColors);
        if (FPalette)
            DeleteObject(FPalette);
        // A 24-bit image keeps a palette set on it only in the handle, so the handle is copied.
        FPalette = copyPalette(source->FPalette);
        FTransparent = source->FTransparent;
        FTransparentColor = source->FTransparentColor;
        FTransparentMode = source->FTransparentMode;
    }
    Changed(this);
}

void TBitmap::Draw(TCanvas* Target, const TRect& Rect)
{
    HDC dest = Target->GetHandle();
    HDC src = Canvas()->GetHandle();
    if (GetTransparent())
        TransparentBlt(dest, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, FWidth,
                       FHeight, UINT(GetTransparentColor()) & 0xFFFFFF);
    else
        StretchBlt(dest, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, FWidth, FHeight,
                   SRCCOPY);
}

TBitmapCanvas::~TBitmapCanvas()
{
    FreeContext();
}

void TBitmapCanvas::CreateHandle()
{
    FDC = CreateCompatibleDC(0);
    FOldBitmap = FBitmap->FHandle ? SelectObject(FDC, FBitmap->FHandle) : 0;
    SetHandle(FDC);
}

void TBitmapCanvas::Reselect()
{
    if (!FDC)
        return;
    HGDIOBJ previous = FBitmap->FHandle ? SelectObject(FDC, FBitmap->FHandle)
                                        : (FOldBitmap ? SelectObject(FDC, FOldBitmap) : 0);
    if (!FOldBitmap && FBitmap->FHandle)
        FOldBitmap = previous;
}

void TBitmapCanvas::FreeContext()
{
    if (!FDC)
        return;
    if (FOldBitmap)
        SelectObject(FDC, FOldBitmap);
    DeleteDC(FDC);
    FDC = 0;
    FOldBitmap = 0;
    SetHandle(0);
}
