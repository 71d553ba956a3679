// The message queue, sending and posting, and the message loop calls.
#include "platform/Messages.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <exception>
#include <future>
#include <memory>
#include <mutex>

#include "platform/Clock.h"
#include "platform/MouseInput.h"
#include "platform/Painting.h"
#include "platform/Timers.h"
#include "platform/WindowTree.h"

namespace {

// Threads: any thread posts and sends; the queue's fields are guarded by its mutex. Only the
// user-interface thread takes messages and runs window procedures; a send from another
// thread waits for its answer (0 when the window procedure threw).

// A SendMessageA from another thread, waiting for the user-interface thread to answer.
struct CrossThreadSend
{
    MSG msg{};
    std::promise<LRESULT> answer;
};

struct Queue
{
    std::mutex mutex;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<CrossThreadSend>> sent;
    bool quit = false;
    int exitCode = 0;
};

Queue& queue()
{
    static Queue q;
    return q;
}

DWORD lastTime = 0;
POINT lastPos{};

// Without a display no loop can be waiting, so there is nobody to wake.
void wakeUiThread()
{
    if (std::shared_ptr<DisplayBackend> display = sharedDisplayBackend())
        display->wake();
}

void answerCrossThreadSends()
{
    std::deque<std::shared_ptr<CrossThreadSend>> sent;
    {
        std::lock_guard lock(queue().mutex);
        sent.swap(queue().sent);
    }
    for (auto& s : sent) {
        // The sender waits on another thread: an exception must become an answer there,
        // not unwind through this loop and leave it waiting for ever.
        LRESULT result = 0;
        try {
            result = callWindowProc(s->msg.hwnd, s->msg.message, s->msg.wParam, s->msg.lParam);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Lumo free: message 0x%x sent from another thread failed: %s\n",
                         unsigned(s->msg.message), e.what());
        } catch (...) {
            std::fprintf(stderr, "Lumo free: message 0x%x sent from another thread failed\n",
                         unsigned(s->msg.message));
        }
        s->answer.set_value(result);
    }
}

bool matches(const MSG& m, HWND filter, UINT min, UINT max)
{
    if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd))
        return false;
    return (min == 0 && max == 0) || (m.message >= min && m.message <= max);
}

bool takePosted(MSG* out, HWND filter, UINT min, UINT max, bool remove)
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!matches(*it, filter, min, max))
            continue;
        *out = *it;
        if (remove)
            q.posted.erase(it);
        return true;
    }
    return false;
}

// The classic order: sent messages, posted messages, input, paint, timers, then WM_QUIT.
bool nextMessage(MSG* out, HWND filter, UINT min, UINT max, bool remove, bool allowQuit)
{
    answerCrossThreadSends();
    for (int round = 0; round < 1000; ++round) {
        if (takePosted(out, filter, min, max, remove))
            return true;
        InputEvent event;
        if (!displayBackend().nextInput(event))
            break;
        routeInput(event);
    }
    bool wantsPaint = (min == 0 && max == 0) || (WM_PAINT >= min && WM_PAINT <= max);
    if (wantsPaint) {
        if (HWND window = windowNeedingPaint(filter)) {
            *out = MSG{window, WM_PAINT, 0, 0, GetTickCount(), inputState().cursor};
            return true;
        }
    }
    applyPendingShapes();
    presentDamage();
    if (postDueTimers() && takePosted(out, filter, min, max, remove))
        return true;
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (allowQuit && q.quit) {
        *out = MSG{0, WM_QUIT, WPARAM(q.exitCode), 0, GetTickCount(), inputState().cursor};
        if (remove)
            q.quit = false;
        return true;
    }
    return false;
}

void noteRetrieved(const MSG& msg)
{
    lastTime = msg.time;
    lastPos = msg.pt;
}

}  // namespace

void postToQueue(const MSG& msg)
{
    {
        std::lock_guard lock(queue().mutex);
        queue().posted.push_back(msg);
    }
    wakeUiThread();
}

void postToQueueFront(const MSG& msg)
{
    std::lock_guard lock(queue().mutex);
    queue().posted.push_front(msg);
}

void removeQueued(const std::function<bool(const MSG&)>& match)
{
    std::lock_guard lock(queue().mutex);
    std::erase_if(queue().posted, match);
}

bool anyQueued(const std::function<bool(const MSG&)>& match)
{
    std::lock_guard lock(queue().mutex);
    for (const MSG& m : queue().posted)
        if (match(m))
            return true;
    return false;
}

