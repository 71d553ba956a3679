#include "PreviewFixture.h"

namespace {

using PreviewInteraction = PreviewFixture;

// Columns of distinct colours: blue byte = column, green byte = row.
std::unique_ptr<TBitmap> ramp(int w, int h)
{
    return picture(w, h, [](int x, int y) { return Pixel{uint8_t(x), uint8_t(y), 50}; });
}

}  // namespace

TEST_F(PreviewInteraction, PaintShowsThePictureAndTheBackground)
{
    auto src = ramp(150, 80);
    preview->SetBitmap(src.get());
    preview->SetOriginX(-10);
    pump();
    EXPECT_EQ(shown(10, 0), (Pixel{0, 0, 50}));
    EXPECT_EQ(shown(30, 7), (Pixel{20, 7, 50}));
    EXPECT_EQ(shown(5, 5), (Pixel{0x80, 0x80, 0x80}));     // left of the picture
    EXPECT_EQ(shown(10, 90), (Pixel{0x80, 0x80, 0x80}));   // below it
    // A change paints at once: nothing invalidates the window, so only the direct paint
    // can bring the new picture to the screen.
    preview->SetOriginX(0);
    pump();
    EXPECT_EQ(shown(5, 5), (Pixel{5, 5, 50}));
}

TEST_F(PreviewInteraction, HandScrollMovesThePictureWithoutResampling)
{
    auto src = ramp(200, 100);
    preview->SetBitmap(src.get());
    preview->SetZoom(2);   // origin (50, 25): client (0, 0) shows bitmap (50, 25)
    preview->SetHandScrollable(true);
    EXPECT_EQ(preview->GetCursor(), crHandPoint);
    pump();
    ASSERT_EQ(shown(40, 10), (Pixel{70, 30, 50}));
    rebuilds = 0;
    std::vector<int> scrolls;
    preview->OnHandScrollTo = [&](TObject*, TShiftState, int& x, int&) { scrolls.push_back(x); };
    press(40, 10);
    EXPECT_TRUE(preview->GetHandScrolling());
    for (int step = 1; step <= 3; ++step)
        moveTo(40 + step * 10, 10);
    EXPECT_EQ(scrolls, (std::vector<int>{-10, -20, -30}));
    EXPECT_DOUBLE_EQ(preview->GetScrollX(), -30);
    // The picture follows the mouse by 30 pixels; nothing was resampled.
    EXPECT_EQ(shown(70, 10), (Pixel{70, 30, 50}));
    EXPECT_EQ(rebuilds, 0);
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), 50);   // conversions ignore the pan
    // A pan beyond one component size shows the background where the picture ends.
    moveTo(40 + 250, 10);
    EXPECT_EQ(shown(20, 10), (Pixel{0x80, 0x80, 0x80}));
    moveTo(70, 10);
    release(70, 10);
    EXPECT_FALSE(preview->GetHandScrolling());
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), 35);   // 30 pixels at zoom 2
    EXPECT_DOUBLE_EQ(preview->GetScrollX(), 0);
    EXPECT_EQ(rebuilds, 1);
    pump();
    EXPECT_EQ(shown(70, 10), (Pixel{70, 30, 50}));
}

TEST_F(PreviewInteraction, DraggingMovesTheComponentThroughOnDragTo)
{
    auto src = ramp(10, 10);
    preview->SetBitmap(src.get());
    preview->SetHandScrollable(true);
    preview->SetDragable(true);
    EXPECT_FALSE(preview->GetHandScrollable());   // the two options exclude each other
    int calls = 0;
    preview->OnDragTo = [&](TObject*, TShiftState, int& left, int& top) {
        ++calls;
        top = 20;   // the handler keeps the component on its row
        (void)left;
    };
    press(5, 5);
    EXPECT_TRUE(preview->GetDragging());
    EXPECT_TRUE(preview->GetBeingDragged());
    moveTo(25, 15);
    EXPECT_EQ(preview->GetLeft(), 30);
    EXPECT_EQ(preview->GetTop(), 20);
    moveTo(10, 5);   // the component moved: client coordinates follow it
    EXPECT_EQ(preview->GetLeft(), 35);
    release(10, 5);
    EXPECT_FALSE(preview->GetDragging());
    EXPECT_FALSE(preview->GetBeingDragged());
    EXPECT_EQ(calls, 2);
}

TEST_F(PreviewInteraction, DragParentMovesTheFormWithoutOnDragTo)
{
    preview->SetDragable(true);
    preview->SetDragParent(true);
    bool raised = false;
    preview->OnDragTo = [&](TObject*, TShiftState, int&, int&) { raised = true; };
    press(5, 5);
    EXPECT_FALSE(preview->GetBeingDragged());
    moveTo(45, 25);
    release(45, 25);
    EXPECT_EQ(form->GetLeft(), kFormX + 40);
    EXPECT_EQ(form->GetTop(), kFormY + 20);
    EXPECT_EQ(preview->GetLeft(), 10);
    EXPECT_FALSE(raised);
}

TEST_F(PreviewInteraction, EnterLeaveAndReleaseOutside)
{
    preview->OnMouseEnterControl = [&](TObject*, TShiftState, int, int) { log += "enter "; };
    preview->OnMouseExitControl = [&](TObject*, TShiftState, int, int) { log += "exit "; };
    preview->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
        log += "down " + std::to_string(x) + "," + std::to_string(y) + " ";
    };
    preview->OnMouseCancelled = [&](TObject*) { log += "cancelled "; };
    preview->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { log += "up "; };
    moveTo(-5, 5);
    moveTo(5, 5);
    EXPECT_TRUE(preview->GetMouseInControl());
    EXPECT_TRUE(preview->GetMouseIsCaptured());
    EXPECT_EQ(preview->GetMousePosition(), TPoint(5, 5));
    moveTo(250, 5);
    EXPECT_FALSE(preview->GetMouseIsCaptured());   // left with no button held
    EXPECT_EQ(log, "enter exit ");
    log.clear();
    moveTo(5, 5);
    press(6, 7);
    EXPECT_TRUE(preview->GetMouseButtonHeld());
    moveTo(250, 5);
    EXPECT_TRUE(preview->GetMouseIsCaptured());   // a held button keeps the capture
    release(250, 5);
    EXPECT_FALSE(preview->GetMouseButtonHeld());
    EXPECT_EQ(preview->GetMouseDownPos(), TPoint(6, 7));
    EXPECT_EQ(preview->GetMouseUpPos(), TPoint(250, 5));
    EXPECT_EQ(log, "enter down 6,7 exit cancelled up ");
    EXPECT_FALSE(preview->GetMouseIsCaptured());
}

TEST_F(PreviewInteraction, OneHandScrollStepIsOneChange)
{
    auto src = ramp(200, 100);
    preview->SetBitmap(src.get());
    preview->SetHandScrollable(true);
    press(50, 50);
    changes = 0;
    moveTo(60, 40);   // both axes
    EXPECT_EQ(changes, 1);
    EXPECT_DOUBLE_EQ(preview->GetScrollX(), -10);
    EXPECT_DOUBLE_EQ(preview->GetScrollY(), 10);
    moveTo(60, 40);   // no movement: nothing to tell
    EXPECT_EQ(changes, 1);
    release(60, 40);
    EXPECT_EQ(changes, 2);   // the pan becomes the origin: one change
    EXPECT_DOUBLE_EQ(preview->GetOriginX(), -10);
    EXPECT_DOUBLE_EQ(preview->GetOriginY(), 10);
}
