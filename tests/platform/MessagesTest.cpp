// Sending, posting, the blocking loop across threads, keyboard translation and timers.
#include <chrono>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "WindowFixture.h"

using MessagesTest = WindowFixture;

TEST_F(MessagesTest, SendMessageIsSynchronousAndReentrant)
{
    HWND window = makeTop(0, 0, 10, 10);
    std::vector<std::string> trace;
    hook = [&](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER) {
            trace.push_back("outer in");
            LRESULT inner = SendMessageA(h, WM_USER + 1, w + 1, 0);
            trace.push_back("outer out");
            return inner * 10;
        }
        if (m == WM_USER + 1) {
            trace.push_back("inner");
            return LRESULT(w);
        }
        return std::nullopt;
    };
    EXPECT_EQ(SendMessageA(window, WM_USER, 4, 0), 50);
    EXPECT_EQ(trace, (std::vector<std::string>{"outer in", "inner", "outer out"}));
}

TEST_F(MessagesTest, ADestroyedWindowsQueuedMessagesAreNotDelivered)
{
    HWND window = makeTop(0, 0, 10, 10);
    PostMessageA(window, WM_USER, 0, 0);
    DestroyWindow(window);
    log.clear();
    processPendingMessages();
    EXPECT_TRUE(log.empty());
}

TEST_F(MessagesTest, PostFromAnotherThreadWakesABlockedGetMessage)
{
    HWND window = makeTop(0, 0, 10, 10);
    processPendingMessages();
    std::thread poster([window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PostMessageA(window, WM_APP, 7, 0);
    });
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, 0, 0, 0), TRUE);   // the fake clock never moves: only the post wakes it
    poster.join();
    EXPECT_EQ(msg.message, WM_APP);
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(MessagesTest, SendFromAnotherThreadRunsOnTheUiThread)
{
    HWND window = makeTop(0, 0, 10, 10);
    std::thread::id handledOn;
    hook = [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_APP + 1) {
            handledOn = std::this_thread::get_id();
            return LRESULT(w * 2);
        }
        return std::nullopt;
    };
    LRESULT answer = 0;
    std::thread sender([&] {
        answer = SendMessageA(window, WM_APP + 1, 21, 0);
        PostMessageA(window, WM_APP + 2, 0, 0);
    });
    MSG msg{};
    while (GetMessageA(&msg, 0, 0, 0) && msg.message != WM_APP + 2)
        DispatchMessageA(&msg);
    sender.join();
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
}

TEST_F(MessagesTest, AWindowProcedureThrowingForACrossThreadSendAnswersTheSenderWithZero)
{
    HWND window = makeTop(0, 0, 10, 10);
    hook = [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_APP + 1 && w == 1)
            throw std::runtime_error("procedure failed");
        if (m == WM_APP + 1)
            return LRESULT(7);
        return std::nullopt;
    };
    LRESULT failed = -1, next = -1;
    std::thread sender([&] {
        failed = SendMessageA(window, WM_APP + 1, 1, 0);
        next = SendMessageA(window, WM_APP + 1, 2, 0);   // the loop still answers
        PostMessageA(window, WM_APP + 2, 0, 0);
    });
    testing::internal::CaptureStderr();
    MSG msg{};
    while (GetMessageA(&msg, 0, 0, 0) && msg.message != WM_APP + 2)
        DispatchMessageA(&msg);
    const std::string printed = testing::internal::GetCapturedStderr();
    sender.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(next, 7);
    EXPECT_NE(printed.find("procedure failed"), std::string::npos) << printed;
}

TEST(ClockSwap, AClockReplacedWhileAnotherThreadReadsItStaysAliveForThatReader)
{
    std::atomic<bool> stop{false};
    std::atomic<int64_t> reads{0};
    std::thread reader([&] {
        int64_t last = 0;
        while (!stop) {
            last += currentClock().monotonicUs() >= 0 ? 1 : 0;
            reads = last;
        }
    });
    while (reads == 0)
        std::this_thread::yield();
    // Each fake clock is freed as soon as it is replaced, unless a reader still holds it
    // (the sanitizer builds see a read of a freed clock).
    for (int i = 0; i < 2000; ++i)
        setClock(std::make_shared<FakeClock>(i));
    setClock(nullptr);
    stop = true;
    reader.join();
    EXPECT_GT(reads.load(), 1);
}

