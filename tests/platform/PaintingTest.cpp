// Update regions, WM_PAINT, window DCs clipped to what can be seen, and what reaches the
// display (checked on the headless screenshots).
#include "WindowFixture.h"

using PaintingTest = WindowFixture;

namespace {
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
}  // namespace

TEST_F(PaintingTest, InvalidatedRectanglesArriveAsOnePaintWithTheirBounds)
{
    HWND window = makeTop(0, 0, 100, 100);
    processPendingMessages();
    std::vector<RECT> painted;
    hook = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT)
            return std::nullopt;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        painted.push_back(ps.rcPaint);
        HBRUSH brush = CreateSolidBrush(kRed);
        RECT all{0, 0, 100, 100};
        FillRect(dc, &all, brush);   // the DC is clipped to the update region
        DeleteObject(brush);
        EndPaint(h, &ps);
        return 0;
    };
    RECT a{10, 10, 20, 20}, b{30, 15, 40, 25};
    InvalidateRect(window, &a, FALSE);
    InvalidateRect(window, &b, FALSE);
    processPendingMessages();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].left, 10);
    EXPECT_EQ(painted[0].top, 10);
    EXPECT_EQ(painted[0].right, 40);
    EXPECT_EQ(painted[0].bottom, 25);
    Screenshot shot = display->screenshot(window);
    EXPECT_EQ(shot.at(15, 15), kRed);
    EXPECT_EQ(shot.at(35, 20), kRed);
    EXPECT_EQ(shot.at(25, 15), GetSysColor(COLOR_WINDOW));   // inside the bounds, outside both
    processPendingMessages();
    EXPECT_EQ(painted.size(), 1u);
}

TEST_F(PaintingTest, AWindowThatDoesNotValidateIsNotPaintedForever)
{
    HWND window = makeTop(0, 0, 10, 10);
    hook = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        return m == WM_PAINT ? std::optional<LRESULT>(0) : std::nullopt;
    };
    processPendingMessages();
    InvalidateRect(window, nullptr, TRUE);
    log.clear();
    processPendingMessages();
    EXPECT_EQ(messagesOf(window, {WM_PAINT}).size(), 1u);
}

TEST_F(PaintingTest, ChildIsClippedBySiblingAboveAndByItsRegion)
{
    HWND parent = makeTop(0, 0, 200, 200);
    HWND lower = makeChild(parent, 20, 20, 100, 100);
    HWND upper = makeChild(parent, 80, 80, 100, 100);   // created later: above lower
    paintColor[parent] = kGreen;
    paintColor[lower] = kRed;
    paintColor[upper] = kBlue;
    // lower loses its top-left quarter.
    HRGN shape = CreateRectRgn(0, 0, 100, 100);
    HRGN corner = CreateRectRgn(0, 0, 50, 50);
    CombineRgn(shape, shape, corner, RGN_DIFF);
    DeleteObject(corner);
    SetWindowRgn(lower, shape, TRUE);
    processPendingMessages();

    Screenshot shot = display->screenshot(parent);
    EXPECT_EQ(shot.at(90, 30), kRed);     // lower, in its region
    EXPECT_EQ(shot.at(30, 30), kGreen);   // lower's cut-away corner shows the parent
    EXPECT_EQ(shot.at(100, 100), kBlue);  // the overlap belongs to upper
    EXPECT_EQ(shot.at(170, 170), kBlue);
    EXPECT_EQ(shot.at(190, 10), kGreen);

    // Drawing through lower's own DC stays out of upper and out of the cut corner.
    HDC dc = GetDC(lower);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    RECT all{0, 0, 100, 100};
    FillRect(dc, &all, white);
    EXPECT_EQ(GetPixel(dc, 10, 10), CLR_INVALID);
    ReleaseDC(lower, dc);
    DeleteObject(white);
    processPendingMessages();
    shot = display->screenshot(parent);
    EXPECT_EQ(shot.at(90, 30), RGB(255, 255, 255));
    EXPECT_EQ(shot.at(30, 30), kGreen);
    EXPECT_EQ(shot.at(100, 100), kBlue);
}

// The same clipping inside the client area of a framed parent that clips its children:
// siblings and children are placed from the client area's corner, not the window's.
TEST_F(PaintingTest, ClippingFollowsTheClientAreaOfAFramedParent)
{
    HWND parent = makeTop(0, 0, 240, 240, WS_CAPTION | WS_VISIBLE | WS_CLIPCHILDREN);
    HWND lower = makeChild(parent, 20, 20, 100, 100);
    HWND upper = makeChild(parent, 80, 80, 100, 100);
    paintColor[parent] = kGreen;
    paintColor[lower] = kRed;
    paintColor[upper] = kBlue;
    processPendingMessages();
    POINT o{0, 0};
    ClientToScreen(parent, &o);
    ASSERT_GT(o.y, 10) << "the caption moves the client area down";
    auto fill = [](HWND window, COLORREF colour) {
        HDC dc = GetDC(window);
        HBRUSH brush = CreateSolidBrush(colour);
        RECT all{0, 0, 240, 240};
        FillRect(dc, &all, brush);
        ReleaseDC(window, dc);
        DeleteObject(brush);
    };
    const COLORREF kWhite = RGB(255, 255, 255), kYellow = RGB(255, 255, 0);
    fill(lower, kWhite);
    fill(parent, kYellow);
    processPendingMessages();
    Screenshot shot = display->screenshot(parent);
    auto at = [&](int x, int y) { return shot.at(o.x + x, o.y + y); };
    EXPECT_EQ(at(100, 70), kWhite);    // lower, above upper
    EXPECT_EQ(at(100, 100), kBlue);    // the overlap is upper's
    EXPECT_EQ(at(30, 25), kWhite);     // the parent's drawing leaves its children alone
    EXPECT_EQ(at(175, 175), kBlue);
    EXPECT_EQ(at(30, 130), kYellow);   // and reaches everything else
    EXPECT_EQ(at(185, 100), kYellow);
}

