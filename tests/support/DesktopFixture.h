#pragma once
// A fresh desktop for every test: no window, timer, queued message or mouse capture left by
// the test before, the GDI objects it left behind deleted, a clock of ClockType that stands
// still, and a headless display. Test programs that link the framework also get a fresh
// application state; those that link the capture drivers get the test pattern as the only
// camera, no recorder and no dialog hook until the test installs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Clock.h"
#include "platform/GdiObjects.h"
#include "platform/WindowTree.h"
#include "platform/display/headless/HeadlessDisplay.h"
#ifdef LUMO_TEST_FRAMEWORK
#include "framework/Forms.h"
#endif
#ifdef LUMO_TEST_CAPTURE_DRIVERS
#include "avicap/CaptureDriver.h"
#include "avicap/CaptureRecorder.h"
#include "avicap/window/CaptureDialogs.h"
#endif

template <class ClockType>
class BasicDesktopFixture : public ::testing::Test
{
protected:
    std::shared_ptr<HeadlessDisplay> display;
    std::shared_ptr<ClockType> clock;

    // The clock starts at this local time (microseconds since 1970).
    explicit BasicDesktopFixture(int64_t clockStartUs = 0) : clockStart_(clockStartUs) {}

    void SetUp() override
    {
        setUp_ = true;
        destroyAllWindows();
        resetDrivers();
        gdiBefore_ = gdiObjects().handles();
        std::sort(gdiBefore_.begin(), gdiBefore_.end());
        display = installHeadlessDisplay();
        clock = std::make_shared<ClockType>(clockStart_);
        setClock(clock);
#ifdef LUMO_TEST_FRAMEWORK
        Application->ResetTerminated();
        Application->OnException = nullptr;
#endif
    }

    // Nothing to undo after a SetUp that skipped the test before reaching this one's.
    void TearDown() override
    {
        if (!setUp_)
            return;
#ifdef LUMO_TEST_FRAMEWORK
        SetCaptureControl(nullptr);
#endif
        destroyAllWindows();
        resetDrivers();
        deleteGdiObjectsLeftBehind();
        setClock(nullptr);
        installDisplayBackend(nullptr);
    }

    static void pump() { processPendingMessages(); }

private:
    static void resetDrivers()
    {
#ifdef LUMO_TEST_CAPTURE_DRIVERS
        setCameraDriver(nullptr);
        setCaptureRecorderFactory(nullptr);
        setCaptureDialogHook(nullptr);
#endif
    }

    // Device contexts first: deleting one lets go of the bitmap selected into it.
    void deleteGdiObjectsLeftBehind()
    {
        std::vector<HGDIOBJ> left;
        for (HGDIOBJ handle : gdiObjects().handles())
            if (!std::binary_search(gdiBefore_.begin(), gdiBefore_.end(), handle))
                left.push_back(handle);
        for (HGDIOBJ handle : left)
            if (GetObjectType(handle) == OBJ_DC || GetObjectType(handle) == OBJ_MEMDC)
                ReleaseDC(0, HDC(handle));
        for (HGDIOBJ handle : left)
            DeleteObject(handle);
    }

    int64_t clockStart_;
    bool setUp_ = false;
    std::vector<HGDIOBJ> gdiBefore_;
};

using DesktopFixture = BasicDesktopFixture<FakeClock>;
