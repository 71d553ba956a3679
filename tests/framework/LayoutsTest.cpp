#include <gtest/gtest.h>

#include "support/LayoutErrorCheck.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "framework/Layouts.h"
#include "framework/TypeInfo.h"

namespace {

enum TPanelMode { pmNone, pmFast, pmSlow };
constexpr TIdentMapEntry<TPanelMode> panelModeIdents[] = {{pmNone, "pmNone"}, {pmFast, "pmFast"}, {pmSlow, "pmSlow"}};
enum TPanelEdge { peLeft, peTop, peRight, peBottom };
constexpr TIdentMapEntry<TPanelEdge> panelEdgeIdents[] = {
    {peLeft, "peLeft"}, {peTop, "peTop"}, {peRight, "peRight"}, {peBottom, "peBottom"}};
using TPanelEdges = TSet<TPanelEdge>;

class TTestFont : public TPersistent
{
public:
    AnsiString ClassName() const override { return "TTestFont"; }
    static TClass StaticClass();
    AnsiString GetName() const { return FName; }
    void SetName(const AnsiString& Value) { FName = Value; }
    int GetHeight() const { return FHeight; }
    void SetHeight(int Value) { FHeight = Value; }
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }

private:
    AnsiString FName = "Sans";
    int FHeight = -11;
    TColor FColor = clWindowText;
};

// A control-like component: it has a parent, a sub-object, a bitmap, a reference and an event.
class TTestPanel : public TComponent
{
public:
    using TComponent::TComponent;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    int GetLeft() const { return FLeft; }
    void SetLeft(int Value) { FLeft = Value; }
    int GetWidth() const { return FWidth; }
    void SetWidth(int Value)
    {
        FWidth = Value;
        WidthSetWhileLoading = ComponentState().Contains(csLoading);
    }
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }
    TPanelMode GetMode() const { return FMode; }
    void SetMode(TPanelMode Value) { FMode = Value; }
    TPanelEdges GetEdges() const { return FEdges; }
    void SetEdges(TPanelEdges Value) { FEdges = Value; }
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    AnsiString GetCaption() const { return FCaption; }
    void SetCaption(const AnsiString& Value) { FCaption = Value; }
    double GetRatio() const { return FRatio; }
    void SetRatio(double Value) { FRatio = Value; }
    bool GetParentFont() const { return FParentFont; }
    void SetParentFont(bool Value) { FParentFont = Value; }
    bool IsFontStored() const { return !FParentFont; }
    TTestFont* GetFont() { return &FFont; }
    TBitmap* GetGlyph() { return &FGlyph; }
    TTestPanel* GetBuddy() const { return FBuddy; }
    void SetBuddy(TTestPanel* Value)
    {
        FBuddy = Value;
        if (Value)
            Value->FreeNotification(this);
    }
    TNotifyEvent OnClick;

    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override { return FParent; }
    void SetParentComponent(TComponent* Value) override { FParent = Value; }

    void Loaded() override
    {
        TComponent::Loaded();
        ++LoadedCalls;
        BuddyWhenLoaded = FBuddy;
    }

    bool WidthSetWhileLoading = false;
    int LoadedCalls = 0;
    TTestPanel* BuddyWhenLoaded = nullptr;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove && AComponent == FBuddy)
            FBuddy = nullptr;
    }

private:
    int FLeft = 0;
    int FWidth = 100;
    bool FVisible = true;
    TPanelMode FMode = pmNone;
    TPanelEdges FEdges{peLeft, peTop};
    TColor FColor = clBtnFace;
    AnsiString FCaption;
    double FRatio = 0;
    bool FParentFont = false;
    TTestFont FFont;
    TBitmap FGlyph;
    TTestPanel* FBuddy = nullptr;
    TComponent* FParent = nullptr;
};

// Redeclares Width with another default.
class TTestButton : public TTestPanel
{
public:
    explicit TTestButton(TComponent* AOwner) : TTestPanel(AOwner) { SetWidth(75); }
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
};

class TTestForm : public TComponent
{
public:
    using TComponent::TComponent;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    AnsiString GetCaption() const { return FCaption; }
    void SetCaption(const AnsiString& Value) { FCaption = Value; }
    TNotifyEvent OnShow;

    void PanelClick(TObject* Sender) { Clicks.push_back(Sender); }
    void FormShow(TObject* Sender) { Clicks.push_back(Sender); }
    void PanelMoved(TObject*, int) {}

