// Eight hours of recording in simulated time, through midnight and the new year: every file
// whole and in its day's folder, no gap beyond one stop and start, and nothing that grows
// from one file to the next (memory, open files, the platform's handle tables).
#include "tests/app/LongRecording.h"

namespace {

class EightHourRecording : public LongRecording
{
protected:
    // Records from 20:00 on 31 December to 04:00 on 1 January in steps of simulated time and
    // checks the files and what the process holds after each of them.
    void recordEightHours(int64_t stepMs)
    {
        // The test pattern delivers the frame that fell due at each step, so a file holds one
        // frame a step rather than 7200; what is proven is the roll-over, the files and the
        // resources, which do not depend on the frame count.
        const Run run = record(LocalMicroseconds(2026, 12, 31, 20), 16, stepMs, [](int) { return true; }, true);
        ASSERT_EQ(run.files, 16u);
        EXPECT_EQ(longrec::name(run.first), "2026-12-31 20-00-00 000.AVI");
        const std::map<std::string, int> expected{{"2026/12 Dec/31 Thu/", 8}, {"2027/01 Jan/01 Fri/", 8}};
        EXPECT_EQ(run.perFolder, expected);
        expectFlat(run, stepMs);
        report(run, 0);
    }
};

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
