// X protocol errors are logged with the request that failed (needs Xvfb; skipped without it).
// The one platform test that speaks Xlib itself, to provoke an error the backend never would.
#include <gtest/gtest.h>
// After gtest: Xlib defines None.
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/display/x11/X11Display.h"

TEST(X11Errors, AProtocolErrorIsLoggedWithItsRequest)
{
    if (system("command -v Xvfb >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "skipped: no Xvfb";
    char name[16];
    std::snprintf(name, sizeof name, ":%d", 90 + int(getpid() % 800));
    pid_t server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
        execlp("Xvfb", "Xvfb", name, "-screen", "0", "320x240x24", "-nolisten", "tcp", (char*)nullptr);
        _exit(127);
    }
    Display* dpy = nullptr;
    for (int i = 0; i < 100 && !dpy; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        dpy = XOpenDisplay(name);
    }
    if (dpy) {
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
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    ASSERT_TRUE(dpy) << "Xvfb did not start on " << name;
}
