// The program records from the vivid camera onto the virtual disk of scripts/vm/power-cut.sh,
// on the real clock, until that script ends the machine at once. The moment the recording has
// reached goes to the shared folder every 50 ms, so the script can tell how much of it the
// disk kept. Runs only there: LUMO_POWER_CUT names the moment to be cut at.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

#include "app/Mainunit.h"
#include "app/Selectdeviceunit.h"
#include "avicap/avi/Recorder.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "avicap/window/CaptureDialogs.h"
#include "avicap/window/CaptureWindow.h"
#include "platform/Clock.h"
#include "tests/app/AppFixture.h"
#include "tests/avicap/Vivid.h"

namespace {

using namespace std::chrono_literals;

// Files are cut every 20 s rather than every half hour, so a roll-over comes soon.
constexpr int kFileMs = 20000;

// How far into the recording the machine is ended: early in the first file, in the middle
// of it, or just after the first roll-over. 0: not a moment this test knows.
int cutAtMs(const std::string& moment)
{
    if (moment == "early")
        return 2500;
    if (moment == "mid")
        return kFileMs / 2;
    if (moment == "rollover")
        return kFileMs + 1000;
    return 0;
}

class PowerCut : public AppFixture
{
protected:
    TMainForm* form = nullptr;
    std::string moment, out;

    void SetUp() override
    {
        const char* m = std::getenv("LUMO_POWER_CUT");
        const char* o = std::getenv("OUT");
        if (!m || !o)
            GTEST_SKIP() << "skipped: runs in the machine of scripts/vm/power-cut.sh";
        if (!vivid::isFirstCamera())
            GTEST_SKIP() << "skipped: /dev/video0 is not the vivid camera";
        moment = m;
        out = o;
        AppFixture::SetUp();
        setClock(nullptr);
        setCameraDriver(std::make_shared<V4l2Driver>());
        setCaptureRecorderFactory(makeCaptureRecorderFactory(createAlsaAudioInput));
        setCaptureDialogHook([](TForm& dialog) { dialog.SetModalResult(mrOk); });
        SelectDeviceForm = new TSelectDeviceForm(nullptr);
        form = MainForm = new TMainForm(nullptr);
        form->Show();
    }

    void TearDown() override
    {
        if (form) {   // not skipped
            delete std::exchange(form, nullptr);
            MainForm = nullptr;
            delete std::exchange(SelectDeviceForm, nullptr);
            AppFixture::TearDown();
        }
    }

    // One line: the local time in milliseconds (as the file names count it) and the file
    // being written.
    void logProgress(int fd)
    {
        const std::string line = std::to_string(currentClock().localMicroseconds() / 1000) + " " +
                                 form->GetVideoFileName() + "\n";
        (void)!::write(fd, line.data(), line.size());
    }
};

TEST_F(PowerCut, RecordsUntilTheMachineIsEnded)
{
    const int cutMs = cutAtMs(moment);
    ASSERT_GT(cutMs, 0) << "LUMO_POWER_CUT is early, mid or rollover, not " << moment;
    const int progress = ::open((out + "/progress.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    ASSERT_GE(progress, 0);
    form->AutoRecordTimer->SetInterval(kFileMs);
    form->StartButtonStateChange(form->StartButton);
    ASSERT_TRUE(form->VidCap->GetRecording()) << form->ReportText->GetCaption();
    const auto started = std::chrono::steady_clock::now();
    bool asked = false;
    // The script ends the machine within moments of being asked; a machine still running
    // 20 s later is a fault of the script.
    while (std::chrono::steady_clock::now() - started < std::chrono::milliseconds(cutMs) + 20s) {
        const auto tick = std::chrono::steady_clock::now() + 50ms;
        while (std::chrono::steady_clock::now() < tick) {
            Application->ProcessMessages();
            std::this_thread::sleep_for(5ms);
        }
        ASSERT_TRUE(form->VidCap->GetRecording()) << form->ReportText->GetCaption();
        logProgress(progress);
        if (!asked && std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(cutMs)) {
            const int cut = ::open((out + "/cut.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ASSERT_GE(cut, 0);
            ::close(cut);
            asked = true;
        }
    }
    ::close(progress);
    form->StopButtonMouseUp(form->StopButton, mbLeft, {}, 0, 0);
    FAIL() << "the machine was not ended";
}

}  // namespace
