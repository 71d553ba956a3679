// The window tree: creation and destruction, stale handles, geometry, z-order, show states.
#include "WindowFixture.h"

using WindowsTest = WindowFixture;

TEST_F(WindowsTest, CreationPassesTheParameterAndDestructionRunsParentsThenChildren)
{
    int marker = 0;
    std::vector<LPVOID> seen;
    hook = [&](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (m == WM_NCCREATE || m == WM_CREATE)
            seen.push_back(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
        return std::nullopt;
    };
    HWND top = CreateWindowExA(0, kClass, "Top", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, 0, 0,
                               nullptr, &marker);
    ASSERT_TRUE(IsWindow(top));
    EXPECT_EQ(seen, (std::vector<LPVOID>{&marker, &marker}));
    HWND child = makeChild(top, 10, 10, 100, 100);
    HWND grandchild = makeChild(child, 5, 5, 20, 20);
    log.clear();

    EXPECT_TRUE(DestroyWindow(top));
    std::vector<std::pair<HWND, UINT>> order;
    for (const LoggedMessage& m : log)
        if (m.message == WM_DESTROY || m.message == WM_NCDESTROY)
            order.push_back({m.hwnd, m.message});
    EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{top, WM_DESTROY},
                                                          {child, WM_DESTROY},
                                                          {grandchild, WM_DESTROY},
                                                          {grandchild, WM_NCDESTROY},
                                                          {child, WM_NCDESTROY},
                                                          {top, WM_NCDESTROY}}));
    for (HWND h : {top, child, grandchild})
        EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(display->hasSurface(top));
}

TEST_F(WindowsTest, StaleAndForgedHandlesAreRefused)
{
    HWND window = makeTop(0, 0, 50, 50);
    ASSERT_TRUE(DestroyWindow(window));
    HWND reused = makeTop(0, 0, 50, 50);   // may take the freed slot
    EXPECT_NE(reused, window);
    RECT r;
    POINT p{};
    EXPECT_FALSE(IsWindow(0));
    EXPECT_FALSE(DestroyWindow(0));
    for (HWND bad : {window, HWND(0x12345678)}) {
        EXPECT_FALSE(IsWindow(bad));
        EXPECT_FALSE(DestroyWindow(bad));
        EXPECT_FALSE(GetWindowRect(bad, &r));
        EXPECT_FALSE(SetWindowPos(bad, 0, 1, 1, 1, 1, 0));
        EXPECT_FALSE(ShowWindow(bad, SW_SHOW));
        EXPECT_FALSE(ClientToScreen(bad, &p));
        EXPECT_EQ(SendMessageA(bad, WM_USER, 0, 0), 0);
        EXPECT_EQ(SetTimer(bad, 1, 10, nullptr), 0u);
        EXPECT_EQ(GetWindowDC(bad), 0u);
        HRGN region = CreateRectRgn(0, 0, 1, 1);
        EXPECT_EQ(SetWindowRgn(bad, region, TRUE), 0);
        EXPECT_TRUE(DeleteObject(region));   // a failed call leaves the region with the caller
    }
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    log.clear();
    processPendingMessages();
    EXPECT_TRUE(messagesOf(window).empty());
}

TEST_F(WindowsTest, FailedCreationLeavesNoWindowAndBadRequestsFail)
{
    HWND failing = 0;
    hook = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_CREATE) {
            failing = h;
            return -1;
        }
        return std::nullopt;
    };
    EXPECT_EQ(makeTop(0, 0, 10, 10), 0u);
    EXPECT_FALSE(IsWindow(failing));
    EXPECT_EQ(messagesOf(failing, {WM_NCDESTROY}).size(), 1u);
    EXPECT_TRUE(topLevelWindows().empty());
    hook = nullptr;

    WNDCLASSA again{};
    again.lpfnWndProc = &WindowFixture::proc;
    again.lpszClassName = "lumotestwindow";   // class names ignore case
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(makeChild(HWND(0x777), 0, 0, 1, 1), 0u);
}

TEST_F(WindowsTest, DestructionReleasesCaptureFocusAndTimers)
{
    HWND top = makeTop(0, 0, 100, 100);
    HWND child = makeChild(top, 0, 0, 50, 50);
    SetCapture(child);
    SetFocus(child);
    SetTimer(child, 7, 100, nullptr);
    DestroyWindow(child);
    EXPECT_EQ(GetCapture(), 0u);
    EXPECT_EQ(GetFocus(), 0u);
    log.clear();
    clock->advanceMs(500);
    processPendingMessages();
    EXPECT_TRUE(logged(WM_TIMER).empty());
    EXPECT_TRUE(IsWindow(top));
    EXPECT_EQ(GetWindow(top, GW_CHILD), 0u);
}

