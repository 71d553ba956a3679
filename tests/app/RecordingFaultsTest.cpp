// Faults while the real window records: the process killed outright, the day folder deleted.
// What is on disk stays playable up to the fault, and the window can record again.
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "avicap/V4l2SimCamera.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "framework/Files.h"
#include "tests/app/MainFormFixture.h"
#include "tests/avicap/AviProbe.h"

namespace {

using RecordingFaults = MainFormFixture;

// Runs body in a child process with a mount namespace of its own (so no mount outlives it);
// "skip" without the right to mount.
std::string inOwnMountNamespace(const std::function<std::string()>& body)
{
    return inChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return "skip";
        return body();
    });
}

std::vector<std::string> fields(const std::string& r)
{
    std::vector<std::string> f;
    for (size_t at = 0; at <= r.size();) {
        size_t bar = std::min(r.find('|', at), r.size());
        f.push_back(r.substr(at, bar - at));
        at = bar + 1;
    }
    return f;
}

// SIGKILL leaves no chance to finish the file: the frames written before the kill must
// still play. The child records in quarter-second steps of simulated time, says how many
// seconds it has recorded, records on, and is killed.
TEST_F(RecordingFaults, AFileCutOffBySigkillPlaysUpToTheKill)
{
    REQUIRE_FFMPEG();
    closeForm();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        makeForm();
        start();
        for (int i = 0; i < 40; ++i) {   // ten seconds
            advance(250);
            usleep(2000);   // lets the writer catch up, as real time would
        }
        char report[512] = {};
        std::snprintf(report, sizeof report, "%d|%s", int(form->VidCap->GetRecording()),
                      form->GetVideoFilePath().c_str());
        if (write(fds[1], report, sizeof report) != sizeof report)
            _exit(1);
        for (;;) {   // records on until killed
            advance(250);
            usleep(2000);
        }
    }
    close(fds[1]);
    char report[512] = {};
    const ssize_t got = read(fds[0], report, sizeof report);
    close(fds[0]);
    usleep(200000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(got, ssize_t(sizeof report));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const std::string r = report;
    ASSERT_EQ(r.substr(0, 2), "1|");
    const std::string path = r.substr(2);
    auto v = aviprobe::stream(path, "v:0");
    // Ten seconds at the program's 4 frames a second were recorded when the child reported;
    // at most the last second may be lost.
    EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 36) << v["error"];
    std::printf("killed: %s frames playable of 40 recorded when the child reported\n", v["nb_read_frames"].c_str());
}

// The day folder deleted while recording: the next half hour's file goes into the folder
// made anew; nothing else in the videos folder is touched.
TEST_F(RecordingFaults, ADayFolderDeletedWhileRecordingIsMadeAgainForTheNextFile)
{
    REQUIRE_FFMPEG();
    clock->setLocalMicroseconds(LocalMicroseconds(2026, 12, 7, 9, 59, 59, 0));
    const std::string other = videos() + "2026/12 Dec/06 Sun/kept.AVI";
    std::filesystem::create_directories(videos() + "2026/12 Dec/06 Sun");
    std::ofstream(other) << "yesterday";
    start();
    advance(60000, 250);
    const std::string folder = videos() + "2026/12 Dec/07 Mon";
    ASSERT_TRUE(std::filesystem::is_directory(folder));
    std::filesystem::remove_all(folder);
    advance(30 * 60 * 1000 - 60000 + 1000, 60000);
    EXPECT_TRUE(form->VidCap->GetRecording()) << report();
    EXPECT_EQ(form->GetVideoFilePath(), folder + "/2026-12-07 10-30-00 000.AVI");
    advance(20000, 250);
    stop();
    expectIdle(true);
    auto v = aviprobe::stream(form->GetVideoFilePath(), "v:0");
    EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 75) << v["error"];   // 20 s at 4 frames a second
    std::ifstream kept(other);
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "yesterday");
    // And the window records again.
    start();
    advance(5000, 250);
    EXPECT_TRUE(form->VidCap->GetRecording());
    stop();
}