TEST_F(PaintingTest, HidingAChildRepaintsWhatWasUnderIt)
{
    HWND parent = makeTop(0, 0, 100, 100);
    HWND child = makeChild(parent, 10, 10, 30, 30);
    paintColor[parent] = kGreen;
    paintColor[child] = kRed;
    processPendingMessages();
    EXPECT_EQ(display->screenshot(parent).at(20, 20), kRed);
    ShowWindow(child, SW_HIDE);
    processPendingMessages();
    EXPECT_EQ(display->screenshot(parent).at(20, 20), kGreen);
    MoveWindow(child, 50, 50, 30, 30, TRUE);
    ShowWindow(child, SW_SHOWNA);
    processPendingMessages();
    EXPECT_EQ(display->screenshot(parent).at(60, 60), kRed);
}

TEST_F(PaintingTest, TopLevelRegionShapesTheScreenshot)
{
    HWND window = makeTop(0, 0, 60, 60);
    paintColor[window] = kBlue;
    SetWindowRgn(window, CreateRectRgn(10, 10, 60, 60), TRUE);
    processPendingMessages();
    Screenshot shot = display->screenshot(window);
    EXPECT_EQ(shot.width, 60);
    EXPECT_EQ(shot.at(5, 5), HeadlessDisplay::kOutsideShape);
    EXPECT_EQ(shot.at(30, 30), kBlue);
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(window, copy), SIMPLEREGION);
    RECT box;
    GetRgnBox(copy, &box);
    EXPECT_EQ(box.left, 10);
    DeleteObject(copy);
    SetWindowRgn(window, 0, TRUE);
    processPendingMessages();
    EXPECT_EQ(display->screenshot(window).at(5, 5), kBlue);
}

TEST_F(PaintingTest, FramedWindowGetsCaptionFrameAndErasedClient)
{
    HWND window = makeTop(0, 0, 200, 100, WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    processPendingMessages();
    Screenshot shot = display->screenshot(window);
    int frame = GetSystemMetrics(SM_CXDLGFRAME);
    EXPECT_EQ(shot.at(frame, frame + 8), GetSysColor(COLOR_ACTIVECAPTION));   // gradient start
    EXPECT_EQ(shot.at(0, 50), GetSysColor(COLOR_3DLIGHT));                     // outer edge
    EXPECT_EQ(shot.at(199, 50), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(shot.at(100, 60), GetSysColor(COLOR_WINDOW));                    // class brush
}

// What a window DC may reach, and which window a point finds, are kept between calls: each
// change of the tree must show in the next DC and the next look-up, however it was made.
TEST_F(PaintingTest, KeptClipAndHitTestFollowEveryChangeOfTheTree)
{
    HWND parent = makeTop(0, 0, 200, 200);
    HWND lower = makeChild(parent, 0, 0, 100, 100);
    HWND upper = makeChild(parent, 150, 150, 40, 40);   // above lower, clear of it for now
    processPendingMessages();
    const POINT inLower{60, 60};
    auto reaches = [&](int x, int y) {
        HDC dc = GetDC(lower);
        const bool drawable = GetPixel(dc, x, y) != CLR_INVALID;
        ReleaseDC(lower, dc);
        return drawable;
    };
    ASSERT_TRUE(reaches(60, 60));
    ASSERT_EQ(WindowFromPoint(inLower), lower);

    SetWindowPos(upper, 0, 50, 50, 40, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_FALSE(reaches(60, 60));
    EXPECT_EQ(WindowFromPoint(inLower), upper);
    EXPECT_TRUE(reaches(10, 10));

    ShowWindow(upper, SW_HIDE);
    EXPECT_TRUE(reaches(60, 60));
    EXPECT_EQ(WindowFromPoint(inLower), lower);

    // A region changed in place after it was given to the window still shapes it.
    HRGN shape = CreateRectRgn(0, 0, 100, 100);
    SetWindowRgn(lower, shape, TRUE);
    EXPECT_TRUE(reaches(10, 10));
    HRGN corner = CreateRectRgn(0, 0, 20, 20);
    CombineRgn(shape, shape, corner, RGN_DIFF);
    DeleteObject(corner);
    EXPECT_FALSE(reaches(10, 10));
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), parent);
    OffsetRgn(shape, 50, 50);
    EXPECT_FALSE(reaches(30, 30));
    EXPECT_TRUE(reaches(80, 80));

    // A window on top and one destroyed.
    HWND cover = makeChild(parent, 70, 70, 20, 20);
    EXPECT_FALSE(reaches(80, 80));
    EXPECT_EQ(WindowFromPoint(POINT{80, 80}), cover);
    DestroyWindow(cover);
    EXPECT_TRUE(reaches(80, 80));
    EXPECT_EQ(WindowFromPoint(POINT{80, 80}), lower);
}
