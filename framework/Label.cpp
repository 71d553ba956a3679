#include "framework/StdCtrls.h"

TClass TLabel::StaticClass()
{
    static const TClass Class = PublishControl(TPublished<TLabel, TGraphicControl>("TLabel"), clBtnFace, true)
        .Property("Caption", &TLabel::GetCaption, &TLabel::SetCaption)
        .Property("Alignment", &TLabel::GetAlignment, &TLabel::SetAlignment, AlignmentIdents, Default(taLeftJustify))
        .Property("AutoSize", &TLabel::GetAutoSize, &TLabel::SetAutoSize, Default(true))
        .Property("Layout", &TLabel::GetLayout, &TLabel::SetLayout, TextLayoutIdents, Default(tlTop))
        .Property("Transparent", &TLabel::GetTransparent, &TLabel::SetTransparent, Default(false))
        .Property("WordWrap", &TLabel::GetWordWrap, &TLabel::SetWordWrap, Default(false));
    return Class;
}

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    FControlStyle << csSetCaption << csOpaque;
    SetBounds(0, 0, 65, 17);
    TGraphicControl::SetAutoSize(true);
}

void TLabel::SetAlignment(TAlignment Value)
{
    if (Value == FAlignment)
        return;
    FAlignment = Value;
    Invalidate();
}

void TLabel::SetLayout(TTextLayout Value)
{
    if (Value == FLayout)
        return;
    FLayout = Value;
    Invalidate();
}

void TLabel::SetWordWrap(bool Value)
{
    if (Value == FWordWrap)
        return;
    FWordWrap = Value;
    AdjustSize();
    Invalidate();
}

void TLabel::SetTransparent(bool Value)
{
    if (Value == FTransparent)
        return;
    FTransparent = Value;
    if (Value)
        FControlStyle >> csOpaque;
    else
        FControlStyle << csOpaque;
    Invalidate();
}

void TLabel::SetAutoSize(bool Value)
{
    TGraphicControl::SetAutoSize(Value);
}

void TLabel::Loaded()
{
    TGraphicControl::Loaded();
    AdjustSize();
}

void TLabel::TextChanged()
{
    AdjustSize();
    Invalidate();
}

void TLabel::FontChanged()
{
    AdjustSize();
    Invalidate();
}

UINT TLabel::TextFlags() const
{
    return DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0) | AlignmentFlags(FAlignment);
}

void TLabel::AdjustSize()
{
    if (!GetAutoSize() || Loading())
        return;
    const AnsiString text = GetCaption();
    SIZE line = MeasureText(GetFont(), text);
    TRect r(0, 0, FWordWrap ? FWidth : line.cx, line.cy);
    if (FWordWrap && !text.empty()) {
        HDC dc = CreateCompatibleDC(0);
        DrawControlText(dc, GetFont(), text, r, TextFlags() | DT_CALCRECT, clBlack);
        DeleteDC(dc);
        r.Right = FWidth;
    }
    int left = FLeft;
    if (FAlignment == taRightJustify && !FWordWrap)
        left = FLeft + FWidth - r.Width();   // keeps the right edge where it was
    SetBounds(left, FTop, r.Width(), r.Height());
}

void TLabel::Paint()
{
    HDC dc = GetCanvas()->GetHandle();
    TRect rect = GetClientRect();
    if (!FTransparent)
        FillSolid(dc, rect, GetColor());
    const AnsiString text = GetCaption();
    if (text.empty())
        return;
    if (FLayout != tlTop) {
        TRect measured = rect;
        DrawControlText(dc, GetFont(), text, measured, TextFlags() | DT_CALCRECT, clBlack);
        int free = rect.Height() - measured.Height();
        rect.Top += FLayout == tlCenter ? free / 2 : free;
    }
    if (!GetEnabled()) {
        // The classic engraved look of disabled text.
        TRect shadow(rect.Left + 1, rect.Top + 1, rect.Right + 1, rect.Bottom + 1);
        DrawControlText(dc, GetFont(), text, shadow, TextFlags(), clBtnHighlight);
        DrawControlText(dc, GetFont(), text, rect, TextFlags(), clBtnShadow);
        return;
    }
    DrawControlText(dc, GetFont(), text, rect, TextFlags(), GetFont()->GetColor());
}
