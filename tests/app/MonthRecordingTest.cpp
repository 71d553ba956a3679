// Recording that never stops, in simulated time: two days from noon on 28 February 2028
// across the leap day into March, or (LUMO_SOAK=month, run by hand) a month of 1440 files
// from 15 February. Every file in the folder of the day it started, none missing, and
// nothing that grows from file to file; files are deleted once read, so a month needs little
// disk.
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "tests/app/LongRecording.h"

namespace {

class MonthRecording : public LongRecording
{
};

TEST_F(MonthRecording, EveryFileInItsDayFolderAcrossTheLeapDayWithNothingGrowing)
{
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "ThreadSanitizer slows days of recording past any time-out; the half-hour tests cover threads";
#endif
    REQUIRE_FFMPEG();
    const char* length = std::getenv("LUMO_SOAK");
    const bool month = length && std::strcmp(length, "month") == 0;
    const int files = month ? 1440 : 96;
#ifdef __SANITIZE_ADDRESS__
    // Its allocator's quarantine leaves memory unmeasured there; the eight-hour night runs
    // under it for leaks and descriptors.
    if (!month)
        GTEST_SKIP() << "two days under AddressSanitizer add nothing to the eight hours but time";
#endif
    const int64_t start = month ? LocalMicroseconds(2028, 2, 15) : LocalMicroseconds(2028, 2, 28, 12);
    // Reading a file back costs more than recording it: over two days every eighth file
    // (among them the first of each day) and the last; over a month every one.
    const auto check = [&](int i) { return month || i % 8 == 0 || i + 1 == files; };
    const auto began = std::chrono::steady_clock::now();
    const Run run = record(start, files, 60000, check, false);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    ASSERT_EQ(run.files, size_t(files));

    std::map<std::string, int> expected;
    if (month) {
        for (int day = 0; day < 30; ++day)
            expected[longrec::dayFolder(start / 1000 + int64_t(day) * 24 * 3600 * 1000)] = 48;
        EXPECT_EQ(expected.count("2028/02 Feb/29 Tue/"), 1u);
        EXPECT_EQ(expected.count("2028/03 Mar/15 Wed/"), 1u);
    } else {
        expected = {{"2028/02 Feb/28 Mon/", 24}, {"2028/02 Feb/29 Tue/", 48}, {"2028/03 Mar/01 Wed/", 24}};
    }
    EXPECT_EQ(run.perFolder, expected);
    EXPECT_EQ(run.checked, month ? 1440u : 13u);
    expectFlat(run, 60000);
    report(run, seconds);
}

}  // namespace
