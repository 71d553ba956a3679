#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "framework/ComboPopup.h"

const TIdentMapEntry<TComboBoxStyle> ComboBoxStyleIdents[3] = {
    {csDropDown, "csDropDown"}, {csSimple, "csSimple"}, {csDropDownList, "csDropDownList"}};

namespace {

constexpr int kEdge = 2;       // the sunken field edge
constexpr int kTextInset = 2;  // between the edge and the text

int ButtonWidth()
{
    int width = GetSystemMetrics(SM_CXVSCROLL);
    return width > 0 ? width : 16;
}

bool IsWordChar(char c)
{
    return static_cast<unsigned char>(c) >= ' ' && c != 127;
}

}   // namespace

TClass TComboBox::StaticClass()
{
    static const TClass Class = PublishWinControl(TPublished<TComboBox, TCustomControl>("TComboBox"), clWindow, false, true)
        .Property("DropDownCount", &TComboBox::GetDropDownCount, &TComboBox::SetDropDownCount, Default(8))
        .Property("ItemHeight", &TComboBox::GetItemHeight, &TComboBox::SetItemHeight,
                  Stored(&TComboBox::IsItemHeightStored))
        .Property("Items", &TComboBox::GetItems)   // written before ItemIndex
        .Property("ItemIndex", &TComboBox::GetItemIndex, &TComboBox::SetItemIndex, Default(-1))
        .Property("Style", &TComboBox::GetStyle, &TComboBox::SetStyle, ComboBoxStyleIdents, Default(csDropDown))
        .Property("Text", &TComboBox::GetText, &TComboBox::SetText)
        .Event("OnChange", &TComboBox::OnChange)
        .Event("OnCloseUp", &TComboBox::OnCloseUp)
        .Event("OnDropDown", &TComboBox::OnDropDown);
    return Class;
}

TComboBox::TComboBox(TComponent* AOwner) : TCustomControl(AOwner), FItems(std::make_unique<TStringList>())
{
    // The list takes the mouse while open; the box must not release it on the button's up.
    FControlStyle >> csCaptureMouse;
    FControlStyle >> csDoubleClicks;
    FControlStyle >> csSetCaption;
    FControlStyle >> csClickEvents;
    SetBounds(0, 0, 145, 21);
    SetColor(clWindow);
    SetTabStop(true);
    FItems->OnChange = [this](TObject*) { ItemsChanged(); };
}

TComboBox::~TComboBox()
{
    FItems->OnChange = nullptr;
    if (FPopup)
        FPopup->Close();   // gives the mouse back while the list is still whole
    delete FPopup;
}

void TComboBox::ItemsChanged()
{
    if (FItemIndex >= FItems->Count() && !Loading())
        FItemIndex = -1;
    if (FPopup && FPopup->IsOpen())
        FPopup->Invalidate();
}

void TComboBox::SetStyle(TComboBoxStyle Value)
{
    if (Value == FStyle)
        return;
    FStyle = Value;
    Invalidate();
}

void TComboBox::SetItemIndex(int Value)
{
    if (Loading()) {
        FItemIndex = Value;   // the items may not be there yet: Loaded checks it
        return;
    }
    if (Value < -1 || Value >= FItems->Count())
        Value = -1;
    FItemIndex = Value;
    TCustomControl::SetText(Value >= 0 ? FItems->Strings(Value) : AnsiString());
    FCaret = int(GetText().size());
    Invalidate();
}

void TComboBox::SetText(const AnsiString& Value)
{
    if (FStyle == csDropDownList && !Loading()) {
        int index = FItems->IndexOf(Value);
        if (index >= 0)
            SetItemIndex(index);
        return;
    }
    TCustomControl::SetText(Value);
    FCaret = int(Value.size());
    if (!Loading() && (FItemIndex < 0 || FItemIndex >= FItems->Count() || FItems->Strings(FItemIndex) != Value))
        FItemIndex = FItems->IndexOf(Value);
    Invalidate();
}