    TTestPanel* TopPanel = nullptr;
    std::vector<TObject*> Clicks;

private:
    AnsiString FCaption;
};

TClass TTestFont::StaticClass()
{
    static const TClass Class = TPublished<TTestFont, TPersistent>("TTestFont")
        .Property("Name", &TTestFont::GetName, &TTestFont::SetName, Default("Sans"))
        .Property("Height", &TTestFont::GetHeight, &TTestFont::SetHeight, Default(-11))
        .Property("Color", &TTestFont::GetColor, &TTestFont::SetColor, ColorIdents(), Default(clWindowText));
    return Class;
}

TClass TTestPanel::StaticClass()
{
    static const TClass Class = TPublished<TTestPanel, TComponent>("TTestPanel")
        .Property("Left", &TTestPanel::GetLeft, &TTestPanel::SetLeft)
        .Property("Width", &TTestPanel::GetWidth, &TTestPanel::SetWidth, Default(100))
        .Property("Visible", &TTestPanel::GetVisible, &TTestPanel::SetVisible, Default(true))
        .Property("Mode", &TTestPanel::GetMode, &TTestPanel::SetMode, panelModeIdents, Default(pmNone))
        .Property("Edges", &TTestPanel::GetEdges, &TTestPanel::SetEdges, panelEdgeIdents,
                  Default(TPanelEdges{peLeft, peTop}))
        .Property("Color", &TTestPanel::GetColor, &TTestPanel::SetColor, ColorIdents(), Default(clBtnFace))
        .Property("Caption", &TTestPanel::GetCaption, &TTestPanel::SetCaption)
        .Property("Ratio", &TTestPanel::GetRatio, &TTestPanel::SetRatio)
        .Property("ParentFont", &TTestPanel::GetParentFont, &TTestPanel::SetParentFont, Default(false))
        .Property("Font", &TTestPanel::GetFont, Stored(&TTestPanel::IsFontStored))
        .Property("Glyph", &TTestPanel::GetGlyph)
        .Property("Buddy", &TTestPanel::GetBuddy, &TTestPanel::SetBuddy)
        .Event("OnClick", &TTestPanel::OnClick);
    return Class;
}

TClass TTestButton::StaticClass()
{
    static const TClass Class = TPublished<TTestButton, TTestPanel>("TTestButton")
        .Property("Width", &TTestButton::GetWidth, &TTestButton::SetWidth, Default(75));
    return Class;
}

TClass TTestForm::StaticClass()
{
    static const TClass Class = TPublished<TTestForm, TComponent>("TTestForm")
        .Property("Caption", &TTestForm::GetCaption, &TTestForm::SetCaption)
        .Event("OnShow", &TTestForm::OnShow)
        .Field("TopPanel", &TTestForm::TopPanel)
        .PublishMethod("PanelClick", &TTestForm::PanelClick)
        .PublishMethod("FormShow", &TTestForm::FormShow)
        .PublishMethod("PanelMoved", &TTestForm::PanelMoved);
    return Class;
}

using Bytes = std::vector<uint8_t>;

Bytes bitmapFile(int width, int height)
{
    TBitmap bitmap;
    bitmap.SetSize(width, height);
    bitmap.Canvas()->SetPixel(0, 0, clRed);
    TMemoryStream stream;
    bitmap.SaveToStream(&stream);
    auto* data = static_cast<const uint8_t*>(stream.Memory());
    return Bytes(data, data + stream.GetSize());
}

// Files of a layout's folder, held in memory.
TLayoutResolver filesOf(std::map<std::string, Bytes> files)
{
    return [files](const AnsiString& name) -> std::unique_ptr<TStream> {
        auto it = files.find(name);
        if (it == files.end())
            return nullptr;
        auto stream = std::make_unique<TMemoryStream>();
        stream->WriteBuffer(it->second.data(), int(it->second.size()));
        stream->SetPosition(0);
        return stream;
    };
}

void registerTestClasses()
{
    RegisterClasses({ClassOf<TTestPanel>(), ClassOf<TTestButton>(), ClassOf<TTestForm>()});
}

