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
