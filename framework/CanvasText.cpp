#include "framework/Graphics.h"

// Text on a canvas. The font is selected into the DC for each call and the DC's own font
// restored afterwards, so a bitmap's DC never keeps a font the canvas may free.

namespace {

class FontSelection
{
public:
    FontSelection(HDC dc, HFONT font) : dc_(dc), old_(font ? SelectObject(dc, font) : 0) {}
    ~FontSelection()
    {
        if (old_)
            SelectObject(dc_, old_);
    }
    FontSelection(const FontSelection&) = delete;
    FontSelection& operator=(const FontSelection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace

void TCanvas::RequireText()
{
    HDC dc = GetHandle();
    SetTextColor(dc, ColorToRGB(FFont->GetColor()) & 0xFFFFFF);
    if (FBrush->GetStyle() == bsClear) {
        SetBkMode(dc, TRANSPARENT);
    } else {
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, ColorToRGB(FBrush->GetColor()) & 0xFFFFFF);
    }
}

void TCanvas::TextOut(int X, int Y, const AnsiString& Text)
{
    RequireText();
    HDC dc = GetHandle();
    FontSelection font(dc, FFont->GetHandle());
    TextOutA(dc, X, Y, Text.c_str(), int(Text.size()));
    Changed();
}

void TCanvas::TextRect(const TRect& Rect, int X, int Y, const AnsiString& Text)
{
    RequireText();
    HDC dc = GetHandle();
    FontSelection font(dc, FFont->GetHandle());
    HRGN clip = CreateRectRgn(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
    SelectClipRgn(dc, clip);
    if (FBrush->GetStyle() != bsClear) {
        RECT r = Rect;
        ::FillRect(dc, &r, FBrush->GetHandle());
    }
    TextOutA(dc, X, Y, Text.c_str(), int(Text.size()));
    SelectClipRgn(dc, 0);
    DeleteObject(clip);
    Changed();
}

TSize TCanvas::TextExtent(const AnsiString& Text)
{
    HDC dc = GetHandle();
    FontSelection font(dc, FFont->GetHandle());
    SIZE size{};
    if (!GetTextExtentPoint32A(dc, Text.c_str(), int(Text.size()), &size))
        return SIZE{};
    return size;
}
