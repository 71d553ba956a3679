// A frameless shaped window with a draggable top panel, a box that lights while the pointer is
// over it and a framed modal dialog, built on the platform window layer only. run.sh drives it
// in a real X server.
//   ShapedWindowDemo --x11                     run on $DISPLAY (keys: D dialog, F full screen,
//                                              M minimise, Q quit; Escape closes the dialog)
//   ShapedWindowDemo --headless OUT.ppm        write the headless rendering of the window
//   ShapedWindowDemo --compare REF.ppm SHOT.ppm
//   ShapedWindowDemo --outside REF.ppm SCREEN.ppm LEFT TOP
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "PixelCompare.h"
#include "platform/Fonts.h"
#include "platform/Windows.h"
#include "platform/display/headless/HeadlessDisplay.h"

namespace {

constexpr int kLeft = 120, kTop = 100, kWidth = 360, kHeight = 240, kPanel = 40, kNotch = 12;
constexpr COLORREF kBody = RGB(30, 110, 200);
constexpr COLORREF kPanelColor = RGB(20, 40, 90);
constexpr const char* kTitle = "Lumo e2e demo";
// The hover box, in the window's client area.
constexpr int kBoxLeft = 260, kBoxTop = 150, kBoxWidth = 80, kBoxHeight = 60;
constexpr COLORREF kBoxIdle = RGB(90, 90, 90);
constexpr COLORREF kBoxHover = RGB(250, 200, 40);

HWND mainWindow = 0;
HWND hoverBox = 0;
bool hovered = false;
HWND dialog = 0;
bool dragging = false;
POINT dragStart{};
RECT dragFrom{};
RECT beforeFullScreen{};

void say(const char* format, int a = 0, int b = 0)
{
    std::printf(format, a, b);
    std::printf("\n");
    std::fflush(stdout);
}

// Corners cut in three steps each, so the outline is no rectangle.
HRGN makeShape(int width, int height)
{
    HRGN shape = CreateRectRgn(0, 0, width, height);
    for (int step = 1; step <= 3; ++step) {
        int cut = kNotch * (4 - step), depth = kNotch * step / 3;
        RECT corners[4] = {{0, 0, cut, depth}, {width - cut, 0, width, depth},
                           {0, height - depth, cut, height}, {width - cut, height - depth, width, height}};
        for (const RECT& c : corners) {
            HRGN hole = CreateRectRgn(c.left, c.top, c.right, c.bottom);
            CombineRgn(shape, shape, hole, RGN_DIFF);
            DeleteObject(hole);
        }
    }
    return shape;
}

void fill(HDC dc, RECT r, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void paintMain(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    fill(dc, client, kBody);
    fill(dc, RECT{0, 0, client.right, kPanel}, kPanelColor);
    for (int i = 0; i < 6; ++i)
        fill(dc, RECT{30 + i * 50, 90, 66 + i * 50, 126}, RGB(40 * i, 255 - 40 * i, 128));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, 16, 12, "Drag this panel", 15);
    TextOutA(dc, 30, 160, "Lumo free: shaped window", 24);
    EndPaint(window, &ps);
}

void openDialog()
{
    if (dialog)
        return;
    EnableWindow(mainWindow, FALSE);   // modal, as ShowModal makes it
    dialog = CreateWindowExA(0, "LumoDemoDialog", "Lumo e2e dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                             200, 200, 260, 140, mainWindow, 0, nullptr, nullptr);
    ShowWindow(dialog, SW_SHOW);
    say("dialog open");
}

void closeDialog()
{
    if (!dialog)
        return;
    EnableWindow(mainWindow, TRUE);
    DestroyWindow(dialog);
    dialog = 0;
    SetActiveWindow(mainWindow);
    say("dialog closed");
}

void toggleFullScreen(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    if (r.left <= 0 && r.top <= 0 && r.right >= cx && r.bottom >= cy) {
        SetWindowPos(window, 0, beforeFullScreen.left, beforeFullScreen.top, kWidth, kHeight, SWP_NOZORDER);
        SetWindowRgn(window, makeShape(kWidth, kHeight), TRUE);
        say("full screen off");
    } else {
        beforeFullScreen = r;
        SetWindowRgn(window, 0, TRUE);
        SetWindowPos(window, 0, 0, 0, cx, cy, SWP_NOZORDER);
        say("full screen on %dx%d", cx, cy);
    }
}

LRESULT mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        paintMain(window);
        return 0;
    case WM_LBUTTONDOWN:
        if (short(HIWORD(lParam)) < kPanel) {
            SetCapture(window);
            GetCursorPos(&dragStart);
            GetWindowRect(window, &dragFrom);
            dragging = true;
        }
        return 0;
    case WM_MOUSEMOVE:
        if (dragging && GetCapture() == window) {
            POINT p;
            GetCursorPos(&p);
            SetWindowPos(window, 0, dragFrom.left + p.x - dragStart.x, dragFrom.top + p.y - dragStart.y,
                         0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragging) {
            dragging = false;
            ReleaseCapture();
            RECT r;
            GetWindowRect(window, &r);
            say("dragged to %d %d", int(r.left), int(r.top));
        }
        return 0;
    case WM_SETCURSOR:
        SetCursor(LoadCursorA(nullptr, short(HIWORD(lParam)) == 0 ? IDC_ARROW : IDC_HAND));
        return TRUE;
    case WM_KEYDOWN:
        if (wParam == 'D') openDialog();
        if (wParam == 'F') toggleFullScreen(window);
        if (wParam == 'M') { ShowWindow(window, SW_MINIMIZE); say("minimised"); }
        if (wParam == 'Q') DestroyWindow(window);
        return 0;
    case WM_SIZE:
        if (wParam == SIZE_RESTORED)
            say("restored");
        if (wParam == SIZE_MINIMIZED)
            say("iconic");
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Tracks the pointer as the skinned controls do: the capture taken on entering brings the move
// that shows the pointer left. The X server sees no grab of it while no button is held.
LRESULT hoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        fill(dc, client, hovered ? kBoxHover : kBoxIdle);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_MOUSEMOVE: {
        POINT p;
        GetCursorPos(&p);
        bool inside = WindowFromPoint(p) == window;
        if (inside && GetCapture() != window)
            SetCapture(window);
        if (inside != hovered) {
            hovered = inside;
            InvalidateRect(window, nullptr, FALSE);
            say(inside ? "hover on" : "hover off");
        }
        if (!inside && GetCapture() == window && !(wParam & MK_LBUTTON))
            ReleaseCapture();
        return 0;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if ((message == WM_KEYDOWN && wParam == VK_ESCAPE) || message == WM_CLOSE) {
        closeDialog();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void createMain()
{
    WNDCLASSA cls{};
    cls.lpfnWndProc = mainProc;
    cls.lpszClassName = "LumoDemoMain";
    RegisterClassA(&cls);
    cls.lpfnWndProc = hoverProc;
    cls.lpszClassName = "LumoDemoHover";
    RegisterClassA(&cls);
    cls.lpfnWndProc = dialogProc;
    cls.hbrBackground = HBRUSH(uintptr_t(COLOR_BTNFACE + 1));
    cls.lpszClassName = "LumoDemoDialog";
    RegisterClassA(&cls);
    mainWindow = CreateWindowExA(0, "LumoDemoMain", kTitle, WS_POPUP | WS_CLIPCHILDREN, kLeft, kTop, kWidth,
                                 kHeight, 0, 0, nullptr, nullptr);
    hoverBox = CreateWindowExA(0, "LumoDemoHover", "", WS_CHILD | WS_VISIBLE, kBoxLeft, kBoxTop, kBoxWidth,
                               kBoxHeight, mainWindow, 0, nullptr, nullptr);
    SetWindowRgn(mainWindow, makeShape(kWidth, kHeight), TRUE);
    ShowWindow(mainWindow, SW_SHOW);
}

int runHeadless(const char* out)
{
    auto display = installHeadlessDisplay();
    display->setScreenSize(1280, 1024);
    createMain();
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    return writePpm(out, display->screenshot(mainWindow)) ? 0 : 1;
}

int runX11()
{
    std::string error;
    if (!installDisplayFromEnvironment(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    createMain();
    say("ready");
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    say("quit");
    return 0;
}

int compare(int argc, char** argv, bool outside)
{
    Screenshot reference, shot;
    if (!readPpm(argv[2], reference) || !readPpm(argv[3], shot)) {
        std::fprintf(stderr, "cannot read %s or %s\n", argv[2], argv[3]);
        return 2;
    }
    double share = outside ? outsideClear(reference, shot, argc > 5 ? std::atoi(argv[4]) : 0,
                                          argc > 5 ? std::atoi(argv[5]) : 0, kBody)
                           : insideMatch(reference, shot);
    std::printf("%.2f%%\n", share * 100.0);
    return share >= 0.99 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && !std::strcmp(argv[1], "--headless"))
        return runHeadless(argv[2]);
    if (argc >= 2 && !std::strcmp(argv[1], "--x11"))
        return runX11();
    if (argc >= 4 && !std::strcmp(argv[1], "--compare"))
        return compare(argc, argv, false);
    if (argc >= 6 && !std::strcmp(argv[1], "--outside"))
        return compare(argc, argv, true);
    std::fprintf(stderr, "usage: ShapedWindowDemo --x11 | --headless OUT.ppm | --compare REF SHOT | "
                         "--outside REF SCREEN LEFT TOP\n");
    return 2;
}
