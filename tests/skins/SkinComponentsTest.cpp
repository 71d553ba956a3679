#include "SkinFixture.h"

#include <sstream>

#include "framework/Layouts.h"
#include "skins/Registration.h"
#include "skins/Skinnedbutton.h"
#include "skins/Skinnedcontrol.h"
#include "skins/Skinnedpanel.h"
#include "skins/Skinnedswitch.h"

// The four components: what their constructors set, where they register, what they publish,
// and how they go through a stored layout and back.

namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

// The published names of a class after the framework's own (which end with DoubleBuffered).
Names ownProperties(TClass Class)
{
    Names names;
    bool after = false;
    for (const TPropertyInfo* p : Class->Properties()) {
        if (after)
            names.push_back(p->Name().c_str());
        after = after || p->Name() == "DoubleBuffered";
    }
    return names;
}

Bytes bmpFile(TBitmap* Bitmap)
{
    TMemoryStream stream;
    Bitmap->SaveToStream(&stream);
    auto* data = static_cast<const uint8_t*>(stream.Memory());
    return Bytes(data, data + stream.GetSize());
}

// Writes a layout keeping its bitmaps in Files, and reads them back from there.
struct MemoryFolder
{
    std::map<std::string, Bytes> Files;
    TBitmapSaver saver()
    {
        return [this](const AnsiString& Path, TBitmap* Bitmap) {
            Files[std::string(Path.c_str()) + ".bmp"] = bmpFile(Bitmap);
            return AnsiString(Path + ".bmp");
        };
    }
    TLayoutResolver resolver()
    {
        return [this](const AnsiString& Name) -> std::unique_ptr<TStream> {
            auto it = Files.find(Name.c_str());
            if (it == Files.end())
                return nullptr;
            auto stream = std::make_unique<TMemoryStream>();
            stream->WriteBuffer(it->second.data(), int(it->second.size()));
            stream->SetPosition(0);
            return stream;
        };
    }
};

// Whether a line of Text, indentation aside, starts with Start.
bool has(const AnsiString& Text, const char* Start)
{
    std::istringstream lines(Text.c_str());
    std::string line;
    while (std::getline(lines, line))
        if (line.compare(line.find_first_not_of(' '), std::strlen(Start), Start) == 0)
            return true;
    return false;
}

using SkinComponents = SkinFixture;

TEST_F(SkinComponents, ConstructorsFixTheSwitchesAndTheGrid)
{
    TSkinnedControl plain(nullptr);
    TSkinnedPanel panel(nullptr);
    TSkinnedButton button(nullptr);
    TSkinnedSwitch sw(nullptr);
    EXPECT_EQ(std::make_pair(plain.GetThemeHorzCount(), plain.GetThemeVertCount()), std::make_pair(1, 1));
    EXPECT_FALSE(plain.GetArtworkSetPresent()) << "the plain control is left as the core makes it";
    EXPECT_EQ(std::make_pair(panel.GetThemeHorzCount(), panel.GetThemeVertCount()), std::make_pair(1, 1));
    EXPECT_EQ(std::make_pair(button.GetThemeHorzCount(), button.GetThemeVertCount()), std::make_pair(3, 1));
    EXPECT_EQ(std::make_pair(sw.GetThemeHorzCount(), sw.GetThemeVertCount()), std::make_pair(3, 2));
    for (TCustomActiveSkin* c : std::initializer_list<TCustomActiveSkin*>{&panel, &button, &sw}) {
        EXPECT_TRUE(c->GetArtworkSetPresent());
        EXPECT_FALSE(c->GetSwitchedOn());
        EXPECT_EQ(std::make_pair(c->GetThemeHorzIndex(), c->GetThemeVertIndex()), std::make_pair(0, 0));
        EXPECT_EQ((std::vector<int>{c->GetFadingOnEnabled(), c->GetFadingOnMouseEnter(), c->GetFadingOnMouseDown(),
                                    c->GetFadingOnMouseUp(), c->GetFadingOnStateChange()}),
                  (std::vector<int>{500, 500, 125, 250, 250}));
    }
    EXPECT_FALSE(panel.GetEnableMouseInteraction());
    EXPECT_TRUE(button.GetEnableMouseInteraction() && !button.GetEnableStateSwitch());
    EXPECT_TRUE(sw.GetEnableMouseInteraction() && sw.GetEnableStateSwitch());

    Skins::RegisterAll();
    for (const char* name : {"TSkinnedControl", "TSkinnedPanel", "TSkinnedButton", "TSkinnedSwitch"}) {
        TClass c = GetClass(name);
        ASSERT_TRUE(c) << name;
        EXPECT_EQ(c->Page(), "Skinned Controls") << name;
        std::unique_ptr<TComponent> made(CreateComponent(name, nullptr));
        EXPECT_EQ(made->ClassName(), name);
    }
}

