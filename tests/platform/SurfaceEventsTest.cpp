// What a real window system does on its own (moves, exposes, iconifies) reaches the window
// layer, and the window layer's hints (owner, capture, pointer) reach the display.
#include <string>

#include "WindowFixture.h"
#include "platform/Messages.h"
#include "platform/MouseInput.h"

namespace {

// A headless display that also records the optional hints.
class HintedDisplay : public HeadlessDisplay
{
public:
    struct Owner { HWND window; HWND owner; bool modal; };
    std::vector<Owner> owners;
    std::vector<HWND> captures;
    bool knowsPointer = false;
    POINT pointer{};
    int pointerQueries = 0;

    void setOwner(HWND window, HWND owner, bool modal) override { owners.push_back({window, owner, modal}); }
    void setCapture(HWND window) override { captures.push_back(window); }
    // Shapes and showings in the order they came, with each shape's bounds.
    std::vector<std::string> shaping;
    std::vector<RECT> shapeBounds;
    void setShape(HWND window, const pixman_region32_t* shape) override
    {
        shaping.push_back("shape");
        const pixman_box32_t* b = shape ? pixman_region32_extents(shape) : nullptr;
        shapeBounds.push_back(b ? RECT{b->x1, b->y1, b->x2, b->y2} : RECT{});
        HeadlessDisplay::setShape(window, shape);
    }
    void showSurface(HWND window, bool visible) override
    {
        shaping.push_back(visible ? "show" : "hide");
        HeadlessDisplay::showSurface(window, visible);
    }
    bool cursorPosition(POINT& where) override
    {
        ++pointerQueries;
        where = pointer;
        return knowsPointer;
    }
};

InputEvent surfaceEvent(InputEvent::Kind kind, HWND window, int x = 0, int y = 0, int w = 0, int h = 0)
{
    InputEvent e;
    e.kind = kind;
    e.window = window;
    e.x = x;
    e.y = y;
    e.width = w;
    e.height = h;
    return e;
}

class SurfaceEvents : public WindowFixture
{
protected:
    std::shared_ptr<HintedDisplay> hinted;

    void SetUp() override
    {
        WindowFixture::SetUp();
        hinted = std::make_shared<HintedDisplay>();
        installDisplayBackend(hinted);
        display = hinted;
    }
};

}  // namespace

TEST_F(SurfaceEvents, MoveByTheWindowSystemUpdatesTheRectangleAndKeepsTheSize)
{
    HWND w = makeTop(10, 20, 100, 50);
    processPendingMessages();
    log.clear();
    routeInput(surfaceEvent(InputEvent::Moved, w, 300, 200));
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.right, 400);
    EXPECT_EQ(r.bottom, 250);
    EXPECT_EQ(messagesOf(w, {WM_MOVE}).size(), 1u);
    // Hit-testing follows: the old place is empty, the new one is the window.
    EXPECT_EQ(WindowFromPoint(POINT{15, 25}), HWND(0));
    EXPECT_EQ(WindowFromPoint(POINT{305, 205}), w);
    // A move to where the window already is sends nothing.
    log.clear();
    routeInput(surfaceEvent(InputEvent::Moved, w, 300, 200));
    EXPECT_TRUE(messagesOf(w, {WM_MOVE, WM_WINDOWPOSCHANGED}).empty());
}

TEST_F(SurfaceEvents, ExposePresentsTheKeptPixelsAgainWithoutRepainting)
{
    HWND w = makeTop(0, 0, 40, 30);
    paintColor[w] = RGB(10, 200, 30);
    processPendingMessages();
    int presents = display->presentCount(w);
    log.clear();
    routeInput(surfaceEvent(InputEvent::Exposed, w, 5, 5, 10, 10));
    processPendingMessages();
    EXPECT_EQ(display->presentCount(w), presents + 1);
    EXPECT_TRUE(messagesOf(w, {WM_PAINT}).empty());
    EXPECT_EQ(display->screenshot(w).at(7, 7), RGB(10, 200, 30));
}

TEST_F(SurfaceEvents, IconifyAndRestoreByTheWindowSystem)
{
    HWND w = makeTop(0, 0, 40, 30);
    processPendingMessages();
    routeInput(surfaceEvent(InputEvent::Minimized, w));
    EXPECT_TRUE(IsIconic(w));
    routeInput(surfaceEvent(InputEvent::Minimized, w));   // twice: still one state
    EXPECT_TRUE(IsIconic(w));
    routeInput(surfaceEvent(InputEvent::Restored, w));
    EXPECT_FALSE(IsIconic(w));
    EXPECT_TRUE(IsWindowVisible(w));
}

TEST_F(SurfaceEvents, EventsForUnknownOrChildWindowsAreIgnored)
{
    HWND top = makeTop(0, 0, 40, 30);
    HWND child = makeChild(top, 5, 5, 10, 10);
    HWND gone = makeTop(0, 0, 10, 10);
    DestroyWindow(gone);
    routeInput(surfaceEvent(InputEvent::Moved, child, 100, 100));
    routeInput(surfaceEvent(InputEvent::Moved, gone, 100, 100));
    routeInput(surfaceEvent(InputEvent::Minimized, HWND(0x7777)));
    RECT r;
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 5);
    EXPECT_FALSE(IsIconic(top));
}