void resetMessageQueue()
{
    std::lock_guard lock(queue().mutex);
    queue().posted.clear();
    queue().quit = false;
}

LRESULT callWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowObject* w = windowOf(window);
    if (!w)
        return 0;
    WNDPROC proc = w->proc;
    return proc ? proc(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(window))
        return 0;
    if (onUiThread())
        return callWindowProc(window, message, wParam, lParam);
    auto send = std::make_shared<CrossThreadSend>();
    send->msg = MSG{window, message, wParam, lParam, 0, {}};
    std::future<LRESULT> answer = send->answer.get_future();
    {
        std::lock_guard lock(queue().mutex);
        queue().sent.push_back(send);
    }
    wakeUiThread();
    return answer.get();
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window && !IsWindow(window))
        return FALSE;
    postToQueue(MSG{window, message, wParam, lParam, GetTickCount(), {}});
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    {
        std::lock_guard lock(queue().mutex);
        queue().quit = true;
        queue().exitCode = exitCode;
    }
    wakeUiThread();
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg)
        return FALSE;
    noteUiThread();
    if (!nextMessage(msg, window, filterMin, filterMax, removeFlags & PM_REMOVE, true))
        return FALSE;
    noteRetrieved(*msg);
    return TRUE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (!msg || (window && !IsWindow(window)))
        return -1;
    noteUiThread();
    while (!nextMessage(msg, window, filterMin, filterMax, true, true))
        displayBackend().waitForInput(msUntilNextTimer());
    noteRetrieved(*msg);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WaitMessage()
{
    MSG msg;
    while (!nextMessage(&msg, 0, 0, 0, false, true))
        displayBackend().waitForInput(msUntilNextTimer());
    return TRUE;
}

DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE*, BOOL, DWORD dwMilliseconds, DWORD)
{
    if (nCount != 0)
        return WAIT_FAILED;
    noteUiThread();
    MSG msg;
    if (nextMessage(&msg, 0, 0, 0, false, true))
        return WAIT_OBJECT_0;
    int wait = msUntilNextTimer();
    if (dwMilliseconds != INFINITE)
        wait = wait < 0 ? int(std::min<DWORD>(dwMilliseconds, 0x7FFFFFFF)) : std::min<int>(wait, int(std::min<DWORD>(dwMilliseconds, 0x7FFFFFFF)));
    displayBackend().waitForInput(wait);
    return nextMessage(&msg, 0, 0, 0, false, true) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

int processPendingMessages()
{
    noteUiThread();
    // Bounded, so that a window that invalidates itself in every WM_PAINT cannot hang a test.
    constexpr int kLimit = 100000;
    int count = 0;
    MSG msg;
    while (count < kLimit && nextMessage(&msg, 0, 0, 0, true, false)) {
        noteRetrieved(msg);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ++count;
    }
    applyPendingShapes();
    presentDamage();
    return count;
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg || msg->message != WM_KEYDOWN)
        return FALSE;
    int key = int(msg->wParam);
    bool shift = GetKeyState(VK_SHIFT) < 0, control = GetKeyState(VK_CONTROL) < 0;
    int ch = 0;
    if (key >= 'A' && key <= 'Z')
        ch = control ? key - 'A' + 1 : shift ? key : key + ('a' - 'A');
    else if (key >= '0' && key <= '9')
        ch = shift ? ")!@#$%^&*("[key - '0'] : key;
    else if (key == VK_SPACE || key == VK_RETURN || key == VK_BACK || key == VK_TAB || key == VK_ESCAPE)
        ch = key == VK_RETURN ? '\r' : key;
    if (!ch)
        return FALSE;
    postToQueueFront(MSG{msg->hwnd, WM_CHAR, WPARAM(ch), msg->lParam, msg->time, msg->pt});
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        if (timerIsLive(msg->hwnd, msg->wParam, proc))
            proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (!IsWindow(msg->hwnd))
        return 0;
    if (msg->message != WM_PAINT)
        return callWindowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    uint64_t before = validationCount();
    LRESULT result = callWindowProc(msg->hwnd, WM_PAINT, 0, 0);
    if (validationCount() == before)
        validateWhole(msg->hwnd);
    return result;
}

DWORD GetMessageTime()
{
    return lastTime;
}

DWORD GetMessagePos()
{
    return DWORD(MAKELPARAM(lastPos.x, lastPos.y));
}