TEST_F(MessagesTest, QuitComesAfterQueuedMessagesAndSurvivesThePumpHelper)
{
    HWND window = makeTop(0, 0, 10, 10);
    processPendingMessages();
    PostQuitMessage(3);
    PostMessageA(window, WM_USER, 0, 0);
    log.clear();
    processPendingMessages();
    EXPECT_EQ(messagesOf(window, {WM_USER}).size(), 1u);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, 0, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, KeysReachTheFocusAndPrintableOnesBecomeCharacters)
{
    HWND window = makeTop(0, 0, 10, 10);
    HWND edit = makeChild(window, 0, 0, 5, 5);
    SetFocus(edit);
    log.clear();
    display->keyDown('A');
    display->keyUp('A');
    display->keyDown(VK_SHIFT);
    display->keyDown('B');
    display->keyDown(VK_LEFT);
    processPendingMessages();
    std::vector<WPARAM> chars;
    for (const LoggedMessage& m : logged(WM_CHAR)) {
        EXPECT_EQ(m.hwnd, edit);
        chars.push_back(m.wParam);
    }
    EXPECT_EQ(chars, (std::vector<WPARAM>{'a', 'B'}));
    EXPECT_EQ(messagesOf(edit, {WM_KEYDOWN, WM_CHAR, WM_KEYUP}),
              (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_KEYDOWN, WM_KEYDOWN, WM_CHAR,
                                 WM_KEYDOWN}));
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
}

namespace {
std::vector<UINT_PTR> timerLog;
void timerProc(HWND, UINT, UINT_PTR id, DWORD) { timerLog.push_back(id); }
}  // namespace

TEST_F(MessagesTest, TimersFireInDeadlineOrderAndALateRepeatingTimerFiresOnce)
{
    HWND window = makeTop(0, 0, 10, 10);
    SetTimer(window, 1, 300, nullptr);
    SetTimer(window, 2, 100, nullptr);
    SetTimer(window, 3, 200, nullptr);
    auto firedIds = [] {
        std::vector<WPARAM> ids;
        for (const LoggedMessage& m : logged(WM_TIMER))
            ids.push_back(m.wParam);
        log.clear();
        return ids;
    };
    processPendingMessages();
    log.clear();
    clock->advanceMs(99);
    processPendingMessages();
    EXPECT_TRUE(firedIds().empty());
    clock->advanceMs(251);   // t = 350
    processPendingMessages();
    EXPECT_EQ(firedIds(), (std::vector<WPARAM>{2, 3, 1}));
    clock->advanceMs(5000);   // many intervals missed: each fires once, still in deadline order
    processPendingMessages();
    EXPECT_EQ(firedIds(), (std::vector<WPARAM>{2, 3, 1}));
    KillTimer(window, 2);
    clock->advanceMs(300);
    processPendingMessages();
    EXPECT_EQ(firedIds(), (std::vector<WPARAM>{3, 1}));
}

TEST_F(MessagesTest, TimerSetInsideATimerWaitsForTheNextRoundAndKillDropsAQueuedTick)
{
    HWND window = makeTop(0, 0, 10, 10);
    hook = [&](HWND h, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_TIMER && w == 1)
            SetTimer(h, 9, 0, nullptr);   // clamped to the minimum interval
        return std::nullopt;
    };
    SetTimer(window, 1, 50, nullptr);
    clock->advanceMs(50);
    processPendingMessages();
    EXPECT_EQ(messagesOf(window, {WM_TIMER}).size(), 1u);
    log.clear();
    clock->advanceMs(USER_TIMER_MINIMUM);
    processPendingMessages();
    ASSERT_EQ(logged(WM_TIMER).size(), 1u);
    EXPECT_EQ(logged(WM_TIMER)[0].wParam, 9u);

    hook = nullptr;
    KillTimer(window, 9);
    clock->advanceMs(50);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE));   // the tick is now queued
    EXPECT_EQ(msg.message, WM_TIMER);
    KillTimer(window, 1);
    log.clear();
    processPendingMessages();
    EXPECT_TRUE(logged(WM_TIMER).empty());
}

TEST_F(MessagesTest, TimerProcsAndThreadTimersAreCalled)
{
    timerLog.clear();
    UINT_PTR id = SetTimer(0, 0, 20, &timerProc);
    ASSERT_NE(id, 0u);
    clock->advanceMs(20);
    processPendingMessages();
    EXPECT_EQ(timerLog, std::vector<UINT_PTR>{id});
    KillTimer(0, id);
    clock->advanceMs(100);
    processPendingMessages();
    EXPECT_EQ(timerLog.size(), 1u);
}
