// What descendants of the framework's controls rely on: their own setters run through a
// TControl*, their own events win over inherited ones of the same name, and the properties
// they publish with the framework's name tables read and write back.
#include "tests/framework/ControlsFixture.h"

#include <string>

#include "framework/ExtCtrls.h"
#include "framework/Layouts.h"
#include "tests/support/LayoutErrorCheck.h"

namespace {

// A skinned-style control: redeclares SetEnabled and SetVisible, and has its own mouse-down
// event under the name the panel already publishes.
class TOverPanel : public TPanel
{
public:
    explicit TOverPanel(TComponent* AOwner) : TPanel(AOwner) {}
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    void SetEnabled(bool Value) override
    {
        Calls += Value ? "E" : "e";
        TPanel::SetEnabled(Value);
    }
    void SetVisible(bool Value) override
    {
        Calls += Value ? "V" : "v";
        TPanel::SetVisible(Value);
    }
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override
    {
        TPanel::MouseDown(Button, Shift, X, Y);
        if (OnMouseDown)
            OnMouseDown(this, Button, Shift, X, Y);
    }
    TTransparentMode GetTransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode Value) { FTransparentMode = Value; }

    TMouseEvent OnMouseDown;   // hides TControl::OnMouseDown, as the skinned controls' own does
    std::string Calls;

private:
    TTransparentMode FTransparentMode = tmFixed;
};

TClass TOverPanel::StaticClass()
{
    static const TClass Class = TPublished<TOverPanel, TPanel>("TOverPanel")
        .Property("TransparentMode", &TOverPanel::GetTransparentMode, &TOverPanel::SetTransparentMode,
                  TransparentModeIdents, Default(tmFixed))
        .Event("OnMouseDown", &TOverPanel::OnMouseDown);
    return Class;
}

class TOverForm : public TForm
{
public:
    explicit TOverForm(TComponent* AOwner) : TForm(AOwner, 0) {}
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    void PanelMouseDown(TObject*, TMouseButton, TShiftState, int X, int Y) { Downs.push_back({'d', X, Y}); }
    TOverPanel* Panel = nullptr;
    std::vector<MouseRecord> Downs;
};

TClass TOverForm::StaticClass()
{
    static const TClass Class = TPublished<TOverForm, TForm>("TOverForm")
        .Field("Panel", &TOverForm::Panel)
        .PublishMethod("PanelMouseDown", &TOverForm::PanelMouseDown);
    return Class;
}

const char* const overLayout = R"(object OverForm: TOverForm
  Left = 50
  Top = 40
  BorderStyle = bsNone
  ClientWidth = 200
  ClientHeight = 120
  object Panel: TOverPanel
    Left = 10
    Top = 10
    Width = 100
    Height = 60
    DoubleBuffered = True
    Enabled = False
    TransparentMode = tmAuto
    OnMouseDown = PanelMouseDown
  end
end
)";

class ControlOverridesTest : public ControlsFixture
{
protected:
    static void SetUpTestSuite() { RegisterClasses({ClassOf<TOverForm>(), ClassOf<TOverPanel>()}); }
};

TEST_F(ControlOverridesTest, RedeclaredSettersRunThroughATControlPointer)
{
    auto form = shownForm();
    auto* panel = new TOverPanel(form.get());
    panel->SetParent(form.get());
    TControl* plain = panel;
    plain->SetEnabled(false);
    plain->SetVisible(false);
    plain->Show();   // the framework's own callers go through the override too
    plain->SetEnabled(true);
    EXPECT_EQ(panel->Calls, "evVE");
    EXPECT_TRUE(panel->GetEnabled());
    EXPECT_TRUE(panel->GetVisible());
    // The override reached the framework's setter: the window follows.
    pump();
    plain->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(panel->Handle()));
}

TEST_F(ControlOverridesTest, ASubclassEventOfAnInheritedNameIsTheOneALayoutBinds)
{
    TOverForm form(nullptr);
    ReadLayout(&form, overLayout, "OverForm.lfm", nullptr);
    ASSERT_NE(form.Panel, nullptr);
    EXPECT_TRUE(bool(form.Panel->OnMouseDown));
    EXPECT_FALSE(bool(form.Panel->TControl::OnMouseDown));   // the hidden one stays unbound
    EXPECT_EQ(form.Panel->Calls, "e");   // the panel's inherited Enabled entry reaches the override
    form.Panel->SetEnabled(true);
    form.Show();
    pump();
    TPoint p = form.Panel->ClientToScreen(TPoint(7, 9));
    click(p.X, p.Y);
    ASSERT_EQ(form.Downs.size(), 1u);   // once, not once per event of that name
    EXPECT_EQ(form.Downs[0].x, 7);
    EXPECT_EQ(form.Downs[0].y, 9);

    // Written back: the name once, and the properties with the framework's name tables.
    form.Panel->SetEnabled(false);
    AnsiString text = WriteLayout(&form);
    size_t first = text.find("OnMouseDown = PanelMouseDown");
    ASSERT_NE(first, AnsiString::npos) << text;
    EXPECT_EQ(text.find("OnMouseDown", first + 1), AnsiString::npos) << text;
    EXPECT_NE(text.find("TransparentMode = tmAuto"), AnsiString::npos) << text;
    EXPECT_NE(text.find("DoubleBuffered = True"), AnsiString::npos) << text;
    EXPECT_NE(text.find("Enabled = False"), AnsiString::npos) << text;
}

TEST_F(ControlOverridesTest, TransparentModeAndDoubleBufferedReadByNameAndDefaultsLeftOut)
{
    TOverForm form(nullptr);
    ReadLayout(&form, overLayout, "OverForm.lfm", nullptr);
    EXPECT_EQ(form.Panel->GetTransparentMode(), tmAuto);
    EXPECT_TRUE(form.Panel->GetDoubleBuffered());
    form.Panel->SetTransparentMode(tmFixed);
    form.Panel->SetDoubleBuffered(false);
    AnsiString text = WriteLayout(&form);
    EXPECT_EQ(text.find("TransparentMode"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("DoubleBuffered"), AnsiString::npos) << text;

    TOverForm other(nullptr);
    AnsiString bad = "object OverForm: TOverForm\n  object Panel: TOverPanel\n    TransparentMode = tmSome\n  end\nend\n";
    ExpectLayoutError([&] { ReadLayout(&other, bad, "Bad.lfm", nullptr); }, "Bad.lfm", 3, false, "tmAuto, tmFixed");
}

}   // namespace
