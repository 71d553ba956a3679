#include "framework/ComboPopup.h"

#include <algorithm>

TComboPopup::TComboPopup(TComboBox* Combo) : TCustomControl(nullptr), FCombo(Combo)
{
    // Capture is this window's own business: it holds it for as long as it is open.
    FControlStyle >> csCaptureMouse;
    FControlStyle >> csClickEvents;
    FControlStyle >> csDoubleClicks;
    FControlStyle >> csSetCaption;
    SetVisible(false);
    SetColor(clWindow);
}

void TComboPopup::CreateParams(TCreateParams& Params)
{
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_CLIPCHILDREN | (GetVisible() ? WS_VISIBLE : 0);
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    Params.WndParent = 0;
    Params.WinClassName = "TComboLBox";
}

int TComboPopup::RowCount() const
{
    int count = FCombo->GetItems()->Count();
    return std::clamp(count, 1, FCombo->GetDropDownCount());
}

void TComboPopup::Open()
{
    if (FOpen)
        return;
    GetFont()->Assign(FCombo->GetFont());
    FItemHeight = std::max(FCombo->GetItemHeight(), 1);
    int count = FCombo->GetItems()->Count();
    int rows = RowCount();
    FHotIndex = FCombo->GetItemIndex();
    FTopIndex = std::clamp(FHotIndex - rows + 1, 0, std::max(count - rows, 0));
    if (FHotIndex >= 0 && FHotIndex < FTopIndex)
        FTopIndex = FHotIndex;
    int height = rows * FItemHeight + 2;
    TPoint below = FCombo->ClientToScreen(TPoint(0, FCombo->GetHeight()));
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (screenHeight > 0 && below.Y + height > screenHeight)
        below.Y = FCombo->ClientToScreen(TPoint(0, 0)).Y - height;
    SetBounds(below.X, below.Y, FCombo->GetWidth(), height);
    FOpen = true;
    // Made hidden first, so that showing it cannot take the activation from the form.
    HandleNeeded();
    SetVisible(true);
    Invalidate();
    SetMouseCapture(true);
}

void TComboPopup::Close()
{
    if (!FOpen || FClosing)
        return;
    FClosing = true;
    FOpen = false;
    SetMouseCapture(false);
    SetVisible(false);
    FClosing = false;
}

void TComboPopup::SetHotIndex(int Value)
{
    int count = FCombo->GetItems()->Count();
    Value = count ? std::clamp(Value, 0, count - 1) : -1;
    if (Value == FHotIndex)
        return;
    FHotIndex = Value;
    int rows = RowCount();
    if (Value >= 0 && Value < FTopIndex)
        FTopIndex = Value;
    else if (Value >= FTopIndex + rows)
        FTopIndex = Value - rows + 1;
    Invalidate();
}

int TComboPopup::IndexAt(int X, int Y) const
{
    if (X < 0 || X >= FWidth || Y < 1 || Y >= FHeight - 1)
        return -1;
    int index = FTopIndex + (Y - 1) / FItemHeight;
    return index < FCombo->GetItems()->Count() ? index : -1;
}

void TComboPopup::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
        Message.Result = MA_NOACTIVATE;   // the form keeps the focus, as with the classic list
        return;
    case WM_CAPTURECHANGED:
        TCustomControl::WndProc(Message);
        // Someone else took the mouse: the list closes, choosing nothing.
        if (FOpen && !FClosing && HWND(Message.LParam) != FHandle)
            FCombo->CloseUp(-1);
        return;
    case WM_MOUSEWHEEL: {
        int steps = int16_t(HIWORD(Message.WParam)) / 120;
        int count = FCombo->GetItems()->Count();
        FTopIndex = std::clamp(FTopIndex - steps, 0, std::max(count - RowCount(), 0));
        Invalidate();
        return;
    }
    default:
        TCustomControl::WndProc(Message);
    }
}

void TComboPopup::MouseMove(TShiftState Shift, int X, int Y)
{
    int index = IndexAt(X, Y);
    if (index >= 0)
        SetHotIndex(index);
    TCustomControl::MouseMove(Shift, X, Y);
}

void TComboPopup::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) {
        FCombo->CloseUp(-1);   // a click elsewhere
        return;
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TComboPopup::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    // The release of the click that opened the list lands outside it: not a choice.
    int index = IndexAt(X, Y);
    if (Button == mbLeft && index >= 0) {
        FCombo->CloseUp(index);
        return;
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TComboPopup::Paint()
{
    HDC dc = GetCanvas()->GetHandle();
    TRect rect = GetClientRect();
    Frame3D(dc, rect, clWindowFrame, clWindowFrame, 1);
    FillSolid(dc, rect, clWindow);
    TStrings* items = FCombo->GetItems();
    for (int row = 0; row < RowCount(); ++row) {
        int index = FTopIndex + row;
        if (index >= items->Count())
            break;
        TRect line(rect.Left, rect.Top + row * FItemHeight, rect.Right, rect.Top + (row + 1) * FItemHeight);
        bool hot = index == FHotIndex;
        if (hot)
            FillSolid(dc, line, clHighlight);
        line.Left += 2;
        DrawControlText(dc, GetFont(), items->Strings(index), line, DT_SINGLELINE | DT_VCENTER | DT_LEFT,
                        hot ? clHighlightText : clWindowText);
    }
}
