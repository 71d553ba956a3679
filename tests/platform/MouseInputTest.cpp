// Hit-testing and the routing of injected mouse input: capture, non-client drags and the
// close box, double clicks, activation and the cursor.
#include "WindowFixture.h"

using MouseInputTest = WindowFixture;

TEST_F(MouseInputTest, WindowFromPointHonoursRegionsVisibilityAndZOrder)
{
    HWND behind = makeTop(0, 0, 100, 100);
    HWND front = makeTop(0, 0, 100, 100);
    HWND child = makeChild(front, 50, 50, 20, 20);
    SetWindowRgn(front, CreateRectRgn(20, 20, 100, 100), TRUE);
    EXPECT_EQ(WindowFromPoint({10, 10}), behind);   // the cut-away corner
    EXPECT_EQ(WindowFromPoint({30, 30}), front);
    EXPECT_EQ(WindowFromPoint({55, 55}), child);
    EnableWindow(child, FALSE);
    EXPECT_EQ(WindowFromPoint({55, 55}), child);    // disabled windows are still found
    ShowWindow(child, SW_HIDE);
    EXPECT_EQ(WindowFromPoint({55, 55}), front);
    SetWindowPos(behind, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(WindowFromPoint({30, 30}), behind);
    ShowWindow(behind, SW_HIDE);
    EXPECT_EQ(WindowFromPoint({30, 30}), front);
    EXPECT_EQ(WindowFromPoint({500, 500}), 0u);
    EXPECT_EQ(ChildWindowFromPoint(front, {55, 55}), child);
}

// The wheel goes up through the children's default handling to the first window that takes
// it, unchanged; a top-level window hands it to nobody.
TEST_F(MouseInputTest, TheWheelRisesFromChildToParentUntilOneHandlesIt)
{
    HWND top = makeTop(0, 0, 200, 200);
    HWND panel = makeChild(top, 10, 10, 150, 150);
    HWND button = makeChild(panel, 10, 10, 40, 40);
    const WPARAM turn = WPARAM(uint16_t(-WHEEL_DELTA)) << 16;
    const LPARAM at = MAKELPARAM(25, 25);
    EXPECT_EQ(SendMessageA(button, WM_MOUSEWHEEL, turn, at), 0);
    auto wheels = logged(WM_MOUSEWHEEL);
    ASSERT_EQ(wheels.size(), 3u);
    EXPECT_EQ(wheels[0].hwnd, button);
    EXPECT_EQ(wheels[1].hwnd, panel);
    EXPECT_EQ(wheels[2].hwnd, top);
    for (const LoggedMessage& m : wheels)
        EXPECT_TRUE(m.wParam == turn && m.lParam == at);

    log.clear();
    hook = [panel](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (h == panel && m == WM_MOUSEWHEEL)
            return 0;   // the panel scrolls
        return std::nullopt;
    };
    SendMessageA(button, WM_MOUSEWHEEL, turn, at);
    EXPECT_EQ(logged(WM_MOUSEWHEEL).size(), 2u);
    EXPECT_TRUE(messagesOf(top, {WM_MOUSEWHEEL}).empty());
}

TEST_F(MouseInputTest, CapturedWindowGetsMovesOutsideInItsClientCoordinates)
{
    HWND top = makeTop(100, 100, 200, 200);
    HWND button = makeChild(top, 50, 50, 40, 40);
    hook = [](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_LBUTTONDOWN)
            SetCapture(h);
        if (m == WM_LBUTTONUP)
            ReleaseCapture();
        return std::nullopt;
    };
    display->pressMouse(160, 160);
    display->moveMouse(120, 110);   // over the top-level, outside the button
    display->moveMouse(20, 30);     // off both windows
    display->releaseMouse(20, 30);
    processPendingMessages();

    auto moves = logged(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 2u);
    for (const LoggedMessage& m : moves)
        EXPECT_EQ(m.hwnd, button);
    EXPECT_EQ(GET_X_LPARAM(moves[1].lParam), 20 - 150);
    EXPECT_EQ(GET_Y_LPARAM(moves[1].lParam), 30 - 150);
    EXPECT_EQ(moves[1].wParam & MK_LBUTTON, MK_LBUTTON);
    auto ups = logged(WM_LBUTTONUP);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(ups[0].hwnd, button);
    EXPECT_EQ(messagesOf(button, {WM_CAPTURECHANGED}).size(), 1u);
    EXPECT_EQ(GetCapture(), 0u);
    EXPECT_TRUE(logged(WM_NCMOUSEMOVE).empty());
}

