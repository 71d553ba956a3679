// Presentation speed of the x11 display: full 1920 x 1080 frames to one window, through
// MIT-SHM and through plain XPutImage. Uses $DISPLAY, else starts its own Xvfb.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/display/x11/X11Display.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 300;

// Starts Xvfb on a display number it picks itself; answers its name, or "" when it cannot.
std::string startXvfb(pid_t& pid)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "";
    pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    return number.empty() ? "" : ":" + number;
}

bool onPath(const char* tool)
{
    std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Frames per second of full-frame presents; 0 when the display cannot be opened.
double measure(const std::string& display, bool sharedMemory, bool& usedShm)
{
    std::string error;
    auto backend = openX11Display(display, error, X11Options{sharedMemory});
    if (!backend) {
        std::fprintf(stderr, "PresentBench: %s\n", error.c_str());
        return 0;
    }
    const HWND window = 1;
    backend->createSurface(window, RECT{0, 0, kWidth, kHeight});
    backend->showSurface(window, true);
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
    PixelSurface surface;
    surface.width = kWidth;
    surface.height = kHeight;
    surface.bitCount = 32;
    surface.stride = kWidth * 4;
    surface.topDown = true;
    surface.bits = reinterpret_cast<uint8_t*>(pixels.data());
    pixman_region32_t damage;
    pixman_region32_init_rect(&damage, 0, 0, kWidth, kHeight);
    POINT pointer{};
    auto frame = [&](int i) {
        for (size_t p = 0; p < pixels.size(); p += 4099)
            pixels[p] = uint32_t(i * 0x010203);
        backend->present(window, surface, damage);
        backend->cursorPosition(pointer);   // a round trip: the server has shown the frame
    };
    for (int i = 0; i < 10; ++i)
        frame(i);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i)
        frame(i);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    usedShm = x11UsesSharedMemory(*backend);
    pixman_region32_fini(&damage);
    backend->destroySurface(window);
    return kFrames / seconds;
}

}  // namespace

int main()
{
    pid_t xvfb = 0;
    const char* env = std::getenv("DISPLAY");
    std::string display = env && *env ? env : "";
    if (display.empty()) {
        if (!onPath("Xvfb")) {
            std::printf("PresentBench: skipped: DISPLAY is not set and Xvfb is not installed.\n");
            return 0;
        }
        display = startXvfb(xvfb);
        if (display.empty()) {
            std::printf("PresentBench: skipped: Xvfb did not start.\n");
            return 0;
        }
    }
    std::printf("PresentBench: %d full frames of %dx%d on %s\n", kFrames, kWidth, kHeight, display.c_str());
    int status = 0;
    for (bool shm : {true, false}) {
        bool used = false;
        double fps = measure(display, shm, used);
        if (fps <= 0) {
            status = 1;
            continue;
        }
        std::printf("  %-22s %8.1f frames/s  %6.2f ms/frame%s\n", shm ? "MIT-SHM:" : "XPutImage (no SHM):", fps,
                    1000.0 / fps, shm && !used ? "  (server refused MIT-SHM: XPutImage used)" : "");
        if (shm && used)
            std::printf("  goal <= 3 ms per frame with MIT-SHM: %s\n", 1000.0 / fps <= 3.0 ? "met" : "NOT met");
    }
    if (xvfb > 0) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    return status;
}
