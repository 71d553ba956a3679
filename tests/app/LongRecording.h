#pragma once
// Recording for hours, days or a month in simulated time: the files, each in the folder of
// the day it started, and what the process holds (memory, open files, the platform's handle
// tables) measured after every file, for tests that check nothing grows from file to file.
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>

#include "platform/GdiObjects.h"
#include "platform/WindowTree.h"
#include "tests/app/MainFormFixture.h"
#include "tests/avicap/AviProbe.h"

namespace longrec {

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
inline size_t heapInUseKb()
{
    const struct mallinfo2 m = mallinfo2();
    return (m.uordblks + m.hblkhd) / 1024;
}

// Whether a recording other than the running one (empty: none) still has its file open.
inline bool finishingAnother(const std::string& running)
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
inline Usage usageNow(TVidCap& vidCap, const std::string& running)
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

// Local milliseconds since 1970 of a name "YYYY-MM-DD HH-MM-SS mmm.AVI"; -1 if it is not one.
inline int64_t startOf(const std::string& name)
{
    int y, mo, d, h, mi, s, ms;
    if (std::sscanf(name.c_str(), "%d-%d-%d %d-%d-%d %d", &y, &mo, &d, &h, &mi, &s, &ms) != 7)
        return -1;
    return LocalMicroseconds(y, unsigned(mo), unsigned(d), h, mi, s, ms) / 1000;
}

// "<year>/<MM Mon>/<DD Day>/" of a local moment, worked out with the standard calendar.
inline std::string dayFolder(int64_t localMs)
{
    using namespace std::chrono;
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const sys_days day = floor<days>(sys_time<milliseconds>(milliseconds(localMs)));
    const year_month_day ymd(day);
    char folder[32];
    std::snprintf(folder, sizeof folder, "%04d/%02u %s/%02u %s/", int(ymd.year()), unsigned(ymd.month()),
                  months[unsigned(ymd.month()) - 1], unsigned(ymd.day()), weekdays[weekday(day).c_encoding()]);
    return folder;
}

inline size_t medianKb(const std::vector<Usage>& readings, size_t from, size_t to)
{
    std::vector<size_t> kb;
    for (size_t i = from; i < to; ++i)
        kb.push_back(readings[i].heapKb);
    std::sort(kb.begin(), kb.end());
    return kb[kb.size() / 2];
}

inline std::string name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// A 440 Hz tone at the pace of the clock in force, copied from one second worked out once:
// worked out sample by sample (as the tone source does), days of sound cost more than all
// else a long recording does.
class RepeatedTone : public AudioInput
{
public:
    CaptureError open(const AviAudioFormat& format) override
    {
        if (format.bitsPerSample != 16 || format.channels == 0 || format.samplesPerSec == 0)
            return captureFault(CaptureFault::SoundFailed, "the repeated tone is 16-bit sound only");
        rate_ = format.samplesPerSec;
        block_ = format.blockAlign();
        second_.clear();
        for (uint64_t i = 0; i < rate_; ++i) {
            const auto v = uint16_t(int16_t(std::lround(8000 * std::sin(2 * std::numbers::pi * 440 * double(i) / double(rate_)))));
            for (int c = 0; c < format.channels; ++c)
                second_.insert(second_.end(), {uint8_t(v), uint8_t(v >> 8)});
        }
        startUs_ = currentClock().monotonicUs();
        produced_ = 0;
        return captureOk();
    }
    bool read(AudioBuffer& buffer) override
    {
        const uint64_t due = uint64_t(currentClock().monotonicUs() - startUs_) * rate_ / 1000000;
        if (second_.empty() || due <= produced_)
            return false;
        buffer.timestampUs = startUs_ + int64_t(produced_ * 1000000 / rate_);
        buffer.data.resize(size_t(due - produced_) * block_);
        for (size_t at = 0; at < buffer.data.size();) {
            const size_t from = size_t(produced_ % rate_) * block_;
            const size_t n = std::min(second_.size() - from, buffer.data.size() - at);
            std::memcpy(buffer.data.data() + at, second_.data() + from, n);
            at += n;
            produced_ += n / block_;
        }
        return true;
    }
    void close() override { second_.clear(); }

private:
    std::vector<uint8_t> second_;
    uint64_t rate_ = 0;
    size_t block_ = 0;
    int64_t startUs_ = 0;
    uint64_t produced_ = 0;
};

}  // namespace longrec

// Records file after file of half an hour from a given local moment, with sound, and checks
// each file and what the process holds after it.
class LongRecording : public MainFormFixture
{
protected:
    static constexpr int64_t kFileMs = 30 * 60 * 1000;

