#include <gtest/gtest.h>

#include "skins/SkinState.h"

namespace {

TEST(SkinState, CellGeometryTruncatesAndNeverDividesByZero)
{
    EXPECT_EQ(ThemeCellSize(96, 32, 3, 1), (TCellSize{32, 32}));
    // The remainder strip of a set 100 wide in 3 columns is never part of a cell.
    EXPECT_EQ(ThemeCellSize(100, 10, 3, 1).Width, 33);
    EXPECT_EQ(ThemeCellRect(2, 0, ThemeCellSize(100, 10, 3, 1)), TRect(66, 0, 99, 10));
    EXPECT_EQ(ThemeCellRect(2, 1, TCellSize{32, 32}), TRect(64, 32, 96, 64));
    // A grid that a zero or negative count left behind counts as one cell.
    EXPECT_EQ(ThemeCellSize(96, 64, 0, -2), (TCellSize{96, 64}));
    EXPECT_FALSE(NeedsStretch(TCellSize{32, 32}, 32, 32));
    EXPECT_TRUE(NeedsStretch(TCellSize{8, 128}, 8, 132));
}

TEST(SkinState, RescaledExtentKeepsTheCellSize)
{
    EXPECT_EQ(RescaledExtent(96, 6, 3), 192);
    EXPECT_EQ(RescaledExtent(100, 2, 3), 66);
    EXPECT_EQ(RescaledExtent(96, 0, 3), 0);
    EXPECT_EQ(RescaledExtent(96, 4, 0), 96);
}

TEST(SkinState, FadeWeightsFollowTheElapsedTimeAndAlwaysEnd)
{
    TFadeStep s = FadeStepAt(100, 250);
    EXPECT_DOUBLE_EQ(s.NewWeight, 0.4);
    EXPECT_DOUBLE_EQ(s.OldWeight, 0.6);
    EXPECT_FALSE(s.Finished);
    // Exactly the interval is still a frame of the fade; beyond it the new end is shown.
    EXPECT_FALSE(FadeStepAt(250, 250).Finished);
    EXPECT_DOUBLE_EQ(FadeStepAt(250, 250).NewWeight, 1.0);
    s = FadeStepAt(251, 250);
    EXPECT_TRUE(s.Finished);
    EXPECT_EQ(s.NewWeight, 1.0);
    EXPECT_EQ(s.OldWeight, 0.0);
    // A clock that went back ends the fade instead of running with negative weights.
    s = FadeStepAt(-86'399'000, 250);
    EXPECT_TRUE(s.Finished);
    EXPECT_EQ(s.NewWeight, 1.0);
    EXPECT_TRUE(FadeStepAt(10, 0).Finished);
}

TEST(SkinState, FrameRatesOutsideOneToAThousandAreClamped)
{
    EXPECT_EQ(FrameIntervalForRate(25), 40u);
    EXPECT_EQ(FrameIntervalForRate(0), 1000u);
    EXPECT_EQ(FrameIntervalForRate(-5), 1000u);
    EXPECT_EQ(FrameIntervalForRate(1000), 1u);
    EXPECT_EQ(FrameIntervalForRate(5000), 1u);
}

TEST(SkinState, ColorMapKeepsItsOwnDimensions)
{
    TColorMap map;
    EXPECT_FALSE(map.Allocated());
    EXPECT_EQ(map.Get(0, 0, clRed), clRed);
    map.Set(0, 0, clBlue);   // refused: no cell
    map.Resize(3, 2, clWhite);
    map.Set(2, 1, clBlue);
    map.Set(3, 0, clBlack);
    map.Set(-1, 0, clBlack);
    EXPECT_EQ(map.Get(2, 1, clRed), clBlue);
    EXPECT_EQ(map.Get(0, 0, clRed), clWhite);
    EXPECT_EQ(map.Get(3, 0, clRed), clRed);
    // Growing keeps the cells that were there; new ones get the fill.
    map.Resize(4, 3, clAqua);
    EXPECT_EQ(map.Get(2, 1, clRed), clBlue);
    EXPECT_EQ(map.Get(3, 2, clRed), clAqua);
    map.Resize(2, 2, clAqua);
    EXPECT_EQ(map.Get(2, 1, clRed), clRed);
    map.Resize(0, 5, clAqua);
    EXPECT_FALSE(map.Allocated());
}

}  // namespace

