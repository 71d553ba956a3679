#include "ActiveSkinFixture.h"

#include <fstream>
#include <set>
#include <sstream>

#include "framework/Layouts.h"
#include "skins/Registration.h"
#include "framework/StdCtrls.h"
#include "skins/Skinnedbutton.h"
#include "skins/Skinnedpanel.h"
#include "skins/Skinnedswitch.h"

// The program's own window layouts, with the artwork the build renders: the skinned parts
// load with every property name known, each artwork set fits its control's grid, the
// handlers bind, the controls react, and writing them back loses nothing.

namespace {

// A window that carries every handler the skinned parts of the layouts name, and notes the
// calls as "up Sender", "state Sender", "drag Sender".
class TSkinHostForm : public TForm
{
public:
    explicit TSkinHostForm(TComponent* AOwner) : TForm(AOwner, 0) {}
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    std::vector<std::string> Calls;
    void AnyMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) { note("up", Sender); }
    void AnyStateChange(TObject* Sender) { note("state", Sender); }
    void AnyDragTo(TObject* Sender, TShiftState, int&, int&) { note("drag", Sender); }

private:
    void note(const char* What, TObject* Sender)
    {
        Calls.push_back(std::string(What) + " " + static_cast<TComponent*>(Sender)->GetName().c_str());
    }
};

TClass TSkinHostForm::StaticClass()
{
    using T = TSkinHostForm;
    TPublished<T, TForm> table("TSkinHostForm");
    for (const char* up : {"ProgramLogoMouseUp", "InfoButtonMouseUp", "CompactButtonMouseUp",
                           "FullScreenButtonMouseUp", "CloseButtonMouseUp", "SettingsButtonMouseUp",
                           "CameraButtonMouseUp", "VideosButtonMouseUp", "PlaybackButtonMouseUp", "StopButtonMouseUp",
                           "AudioButtonMouseUp", "SkinnedButton1MouseUp", "SkinnedButton2MouseUp",
                           "SkinnedButton3MouseUp", "MainPanelMouseUp"})
        table.PublishMethod(up, &T::AnyMouseUp);
    table.PublishMethod("AudioButtonStateChange", &T::AnyStateChange)
        .PublishMethod("StartButtonStateChange", &T::AnyStateChange)
        .PublishMethod("TopPanelDragTo", &T::AnyDragTo);
    static const TClass Class = table;
    return Class;
}