// A real full disk: a 1 MB tmpfs over the documents folder, in a mount namespace of the
// child's own (so nothing outlives it). Needs the right to mount; skipped without it.
TEST_F(RecordingFaults, ARealFullDiskStopsWithTheErrorKeepsTheFileAndRecordsAgainOnceThereIsRoom)
{
    REQUIRE_FFMPEG();
    closeForm();
    const std::string r = inOwnMountNamespace([&]() -> std::string {
        if (mount("tmpfs", documents.c_str(), "tmpfs", 0, "size=1m") != 0)
            return "skip";
        std::ofstream(documents + "/other.txt") << "untouched";
        makeForm();
        start();
        const bool started = form->VidCap->GetRecording();
        for (int step = 0; step < 4000 && form->VidCap->GetRecording(); ++step) {
            advance(250);
            usleep(500);
        }
        advance(TMainForm::RecordingWatchInterval);
        // The frames the writer had put on the disk when it filled (slots it left empty do
        // not count): simulated time runs far ahead of the writer here, and the frames still
        // queued then cannot be kept.
        const int written = form->VidCap->GetCurrentVideoFrame() - form->VidCap->GetCurrentVideoFramesDropped();
        const std::string path = form->GetVideoFilePath();
        const auto bytes = std::filesystem::file_size(path);
        auto v = aviprobe::stream(path, "v:0");
        std::ifstream other(documents + "/other.txt");
        std::string text;
        std::getline(other, text);
        std::string state = std::to_string(started) + "|" + report() + "|" +
                            std::to_string(form->StartButton->GetEnabled()) +
                            std::to_string(form->StopButton->GetEnabled()) + "|" + text + "|" +
                            std::to_string(int(aviprobe::number(v, "nb_read_frames"))) + "|";
        // Room again: the next Start records.
        std::filesystem::remove(path);
        start();
        advance(3000, 250);
        state += std::to_string(form->VidCap->GetRecording()) + "|" + std::to_string(written) + "|" +
                 std::to_string(bytes);
        stop();
        return state;
    });
    if (r == "skip")
        GTEST_SKIP() << "no right to mount a tmpfs here; the file-size limit test covers a full disk";
    // started | report | Start and Stop enabled | the other file | frames playable | again |
    // frames written | file bytes
    const std::vector<std::string> f = fields(r);
    ASSERT_EQ(f.size(), 8u) << r;
    EXPECT_EQ(f[0] + "|" + f[1] + "|" + f[2] + "|" + f[3], "1|DISK FULL OR WRITE ERROR|10|untouched");
    // Every frame written before the disk filled plays, and the file had the disk's room.
    EXPECT_GE(std::atoi(f[6].c_str()), 40) << r;
    EXPECT_GE(std::atoi(f[4].c_str()), std::atoi(f[6].c_str())) << r;
    EXPECT_GE(std::atoll(f[7].c_str()), 1024 * 1024 * 8 / 10) << r;
    EXPECT_EQ(f[5], "1") << "records again once there is room: " << r;
    std::printf("full tmpfs: %s\n", r.c_str());
}

// The day folder turns read-only while recording (a read-only bind mount over it; the tests
// run as root, whom permissions do not stop). The open file records on to the half-hour cut
// and plays whole; the next file cannot be made, and the window says so; once the folder is
// writable again Start records.
TEST_F(RecordingFaults, AFolderTurnedReadOnlyKeepsTheFileAndTheNextStartRecordsOnceItIsWritable)
{
    REQUIRE_FFMPEG();
    closeForm();
    clock->setLocalMicroseconds(LocalMicroseconds(2026, 12, 7, 9, 59, 0, 0));
    const std::string r = inOwnMountNamespace([&]() -> std::string {
        const std::string other = videos() + "2026/12 Dec/06 Sun/kept.AVI";
        std::filesystem::create_directories(videos() + "2026/12 Dec/06 Sun");
        std::ofstream(other) << "yesterday";
        makeForm();
        start();
        const std::string first = form->GetVideoFilePath();
        advance(60000, 250);
        const std::string folder = videos() + "2026/12 Dec/07 Mon";
        if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            return "skip";
        const bool unwritable = access(folder.c_str(), W_OK) != 0;
        // To the half-hour cut, where the next file is due.
        advance(30 * 60 * 1000 - 60000 + 2 * TMainForm::RecordingWatchInterval, 60000);
        std::string state = std::to_string(unwritable) + "|" + report() + "|" +
                            std::to_string(form->StartButton->GetEnabled()) +
                            std::to_string(form->StopButton->GetEnabled()) +
                            std::to_string(form->VidCap->GetRecording()) + "|" +
                            std::to_string(form->GetVideoFilePath() == first) + "|";
        capWaitForFiles(form->VidCap->GetCapWnd());
        auto v = aviprobe::stream(first, "v:0");
        state += std::to_string(int(aviprobe::number(v, "nb_read_frames"))) + "|" + v["error"] + "|";
        std::ifstream kept(other);
        std::string text;
        std::getline(kept, text);
        state += text + "|";
        // Writable again: Start records into the folder.
        if (umount(folder.c_str()) != 0)
            return state + "umount failed";
        start();
        advance(3000, 250);
        state += std::to_string(form->VidCap->GetRecording()) + "|" +
                 std::to_string(form->GetVideoFilePath().rfind(folder + "/", 0) == 0);
        stop();
        return state;
    });
    if (r == "skip")
        GTEST_SKIP() << "no right to mount here";
    // unwritable | report | Start, Stop enabled, recording | Playback keeps the first file |
    // frames | ffprobe error | the other file | records again | into the day folder
    const std::vector<std::string> f = fields(r);
    ASSERT_EQ(f.size(), 9u) << r;
    EXPECT_EQ(f[0], "1") << r;
    EXPECT_EQ(f[1], "CANNOT WRITE FILE") << r;
    EXPECT_EQ(f[2], "100") << "idle, Start ready: " << r;
    EXPECT_EQ(f[3], "1") << "Playback keeps to the last file there is: " << r;
    // Thirty minutes in one-minute steps: a frame a step at the least, as in the soak.
    EXPECT_GE(std::atoi(f[4].c_str()), 30) << r;
    EXPECT_EQ(f[5], "") << r;
    EXPECT_EQ(f[6], "yesterday") << r;
    EXPECT_EQ(f[7] + f[8], "11") << "records again once the folder is writable: " << r;
    std::printf("read-only folder: %s\n", r.c_str());
}

