// Compact window and full screen, dragging, minimising, and the buttons that open the other
// windows.
#include "app/HelpPage.h"
#include "tests/app/MainFormFixture.h"

namespace {

using MainFormModes = MainFormFixture;

struct Bounds
{
    int left, top, width, height;
    bool operator==(const Bounds&) const = default;
};
Bounds boundsOf(TControl* c) { return {c->GetLeft(), c->GetTop(), c->GetWidth(), c->GetHeight()}; }

std::map<std::string, Bounds> allBounds(TMainForm* form)
{
    std::map<std::string, Bounds> all;
    for (int i = 0; i < form->ComponentCount(); ++i)
        if (auto* c = dynamic_cast<TControl*>(form->Components(i)))
            all[c->GetName()] = boundsOf(c);
    return all;
}

TEST_F(MainFormModes, FullScreenFillsTheScreenAndCompactRestoresTheWindowExactly)
{
    RECT before{};
    GetWindowRect(form->Handle(), &before);
    const auto compact = allBounds(form);
    clickOn(form->FullScreenButton);
    EXPECT_EQ(form->GetWindowState(), wsMaximized);
    EXPECT_TRUE(display->isFullScreen(form->Handle()));
    EXPECT_EQ(boundsOf(form->MiddlePanel), (Bounds{0, 0, 1920, 1080}));
    EXPECT_EQ(boundsOf(form->VidCapPanel), (Bounds{8, 8, 1904, 1064}));
    EXPECT_EQ(boundsOf(form->VidCap), (Bounds{0, 0, 1904, 1064}));
    for (TControl* c : {static_cast<TControl*>(form->VidCapFrameTopRight), static_cast<TControl*>(form->VidCapFrameRight),
                        static_cast<TControl*>(form->VidCapFrameBottomRight)})
        EXPECT_EQ(c->GetLeft(), 1912) << c->GetName();
    for (TControl* c : {static_cast<TControl*>(form->VidCapFrameBottom), static_cast<TControl*>(form->VidCapFrameBottomLeft),
                        static_cast<TControl*>(form->VidCapFrameBottomRight)})
        EXPECT_EQ(c->GetTop(), 1072) << c->GetName();
    EXPECT_EQ(form->VidCapFrameTop->GetWidth(), 1904);
    EXPECT_EQ(form->VidCapFrameBottom->GetWidth(), 1904);
    EXPECT_EQ(form->VidCapFrameLeft->GetHeight(), 1064);
    // The top panel stays where it was on the screen, the bottom one hangs under it.
    EXPECT_EQ(form->TopPanel->GetLeft(), before.left);
    EXPECT_EQ(form->TopPanel->GetTop(), before.top);
    EXPECT_EQ(form->BottomPanel->GetLeft(), before.left);
    EXPECT_EQ(form->BottomPanel->GetTop(), before.top + 78);
    EXPECT_FALSE(form->TopPanel->GetDragParent());

    // Full screen again does nothing.
    clickOn(form->FullScreenButton);
    EXPECT_EQ(form->TopPanel->GetLeft(), before.left);

    // Dragging the top panel moves it alone; the bottom panel follows at every step.
    POINT grab = at(form->TopPanel, 20, 20);
    display->moveMouse(grab.x, grab.y);
    pump();
    display->pressMouse(grab.x, grab.y);
    pump();
    for (int step = 1; step <= 4; ++step) {
        display->moveMouse(grab.x - 30 * step, grab.y + 20 * step);
        pump();
        EXPECT_EQ(form->BottomPanel->GetLeft(), form->TopPanel->GetLeft());
        EXPECT_EQ(form->BottomPanel->GetTop(), form->TopPanel->GetTop() + 78);
    }
    display->releaseMouse(grab.x - 120, grab.y + 80);
    pump();
    EXPECT_EQ(form->TopPanel->GetLeft(), before.left - 120);
    EXPECT_EQ(form->TopPanel->GetTop(), before.top + 80);
    RECT during{};
    GetWindowRect(form->Handle(), &during);
    EXPECT_EQ(during.left, 0);

    clickOn(form->CompactButton);
    EXPECT_EQ(form->GetWindowState(), wsNormal);
    EXPECT_FALSE(display->isFullScreen(form->Handle()));
    EXPECT_EQ(allBounds(form), compact);
    RECT after{};
    GetWindowRect(form->Handle(), &after);
    EXPECT_EQ(after.right - after.left, 148);
    EXPECT_EQ(after.bottom - after.top, 348);
    EXPECT_TRUE(form->TopPanel->GetDragParent());
}

TEST_F(MainFormModes, DraggingTheTopPanelMovesTheWholeCompactWindow)
{
    RECT before{};
    GetWindowRect(form->Handle(), &before);
    POINT grab = at(form->TopPanel, 30, 20);
    display->moveMouse(grab.x, grab.y);
    pump();
    display->pressMouse(grab.x, grab.y);
    pump();
    display->moveMouse(grab.x + 10, grab.y + 5);
    pump();
    display->releaseMouse(grab.x + 10, grab.y + 5);
    pump();
    RECT after{};
    GetWindowRect(form->Handle(), &after);
    EXPECT_EQ(after.left, before.left + 10);
    EXPECT_EQ(after.top, before.top + 5);
    EXPECT_EQ(boundsOf(form->TopPanel), (Bounds{0, 0, 148, 78}));
    EXPECT_EQ(boundsOf(form->BottomPanel), (Bounds{0, 226, 148, 122}));
}

TEST_F(MainFormModes, CompactInTheCompactWindowMinimisesAndRestoringShowsItUnchanged)
{
    ASSERT_EQ(Application->MainForm(), form);
    const auto compact = allBounds(form);
    clickOn(form->CompactButton);
    EXPECT_TRUE(display->isMinimized(form->Handle()));
    EXPECT_EQ(form->GetWindowState(), wsMinimized);
    Application->Restore();
    pump();
    EXPECT_FALSE(display->isMinimized(form->Handle()));
    EXPECT_EQ(allBounds(form), compact);
    EXPECT_EQ(form->GetWindowState(), wsNormal);
}

TEST_F(MainFormModes, CameraButtonConnectsTheChosenDriver)
{
    struct TwoCameras : CaptureDriver
    {
        std::vector<CaptureDeviceInfo> devices() override { return {{"Cam A", "1"}, {"Cam B", "2"}}; }
        CaptureOpening open(size_t) override { return {std::make_unique<TestPatternDevice>(), {}}; }
    };
    setCameraDriver(std::make_shared<TwoCameras>());
    TComboBox* box = SelectDeviceForm->DeviceSelectComboBox;
    SelectDeviceForm->OnShow = [&](TObject*) {
        // The list as the dialog shows it, then the third entry (the test pattern) and OK.
        EXPECT_EQ(box->GetItems()->Count(), 3);
        EXPECT_EQ(SelectDeviceForm->CurrentDeviceNameReport->GetCaption(), "Cam A");
        queueClick(at(box, box->GetWidth() - 6, 10));
        queueClick(at(box, 20, box->GetHeight() + 2 * box->GetItemHeight() + 7));
        queueClick(at(SelectDeviceForm->OkButton, 10, 10));
    };
    // The window was made with the test pattern as driver 0; reconnect to see the new list.
    form->VidCap->ConnectDevice(0);
    clickOn(form->CameraButton);
    EXPECT_EQ(SelectDeviceForm->GetNextDeviceIndex(), 2);
    EXPECT_EQ(form->VidCap->GetDeviceIndex(), 2);
    EXPECT_TRUE(form->VidCap->GetDeviceConnected());
    EXPECT_EQ(form->VidCap->GetDriverName(), "Lumo Test Pattern");
}

TEST_F(MainFormModes, LogoAndAboutOpenTheHelpPage)
{
    clickOn(form->ProgramLogo);
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].verb, "open");
    EXPECT_EQ(shell[0].file, HelpPageAddress());
    EXPECT_EQ(shell[0].show, SW_RESTORE);
    EXPECT_FALSE(shell[0].owned);
    EXPECT_TRUE(std::filesystem::exists(HelpPageAddress())) << HelpPageAddress();

    // Info shows the about window: its button opens the page and leaves it open, a click on
    // the picture closes it.
    bool shown = false;
    AboutForm->OnShow = [&](TObject*) {
        shown = true;
        queueClick(at(AboutForm->SkinnedButton1, 100, 10));
        queueClick(at(AboutForm->MainPanel, 30, 30));
    };
    clickOn(form->InfoButton);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(AboutForm->GetVisible());
    EXPECT_EQ(AboutForm->GetModalResult(), mrOk);
    ASSERT_EQ(shell.size(), 2u);
    EXPECT_EQ(shell[1].file, HelpPageAddress());
}

