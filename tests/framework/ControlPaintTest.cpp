// Painting through a control's canvas: inside WM_PAINT with and without a buffer, and outside
// it (a fade frame from a timer), which must reach the screen by the next loop turn.
#include "tests/framework/ControlsFixture.h"

#include "framework/ExtCtrls.h"

namespace {

// Paints a red square at 5,5 and notes which kind of DC its canvas drew on.
class TProbePane : public TCustomControl
{
public:
    explicit TProbePane(TComponent* AOwner) : TCustomControl(AOwner) { SetBounds(10, 10, 60, 40); }
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    HWND PaintedOnWindow = HWND(-1);

protected:
    void Paint() override
    {
        PaintedOnWindow = WindowFromDC(GetCanvas()->GetHandle());
        GetCanvas()->Brush()->SetColor(clRed);
        GetCanvas()->FillRect(TRect(5, 5, 15, 15));
    }
};

TClass TProbePane::StaticClass()
{
    static const TClass Class = TPublished<TProbePane, TCustomControl>("TProbePane");
    return Class;
}

class ControlPaintTest : public ControlsFixture
{
};

TEST_F(ControlPaintTest, DoubleBufferedPaintsThroughABufferAndOtherwiseOnTheWindow)
{
    auto form = shownForm();
    form->SetColor(clBlue);
    auto* pane = new TProbePane(form.get());
    pane->SetColor(clLime);
    pane->SetParent(form.get());
    pump();
    EXPECT_EQ(pane->PaintedOnWindow, pane->Handle());
    Screenshot direct = display->screenshot(form->Handle());

    pane->SetDoubleBuffered(true);
    pane->Repaint();
    pump();
    EXPECT_EQ(pane->PaintedOnWindow, HWND(0));   // a memory DC: the buffer
    Screenshot buffered = display->screenshot(form->Handle());

    // Either way the screen shows the same picture.
    EXPECT_EQ(direct.at(10 + 8, 10 + 8), RGB(255, 0, 0));
    EXPECT_EQ(direct.at(10 + 30, 10 + 30), RGB(0, 255, 0));
    EXPECT_EQ(direct.at(5, 5), RGB(0, 0, 255));
    EXPECT_EQ(direct.pixels, buffered.pixels);
}

TEST_F(ControlPaintTest, CanvasDrawingOutsidePaintingReachesTheScreenByTheNextLoopTurn)
{
    auto form = shownForm();
    auto* pane = new TProbePane(form.get());
    pane->SetColor(clWhite);
    pane->SetParent(form.get());
    pump();
    HWND window = form->Handle();
    ASSERT_EQ(display->screenshot(window).at(10 + 40, 10 + 20), RGB(255, 255, 255));

    // A fade frame: the timer draws on the control's canvas, no paint message involved.
    TTimer timer(nullptr);
    int frames = 0;
    timer.SetInterval(40);
    timer.SetOnTimer([&](TObject*) {
        ++frames;
        pane->GetCanvas()->Brush()->SetColor(frames == 1 ? clYellow : clNavy);
        pane->GetCanvas()->FillRect(TRect(30, 10, 50, 30));
    });
    clock->advanceMs(40);
    Application->ProcessMessages();
    ASSERT_EQ(frames, 1);
    EXPECT_EQ(display->screenshot(window).at(10 + 40, 10 + 20), RGB(255, 255, 0));

    // The next frame too: the canvas fetched a fresh DC after letting go of the last one.
    clock->advanceMs(40);
    Application->ProcessMessages();
    ASSERT_EQ(frames, 2);
    EXPECT_EQ(display->screenshot(window).at(10 + 40, 10 + 20), RGB(0, 0, 128));
    EXPECT_EQ(FreeDeviceContexts(), 0);   // nothing left held after the idle turn
    timer.SetEnabled(false);
}

TEST_F(ControlPaintTest, ACanvasWhoseControlIsFreedLeavesNoDeviceContextBehind)
{
    auto form = shownForm();
    auto* pane = new TProbePane(form.get());
    pane->SetParent(form.get());
    pump();
    pane->GetCanvas()->FillRect(TRect(0, 0, 4, 4));
    delete pane;
    EXPECT_EQ(FreeDeviceContexts(), 0);
}

}   // namespace