    // The window made anew with the repeated tone for its sound.
    void SetUp() override
    {
        MainFormFixture::SetUp();
        closeForm();
        setCaptureRecorderFactory(makeCaptureRecorderFactory([] { return std::make_unique<longrec::RepeatedTone>(); }));
        makeForm();
    }

    // What the test keeps is itself measured with the program's memory: a month of file
    // names alone would be 200 kB. So it keeps counts, and room for the readings is taken
    // before the first of them.
    struct Run
    {
        size_t files = 0;
        std::string first;                        // the first file's path
        std::map<std::string, int> perFolder;     // files in each day folder under VIDEOS
        std::vector<longrec::Usage> afterFile;    // after each file, then after Stop
        longrec::Usage before;                    // once the first file has begun
        int64_t largestGapMs = 0;                 // from one file's half hour to the next start
        int64_t frames = 0;                       // in the files checked
        size_t checked = 0;                       // files ffprobe and ffmpeg read
    };

    // Records `files` files from `startLocalUs` (a click moves the clock one second on, so one
    // before the hour starts on it) in steps of simulated time. Each file that check(i)
    // chooses is read with ffprobe as soon as it is closed; with keep false every file is
    // deleted once done with, so a month needs little disk.
    Run record(int64_t startLocalUs, int files, int64_t stepMs, const std::function<bool(int)>& check, bool keep);

    // Nothing grows from the second file on (the first warms caches up), with the bounds of
    // the eight-hour night; stepMs as given to record.
    void expectFlat(const Run& run, int64_t stepMs);

    // One line of figures for the log of a run by hand.
    void report(const Run& run, double seconds);

private:
    void checkFile(const std::string& path, Run& run);
};

// One ffprobe for both streams, every frame decoded: starting it costs more than the reading.
inline void LongRecording::checkFile(const std::string& path, Run& run)
{
    SCOPED_TRACE(path);
    const std::string out = aviprobe::run("ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames"
                                          " -of csv=p=0 " + aviprobe::quoted(path));
    std::map<std::string, long> frames;
    std::string errors;
    for (size_t at = 0; at < out.size();) {
        const size_t end = std::min(out.find('\n', at), out.size());
        const std::string line = out.substr(at, end - at);
        const size_t comma = line.find(',');
        if (comma != std::string::npos && (line.rfind("video,", 0) == 0 || line.rfind("audio,", 0) == 0))
            frames[line.substr(0, comma)] = std::atol(line.c_str() + comma + 1);
        else if (!line.empty())
            errors += line + "\n";
        at = end + 1;
    }
    EXPECT_EQ(errors, "");
    // A frame a step: at least 25 of 30 for a half hour in steps of a minute.
    EXPECT_GE(frames["video"], 25);
    EXPECT_GT(frames["audio"], 0) << "sound in every file";
    run.frames += frames["video"];
    ++run.checked;
}

inline LongRecording::Run LongRecording::record(int64_t startLocalUs, int files, int64_t stepMs,
                                                const std::function<bool(int)>& check, bool keep)
{
    using namespace longrec;
    Run run;
    run.afterFile.reserve(size_t(files) + 1);
    clickOn(form->AudioButton);
    EXPECT_TRUE(form->VidCap->GetCaptureAudio());
    clock->setLocalMicroseconds(startLocalUs - 1000000);
    start();
    run.before = usageNow(*form->VidCap, form->GetVideoFilePath());
    run.first = form->GetVideoFilePath();
    // Done with a file once the next has begun: usageNow waited for its writer to close it.
    std::string current = run.first, previous;
    auto doneWith = [&] {
        const std::string folder = dayFolder(startOf(name(current)));
        EXPECT_EQ(current, videos() + folder + name(current)) << "the day folder of its start";
        ++run.perFolder[folder];
        if (!previous.empty())
            run.largestGapMs = std::max(run.largestGapMs, startOf(name(current)) - startOf(name(previous)) - kFileMs);
        if (check(int(run.files)))
            checkFile(current, run);
        if (!keep)
            std::filesystem::remove(current);
        previous = current;
        ++run.files;
    };
    for (int file = 0; file < files; ++file) {
        // The last file ends a minute before another would start.
        advance(file + 1 == files ? kFileMs - 60000 : kFileMs, stepMs);
        run.afterFile.push_back(usageNow(*form->VidCap, form->GetVideoFilePath()));
        if (file + 1 < files && current != form->GetVideoFilePath()) {
            doneWith();
            current = form->GetVideoFilePath();
        }
    }
    stop();
    expectIdle(true);
    run.afterFile.push_back(usageNow(*form->VidCap, {}));
    doneWith();
    // A roll-over is one stop and one start at the same simulated instant: the next file
    // starts within a second of the previous one's half hour.
    EXPECT_LE(run.largestGapMs, 1000);
    return run;
}