TEST_F(SkinComponents, EachClassPublishesItsOwnSetInTheStoredOrder)
{
    const Names head = {"Color", "ColorSetPresent", "ColorSet", "ParentColor", "AutoSize", "Enabled", "Visible"};
    const Names artwork = {"ArtworkSet", "ArtworkSetPresent", "Artwork", "TransparentColor", "TransparentMode",
                           "Artworked", "Colorized", "Stretched", "Shaped", "ShapeParent", "Dragable",
                           "DragParent", "EnableFading"};
    const Names mouse = {"OnMouseEnterControl", "OnMouseExitControl", "OnMouseCancelled",
                         "OnMouseDown", "OnMouseMove", "OnMouseUp"};
    auto join = [](std::initializer_list<Names> Parts) {
        Names all;
        for (const Names& p : Parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    EXPECT_EQ(ownProperties(ClassOf<TSkinnedControl>()),
              join({head, {"ThemeHorzCount", "ThemeVertCount", "ThemeHorzIndex", "ThemeVertIndex"}, artwork,
                    {"FadingInterval"}, mouse, {"OnDragTo"}}));
    EXPECT_EQ(ownProperties(ClassOf<TSkinnedPanel>()),
              join({head, artwork, {"EnableDisabledArtwork", "FadingOnEnabled", "ActiveSkinGroup"}, mouse,
                    {"OnStateChange", "OnDragTo"}}));
    EXPECT_EQ(ownProperties(ClassOf<TSkinnedButton>()),
              join({head, artwork,
                    {"EnableDisabledArtwork", "FadingOnEnabled", "FadingOnMouseEnter", "FadingOnMouseDown",
                     "FadingOnMouseUp", "ActiveSkinGroup"},
                    mouse, {"OnStateChange", "OnDragTo"}}));
    EXPECT_EQ(ownProperties(ClassOf<TSkinnedSwitch>()),
              join({head, artwork,
                    {"EnableDisabledArtwork", "FadingOnEnabled", "FadingOnMouseEnter", "FadingOnMouseDown",
                     "FadingOnMouseUp", "FadingOnStateChange", "SwitchedOn", "ActiveSkinGroup"},
                    mouse, {"OnStateChange", "OnDragTo"}}));
}

TEST_F(SkinComponents, ALayoutWrittenAndReadBackGivesTheSameComponentsWithoutItsDefaults)
{
    Skins::RegisterAll();
    TForm form(nullptr, 0);
    form.SetName("F");
    form.SetBorderStyle(bsNone);
    form.SetBounds(100, 100, 200, 120);
    auto* panel = new TSkinnedPanel(&form);
    panel->SetName("Panel");
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 200, 60);
    auto panelArt = gradient(200, 60);
    panel->SetArtworkSet(panelArt.get());
    panel->SetArtworked(true);
    panel->SetDragable(true);
    panel->SetDragParent(true);
    auto* button = new TSkinnedButton(&form);
    button->SetName("Button");
    button->SetParent(panel);
    button->SetBounds(4, 4, 32, 24);
    auto buttonSet = gradient(96, 24, 3);
    button->SetArtworkSet(buttonSet.get());
    button->SetFadingOnMouseEnter(0);   // not written; comes back as the constructor's 500
    button->SetFadingOnMouseDown(40);
    auto* sw = new TSkinnedSwitch(&form);
    sw->SetName("Switch");
    sw->SetParent(panel);
    sw->SetBounds(40, 4, 32, 32);
    auto switchSet = gradient(96, 64, 5);
    sw->SetArtworkSet(switchSet.get());
    sw->SetActiveSkinGroup(button);   // joining takes the group's state: switched on after
    sw->SetSwitchedOn(true);
    sw->SetTransparentMode(tmAuto);
    auto* plain = new TSkinnedControl(&form);
    plain->SetName("Plain");
    plain->SetParent(&form);
    plain->SetBounds(0, 70, 40, 20);
    plain->SetThemeRange(2, 1);
    auto plainSet = gradient(80, 20, 7);
    plain->SetArtworkSet(plainSet.get());
    plain->SetThemeHorzIndex(1);
    plain->SetFadingInterval(90);

    MemoryFolder folder;
    const AnsiString text = WriteLayout(&form, folder.saver());
    for (const char* line : {"FadingOnEnabled = 500", "FadingOnMouseDown = 40", "FadingOnStateChange = 250",
                             "SwitchedOn = True", "ActiveSkinGroup = Button", "ThemeHorzCount = 2",
                             "ThemeHorzIndex = 1", "FadingInterval = 90", "Dragable = True", "DragParent = True",
                             "ColorSetPresent = False", "TransparentMode = tmAuto", "Visible = True"})
        EXPECT_TRUE(has(text, line)) << line << "\n" << text;
    for (const char* line : {"FadingOnMouseEnter = 0", "ArtworkSetPresent ", "Stretched ", "Shaped ",
                             "Colorized ", "EnableDisabledArtwork ", "EnableFading ", "ThemeVertIndex ",
                             "DoubleBuffered ", "ParentColor ", "Color ", "AutoSize ", "Enabled ", "Artwork "})
        EXPECT_FALSE(has(text, line)) << line << " is a default\n" << text;

    TForm back(nullptr, 0);
    ReadLayout(&back, text, "F.lfm", folder.resolver());
    // The same text again, but for the duration of 0, which came back as the constructor's.
    std::string expected = text.c_str();
    const std::string down = "      FadingOnMouseDown = 40\n";
    expected.replace(expected.find(down), down.size(), "      FadingOnMouseEnter = 500\n" + down);
    EXPECT_EQ(std::string(WriteLayout(&back, folder.saver()).c_str()), expected);
    auto* button2 = static_cast<TSkinnedButton*>(back.FindComponent("Button"));
    auto* sw2 = static_cast<TSkinnedSwitch*>(back.FindComponent("Switch"));
    auto* plain2 = static_cast<TSkinnedControl*>(back.FindComponent("Plain"));
    ASSERT_TRUE(button2 && sw2 && plain2);
    EXPECT_EQ(button2->GetFadingOnMouseEnter(), 500);
    EXPECT_EQ(button2->GetFadingOnMouseDown(), 40);
    EXPECT_EQ(sw2->GetParent(), back.FindComponent("Panel"));
    EXPECT_TRUE(sw2->GetSwitchedOn());
    EXPECT_EQ(std::make_pair(sw2->GetThemeHorzIndex(), sw2->GetThemeVertIndex()), std::make_pair(0, 1));
    EXPECT_EQ(sw2->GetActiveSkinGroup(), button2);
    EXPECT_EQ(button2->GetActiveSkinGroup(), sw2) << "the ring of two is whole again";
    EXPECT_EQ(pixelsOf(sw2->GetArtworkSet()), pixelsOf(switchSet.get()));
    EXPECT_EQ(pixelsOf(plain2->GetArtwork()), pixelsOf(cutByHand(plainSet.get(), TRect(40, 0, 80, 20)).get()));
}

TEST_F(SkinComponents, AStoredButtonWithADisabledColumnReadsBackIntactAndShowsIt)
{
    Skins::RegisterAll();
    TForm form(nullptr, 0);
    form.SetName("F");
    auto* button = new TSkinnedButton(&form);
    button->SetName("Button");
    button->SetParent(&form);
    button->SetBounds(4, 4, 32, 24);
    button->SetEnableDisabledArtwork(true);
    button->SetEnableFading(true);
    auto set = gradient(128, 24);
    button->SetArtworkSet(set.get());
    button->SetEnabled(false);
    EXPECT_EQ(button->GetThemeHorzIndex(), 3);
    // A switch stored on and disabled, which fades too.
    auto* sw = new TSkinnedSwitch(&form);
    sw->SetName("Switch");
    sw->SetParent(&form);
    sw->SetBounds(40, 4, 32, 24);
    sw->SetEnableDisabledArtwork(true);
    sw->SetEnableFading(true);
    auto switchSet = gradient(128, 48);
    sw->SetArtworkSet(switchSet.get());
    sw->SetSwitchedOn(true);
    sw->SetEnabled(false);

    MemoryFolder folder;
    const AnsiString text = WriteLayout(&form, folder.saver());
    EXPECT_TRUE(has(text, "Enabled = False")) << text;
    EXPECT_TRUE(has(text, "EnableDisabledArtwork = True")) << text;
    TForm back(nullptr, 0);
    ReadLayout(&back, text, "F.lfm", folder.resolver());
    auto* button2 = static_cast<TSkinnedButton*>(back.FindComponent("Button"));
    ASSERT_TRUE(button2);
    EXPECT_EQ(button2->GetThemeHorzCount(), 4);
    EXPECT_EQ(pixelsOf(button2->GetArtworkSet()), pixelsOf(set.get())) << "the set read before the switch is kept";
    EXPECT_FALSE(button2->GetStretched());
    EXPECT_EQ(button2->GetThemeHorzIndex(), 3) << "a stored disabled button shows its disabled cell";
    EXPECT_EQ(pixelsOf(button2->GetArtwork()), pixelsOf(cutByHand(set.get(), TRect(96, 0, 128, 24)).get()));
    // The window opens showing the stored state, not fading into it.
    EXPECT_FALSE(button2->GetFadingInProgress());
    auto* sw2 = static_cast<TSkinnedSwitch*>(back.FindComponent("Switch"));
    ASSERT_TRUE(sw2);
    EXPECT_EQ(std::make_pair(sw2->GetThemeHorzIndex(), sw2->GetThemeVertIndex()), std::make_pair(3, 1));
    EXPECT_EQ(pixelsOf(sw2->GetArtwork()), pixelsOf(cutByHand(switchSet.get(), TRect(96, 24, 128, 48)).get()));
    EXPECT_FALSE(sw2->GetFadingInProgress());
    // Once loaded, the state changes fade again.
    sw2->SetEnabled(true);
    EXPECT_TRUE(sw2->GetFadingInProgress());
}

}  // namespace
