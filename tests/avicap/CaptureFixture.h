#pragma once
// A capture window on a fresh desktop at noon; the test pattern is the only driver.
#include <functional>
#include <vector>

#include "avicap/window/CaptureWindow.h"
#include "avicap/testpattern/TestPatternDriver.h"
#include "avicap/Vfw.h"
#include "tests/support/DesktopFixture.h"

class CaptureFixture : public DesktopFixture
{
protected:
    HWND cap = 0;

    CaptureFixture() : DesktopFixture(int64_t(12) * 3600 * 1000000) {}

    // The recorder the window takes when it is made: none unless a fixture installs one.
    virtual void installRecorder() {}

    void SetUp() override
    {
        DesktopFixture::SetUp();
        installRecorder();
        cap = capCreateCaptureWindowA("Test", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, 0, 0);
        ASSERT_NE(cap, 0u);
    }

    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageA(cap, message, wParam, lParam);
    }
    template <class T>
    LRESULT send(UINT message, T* record)
    {
        return SendMessageA(cap, message, sizeof(T), LPARAM(record));
    }

    CAPSTATUS status()
    {
        CAPSTATUS s{};
        EXPECT_TRUE(send(WM_CAP_GET_STATUS, &s));
        return s;
    }

    // Moves the fake clock on, lets the camera deliver what fell due, handles the messages.
    void advance(int ms)
    {
        clock->advanceMs(ms);
        TestPatternDriver::pumpFrames();
        processPendingMessages();
    }

    void connectPreview(UINT rateMs = 100)
    {
        ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
        ASSERT_TRUE(send(WM_CAP_SET_PREVIEWRATE, rateMs));
        ASSERT_TRUE(send(WM_CAP_SET_PREVIEW, TRUE));
    }
};
