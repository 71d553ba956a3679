#pragma once
// Unit Controls: the visual component hierarchy. TControl is a rectangle with a parent,
// colour, font, cursor and mouse handling; TGraphicControl has no window of its own and is
// painted and hit-tested by its parent; TWinControl owns a window made on demand and routes
// that window's messages to itself; TCustomControl adds a canvas and Paint.
//
// While a control loads (csLoading) its setters store values and Loaded applies them, so no
// window is made during the read of a layout. A component that asks for a window while it is
// read (its own Handle or its parent's) gets one, and from then on bounds, client size,
// enabled state, caption and frame reach that window when set, as if made from code; only
// showing and aligning wait for Loaded.
#include <functional>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/TypeInfo.h"
#include "platform/Windows.h"

// ---- Messages ----
struct TMessage
{
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// The framework's own notifications, numbered above the window layer's as the classic
// ones are; Perform sends them to a control.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 3;
constexpr UINT CM_COLORCHANGED = CM_BASE + 4;
constexpr UINT CM_FONTCHANGED = CM_BASE + 5;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
// Enter or Escape that the focused control left unhandled, offered to its form (WParam: the
// key). A control that acts on it (a Default or Cancel button) answers non-zero.
constexpr UINT CM_DIALOGKEY = CM_BASE + 22;
// Asked of the focused control before Enter or Escape becomes a dialog key (WParam: the
// key): non-zero when the control handles that key itself.
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 33;

// ---- Enumerations and sets ----
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

enum TControlStyleItem {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
};
using TControlStyle = TSet<TControlStyleItem>;

enum TControlStateItem {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy,
    csCustomPaint,
    csDestroyingHandle,
};
using TControlState = TSet<TControlStateItem>;

// Cursors: the classic numbers. Each maps to one of the window layer's standard cursors.
using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
constexpr TCursor crSize = -22;
// The window layer's cursor for a TCursor (crDefault and unknown values give the arrow,
// crNone gives 0: no cursor).
HCURSOR CursorHandle(TCursor Cursor);

// ---- Event types ----
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// The shift state of a mouse message's WParam (MK_ flags) plus the Alt key.
TShiftState MouseShiftState(WPARAM Flags);
// The shift state of the keyboard now.
TShiftState KeyboardShiftState();

class TWinControl;
class TControl;

// The control that receives all mouse input, or nullptr. A windowless control captures
// through its parent's window; capture ends when the window layer takes it away.
void SetCaptureControl(TControl* Control);
TControl* GetCaptureControl();

// ---------------------------------------------------------------------------------------------
// TControl
// ---------------------------------------------------------------------------------------------
// Keeps bounds within the window limits, so that right and bottom edges never overflow:
// layouts may come from outside the program.
void ClampControlBounds(int& Left, int& Top, int& Width, int& Height);

class TControl : public TComponent
{
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    // ---- Position and size (in the parent's client coordinates) ----
    int GetLeft() const { return FLeft; }
    int GetTop() const { return FTop; }
    int GetWidth() const { return FWidth; }
    int GetHeight() const { return FHeight; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    // Negative sizes become 0. Calls Resize (OnResize) when the size changed.
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect GetBoundsRect() const { return TRect(FLeft, FTop, FLeft + FWidth, FTop + FHeight); }
    void SetBoundsRect(const TRect& Rect) { SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height()); }

    // The client area, origin 0,0 (a framed window's frame left out).
    virtual TRect GetClientRect() const;
    int GetClientWidth() const { return GetClientRect().Right; }
    int GetClientHeight() const { return GetClientRect().Bottom; }
    void SetClientWidth(int Value);
    void SetClientHeight(int Value);
    // Screen position of the client area's top-left corner.
    virtual TPoint GetClientOrigin() const;
    TPoint ClientToScreen(const TPoint& Point) const;
    TPoint ScreenToClient(const TPoint& Point) const;

    TAlign GetAlign() const { return FAlign; }
    void SetAlign(TAlign Value);
    bool GetAutoSize() const { return FAutoSize; }
    virtual void SetAutoSize(bool Value);

    // ---- Parent ----
    TWinControl* GetParent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* Value) override;

