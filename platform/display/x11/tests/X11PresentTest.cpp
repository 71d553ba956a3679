// Presents through shared memory (needs Xvfb; skipped without it): frames back to back all
// reach the window, and a present that finds the server done with the image waits for no
// answer. Another connection reads the window back.
#include <gtest/gtest.h>
// After gtest: Xlib defines None.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <vector>

#include "platform/display/x11/X11Display.h"
#include "platform/display/x11/tests/XvfbServer.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;

// The top-level window of the test's size, read back as 0x00RRGGBB at (x, y).
unsigned long pixelOnScreen(Display* reader, int x, int y)
{
    Window root = DefaultRootWindow(reader), parent = 0, *children = nullptr;
    unsigned count = 0;
    unsigned long value = ~0ul;
    if (!XQueryTree(reader, root, &root, &parent, &children, &count))
        return value;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(reader, children[i], &a) || a.width != kWidth || a.height != kHeight ||
            a.map_state != IsViewable)
            continue;
        if (XImage* image = XGetImage(reader, children[i], x, y, 1, 1, AllPlanes, ZPixmap)) {
            value = XGetPixel(image, 0, 0) & 0xFFFFFF;
            XDestroyImage(image);
        }
        break;
    }
    XFree(children);
    return value;
}

}  // namespace

TEST(X11Present, FramesBackToBackArriveAndAFinishedImageCostsNoWait)
{
    XvfbServer server;
    if (!server.found())
        GTEST_SKIP() << "skipped: no Xvfb";
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
    std::string error;
    auto x11 = openX11Display(server.name(), error);
    ASSERT_TRUE(x11) << error;
    if (!x11UsesSharedMemory(*x11))
        GTEST_SKIP() << "skipped: the server refused MIT-SHM";
    const HWND window = 3;
    x11->createSurface(window, RECT{0, 0, kWidth, kHeight});
    x11->showSurface(window, true);

    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
    const PixelSurface surface{kWidth, kHeight, 32, kWidth * 4, true, reinterpret_cast<uint8_t*>(pixels.data()), {}};
    pixman_region32_t damage;
    pixman_region32_init_rect(&damage, 0, 0, kWidth, kHeight);
    auto present = [&](uint32_t colour) {
        std::fill(pixels.begin(), pixels.end(), colour);
        x11->present(window, surface, damage);
    };

    // The second comes before the server has surely read the first: it must not overwrite it
    // early, nor be lost.
    present(0x102030);
    present(0x405060);
    POINT where;
    x11->cursorPosition(where);   // a round trip: the completion is in by now
    const uint64_t before = x11RoundTrips(*x11);
    present(0x708090);
    EXPECT_EQ(x11RoundTrips(*x11), before) << "the present waited for the server";
    x11->cursorPosition(where);   // the server has handled the put

    Display* reader = XOpenDisplay(server.name().c_str());
    ASSERT_TRUE(reader);
    EXPECT_EQ(pixelOnScreen(reader, 5, 5), 0x708090ul);
    EXPECT_EQ(pixelOnScreen(reader, kWidth - 1, kHeight - 1), 0x708090ul);
    XCloseDisplay(reader);
    pixman_region32_fini(&damage);
    x11->destroySurface(window);
}
