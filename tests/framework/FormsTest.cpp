#include "tests/framework/ControlsFixture.h"

#include <algorithm>
#include <cstring>

#include "framework/Layouts.h"

namespace {

class TCtlForm : public TForm
{
public:
    explicit TCtlForm(TComponent* AOwner) : TForm(AOwner) { InitInheritedComponent(); }
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    void BoxClick(TObject* Sender) { Clicked.push_back(Sender); }
    TCtlPane* Pane = nullptr;
    TCtlBox* Box = nullptr;
    std::vector<TObject*> Clicked;
};

TClass TCtlForm::StaticClass()
{
    static const TClass Class = TPublished<TCtlForm, TForm>("TCtlForm")
        .Field("Pane", &TCtlForm::Pane)
        .Field("Box", &TCtlForm::Box)
        .PublishMethod("BoxClick", &TCtlForm::BoxClick);
    return Class;
}

const char* const ctlFormLayout = R"(object CtlForm: TCtlForm
  Left = 40
  Top = 30
  BorderStyle = bsDialog
  Caption = 'Loaded'
  ClientWidth = 220
  ClientHeight = 140
  Visible = True
  object Pane: TCtlPane
    Left = 10
    Top = 10
    Width = 150
    Height = 100
    Color = clRed
    Font.Height = -16
    Tag2 = 7
    object Box: TCtlBox
      Left = 20
      Top = 30
      Width = 40
      Height = 20
      Color = clLime
      OnClick = BoxClick
    end
  end
end
)";

class FormsTest : public ControlsFixture
{
protected:
    static void SetUpTestSuite()
    {
        RegisterClasses({ClassOf<TCtlForm>(), ClassOf<TCtlPane>(), ClassOf<TCtlBox>()});
        RegisterResource("CtlForm.lfm", ctlFormLayout, std::strlen(ctlFormLayout));
    }

    // A form with a box that sets ModalResult when clicked, at 300,200.
    static std::unique_ptr<TForm> modalForm(TCtlModalBox*& box)
    {
        auto form = std::make_unique<TForm>(nullptr, 0);
        form->SetBorderStyle(bsNone);
        form->SetBounds(300, 200, 160, 100);
        box = new TCtlModalBox(form.get());
        box->SetBounds(10, 10, 50, 30);
        box->SetParent(form.get());
        return form;
    }
};

TEST_F(FormsTest, FormReadsItsLayoutByClassWithoutWindowsWhileLoading)
{
    EXPECT_EQ(TCustomForm::LayoutResourceName("TCtlForm"), "CtlForm.lfm");
    TCtlForm form(nullptr);
    ASSERT_NE(form.Pane, nullptr);
    ASSERT_NE(form.Box, nullptr);
    EXPECT_FALSE(form.Pane->HandleWhileLoading);
    EXPECT_EQ(form.Pane->GetTag2(), 7);
    EXPECT_EQ(form.Box->GetParent(), form.Pane);
    EXPECT_EQ(form.GetCaption(), "Loaded");
    EXPECT_EQ(form.GetBorderStyle(), bsDialog);
    EXPECT_EQ(form.GetClientWidth(), 220);
    EXPECT_EQ(form.GetClientHeight(), 140);
    EXPECT_EQ(form.Pane->GetFont()->GetHeight(), -16);
    EXPECT_FALSE(form.Pane->GetParentFont());
    EXPECT_EQ(form.Box->GetFont()->GetHeight(), -16);   // the box keeps its parent's font

    // Visible = True in the layout: shown once loaded, with its children's windows.
    pump();
    ASSERT_TRUE(form.HandleAllocated());
    EXPECT_TRUE(display->isShown(form.Handle()));
    EXPECT_TRUE(form.Pane->HandleAllocated());
    EXPECT_EQ(display->title(form.Handle()), "Loaded");

    // The handler named in the layout runs on a click on the box.
    TPoint p = form.Box->ClientToScreen(TPoint(5, 5));
    click(p.X, p.Y);
    ASSERT_EQ(form.Clicked.size(), 1u);
    EXPECT_EQ(form.Clicked[0], form.Box);

    // Written back, the changed font is there and the defaults are not.
    AnsiString text = WriteLayout(&form);
    EXPECT_NE(text.find("Font.Height = -16"), AnsiString::npos);
    EXPECT_EQ(text.find("Font.Name"), AnsiString::npos);
    EXPECT_EQ(text.find("BorderIcons"), AnsiString::npos);
    EXPECT_NE(text.find("OnClick = BoxClick"), AnsiString::npos);
}

