#pragma once
// The real main window from its compiled-in layout, on the headless display with a fake
// clock; the test pattern is the camera, a test tone the sound, HOME a temporary folder, and
// the shell calls are recorded instead of run.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/Aboutunit.h"
#include "app/AppShell.h"
#include "app/Mainunit.h"
#include "app/Selectdeviceunit.h"
#include "app/Settingsunit.h"
#include "avicap/audio/AudioInputTone.h"
#include "avicap/window/CaptureDialogs.h"
#include "avicap/window/CaptureWindow.h"
#include "avicap/avi/Recorder.h"
#include "avicap/testpattern/TestPatternDriver.h"
#include "tests/app/AppFixture.h"

struct ShellCall
{
    std::string verb, file, directory;
    int show;
    bool owned;
};

// Runs body in a child process (which makes its own windows: threads do not survive a
// fork) and answers what it returned, at most 511 bytes.
inline std::string inChild(const std::function<std::string()>& body)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    const pid_t child = fork();
    if (child < 0)
        return "fork failed";
    if (child == 0) {
        close(fds[0]);
        char result[512] = {};
        std::snprintf(result, sizeof result, "%s", body().c_str());
        _exit(write(fds[1], result, sizeof result) == sizeof result ? 0 : 1);
    }
    close(fds[1]);
    char result[512] = {};
    const ssize_t got = read(fds[0], result, sizeof result);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != ssize_t(sizeof result))
        return "the child died, status " + std::to_string(status);
    return result;
}

class MainFormFixture : public AppFixture
{
protected:
    std::string home;
    std::string documents;
    TMainForm* form = nullptr;
    std::vector<ShellCall> shell;
    std::vector<std::string> dialogs;   // names of the capture dialogs shown, in order
    std::string savedHome;

    void SetUp() override
    {
        AppFixture::SetUp();
        char pattern[] = "/tmp/lumo-main-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home = pattern;
        documents = home + "/Documents";
        std::filesystem::create_directories(documents);
        if (const char* h = std::getenv("HOME"))
            savedHome = h;
        setenv("HOME", home.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        setCaptureRecorderFactory(makeCaptureRecorderFactory([] { return std::make_unique<ToneAudioInput>(); }));
        setCaptureDialogHook([this](TForm& dialog) {
            dialogs.push_back(dialog.FindComponent("CodecBox") ? "compression" : dialog.GetCaption());
            dialog.SetModalResult(mrOk);
        });
        AppShellExecute = [this](HWND owner, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR directory, INT show) {
            shell.push_back({verb ? verb : "", file ? file : "", directory ? directory : "", show, owner != 0});
            return reinterpret_cast<HINSTANCE>(intptr_t(42));
        };
        SelectDeviceForm = new TSelectDeviceForm(nullptr);
        AboutForm = new TAboutForm(nullptr);
        makeForm();
    }

    // Made as the entry makes it: the application's main window.
    void makeForm()
    {
        Application->CreateForm(form);
        MainForm = form;
        form->Show();
        pump();
    }
    void closeForm()
    {
        delete form;
        form = MainForm = nullptr;
    }

    void TearDown() override
    {
        delete form;
        form = MainForm = nullptr;
        delete SelectDeviceForm;
        SelectDeviceForm = nullptr;
        delete AboutForm;
        AboutForm = nullptr;
        AppShellExecute = ShellExecuteA;
        AppFixture::TearDown();
        if (!savedHome.empty())
            setenv("HOME", savedHome.c_str(), 1);
        std::filesystem::remove_all(home);
    }

    // Simulated time passes in steps; the camera delivers what fell due, timers fire.
    // The writer is let catch up at every step, as it does in real time; how many frames a
    // file holds then depends on the steps, not on how busy the machine is.
    void advance(int64_t ms, int64_t stepMs = 250)
    {
        for (int64_t t = 0; t < ms; t += stepMs) {
            clock->advanceMs(std::min(stepMs, ms - t));
            TestPatternDriver::pumpFrames();
            pump();
            if (!outrunWriter && form)
                capWaitForWriter(form->VidCap->GetCapWnd());
        }
    }
    bool outrunWriter = false;   // steps do not wait for the writer

    std::string report() const { return form->ReportText->GetCaption(); }
    TColor reportColour() const { return form->ReportText->GetFont()->GetColor(); }

    // The controls of the idle window (as after Stop when Playback is true).
    void expectIdle(bool playback)
    {
        EXPECT_TRUE(form->StartButton->GetEnabled());
        EXPECT_FALSE(form->StartButton->GetSwitchedOn());
        EXPECT_FALSE(form->StopButton->GetEnabled());
        EXPECT_TRUE(form->CameraButton->GetEnabled());
        EXPECT_TRUE(form->SettingsButton->GetEnabled());
        EXPECT_TRUE(form->AudioButton->GetEnabled());
        EXPECT_EQ(form->PlaybackButton->GetEnabled(), playback);
        EXPECT_TRUE(form->VideosButton->GetEnabled());
        EXPECT_FALSE(form->AutoRecordTimer->GetEnabled());
        EXPECT_FALSE(form->VidCap->GetRecording());
    }
    void expectRecording()
    {
        EXPECT_FALSE(form->StartButton->GetEnabled());
        EXPECT_TRUE(form->StartButton->GetSwitchedOn());
        EXPECT_TRUE(form->StopButton->GetEnabled());
        EXPECT_FALSE(form->CameraButton->GetEnabled());
        EXPECT_FALSE(form->SettingsButton->GetEnabled());
        EXPECT_FALSE(form->AudioButton->GetEnabled());
        EXPECT_FALSE(form->PlaybackButton->GetEnabled());
        EXPECT_TRUE(form->VideosButton->GetEnabled());
        EXPECT_TRUE(form->AutoRecordTimer->GetEnabled());
        EXPECT_TRUE(form->VidCap->GetRecording());
    }

    void start() { clickOn(form->StartButton); }
    // Stop returns at once and the writer finishes the file on its own thread; the tests
    // read the files afterwards, so they wait for that as well.
    void stop()
    {
        clickOn(form->StopButton);
        capWaitForFiles(form->VidCap->GetCapWnd());
    }

    std::string videos() const { return documents + "/Lumofree/VIDEOS/"; }
};