const char* const richLayout = R"(object MainForm: TTestForm
  Caption = 'It''s ' +
    'Lumo'#13#10'free'
  OnShow = FormShow
  object TopPanel: TTestPanel
    Left = -5
    Width = $20
    Visible = False
    Mode = pmSlow
    Edges = [peRight, peBottom]
    Color = clLime
    Caption = 'Top'
    Ratio = 1.25
    Font.Name = 'Agency FB'
    Font.Height = -13
    Font.Color = 255
    Glyph = 'play.bmp'
    Buddy = Inner
    OnClick = PanelClick
    object Inner: TTestPanel
      Left = 10
      Color = $8000000F
      Buddy = MainForm.TopPanel
    end
  end
  object Other: TTestButton
    Left = 0
    Width = 100
  end
end
)";

class LayoutRead : public ::testing::Test
{
protected:
    void SetUp() override
    {
        registerTestClasses();
        ReadLayout(&form, richLayout, "Main.lfm", filesOf({{"play.bmp", bitmapFile(3, 2)}}));
        top = form.TopPanel;
        ASSERT_NE(top, nullptr);
        inner = dynamic_cast<TTestPanel*>(form.FindComponent("Inner"));
        ASSERT_NE(inner, nullptr);
    }

    TTestForm form{nullptr};
    TTestPanel* top = nullptr;
    TTestPanel* inner = nullptr;
};

TEST_F(LayoutRead, SetsEveryKindOfValue)
{
    EXPECT_EQ(form.GetName(), "MainForm");
    EXPECT_EQ(form.GetCaption(), "It's Lumo\r\nfree");
    EXPECT_EQ(top->GetLeft(), -5);
    EXPECT_EQ(top->GetWidth(), 32);
    EXPECT_FALSE(top->GetVisible());
    EXPECT_EQ(top->GetMode(), pmSlow);
    EXPECT_EQ(top->GetEdges(), (TPanelEdges{peRight, peBottom}));
    EXPECT_EQ(top->GetColor(), clLime);
    EXPECT_EQ(inner->GetColor(), clBtnFace);   // a hexadecimal bit pattern
    EXPECT_EQ(top->GetCaption(), "Top");
    EXPECT_DOUBLE_EQ(top->GetRatio(), 1.25);
    EXPECT_EQ(top->GetFont()->GetName(), "Agency FB");
    EXPECT_EQ(top->GetFont()->GetHeight(), -13);
    EXPECT_EQ(top->GetFont()->GetColor(), clRed);
    ASSERT_EQ(top->GetGlyph()->GetWidth(), 3);
    EXPECT_EQ(top->GetGlyph()->GetHeight(), 2);
    EXPECT_EQ(top->GetGlyph()->Canvas()->GetPixel(0, 0), clRed);
}

TEST_F(LayoutRead, BuildsTheTreeAndResolvesReferencesBeforeLoaded)
{
    ASSERT_EQ(form.ComponentCount(), 3);
    EXPECT_EQ(top->GetParentComponent(), &form);
    EXPECT_EQ(inner->GetParentComponent(), top);
    EXPECT_EQ(inner->Owner(), &form);
    EXPECT_EQ(top->GetBuddy(), inner);   // named before Inner was read
    EXPECT_EQ(inner->GetBuddy(), top);
    EXPECT_EQ(top->BuddyWhenLoaded, inner);
    EXPECT_TRUE(top->WidthSetWhileLoading);
    for (int i = 0; i < form.ComponentCount(); ++i) {
        auto* panel = static_cast<TTestPanel*>(form.Components(i));
        EXPECT_EQ(panel->LoadedCalls, 1);
        EXPECT_FALSE(panel->ComponentState().Contains(csLoading) || panel->ComponentState().Contains(csReading));
    }
    EXPECT_FALSE(form.ComponentState().Contains(csLoading) || form.ComponentState().Contains(csReading));
}

TEST_F(LayoutRead, BindsEventsToTheFormsPublishedMethods)
{
    top->OnClick(top);
    form.OnShow(&form);
    EXPECT_EQ(form.Clicks, (std::vector<TObject*>{top, &form}));
    EXPECT_FALSE(inner->OnClick);
}

