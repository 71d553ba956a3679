#pragma once
// Unit Graphics: colours, brushes, canvases and bitmaps.
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "platform/Fonts.h"
#include "platform/Gdi.h"

struct PixelSurface;

// ---- Colours ----
// Red in the low byte, then green and blue; a high byte of 0x80 names a system colour.
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clLtGray = clSilver;
constexpr TColor clDkGray = clGray;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor SystemColor(int index) { return TColor(0x80000000u | unsigned(index)); }
constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);

// A system colour becomes its current RGB value; any other value is returned as it is.
COLORREF ColorToRGB(TColor Color);

// ---- Brush ----
enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TPersistent
{
public:
    ~TBrush() override;
    AnsiString ClassName() const override { return "TBrush"; }
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value);
    // bsClear: text is drawn without a background and FillRect still fills (as classic).
    TBrushStyle GetStyle() const { return FStyle; }
    void SetStyle(TBrushStyle Value);
    HBRUSH GetHandle();   // owned by the brush
    TNotifyEvent OnChange;

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    HBRUSH FHandle = 0;
};

// ---- Font ----
enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;

// A logical font. Height is in pixels: negative means the character height without the
// internal leading (the classic -11 for 8 points at 96 dots per inch); Size is points,
// Size = -Height * 72 / 96. Every change calls OnChange once.
class TFont : public TPersistent
{
public:
    TFont() = default;
    ~TFont() override;
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    AnsiString ClassName() const override { return "TFont"; }
    static TClass StaticClass();

    void Assign(TPersistent* Source) override;

    AnsiString GetName() const { return FName; }
    void SetName(const AnsiString& Value);
    int GetHeight() const { return FHeight; }
    void SetHeight(int Value);
    int GetSize() const;
    void SetSize(int Value);
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value);
    TFontStyles GetStyle() const { return FStyle; }
    void SetStyle(TFontStyles Value);
    TFontCharset GetCharset() const { return FCharset; }
    void SetCharset(TFontCharset Value);
    TFontPitch GetPitch() const { return FPitch; }
    void SetPitch(TFontPitch Value);
    int GetPixelsPerInch() const { return 96; }

    // Made on demand, owned by the font; a change of any property makes a new one.
    HFONT GetHandle();
    // Same values (name compared exactly)?
    bool Equals(const TFont& Other) const;

    TNotifyEvent OnChange;

private:
    void Changed();
    void FreeHandle();

    AnsiString FName = "MS Sans Serif";
    int FHeight = -11;
    TColor FColor = clWindowText;
    TFontStyles FStyle;
    TFontCharset FCharset = DEFAULT_CHARSET;
    TFontPitch FPitch = fpDefault;
    HFONT FHandle = 0;
};

class TGraphic;

using TSize = SIZE;

// ---- Canvas ----
// Draws on a device context. A canvas that owns no DC asks its subclass for one on demand.
class TCanvas : public TPersistent
{
public:
    TCanvas();
    ~TCanvas() override;
    AnsiString ClassName() const override { return "TCanvas"; }

    HDC GetHandle();
    bool HandleAllocated() const { return FHandle != 0; }
    TBrush* Brush() { return FBrush.get(); }
    TFont* Font() { return FFont.get(); }

    TColor GetPixel(int X, int Y);
    void SetPixel(int X, int Y, TColor Color);
    void FillRect(const TRect& Rect);
    void Draw(int X, int Y, TGraphic* Graphic);
    void StretchDraw(const TRect& Rect, TGraphic* Graphic);
    void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);

    // Text with Font; the background is Brush's colour unless Brush's style is bsClear.
    // X, Y is the top-left corner of the text cell.
    void TextOut(int X, int Y, const AnsiString& Text);
    // Draws clipped to Rect, starting at X, Y.
    void TextRect(const TRect& Rect, int X, int Y, const AnsiString& Text);
    TSize TextExtent(const AnsiString& Text);
    int TextWidth(const AnsiString& Text) { return TextExtent(Text).cx; }
    int TextHeight(const AnsiString& Text) { return TextExtent(Text).cy; }

    TNotifyEvent OnChange;

protected:
    virtual void CreateHandle() {}
    void SetHandle(HDC Value) { FHandle = Value; }
    void Changed();

private:
    // Puts Font and Brush into the DC before text is drawn or measured.
    void RequireText();

    HDC FHandle = 0;
    std::unique_ptr<TBrush> FBrush;
    std::unique_ptr<TFont> FFont;
};

