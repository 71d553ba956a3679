#include "framework/StdCtrls.h"

const TIdentMapEntry<TCheckBoxState> CheckBoxStateIdents[3] = {
    {cbUnchecked, "cbUnchecked"}, {cbChecked, "cbChecked"}, {cbGrayed, "cbGrayed"}};

namespace {

constexpr int kBoxSize = 13;

}   // namespace

TClass TCheckBox::StaticClass()
{
    static const TClass Class =
        PublishWinControl(TPublished<TCheckBox, TCustomControl>("TCheckBox"), clBtnFace, true, true)
            .Property("Caption", &TCheckBox::GetCaption, &TCheckBox::SetCaption)
        .Property("Alignment", &TCheckBox::GetAlignment, &TCheckBox::SetAlignment, AlignmentIdents,
                      Default(taRightJustify))
            .Property("AllowGrayed", &TCheckBox::GetAllowGrayed, &TCheckBox::SetAllowGrayed, Default(false))
            .Property("Checked", &TCheckBox::GetChecked, &TCheckBox::SetChecked, Default(false))
            .Property("State", &TCheckBox::GetState, &TCheckBox::SetState, CheckBoxStateIdents, Default(cbUnchecked));
    return Class;
}

TCheckBox::TCheckBox(TComponent* AOwner) : TCustomControl(AOwner)
{
    FControlStyle >> csDoubleClicks;
    FControlStyle << csSetCaption;
    SetBounds(0, 0, 97, 17);
    SetTabStop(true);
}

void TCheckBox::SetState(TCheckBoxState Value)
{
    if (Value == FState)
        return;
    FState = Value;
    Invalidate();
    if (!Loading())
        TCustomControl::Click();
}

void TCheckBox::SetAlignment(TAlignment Value)
{
    if (Value == FAlignment)
        return;
    FAlignment = Value;
    Invalidate();
}

void TCheckBox::Toggle()
{
    switch (FState) {
    case cbUnchecked:
        SetState(cbChecked);
        break;
    case cbChecked:
        SetState(FAllowGrayed ? cbGrayed : cbUnchecked);
        break;
    case cbGrayed:
        SetState(cbUnchecked);
        break;
    }
}

void TCheckBox::Click()
{
    Toggle();
}

void TCheckBox::KeyPress(char& Key)
{
    TCustomControl::KeyPress(Key);
    if (Key == ' ') {
        Key = 0;
        Toggle();
    }
}

void TCheckBox::Paint()
{
    HDC dc = GetCanvas()->GetHandle();
    TRect client = GetClientRect();
    FillSolid(dc, client, GetColor());
    // The box sits on the left (caption to its right, taRightJustify) or on the right.
    int boxTop = (client.Height() - kBoxSize) / 2;
    int boxLeft = FAlignment == taRightJustify ? 0 : client.Right - kBoxSize;
    TRect box(boxLeft, boxTop, boxLeft + kBoxSize, boxTop + kBoxSize);
    DrawSunkenEdge(dc, box);
    FillSolid(dc, box, FState == cbGrayed || !GetEnabled() ? clBtnFace : clWindow);
    if (FState != cbUnchecked) {
        // The classic tick: a 7-pixel-wide check mark, three pixels thick.
        TColor mark = FState == cbGrayed || !GetEnabled() ? clBtnShadow : clWindowText;
        int x0 = box.Left + 1, y0 = box.Top + 3;
        for (int i = 0; i < 7; ++i) {
            int y = i < 3 ? y0 + 2 + i : y0 + 4 - (i - 2);
            FillSolid(dc, TRect(x0 + i, y, x0 + i + 1, y + 3), mark);
        }
    }
    const AnsiString caption = GetCaption();
    if (caption.empty())
        return;
    TRect text = FAlignment == taRightJustify ? TRect(kBoxSize + 4, 0, client.Right, client.Bottom)
                                              : TRect(0, 0, client.Right - kBoxSize - 4, client.Bottom);
    DrawControlText(dc, GetFont(), caption, text, DT_SINGLELINE | DT_VCENTER | DT_LEFT,
                    GetEnabled() ? GetFont()->GetColor() : clGrayText);
}