namespace {

TEST(SkinState, PermissionLocksNestAndNeverGoBelowZero)
{
    TPermissionLocks locks;
    locks.Set(TPermission::ShapeUpdating, false);
    locks.Set(TPermission::ShapeUpdating, false);
    locks.Set(TPermission::ShapeUpdating, true);
    EXPECT_FALSE(locks.Allowed(TPermission::ShapeUpdating)) << "one lock still held";
    locks.Set(TPermission::ShapeUpdating, true);
    locks.Set(TPermission::ShapeUpdating, true);   // one too many: no credit kept
    locks.Set(TPermission::ShapeUpdating, false);
    EXPECT_FALSE(locks.Allowed(TPermission::ShapeUpdating));
    EXPECT_TRUE(locks.Allowed(TPermission::Fading));
    // Each workspace has its own artwork event; numbers are taken modulo 2.
    locks.Set(TPermissionLocks::ArtworkChangeEvent(3), false);
    EXPECT_FALSE(locks.Allowed(TPermissionLocks::ArtworkChangeEvent(1)));
    EXPECT_TRUE(locks.Allowed(TPermissionLocks::ArtworkChangeEvent(0)));
}

TEST(SkinState, AFadeShowsItsOldEndUntilTheFirstFrameAndKeepsItsWeightsWhenEnded)
{
    TFadeState fade;
    fade.SetInterval(200);
    fade.Start(1000, false, true);
    EXPECT_EQ(fade.OldWeight(), 1.0);
    EXPECT_EQ(fade.NewWeight(), 0.0);
    EXPECT_TRUE(fade.FadesArtwork());
    EXPECT_FALSE(fade.Frame(1050).Finished);
    EXPECT_DOUBLE_EQ(fade.NewWeight(), 0.25);
    fade.End();
    EXPECT_FALSE(fade.FadesArtwork());
    EXPECT_DOUBLE_EQ(fade.OldWeight(), 0.75) << "how far it came";
    fade.Start(2000, true, false);
    EXPECT_TRUE(fade.Frame(2201).Finished);
    EXPECT_EQ(fade.NewWeight(), 1.0);
}

TEST(SkinState, APressReleasedAwayIsCancelledUntilTheNextPress)
{
    TPointerState p;
    p.Press(TPoint(5, 7));
    EXPECT_TRUE(p.ButtonHeld());
    p.Release(true);
    EXPECT_FALSE(p.ButtonHeld());
    EXPECT_TRUE(p.PressCancelled());
    p.Release(false);   // a later release does not undo the cancel
    EXPECT_TRUE(p.PressCancelled());
    p.Press(TPoint(1, 2));
    EXPECT_FALSE(p.PressCancelled());
    EXPECT_EQ(p.DragTarget(TPoint(11, 12), TPoint(100, 50)), TPoint(110, 60));
    p.SetWasInControl(true);
    p.Forget();
    EXPECT_FALSE(p.ButtonHeld());
    EXPECT_FALSE(p.WasInControl());
}

TEST(SkinState, APointerFromAnInnerMessageOutlivesItsScopeOnlyInsideAnOuterOne)
{
    TPoint at;
    EXPECT_FALSE(TPointerFromMessage::Current(at));
    {
        TPointerFromMessage outer(TPoint(1, 1));
        {
            TPointerFromMessage inner(TPoint(9, 9));
        }
        ASSERT_TRUE(TPointerFromMessage::Current(at));
        EXPECT_EQ(at, TPoint(9, 9)) << "the newer position";
    }
    EXPECT_FALSE(TPointerFromMessage::Current(at));
}

TEST(SkinState, SiblingsShareTheirCountAndShapeParentUntilEachLeaves)
{
    auto first = std::make_unique<TSiblingShare>();
    TSiblingShare second, underSkinnedParent;
    first->Open(true);
    second.Join(*first, true);
    underSkinnedParent.SetShapeParent(false);
    underSkinnedParent.Join(*first, false);
    EXPECT_EQ(first->Count(), 3);
    second.SetShapeParent(true);
    EXPECT_TRUE(first->ShapeParent());
    EXPECT_FALSE(underSkinnedParent.ShapeParent()) << "keeps its own flag";
    // The first to come leaves and is freed: the others keep the shared storage.
    first->SetCount(first->Count() - 1);
    first->LeaveCount();
    first->LeaveShapeParent();
    EXPECT_FALSE(first->ShapeParent());
    first.reset();
    EXPECT_EQ(second.Count(), 2);
    EXPECT_TRUE(second.ShapeParent());
    second.LeaveCount();
    EXPECT_EQ(second.Count(), 0);
}

}  // namespace