TEST_F(LayoutRead, WritesBackWithoutDefaultsAndReadsBackTheSame)
{
    std::map<std::string, Bytes> saved;
    TBitmapSaver saver = [&](const AnsiString& path, TBitmap* bitmap) {
        TMemoryStream stream;
        bitmap->SaveToStream(&stream);
        auto* data = static_cast<const uint8_t*>(stream.Memory());
        saved[path + ".bmp"] = Bytes(data, data + stream.GetSize());
        return path + ".bmp";
    };
    AnsiString text = WriteLayout(&form, saver);
    EXPECT_EQ(text, R"(object MainForm: TTestForm
  Caption = 'It''s Lumo'#13#10'free'
  OnShow = FormShow
  object TopPanel: TTestPanel
    Left = -5
    Width = 32
    Visible = False
    Mode = pmSlow
    Edges = [peRight, peBottom]
    Color = clLime
    Caption = 'Top'
    Ratio = 1.25
    Font.Name = 'Agency FB'
    Font.Height = -13
    Font.Color = clRed
    Glyph = 'TopPanel.Glyph.bmp'
    Buddy = Inner
    OnClick = PanelClick
    object Inner: TTestPanel
      Left = 10
      Buddy = TopPanel
    end
  end
  object Other: TTestButton
    Left = 0
    Width = 100
  end
end
)");
    TTestForm again(nullptr);
    ReadLayout(&again, text, "Again.lfm", filesOf(saved));
    EXPECT_EQ(WriteLayout(&again, saver), text);
    EXPECT_EQ(again.TopPanel->GetGlyph()->Canvas()->GetPixel(0, 0), clRed);
}

TEST(LayoutWrite, LeavesOutDefaultsAndWhatStoredTestsRefuse)
{
    registerTestClasses();
    TTestForm form(nullptr);
    form.SetName("F");
    auto* panel = new TTestPanel(&form);
    panel->SetName("P");
    panel->SetParentComponent(&form);
    auto* button = new TTestButton(&form);   // Width 75: its own default
    button->SetParentComponent(&form);
    // Left has no declared default, so it is always written; an unnamed object has no name.
    EXPECT_EQ(WriteLayout(&form), "object F: TTestForm\n  object P: TTestPanel\n    Left = 0\n  end\n"
                                  "  object TTestButton\n    Left = 0\n  end\nend\n");

    panel->GetFont()->SetHeight(20);
    panel->SetParentFont(true);
    panel->OnClick = [](TObject*) {};   // set in code: nothing to name
    panel->GetGlyph()->SetSize(1, 1);
    EXPECT_THROW(WriteLayout(&form), EWriteError);   // a bitmap and nowhere to put it
    panel->GetGlyph()->SetSize(0, 0);
    AnsiString text = WriteLayout(&form);
    EXPECT_NE(text.find("ParentFont = True"), AnsiString::npos);
    EXPECT_EQ(text.find("Font."), AnsiString::npos);
    EXPECT_EQ(text.find("OnClick"), AnsiString::npos);
}

TEST(LayoutReferences, ComponentsOfOtherFormsAreFoundThroughTheGlobalFinder)
{
    registerTestClasses();
    TTestForm palette(nullptr);
    palette.SetName("Palette");
    auto* swatch = new TTestPanel(&palette);
    swatch->SetName("Swatch");
    RegisterFindGlobalComponentProc([&](const AnsiString& name) { return name == "Palette" ? &palette : nullptr; });
    TTestForm form(nullptr);
    ReadLayout(&form, "object F: TTestForm\n object P: TTestPanel\n  Buddy = Palette.Swatch\n end\nend",
               "F.lfm", nullptr);
    RegisterFindGlobalComponentProc(nullptr);
    auto* panel = static_cast<TTestPanel*>(form.FindComponent("P"));
    EXPECT_EQ(panel->GetBuddy(), swatch);
    EXPECT_EQ(WriteLayout(&form), "object F: TTestForm\n  object P: TTestPanel\n    Left = 0\n"
                                  "    Buddy = Palette.Swatch\n  end\nend\n");
    delete swatch;   // another form's component going away still clears the reference
    EXPECT_EQ(panel->GetBuddy(), nullptr);
}

// ---- Malformed layouts ----

struct BadLayout
{
    const char* text;
    int line;
    bool parserError;   // else EReadError
    const char* says;
};

