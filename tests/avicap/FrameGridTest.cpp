// The frame grid alone: which frame fills which slot, and what counts as dropped or skipped.
#include <gtest/gtest.h>

#include "avicap/avi/FrameGrid.h"

TEST(FrameGrid, NearestSlotFirstFrameWinsGapsDropAndTheLimitStops)
{
    FrameGrid grid;
    grid.start(1000000, 250000, 2000000);   // 4 fps from t = 1 s, a two-second limit
    EXPECT_EQ(grid.take(1000000 + 20000), 0u);
    EXPECT_FALSE(grid.take(1000000 + 100000)) << "still nearest slot 0: skipped";
    EXPECT_EQ(grid.take(1000000 + 130000), 1u) << "past half an interval: the next slot";
    EXPECT_EQ(grid.take(1000000 + 1010000), 4u);
    EXPECT_EQ(grid.dropped(), 2u) << "slots 2 and 3 got no frame";
    EXPECT_EQ(grid.skipped(), 1u);
    EXPECT_FALSE(grid.take(900000)) << "a frame from before the start is late for slot 0";
    grid.lost();   // slot 4's picture never reached the file
    EXPECT_EQ(grid.dropped(), 3u);
    EXPECT_EQ(grid.take(1000000 + 1760000), 7u);
    EXPECT_FALSE(grid.take(1000000 + 1900000)) << "slot 8 starts at the limit";
    EXPECT_EQ(grid.slots(), 8u);
    EXPECT_EQ(grid.slotUs(7), 1750000);

    grid.start(0, 0);   // a zero interval is one microsecond, never a division by zero
    EXPECT_EQ(grid.take(5), 5u);
    EXPECT_EQ(grid.slots(), 6u);
    EXPECT_EQ(grid.dropped(), 5u) << "a new start forgets the old counts";
}