    // ---- State ----
    // SetVisible and SetEnabled are virtual: a descendant that redeclares them (to redraw its
    // own look, to rebuild its parent's outline) must run when called through TControl*.
    bool GetVisible() const { return FVisible; }
    virtual void SetVisible(bool Value);
    void Show();
    void Hide();
    // Visible, and every parent up to a top-level window too.
    bool Showing() const;
    bool GetEnabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);

    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value);
    bool GetParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);
    TFont* GetFont() { return FFont.get(); }
    void SetFont(TFont* Value) { FFont->Assign(Value); }
    bool GetParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    TCursor GetCursor() const { return FCursor; }
    void SetCursor(TCursor Value) { FCursor = Value; }
    AnsiString GetHint() const { return FHint; }
    void SetHint(const AnsiString& Value) { FHint = Value; }
    bool GetShowHint() const { return FShowHint; }
    void SetShowHint(bool Value) { FShowHint = Value; }

    TControlStyle GetControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
    TControlState GetControlState() const { return FControlState; }
    void SetControlState(TControlState Value) { FControlState = Value; }

    // Caption and Text are one value. A control with csSetCaption in its style takes its
    // name as caption while the caption was never set.
    AnsiString GetCaption() const { return GetText(); }
    void SetCaption(const AnsiString& Value) { SetText(Value); }
    virtual AnsiString GetText() const { return FText; }
    virtual void SetText(const AnsiString& Value);
    void SetName(const AnsiString& NewName) override;

    // ---- Painting and z-order ----
    virtual void Invalidate();
    virtual void Update();
    virtual void Repaint();
    void Refresh() { Repaint(); }
    virtual void BringToFront();
    virtual void SendToBack();

    // ---- Messages ----
    // Sends a message straight to the control's WndProc and answers its Result.
    LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
    virtual void WndProc(TMessage& Message);
    bool GetMouseCapture() const { return GetCaptureControl() == this; }
    void SetMouseCapture(bool Value);

    // Whether the control would accept mouse input at a point of its client area.
    virtual bool HitTest(int X, int Y) const;

    // ---- Events ----
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnResize;

    // Stored tests of the published table.
    bool IsColorStored() const { return !FParentColor; }
    bool IsFontStored() const { return !FParentFont; }

    void Loaded() override;

    // Dynamic handlers: each calls its event. Public so a parent can drive its windowless
    // children and tests can call them directly.
    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

protected:
    friend class TWinControl;

    virtual void Resize();
    // Notifications, reached through the CM_ messages.
    virtual void TextChanged() { Invalidate(); }
    virtual void FontChanged() { Invalidate(); }
    virtual void ColorChanged() { Invalidate(); }
    virtual void EnabledChanged() { Invalidate(); }
    virtual void VisibleChanged() {}
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();
    virtual void MouseEnter();
    virtual void MouseLeave();
    // What the control does with the size when AutoSize is on; the default does nothing.
    virtual void AdjustSize() {}
    // The size changed on the window layer's side (a user resize): adopt it silently.
    void UpdateBoundsFromWindow(int ALeft, int ATop, int AWidth, int AHeight);
    bool Loading() const { return ComponentState().Contains(csLoading); }

    void Notification(TComponent* AComponent, TOperation Operation) override;

    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    TControlState FControlState;

    TWinControl* FParent = nullptr;
    TAlign FAlign = alNone;
    bool FAutoSize = false;
    bool FVisible = true;
    bool FEnabled = true;
    TColor FColor = clWindow;
    bool FParentColor = true;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    bool FSettingParentFont = false;
    TCursor FCursor = crDefault;
    AnsiString FHint;
    bool FShowHint = false;
    AnsiString FText;
    // Client size read from a layout: applied when read, and again by Loaded once the frame
    // is final.
    int FPendingClientWidth = -1;
    int FPendingClientHeight = -1;

private:
    void HandleMouse(TMessage& Message);
    void FontOnChange();
};

// A canvas that draws on a control: on its window, or for a windowless control on its
// parent's window at the control's position.
class TControlCanvas : public TCanvas
{
public:
    TControlCanvas() = default;
    ~TControlCanvas() override;
    TControl* GetControl() const { return FControl; }
    void SetControl(TControl* Value);
    // Lets go of the device context; the next drawing asks for a fresh one.
    void FreeHandle();
    // Draws on a DC the caller owns (the parent's paint buffer) until FreeHandle.
    void UseHandle(HDC DC);
    // Runs Paint on DC with the control's font and colour, and lets go of DC afterwards,
    // also when Paint raises.
    void PaintWith(HDC DC, const std::function<void()>& Paint);

protected:
    void CreateHandle() override;

private:
    TControl* FControl = nullptr;
    HDC FDC = 0;
    HWND FWindow = 0;   // the window FDC came from, when the canvas fetched it itself
};

// ---------------------------------------------------------------------------------------------
// TGraphicControl: windowless; painted by its parent into the parent's paint buffer
// ---------------------------------------------------------------------------------------------
class TGraphicControl : public TControl
{
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    TCanvas* GetCanvas() { return FCanvas.get(); }
    // Used by the parent: paints the control with its canvas on DC, whose origin is the
    // control's top-left corner.
    void PaintOn(HDC DC);

protected:
    virtual void Paint() {}

private:
    std::unique_ptr<TControlCanvas> FCanvas;
};

// ---------------------------------------------------------------------------------------------
// TWinControl: a control with a window of its own
// ---------------------------------------------------------------------------------------------
struct TCreateParams
{
    AnsiString Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = 0;
    UINT WindowClassStyle = CS_DBLCLKS;
    AnsiString WinClassName;
};

class TWinControl : public TControl
{
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    // The window, made on demand (with its parents' windows). Raises EInvalidOperation
    // "Control 'Name' has no parent window" for a child control without a parented chain.
    HWND GetHandle();
    HWND Handle() { return GetHandle(); }
    bool HandleAllocated() const { return FHandle != 0; }
    void HandleNeeded();
    // The control of a window made by this framework, or nullptr (a forged or foreign
    // handle included).
    static TWinControl* FindControl(HWND Window);