TEST_F(SurfaceEvents, OwnedWindowIsModalWhenItsOwnerIsDisabledAtShow)
{
    HWND owner = makeTop(0, 0, 100, 100);
    HWND plain = CreateWindowExA(0, kClass, "", WS_POPUP, 0, 0, 50, 50, owner, 0, nullptr, nullptr);
    ShowWindow(plain, SW_SHOW);
    EnableWindow(owner, FALSE);
    HWND modal = CreateWindowExA(0, kClass, "", WS_POPUP | WS_CAPTION, 0, 0, 50, 50, owner, 0, nullptr, nullptr);
    ShowWindow(modal, SW_SHOW);
    ShowWindow(modal, SW_SHOW);   // already visible: no second hint
    ASSERT_EQ(hinted->owners.size(), 3u);
    EXPECT_EQ(hinted->owners[0].window, owner);
    EXPECT_EQ(hinted->owners[0].owner, HWND(0)) << "an unowned window is told so: it may have had one";
    EXPECT_EQ(hinted->owners[1].window, plain);
    EXPECT_EQ(hinted->owners[1].owner, owner);
    EXPECT_FALSE(hinted->owners[1].modal);
    EXPECT_EQ(hinted->owners[2].window, modal);
    EXPECT_TRUE(hinted->owners[2].modal);
}

// As on the classic desktop: a dialog never goes behind its owner, a click on the owner it
// disabled brings the dialog forward, and the dialog goes and comes back with its owner.
TEST_F(SurfaceEvents, AnOwnedDialogStaysWithItsOwner)
{
    HWND owner = makeTop(0, 0, 100, 100);
    HWND dialog = CreateWindowExA(0, kClass, "", WS_POPUP, 200, 0, 50, 50, owner, 0, nullptr, nullptr);
    ShowWindow(dialog, SW_SHOW);
    EnableWindow(owner, FALSE);
    HWND other = makeTop(300, 0, 50, 50);
    SetActiveWindow(other);

    BringWindowToTop(owner);
    EXPECT_EQ(GetWindow(owner, GW_HWNDPREV), dialog) << "raised with its owner, above it";

    SetActiveWindow(other);
    BringWindowToTop(other);
    hinted->click(10, 10);   // on the disabled owner
    processPendingMessages();
    EXPECT_EQ(GetActiveWindow(), dialog);
    EXPECT_EQ(GetWindow(dialog, GW_HWNDPREV), HWND(0)) << "the dialog is in front";

    ShowWindow(owner, SW_MINIMIZE);
    EXPECT_FALSE(IsWindowVisible(dialog));
    ShowWindow(owner, SW_RESTORE);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(GetActiveWindow(), dialog) << "the modal dialog, not its disabled owner";
}

TEST_F(SurfaceEvents, CaptureGrabsTheTopLevelSurfaceAndReleaseLetsGo)
{
    HWND top = makeTop(0, 0, 100, 100);
    HWND child = makeChild(top, 10, 10, 20, 20);
    SetCapture(child);
    ReleaseCapture();
    EXPECT_EQ(hinted->captures, (std::vector<HWND>{top, 0}));
}

// The display is asked where the pointer is only until the first pointer event says so, and
// only once: asking a real window system waits for its answer.
TEST_F(SurfaceEvents, CursorPositionAsksTheDisplayOnceThenFollowsTheInput)
{
    POINT p;
    hinted->knowsPointer = true;
    hinted->pointer = POINT{640, 480};
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 640);
    EXPECT_EQ(p.y, 480);
    hinted->pointer = POINT{1, 2};
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 640) << "asked once";
    EXPECT_EQ(hinted->pointerQueries, 1);

    display->moveMouse(5, 6);
    processPendingMessages();
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 6);
    EXPECT_EQ(hinted->pointerQueries, 1);
}

// However often a layout sets a window's region in one turn of the message loop, the display
// is told once, the last region, and not again for the same region; a window being shown has
// its shape before it appears.
TEST_F(SurfaceEvents, ShapesReachTheDisplayOncePerTurnAndBeforeTheWindowShows)
{
    HWND top = makeTop(0, 0, 100, 100, WS_POPUP);
    for (int i = 1; i <= 12; ++i)
        SetWindowRgn(top, CreateRectRgn(0, 0, 50 + i, 50), TRUE);
    EXPECT_TRUE(hinted->shaping.empty());
    ShowWindow(top, SW_SHOWNA);
    processPendingMessages();
    EXPECT_EQ(hinted->shaping, (std::vector<std::string>{"shape", "show"}));
    ASSERT_EQ(hinted->shapeBounds.size(), 1u);
    EXPECT_EQ(hinted->shapeBounds[0].right, 62);

    for (int i = 1; i <= 12; ++i)
        SetWindowRgn(top, CreateRectRgn(0, 0, 20 + i, 40), TRUE);
    processPendingMessages();
    SetWindowRgn(top, CreateRectRgn(0, 0, 32, 40), TRUE);
    processPendingMessages();
    ASSERT_EQ(hinted->shapeBounds.size(), 2u);
    EXPECT_EQ(hinted->shapeBounds[1].right, 32);

    SetWindowRgn(top, 0, TRUE);
    processPendingMessages();
    ASSERT_EQ(hinted->shapeBounds.size(), 3u);
    EXPECT_EQ(hinted->shapeBounds[2].right, 0) << "no region";
    EXPECT_EQ(display->screenshot(top).at(90, 90), display->screenshot(top).at(10, 10));
}
