#include "platform/Clock.h"

#include <sys/time.h>
#include <time.h>

namespace {

// Threads: any thread reads the clock in force; setClock swaps it under the mutex.
std::mutex overrideMutex;
std::shared_ptr<Clock> overrideClock;

int64_t monotonicNowUs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

}  // namespace

int64_t SystemClock::monotonicMs() { return monotonicNowUs() / 1000; }

int64_t SystemClock::monotonicUs() { return monotonicNowUs(); }

int64_t SystemClock::localMicroseconds()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local;
    time_t seconds = ts.tv_sec;
    localtime_r(&seconds, &local);
    return (int64_t(ts.tv_sec) + local.tm_gmtoff) * 1000000 + ts.tv_nsec / 1000;
}

int64_t FakeClock::monotonicMs()
{
    std::lock_guard lock(mutex_);
    return monotonic_ / 1000;
}

int64_t FakeClock::monotonicUs()
{
    std::lock_guard lock(mutex_);
    return monotonic_;
}

int64_t FakeClock::localMicroseconds()
{
    std::lock_guard lock(mutex_);
    return local_;
}

void FakeClock::advanceUs(int64_t us)
{
    if (us <= 0)
        return;
    std::lock_guard lock(mutex_);
    monotonic_ += us;
    local_ += us;
}

void FakeClock::setLocalMicroseconds(int64_t us)
{
    std::lock_guard lock(mutex_);
    local_ = us;
}

ClockRef currentClock()
{
    static const std::shared_ptr<Clock> system = std::make_shared<SystemClock>();
    std::lock_guard lock(overrideMutex);
    return ClockRef(overrideClock ? overrideClock : system);
}

std::shared_ptr<Clock> setClock(std::shared_ptr<Clock> clock)
{
    std::lock_guard lock(overrideMutex);
    std::shared_ptr<Clock> previous = std::move(overrideClock);
    overrideClock = std::move(clock);
    return previous;
}

uint32_t GetTickCount()
{
    return uint32_t(currentClock().monotonicMs());
}