const BadLayout badLayouts[] = {
    {"", 1, true, "expected 'object' but found the end of the layout"},
    {"object F: TOtherForm\nend", 1, false, "the layout is of class TOtherForm, not TTestForm"},
    {"object F: TTestForm\n  object P: TNoSuchPanel\n  end\nend", 2, false, "Class TNoSuchPanel not found"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Colour = clRed\n  end\nend", 3, false,
     "unknown property 'Colour' of TTestPanel"},
    {"object F: TTestForm\n  object P: TTestPanel\n\n    Font.Colour = clRed\n  end\nend", 4, false,
     "unknown property 'Font.Colour' of TTestPanel"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Font = 3\n  end\nend", 3, false, "is an object"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Left.X = 3\n  end\nend", 3, false, "no properties of its own"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Left = 'x'\n  end\nend", 3, false,
     "expected an integer for Left but found a string"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Left = 3000000000\n  end\nend", 3, false, "out of the range"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Visible = Yes\n  end\nend", 3, false, "True or False"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Mode = pmWarp\n  end\nend", 3, false,
     "expected one of pmNone, pmFast, pmSlow"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Edges = [peLeft, peMiddle]\n  end\nend", 3, false,
     "'peMiddle' is not an element of Edges"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Color = clLimey\n  end\nend", 3, false,
     "'clLimey' is not a named value of Color"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Ratio = 1e999\n  end\nend", 3, false, "out of the range"},
    {"object F: TTestForm\n  object P: TTestPanel\n    OnClick = PanelClik\n  end\nend", 3, false,
     "TTestForm has no published method 'PanelClik' for OnClick"},
    {"object F: TTestForm\n  object P: TTestPanel\n    OnClick = PanelMoved\n  end\nend", 3, false,
     "OnClick needs a handler of type void (TObject*), but PanelMoved is of type void (TObject*, int)"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Buddy = Nowhere\n  end\nend", 3, false,
     "unknown component 'Nowhere' for Buddy"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Buddy = F\n  end\nend", 3, false,
     "Buddy needs a TTestPanel, but F is a TTestForm"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph = 'gone.bmp'\n  end\nend", 3, false,
     "bitmap 'gone.bmp' not found (no resource or file of that name)"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph = '../x.bmp'\n  end\nend", 3, false,
     "not the name of a resource or of a file in the layout's folder"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph = 'junk.bmp'\n  end\nend", 3, false,
     "bitmap 'junk.bmp' for Glyph is malformed: "},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph.Data = {\n      07 54 4A 50 45 47 49 6D\n      00 00 00 00}\n  end\nend",
     3, false, "the picture in Glyph.Data is a TJPEGIm; only TBitmap pictures can be embedded"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph.Data = {09000000 424D}\n  end\nend", 3, false,
     "the bitmap data of Glyph.Data states 9 bytes but holds 2"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph.Data = {0200 00}\n  end\nend", 3, false,
     "too short to hold its size"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph.Data = {04000000 424D0000}\n  end\nend", 3, false,
     "the bitmap embedded in Glyph.Data is malformed: "},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph.Data = 'x.bmp'\n  end\nend", 3, false,
     "expected binary data {...} for Glyph.Data but found a string"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph = {00000000}\n  end\nend", 3, false,
     "binary data is written as Glyph.Data = {...}"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Glyph.Width = 3\n  end\nend", 3, false,
     "a bitmap written inline is Glyph.Data = {...}"},
    {"object F: TTestForm\n  Tag = {0A 1}\nend", 2, true, "odd number of hexadecimal digits"},
    {"object F: TTestForm\n  Tag = {0A\n  0G}\nend", 3, true, "expected hexadecimal digits in binary data but found 'G'"},
    {"object F: TTestForm\n  Tag = {0A\n  0B\n", 2, true, "expected '}' closing the binary data of line 2"},
    {"object F: TTestForm\n  Tag = {0A}\nend", 2, false, "expected an integer for Tag but found binary data"},
    {"object F: TTestForm\n  object P: TTestPanel\n  end\n  object p: TTestPanel\n  end\nend", 4, false,
     "A component named p already exists"},
    {"object F: TTestForm\n  object TopPanel: TTestForm\n  end\nend", 2, false,
     "Field TTestForm.TopPanel cannot hold TopPanel of class TTestForm"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Left 3\n  end\nend", 3, true, "expected '=' but found the number 3"},
    {"object F: TTestForm\n  Caption = 'open\n end", 2, true, "unterminated string"},
    {"object F: TTestForm\n  Caption = 'a' +\n\n  Left = 1\nend", 4, true, "expected a string after '+'"},
    {"object F: TTestForm\n  Caption = #300\nend", 2, true, "character code out of range"},
    {"object F: TTestForm\n  Tag = $\nend", 2, true, "hexadecimal digits"},
    {"object F: TTestForm\n  Tag = 99999999999999999999\nend", 2, true, "too large"},
    {"object F: TTestForm\n  Tag = 12abc\nend", 2, true, "expected a number"},
    {"object F: TTestForm\n  Tag = [a, ]\nend", 2, true, "expected a set element but found ']'"},
    {"object F: TTestForm\n  Tag = ~\nend", 2, true, "expected a value but found '~'"},
    {"object F: TTestForm\n  Tag = ('a'\n    'b'\nend", 4, true,
     "expected a string or the ')' closing the list of line 2 but found 'end'"},
    {"object F: TTestForm\n  Tag = ('a'\n    5)\nend", 3, true, "expected a string or the ')' closing the list"},
    {"object F: TTestForm\n  Tag = ('a' +)\nend", 2, true, "expected a string after '+' but found ')'"},
    {"object F: TTestForm\n  Tag = ('a')\nend", 2, false, "expected an integer for Tag but found a list"},
    {"object F: TTestForm\n  object P: TTestPanel\n    Left = 1\n\n", 4, true, "expected 'end' of object P (line 2)"},
    {"object F: TTestForm\nend\nend", 3, true, "expected the end of the layout but found 'end'"},
    {"object F: TTestForm\n  object P: TTestPanel\n  end\n  Tag = 1\nend", 4, true, "properties come before"},
    {"inherited F: TTestForm\nend", 1, true, "'inherited' objects are not supported"},
    {"object F: TTestForm\n  Tag = 1\x01\nend", 2, true, "unexpected character #1"},
};

