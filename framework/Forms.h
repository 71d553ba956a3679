#pragma once
// Unit Forms: top-level windows (TForm), the application object and the screen.
//
// Layout rule: a form reads its stored layout in InitInheritedComponent(), which a form
// class's constructor calls last:
//
//     TMainForm::TMainForm(TComponent* Owner) : TForm(Owner) { InitInheritedComponent(); }
//
// (the base constructors cannot do it: while they run, the object is not yet a TMainForm).
// It reads the resource named after ClassType() without its leading T plus ".lfm"
// (TMainForm -> "MainForm.lfm") through ResourceResolver(), when such a resource is
// registered; a form class without one starts empty. It runs once per form and then calls
// OnCreate. TApplication::CreateForm calls it for a form whose constructor did not. The
// program registers its compiled-in layouts and artwork (lumo_add_resources) before it
// creates its first form.
#include <functional>
#include <memory>
#include <vector>

#include "framework/Controls.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;       // IDOK
constexpr TModalResult mrCancel = 2;   // IDCANCEL
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;

// MessageBox flags and answers (the platform has no MessageBoxA).
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;

class EInvalidFormOperation : public EInvalidOperation
{
public:
    explicit EInvalidFormOperation(const AnsiString& Msg) : EInvalidOperation(Msg) {}
};

// ---------------------------------------------------------------------------------------------
// Forms
// ---------------------------------------------------------------------------------------------
class TScrollingWinControl : public TWinControl
{
public:
    explicit TScrollingWinControl(TComponent* AOwner) : TWinControl(AOwner) {}
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
};

class TCustomForm : public TScrollingWinControl
{
public:
    // Reads nothing yet: see InitInheritedComponent.
    explicit TCustomForm(TComponent* AOwner);
    // Makes an empty form and reads no layout ("CreateNew").
    TCustomForm(TComponent* AOwner, int Dummy);
    ~TCustomForm() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    // The resource a form class reads: "MainForm.lfm" for TMainForm.
    static AnsiString LayoutResourceName(const AnsiString& ClassName);
    // Reads the layout of ClassType() when registered, once, then calls OnCreate; answers
    // whether it read a layout.
    bool InitInheritedComponent();

    TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TBorderIcons GetBorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons Value);
    TPosition GetPosition() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }
    TWindowState GetWindowState() const;
    void SetWindowState(TWindowState Value);
    TFormStyle GetFormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle Value);
    bool GetKeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool Value) { FKeyPreview = Value; }

    TCanvas* GetCanvas() { return FCanvas.get(); }
    TWinControl* GetActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* Value);

    void Show();
    void Hide();
    // Asks OnCloseQuery, then does what OnClose decides (caHide by default; a modal form
    // sets ModalResult to mrCancel instead; the main form ends the application).
    void Close();
    bool CloseQuery();
    // Release: frees the form once the messages in progress are done.
    void Release();

    // Runs a nested message loop until ModalResult becomes non-zero; the other forms are
    // disabled meanwhile. Answers the ModalResult.
    virtual TModalResult ShowModal();
    TModalResult GetModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }
    bool IsModal() const { return FModal; }

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    void Loaded() override;
    void WndProc(TMessage& Message) override;
    void SetParent(TWinControl* AParent) override;

protected:
    bool IsTopLevel() const override { return GetParent() == nullptr; }
    TRect FrameInsets() const override;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void PaintWindow(HDC DC) override;
    virtual void Paint();
    void VisibleChanged() override;
    void AdjustSize() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void DoCreate();
    virtual void DoDestroy();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);
    // Places the form according to Position before it is first shown.
    void ApplyPosition();

private:
    friend class TApplication;
    void InitForm();
    void UpdateStyle();
    void CloseModal();

    std::unique_ptr<TControlCanvas> FCanvas;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    TPosition FPosition = poDesigned;
    TWindowState FWindowState = wsNormal;
    TFormStyle FFormStyle = fsNormal;
    bool FKeyPreview = false;
    TWinControl* FActiveControl = nullptr;
    TModalResult FModalResult = mrNone;
    bool FModal = false;
    bool FPositioned = false;
    bool FCreated = false;   // InitInheritedComponent has run
    bool FCreateNew = false;  // made by the CreateNew constructor: reads no layout
    bool FInAdjustSize = false;
};