// The camera unplugged while recording, through the simulated kernel behind the real V4L2
// driver: the window says so and waits, the file plays up to the loss; the person stops the
// wait, a Start while the camera is away says why; once the camera is plugged back in the
// picture returns by itself and Start records again.
TEST_F(RecordingFaults, ACameraUnpluggedWhileRecordingIsShownAndTheFilePlaysUpToIt)
{
    REQUIRE_FFMPEG();
    closeForm();
    const std::string node = "/dev/video0";
    auto sim = std::make_shared<SimV4l2>();
    sim->node(node).formats = {{V4L2_PIX_FMT_YUYV, {{160, 120}}, {30}}};
    setCameraDriver(std::make_shared<V4l2Driver>(sim));
    makeForm();
    start();
    ASSERT_TRUE(form->VidCap->GetRecording()) << report();
    const std::vector<uint8_t> grey(160 * 120 * 2, 128);
    int captured = 0;
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(sim->pushFrameWait(node, grey) && sim->waitTaken(node));
        advance(250);
        captured = form->VidCap->GetCurrentVideoFrame();
    }
    const std::string path = form->GetVideoFilePath();
    sim->unplug(node);
    // The camera thread sees the unplug at its next look, in real time.
    for (int i = 0; i < 400 && (form->VidCap->GetCurrentVideoFrame(), form->VidCap->GetRecording()); ++i) {
        usleep(5000);
        pump();
    }
    EXPECT_FALSE(form->VidCap->GetRecording());
    advance(TMainForm::RecordingWatchInterval, 250);
    EXPECT_EQ(report(), Mainunit::CameraWaitingText);
    stop();
    EXPECT_EQ(report(), "STOPPED");
    expectIdle(true);
    for (int i = 0; i < 50; ++i) {   // the writer finishes the file on its own thread
        usleep(10000);
        pump();
    }
    auto v = aviprobe::stream(path, "v:0");
    EXPECT_GE(captured, 30);
    EXPECT_GE(aviprobe::number(v, "nb_read_frames"), captured - 4) << v["error"];
    std::printf("unplugged: %s frames playable of %d captured\n", v["nb_read_frames"].c_str(), captured);

    // Start with the camera still away fails the same way and harms nothing.
    start();
    EXPECT_EQ(report(), "CAMERA LOST");
    expectIdle(true);

    sim->replug(node);
    CaptureWindow* window = findCaptureWindow(form->VidCap->GetCapWnd());
    ASSERT_NE(window, nullptr);
    const uint64_t shownBefore = window->framesShown();
    advance(kCameraRetryMs, 250);   // the window looks for the camera again
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(sim->pushFrameWait(node, grey) && sim->waitTaken(node)) << "streams again by itself";
        advance(250);
    }
    EXPECT_GT(window->framesShown(), shownBefore) << "the picture is back before any Start";
    EXPECT_TRUE(form->VidCap->GetPreview()) << "the component knows it is back";
    start();
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(sim->pushFrameWait(node, grey) && sim->waitTaken(node));
        advance(250);
    }
    EXPECT_TRUE(form->VidCap->GetRecording()) << "records again once the camera is back: " << report();
    expectRecording();
    EXPECT_TRUE(form->VidCap->GetPreview());
    const std::string again = form->GetVideoFilePath();
    EXPECT_NE(again, path);
    stop();
    EXPECT_GE(aviprobe::number(aviprobe::stream(again, "v:0"), "nb_read_frames"), 6);
}

}  // namespace
