// Recording through the real window: names and folders from the clock, the controls and the
// report in each state, the 30-minute files, failures that end in the stopped state, and
// the shell calls on the recordings.
#include <fstream>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "framework/Files.h"
#include "tests/app/MainFormFixture.h"
#include "tests/avicap/AviProbe.h"

namespace {

using MainFormRecording = MainFormFixture;

TEST_F(MainFormRecording, StartRecordsIntoTheDaysFolderAndStopEndsIt)
{
    REQUIRE_FFMPEG();
    clock->setLocalMicroseconds(LocalMicroseconds(2026, 12, 6, 16, 53, 29, 42));
    start();   // a click moves the clock one second on
    const std::string folder = videos() + "2026/12 Dec/06 Sun";
    const std::string path = folder + "/2026-12-06 16-53-30 042.AVI";
    EXPECT_EQ(form->GetVideoFolder(), folder);
    EXPECT_EQ(form->GetVideoFileName(), "2026-12-06 16-53-30 042.AVI");
    EXPECT_EQ(form->GetVideoFilePath(), path);
    EXPECT_EQ(form->VidCap->GetFileName(), path);
    expectRecording();
    EXPECT_EQ(report(), "2026-12-06 16-53-30 042.AVI");
    EXPECT_EQ(reportColour(), clRed);
    EXPECT_EQ(dialogs, std::vector<std::string>{"compression"});
    EXPECT_TRUE(form->GetCompressionAsked());

    advance(3000);
    stop();
    expectIdle(true);
    EXPECT_EQ(report(), "STOPPED");
    EXPECT_EQ(reportColour(), clWhite);
    auto v = aviprobe::stream(path, "v:0");
    EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 10) << v["error"];

    // The next start asks nothing and takes a new name; Stop when idle changes nothing.
    stop();
    EXPECT_EQ(report(), "STOPPED");
    start();
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(form->GetVideoFileName(), "2026-12-06 16-53-36 042.AVI");
    stop();
    EXPECT_TRUE(FileExists(form->GetVideoFilePath()));
}

TEST_F(MainFormRecording, StopRightAfterTheProgramStartsChangesNothing)
{
    stop();
    EXPECT_EQ(report(), "STOPPED");
    EXPECT_EQ(reportColour(), clSilver);
    EXPECT_TRUE(form->StopButton->GetEnabled());
    EXPECT_FALSE(form->PlaybackButton->GetEnabled());
}

// Two hours of simulated time: a file every 30 minutes, each named from its own start and
// playable; the report keeps the first name; Playback opens the last file.
TEST_F(MainFormRecording, TwoHoursGiveFourFilesThirtyMinutesApart)
{
    REQUIRE_FFMPEG();
    clock->setLocalMicroseconds(LocalMicroseconds(2026, 12, 6, 16, 53, 29, 42));
    start();   // the click moves the clock one second on
    const std::string first = "2026-12-06 16-53-30 042.AVI";
    ASSERT_EQ(form->GetVideoFileName(), first);
    advance(2 * 3600 * 1000 - 60000, 60000);
    advance(58000, 1000);
    stop();   // at 1:59:59, before a fifth file
    const std::string folder = videos() + "2026/12 Dec/06 Sun/";
    const char* names[] = {"2026-12-06 16-53-30 042.AVI", "2026-12-06 17-23-30 042.AVI",
                           "2026-12-06 17-53-30 042.AVI", "2026-12-06 18-23-30 042.AVI"};
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 4);
    // Each file spans its half hour, a picture at each step.
    for (const char* name : names) {
        SCOPED_TRACE(name);
        auto v = aviprobe::stream(folder + name, "v:0");
        EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 25) << v["error"];
        const double seconds = std::atof(v["duration"].c_str());
        EXPECT_GE(seconds, 1790.0);
        EXPECT_LE(seconds, 1801.0);
    }
    EXPECT_EQ(report(), "STOPPED");
    clickOn(form->PlaybackButton);
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].verb, "open");
    EXPECT_EQ(shell[0].file, names[3]);
    EXPECT_EQ(shell[0].directory, videos() + "2026/12 Dec/06 Sun");
    EXPECT_EQ(shell[0].show, SW_SHOW);
}

TEST_F(MainFormRecording, ARecordingOverMidnightAtNewYearGoesOnInTheNextDaysFolder)
{
    clock->setLocalMicroseconds(LocalMicroseconds(2026, 12, 31, 23, 59, 58, 995));
    start();
    EXPECT_EQ(form->GetVideoFilePath(), videos() + "2026/12 Dec/31 Thu/2026-12-31 23-59-59 995.AVI");
    advance(30 * 60 * 1000, 60000);
    EXPECT_EQ(form->GetVideoFilePath(), videos() + "2027/01 Jan/01 Fri/2027-01-01 00-29-59 995.AVI");
    EXPECT_TRUE(form->VidCap->GetRecording());
    EXPECT_EQ(report(), "2026-12-31 23-59-59 995.AVI");   // the roll-over leaves the report alone
    stop();
    EXPECT_TRUE(FileExists(videos() + "2026/12 Dec/31 Thu/2026-12-31 23-59-59 995.AVI"));
    EXPECT_TRUE(FileExists(videos() + "2027/01 Jan/01 Fri/2027-01-01 00-29-59 995.AVI"));
}

