// The program's windows against the kernel's vivid test camera as /dev/video0, in the virtual
// machine of scripts/vm-tests.sh, on the real clock. Skipped anywhere else.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/Mainunit.h"
#include "app/Selectdeviceunit.h"
#include "avicap/avi/Recorder.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "avicap/v4l2/V4l2Formats.h"
#include "avicap/window/CaptureDialogs.h"
#include "avicap/window/CaptureWindow.h"
#include "framework/ComCtrls.h"
#include "tests/app/AppFixture.h"
#include "tests/avicap/AviProbe.h"
#include "tests/avicap/Vivid.h"

namespace {

using namespace std::chrono_literals;

class ProgramCamera : public AppFixture
{
protected:
    std::string home;
    TMainForm* form = nullptr;

    void SetUp() override
    {
        if (!vivid::isFirstCamera())
            GTEST_SKIP() << "skipped: /dev/video0 is not the vivid camera";
        AppFixture::SetUp();
        setClock(nullptr);
        setCameraDriver(std::make_shared<V4l2Driver>());
        setCaptureRecorderFactory(makeCaptureRecorderFactory(createAlsaAudioInput));
        setCaptureDialogHook([](TForm& dialog) { dialog.SetModalResult(mrOk); });
        home = aviprobe::tempDir();
        setenv("HOME", home.c_str(), 1);
        SelectDeviceForm = new TSelectDeviceForm(nullptr);
        form = MainForm = new TMainForm(nullptr);
        form->Show();
    }

    void TearDown() override
    {
        if (!form)
            return;
        delete form;
        form = MainForm = nullptr;
        delete SelectDeviceForm;
        SelectDeviceForm = nullptr;
        AppFixture::TearDown();
        std::filesystem::remove_all(home);
    }

    // Where the source dialog shows the control: the device lists them in the same order.
    static int dialogIndexOf(const std::string& name)
    {
        const auto system = realV4l2System();
        const int fd = system->open("/dev/video0");
        if (fd < 0)
            return -1;
        const std::vector<CaptureControl> controls = enumerateV4l2Controls(*system, fd);
        system->close(fd);
        for (size_t i = 0; i < controls.size(); ++i)
            if (controls[i].name == name)
                return int(i);
        return -1;
    }

    static void pumpFor(std::chrono::milliseconds span)
    {
        const auto until = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < until) {
            Application->ProcessMessages();
            std::this_thread::sleep_for(10ms);
        }
    }
};

TEST_F(ProgramCamera, TheDialogListsTheCameraFirstAndTheTestPatternAfter)
{
    ASSERT_TRUE(form->VidCap->GetDeviceConnected());
    SelectDeviceForm->SetCurrentDeviceIndex(form->VidCap->GetDeviceIndex());
    SelectDeviceForm->SetDeviceConnected(true);
    TStrings* items = SelectDeviceForm->DeviceSelectComboBox->GetItems();
    ASSERT_GE(items->Count(), 2);
    EXPECT_EQ(items->Strings(0), form->VidCap->GetDriverName());
    EXPECT_NE(items->Strings(0), "Lumo Test Pattern");
    EXPECT_EQ(items->Strings(items->Count() - 1), "Lumo Test Pattern");
    EXPECT_EQ(SelectDeviceForm->CurrentDeviceNameReport->GetCaption(), items->Strings(0));
}

TEST_F(ProgramCamera, StartAndStopRecordAFileFfprobeReads)
{
    form->StartButtonStateChange(form->StartButton);
    ASSERT_TRUE(form->VidCap->GetRecording()) << form->ReportText->GetCaption();
    pumpFor(2500ms);
    form->StopButtonMouseUp(form->StopButton, mbLeft, {}, 0, 0);
    EXPECT_EQ(form->ReportText->GetCaption(), "STOPPED");
    auto video = aviprobe::stream(form->GetVideoFilePath(), "v:0");
    EXPECT_EQ(video.count("error"), 0u) << video["error"];
    EXPECT_GE(aviprobe::number(video, "nb_read_frames"), 4);
}

