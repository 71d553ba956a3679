// Eight hours of recording in simulated time, through midnight and the new year: every file
// whole and in its day's folder, no gap beyond one stop and start, and nothing that grows
// from one file to the next (memory, open files, the platform's handle tables).
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "platform/GdiObjects.h"
#include "platform/WindowTree.h"
#include "tests/app/MainFormFixture.h"
#include "tests/avicap/AviProbe.h"

namespace {

struct Usage
{
    int fds = 0;
    long rssKb = 0;
    size_t heapKb = 0;   // in use by malloc: steadier than the resident size
    size_t gdi = 0;
    size_t windows = 0;
};

// Measured once the writer has caught up: frames still queued for it are no growth.
Usage usageNow()
{
    usleep(300000);
    Usage u;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++u.fds;
        closedir(dir);
        u.fds -= 3;   // ".", ".." and the listing's own descriptor
    }
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            u.rssKb = std::atol(line.c_str() + 6);
    u.heapKb = mallinfo2().uordblks / 1024;
    u.gdi = gdiObjects().liveCount();
    u.windows = windowTable().liveCount();
    return u;
}

// Milliseconds of the day from a name "YYYY-MM-DD HH-MM-SS mmm.AVI", days counted from 31st.
int64_t startOf(const std::string& name)
{
    int y, mo, d, h, mi, s, ms;
    if (std::sscanf(name.c_str(), "%d-%d-%d %d-%d-%d %d", &y, &mo, &d, &h, &mi, &s, &ms) != 7)
        return -1;
    const int64_t day = (y == 2027) ? 1 : 0;
    return (((day * 24 + h) * 60 + mi) * 60 + s) * 1000 + ms;
}

using EightHourRecording = MainFormFixture;

TEST_F(EightHourRecording, SixteenWholeFilesThroughTheNewYearWithNothingGrowing)
{
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "ThreadSanitizer slows eight hours past the test time-out; the half-hour tests cover threads";
#endif
    REQUIRE_FFMPEG();
    clickOn(form->AudioButton);
    ASSERT_TRUE(form->VidCap->GetCaptureAudio());
    clock->setLocalMicroseconds(LocalMicroseconds(2026, 12, 31, 19, 59, 59, 0));
    start();   // the click moves the clock one second on: 20:00:00
    ASSERT_EQ(form->GetVideoFileName(), "2026-12-31 20-00-00 000.AVI");
    const Usage before = usageNow();

    // Simulated time in one-minute steps: the test pattern delivers the frame that fell due at
    // each step, so a file holds some 30 frames rather than 7200; what is proven is the
    // roll-over, the files and the resources, which do not depend on the frame count.
    std::vector<Usage> afterFile;
    std::vector<std::string> paths{form->GetVideoFilePath()};
    for (int file = 0; file < 16; ++file) {
        // The last file ends at 03:59, one step before a seventeenth would start.
        advance(file == 15 ? 29 * 60 * 1000 : 30 * 60 * 1000, 60000);
        if (file < 15 && paths.back() != form->GetVideoFilePath())
            paths.push_back(form->GetVideoFilePath());
        afterFile.push_back(usageNow());
    }
    stop();
    expectIdle(true);
    afterFile.push_back(usageNow());

    ASSERT_EQ(paths.size(), 16u);
    const std::string eve = videos() + "2026/12 Dec/31 Thu/", day = videos() + "2027/01 Jan/01 Fri/";
    int inEve = 0, inDay = 0;
    int64_t largestGapMs = 0, frames = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        const std::string name = paths[i].substr(paths[i].rfind('/') + 1);
        const int64_t start = startOf(name);
        ASSERT_GE(start, 0);
        EXPECT_EQ(paths[i], (start < 24 * 3600 * 1000 ? eve : day) + name) << "the day folder of its start";
        (start < 24 * 3600 * 1000 ? inEve : inDay)++;
        if (i > 0)
            largestGapMs = std::max(largestGapMs, start - (startOf(paths[i - 1].substr(paths[i - 1].rfind('/') + 1)) + 1800000));
        auto v = aviprobe::stream(paths[i], "v:0");
        EXPECT_EQ(v.count("error"), 0u) << v["error"];
        EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 25);
        frames += int64_t(aviprobe::number(v, "nb_read_frames"));
        EXPECT_GT(aviprobe::audioSeconds(paths[i], int(aviprobe::number(aviprobe::stream(paths[i], "a:0"), "sample_rate"))), 0.0)
            << "sound in every file";
    }
    EXPECT_EQ(inEve, 8);
    EXPECT_EQ(inDay, 8);
    // A roll-over is one stop and one start at the same simulated instant: the next file
    // starts within a second of the previous one's half hour.
    EXPECT_LE(largestGapMs, 1000);

    // From the second file on (the first warms caches up), nothing grows.
    const Usage& first = afterFile[1];
    for (size_t i = 2; i + 1 < afterFile.size(); ++i) {
        SCOPED_TRACE("after file " + std::to_string(i + 1));
        EXPECT_LE(afterFile[i].fds, first.fds);
        EXPECT_LE(afterFile[i].gdi, first.gdi);
        EXPECT_LE(afterFile[i].windows, first.windows);
#ifndef __SANITIZE_ADDRESS__   // its allocator keeps freed memory in quarantine; LeakSanitizer checks there
        EXPECT_LE(afterFile[i].heapKb, first.heapKb + 6 * 1024) << "memory in use (a few frames may be queued)";
        EXPECT_LE(afterFile[i].rssKb, first.rssKb + 16 * 1024) << "resident memory";
#endif
    }
    const Usage& last = afterFile.back();
    EXPECT_LE(last.fds, before.fds) << "every file closed after Stop";
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LE(last.heapKb, first.heapKb + 6 * 1024) << "memory in use after Stop";
#endif
    std::string series;
    for (const Usage& u : afterFile)
        series += std::to_string(u.heapKb) + "/" + std::to_string(u.rssKb) + " ";
    std::printf("soak: heap/resident kB after each file: %s\n", series.c_str());
    RecordProperty("files", int(paths.size()));
    RecordProperty("frames", int(frames));
    RecordProperty("largest_gap_ms", int(largestGapMs));
    std::printf("soak: %zu files, %lld frames, largest gap %lld ms; at the first file, after the second and "
                "after Stop: fds %d, %d, %d; heap %zu, %zu, %zu kB; rss %ld, %ld, %ld kB; gdi objects %zu, %zu, "
                "%zu; windows %zu, %zu, %zu\n",
                paths.size(), (long long)frames, (long long)largestGapMs, before.fds, first.fds, last.fds,
                before.heapKb, first.heapKb, last.heapKb, before.rssKb, first.rssKb, last.rssKb, before.gdi,
                first.gdi, last.gdi, before.windows, first.windows, last.windows);
}

}  // namespace
