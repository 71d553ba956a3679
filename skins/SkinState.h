#pragma once
// The decisions of the skinned controls that need no painting: which cell of an artwork set
// is shown, whether it must be stretched, how far a fade has come, how the colour map is
// kept. The control (Customskinnedcontrol) asks these; tests check them directly.
#include <cstdint>
#include <vector>

#include "framework/Graphics.h"

struct TCellSize
{
    int Width = 0;
    int Height = 0;
    bool operator==(const TCellSize&) const = default;
};

// The cell size of a set divided into HorzCount x VertCount cells (integer division; the
// remainder strip is never shown). A count of 0 or below counts as one cell, so a grid
// that a zero count left behind never divides by zero.
TCellSize ThemeCellSize(int SetWidth, int SetHeight, int HorzCount, int VertCount);
// Cell (H, V) of cells of the given size.
TRect ThemeCellRect(int H, int V, TCellSize Cell);
// The shown picture is stretched when the control's size differs from the cell's.
bool NeedsStretch(TCellSize Cell, int Width, int Height);
// An extent of a set resized from OldCount to NewCount cells: trunc(Extent * New / Old).
// With OldCount 0 or below the extent is kept.
int RescaledExtent(int Extent, int NewCount, int OldCount);

// One frame of a fade: the weights of the two ends and whether this frame ends the fade.
struct TFadeStep
{
    double OldWeight = 0.0;
    double NewWeight = 1.0;
    bool Finished = true;
};
// Elapsed beyond the interval ends the fade on the new end exactly; a negative elapsed time
// (a clock that went back) ends it too, rather than running on with negative weights.
TFadeStep FadeStepAt(int64_t ElapsedMs, int IntervalMs);
// The frame timer's interval for a rate, the rate kept within 1..1000 frames per second
// (0 would divide by zero, above 1000 the interval would be 0 and the timer never fire).
unsigned FrameIntervalForRate(int FramesPerSecond);

// The colours of the cells of a colour set, one per cell, with its own dimensions: reads and
// writes outside them are refused, so a map that lags behind the grid is never overrun.
class TColorMap
{
public:
    bool Allocated() const { return FColumns > 0 && FRows > 0; }
    int Columns() const { return FColumns; }
    int Rows() const { return FRows; }
    // A map of Columns x Rows; cells that existed keep their colour, new ones get Fill.
    // A count of 0 or below frees the map.
    void Resize(int Columns, int Rows, TColor Fill);
    void Clear() { Resize(0, 0, 0); }
    bool Contains(int H, int V) const { return H >= 0 && V >= 0 && H < FColumns && V < FRows; }
    // Fallback outside the map.
    TColor Get(int H, int V, TColor Fallback) const;
    // Nothing outside the map.
    void Set(int H, int V, TColor Color);

private:
    int FColumns = 0;
    int FRows = 0;
    std::vector<TColor> FCells;   // row by row
};
