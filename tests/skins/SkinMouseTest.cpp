#include "ActiveSkinFixture.h"

#include "skins/Skinnedpanel.h"

// Where the mouse is for a skinned control, its capture, and where a drag moves things.

namespace {

using SkinMouse = SkinFixture;
using Log = std::vector<std::string>;

TEST_F(SkinMouse, TheMouseIsInTheControlOnlyOverItsVisibleShape)
{
    auto form = shownForm();
    auto art = picture({"..wwwwww", "wwwwwwww", "wwwwwwww", "wwwwwwww"});
    auto* skin = new TTestSkin(form.get());
    skin->SetParent(form.get());
    skin->SetBounds(10, 20, 8, 4);
    skin->SetArtwork(art.get());
    skin->SetShaped(true);
    display->moveMouse(100 + 10 + 4, 100 + 20 + 2);
    pump();
    EXPECT_EQ(skin->GetMousePosition(), TPoint(4, 2));
    EXPECT_TRUE(skin->GetMouseInControl());
    display->moveMouse(100 + 10 + 0, 100 + 20 + 0);   // a cut-away corner: the form is below
    pump();
    EXPECT_FALSE(skin->GetMouseInControl());

    skin->SetMouseIsCaptured(true);
    EXPECT_TRUE(skin->GetMouseIsCaptured());
    skin->SetMouseIsCaptured(false);
    EXPECT_FALSE(skin->GetMouseIsCaptured());
}

TEST_F(SkinMouse, ADragMovesTheControlOrPassesTheOffsetUpToItsParent)
{
    auto form = shownForm();
    auto* panel = new TTestSkin(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, 100, 50);
    auto* inner = new TTestSkin(form.get());
    inner->SetParent(panel);
    inner->SetBounds(10, 10, 20, 20);

    // The control moves itself; the handler may change where to.
    int seenLeft = 0;
    inner->OnDragTo = [&](TObject*, TShiftState, int& L, int& T) {
        seenLeft = L;
        T = 3;
    };
    int l = 15, t = 12;
    inner->DragTo(TShiftState(), l, t);
    EXPECT_EQ(seenLeft, 15);
    EXPECT_EQ(inner->GetBoundsRect(), TRect(15, 3, 35, 23));

    // With DragParent on both, the offset goes up to the form, which moves by it.
    inner->SetDragParent(true);
    panel->SetDragParent(true);
    l = inner->GetLeft() + 10, t = inner->GetTop() + 5;
    inner->DragTo(TShiftState(), l, t);
    EXPECT_EQ(form->GetLeft(), 110);
    EXPECT_EQ(form->GetTop(), 105);
    EXPECT_EQ(inner->GetBoundsRect(), TRect(15, 3, 35, 23));
    EXPECT_EQ(seenLeft, 15) << "a control that passes the drag on raises no OnDragTo";

    // Being dragged moves up with the drag.
    inner->SetBeingDragged(true);
    EXPECT_FALSE(inner->GetBeingDragged());
}

using SkinMouseInput = ActiveSkinFixture;

TEST_F(SkinMouseInput, EnterAndExitFollowTheVisibleShape)
{
    auto* b = make<TSkinnedPanel>("B", 10, 10);
    moveTo(b, 10, 10);
    moveTo(b, 20, 12);
    moveTo(b, 30, 30);
    EXPECT_EQ(takeLog(), (Log{"enter B"})) << "one entry however many moves follow";
    EXPECT_TRUE(b->GetMouseInControl());
    moveTo(b, 2, 1);
    EXPECT_EQ(takeLog(), (Log{"exit B"})) << "the cut-away corner is outside";
    EXPECT_FALSE(b->GetMouseIsCaptured()) << "no press or drag keeps the capture";
    moveTo(b, 5, 5);
    EXPECT_EQ(takeLog(), (Log{"enter B"}));
    EXPECT_EQ(b->GetMousePosition(), TPoint(5, 5));
}

TEST_F(SkinMouseInput, ADragableDragParentPanelMovesItsWindowByTheDrag)
{
    auto* panel = make<TSkinnedPanel>("P", 0, 0);
    panel->SetBounds(0, 0, 120, 40);
    panel->SetDragable(true);
    panel->SetDragParent(true);
    EXPECT_EQ(panel->GetCursor(), crHandPoint);
    bool dragTo = false;
    panel->OnDragTo = [&](TObject*, TShiftState, int&, int&) { dragTo = true; };
    const int left = form->GetLeft(), top = form->GetTop();
    moveTo(panel, 40, 20);
    press(panel, 40, 20);
    EXPECT_TRUE(panel->GetDragging());
    // The window follows each move; the cursor keeps the grabbed point.
    display->moveMouse(left + 40 + 4, top + 20 + 1);
    pump();
    display->moveMouse(left + 40 + 10, top + 20 + 5);
    pump();
    display->releaseMouse(left + 40 + 10, top + 20 + 5);
    pump();
    EXPECT_EQ(form->GetLeft(), left + 10);
    EXPECT_EQ(form->GetTop(), top + 5);
    EXPECT_EQ(panel->GetBoundsRect(), TRect(0, 0, 120, 40)) << "the panel stays where it is in its window";
    EXPECT_FALSE(dragTo) << "a drag passed to the parent raises no OnDragTo";
    EXPECT_FALSE(panel->GetDragging());
    EXPECT_FALSE(panel->GetPressCancelled()) << "the cursor ended over the panel";
    RECT r;
    GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.left, left + 10) << "the window itself moved";
    EXPECT_EQ(r.top, top + 5);

