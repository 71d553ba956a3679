// The pointer on the x11 display (needs Xvfb; skipped without it): moves over a shaped window
// of children reach the window under the pointer, and neither routing them nor a handler that
// asks where the pointer is, as a hovering control does, waits for an answer from the server.
// Another connection moves the pointer, as the user would.
#include "platform/WindowFixture.h"
// After gtest: Xlib defines None.
#include <X11/Xlib.h>

#include <string>

#include "platform/display/x11/X11Display.h"
#include "platform/display/x11/tests/XvfbServer.h"

namespace {

// Whatever a test leaves, its windows go while their display is still connected.
struct InstalledDisplay
{
    std::shared_ptr<DisplayBackend> previous;
    ~InstalledDisplay()
    {
        destroyAllWindows();
        installDisplayBackend(previous);
    }
};

class X11Pointer : public WindowFixture
{
protected:
    // Each WM_MOUSEMOVE: GetCursorPos in its handler, and the window that got it.
    std::vector<POINT> seen;
    std::vector<HWND> movedOver;

    // Input until `done` holds or five seconds pass.
    static bool pumpUntil(DisplayBackend& x11, const std::function<bool()>& done)
    {
        for (int i = 0; i < 100 && !done(); ++i) {
            x11.waitForInput(50);
            processPendingMessages();
        }
        return done();
    }
    // Input until three waits in a row bring nothing.
    static void settle(DisplayBackend& x11)
    {
        for (int quiet = 0, i = 0; quiet < 3 && i < 60; ++i) {
            x11.waitForInput(50);
            quiet = processPendingMessages() == 0 ? quiet + 1 : 0;
        }
    }
};

}  // namespace

TEST_F(X11Pointer, MovesOverAShapedWindowWaitForNoAnswerFromTheServer)
{
    START_XVFB(server);
    std::string error;
    std::shared_ptr<DisplayBackend> x11 = openX11Display(server.name(), error);
    ASSERT_TRUE(x11) << error;
    InstalledDisplay installed{installDisplayBackend(x11)};
    Display* user = XOpenDisplay(server.name().c_str());
    ASSERT_TRUE(user);

    // A hovering control: where is the pointer, is it over me, hold the capture while it is.
    hook = [this](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_MOUSEMOVE)
            return std::nullopt;
        POINT p;
        GetCursorPos(&p);
        seen.push_back(p);
        movedOver.push_back(h);
        bool over = WindowFromPoint(p) == h;
        if (over && GetCapture() != h)
            SetCapture(h);
        else if (!over && GetCapture() == h)
            ReleaseCapture();
        return 0;
    };
    HWND top = makeTop(100, 100, 200, 100, WS_POPUP);
    HWND left = makeChild(top, 10, 10, 80, 80);
    HWND right = makeChild(top, 110, 10, 80, 80);
    for (HWND child : {left, right}) {   // a plus sign: the corners cut away
        HRGN plus = CreateRectRgn(20, 0, 60, 80);
        HRGN across = CreateRectRgn(0, 20, 80, 60);
        CombineRgn(plus, plus, across, RGN_OR);
        DeleteObject(across);
        SetWindowRgn(child, plus, TRUE);
    }
    SetWindowRgn(top, CreateRectRgn(0, 0, 200, 100), TRUE);
    ShowWindow(top, SW_SHOWNA);
    Window root = DefaultRootWindow(user);
    XWarpPointer(user, 0, root, 0, 0, 0, 0, 5, 5);
    XSync(user, False);
    // Mapping, exposing and presenting may ask the server; then it goes quiet.
    settle(*x11);
    const uint64_t before = x11RoundTrips(*x11);

    // Into the left child, within it, out to the parent between the children (the left child
    // still holds the capture, sees that and lets go), into the right child and within it.
    const POINT path[] = {{150, 150}, {160, 152}, {200, 140}, {250, 150}, {255, 151}};
    const HWND reached[] = {left, left, left, right, right};
    const HWND captured[] = {left, left, 0, right, right};
    for (size_t i = 0; i < std::size(path); ++i) {
        XWarpPointer(user, 0, root, 0, 0, 0, 0, path[i].x, path[i].y);
        XSync(user, False);
        ASSERT_TRUE(pumpUntil(*x11, [&] {
            return !seen.empty() && seen.back().x == path[i].x && seen.back().y == path[i].y;
        })) << "no move to (" << path[i].x << ", " << path[i].y << ")";
        EXPECT_EQ(movedOver.back(), reached[i]) << "move " << i;
        EXPECT_EQ(GetCapture(), captured[i]) << "move " << i;
    }
    EXPECT_EQ(x11RoundTrips(*x11) - before, 0u);
    XCloseDisplay(user);
}