// H.264 chosen in the compression dialog at the first Start: the camera's own frames, through
// x264 on the real clock, into a file every reader plays.
TEST_F(ProgramCamera, AnH264RecordingPlays)
{
    setCaptureDialogHook([](TForm& dialog) {
        if (auto* codec = dynamic_cast<TComboBox*>(dialog.FindComponent("CodecBox"))) {
            const auto labels = VideoCompressionModel::codecLabels();
            codec->SetItemIndex(int(std::find(labels.begin(), labels.end(), "H.264") - labels.begin()));
            codec->OnChange(codec);
        }
        dialog.SetModalResult(mrOk);
    });
    form->StartButtonStateChange(form->StartButton);
    ASSERT_TRUE(form->VidCap->GetRecording()) << form->ReportText->GetCaption();
    EXPECT_EQ(capGetVideoCompression(form->VidCap->GetCapWnd()).codec, VideoCodec::H264);
    pumpFor(3000ms);
    form->StopButtonMouseUp(form->StopButton, mbLeft, {}, 0, 0);
    EXPECT_EQ(form->ReportText->GetCaption(), "STOPPED");
    capWaitForFiles(form->VidCap->GetCapWnd());
    auto video = aviprobe::stream(form->GetVideoFilePath(), "v:0");
    EXPECT_EQ(video["codec_name"], "h264") << video["error"];
    EXPECT_GE(aviprobe::number(video, "nb_read_frames"), 6);
    EXPECT_EQ(aviprobe::decodeErrors(form->GetVideoFilePath()), "");
    std::printf("H.264 through the program: %s frames of %sx%s\n", video["nb_read_frames"].c_str(),
                video["width"].c_str(), video["height"].c_str());
}

// Another program streams from the camera while the window starts (v4l2-ctl, Debian
// v4l-utils): the window says "CAMERA BUSY" and the list says so too; once that program
// ends, the picture comes back by itself and Start records.
TEST_F(ProgramCamera, ACameraAnotherProgramHoldsIsShownBusyAndRecordsOnceItIsFree)
{
    delete form;
    form = MainForm = nullptr;
    const pid_t holder = fork();
    if (holder == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("v4l2-ctl", "v4l2-ctl", "-d", "/dev/video0", "--stream-mmap", "--stream-count=0", nullptr);
        _exit(127);
    }
    ASSERT_GT(holder, 0);
    auto listed = [] {
        char name[80] = {}, version[80] = {};
        return capGetDriverDescriptionA(0, name, sizeof name, version, sizeof version) ? std::string(name) : "";
    };
    const auto started = std::chrono::steady_clock::now();
    while (listed().find("(busy)") == std::string::npos && std::chrono::steady_clock::now() - started < 10s)
        std::this_thread::sleep_for(50ms);
    int status = 0;
    if (waitpid(holder, &status, WNOHANG) == holder && WIFEXITED(status) && WEXITSTATUS(status) == 127)
        GTEST_SKIP() << "skipped: no v4l2-ctl (Debian v4l-utils)";
    EXPECT_NE(listed().find("(busy)"), std::string::npos) << listed();

    form = MainForm = new TMainForm(nullptr);
    form->Show();
    pumpFor(200ms);
    EXPECT_EQ(form->ReportText->GetCaption(), "CAMERA BUSY");

    kill(holder, SIGTERM);
    waitpid(holder, &status, 0);
    const auto freed = std::chrono::steady_clock::now();
    while (form->ReportText->GetCaption() == "CAMERA BUSY" && std::chrono::steady_clock::now() - freed < 5s)
        pumpFor(50ms);
    EXPECT_EQ(form->ReportText->GetCaption(), "STOPPED") << "the picture is back by itself";
    form->StartButtonStateChange(form->StartButton);
    ASSERT_TRUE(form->VidCap->GetRecording()) << form->ReportText->GetCaption();
    pumpFor(2000ms);
    form->StopButtonMouseUp(form->StopButton, mbLeft, {}, 0, 0);
    auto video = aviprobe::stream(form->GetVideoFilePath(), "v:0");
    EXPECT_EQ(video.count("error"), 0u) << video["error"];
    EXPECT_GE(aviprobe::number(video, "nb_read_frames"), 4);
}