TEST(LayoutErrors, EachMalformedLayoutNamesItsLineAndLeavesNothingBehind)
{
    registerTestClasses();
    for (const BadLayout& bad : badLayouts) {
        SCOPED_TRACE(bad.text);
        TTestForm form(nullptr);
        ExpectLayoutError(
            [&] { ReadLayout(&form, bad.text, "Bad.lfm", filesOf({{"junk.bmp", Bytes{'B', 'M', 1, 2, 3}}})); },
            "Bad.lfm", bad.line, bad.parserError, bad.says);
        EXPECT_EQ(form.ComponentCount(), 0);
        EXPECT_EQ(form.TopPanel, nullptr);
        EXPECT_FALSE(form.ComponentState().Contains(csLoading));
    }
}

TEST(LayoutErrors, DeepNestingIsRefusedNotFollowed)
{
    registerTestClasses();
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "object X: TTestPanel\n";
    TTestForm form(nullptr);
    EXPECT_THROW(ReadLayout(&form, "object F: TTestForm\n" + text, "Deep.lfm", nullptr), EParserError);
}

// ---- Resources and folders ----

TEST(LayoutResources, LoadsLayoutAndArtworkFromRegisteredResources)
{
    registerTestClasses();
    const std::string text = "object F: TTestForm\n  object TopPanel: TTestPanel\n    Glyph = 'Play.bmp'\n  end\nend\n";
    RegisterResource("Tiny.lfm", text.data(), text.size());
    Bytes bmp = bitmapFile(4, 1);
    RegisterResource("PLAY.BMP", bmp.data(), bmp.size());
    TTestForm form(nullptr);
    LoadLayout(&form, "tiny.LFM", ResourceResolver());
    EXPECT_EQ(form.TopPanel->GetGlyph()->GetWidth(), 4);

    TResourceStream stream("play.bmp");
    EXPECT_EQ(stream.GetSize(), int64_t(bmp.size()));
    EXPECT_THROW(stream.Write("x", 1), EStreamError);
    EXPECT_THROW(TResourceStream("nope"), EResNotFound);
    EXPECT_THROW(LoadLayout(&form, "missing.lfm", ResourceResolver()), EReadError);
}

std::string hexOf(const Bytes& bytes)
{
    std::string text;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
        if (i % 16 == 15)
            text += "\n      ";
    }
    return text;
}

