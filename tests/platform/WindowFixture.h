#pragma once
// A fixture for window-layer tests: a fresh desktop and one window class whose procedure logs
// every message and can be steered per test.
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/Windows.h"
#include "tests/support/DesktopFixture.h"

struct LoggedMessage
{
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class WindowFixture : public DesktopFixture
{
protected:
    static constexpr const char* kClass = "LumoTestWindow";
    using Hook = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

    static inline std::vector<LoggedMessage> log;
    static inline Hook hook;
    // Windows that paint their whole client area in one colour on WM_PAINT.
    static inline std::map<HWND, COLORREF> paintColor;

    void SetUp() override
    {
        DesktopFixture::SetUp();
        WNDCLASSA wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &WindowFixture::proc;
        wc.hCursor = LoadCursorA(nullptr, IDC_HAND);
        wc.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
        wc.lpszClassName = kClass;
        ASSERT_NE(RegisterClassA(&wc), 0);
    }

    void TearDown() override
    {
        DesktopFixture::TearDown();   // the windows go before their class
        UnregisterClassA(kClass, nullptr);
        hook = nullptr;
        log.clear();
        paintColor.clear();
    }

    static LRESULT proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        log.push_back({hwnd, message, wParam, lParam});
        if (hook)
            if (std::optional<LRESULT> answer = hook(hwnd, message, wParam, lParam))
                return *answer;
        if (message == WM_PAINT && paintColor.count(hwnd)) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            HBRUSH brush = CreateSolidBrush(paintColor[hwnd]);
            RECT client;
            GetClientRect(hwnd, &client);
            FillRect(dc, &client, brush);
            DeleteObject(brush);
            EndPaint(hwnd, &ps);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    static HWND makeTop(int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE,
                        DWORD exStyle = 0)
    {
        return CreateWindowExA(exStyle, kClass, "", style, x, y, w, h, 0, 0, nullptr, nullptr);
    }

    static HWND makeChild(HWND parent, int x, int y, int w, int h,
                          DWORD style = WS_CHILD | WS_VISIBLE)
    {
        return CreateWindowExA(0, kClass, "", style, x, y, w, h, parent, 0, nullptr, nullptr);
    }

    // The messages one window received, in order, limited to the given kinds when given.
    static std::vector<UINT> messagesOf(HWND hwnd, std::vector<UINT> only = {})
    {
        std::vector<UINT> out;
        for (const LoggedMessage& m : log)
            if (m.hwnd == hwnd &&
                (only.empty() || std::find(only.begin(), only.end(), m.message) != only.end()))
                out.push_back(m.message);
        return out;
    }

    static std::vector<LoggedMessage> logged(UINT message)
    {
        std::vector<LoggedMessage> out;
        for (const LoggedMessage& m : log)
            if (m.message == message)
                out.push_back(m);
        return out;
    }
};