TEST_F(FormsTest, ShowModalAnswersTheResultAHandlerSet)
{
    auto owner = shownForm(bsSingle);
    TCtlModalBox* box;
    auto dialog = modalForm(box);
    box->Result = mrRetry;
    bool ownerEnabledDuring = true;
    HWND ownedBy = 0;
    dialog->OnShow = [&](TObject*) {
        ownerEnabledDuring = IsWindowEnabled(owner->Handle());
        ownedBy = GetWindow(dialog->Handle(), GW_OWNER);
        display->click(300 + 20, 200 + 20);   // handled once the modal loop runs
    };
    EXPECT_EQ(dialog->ShowModal(), mrRetry);
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_EQ(ownedBy, owner->Handle()) << "the window that was active owns the dialog";
    EXPECT_EQ(GetWindow(dialog->Handle(), GW_OWNER), HWND(0)) << "only while it runs";
    EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
    EXPECT_FALSE(dialog->GetVisible());
    EXPECT_FALSE(display->isShown(dialog->Handle()));
    EXPECT_EQ(box->kinds(), "dcu");

    // OnCloseQuery may refuse: the loop goes on until a later result is accepted.
    int asked = 0;
    dialog->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++asked > 1; };
    // Both clicks are routed at once, so the second is a double click: make it a press.
    box->SetControlStyle(box->GetControlStyle() - TControlStyle{csDoubleClicks});
    dialog->OnShow = [&](TObject*) {
        display->click(300 + 20, 200 + 20);
        display->click(300 + 20, 200 + 20);
    };
    EXPECT_EQ(dialog->ShowModal(), mrRetry);
    EXPECT_EQ(asked, 2);
}

TEST_F(FormsTest, ClosingAModalFormGivesCancel)
{
    TCtlModalBox* box;
    auto dialog = modalForm(box);
    dialog->SetBorderStyle(bsDialog);
    dialog->OnShow = [&](TObject*) { display->requestClose(dialog->Handle()); };
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_TRUE(IsWindow(dialog->Handle()));   // closed means hidden, not destroyed
    EXPECT_THROW(
        {
            dialog->Show();
            dialog->ShowModal();
        },
        EInvalidFormOperation);
}

TEST_F(FormsTest, RunReturnsWhenTheMainFormCloses)
{
    TForm* main = nullptr;
    Application->CreateForm(main);
    ASSERT_EQ(Application->MainForm(), main);
    TForm* second = nullptr;
    Application->CreateForm(second);
    EXPECT_EQ(Application->MainForm(), main);   // the first one stays the main form
    Application->SetTitle("Lumo test");
    int closes = 0;
    main->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
    main->OnShow = [&](TObject*) { display->requestClose(main->Handle()); };
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(display->title(main->Handle()), "Lumo test");
    delete second;
    delete main;
    Application->SetTitle("");
    EXPECT_EQ(Application->MainForm(), nullptr);
    Application->ResetTerminated();
}

TEST_F(FormsTest, TheTaskBarShowsTheApplicationTitleAndTheFormKeepsItsCaption)
{
    Application->SetTitle("Lumo free");   // before the main form has a window
    TForm* main = nullptr;
    Application->CreateForm(main);
    main->SetCaption("Velkor - Free Lumo");
    main->Show();
    pump();
    EXPECT_EQ(display->title(main->Handle()), "Lumo free");
    char text[64] = {};
    GetWindowTextA(main->Handle(), text, sizeof text);
    EXPECT_STREQ(text, "Velkor - Free Lumo");
    EXPECT_EQ(main->GetCaption(), "Velkor - Free Lumo");

    main->SetCaption("Another caption");   // the task bar keeps the title
    Application->SetTitle("Renamed");
    EXPECT_EQ(display->title(main->Handle()), "Renamed");
    Application->SetTitle("");             // no title: the caption shows
    EXPECT_EQ(display->title(main->Handle()), "Another caption");

    // Other forms show their own caption.
    Application->SetTitle("Lumo free");
    TForm* second = nullptr;
    Application->CreateForm(second);
    second->SetCaption("Settings");
    second->Show();
    pump();
    EXPECT_EQ(display->title(second->Handle()), "Settings");
    delete second;
    delete main;
    Application->SetTitle("");
}

