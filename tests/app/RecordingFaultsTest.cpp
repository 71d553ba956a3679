// Faults while the real window records: the process killed outright, the day folder deleted.
// What is on disk stays playable up to the fault, and the window can record again.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>

#include "framework/Files.h"
#include "tests/app/MainFormFixture.h"
#include "tests/avicap/AviProbe.h"

namespace {

using RecordingFaults = MainFormFixture;

// SIGKILL leaves no chance to finish the file: the frames written before the kill must
// still play. The child records in quarter-second steps of simulated time, says how many
// seconds it has recorded, records on, and is killed.
TEST_F(RecordingFaults, AFileCutOffBySigkillPlaysUpToTheKill)
{
    REQUIRE_FFMPEG();
    delete form;
    form = MainForm = nullptr;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        Application->CreateForm(form);
        MainForm = form;
        form->Show();
        pump();
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
    EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 40) << v["error"];
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

}  // namespace
