// Eight hours of recording in simulated time, through midnight and the new year: every file
// whole and in its day's folder, no gap beyond one stop and start, and nothing that grows
// from one file to the next (memory, open files, the platform's handle tables).
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
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

// Bytes malloc has handed out and not had back: its arenas and the blocks it maps on its own
// (a frame buffer may be either, depending on malloc's moving threshold).
size_t heapInUseKb()
{
    const struct mallinfo2 m = mallinfo2();
    return (m.uordblks + m.hblkhd) / 1024;
}

// Whether a recording other than the running one (empty: none) still has its file open.
bool finishingAnother(const std::string& running)
{
    std::error_code error;
    const std::string mine = running.empty() ? running : std::filesystem::canonical(running, error).string();
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (target.size() > 4 && target.compare(target.size() - 4, 4, ".AVI") == 0 && target != mine)
            return true;
    }
    return false;
}

// Measured once the writers have caught up: frames still queued for them are no growth. The
// running writer says how many frames it holds; one finishing the previous file keeps it open
// until it is done, and is let go at the next message.
Usage usageNow(TVidCap& vidCap, const std::string& running)
{
    for (int i = 0; i < 100 && vidCap.GetNumVideoAllocated() > 1; ++i)
        usleep(50000);
    for (int i = 0; i < 100 && finishingAnother(running); ++i)
        usleep(50000);
    // Its thread may still be giving memory back.
    size_t heap = heapInUseKb();
    for (int i = 0; i < 50; ++i) {
        usleep(100000);
        const size_t now = heapInUseKb();
        const bool steady = now < heap + 64 && heap < now + 64;
        heap = now;
        if (steady)
            break;
    }
    processPendingMessages();
    heap = heapInUseKb();
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
    u.heapKb = heap;
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

[[maybe_unused]] size_t medianKb(const std::vector<Usage>& readings, size_t from, size_t to)
{
    std::vector<size_t> kb;
    for (size_t i = from; i < to; ++i)
        kb.push_back(readings[i].heapKb);
    std::sort(kb.begin(), kb.end());
    return kb[kb.size() / 2];
}

class EightHourRecording : public MainFormFixture
{
protected:
    // Records from 20:00 on 31 December to 04:00 on 1 January in steps of simulated time and
    // checks the files and what the process holds after each of them.
    void recordEightHours(int64_t stepMs);
};

void EightHourRecording::recordEightHours(int64_t stepMs)
{
    clickOn(form->AudioButton);
    ASSERT_TRUE(form->VidCap->GetCaptureAudio());
    clock->setLocalMicroseconds(LocalMicroseconds(2026, 12, 31, 19, 59, 59, 0));
    start();   // the click moves the clock one second on: 20:00:00
    ASSERT_EQ(form->GetVideoFileName(), "2026-12-31 20-00-00 000.AVI");
    const Usage before = usageNow(*form->VidCap, form->GetVideoFilePath());

    // The test pattern delivers the frame that fell due at each step, so a file holds one
    // frame a step rather than 7200; what is proven is the roll-over, the files and the
    // resources, which do not depend on the frame count.
    std::vector<Usage> afterFile;
    std::vector<std::string> paths{form->GetVideoFilePath()};
    for (int file = 0; file < 16; ++file) {
        // The last file ends at 03:59, one minute before a seventeenth would start.
        advance(file == 15 ? 29 * 60 * 1000 : 30 * 60 * 1000, stepMs);
        if (file < 15 && paths.back() != form->GetVideoFilePath())
            paths.push_back(form->GetVideoFilePath());
        afterFile.push_back(usageNow(*form->VidCap, form->GetVideoFilePath()));
    }
    stop();
    expectIdle(true);
    afterFile.push_back(usageNow(*form->VidCap, {}));

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
    }
    const Usage& last = afterFile.back();
    EXPECT_LE(last.fds, before.fds) << "every file closed after Stop";
#ifndef __SANITIZE_ADDRESS__   // its allocator keeps freed memory in quarantine; LeakSanitizer checks there
    // Memory in use. The readings after files 1 to 15 are taken at the same moment of each
    // file: just after a roll-over, the finished writer let go and the new one just begun.
    // They may differ by design only in that writer's spare buffers (a frame each: one more
    // when its first frame and sound were queued together), so one reading may stand a frame
    // above the rest. The middle reading of files 11 to 15 against that of files 2 to 6 (the
    // first warms caches up) leaves such a reading out and sees some 30 kB more a file.
    const size_t frameKb = size_t(form->VidCap->GetImageWidth()) * size_t(form->VidCap->GetImageHeight()) * 3 / 1024;
    ASSERT_GT(frameKb, 0u);
    const size_t early = medianKb(afterFile, 1, 6), late = medianKb(afterFile, 10, 15);
    EXPECT_LE(late, early + 256) << "memory in use grows from file to file";
    for (size_t i = 1; i < 15; ++i)
        EXPECT_LE(afterFile[i].heapKb, early + frameKb + 256) << "after file " << i + 1;
    EXPECT_LE(last.heapKb, early + 256) << "memory in use after Stop";
    // Where the writer keeps up with the steps, nothing waits in its queue: during the last
    // file (no roll-over) it holds, besides the frame being written, its four spare buffers,
    // the encoder's output and sound waiting for its frame, some seven buffers the size of a
    // frame; and the resident size is flat. Shorter steps outrun the encoder many times over:
    // frames wait in its queue up to its limit, and malloc keeps the pages they took.
    if (stepMs >= 60000) {
        EXPECT_LE(afterFile[15].heapKb, early + 7 * frameKb + 256) << "during the last file";
        for (size_t i = 2; i < afterFile.size(); ++i)
            EXPECT_LE(afterFile[i].rssKb, first.rssKb + 16 * 1024) << "resident memory after file " << i + 1;
    }
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

TEST_F(EightHourRecording, SixteenWholeFilesThroughTheNewYearWithNothingGrowing)
{
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "ThreadSanitizer slows eight hours past the test time-out; the half-hour tests cover threads";
#endif
    REQUIRE_FFMPEG();
    recordEightHours(60000);
}

// The same night in one-second steps: 1800 camera frames a file, far faster than real time,
// so the writer's queue fills and empties again with every file. About a minute; run by hand
// with --gtest_also_run_disabled_tests.
TEST_F(EightHourRecording, DISABLED_InOneSecondSteps)
{
    REQUIRE_FFMPEG();
    outrunWriter = true;   // frames wait in the writer's queue up to its limit
    recordEightHours(1000);
}

}  // namespace
