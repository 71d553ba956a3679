#include "SkinFixture.h"

// Where the mouse is for a skinned control, its capture, and where a drag moves things.

namespace {

using SkinMouse = SkinFixture;

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

}  // namespace