inline void LongRecording::expectFlat(const Run& run, int64_t stepMs)
{
    using namespace longrec;
    const std::vector<Usage>& afterFile = run.afterFile;
    const size_t files = afterFile.size() - 1;
    ASSERT_GE(files, 12u);
    const Usage& first = afterFile[1];
    for (size_t i = 2; i < files; ++i) {
        SCOPED_TRACE("after file " + std::to_string(i + 1));
        EXPECT_LE(afterFile[i].fds, first.fds);
        EXPECT_LE(afterFile[i].gdi, first.gdi);
        EXPECT_LE(afterFile[i].windows, first.windows);
    }
    const Usage& last = afterFile.back();
    EXPECT_LE(last.fds, run.before.fds) << "every file closed after Stop";
#ifndef __SANITIZE_ADDRESS__   // its allocator keeps freed memory in quarantine; LeakSanitizer checks there
    // Memory in use. The readings after each file but the last are taken at the same moment
    // of each file: just after a roll-over, the finished writer let go and the new one just
    // begun. They may differ by design only in that writer's spare buffers (a frame each: one
    // more when its first frame and sound were queued together), so one reading may stand a
    // frame above the rest. The middle reading of the last five such files against that of
    // files 2 to 6 (the first warms caches up) leaves such a reading out and sees 256 kB
    // more over the run: some 30 kB a file over sixteen files, 3 kB over two days.
    const size_t frameKb = size_t(form->VidCap->GetImageWidth()) * size_t(form->VidCap->GetImageHeight()) * 3 / 1024;
    ASSERT_GT(frameKb, 0u);
    const size_t early = medianKb(afterFile, 1, 6), late = medianKb(afterFile, files - 6, files - 1);
    EXPECT_LE(late, early + 256) << "memory in use grows from file to file";
    for (size_t i = 1; i + 1 < files; ++i)
        EXPECT_LE(afterFile[i].heapKb, early + frameKb + 256) << "after file " << i + 1;
    EXPECT_LE(last.heapKb, early + 256) << "memory in use after Stop";
    // Where the writer keeps up with the steps, nothing waits in its queue: during the last
    // file (no roll-over) it holds, besides the frame being written, its four spare buffers,
    // the encoder's output and sound waiting for its frame, some seven buffers the size of a
    // frame; and the resident size is flat. Shorter steps outrun the encoder many times over:
    // frames wait in its queue up to its limit, and malloc keeps the pages they took.
    if (stepMs >= 60000) {
        EXPECT_LE(afterFile[files - 1].heapKb, early + 7 * frameKb + 256) << "during the last file";
        for (size_t i = 2; i < afterFile.size(); ++i)
            EXPECT_LE(afterFile[i].rssKb, first.rssKb + 16 * 1024) << "resident memory after file " << i + 1;
    }
#else
    (void)stepMs;
#endif
}

inline void LongRecording::report(const Run& run, double seconds)
{
    const longrec::Usage &before = run.before, &first = run.afterFile[1], &last = run.afterFile.back();
    RecordProperty("files", int(run.files));
    RecordProperty("frames", int(run.frames));
    RecordProperty("largest_gap_ms", int(run.largestGapMs));
    std::string series;
    for (const longrec::Usage& u : run.afterFile)
        series += std::to_string(u.heapKb) + "/" + std::to_string(u.rssKb) + " ";
    std::printf("soak: heap/resident kB after each file: %s\n", series.c_str());
    std::printf("soak: %zu files (%zu read back, %lld frames) in %zu day folders in %.0f s, largest gap %lld ms; "
                "at the first file, after the second, after the last and after Stop: fds %d, %d, %d, %d; "
                "heap %zu, %zu, %zu, %zu kB; rss %ld, %ld, %ld, %ld kB; gdi objects %zu, %zu, %zu, %zu; "
                "windows %zu, %zu, %zu, %zu\n",
                run.files, run.checked, (long long)run.frames, run.perFolder.size(), seconds,
                (long long)run.largestGapMs, before.fds, first.fds, run.afterFile.end()[-2].fds, last.fds,
                before.heapKb, first.heapKb, run.afterFile.end()[-2].heapKb, last.heapKb, before.rssKb, first.rssKb,
                run.afterFile.end()[-2].rssKb, last.rssKb, before.gdi, first.gdi, run.afterFile.end()[-2].gdi,
                last.gdi, before.windows, first.windows, run.afterFile.end()[-2].windows, last.windows);
}