// Last: the camera is gone for a while afterwards. vivid's "Disconnect" while the program
// records, then the module loaded anew so that the same card returns, with its default
// brightness: the window waits, the cut file plays, and the recording goes on by itself in a
// new file, with the brightness set in the source dialog before the loss.
TEST_F(ProgramCamera, ARecordingGoesOnByItselfOnceTheDisconnectedCameraIsLoadedAgain)
{
    const char* module = std::getenv("VIVID_KO");
    if (!module || !*module)
        GTEST_SKIP() << "skipped: VIVID_KO names no vivid module to load again";
    const int defaultBrightness = vivid::controlValue("Brightness");
    const int chosen = defaultBrightness == 200 ? 100 : 200;
    const int index = dialogIndexOf("Brightness");
    ASSERT_GE(index, 0) << "vivid has a Brightness control";
    setCaptureDialogHook([&](TForm& dialog) {
        if (auto* bar = dynamic_cast<TTrackBar*>(dialog.FindComponent(("Control" + std::to_string(index)).c_str())))
            bar->SetPosition(chosen);
        dialog.SetModalResult(mrOk);
    });
    form->VidCap->SetVideoSource();
    ASSERT_EQ(vivid::controlValue("Brightness"), chosen);

    form->StartButtonStateChange(form->StartButton);
    ASSERT_TRUE(form->VidCap->GetRecording()) << form->ReportText->GetCaption();
    pumpFor(2500ms);
    const std::string cut = form->GetVideoFilePath();
    if (!vivid::pressDisconnect()) {
        form->StopButtonMouseUp(form->StopButton, mbLeft, {}, 0, 0);
        GTEST_SKIP() << "skipped: the camera has no Disconnect control";
    }
    const auto pressed = std::chrono::steady_clock::now();
    while (form->ReportText->GetCaption() != Mainunit::CameraWaitingText &&
           std::chrono::steady_clock::now() - pressed < 5s)
        pumpFor(50ms);
    EXPECT_EQ(form->ReportText->GetCaption(), Mainunit::CameraWaitingText);
    EXPECT_TRUE(form->StopButton->GetEnabled());
    capWaitForFiles(form->VidCap->GetCapWnd());
    auto lost = aviprobe::stream(cut, "v:0");
    EXPECT_EQ(lost.count("error"), 0u) << lost["error"];
    EXPECT_GE(aviprobe::number(lost, "nb_read_frames"), 4);

    // No messages meanwhile, so the window cannot take the camera back before the module goes.
    ASSERT_TRUE(vivid::reloadModule(module)) << "rmmod and insmod of " << module;
    EXPECT_EQ(vivid::controlValue("Brightness"), defaultBrightness) << "the camera forgot";
    const auto loaded = std::chrono::steady_clock::now();
    while (!form->VidCap->GetRecording() && std::chrono::steady_clock::now() - loaded < 10s)
        pumpFor(50ms);
    ASSERT_TRUE(form->VidCap->GetRecording()) << form->ReportText->GetCaption();
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - loaded);
    std::printf("records again by itself %lld ms after the module was loaded\n", static_cast<long long>(waited.count()));
    EXPECT_LE(waited, 2500ms) << "the camera is looked for every " << kCameraRetryMs << " ms";
    const std::string resumed = form->GetVideoFilePath();
    EXPECT_NE(resumed, cut);
    EXPECT_EQ(form->ReportText->GetCaption(), form->GetVideoFileName());
    EXPECT_EQ(vivid::controlValue("Brightness"), chosen);
    pumpFor(2000ms);
    form->StopButtonMouseUp(form->StopButton, mbLeft, {}, 0, 0);
    EXPECT_EQ(form->ReportText->GetCaption(), "STOPPED");
    capWaitForFiles(form->VidCap->GetCapWnd());
    auto again = aviprobe::stream(resumed, "v:0");
    EXPECT_EQ(again.count("error"), 0u) << again["error"];
    EXPECT_GE(aviprobe::number(again, "nb_read_frames"), 4);
}

}   // namespace