TEST_F(MainFormModes, SettingsOpensTheDriverDialogsAndCloses)
{
    TSettingsForm* settings = form->GetSettingsForm();
    settings->OnShow = [&](TObject*) {
        for (TControl* b : {static_cast<TControl*>(settings->AudioButton), static_cast<TControl*>(settings->SkinnedButton1),
                            static_cast<TControl*>(settings->SkinnedButton2), static_cast<TControl*>(settings->SkinnedButton3)}) {
            queueClick(at(b, b->GetWidth() / 2, b->GetHeight() / 2));
        }
    };
    clickOn(form->SettingsButton);
    EXPECT_FALSE(settings->GetVisible());
    EXPECT_EQ(settings->GetModalResult(), mrOk);
    // Format and source dialogs of the test pattern, then the compression dialog.
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(dialogs[2], "compression");
}

TEST_F(MainFormModes, WithoutACameraTheSettingsButtonsDoNothingAndTheWindowStays)
{
    form->VidCap->DisconnectDevice();
    TSettingsForm* settings = form->GetSettingsForm();
    settings->OnShow = [&](TObject*) {
        for (TControl* b : {static_cast<TControl*>(settings->AudioButton), static_cast<TControl*>(settings->SkinnedButton1),
                            static_cast<TControl*>(settings->SkinnedButton2), static_cast<TControl*>(settings->SkinnedButton3)})
            queueClick(at(b, b->GetWidth() / 2, b->GetHeight() / 2));
    };
    clickOn(form->SettingsButton);
    // Only the last click, on CLOSE, closed it: the window stayed open through the others.
    EXPECT_EQ(settings->GetModalResult(), mrOk);
    EXPECT_FALSE(settings->GetVisible());
    EXPECT_TRUE(dialogs.empty());
}

// The compression dialog of the first Start is up when the window is closed: no recording
// starts after it.
TEST_F(MainFormModes, ClosingWhileTheCompressionDialogIsUpStartsNothing)
{
    setCaptureDialogHook([this](TForm& dialog) {
        display->requestClose(form->Handle());
        pump();
        dialog.SetModalResult(mrOk);
    });
    clickOn(form->StartButton);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(form->VidCap->GetRecording());
    EXPECT_FALSE(form->StartButton->GetSwitchedOn());
    EXPECT_FALSE(form->AutoRecordTimer->GetEnabled());
}

}   // namespace
