// Waiting on the clock in force: a wait on a clock that runs only when told ends when the clock
// reaches its deadline, and never deadlocks with a clock that moves when it is read.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "platform/Clock.h"

namespace {

// A test clock that moves one millisecond on every read, as some tests' clocks do.
class SteppingClock : public Clock
{
public:
    FakeClock inner{0};
    int64_t monotonicMs() override { return monotonicUs() / 1000; }
    int64_t monotonicUs() override
    {
        inner.advanceUs(1000);
        return inner.monotonicUs();
    }
    int64_t localMicroseconds() override { return inner.localMicroseconds(); }
    bool realTime() const override { return false; }
};

struct ClockGuard
{
    std::shared_ptr<Clock> previous;
    explicit ClockGuard(std::shared_ptr<Clock> clock) : previous(setClock(std::move(clock))) {}
    ~ClockGuard() { setClock(previous); }
};

TEST(ClockWait, EndsWhenAFakeClockIsMovedPastTheDeadline)
{
    auto clock = std::make_shared<FakeClock>(0);
    ClockGuard guard(clock);
    std::mutex m;
    std::condition_variable cv;
    auto waiter = std::async(std::launch::async, [&] {
        std::unique_lock lock(m);
        waitUntilClock(lock, cv, 5000, [] { return false; });
        return clock->monotonicUs();
    });
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    clock->advanceUs(2000);
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    clock->advanceUs(3000);
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_GE(waiter.get(), 5000);
}

// Reading a stepping clock notifies the waiters. A thread that reads it while holding the lock
// a waiter sleeps under (a device reading the time under its own lock) must not deadlock on
// that lock, and the waiter still sees the time pass.
TEST(ClockWait, AClockThatMovesWhenReadUnderTheWaitersLockDoesNotDeadlock)
{
    auto clock = std::make_shared<SteppingClock>();
    ClockGuard guard(clock);
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> stop{false};
    auto waiter = std::async(std::launch::async, [&] {
        std::unique_lock lock(m);
        waitUntilClock(lock, cv, -1, [&] { return stop.load(); });
    });
    auto reader = std::async(std::launch::async, [&] {
        for (int i = 0; i < 2000; ++i) {
            std::lock_guard lock(m);
            currentClock().monotonicUs();
        }
    });
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "deadlocked";
    {
        std::lock_guard lock(m);
        stop = true;
    }
    cv.notify_all();
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

}  // namespace
