// The settings and about windows from their layouts, and the entry's windows.
#include "tests/app/MainFormFixture.h"

namespace {

using DialogWindows = AppFixture;

TEST_F(DialogWindows, SettingsWindowAsStored)
{
    auto settings = std::make_unique<TSettingsForm>(nullptr);
    EXPECT_EQ(settings->GetCaption(), "Settings");
    EXPECT_EQ(settings->GetPosition(), poScreenCenter);
    EXPECT_EQ(settings->GetVidCap(), nullptr);
    struct Expected
    {
        TControl* c;
        int left, top, width, height;
    } expected[] = {{settings->MainPanel, 0, 0, 112, 128},
                    {settings->AudioButton, 4, 36, 32, 32},
                    {settings->SkinnedButton1, 40, 36, 32, 32},
                    {settings->SkinnedButton2, 76, 36, 32, 32},
                    {settings->SkinnedButton3, 4, 72, 104, 32}};
    for (const Expected& e : expected) {
        ASSERT_NE(e.c, nullptr);
        SCOPED_TRACE(e.c->GetName());
        EXPECT_EQ(e.c->GetLeft(), e.left);
        EXPECT_EQ(e.c->GetTop(), e.top);
        EXPECT_EQ(e.c->GetWidth(), e.width);
        EXPECT_EQ(e.c->GetHeight(), e.height);
        EXPECT_EQ(e.c->GetParent(), e.c == settings->MainPanel ? static_cast<TWinControl*>(settings.get())
                                                               : static_cast<TWinControl*>(settings->MainPanel));
    }
    EXPECT_TRUE(settings->MainPanel->GetDragable());
    EXPECT_TRUE(settings->MainPanel->GetDragParent());
    EXPECT_TRUE(settings->MainPanel->GetShapeParent());
    // Without a capture component: nothing shown, false.
    bool shown = false;
    settings->OnShow = [&](TObject*) { shown = true; };
    EXPECT_FALSE(settings->Execute());
    EXPECT_FALSE(shown);
    // Its outline cuts the system frame away: the window region lies inside the panel.
    settings->Show();
    pump();
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(settings->Handle(), region), ERROR);
    RECT box{};
    GetRgnBox(region, &box);
    DeleteObject(region);
    EXPECT_LE(box.right - box.left, 112);
    EXPECT_LE(box.bottom - box.top, 128);
}

TEST_F(DialogWindows, AboutWindowAsStoredAndClosedByTheWindowManagerToo)
{
    auto about = std::make_unique<TAboutForm>(nullptr);
    EXPECT_EQ(about->GetCaption(), "AboutForm");
    EXPECT_EQ(about->MainPanel->GetWidth(), 344);
    EXPECT_EQ(about->MainPanel->GetHeight(), 224);
    EXPECT_EQ(about->SkinnedButton1->GetLeft(), 49);
    EXPECT_EQ(about->SkinnedButton1->GetTop(), 165);
    EXPECT_EQ(about->SkinnedButton1->GetWidth(), 246);
    EXPECT_EQ(about->SkinnedButton1->GetHeight(), 21);
    EXPECT_EQ(about->SkinnedButton1->GetParent(), about->MainPanel);
    about->OnShow = [&](TObject*) { display->requestClose(about->Handle()); };
    EXPECT_TRUE(about->Execute());   // closed otherwise: a non-zero result all the same
}

// The entry's devices: without a desktop to show on, the program says why and installs nothing.
TEST(ApplicationDevices, WithoutADisplayNothingIsInstalled)
{
    const char* set = std::getenv("DISPLAY");
    const std::string saved = set ? set : "";
    unsetenv("DISPLAY");
    std::string error;
    EXPECT_FALSE(InstallApplicationDevices(error));
    if (set)
        setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(error, "Lumo free needs a graphical desktop: DISPLAY is not set.");
    EXPECT_EQ(sharedDisplayBackend(), nullptr);
    EXPECT_FALSE(captureRecorderFactory());
    EXPECT_EQ(listCaptureDevices().size(), 1u) << "the test pattern alone";
}

// The entry's steps: the title, then the four windows in order; the first is the main one.
TEST_F(DialogWindows, TheEntryMakesTheFourWindowsInOrder)
{
    char pattern[] = "/tmp/lumo-entry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string saved = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", pattern, 1);
    const int before = Application->ComponentCount();
    CreateApplicationForms();
    EXPECT_EQ(Application->GetTitle(), "Lumo free");
    ASSERT_EQ(Application->ComponentCount(), before + 4);
    EXPECT_EQ(Application->Components(before), MainForm);
    EXPECT_EQ(Application->Components(before + 1), SelectDeviceForm);
    EXPECT_EQ(Application->Components(before + 2), SettingsForm);
    EXPECT_EQ(Application->Components(before + 3), AboutForm);
    if (before == 0) {
        EXPECT_EQ(Application->MainForm(), MainForm);
    }
    EXPECT_EQ(SettingsForm->GetVidCap(), nullptr);   // only the main window's own is bound
    EXPECT_NE(MainForm->GetSettingsForm(), SettingsForm);
    for (TComponent* c : {static_cast<TComponent*>(AboutForm), static_cast<TComponent*>(SettingsForm),
                          static_cast<TComponent*>(SelectDeviceForm), static_cast<TComponent*>(MainForm)})
        delete c;
    MainForm = nullptr, SelectDeviceForm = nullptr, SettingsForm = nullptr, AboutForm = nullptr;
    setenv("HOME", saved.c_str(), 1);
    std::filesystem::remove_all(pattern);
}

}   // namespace
