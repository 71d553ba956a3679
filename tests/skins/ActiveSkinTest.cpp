#include "ActiveSkinFixture.h"

#include "skins/Skinnedbutton.h"
#include "skins/Skinnedpanel.h"
#include "skins/Skinnedswitch.h"

// The cell an active skin shows in each state and the fade that takes it there, driven by
// injected mouse input; the events of a press, kept or cancelled.

namespace {

using ActiveSkin = ActiveSkinFixture;
using Shown = std::tuple<int, int, int>;
using Log = std::vector<std::string>;

TEST_F(ActiveSkin, AButtonFadesToTheCellOfEachStateWithTheDurationOfWhatHappened)
{
    auto* b = make<TSkinnedButton>("B", 10, 10);
    EXPECT_EQ(shown(b), Shown(0, 0, 250)) << "a new button shows its normal cell";

    moveTo(b, 16, 16);
    EXPECT_EQ(shown(b), Shown(1, 0, 300)) << "hover";
    EXPECT_TRUE(b->GetFadingInProgress());
    run(150);
    const uint32_t halfway = screenColour(b, 16, 16);
    EXPECT_NE(halfway, cellColour(0, 0));
    EXPECT_NE(halfway, cellColour(1, 0)) << "half way through the fade the screen shows a mix";
    run(200);
    EXPECT_FALSE(b->GetFadingInProgress());
    EXPECT_EQ(screenColour(b, 16, 16), cellColour(1, 0));

    press(b, 16, 16);
    EXPECT_EQ(shown(b), Shown(2, 0, 100)) << "pressed";
    release(b, 16, 16);
    EXPECT_EQ(shown(b), Shown(1, 0, 200)) << "released over the button: hover again, with the release's fade";
    EXPECT_FALSE(b->GetPressCancelled());
    EXPECT_TRUE(b->GetMouseIsCaptured()) << "the capture stays while the cursor is over the button";

    // The cut-away corner is outside the button although inside its rectangle.
    moveTo(b, 1, 1);
    EXPECT_EQ(shown(b), Shown(0, 0, 300)) << "left over the cut-away corner";
    EXPECT_FALSE(b->GetMouseIsCaptured());
    run(400);
    EXPECT_EQ(screenColour(b, 16, 16), cellColour(0, 0));

    // Pressed, dragged away and released there: the pressed cell stays until the release.
    moveTo(b, 16, 16);
    press(b, 16, 16);
    moveTo(b, 100, 100);
    EXPECT_EQ(shown(b), Shown(2, 0, 100)) << "leaving with the button held keeps the pressed cell";
    release(b, 100, 100);
    EXPECT_EQ(shown(b), Shown(0, 0, 200)) << "released away: normal, with the release's fade";
    EXPECT_TRUE(b->GetPressCancelled());

    // Without a disabled column disabling and enabling change nothing.
    b->SetEnabled(false);
    EXPECT_EQ(shown(b), Shown(0, 0, 200));
    b->SetEnabled(true);
    EXPECT_EQ(shown(b), Shown(0, 0, 200));

    // With one, the last column shows while disabled.
    b->SetEnableDisabledArtwork(true);
    EXPECT_EQ(b->GetThemeHorzCount(), 4);
    b->SetEnabled(false);
    EXPECT_EQ(shown(b), Shown(3, 0, 600));
    b->SetEnabled(true);
    EXPECT_EQ(shown(b), Shown(0, 0, 600));
    moveTo(b, 16, 16);
    b->SetEnabled(false);
    b->SetEnabled(true);
    EXPECT_EQ(shown(b), Shown(1, 0, 600)) << "enabled again under the cursor: hover";
}

TEST_F(ActiveSkin, ASwitchTogglesOnceOnAClickAndNeverFromCodeOrAReleaseAway)
{
    auto* s = make<TSkinnedSwitch>("S", 60, 10);
    EXPECT_EQ(s->GetThemeHorzCount(), 3);
    EXPECT_EQ(s->GetThemeVertCount(), 2);
    EXPECT_EQ(shown(s), Shown(0, 0, 250));

    moveTo(s, 16, 16);
    EXPECT_EQ(shown(s), Shown(1, 0, 300));
    press(s, 16, 16);
    EXPECT_EQ(shown(s), Shown(2, 0, 100));
    takeLog();
    release(s, 16, 16);
    EXPECT_TRUE(s->GetSwitchedOn());
    EXPECT_EQ(shown(s), Shown(1, 1, 400)) << "on, and still under the cursor";
    EXPECT_EQ(takeLog(), (Log{"up S", "state S"}));
    run(450);
    EXPECT_EQ(screenColour(s, 16, 16), cellColour(1, 1));

    moveTo(s, 100, 100);
    EXPECT_EQ(shown(s), Shown(0, 1, 300)) << "left: the normal cell of the on row";

    takeLog();
    s->SetSwitchedOn(false);
    EXPECT_EQ(shown(s), Shown(0, 0, 400)) << "switched off from code, with the state-change fade";
    s->SetSwitchedOn(true);
    EXPECT_EQ(shown(s), Shown(0, 1, 400));
    s->SetSwitchedOn(true);
    EXPECT_TRUE(takeLog().empty()) << "code never raises OnStateChange";

    // A press released away toggles nothing.
    moveTo(s, 16, 16);
    press(s, 16, 16);
    moveTo(s, 100, 100);
    takeLog();
    release(s, 100, 100);
    EXPECT_TRUE(s->GetSwitchedOn());
    EXPECT_EQ(takeLog(), (Log{"cancel S", "up S"})) << "cancelled first, then the release, and no state change";
    EXPECT_EQ(shown(s), Shown(0, 1, 200)) << "back to normal with the release's fade";
}

TEST_F(ActiveSkin, APanelKeepsItsCellButReportsTheMouse)
{
    auto* p = make<TSkinnedPanel>("P", 10, 60);
    EXPECT_EQ(p->GetThemeHorzCount(), 1);
    EXPECT_EQ(p->GetThemeVertCount(), 1);
    moveTo(p, 16, 16);
    press(p, 16, 16);
    release(p, 16, 16);
    moveTo(p, 100, 100);
    EXPECT_EQ(shown(p), Shown(0, 0, 250)) << "no cell change and no fade started";
    EXPECT_FALSE(p->GetFadingInProgress());
    EXPECT_EQ(takeLog(), (Log{"enter P", "down P", "up P", "exit P"}));
}

TEST_F(ActiveSkin, ADisabledControlGetsNoClickAndForgetsItsPress)
{
    auto* s = make<TSkinnedSwitch>("S", 60, 10);
    // A handler that disables the switch while it is held (as a window may do).
    s->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { s->SetEnabled(false); };
    moveTo(s, 16, 16);
    press(s, 16, 16);
    release(s, 16, 16);
    EXPECT_FALSE(s->GetSwitchedOn());
    EXPECT_FALSE(s->GetMouseButtonHeld()) << "the release can never arrive: the press is over";
    EXPECT_FALSE(s->GetMouseIsCaptured());
    takeLog();
    press(s, 16, 16);
    release(s, 16, 16);
    EXPECT_TRUE(takeLog().empty()) << "a disabled switch gets no input";

    s->OnMouseDown = nullptr;
    s->SetEnabled(true);
    moveTo(s, 17, 16);
    EXPECT_EQ(takeLog(), (Log{"enter S"})) << "the first move after enabling is an entry";
    EXPECT_EQ(shown(s), Shown(1, 0, 300)) << "shown as hovered, not as held";
}

}  // namespace
