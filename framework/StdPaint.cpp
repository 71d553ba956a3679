#include "framework/StdPaint.h"

const TIdentMapEntry<TAlignment> AlignmentIdents[3] = {
    {taLeftJustify, "taLeftJustify"}, {taRightJustify, "taRightJustify"}, {taCenter, "taCenter"}};
const TIdentMapEntry<TTextLayout> TextLayoutIdents[3] = {{tlTop, "tlTop"}, {tlCenter, "tlCenter"}, {tlBottom, "tlBottom"}};
const TIdentMapEntry<TBorderStyle> BorderStyleIdents[2] = {{bsNone, "bsNone"}, {bsSingle, "bsSingle"}};

void FillSolid(HDC DC, const TRect& Rect, TColor Color)
{
    if (Rect.Width() <= 0 || Rect.Height() <= 0)
        return;
    HBRUSH brush = CreateSolidBrush(ColorToRGB(Color) & 0xFFFFFF);
    RECT r = Rect;
    FillRect(DC, &r, brush);
    DeleteObject(brush);
}

void Frame3D(HDC DC, TRect& Rect, TColor TopColor, TColor BottomColor, int Width)
{
    for (int i = 0; i < Width && Rect.Width() > 0 && Rect.Height() > 0; ++i) {
        // Right and bottom first, the top-left colour owning the corner between them, as the
        // classic pen strokes overlap.
        FillSolid(DC, TRect(Rect.Right - 1, Rect.Top, Rect.Right, Rect.Bottom), BottomColor);
        FillSolid(DC, TRect(Rect.Left, Rect.Bottom - 1, Rect.Right, Rect.Bottom), BottomColor);
        FillSolid(DC, TRect(Rect.Left, Rect.Top, Rect.Right - 1, Rect.Top + 1), TopColor);
        FillSolid(DC, TRect(Rect.Left, Rect.Top, Rect.Left + 1, Rect.Bottom - 1), TopColor);
        Rect = TRect(Rect.Left + 1, Rect.Top + 1, Rect.Right - 1, Rect.Bottom - 1);
    }
}

void DrawRaisedEdge(HDC DC, TRect& Rect)
{
    Frame3D(DC, Rect, clBtnHighlight, cl3DDkShadow, 1);
    Frame3D(DC, Rect, cl3DLight, clBtnShadow, 1);
}

void DrawSunkenEdge(HDC DC, TRect& Rect)
{
    Frame3D(DC, Rect, clBtnShadow, clBtnHighlight, 1);
    Frame3D(DC, Rect, cl3DDkShadow, cl3DLight, 1);
}

int DrawControlText(HDC DC, TFont* Font, const AnsiString& Text, TRect& Rect, UINT Format, TColor Color)
{
    HGDIOBJ old = Font ? SelectObject(DC, Font->GetHandle()) : 0;
    int oldMode = SetBkMode(DC, TRANSPARENT);
    COLORREF oldColor = SetTextColor(DC, ColorToRGB(Color) & 0xFFFFFF);
    RECT r = Rect;
    int height = DrawTextA(DC, Text.c_str(), int(Text.size()), &r, Format | DT_NOPREFIX);
    if (Format & DT_CALCRECT)
        Rect = TRect(r);
    SetTextColor(DC, oldColor);
    SetBkMode(DC, oldMode);
    if (old)
        SelectObject(DC, old);
    return height;
}

SIZE MeasureText(TFont* Font, const AnsiString& Text)
{
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ old = Font ? SelectObject(dc, Font->GetHandle()) : 0;
    SIZE size{};
    // An empty text still has a line's height.
    const AnsiString probe = Text.empty() ? AnsiString("W") : Text;
    GetTextExtentPoint32A(dc, probe.c_str(), int(probe.size()), &size);
    if (Text.empty())
        size.cx = 0;
    if (old)
        SelectObject(dc, old);
    DeleteDC(dc);
    return size;
}

UINT AlignmentFlags(TAlignment Alignment)
{
    switch (Alignment) {
    case taRightJustify:
        return DT_RIGHT;
    case taCenter:
        return DT_CENTER;
    default:
        return DT_LEFT;
    }
}