    // ---- Children (in z-order, bottom first) ----
    int ControlCount() const { return int(FControls.size()); }
    TControl* Controls(int Index) const;
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    bool ContainsControl(const TControl* Control) const;
    // Lays the aligned children (Align other than alNone) out in the client area again.
    void Realign();
    // Only a top-level control (a form) makes its window without a parent.
    virtual bool IsTopLevel() const { return false; }
    // The visible child (enabled unless AllowDisabled) under a client point, top first.
    TControl* ControlAtPos(const TPoint& Pos, bool AllowDisabled, bool AllowWinControls = false) const;
    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;

    // ---- Focus and keys ----
    bool GetTabStop() const { return FTabStop; }
    void SetTabStop(bool Value) { FTabStop = Value; }
    int GetTabOrder() const { return FTabOrder; }
    void SetTabOrder(int Value) { FTabOrder = Value; }
    virtual bool CanFocus() const;
    virtual void SetFocus();
    bool Focused() const;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    // ---- Overrides ----
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    TRect GetClientRect() const override;
    TPoint GetClientOrigin() const override;
    void Invalidate() override;
    void Update() override;
    void Repaint() override;
    void BringToFront() override;
    void SendToBack() override;
    void SetParent(TWinControl* AParent) override;
    void WndProc(TMessage& Message) override;
    void Loaded() override;

    // The default handling of a message: the window layer's DefWindowProcA.
    virtual void DefaultHandler(TMessage& Message);

    // Paints the client area and the windowless children: with DoubleBuffered into a buffer
    // first, then copied to DC in one step; without, straight onto DC.
    void PaintHandler(HDC DC, const RECT& Area);
    bool GetDoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool Value) { FDoubleBuffered = Value; }

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    void DestroyHandle();
    // The frame around the client area that the window layer will draw, for a window
    // that does not exist yet.
    virtual TRect FrameInsets() const { return TRect(); }
    // Paints the control's own client area on DC (the paint buffer); the default fills it
    // with Color.
    virtual void PaintWindow(HDC DC);
    void PaintControls(HDC DC);

    virtual void KeyDown(WORD& Key, TShiftState Shift);
    virtual void KeyUp(WORD& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    virtual void DoEnter();
    virtual void DoExit();
    // The window was moved or sized by the window layer.
    virtual void WindowPosChanged();
    // Lays the aligned children out again, then calls OnResize.
    void Resize() override;
    void VisibleChanged() override;
    void EnabledChanged() override;
    void TextChanged() override;
    void ColorChanged() override;
    void FontChanged() override;
    // Brings the window in line with the control's properties (nothing while loading).
    virtual void UpdateWindowState();
    void Notification(TComponent* AComponent, TOperation Operation) override;

    HWND FHandle = 0;

private:
    friend class TControl;
    friend LRESULT ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
    void RouteMouse(TMessage& Message);
    bool SetCursorFor(TMessage& Message);
    void CreateChildHandles();
    void AdoptHandle(HWND Window);
    void AlignControls();
    bool FAligning = false;

    std::vector<TControl*> FControls;
    TControl* FMouseControl = nullptr;   // the windowless child the mouse is over
    bool FDoubleBuffered = false;
    bool FTabStop = false;
    int FTabOrder = -1;
    LONG_PTR FId = 0;   // this control's entry in the table behind GWLP_USERDATA
};

// Lets every control canvas go of the window DC it fetched to draw outside a paint message,
// which hands what it drew to the screen; answers how many it let go. The application calls
// it whenever its message loop goes idle, as the classic framework frees its device contexts.
int FreeDeviceContexts();

// The window procedure of every window the framework makes.
LRESULT ControlWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

// ---------------------------------------------------------------------------------------------
// TCustomControl: a window with a canvas; Paint draws it
// ---------------------------------------------------------------------------------------------
class TCustomControl : public TWinControl
{
public:
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    TCanvas* GetCanvas() { return FCanvas.get(); }

protected:
    // Draws the client area on Canvas; the background is already filled with Color.
    virtual void Paint() {}
    void PaintWindow(HDC DC) override;

private:
    std::unique_ptr<TControlCanvas> FCanvas;
};

// The cursor that overrides every control's while not crDefault (Screen->Cursor).
void SetGlobalCursor(TCursor Cursor);
TCursor GetGlobalCursor();

// Exceptions that escape an event handler run from a window message go here; the
// application installs its handler (TApplication::HandleException). Without one they are
// printed to standard error, since they must not unwind through the window layer.
void SetControlExceptionHandler(std::function<void(const std::exception&)> Handler);
void HandleControlException(const std::exception& E);

// Published name tables, for descendants that publish these properties.
extern const TIdentMapEntry<TAlign> AlignIdents[6];
extern const TIdentMapEntry<TMouseButton> MouseButtonIdents[3];
// The named cursors (crDefault ... crSizeAll), so layouts write Cursor = crHandPoint.
std::span<const TIdentMapEntry<TCursor>> CursorIdents();
