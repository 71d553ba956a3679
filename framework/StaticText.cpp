#include "framework/StdCtrls.h"

const TIdentMapEntry<TStaticBorderStyle> StaticBorderStyleIdents[3] = {
    {sbsNone, "sbsNone"}, {sbsSingle, "sbsSingle"}, {sbsSunken, "sbsSunken"}};

TClass TStaticText::StaticClass()
{
    static const TClass Class =
        PublishWinControl(TPublished<TStaticText, TWinControl>("TStaticText"), clBtnFace, true, false)
            .Property("Caption", &TStaticText::GetCaption, &TStaticText::SetCaption)
        .Property("Alignment", &TStaticText::GetAlignment, &TStaticText::SetAlignment, AlignmentIdents,
                      Default(taLeftJustify))
            .Property("AutoSize", &TStaticText::GetAutoSize, &TStaticText::SetAutoSize, Default(true))
            .Property("BorderStyle", &TStaticText::GetBorderStyle, &TStaticText::SetBorderStyle,
                      StaticBorderStyleIdents, Default(sbsNone));
    return Class;
}

TStaticText::TStaticText(TComponent* AOwner) : TWinControl(AOwner)
{
    FControlStyle << csSetCaption << csOpaque;
    FControlStyle >> csDoubleClicks;
    SetBounds(0, 0, 65, 17);
    TWinControl::SetAutoSize(true);
}

void TStaticText::SetAlignment(TAlignment Value)
{
    if (Value == FAlignment)
        return;
    FAlignment = Value;
    Invalidate();
}

void TStaticText::SetBorderStyle(TStaticBorderStyle Value)
{
    if (Value == FBorderStyle)
        return;
    FBorderStyle = Value;
    AdjustSize();
    Invalidate();
}

void TStaticText::SetAutoSize(bool Value)
{
    TWinControl::SetAutoSize(Value);
}

void TStaticText::Loaded()
{
    TWinControl::Loaded();
    AdjustSize();
}

void TStaticText::TextChanged()
{
    TWinControl::TextChanged();
    AdjustSize();
    Invalidate();
}

void TStaticText::FontChanged()
{
    TWinControl::FontChanged();
    AdjustSize();
}

void TStaticText::AdjustSize()
{
    if (!GetAutoSize() || Loading())
        return;
    SIZE size = MeasureText(GetFont(), GetCaption());
    int border = 2 * BorderWidth();
    SetBounds(FLeft, FTop, size.cx + border, size.cy + border);
}

void TStaticText::PaintWindow(HDC DC)
{
    TRect rect = GetClientRect();
    if (FBorderStyle == sbsSingle)
        Frame3D(DC, rect, clWindowFrame, clWindowFrame, 1);
    else if (FBorderStyle == sbsSunken)
        Frame3D(DC, rect, clBtnShadow, clBtnHighlight, 1);
    FillSolid(DC, rect, GetColor());
    const AnsiString text = GetCaption();
    if (!text.empty())
        DrawControlText(DC, GetFont(), text, rect, DT_EXPANDTABS | DT_WORDBREAK | AlignmentFlags(FAlignment),
                        GetEnabled() ? GetFont()->GetColor() : clGrayText);
}