TEST_F(MainFormRecording, AnEarlierFileOfTheSameNameIsKept)
{
    clock->setLocalMicroseconds(LocalMicroseconds(2026, 12, 6, 16, 53, 29, 42));
    const std::string folder = videos() + "2026/12 Dec/06 Sun";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/2026-12-06 16-53-30 042.AVI") << "an earlier recording";
    start();
    EXPECT_EQ(form->GetVideoFileName(), "2026-12-06 16-53-30 042 (2).AVI");
    stop();
    std::ifstream earlier(folder + "/2026-12-06 16-53-30 042.AVI");
    std::string text;
    std::getline(earlier, text);
    EXPECT_EQ(text, "an earlier recording");
}

TEST_F(MainFormRecording, AudioFollowsTheSwitchBetweenRecordings)
{
    EXPECT_FALSE(form->VidCap->GetCaptureAudio());
    clickOn(form->AudioButton);
    EXPECT_TRUE(form->AudioButton->GetSwitchedOn());
    EXPECT_TRUE(form->VidCap->GetCaptureAudio());
    start();
    EXPECT_FALSE(form->AudioButton->GetEnabled()) << report() << " on " << form->StartButton->GetSwitchedOn();
    clickOn(form->AudioButton);   // disabled: nothing
    EXPECT_TRUE(form->VidCap->GetCaptureAudio());
    stop();
    clickOn(form->AudioButton);
    EXPECT_FALSE(form->VidCap->GetCaptureAudio());
}

TEST_F(MainFormRecording, VideosAndPlaybackHandTheShellTheLastFile)
{
    clickOn(form->VideosButton);
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].verb, "explore");
    EXPECT_EQ(shell[0].file, "");   // before the first file of the run
    EXPECT_EQ(shell[0].show, SW_RESTORE);
    EXPECT_TRUE(shell[0].owned);
    start();
    stop();
    clickOn(form->VideosButton);
    clickOn(form->PlaybackButton);
    ASSERT_EQ(shell.size(), 3u);
    EXPECT_EQ(shell[1].verb, "explore");
    EXPECT_EQ(shell[1].file, form->GetVideoFolder());
    EXPECT_EQ(shell[2].verb, "open");
    EXPECT_EQ(shell[2].file, form->GetVideoFileName());
    EXPECT_EQ(shell[2].directory, form->GetVideoFolder());
}

// A documents folder where the program folder cannot be made: a short error, the stopped
// state, nothing disabled, and Playback and Videos still on no file.
TEST_F(MainFormRecording, AFolderThatCannotBeMadeEndsInTheStoppedStateWithTheError)
{
    std::ofstream(documents + "/Lumofree") << "a file where the folder would go";
    start();
    EXPECT_EQ(report(), "CANNOT CREATE FOLDER");
    EXPECT_EQ(reportColour(), clYellow);
    expectIdle(false);
    EXPECT_EQ(form->GetVideoFolder(), "");
    EXPECT_TRUE(form->GetCompressionAsked());
    // Stop after the failure changes nothing; the next start into a usable folder works.
    stop();
    EXPECT_EQ(report(), "CANNOT CREATE FOLDER");
    std::filesystem::remove(documents + "/Lumofree");
    start();
    expectRecording();
    EXPECT_EQ(reportColour(), clRed);
    stop();
    expectIdle(true);
}

TEST_F(MainFormRecording, NoCameraEndsInTheStoppedStateWithTheError)
{
    form->VidCap->DisconnectDevice();
    start();
    EXPECT_EQ(report(), "NO CAMERA");
    expectIdle(false);
    EXPECT_TRUE(form->GetCompressionAsked());
    EXPECT_TRUE(dialogs.empty());   // no dialog without a driver
}

// The recording waits for its camera with Stop offered; Stop leaves nothing disabled.
TEST_F(MainFormRecording, ACameraLostWhileRecordingIsShownAndNothingStaysDisabled)
{
    start();
    advance(2000);
    findCaptureWindow(form->VidCap->GetCapWnd())->deviceFailed(captureFault(CaptureFault::CameraLost, "unplugged"));
    advance(TMainForm::RecordingWatchInterval);
    EXPECT_EQ(report(), Mainunit::CameraWaitingText);
    EXPECT_TRUE(form->StopButton->GetEnabled());
    stop();
    EXPECT_EQ(report(), "STOPPED");
    expectIdle(true);   // the file up to the loss is there to play
}

