#include "tests/framework/ControlsFixture.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Layouts.h"
#include "framework/StdCtrls.h"
#include "support/LayoutErrorCheck.h"

namespace {

class TStdTestForm : public TForm
{
public:
    TStdTestForm() : TForm(nullptr, 0) {}
    static TClass StaticClass()
    {
        static const TClass Class = TPublished<TStdTestForm, TForm>("TStdTestForm")
            .Field("Ok", &TStdTestForm::Ok)
            .Field("Combo", &TStdTestForm::Combo)
            .Field("Track", &TStdTestForm::Track)
            .PublishMethod("OkClick", &TStdTestForm::OkClick)
            .PublishMethod("ComboChange", &TStdTestForm::ComboChange)
            .PublishMethod("CheckClick", &TStdTestForm::CheckClick)
            .PublishMethod("TrackChange", &TStdTestForm::TrackChange);
        return Class;
    }
    TClass ClassType() const override { return StaticClass(); }

    void OkClick(TObject*) { ++OkClicks; }
    void ComboChange(TObject*) { ++ComboChanges; }
    void CheckClick(TObject*) { ++CheckClicks; }
    void TrackChange(TObject*) { TrackPositions.push_back(Track->GetPosition()); }

    TButton* Ok = nullptr;
    TComboBox* Combo = nullptr;
    TTrackBar* Track = nullptr;
    int OkClicks = 0;
    int ComboChanges = 0;
    int CheckClicks = 0;
    std::vector<int> TrackPositions;
};

// Children as the writer gives them back: every value differs from its default.
const char* const childrenLayout = R"(  object Outer: TPanel
    Left = 0
    Top = 0
    Width = 400
    Height = 300
    Caption = 'Outer'
    BevelInner = bvLowered
    BevelWidth = 2
    BorderWidth = 3
    object Inner: TPanel
      Left = 10
      Top = 10
      Width = 200
      Height = 100
      Color = clWhite
      Caption = 'Inner'
      Alignment = taLeftJustify
      BevelOuter = bvLowered
      object Title: TLabel
        Left = 8
        Top = 8
        Width = 120
        Height = 40
        Font.Color = clRed
        ParentFont = False
        Caption = 'Title'
        Alignment = taRightJustify
        AutoSize = False
        Layout = tlCenter
        Transparent = True
        WordWrap = True
      end
    end
    object Ok: TButton
      Left = 300
      Top = 250
      Width = 75
      Height = 25
      OnClick = OkClick
      Caption = 'OK'
      Default = True
      ModalResult = 1
    end
    object Combo: TComboBox
      Left = 10
      Top = 150
      Width = 145
      Height = 21
      DropDownCount = 5
      ItemHeight = 13
      Text = 'two'
      OnChange = ComboChange
    end
    object Check: TCheckBox
      Left = 10
      Top = 180
      Width = 97
      Height = 17
      OnClick = CheckClick
      Caption = 'Mirror'
      Checked = True
      State = cbChecked
    end
    object Note: TStaticText
      Left = 10
      Top = 200
      Width = 60
      Height = 20
      Caption = 'Note'
      AutoSize = False
      BorderStyle = sbsSunken
    end
    object Track: TTrackBar
      Left = 10
      Top = 230
      Width = 150
      Height = 45
      Frequency = 2
      Max = 20
      Position = 5
      OnChange = TrackChange
    end
  end
)";

class StdCtrlsTest : public ControlsFixture
{
protected:
    void SetUp() override
    {
        ControlsFixture::SetUp();
        RegisterClass(ClassOf<TStdTestForm>());
    }

    // Reads the layout into a frameless form at 0,0 and shows it.
    std::unique_ptr<TStdTestForm> loadedForm()
    {
        auto form = std::make_unique<TStdTestForm>();
        ReadLayout(form.get(),
                   AnsiString("object StdForm: TStdTestForm\n  BorderStyle = bsNone\n  Left = 0\n  Top = 0\n"
                              "  Width = 500\n  Height = 400\n") +
                       childrenLayout + "end\n",
                   "StdForm.lfm", nullptr);
        return form;
    }

