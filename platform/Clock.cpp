#include "platform/Clock.h"

#include <sys/time.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

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

// Threads waiting in waitUntilClock, to be woken when time moves by hand. Each registers
// while holding nothing; a notifier takes the registry, then each waiter's mutex for a
// moment, so a waiter between its last look at the clock and its sleep is not missed.
struct ClockWaiter
{
    std::mutex* mutex;
    std::condition_variable* cv;
};
std::mutex waitersMutex;
std::vector<ClockWaiter*> waiters;
std::atomic<uint64_t> clockMoves{0};

void notifyClockWaiters()
{
    ++clockMoves;
    std::lock_guard lock(waitersMutex);
    for (ClockWaiter* w : waiters) {
        { std::lock_guard touch(*w->mutex); }
        w->cv->notify_all();
    }
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
    {
        std::lock_guard lock(mutex_);
        monotonic_ += us;
        local_ += us;
    }
    notifyClockWaiters();
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
    std::shared_ptr<Clock> previous;
    {
        std::lock_guard lock(overrideMutex);
        previous = std::move(overrideClock);
        overrideClock = std::move(clock);
    }
    notifyClockWaiters();   // waiters measure their deadline on the new clock
    return previous;
}

void waitUntilClock(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, int64_t deadlineUs,
                    const std::function<bool()>& done)
{
    ClockWaiter self{lock.mutex(), &cv};
    lock.unlock();
    {
        std::lock_guard registry(waitersMutex);
        waiters.push_back(&self);
    }
    lock.lock();
    while (!done()) {
        const uint64_t moves = clockMoves.load();
        ClockRef clock = currentClock();
        const int64_t now = clock.monotonicUs();
        if (deadlineUs >= 0 && now >= deadlineUs)
            break;
        if (clock.clock().realTime() && deadlineUs >= 0)
            cv.wait_for(lock, std::chrono::microseconds(deadlineUs - now));
        else
            cv.wait(lock, [&] { return clockMoves.load() != moves || done(); });
    }
    lock.unlock();
    {
        std::lock_guard registry(waitersMutex);
        std::erase(waiters, &self);
    }
    lock.lock();
}

uint32_t GetTickCount()
{
    return uint32_t(currentClock().monotonicMs());
}