TEST_F(FormsTest, FramedFormShowsItsCaptionBarAndText)
{
    auto plain = shownForm(bsSingle);
    plain->SetLeft(400);
    auto titled = shownForm(bsSingle);   // shown last: the active one, in caption blue
    titled->SetCaption("WWWWWW");
    pump();

    auto captionPixels = [&](TForm* form, int& bar, int& text) {
        Screenshot shot = display->screenshot(form->Handle());
        RECT w;
        GetWindowRect(form->Handle(), &w);
        TPoint origin = form->GetClientOrigin();
        int captionBottom = origin.Y - w.top;   // the client area starts below the caption
        // The bar is a blue gradient; the caption's letters are light, anti-aliased pixels.
        bar = text = 0;
        for (int y = 4; y < captionBottom - 2; ++y)
            for (int x = 4; x < 120; ++x) {
                COLORREF p = shot.at(x, y);
                int r = GetRValue(p), g = GetGValue(p), b = GetBValue(p);
                if (b > r + 0x30)
                    ++bar;
                if (std::min({r, g, b}) > 0xC0)
                    ++text;
            }
    };
    int bar, text, plainBar, plainText;
    captionPixels(titled.get(), bar, text);
    captionPixels(plain.get(), plainBar, plainText);
    EXPECT_GT(bar, 500);
    EXPECT_GT(text, 20);   // the caption's letters
    EXPECT_LT(plainText, text / 4);
    // The client area shows the form's colour.
    Screenshot shot = display->screenshot(titled->Handle());
    EXPECT_EQ(shot.at(100, 100), GetSysColor(COLOR_BTNFACE));
}

// Posted to a helper form: clicks the OK button of the message box on show.
class TBoxClicker : public TForm
{
public:
    TBoxClicker(HeadlessDisplay* d) : TForm(nullptr, 0), display(d) {}
    HeadlessDisplay* display;
    Screenshot seen;
    int buttons = 0;
    HWND owner = 0;
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg != WM_APP) {
            TForm::WndProc(Message);
            return;
        }
        TCustomForm* box = Application->ActiveMessageBox();
        if (!box)
            return;
        processPendingMessages();   // let the dialog paint and reach the display
        seen = display->screenshot(box->Handle());
        owner = GetWindow(box->Handle(), GW_OWNER);
        for (int i = 0; i < box->ControlCount(); ++i) {
            TControl* c = box->Controls(i);
            if (c->GetCaption() != "OK")
                continue;
            ++buttons;
            TPoint p = c->ClientToScreen(TPoint(c->GetWidth() / 2, c->GetHeight() / 2));
            display->click(p.X, p.Y);
        }
    }
};

TEST_F(FormsTest, MessageBoxShowsTextAndClosesOnOk)
{
    TBoxClicker clicker(display.get());
    clicker.SetBorderStyle(bsNone);
    clicker.Show();
    PostMessageA(clicker.Handle(), WM_APP, 0, 0);
    EXPECT_EQ(Application->MessageBox("Recording stopped", "Lumo", MB_OK), IDOK);
    EXPECT_EQ(clicker.buttons, 1);
    EXPECT_EQ(clicker.owner, clicker.Handle()) << "the active window owns the box";
    EXPECT_EQ(Application->ActiveMessageBox(), nullptr);
    // The dialog showed a frame, a caption and dark text on the face colour.
    ASSERT_GT(clicker.seen.width, 100);
    int dark = 0;
    for (int y = 30; y < clicker.seen.height; ++y)
        for (int x = 0; x < clicker.seen.width; ++x)
            dark += clicker.seen.at(x, y) == GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_GT(dark, 30);

    // Escape answers Cancel.
    clicker.OnShow = nullptr;
}

TEST_F(FormsTest, ExceptionsFromHandlersReachOnException)
{
    auto form = shownForm();
    auto* box = new TCtlBox(form.get());
    box->SetBounds(10, 10, 30, 30);
    box->SetParent(form.get());
    box->OnClick = [](TObject*) { throw EConvertError("bad value"); };
    std::vector<AnsiString> seen;
    Application->OnException = [&](TObject*, const Exception& E) { seen.push_back(E.Message()); };
    click(115, 115);
    click(115, 115);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "bad value");
    Application->OnException = nullptr;
}

TEST_F(FormsTest, PositionCentresOnTheScreen)
{
    display->setScreenSize(800, 600);
    TForm form(nullptr, 0);
    form.SetBounds(0, 0, 200, 100);
    form.SetPosition(poScreenCenter);
    form.Show();
    EXPECT_EQ(form.GetLeft(), 300);
    EXPECT_EQ(form.GetTop(), 250);
    EXPECT_EQ(Screen->GetWidth(), 800);
    form.SetWindowState(wsMinimized);
    pump();
    EXPECT_TRUE(display->isMinimized(form.Handle()));
    EXPECT_EQ(form.GetWindowState(), wsMinimized);
}

}  // namespace