    // Keys typed into the focused window, one message round each.
    void type(std::initializer_list<int> keys)
    {
        for (int key : keys) {
            display->keyDown(key);
            display->keyUp(key);
            pump();
        }
    }
};

template <class T>
T* find(TComponent* form, const char* name)
{
    T* c = dynamic_cast<T*>(form->FindComponent(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

TEST_F(StdCtrlsTest, LayoutRestoresEveryStoredPropertyAndHandlerAndWritesBackTheSame)
{
    auto form = loadedForm();
    auto* outer = find<TPanel>(form.get(), "Outer");
    auto* inner = find<TPanel>(form.get(), "Inner");
    auto* title = find<TLabel>(form.get(), "Title");
    auto* check = find<TCheckBox>(form.get(), "Check");
    auto* note = find<TStaticText>(form.get(), "Note");
    ASSERT_TRUE(outer && inner && title && check && note && form->Ok && form->Combo && form->Track);

    EXPECT_EQ(inner->GetParent(), outer);
    EXPECT_EQ(title->GetParent(), inner);
    EXPECT_EQ(form->Combo->GetParent(), outer);
    EXPECT_EQ(outer->GetBevelInner(), bvLowered);
    EXPECT_EQ(outer->GetBevelOuter(), bvRaised);
    EXPECT_EQ(outer->GetColor(), clBtnFace);
    EXPECT_EQ(inner->GetColor(), clWhite);
    EXPECT_EQ(title->GetFont()->GetColor(), clRed);
    EXPECT_EQ(title->GetBoundsRect(), TRect(8, 8, 128, 48));   // AutoSize off: kept as read
    EXPECT_EQ(form->Ok->GetModalResult(), mrOk);
    EXPECT_TRUE(form->Ok->GetDefault());
    EXPECT_EQ(form->Combo->GetText(), "two");
    EXPECT_EQ(form->Combo->GetItemIndex(), -1);
    EXPECT_EQ(form->Combo->GetDropDownCount(), 5);
    EXPECT_TRUE(check->GetChecked());
    EXPECT_EQ(note->GetBorderStyle(), sbsSunken);
    EXPECT_EQ(form->Track->GetPosition(), 5);   // Max came first, so 5 was in range
    // Loading is not the user: no handler ran.
    EXPECT_EQ(form->CheckClicks + form->ComboChanges + form->OkClicks, 0);
    EXPECT_TRUE(form->TrackPositions.empty());

    form->Ok->OnClick(form->Ok);
    form->Combo->OnChange(form->Combo);
    EXPECT_EQ(form->OkClicks, 1);
    EXPECT_EQ(form->ComboChanges, 1);

    AnsiString written = WriteLayout(form.get());
    size_t start = written.find("  object Outer");
    ASSERT_NE(start, AnsiString::npos);
    EXPECT_EQ(written.substr(start), AnsiString(childrenLayout) + "end\n");
}

TEST_F(StdCtrlsTest, ClassesAreRegisteredOnTheirPalettePages)
{
    loadedForm();
    EXPECT_EQ(GetClass("TPanel")->Page(), "Standard");
    EXPECT_EQ(GetClass("TComboBox")->Page(), "Standard");
    EXPECT_EQ(GetClass("TStaticText")->Page(), "Additional");
    EXPECT_EQ(GetClass("TTrackBar")->Page(), "Win32");
}

// A combo box as the writer gives it back, its items one per line.
const char* const comboItemsLayout = R"(object StdForm: TStdTestForm
  Left = 0
  Top = 0
  Width = 300
  Height = 200
  BorderStyle = bsNone
  object Combo: TComboBox
    Left = 10
    Top = 10
    Width = 145
    Height = 21
    Items.Strings = (
      'first'
      'sec' + 'ond'
      'it''s')
    ItemIndex = 2
    Text = 'it''s'
  end
end
)";

TEST_F(StdCtrlsTest, ComboItemsAreReadAsAListAndWrittenBackTheSame)
{
    TStdTestForm form;
    ReadLayout(&form, comboItemsLayout, "StdForm.lfm", nullptr);
    ASSERT_NE(form.Combo, nullptr);
    TStrings* items = form.Combo->GetItems();
    ASSERT_EQ(items->Count(), 3);
    EXPECT_EQ(items->Strings(0), "first");
    EXPECT_EQ(items->Strings(1), "second");
    EXPECT_EQ(items->Strings(2), "it's");
    EXPECT_EQ(form.Combo->GetItemIndex(), 2);   // Items came first, so index 2 was there
    EXPECT_EQ(form.Combo->GetText(), "it's");
    form.Combo->SetItemIndex(0);
    EXPECT_EQ(form.Combo->GetText(), "first");
    form.Combo->SetItemIndex(2);

    AnsiString expected = comboItemsLayout;
    size_t joined = expected.find("'sec' + 'ond'");
    expected.replace(joined, 13, "'second'");
    AnsiString written = WriteLayout(&form);
    size_t start = written.find("  object Combo");
    ASSERT_NE(start, AnsiString::npos);
    EXPECT_EQ(written.substr(start), expected.substr(expected.find("  object Combo")));

    // An empty list is not written at all.
    form.Combo->GetItems()->Clear();
    EXPECT_EQ(WriteLayout(&form).find("Items"), AnsiString::npos);

    // Reading replaces what the list held.
    TComboBox loose(nullptr);
    loose.GetItems()->Add("old");
    ReadLayout(&loose, "object TComboBox\n  Items.Strings = ('x'\n    #65'y')\nend\n", "Loose.lfm", nullptr);
    EXPECT_EQ(loose.GetItems()->GetCommaText(), "x,Ay");
}

TEST_F(StdCtrlsTest, AMalformedItemsListNamesTheLayoutAndLine)
{
    struct Bad
    {
        const char* items;
        int line;
        bool parserError;
        const char* says;
    };
    const Bad bads[] = {
        {"    Items.Strings = (\n      'a'\n      'b'\n  end\n", 6, true, "the ')' closing the list of line 3"},
        {"    Items.Strings = (\n      'a'\n      42)\n  end\n", 5, true, "but found the number 42"},
        {"    Items.Strings = ('a' Blue)\n  end\n", 3, true, "but found 'Blue'"},
        {"    Items.Strings = 'a'\n  end\n", 3, false, "expected a list of strings"},
        {"    Items = ('a')\n  end\n", 3, false, "write it as Items.Strings"},
        {"    Items.Count = 1\n  end\n", 3, false, "unknown property 'Items.Count'"},
    };
    for (const Bad& bad : bads) {
        SCOPED_TRACE(bad.items);
        TStdTestForm form;
        AnsiString text = AnsiString("object StdForm: TStdTestForm\n  object Combo: TComboBox\n") + bad.items + "end\n";
        ExpectLayoutError([&] { ReadLayout(&form, text, "StdForm.lfm", nullptr); }, "StdForm.lfm", bad.line,
                          bad.parserError, bad.says);
        EXPECT_EQ(form.Combo, nullptr);
    }
}

// ---- Combo box ----

class ComboTest : public StdCtrlsTest
{
protected:
    void SetUp() override
    {
        StdCtrlsTest::SetUp();
        form = loadedForm();
        form->Show();
        pump();
        combo = form->Combo;
        for (const char* item : {"red", "green", "blue", "cyan"})
            combo->GetItems()->Add(item);
        origin = combo->ClientToScreen(TPoint(0, 0));
    }

    void clickArrowButton() { click(origin.X + combo->GetWidth() - 8, origin.Y + combo->GetHeight() / 2); }
    TPoint itemPoint(int index)
    {
        int h = combo->GetItemHeight();
        return TPoint(origin.X + 20, origin.Y + combo->GetHeight() + 1 + index * h + h / 2);
    }

    std::unique_ptr<TStdTestForm> form;
    TComboBox* combo = nullptr;
    TPoint origin;
};

TEST_F(ComboTest, ClickOpensAPopupListAndClickingAnItemChoosesIt)
{
    combo->SetItemIndex(1);   // the program's choice raises nothing
    EXPECT_EQ(combo->GetText(), "green");
    EXPECT_EQ(form->ComboChanges, 0);

    clickArrowButton();
    ASSERT_TRUE(combo->GetDroppedDown());
    POINT p = itemPoint(2);
    HWND list = WindowFromPoint(p);
    ASSERT_NE(list, form->Handle());
    EXPECT_EQ(GetAncestor(list, GA_ROOT), list);   // a top-level popup, not a child of the form
    EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & LONG(WS_POPUP));
    EXPECT_TRUE(display->isShown(list));
    RECT listRect;
    GetWindowRect(list, &listRect);
    EXPECT_EQ(listRect.bottom - listRect.top, 4 * 13 + 2);   // four rows of the stored ItemHeight

    click(p.x, p.y);
    EXPECT_FALSE(combo->GetDroppedDown());
    EXPECT_FALSE(display->isShown(list));
    EXPECT_EQ(combo->GetItemIndex(), 2);
    EXPECT_EQ(combo->GetText(), "blue");
    EXPECT_EQ(form->ComboChanges, 1);

    // Choosing the item already chosen changes nothing.
    clickArrowButton();
    click(itemPoint(2).X, itemPoint(2).Y);
    EXPECT_EQ(form->ComboChanges, 1);
}

TEST_F(ComboTest, AClickElsewhereClosesTheListWithoutAChoice)
{
    clickArrowButton();
    ASSERT_TRUE(combo->GetDroppedDown());
    click(450, 350);   // on the form, far from the box
    EXPECT_FALSE(combo->GetDroppedDown());
    EXPECT_EQ(combo->GetItemIndex(), -1);
    EXPECT_EQ(form->ComboChanges, 0);

    // The arrow button toggles: a second click on it closes the list.
    clickArrowButton();
    clickArrowButton();
    EXPECT_FALSE(combo->GetDroppedDown());
    EXPECT_EQ(form->ComboChanges, 0);
}

TEST_F(ComboTest, TypingEditsAtTheCaretAndRaisesOnChange)
{
    combo->SetText("");
    click(origin.X + 10, origin.Y + 10);   // the edit field takes the focus
    ASSERT_TRUE(combo->Focused());
    EXPECT_FALSE(combo->GetDroppedDown());

    type({'R', 'D'});
    EXPECT_EQ(combo->GetText(), "rd");
    type({VK_LEFT, 'E'});
    EXPECT_EQ(combo->GetText(), "red");
    EXPECT_EQ(combo->GetItemIndex(), 0);   // the text is that item now
    type({VK_HOME, VK_DELETE});
    EXPECT_EQ(combo->GetText(), "ed");
    EXPECT_EQ(combo->GetItemIndex(), -1);
    type({VK_END, VK_BACK, VK_BACK, VK_BACK});   // the third has nothing left to delete
    EXPECT_EQ(combo->GetText(), "");
    EXPECT_EQ(form->ComboChanges, 6);
}

TEST_F(ComboTest, DropDownListTakesNoTextButPicksByKey)
{
    combo->SetStyle(csDropDownList);
    combo->SetText("cyan");   // an item's text selects it
    EXPECT_EQ(combo->GetItemIndex(), 3);
    combo->SetText("mauve");   // any other text is refused
    EXPECT_EQ(combo->GetText(), "cyan");

    clickArrowButton();   // opens anywhere in this style
    ASSERT_TRUE(combo->GetDroppedDown());
    type({VK_ESCAPE});
    EXPECT_FALSE(combo->GetDroppedDown());
    type({'B', VK_UP});
    EXPECT_EQ(combo->GetText(), "green");
    EXPECT_EQ(form->ComboChanges, 2);

    combo->Clear();
    EXPECT_EQ(combo->GetItems()->Count(), 0);
    EXPECT_EQ(combo->GetItemIndex(), -1);
    type({'B', VK_DOWN, VK_F4});   // nothing to pick from: no change, no fault
    EXPECT_EQ(form->ComboChanges, 2);
}

TEST_F(ComboTest, ABoxFreedOrHiddenWithItsListOpenLeavesNothingBehind)
{
    clickArrowButton();
    ASSERT_TRUE(combo->GetDroppedDown());
    TPoint first = itemPoint(0);
    HWND list = WindowFromPoint(POINT(first));
    delete combo;
    form->Combo = nullptr;
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(GetCapture(), HWND(0));
    click(first.X, first.Y);   // where the list was: nothing happens
    EXPECT_EQ(form->ComboChanges, 0);

    TComboBox loose(nullptr);   // no window to hang a list under
    loose.GetItems()->Add("x");
    loose.SetDroppedDown(true);
    EXPECT_FALSE(loose.GetDroppedDown());
}

// ---- Buttons and check boxes ----

TEST_F(StdCtrlsTest, ButtonWithModalResultEndsShowModalWithIt)
{
    auto form = loadedForm();
    TPoint at = form->Ok->ClientToScreen(TPoint(10, 10));
    form->OnShow = [&](TObject*) { display->click(at.X, at.Y); };
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(form->OkClicks, 1);   // and its OnClick ran too
}

TEST_F(StdCtrlsTest, EnterAndEscapeClickTheDefaultAndCancelButtons)
{
    auto form = loadedForm();
    auto* cancel = new TButton(form.get());
    cancel->SetModalResult(mrCancel);
    cancel->SetParent(find<TPanel>(form.get(), "Inner"));   // found however deep it sits
    EXPECT_FALSE(ClickDialogButton(form.get(), VK_ESCAPE));
    cancel->SetCancel(true);
    EXPECT_TRUE(ClickDialogButton(form.get(), VK_ESCAPE));
    EXPECT_EQ(form->GetModalResult(), mrCancel);
    EXPECT_TRUE(ClickDialogButton(form.get(), VK_RETURN));
    EXPECT_EQ(form->GetModalResult(), mrOk);
    EXPECT_EQ(form->OkClicks, 1);
    form->Ok->SetEnabled(false);
    EXPECT_FALSE(ClickDialogButton(form.get(), VK_RETURN));
    EXPECT_FALSE(ClickDialogButton(form.get(), 'A'));
}

// Keys pressed while another control has the focus reach the form's Default and Cancel buttons.
class DialogKeyTest : public StdCtrlsTest
{
protected:
    void SetUp() override
    {
        StdCtrlsTest::SetUp();
        form = loadedForm();
        check = find<TCheckBox>(form.get(), "Check");
        cancel = new TButton(form.get());
        cancel->SetBounds(380, 250, 75, 25);
        cancel->SetModalResult(mrCancel);
        cancel->SetCancel(true);
        cancel->SetParent(form.get());
        stop = new TButton(form.get());
        stop->SetBounds(10, 300, 75, 25);
        stop->SetModalResult(mrAbort);
        stop->SetParent(form.get());
    }

    // Shows the form modally, focuses Target and presses Keys once the modal loop runs; then
    // clicks Stop, which ends the loop with mrAbort unless a key ended it first.
    TModalResult pressIn(TWinControl* Target, std::initializer_list<int> keys)
    {
        form->OnShow = [=, this](TObject*) {
            Target->SetFocus();
            for (int key : keys) {
                display->keyDown(key);
                display->keyUp(key);
            }
            TPoint at = stop->ClientToScreen(TPoint(10, 10));
            display->click(at.X, at.Y);
        };
        return form->ShowModal();
    }

    std::unique_ptr<TStdTestForm> form;
    TCheckBox* check = nullptr;
    TButton* cancel = nullptr;
    TButton* stop = nullptr;
};

TEST_F(DialogKeyTest, EnterInACheckBoxClicksTheDefaultButton)
{
    EXPECT_EQ(pressIn(check, {VK_RETURN}), mrOk);
    EXPECT_EQ(form->OkClicks, 1);
    EXPECT_EQ(form->CheckClicks, 0);   // the box itself is left alone
    EXPECT_EQ(check->GetState(), cbChecked);
}

TEST_F(DialogKeyTest, EscapeInACheckBoxClicksTheCancelButton)
{
    EXPECT_EQ(pressIn(check, {VK_ESCAPE}), mrCancel);
    EXPECT_EQ(form->OkClicks, 0);
}

TEST_F(DialogKeyTest, EnterInAFocusedButtonClicksThatButton)
{
    EXPECT_EQ(pressIn(cancel, {VK_RETURN}), mrCancel);
    EXPECT_EQ(form->OkClicks, 0);
}

TEST_F(DialogKeyTest, HiddenOrDisabledButtonsTakeNoDialogKey)
{
    form->Ok->SetEnabled(false);
    cancel->SetVisible(false);
    EXPECT_EQ(pressIn(check, {VK_RETURN, VK_ESCAPE}), mrAbort);
    EXPECT_EQ(form->OkClicks, 0);
}

TEST_F(DialogKeyTest, EscapeClosesAnOpenComboListWithoutCancellingTheForm)
{
    TComboBox* combo = form->Combo;
    for (const char* item : {"red", "green", "blue"})
        combo->GetItems()->Add(item);
    int opened = 0;
    combo->OnDropDown = [&](TObject*) { ++opened; };
    bool droppedAtOk = true;
    form->Ok->OnClick = [&](TObject*) { droppedAtOk = combo->GetDroppedDown(); };
    // F4 opens the list and Escape closes it; Enter, with the list closed, is the Default
    // button's.
    EXPECT_EQ(pressIn(combo, {VK_F4, VK_ESCAPE, VK_RETURN}), mrOk);
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(droppedAtOk);
    EXPECT_FALSE(combo->GetDroppedDown());
    EXPECT_EQ(form->ComboChanges, 0);   // Escape chose nothing
}

TEST_F(StdCtrlsTest, ButtonLooksPressedOnlyWhileHeldOverIt)
{
    auto form = loadedForm();
    form->Show();
    pump();
    TButton* ok = form->Ok;
    TPoint at = ok->ClientToScreen(TPoint(20, 10));
    display->pressMouse(at.X, at.Y);
    pump();
    EXPECT_TRUE(ok->Pressed());
    display->moveMouse(at.X + 200, at.Y);   // dragged off: looks raised again
    pump();
    EXPECT_FALSE(ok->Pressed());
    display->releaseMouse(at.X + 200, at.Y);
    pump();
    EXPECT_EQ(form->OkClicks, 0);   // released elsewhere: no click

    click(at.X, at.Y);
    click(at.X, at.Y);
    EXPECT_EQ(form->OkClicks, 2);
    EXPECT_FALSE(ok->Pressed());
}

TEST_F(StdCtrlsTest, CheckBoxTogglesAndEveryChangeOfStateCallsOnClick)
{
    auto form = loadedForm();
    form->Show();
    pump();
    auto* check = find<TCheckBox>(form.get(), "Check");
    TPoint at = check->ClientToScreen(TPoint(5, 8));
    click(at.X, at.Y);
    EXPECT_FALSE(check->GetChecked());
    EXPECT_EQ(form->CheckClicks, 1);
    check->SetChecked(true);   // the classic check box calls OnClick for the program's change too
    EXPECT_EQ(form->CheckClicks, 2);
    check->SetChecked(true);
    EXPECT_EQ(form->CheckClicks, 2);
    check->SetAllowGrayed(true);
    click(at.X, at.Y);
    EXPECT_EQ(check->GetState(), cbGrayed);
    click(at.X, at.Y);
    EXPECT_EQ(check->GetState(), cbUnchecked);
    EXPECT_EQ(form->CheckClicks, 4);
}

// ---- Track bar ----

TEST_F(StdCtrlsTest, DraggingTheThumbMovesPositionAndClickingTheChannelPages)
{
    auto form = loadedForm();
    form->Show();
    pump();
    TTrackBar* track = form->Track;
    TRect thumb = track->ThumbRect();
    TPoint grab = track->ClientToScreen(TPoint((thumb.Left + thumb.Right) / 2, (thumb.Top + thumb.Bottom) / 2));
    // Where position 15's thumb centre lies, found from the geometry of an equal bar.
    int from = track->PositionAt(grab.X - track->ClientToScreen(TPoint(0, 0)).X);
    EXPECT_EQ(from, 5);
    int stepPixels = (track->GetWidth() - 16 - 11) / 20;
    display->pressMouse(grab.X, grab.Y);
    pump();
    display->moveMouse(grab.X + 5 * stepPixels, grab.Y);
    pump();
    display->moveMouse(grab.X + 10 * stepPixels + 1, grab.Y + 30);   // off the bar: still dragging
    pump();
    display->releaseMouse(grab.X + 10 * stepPixels + 1, grab.Y + 30);
    pump();
    EXPECT_EQ(track->GetPosition(), 15);
    ASSERT_FALSE(form->TrackPositions.empty());
    EXPECT_EQ(form->TrackPositions.front(), 10);
    EXPECT_EQ(form->TrackPositions.back(), 15);

    // A click on the channel left of the thumb pages down by PageSize (2).
    form->TrackPositions.clear();
    TPoint left = track->ClientToScreen(TPoint(track->ThumbRect().Left - 20, 14));
    click(left.X, left.Y);
    EXPECT_EQ(track->GetPosition(), 13);
    EXPECT_EQ(form->TrackPositions, std::vector<int>{13});
    // Past the end it stops at Max.
    type({VK_END, VK_RIGHT});
    EXPECT_EQ(track->GetPosition(), 20);
    EXPECT_EQ(form->TrackPositions, (std::vector<int>{13, 20}));
}

// ---- Labels ----

TEST_F(StdCtrlsTest, AutoSizedLabelFollowsItsText)
{
    TForm form(nullptr, 0);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetCaption("Hi");
    int narrow = label->GetWidth();
    EXPECT_GT(narrow, 0);
    EXPECT_GT(label->GetHeight(), 5);
    label->SetCaption("Hi there, a much longer caption");
    EXPECT_GT(label->GetWidth(), 3 * narrow);

    // Right-justified, it grows to the left.
    label->SetAlignment(taRightJustify);
    label->SetBounds(300, 10, label->GetWidth(), label->GetHeight());
    label->SetCaption("Hi");
    EXPECT_EQ(label->GetLeft() + label->GetWidth(), 300 + MeasureText(label->GetFont(), "Hi there, a much longer caption").cx);

    // Word wrap keeps the width and takes more lines.
    int oneLine = label->GetHeight();
    label->SetWordWrap(true);
    label->SetWidth(40);
    label->SetCaption("one two three four five");
    EXPECT_EQ(label->GetWidth(), 40);
    EXPECT_GE(label->GetHeight(), 3 * oneLine);
}

}   // namespace