    panel->SetDragable(false);
    EXPECT_EQ(panel->GetCursor(), crDefault);
}

TEST_F(SkinMouseInput, AControlThatMovesItselfAsksOnDragToWhereTo)
{
    auto* panel = make<TSkinnedPanel>("P", 20, 30);
    panel->SetDragable(true);
    std::vector<TPoint> asked;
    panel->OnDragTo = [&](TObject* Sender, TShiftState, int& L, int& T) {
        EXPECT_EQ(Sender, panel);
        asked.push_back(TPoint(L, T));
        T = 30;   // kept on its row
    };
    moveTo(panel, 16, 16);
    press(panel, 16, 16);
    moveTo(panel, 26, 21);
    EXPECT_EQ(asked, (std::vector<TPoint>{TPoint(30, 35)}));
    EXPECT_EQ(panel->GetBoundsRect(), TRect(30, 30, 62, 62));
    release(panel, 16, 16);
    EXPECT_EQ(form->GetLeft(), 100) << "the window stays";
}

TEST_F(SkinMouseInput, ADragWhoseReleaseNeverArrivedEndsAtTheNextMove)
{
    auto* panel = make<TSkinnedPanel>("P", 0, 0);
    panel->SetDragable(true);
    panel->SetDragParent(true);
    const int left = form->GetLeft(), top = form->GetTop();
    moveTo(panel, 16, 16);
    press(panel, 16, 16);
    // Something takes the capture away; the release goes elsewhere.
    SetCaptureControl(nullptr);
    display->releaseMouse(left + 200, top + 150);
    pump();
    display->moveMouse(left + 20, top + 20);
    pump();
    EXPECT_EQ(form->GetLeft(), left) << "hovering does not drag the window";
    EXPECT_EQ(form->GetTop(), top);
    EXPECT_FALSE(panel->GetDragging());
    EXPECT_FALSE(panel->GetMouseButtonHeld());
}

TEST_F(SkinMouseInput, APressIsAnEntryWhenTheMoveThatCameInWentToAnotherControl)
{
    auto* a = make<TSkinnedPanel>("A", 10, 10);
    auto* b = make<TSkinnedPanel>("B", 60, 10);
    moveTo(a, 16, 16);
    press(a, 16, 16);
    release(a, 16, 16);
    EXPECT_TRUE(a->GetMouseIsCaptured()) << "kept while the cursor is over A";
    moveTo(b, 16, 16);   // reaches A, which holds the capture, and A lets it go
    takeLog();
    press(b, 16, 16);
    release(b, 16, 16);
    EXPECT_EQ(takeLog(), (Log{"enter B", "down B", "up B"}));
    moveTo(b, 100, 100);
    EXPECT_EQ(takeLog(), (Log{"exit B"}));
    EXPECT_FALSE(b->GetMouseIsCaptured()) << "the capture is not stuck on B";
    press(a, 16, 16);
    release(a, 16, 16);
    EXPECT_EQ(takeLog(), (Log{"enter A", "down A", "up A"})) << "the next click reaches the control under the cursor";
}

}  // namespace
