#pragma once
// The drop-down list of TComboBox: a popup top-level window under the box that holds the
// mouse capture while open, so a click anywhere else closes it. Internal to the combo box.
#include "framework/StdCtrls.h"

class TComboPopup : public TCustomControl
{
public:
    explicit TComboPopup(TComboBox* Combo);

    bool IsTopLevel() const override { return true; }
    // Opens under the combo box (above it when the screen ends first).
    void Open();
    void Close();
    bool IsOpen() const { return FOpen; }
    int HotIndex() const { return FHotIndex; }
    void SetHotIndex(int Value);
    int TopIndex() const { return FTopIndex; }
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    int RowCount() const;
    int IndexAt(int X, int Y) const;

    TComboBox* FCombo;
    bool FOpen = false;
    bool FClosing = false;
    int FHotIndex = -1;
    int FTopIndex = 0;
    int FItemHeight = 16;
};
