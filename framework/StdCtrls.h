#pragma once
// Unit StdCtrls: labels, static texts, buttons, check boxes and combo boxes, drawn with the
// classic 3D look.
#include <memory>

#include "framework/StdPaint.h"
#include "framework/Strings.h"

// ---------------------------------------------------------------------------------------------
// TLabel: windowless text. With AutoSize it takes the size of its text (keeping its right
// edge when right-justified); WordWrap breaks lines at the current width instead.
// ---------------------------------------------------------------------------------------------
class TLabel : public TGraphicControl
{
public:
    explicit TLabel(TComponent* AOwner);
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TTextLayout GetLayout() const { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool GetWordWrap() const { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    void SetAutoSize(bool Value) override;

    void Loaded() override;

protected:
    void Paint() override;
    void AdjustSize() override;
    void TextChanged() override;
    void FontChanged() override;

private:
    UINT TextFlags() const;

    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
    bool FWordWrap = false;
    bool FTransparent = false;
};

// ---------------------------------------------------------------------------------------------
// TStaticText: text in a window of its own, with an optional border.
// ---------------------------------------------------------------------------------------------
enum TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };
extern const TIdentMapEntry<TStaticBorderStyle> StaticBorderStyleIdents[3];

class TStaticText : public TWinControl
{
public:
    explicit TStaticText(TComponent* AOwner);
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TStaticBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TStaticBorderStyle Value);
    void SetAutoSize(bool Value) override;
    void Loaded() override;

protected:
    void PaintWindow(HDC DC) override;
    void AdjustSize() override;
    void TextChanged() override;
    void FontChanged() override;

private:
    int BorderWidth() const { return FBorderStyle == sbsNone ? 0 : 1; }

    TAlignment FAlignment = taLeftJustify;
    TStaticBorderStyle FBorderStyle = sbsNone;
};

// ---------------------------------------------------------------------------------------------
// TButton: a push button. A click sets the parent form's ModalResult (when not mrNone),
// then calls OnClick. It looks pressed while the left button is held over it.
// ---------------------------------------------------------------------------------------------
class TButton : public TCustomControl
{
public:
    explicit TButton(TComponent* AOwner);
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    TModalResult GetModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }
    bool GetDefault() const { return FDefault; }
    void SetDefault(bool Value);
    bool GetCancel() const { return FCancel; }
    void SetCancel(bool Value) { FCancel = Value; }
    bool Pressed() const { return FDown; }

    void Click() override;
    // Answers CM_DIALOGKEY (clicks itself on Enter when Default, on Escape when Cancel) and
    // CM_WANTSPECIALKEY (with the focus, Enter clicks this button rather than the Default one).
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyPress(char& Key) override;

private:
    void SetDown(bool Value);

    TModalResult FModalResult = mrNone;
    bool FDefault = false;
    bool FCancel = false;
    bool FTracking = false;   // the left button went down on the button and is still held
    bool FDown = false;
};

// Enter and Escape of a dialog: clicks the showing, enabled button under Container whose
// Default (VK_RETURN) or Cancel (VK_ESCAPE) is set, and answers whether there was one. For the
// form's own code to call; keys the focused control leaves unhandled reach the buttons
// through CM_DIALOGKEY.
bool ClickDialogButton(TWinControl* Container, WORD Key);

// ---------------------------------------------------------------------------------------------
// TCheckBox: a box with a caption to its right. Every change of State, by the user or by
// the program, calls OnClick (as the classic check box does).
// ---------------------------------------------------------------------------------------------
enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
extern const TIdentMapEntry<TCheckBoxState> CheckBoxStateIdents[3];

class TCheckBox : public TCustomControl
{
public:
    explicit TCheckBox(TComponent* AOwner);
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    bool GetChecked() const { return FState == cbChecked; }
    void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
    TCheckBoxState GetState() const { return FState; }
    void SetState(TCheckBoxState Value);
    bool GetAllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);

    // Moves to the next state: unchecked, checked, grayed (when allowed).
    void Toggle();
    // The user's click toggles; OnClick follows from the change of state.
    void Click() override;

protected:
    void Paint() override;
    void KeyPress(char& Key) override;

private:
    TCheckBoxState FState = cbUnchecked;
    bool FAllowGrayed = false;
    TAlignment FAlignment = taRightJustify;
};

// ---------------------------------------------------------------------------------------------
// TComboBox: an edit field (csDropDown) or a plain field (csDropDownList) with a button
// that opens a list of Items under the box in a popup window. OnChange follows the user's
// choices and edits, never the program's.
// ---------------------------------------------------------------------------------------------
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };
extern const TIdentMapEntry<TComboBoxStyle> ComboBoxStyleIdents[3];

class TComboPopup;

class TComboBox : public TCustomControl
{
public:
    explicit TComboBox(TComponent* AOwner);
    ~TComboBox() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    TComboBoxStyle GetStyle() const { return FStyle; }
    void SetStyle(TComboBoxStyle Value);
    TStrings* GetItems() { return FItems.get(); }
    void SetItems(TStrings* Value) { FItems->Assign(Value); }
    int GetItemIndex() const { return FItemIndex; }
    void SetItemIndex(int Value);
    int GetDropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int Value) { FDropDownCount = Value < 1 ? 1 : Value; }
    void SetText(const AnsiString& Value) override;
    void Clear();

    bool GetDroppedDown() const;
    void SetDroppedDown(bool Value);
    // The caret's place in the edit field, 0..length of Text.
    int GetSelStart() const { return FCaret; }
    void SetSelStart(int Value);
    // Height of one line of the list: the stored ItemHeight, or while none was set (0) the
    // font's line height.
    int GetItemHeight();
    void SetItemHeight(int Value);
    bool IsItemHeightStored() const { return FItemHeight > 0; }

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;

    void Loaded() override;

protected:
    friend class TComboPopup;
    virtual void Change();
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    // The popup reports the user's choice (-1: closed without one).
    void CloseUp(int Chosen);

private:
    TRect ButtonRect() const;
    void EditText(const AnsiString& NewText, int NewCaret);
    void ItemsChanged();

    TComboBoxStyle FStyle = csDropDown;
    std::unique_ptr<TStringList> FItems;
    int FItemIndex = -1;
    int FDropDownCount = 8;
    int FItemHeight = 0;
    int FCaret = 0;
    TComboPopup* FPopup = nullptr;   // owned by the combo box
};