void TComboBox::Clear()
{
    SetDroppedDown(false);
    FItems->Clear();
    FItemIndex = -1;
    TCustomControl::SetText("");
    FCaret = 0;
    Invalidate();
}

void TComboBox::Loaded()
{
    TCustomControl::Loaded();
    if (FItemIndex >= FItems->Count())
        FItemIndex = -1;
    if (FItemIndex >= 0)
        SetItemIndex(FItemIndex);
}

void TComboBox::SetSelStart(int Value)
{
    FCaret = std::clamp(Value, 0, int(GetText().size()));
    Invalidate();
}

int TComboBox::GetItemHeight()
{
    return FItemHeight > 0 ? FItemHeight : int(MeasureText(GetFont(), "").cy) + 2;
}

void TComboBox::SetItemHeight(int Value)
{
    // As in the classic box, a height below 1 is ignored.
    if (Value > 0)
        FItemHeight = Value;
}

TRect TComboBox::ButtonRect() const
{
    return TRect(std::max(FWidth - kEdge - ButtonWidth(), kEdge), kEdge, FWidth - kEdge, FHeight - kEdge);
}

bool TComboBox::GetDroppedDown() const
{
    return FPopup && FPopup->IsOpen();
}

void TComboBox::SetDroppedDown(bool Value)
{
    if (Value == GetDroppedDown())
        return;
    if (!Value) {
        CloseUp(-1);
        return;
    }
    if (!Showing())
        return;   // nothing to hang a list under
    if (OnDropDown)
        OnDropDown(this);
    if (!FPopup)
        FPopup = new TComboPopup(this);
    FPopup->Open();
    Invalidate();
}

void TComboBox::CloseUp(int Chosen)
{
    if (!GetDroppedDown())
        return;
    FPopup->Close();
    Invalidate();
    if (Chosen >= 0 && Chosen < FItems->Count() && (Chosen != FItemIndex || GetText() != FItems->Strings(Chosen))) {
        SetItemIndex(Chosen);
        Change();
    }
    if (OnCloseUp)
        OnCloseUp(this);
}

void TComboBox::Change()
{
    if (OnChange)
        OnChange(this);
}

void TComboBox::EditText(const AnsiString& NewText, int NewCaret)
{
    TCustomControl::SetText(NewText);
    FCaret = std::clamp(NewCaret, 0, int(NewText.size()));
    // The choice follows the text: an item only while the text is that item.
    if (FItemIndex < 0 || FItemIndex >= FItems->Count() || FItems->Strings(FItemIndex) != NewText)
        FItemIndex = FItems->IndexOf(NewText);
    Invalidate();
    Change();
}

void TComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (CanFocus() && !Focused())
        SetFocus();
    if (Button == mbLeft) {
        TRect button = ButtonRect();
        bool onButton = X >= button.Left && X < button.Right && Y >= button.Top && Y < button.Bottom;
        if (FStyle == csDropDownList || onButton) {
            SetDroppedDown(!GetDroppedDown());
        } else {
            // The caret goes to the character boundary nearest the click.
            const AnsiString text = GetText();
            int x = X - kEdge - kTextInset, best = 0, bestDistance = std::abs(x);
            for (int i = 1; i <= int(text.size()); ++i) {
                int distance = std::abs(x - int(MeasureText(GetFont(), text.substr(0, size_t(i))).cx));
                if (distance < bestDistance) {
                    best = i;
                    bestDistance = distance;
                }
            }
            SetSelStart(best);
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TComboBox::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    const AnsiString text = GetText();
    bool dropped = GetDroppedDown();
    switch (Key) {
    case VK_F4:
        SetDroppedDown(!dropped);
        break;
    case VK_ESCAPE:
        if (!dropped)
            return;
        CloseUp(-1);
        break;
    case VK_RETURN:
        if (!dropped)
            return;
        CloseUp(FPopup->HotIndex());
        break;
    case VK_UP:
    case VK_DOWN: {
        int step = Key == VK_UP ? -1 : 1;
        if (dropped) {
            FPopup->SetHotIndex(FPopup->HotIndex() + step);
        } else if (FItems->Count()) {
            int next = std::clamp(FItemIndex + step, 0, FItems->Count() - 1);
            if (next != FItemIndex) {
                SetItemIndex(next);
                Change();
            }
        }
        break;
    }
    case VK_LEFT:
        SetSelStart(FCaret - 1);
        break;
    case VK_RIGHT:
        SetSelStart(FCaret + 1);
        break;
    case VK_HOME:
        SetSelStart(0);
        break;
    case VK_END:
        SetSelStart(int(text.size()));
        break;
    case VK_DELETE:
        if (FStyle == csDropDownList || FCaret >= int(text.size()))
            return;
        EditText(text.substr(0, size_t(FCaret)) + text.substr(size_t(FCaret) + 1), FCaret);
        break;
    default:
        return;
    }
    Key = 0;
}

void TComboBox::KeyPress(char& Key)
{
    TCustomControl::KeyPress(Key);
    if (Key == 0)
        return;
    const AnsiString text = GetText();
    if (FStyle == csDropDownList) {
        // A letter picks the next item that starts with it.
        if (!IsWordChar(Key) || !FItems->Count())
            return;
        int count = FItems->Count();
        for (int step = 1; step <= count; ++step) {
            int index = (std::max(FItemIndex, -1) + step + count) % count;
            AnsiString item = FItems->Strings(index);
            if (!item.empty() && std::tolower(static_cast<unsigned char>(item[0])) ==
                                     std::tolower(static_cast<unsigned char>(Key))) {
                if (index != FItemIndex) {
                    SetItemIndex(index);
                    Change();
                }
                break;
            }
        }
        Key = 0;
        return;
    }
    if (Key == '\b') {
        if (FCaret > 0)
            EditText(text.substr(0, size_t(FCaret) - 1) + text.substr(size_t(FCaret)), FCaret - 1);
        Key = 0;
    } else if (IsWordChar(Key)) {
        EditText(text.substr(0, size_t(FCaret)) + Key + text.substr(size_t(FCaret)), FCaret + 1);
        Key = 0;
    }
}

void TComboBox::Paint()
{
    HDC dc = GetCanvas()->GetHandle();
    TRect rect = GetClientRect();
    DrawSunkenEdge(dc, rect);
    FillSolid(dc, rect, GetEnabled() ? GetColor() : clBtnFace);

    // The button: raised, flat and pushed while the list is open, with the arrow.
    TRect button = ButtonRect();
    TRect face = button;
    if (GetDroppedDown())
        Frame3D(dc, face, clBtnShadow, clBtnShadow, 1);
    else
        DrawRaisedEdge(dc, face);
    FillSolid(dc, face, clBtnFace);
    int shift = GetDroppedDown() ? 1 : 0;
    int cx = (button.Left + button.Right) / 2 + shift, cy = (button.Top + button.Bottom) / 2 - 2 + shift;
    for (int row = 0; row < 4; ++row)
        FillSolid(dc, TRect(cx - 3 + row, cy + row, cx + 4 - row, cy + row + 1), GetEnabled() ? clBtnText : clGrayText);

    TRect field(rect.Left, rect.Top, button.Left, rect.Bottom);
    const AnsiString text = GetText();
    bool focused = Focused();
    TColor textColor = GetEnabled() ? GetFont()->GetColor() : clGrayText;
    if (FStyle == csDropDownList && focused && !GetDroppedDown()) {
        TRect band(field.Left + 1, field.Top + 1, field.Right - 1, field.Bottom - 1);
        FillSolid(dc, band, clHighlight);
        textColor = clHighlightText;
    }
    TRect textRect(field.Left + kTextInset, field.Top, field.Right, field.Bottom);
    if (!text.empty())
        DrawControlText(dc, GetFont(), text, textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT, textColor);
    if (focused && FStyle != csDropDownList) {
        int x = textRect.Left + int(MeasureText(GetFont(), text.substr(0, size_t(FCaret))).cx);
        FillSolid(dc, TRect(x, field.Top + 1, x + 1, field.Bottom - 1), clWindowText);
    }
}