std::string readText(const std::string& Path)
{
    std::ifstream in(Path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The layout of a window with its form class replaced by the host's.
std::string hostedLayout(const char* Window)
{
    std::string text = readText(std::string(LUMO_LAYOUT_DIR) + "/" + Window + ".lfm");
    const std::string from = std::string("object ") + Window + ": T" + Window, to = std::string("object ") + Window + ": TSkinHostForm";
    if (text.compare(0, from.size(), from) == 0)
        text.replace(0, from.size(), to);
    return text;
}

// The main window's layout with only the objects named kept at the top level (the others
// need components of layers above the skinned controls).
std::string mainLayoutWith(std::set<std::string> Keep)
{
    std::istringstream lines(hostedLayout("MainForm"));
    std::string out, line;
    bool skipping = false;
    while (std::getline(lines, line)) {
        if (line.rfind("  object ", 0) == 0) {
            const std::string name = line.substr(9, line.find(':') - 9);
            skipping = !Keep.count(name);
        }
        if (!skipping)
            out += line + "\n";
        if (line == "  end")
            skipping = false;
    }
    return out;
}

// The property lines of every object, by object name.
std::map<std::string, std::set<std::string>> objectLines(const std::string& Text)
{
    std::map<std::string, std::set<std::string>> objects;
    std::vector<std::string> stack;
    std::istringstream lines(Text);
    std::string line;
    while (std::getline(lines, line)) {
        line.erase(0, line.find_first_not_of(' '));
        if (line.rfind("object ", 0) == 0)
            stack.push_back(line.substr(7, line.find(':') - 7));
        else if (line == "end")
            stack.pop_back();
        else if (!stack.empty())
            objects[stack.back()].insert(line);
    }
    return objects;
}

class SkinAppLayout : public ActiveSkinFixture
{
protected:
    std::unique_ptr<TSkinHostForm> host;

    void SetUp() override
    {
        ActiveSkinFixture::SetUp();
        form.reset();   // the window is the layout's
        display->setScreenSize(800, 600);
        Skins::RegisterAll();
        RegisterClass(ClassOf<TSkinHostForm>());
    }
    void TearDown() override
    {
        host.reset();
        ActiveSkinFixture::TearDown();
    }

    void load(const std::string& Text, const char* Name)
    {
        host = std::make_unique<TSkinHostForm>(nullptr);
        ReadLayout(host.get(), Text.c_str(), (std::string(Name) + ".lfm").c_str(), FolderResolver(LUMO_ARTWORK_DIR));
    }
    template <class T>
    T* find(const char* Name)
    {
        auto* c = dynamic_cast<T*>(host->FindComponent(Name));
        EXPECT_TRUE(c) << Name << " is not a " << ClassOf<T>()->ClassName().c_str();
        return c;
    }

    // Every property line of the skinned objects of the original is written back, each
    // artwork set as the very bitmap it was read from. The extras: Visible = True (its
    // declared default is False), the colour of a control cut loose from its parent's, and
    // ShapeParent = True of a control whose siblings share it.
    void expectWrittenBack(const std::string& Original)
    {
        std::vector<std::string> mismatched;
        const AnsiString written = WriteLayout(host.get(), [&](const AnsiString& Path, TBitmap* Bitmap) {
            const AnsiString name = host->GetName() + "." + Path;
            TBitmap stored;
            stored.LoadFromFile(AnsiString(LUMO_ARTWORK_DIR) + "/" + name + ".bmp");
            if (!(pixelsOf(&stored) == pixelsOf(Bitmap)))
                mismatched.push_back(name.c_str());
            return name;
        });
        EXPECT_TRUE(mismatched.empty()) << mismatched.front();
        auto before = objectLines(Original), after = objectLines(written.c_str());
        for (const auto& [name, lines] : before) {
            auto* c = host->FindComponent(name.c_str());
            if (!dynamic_cast<TCustomSkinnedControl*>(c))
                continue;
            for (const std::string& line : lines)
                EXPECT_TRUE(after[name].count(line)) << name << ": " << line << " was not written back";
            for (const std::string& line : after[name])
                EXPECT_TRUE(lines.count(line) || line == "Visible = True" || line == "ShapeParent = True" ||
                            (line.rfind("Color = ", 0) == 0 && lines.count("ParentColor = False")))
                    << name << ": " << line << " was added";
        }
    }

    // Every skinned control shows a cell of exactly its own size.
    void expectSetsFitTheirGrids()
    {
        for (int i = 0; i < host->ComponentCount(); ++i) {
            auto* c = dynamic_cast<TCustomActiveSkin*>(host->Components(i));
            if (!c)
                continue;
            EXPECT_EQ(c->GetArtworkSet()->GetWidth(), c->GetWidth() * c->GetThemeHorzCount()) << c->GetName().c_str();
            EXPECT_EQ(c->GetArtworkSet()->GetHeight(), c->GetHeight() * c->GetThemeVertCount())
                << c->GetName().c_str();
            EXPECT_FALSE(c->GetStretched()) << c->GetName().c_str();
        }
    }
};

TEST_F(SkinAppLayout, TheMainWindowsSkinnedPanelsLoadReactAndWriteBack)
{
    const std::string text = mainLayoutWith({"TopPanel", "BottomPanel"});
    load(text, "MainForm");
    host->Show();
    pump();
    expectSetsFitTheirGrids();
    auto* top = find<TSkinnedPanel>("TopPanel");
    auto* close = find<TSkinnedButton>("CloseButton");
    auto* start = find<TSkinnedSwitch>("StartButton");
    auto* playback = find<TSkinnedButton>("PlaybackButton");
    ASSERT_TRUE(top && close && start && playback);
    EXPECT_EQ(start->GetThemeVertCount(), 2);
    EXPECT_FALSE(playback->GetEnabled());
    EXPECT_TRUE(top->GetDragable() && top->GetDragParent());

    // A click on Close reaches the window's handler; on Start it switches it on.
    const uint32_t idle = screenColour(close, 16, 12);
    moveTo(close, 16, 12);
    EXPECT_EQ(close->GetFadingInterval(), 250) << "the layout's hover fade";
    run(300);
    EXPECT_NE(screenColour(close, 16, 12), idle) << "hovering changes the button's pixels";
    press(close, 16, 12);
    release(close, 16, 12);
    moveTo(start, 16, 16);
    press(start, 16, 16);
    release(start, 16, 16);
    EXPECT_TRUE(start->GetSwitchedOn());
    EXPECT_EQ(host->Calls, (std::vector<std::string>{"up CloseButton", "state StartButton"}));

    // The top panel drags the whole window; its DragTo handler is for a drag of its own.
    const int left = host->GetLeft(), topEdge = host->GetTop();
    moveTo(top, 20, 30);
    press(top, 20, 30);
    display->moveMouse(left + 30, topEdge + 35);
    pump();
    display->releaseMouse(left + 30, topEdge + 35);
    pump();
    EXPECT_EQ(std::make_pair(host->GetLeft(), host->GetTop()), std::make_pair(left + 10, topEdge + 5));
    EXPECT_EQ(host->Calls.size(), 2u);

    start->SetSwitchedOn(false);
    expectWrittenBack(text);
}

TEST_F(SkinAppLayout, TheSettingsAndAboutWindowsLoadAndWriteBack)
{
    for (const char* window : {"SettingsForm", "AboutForm"}) {
        SCOPED_TRACE(window);
        const std::string text = hostedLayout(window);
        load(text, window);
        expectSetsFitTheirGrids();
        auto* panel = find<TSkinnedPanel>("MainPanel");
        ASSERT_TRUE(panel);
        host->Show();
        pump();
        moveTo(panel, panel->GetWidth() / 2, 4);
        press(panel, panel->GetWidth() / 2, 4);
        release(panel, panel->GetWidth() / 2, 4);
        if (std::string(window) == "AboutForm") {
            EXPECT_EQ(host->Calls, (std::vector<std::string>{"up MainPanel"}));
        }
        expectWrittenBack(text);
        host.reset();
    }
}

}  // namespace