TEST_F(WindowsTest, FramedWindowGeometryAndCoordinateMapping)
{
    HWND framed = makeTop(100, 50, 300, 200, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    RECT client, window;
    GetClientRect(framed, &client);
    GetWindowRect(framed, &window);
    int frame = GetSystemMetrics(SM_CXFRAME), caption = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(client.right, 300 - 2 * frame);
    EXPECT_EQ(client.bottom, 200 - 2 * frame - caption);
    EXPECT_EQ(window.left, 100);
    EXPECT_EQ(window.bottom, 250);

    HWND child = makeChild(framed, 10, 20, 50, 50);
    GetWindowRect(child, &window);
    EXPECT_EQ(window.left, 100 + frame + 10);
    EXPECT_EQ(window.top, 50 + frame + caption + 20);
    POINT p{1, 2};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, window.left + 1);
    ScreenToClient(framed, &p);
    EXPECT_EQ(p.x, 11);
    EXPECT_EQ(p.y, 22);
    POINT q{0, 0};
    MapWindowPoints(child, framed, &q, 1);
    EXPECT_EQ(q.x, 10);
    EXPECT_EQ(q.y, 20);
}

TEST_F(WindowsTest, SetWindowPosReportsMoveAndSizeOnlyWhenTheyChange)
{
    HWND window = makeTop(0, 0, 100, 100);
    log.clear();
    SetWindowPos(window, 0, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(messagesOf(window, {WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}),
              (std::vector<UINT>{WM_WINDOWPOSCHANGED, WM_MOVE}));
    log.clear();
    MoveWindow(window, 10, 20, 40, 30, TRUE);
    EXPECT_EQ(messagesOf(window, {WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_SIZE}));
    EXPECT_EQ(logged(WM_SIZE).back().lParam, MAKELPARAM(40, 30));
    EXPECT_EQ(display->surfaceRect(window).right, 50);
}

TEST_F(WindowsTest, ShowStatesSendTheirSizeKinds)
{
    HWND window = makeTop(10, 10, 100, 100, WS_OVERLAPPEDWINDOW);
    EXPECT_FALSE(IsWindowVisible(window));
    log.clear();
    ShowWindow(window, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(display->isShown(window));
    EXPECT_EQ(messagesOf(window, {WM_SHOWWINDOW}).size(), 1u);
    EXPECT_EQ(GetActiveWindow(), window);

    auto lastSizeKind = [] { return logged(WM_SIZE).back().wParam; };
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_TRUE(display->isMinimized(window));
    EXPECT_EQ(lastSizeKind(), SIZE_MINIMIZED);
    ShowWindow(window, SW_RESTORE);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(lastSizeKind(), SIZE_RESTORED);
    ShowWindow(window, SW_MAXIMIZE);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_EQ(lastSizeKind(), SIZE_MAXIMIZED);
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
    ShowWindow(window, SW_RESTORE);
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right, 110);
    EXPECT_EQ(lastSizeKind(), SIZE_RESTORED);
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(display->isShown(window));
}

TEST_F(WindowsTest, TopmostWindowsStayAboveAndTextReachesTheTitle)
{
    HWND topmost = makeTop(0, 0, 10, 10, WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST);
    HWND later = makeTop(0, 0, 10, 10);
    EXPECT_EQ(GetTopWindow(0), topmost);
    EXPECT_EQ(GetWindow(topmost, GW_HWNDNEXT), later);
    SetWindowPos(topmost, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetTopWindow(0), later);
    EXPECT_EQ(display->stacking().front(), later);

    SetWindowTextA(later, "Recorder");
    char buffer[5];
    EXPECT_EQ(GetWindowTextA(later, buffer, sizeof buffer), 4);
    EXPECT_STREQ(buffer, "Reco");
    EXPECT_EQ(display->title(later), "Recorder");
    SetWindowLongPtrA(later, GWLP_USERDATA, 42);
    EXPECT_EQ(GetWindowLongPtrA(later, GWLP_USERDATA), 42);
}
