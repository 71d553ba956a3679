#pragma once
// The one source of time for the whole program: timers, the framework's Now, capture
// timing. Tests install a FakeClock and move it forward by hand.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes backwards.
    virtual int64_t monotonicMs() = 0;
    // Microseconds since an arbitrary start; never goes backwards.
    virtual int64_t monotonicUs() = 0;
    // Local wall-clock time as microseconds since 1970-01-01 00:00 local time (the local
    // offset already applied), so date arithmetic needs no time-zone handling.
    virtual int64_t localMicroseconds() = 0;
    // Whether time passes by itself; a clock that does not moves only when told (and
    // then wakes the threads waiting in waitUntilClock).
    virtual bool realTime() const { return true; }
};

class SystemClock : public Clock
{
public:
    int64_t monotonicMs() override;
    int64_t monotonicUs() override;
    int64_t localMicroseconds() override;
};

// A clock that stands still until advanced.
class FakeClock : public Clock
{
public:
    explicit FakeClock(int64_t localMicroseconds = 0) : local_(localMicroseconds) {}
    int64_t monotonicMs() override;
    int64_t monotonicUs() override;
    int64_t localMicroseconds() override;
    void advanceMs(int64_t ms) { advanceUs(ms * 1000); }
    void advanceUs(int64_t us);
    void setLocalMicroseconds(int64_t us);
    bool realTime() const override { return false; }

private:
    std::mutex mutex_;
    int64_t monotonic_ = 0;
    int64_t local_;
};

// The clock in force, kept alive by the handle: a clock swapped by setClock while another
// thread reads it is freed only when that reader lets go. Take a fresh handle per use.
class ClockRef
{
public:
    explicit ClockRef(std::shared_ptr<Clock> clock) : clock_(std::move(clock)) {}
    int64_t monotonicMs() const { return clock_->monotonicMs(); }
    int64_t monotonicUs() const { return clock_->monotonicUs(); }
    int64_t localMicroseconds() const { return clock_->localMicroseconds(); }
    Clock& clock() const { return *clock_; }

private:
    std::shared_ptr<Clock> clock_;
};

// The clock in force (a SystemClock unless replaced).
ClockRef currentClock();
// Installs a clock; null restores the system clock. Returns the previous override.
std::shared_ptr<Clock> setClock(std::shared_ptr<Clock> clock);

// Blocks a thread that holds lock (the mutex guarding cv) until done() answers true or the
// clock in force reaches deadlineUs (monotonic, microseconds; negative: no deadline), and
// returns with lock held. It wakes when the caller's own code notifies cv, when the deadline
// passes on a real-time clock, and when a clock that does not run by itself is advanced or
// the clock is swapped; it never wakes just to look.
void waitUntilClock(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, int64_t deadlineUs,
                    const std::function<bool()>& done);

// Classic names on the clock in force.
uint32_t GetTickCount();
