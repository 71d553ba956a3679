// Presents through shared memory (needs Xvfb; skipped without it): a present that finds the
// server done with the image waits for no answer. (The pictures themselves are checked end to
// end, tests/e2e.)
#include <gtest/gtest.h>

#include <vector>

#include "platform/display/x11/X11Display.h"
#include "platform/display/x11/tests/XvfbServer.h"

TEST(X11Present, AFinishedImageIsWrittenAgainWithoutAWait)
{
    START_XVFB(server);
    std::string error;
    auto x11 = openX11Display(server.name(), error);
    ASSERT_TRUE(x11) << error;
    if (!x11UsesSharedMemory(*x11))
        GTEST_SKIP() << "skipped: the server refused MIT-SHM";
    const HWND window = 3;
    x11->createSurface(window, RECT{0, 0, 64, 48});
    x11->showSurface(window, true);
    std::vector<uint32_t> pixels(64 * 48, 0x102030);
    const PixelSurface surface{64, 48, 32, 64 * 4, true, reinterpret_cast<uint8_t*>(pixels.data()), {}};
    pixman_region32_t damage;
    pixman_region32_init_rect(&damage, 0, 0, 64, 48);

    // Back to back, the second may have to wait; then a round trip brings the completion in.
    x11->present(window, surface, damage);
    x11->present(window, surface, damage);
    POINT where;
    x11->cursorPosition(where);
    const uint64_t before = x11RoundTrips(*x11);
    x11->present(window, surface, damage);
    EXPECT_EQ(x11RoundTrips(*x11), before) << "the present waited for the server";
    pixman_region32_fini(&damage);
    x11->destroySurface(window);
}