// The file size limit stands in for a full disk, in a child process that makes its own
// window (threads do not survive a fork).
TEST_F(MainFormRecording, AFullDiskEndsInTheStoppedStateWithTheError)
{
    REQUIRE_FFMPEG();
    closeForm();
    const std::string r = inChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{300000, 300000};
        setrlimit(RLIMIT_FSIZE, &limit);
        makeForm();
        start();
        const bool started = form->VidCap->GetRecording();
        for (int i = 0; i < 2000 && form->VidCap->GetRecording(); ++i) {
            advance(250);
            usleep(500);   // lets the writer catch up
        }
        advance(TMainForm::RecordingWatchInterval);
        char result[256] = {};
        std::snprintf(result, sizeof result, "%d|%s|%d|%d|%d|%d|%s", started, report().c_str(),
                      form->StartButton->GetEnabled(), form->StopButton->GetEnabled(),
                      form->AutoRecordTimer->GetEnabled(), form->PlaybackButton->GetEnabled(),
                      form->GetVideoFilePath().c_str());
        return std::string(result);
    });
    const std::string path = r.substr(r.rfind('|') + 1);
    EXPECT_EQ(r.substr(0, r.rfind('|')), "1|DISK FULL OR WRITE ERROR|1|0|0|1");
    auto v = aviprobe::stream(path, "v:0");
    EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 3) << v["error"];
}

// Stop and a timer tick arriving while Start waits for the capture to begin: the tick does
// nothing, the Stop is done once Start is through.
TEST_F(MainFormRecording, StopAndTicksDuringAStartsWaitDoNotStartAHiddenRecording)
{
    int inside = 0;
    form->VidCap->OnStatus = [&](TObject*, int id, LPSTR) {
        if (id != IDS_CAP_BEGIN || inside++)
            return;
        EXPECT_TRUE(form->GetBusy());
        form->AutoRecordTimerTimer(form->AutoRecordTimer);
        form->StopButtonMouseUp(form->StopButton, mbLeft, {}, 0, 0);
        form->StartButtonStateChange(form->StartButton);
    };
    start();
    EXPECT_EQ(inside, 1);
    EXPECT_FALSE(form->GetBusy());
    expectIdle(true);
    EXPECT_EQ(report(), "STOPPED");
    advance(31 * 60 * 1000, 60000);
    EXPECT_FALSE(form->VidCap->GetRecording());
}

// A close that arrives while Start waits is done once Start is through.
TEST_F(MainFormRecording, CloseDuringAStartsWaitClosesAfterIt)
{
    int inside = 0;
    form->VidCap->OnStatus = [&](TObject*, int id, LPSTR) {
        if (id == IDS_CAP_BEGIN && !inside++)
            form->CloseButtonMouseUp(form->CloseButton, mbLeft, {}, 0, 0);
        EXPECT_FALSE(Application->Terminated());
    };
    start();
    EXPECT_EQ(inside, 1);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(form->VidCap->GetRecording());
    EXPECT_FALSE(form->AutoRecordTimer->GetEnabled());
}

// A roll-over that cannot start the next file says so and leaves the stopped state, with
// Videos and Playback on the last file that was recorded.
TEST_F(MainFormRecording, ARollOverThatCannotStartShowsItIsNotRecording)
{
    clock->setLocalMicroseconds(LocalMicroseconds(2026, 12, 31, 23, 44, 58, 0));
    start();
    const std::string first = form->GetVideoFilePath();
    std::filesystem::create_directories(videos());
    std::ofstream(videos() + "2027") << "a file where the next year's folder would go";
    advance(30 * 60 * 1000, 60000);
    EXPECT_EQ(report(), "CANNOT CREATE FOLDER");
    expectIdle(true);
    EXPECT_EQ(form->GetVideoFilePath(), first);
    clickOn(form->PlaybackButton);
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].directory + "/" + shell[0].file, first);
}

// Closing while recording finishes the file first, whichever way the window is closed.
TEST_F(MainFormRecording, CloseButtonFinishesTheRecording)
{
    REQUIRE_FFMPEG();
    start();
    ASSERT_TRUE(form->VidCap->GetRecording());
    advance(2000);
    clickOn(form->CloseButton);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(form->VidCap->GetRecording());
    EXPECT_FALSE(form->AutoRecordTimer->GetEnabled());
    auto v = aviprobe::stream(form->GetVideoFilePath(), "v:0");
    EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 6) << v["error"];
}

TEST_F(MainFormRecording, TheWindowManagersCloseFinishesTheRecording)
{
    REQUIRE_FFMPEG();
    start();
    advance(2000);
    display->requestClose(form->Handle());
    pump();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(form->VidCap->GetRecording());
    EXPECT_FALSE(form->AutoRecordTimer->GetEnabled());
    auto v = aviprobe::stream(form->GetVideoFilePath(), "v:0");
    EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 6) << v["error"];
}

}   // namespace