TEST_F(MouseInputTest, CaptionDragMovesAFramedWindowAndTheCloseBoxCloses)
{
    HWND window = makeTop(100, 100, 300, 200, WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    processPendingMessages();
    display->pressMouse(150, 110);
    display->moveMouse(200, 150);
    display->moveMouse(250, 160);
    display->releaseMouse(250, 160);
    processPendingMessages();
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 150);
    EXPECT_EQ(display->surfaceRect(window).left, 200);
    EXPECT_EQ(GetCapture(), 0u);
    EXPECT_FALSE(logged(WM_MOVE).empty());

    // The close box sits at the right end of the caption.
    display->moveMouse(0, 0);
    processPendingMessages();
    int x = r.right - GetSystemMetrics(SM_CXDLGFRAME) - 10;
    int y = r.top + GetSystemMetrics(SM_CYDLGFRAME) + 8;
    EXPECT_EQ(SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)), HTCLOSE);
    log.clear();
    display->click(x, y);
    processPendingMessages();
    EXPECT_EQ(messagesOf(window, {WM_CLOSE}).size(), 1u);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(MouseInputTest, PressingTheCloseBoxAndReleasingElsewhereDoesNotClose)
{
    HWND window = makeTop(0, 0, 300, 200, WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    int x = 300 - 3 - 10, y = 3 + 8;
    display->pressMouse(x, y);
    display->releaseMouse(100, 100);
    processPendingMessages();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(logged(WM_CLOSE).empty());
}

TEST_F(MouseInputTest, DoubleClicksNeedTheClassStyleAndTheTimeLimit)
{
    HWND window = makeTop(0, 0, 100, 100);
    display->click(10, 10);
    display->click(11, 10);
    processPendingMessages();
    EXPECT_EQ(messagesOf(window, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}));
    log.clear();
    display->click(10, 10);
    processPendingMessages();
    clock->advanceMs(GetDoubleClickTime() + 1);
    display->click(10, 10);
    processPendingMessages();
    EXPECT_EQ(messagesOf(window, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
}

TEST_F(MouseInputTest, ClickActivatesDisabledGetsNothingAndTheClassCursorIsSet)
{
    HWND first = makeTop(0, 0, 100, 100);
    HWND second = makeTop(200, 0, 100, 100);
    EXPECT_EQ(GetActiveWindow(), second);
    log.clear();
    display->click(50, 50);
    processPendingMessages();
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetTopWindow(0), first);
    EXPECT_EQ(messagesOf(second, {WM_ACTIVATE}).size(), 1u);
    EXPECT_EQ(display->cursor(), 32649);   // the class's IDC_HAND

    EnableWindow(second, FALSE);
    log.clear();
    display->click(250, 50);
    processPendingMessages();
    EXPECT_TRUE(messagesOf(second, {WM_LBUTTONDOWN, WM_LBUTTONUP}).empty());
    EXPECT_EQ(GetActiveWindow(), first);
}

// The cursor is asked for on every move; a press or release where the last answer still
// stands asks nothing, but one where another window or another part is under the pointer,
// or after the cursor was set from elsewhere, asks again.
TEST_F(MouseInputTest, PressesAskForTheCursorOnlyWhenItCouldHaveChanged)
{
    HWND window = makeTop(0, 0, 100, 100);
    HWND child = makeChild(window, 50, 50, 40, 40);
    display->moveMouse(10, 10);
    display->click(10, 10);
    processPendingMessages();
    EXPECT_EQ(messagesOf(window, {WM_SETCURSOR}).size(), 1u);
    EXPECT_EQ(messagesOf(window, {WM_LBUTTONDOWN, WM_LBUTTONUP}).size(), 2u);

    log.clear();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    display->click(10, 10);
    display->click(60, 60);   // the child, with no move first
    processPendingMessages();
    EXPECT_EQ(messagesOf(window, {WM_SETCURSOR}).size(), 2u) << "the press after SetCursor; the child's parent";
    EXPECT_EQ(messagesOf(child, {WM_SETCURSOR}).size(), 1u);
    EXPECT_EQ(display->cursor(), 32649) << "the class's IDC_HAND again";
    for (const LoggedMessage& m : logged(WM_SETCURSOR))
        EXPECT_EQ(HIWORD(m.lParam), WM_LBUTTONDOWN);
}
