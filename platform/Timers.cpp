#include "platform/Timers.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/Clock.h"
#include "platform/Messages.h"

namespace {

struct Timer
{
    HWND window = 0;
    UINT_PTR id = 0;
    UINT interval = 0;
    TIMERPROC proc = nullptr;
    int64_t deadline = 0;
    uint64_t sequence = 0;   // equal deadlines keep the order they were set in
};

struct TimerQueue
{
    std::vector<Timer> timers;   // ordered by (deadline, sequence)
    uint64_t nextSequence = 0;
    UINT_PTR nextThreadTimerId = 0;

    void insert(Timer t)
    {
        t.sequence = nextSequence++;
        auto at = std::upper_bound(timers.begin(), timers.end(), t, [](const Timer& a, const Timer& b) {
            return a.deadline != b.deadline ? a.deadline < b.deadline : a.sequence < b.sequence;
        });
        timers.insert(at, t);
    }
    bool remove(HWND window, UINT_PTR id)
    {
        auto it = std::find_if(timers.begin(), timers.end(),
                               [&](const Timer& t) { return t.window == window && t.id == id; });
        if (it == timers.end())
            return false;
        timers.erase(it);
        return true;
    }
};

TimerQueue& queue()
{
    static TimerQueue q;
    return q;
}

bool isTimerMessage(const MSG& m, HWND window, UINT_PTR id)
{
    return m.message == WM_TIMER && m.hwnd == window && m.wParam == id;
}

}  // namespace

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (window && !IsWindow(window))
        return 0;
    TimerQueue& q = queue();
    if (!window) {
        bool exists = id && std::any_of(q.timers.begin(), q.timers.end(),
                                        [&](const Timer& t) { return !t.window && t.id == id; });
        if (!exists)
            id = ++q.nextThreadTimerId;
    }
    q.remove(window, id);
    UINT interval = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, 0x7FFFFFFF);
    q.insert(Timer{window, id, interval, proc, currentClock().monotonicMs() + interval, 0});
    return window ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND window, UINT_PTR id)
{
    bool removed = queue().remove(window, id);
    removeQueued([&](const MSG& m) { return isTimerMessage(m, window, id); });
    return removed ? TRUE : FALSE;
}

bool postDueTimers()
{
    TimerQueue& q = queue();
    int64_t now = currentClock().monotonicMs();
    std::vector<Timer> due;
    while (!q.timers.empty() && q.timers.front().deadline <= now) {
        due.push_back(q.timers.front());
        q.timers.erase(q.timers.begin());
    }
    bool posted = false;
    for (Timer& t : due) {
        if (!anyQueued([&](const MSG& m) { return isTimerMessage(m, t.window, t.id); })) {
            postToQueue(MSG{t.window, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), DWORD(now), {}});
            posted = true;
        }
        t.deadline = now + t.interval;
        q.insert(t);
    }
    return posted;
}

int msUntilNextTimer()
{
    TimerQueue& q = queue();
    if (q.timers.empty())
        return -1;
    int64_t wait = q.timers.front().deadline - currentClock().monotonicMs();
    return int(std::clamp<int64_t>(wait, 0, INT_MAX));
}

bool timerIsLive(HWND window, UINT_PTR id, TIMERPROC proc)
{
    const auto& timers = queue().timers;
    return std::any_of(timers.begin(), timers.end(), [&](const Timer& t) {
        return t.window == window && t.id == id && t.proc == proc;
    });
}

void killTimersOf(HWND window)
{
    std::erase_if(queue().timers, [&](const Timer& t) { return t.window == window; });
    removeQueued([&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == window; });
}

void resetTimers()
{
    queue().timers.clear();
}
