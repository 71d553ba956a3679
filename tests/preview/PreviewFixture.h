#pragma once
// A TBitmapPreview on a shown frameless form of the headless display, with counters of the
// component's notifications.
#include <memory>
#include <string>

#include "PreviewPictures.h"
#include "framework/Forms.h"
#include "tests/support/DesktopFixture.h"

class PreviewFixture : public DesktopFixture
{
protected:
    std::unique_ptr<TForm> form;
    TBitmapPreview* preview = nullptr;
    int changes = 0;
    int rebuilds = 0;   // OnUpdateDisplay: one per resampling of the offscreen picture
    std::string log;    // events in order

    static constexpr int kFormX = 100;
    static constexpr int kFormY = 100;

    void SetUp() override
    {
        DesktopFixture::SetUp();
        form = std::make_unique<TForm>(nullptr, 0);
        form->SetBorderStyle(bsNone);
        form->SetBounds(kFormX, kFormY, 400, 300);
        form->Show();
        preview = new TBitmapPreview(form.get());
        preview->SetBounds(10, 20, 200, 100);
        preview->SetParent(form.get());
        preview->OnChange = [this](TObject* s) {
            EXPECT_EQ(s, preview);
            ++changes;
        };
        preview->OnUpdateDisplay = [this](TObject*) { ++rebuilds; };
        pump();
    }

    void TearDown() override
    {
        SetCaptureControl(nullptr);
        form.reset();
        DesktopFixture::TearDown();
    }

    // Screen position of a client point of the preview.
    TPoint screen(int x, int y) const { return preview->ClientToScreen(TPoint(x, y)); }
    void moveTo(int x, int y)
    {
        TPoint p = screen(x, y);
        display->moveMouse(p.X, p.Y);
        pump();
    }
    void press(int x, int y)
    {
        TPoint p = screen(x, y);
        display->pressMouse(p.X, p.Y);
        pump();
    }
    void release(int x, int y)
    {
        TPoint p = screen(x, y);
        display->releaseMouse(p.X, p.Y);
        pump();
    }

    // What the form shows at a client point of the preview.
    Pixel shown(int x, int y)
    {
        Screenshot shot = display->screenshot(form->Handle());
        COLORREF c = shot.at(preview->GetLeft() + x, preview->GetTop() + y);
        return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
    }
};
