#include "framework/ExtCtrls.h"
#include "framework/TypeInfo.h"

const TIdentMapEntry<TBevelCut> BevelCutIdents[3] = {{bvNone, "bvNone"}, {bvLowered, "bvLowered"}, {bvRaised, "bvRaised"}};

TClass TPanel::StaticClass()
{
    static const TClass Class = PublishWinControl(TPublished<TPanel, TCustomControl>("TPanel"), clBtnFace, false, false)
        .Property("Caption", &TPanel::GetCaption, &TPanel::SetCaption)
        .Property("Alignment", &TPanel::GetAlignment, &TPanel::SetAlignment, AlignmentIdents, Default(taCenter))
        .Property("BevelInner", &TPanel::GetBevelInner, &TPanel::SetBevelInner, BevelCutIdents, Default(bvNone))
        .Property("BevelOuter", &TPanel::GetBevelOuter, &TPanel::SetBevelOuter, BevelCutIdents, Default(bvRaised))
        .Property("BevelWidth", &TPanel::GetBevelWidth, &TPanel::SetBevelWidth, Default(1))
        .Property("BorderWidth", &TPanel::GetBorderWidth, &TPanel::SetBorderWidth, Default(0))
        .Property("BorderStyle", &TPanel::GetBorderStyle, &TPanel::SetBorderStyle, BorderStyleIdents, Default(bsNone));
    return Class;
}

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner)
{
    FControlStyle << csAcceptsControls << csSetCaption << csOpaque;
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

void TPanel::Paint()
{
    HDC dc = GetCanvas()->GetHandle();
    TRect rect = GetClientRect();
    if (FBorderStyle == bsSingle)
        Frame3D(dc, rect, clWindowFrame, clWindowFrame, 1);
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone)
            return;
        TColor top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
        TColor bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
        Frame3D(dc, rect, top, bottom, FBevelWidth);
    };
    bevel(FBevelOuter);
    Frame3D(dc, rect, GetColor(), GetColor(), FBorderWidth);
    bevel(FBevelInner);
    FillSolid(dc, rect, GetColor());
    const AnsiString caption = GetCaption();
    if (!caption.empty())
        DrawControlText(dc, GetFont(), caption, rect, DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | AlignmentFlags(FAlignment),
                        GetEnabled() ? GetFont()->GetColor() : clGrayText);
}
