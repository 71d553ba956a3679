// X protocol errors are logged with the request that failed (needs Xvfb; skipped without it).
// Speaks Xlib itself, to provoke an error the backend never would, so it lives with the backend.
#include <gtest/gtest.h>
// After gtest: Xlib defines None.
#include <X11/Xlib.h>

#include <string>

#include "platform/display/x11/X11Display.h"
#include "platform/display/x11/tests/XvfbServer.h"

TEST(X11Errors, AProtocolErrorIsLoggedWithItsRequest)
{
    START_XVFB(server);
    Display* dpy = XOpenDisplay(server.name().c_str());
    ASSERT_TRUE(dpy) << "cannot connect to " << server.name();
    installX11ErrorHandlers();
    testing::internal::CaptureStderr();
    XDestroyWindow(dpy, 0x0badf00d);   // no such window
    XSync(dpy, False);
    const std::string logged = testing::internal::GetCapturedStderr();
    XCloseDisplay(dpy);
    EXPECT_NE(logged.find("BadWindow"), std::string::npos) << logged;
    EXPECT_NE(logged.find("X_DestroyWindow"), std::string::npos) << logged;
    EXPECT_NE(logged.find("0xbadf00d"), std::string::npos) << logged;
}