// ---- Graphics ----
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode : uint8_t { tmAuto = 0, tmFixed = 1 };

class TGraphic : public TPersistent
{
public:
    AnsiString ClassName() const override { return "TGraphic"; }
    virtual bool GetEmpty() const = 0;
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual void SetWidth(int Value) = 0;
    virtual void SetHeight(int Value) = 0;
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    virtual void LoadFromStream(TStream* Stream) = 0;
    virtual void SaveToStream(TStream* Stream) = 0;
    void LoadFromFile(const AnsiString& FileName);
    void SaveToFile(const AnsiString& FileName);

    TNotifyEvent OnChange;

protected:
    friend class TCanvas;
    virtual void Draw(TCanvas* Canvas, const TRect& Rect) = 0;
    virtual void Changed(TObject* Sender);

    bool FTransparent = false;
};

class TBitmap;

// The canvas of a bitmap: a memory DC that holds the bitmap's DIB section.
class TBitmapCanvas : public TCanvas
{
public:
    explicit TBitmapCanvas(TBitmap* Bitmap) : FBitmap(Bitmap) {}
    ~TBitmapCanvas() override;
    void FreeContext();
    void Reselect();

protected:
    void CreateHandle() override;

private:
    TBitmap* FBitmap;
    HDC FDC = 0;
    HBITMAP FOldBitmap = 0;
};

// A device-independent bitmap of 1, 8 or 24 bits per pixel (bottom-up, rows padded to four
// bytes). Every change of pixels, size, format, palette or transparency calls OnChange once.
class TBitmap : public TGraphic
{
public:
    TBitmap();
    ~TBitmap() override;
    AnsiString ClassName() const override { return "TBitmap"; }

    void Assign(TPersistent* Source) override;

    bool GetEmpty() const override { return FWidth == 0 || FHeight == 0; }
    int GetWidth() const override { return FWidth; }
    int GetHeight() const override { return FHeight; }
    void SetWidth(int Value) override;
    void SetHeight(int Value) override;
    void SetSize(int Width, int Height);

    TPixelFormat GetPixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat Value);
    bool GetMonochrome() const { return FPixelFormat == pf1bit; }

    // Row Row of the picture (0 at the top); raises EInvalidGraphicOperation out of range.
    void* ScanLine(int Row);
    TCanvas* Canvas();
    HBITMAP GetHandle() const { return FHandle; }

    // The palette as a handle the bitmap owns (made from the colour table on demand for the
    // paletted formats). SetPalette takes the handle over and, on a paletted format, makes its
    // entries the colour table. ReleasePalette hands the handle to the caller.
    HPALETTE GetPalette();
    void SetPalette(HPALETTE Value);
    HPALETTE ReleasePalette();
    const std::vector<RGBQUAD>& ColorTable() const { return FColors; }

    TColor GetTransparentColor();
    void SetTransparentColor(TColor Value);
    TTransparentMode GetTransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode Value);

    void LoadFromStream(TStream* Stream) override;
    void SaveToStream(TStream* Stream) override;
    using TGraphic::LoadFromFile;
    using TGraphic::SaveToFile;

    void Dormant() {}
    void FreeImage() {}

protected:
    void Draw(TCanvas* Canvas, const TRect& Rect) override;

private:
    friend class TBitmapCanvas;
    void Reshape(int Width, int Height, TPixelFormat Format, const std::vector<RGBQUAD>& Colors,
                 bool KeepPixels);
    void ReplaceImage(HBITMAP Handle, int Width, int Height, TPixelFormat Format,
                      std::vector<RGBQUAD> Colors);
    PixelSurface* Surface() const;

    int FWidth = 0;
    int FHeight = 0;
    TPixelFormat FPixelFormat = pf24bit;
    HBITMAP FHandle = 0;
    // The pixels behind FHandle, looked up once per handle: scan-line access is per row.
    PixelSurface* FSurface = nullptr;
    std::vector<RGBQUAD> FColors;   // colour table of the paletted formats
    HPALETTE FPalette = 0;
    TColor FTransparentColor = clDefault;
    TTransparentMode FTransparentMode = tmAuto;
    std::unique_ptr<TBitmapCanvas> FCanvas;
};

// Bits per pixel of the formats a TBitmap stores (0 for the others).
int BitsPerPixel(TPixelFormat Format);
// The colour table a format starts with: black and white for 1 bit, a colour cube with
// greys for 8 bits, none for 24 bits.
std::vector<RGBQUAD> DefaultColorTable(TPixelFormat Format);