class TForm : public TCustomForm
{
public:
    explicit TForm(TComponent* AOwner);
    TForm(TComponent* AOwner, int Dummy) : TCustomForm(AOwner, Dummy) {}
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
};

// ---------------------------------------------------------------------------------------------
// TApplication
// ---------------------------------------------------------------------------------------------
class TApplication : public TComponent
{
public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    void Initialize() {}
    AnsiString GetTitle() const { return FTitle; }
    // The text of the main form's task bar entry (its caption stays its own); without a title
    // the entry shows the caption.
    void SetTitle(const AnsiString& Value);

    // Creates a form owned by the application; the first one becomes MainForm.
    template <class T>
    void CreateForm(T*& Reference)
    {
        Reference = nullptr;
        T* form = new T(this);
        Reference = form;
        form->InitInheritedComponent();
        if (!FMainForm) {
            FMainForm = form;
            UpdateTaskbarTitle();   // the layout may have made its window already
        }
    }
    TCustomForm* MainForm() const { return FMainForm; }

    // Shows the main form and handles messages until it closes or Terminate is called.
    void Run();
    // Handles every message waiting now; never blocks.
    void ProcessMessages();
    // Handles one message, waiting for it when none is queued.
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Lets a later Run start afresh (tests run several).
    void ResetTerminated() { FTerminated = false; }

    void Minimize();
    void Restore();

    void ShowException(const Exception* E);
    // A modal dialog with the text and an OK button; answers IDOK (IDCANCEL when closed
    // otherwise).
    int MessageBox(const AnsiString& Text, const AnsiString& Caption, UINT Flags = MB_OK);
    // The form MessageBox is showing, or nullptr (for tests and for closing it from code).
    TCustomForm* ActiveMessageBox() const { return FMessageBox; }

    // Calls OnException, or ShowException without one.
    void HandleException(TObject* Sender, const std::exception& E);
    TExceptionEvent OnException;

    // Re-enables what a modal loop disabled; internal to ShowModal.
    std::vector<HWND> DisableTaskWindows(HWND Except);
    void EnableTaskWindows(const std::vector<HWND>& Windows);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TCustomForm;
    bool DispatchOne(bool Wait);
    void UpdateTaskbarTitle();

    AnsiString FTitle;
    TCustomForm* FMainForm = nullptr;
    TCustomForm* FMessageBox = nullptr;
    bool FTerminated = false;
    bool FRunning = false;
    std::vector<TComponent*> FPendingRelease;
};

// ---------------------------------------------------------------------------------------------
// TScreen
// ---------------------------------------------------------------------------------------------
class TScreen : public TComponent
{
public:
    explicit TScreen(TComponent* AOwner) : TComponent(AOwner) {}
    int GetWidth() const;
    int GetHeight() const;
    int FormCount() const { return int(FForms.size()); }
    TCustomForm* Forms(int Index) const;
    TCustomForm* GetActiveForm() const;
    TCursor GetCursor() const { return GetGlobalCursor(); }
    void SetCursor(TCursor Value);
    int GetPixelsPerInch() const { return 96; }

private:
    friend class TCustomForm;
    void AddForm(TCustomForm* Form);
    void RemoveForm(TCustomForm* Form);
    std::vector<TCustomForm*> FForms;
};

// The form a control sits on (through its parents), or nullptr.
TCustomForm* GetParentForm(TControl* Control);

// The program's application and screen; made at start-up, alive as long as the program.
extern TApplication* Application;
extern TScreen* Screen;

extern const TIdentMapEntry<TFormBorderStyle> FormBorderStyleIdents[6];
extern const TIdentMapEntry<TPosition> PositionIdents[8];
