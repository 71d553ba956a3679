#include <chrono>
#include <thread>

#include "CaptureFixture.h"

namespace {

struct CountingSink : CaptureSink
{
    std::vector<CaptureFrame> frames;
    std::mutex mutex;
    void frameArrived(CaptureFrame&& frame) override
    {
        std::lock_guard lock(mutex);
        frames.push_back(std::move(frame));
    }
    void deviceFailed(const CaptureError&) override {}
};

}  // namespace

TEST_F(CaptureFixture, TestPatternIsPacedAtThirtyFramesPerSecondByTheClock)
{
    TestPatternDevice device;
    CountingSink sink;
    ASSERT_TRUE(device.startStreaming(&sink).ok());
    for (int i = 0; i < 100; ++i) {
        clock->advanceMs(10);
        TestPatternDriver::pumpFrames();
    }
    device.stopStreaming();
    // One at the start, then one per 33 ms period of the second that passed.
    EXPECT_GE(sink.frames.size(), 30u);
    EXPECT_LE(sink.frames.size(), 31u);
    for (size_t i = 1; i < sink.frames.size(); ++i) {
        EXPECT_EQ(sink.frames[i].sequence, sink.frames[i - 1].sequence + 1);
        EXPECT_GT(sink.frames[i].timestampUs, sink.frames[i - 1].timestampUs);
    }
}

TEST_F(CaptureFixture, TestPatternDrawsEveryOfferedSizeAndShowsTheTime)
{
    TestPatternDevice device;
    for (const CaptureFormat& format : device.formats()) {
        ASSERT_TRUE(device.setFormat(format).ok());
        CaptureFrame frame;
        ASSERT_TRUE(device.grabFrame(frame, 0).ok());
        EXPECT_EQ(frame.pixels.size(), size_t(format.width) * size_t(format.height) * 3);
    }
    EXPECT_TRUE(device.setFormat({100, 100, 30}).failed());
    EXPECT_FALSE(device.setControl(TestPatternDevice::kBrightnessControl, 101));

    // Solid pattern: only the clock and the counter change between two grabs.
    ASSERT_TRUE(device.setFormat({320, 240, 30}).ok());
    ASSERT_TRUE(device.setControl(TestPatternDevice::kPatternControl, TestPatternDevice::Solid));
    CaptureFrame a, b;
    ASSERT_TRUE(device.grabFrame(a, 0).ok());
    clock->advanceMs(1000);
    clock->setLocalMicroseconds(int64_t(13) * 3600 * 1000000);
    ASSERT_TRUE(device.grabFrame(b, 0).ok());
    size_t differing = 0, bottomHalf = 0;
    for (size_t i = 0; i < a.pixels.size(); i += 3)
        if (a.pixels[i] != b.pixels[i] || a.pixels[i + 2] != b.pixels[i + 2]) {
            ++differing;
            bottomHalf += i < a.pixels.size() / 2;
        }
    EXPECT_GT(differing, 0u);
    EXPECT_EQ(bottomHalf, 0u);   // the text sits at the top
}

// The camera thread sleeps until its next frame is due: a fake clock that stands still gets
// no frame however long one waits, and moving it wakes the thread without any pumping.
TEST_F(CaptureFixture, TestPatternThreadSleepsUntilTheClockReachesTheNextFrame)
{
    TestPatternDevice device;
    CountingSink sink;
    auto count = [&] {
        std::lock_guard lock(sink.mutex);
        return sink.frames.size();
    };
    auto waitFor = [&](size_t n) {
        for (int i = 0; i < 2000 && count() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return count();
    };
    ASSERT_TRUE(device.startStreaming(&sink).ok());
    EXPECT_EQ(waitFor(1), 1u) << "the first frame is due at once";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(count(), 1u) << "the clock stood still";
    clock->advanceMs(20);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(count(), 1u) << "not due yet";
    clock->advanceMs(14);
    EXPECT_EQ(waitFor(2), 2u) << "moving the clock woke the camera thread";
    // Swapping the clock wakes it too: on the system clock frames come by themselves.
    setClock(nullptr);
    EXPECT_GE(waitFor(4), 4u);
    device.stopStreaming();
    setClock(clock);
}