TEST(LayoutResources, BitmapsEmbeddedInBothClassicFormsAreReadAndWrittenBackInline)
{
    registerTestClasses();
    Bytes bmp = bitmapFile(5, 3);
    Bytes sized{uint8_t(bmp.size()), uint8_t(bmp.size() >> 8), 0, 0};
    sized.insert(sized.end(), bmp.begin(), bmp.end());
    Bytes picture{7, 'T', 'B', 'i', 't', 'm', 'a', 'p'};
    picture.insert(picture.end(), sized.begin(), sized.end());
    for (const Bytes* data : {&sized, &picture}) {
        std::string text = "object F: TTestForm\n  object TopPanel: TTestPanel\n    Glyph.Data = {\n      " +
                           hexOf(*data) + "}\n    Left = 4\n  end\nend\n";
        TTestForm form(nullptr);
        ReadLayout(&form, text, "Inline.lfm", nullptr);
        TBitmap* glyph = form.TopPanel->GetGlyph();
        EXPECT_EQ(glyph->GetWidth(), 5);
        EXPECT_EQ(glyph->GetHeight(), 3);
        EXPECT_EQ(glyph->Canvas()->GetPixel(0, 0), clRed);
        EXPECT_EQ(form.TopPanel->GetLeft(), 4);   // the lines after the data are read as usual

        // Written inline again, it reads back to the same pixels.
        AnsiString written = WriteLayout(&form, EmbedBitmaps());
        EXPECT_NE(written.find("Glyph.Data = {"), AnsiString::npos) << written;
        TTestForm again(nullptr);
        ReadLayout(&again, written, "Again.lfm", nullptr);
        ASSERT_EQ(again.TopPanel->GetGlyph()->GetWidth(), 5);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(again.TopPanel->GetGlyph()->Canvas()->GetPixel(x, y), glyph->Canvas()->GetPixel(x, y));
    }
}

TEST(LayoutResources, ArtworkIsNamedByWindowComponentAndProperty)
{
    registerTestClasses();
    Bytes bmp = bitmapFile(6, 2);
    RegisterResource("ArtForm.TopPanel.Glyph", bmp.data(), bmp.size());
    const std::string text = "object F: TTestForm\n  object TopPanel: TTestPanel\n    Glyph = 'ArtForm.TopPanel.Glyph'\n"
                             "  end\nend\n";
    TTestForm form(nullptr);
    ReadLayout(&form, text, "ArtForm.lfm", ResourceResolver());
    EXPECT_EQ(form.TopPanel->GetGlyph()->GetWidth(), 6);

    // Missing and malformed artwork: errors that name it, and nothing left half-made.
    TTestForm missing(nullptr);
    ExpectLayoutError([&] { ReadLayout(&missing, text, "ArtForm.lfm", [](const AnsiString&) { return nullptr; }); },
                      "ArtForm.lfm", 3, false, "bitmap 'ArtForm.TopPanel.Glyph' not found");
    EXPECT_EQ(missing.TopPanel, nullptr);
    const char junk[] = "BM this is no bitmap at all, only text that starts like one";
    RegisterResource("ArtForm.TopPanel.Glyph", junk, sizeof junk);
    TTestForm broken(nullptr);
    ExpectLayoutError([&] { ReadLayout(&broken, text, "ArtForm.lfm", ResourceResolver()); }, "ArtForm.lfm", 3, false,
                      "bitmap 'ArtForm.TopPanel.Glyph' for Glyph is malformed: ");
    EXPECT_EQ(broken.TopPanel, nullptr);
}

TEST(LayoutResources, FolderResolverFindsFilesWhoseNameDiffersInCase)
{
    registerTestClasses();
    char pattern[] = "/tmp/lumo-layouts-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string folder = pattern;
    std::ofstream(folder + "/Form.lfm") << "object F: TTestForm\n  object TopPanel: TTestPanel\n"
                                           "    Glyph = 'play.bmp'\n  end\nend\n";
    Bytes bmp = bitmapFile(2, 5);
    std::ofstream(folder + "/Play.BMP", std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()),
                                                                 std::streamsize(bmp.size()));
    TTestForm form(nullptr);
    LoadLayout(&form, "Form.lfm", FolderResolver(folder));
    EXPECT_EQ(form.TopPanel->GetGlyph()->GetHeight(), 5);
    EXPECT_EQ(FolderResolver(folder)("absent.bmp"), nullptr);

    // Artwork referred to by its resource name is the file of that name plus .bmp.
    std::ofstream(folder + "/Form.TopPanel.Glyph.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
    TTestForm named(nullptr);
    ReadLayout(&named, "object F: TTestForm\n  object TopPanel: TTestPanel\n    Glyph = 'Form.TopPanel.Glyph'\n  end\nend\n",
               "Form.lfm", FolderResolver(folder));
    EXPECT_EQ(named.TopPanel->GetGlyph()->GetHeight(), 5);
    std::filesystem::remove_all(folder);
}

}   // namespace
