// The program's windows against the kernel's vivid test camera as /dev/video0, in the virtual
// machine of scripts/vm-tests.sh, on the real clock. Skipped anywhere else.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/Mainunit.h"
#include "app/Selectdeviceunit.h"
#include "avicap/avi/Recorder.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "avicap/window/CaptureDialogs.h"
#include "avicap/window/CaptureWindow.h"
#include "tests/app/AppFixture.h"
#include "tests/avicap/AviProbe.h"

namespace {

using namespace std::chrono_literals;

bool firstNodeIsVivid()
{
    int fd = ::open("/dev/video0", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    v4l2_capability caps{};
    const bool vivid = ::ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0 &&
                       std::strcmp(reinterpret_cast<const char*>(caps.driver), "vivid") == 0;
    ::close(fd);
    return vivid;
}

class ProgramCamera : public AppFixture
{
protected:
    std::string home;
    TMainForm* form = nullptr;

    void SetUp() override
    {
        if (!firstNodeIsVivid())
            GTEST_SKIP() << "skipped: /dev/video0 is not the vivid camera";
        AppFixture::SetUp();
        setClock(nullptr);
        setCameraDriver(std::make_shared<V4l2Driver>());
        setCaptureRecorderFactory(makeCaptureRecorderFactory());
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
        setCaptureDialogHook(nullptr);
        setCaptureRecorderFactory(nullptr);
        setCameraDriver(nullptr);
        AppFixture::TearDown();
        std::filesystem::remove_all(home);
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

}   // namespace
