#pragma once
// The row copies behind BitBlt, StretchBlt and TransparentBlt: one function per fast path
// and the general one, each usable (and measurable) alone. A blit works out a BlitRows
// once, picks its copy with chooseRowCopy and calls it for every target row of every clip
// box. Coordinates are the surfaces'.
#include <unordered_map>
#include <vector>

#include "platform/PixelSurface.h"

struct BlitRows
{
    const PixelSurface* src = nullptr;
    PixelSurface* dst = nullptr;
    int left = 0;            // the target column cols[0] belongs to
    std::vector<int> cols;   // source column of each target column (-1: outside the source)
    bool straight = false;   // same width, not mirrored: cols run on one by one
    bool keyed = false;      // pixels of colour key are left out
    COLORREF key = 0;
    COLORREF srcBk = 0;      // the source DC's background: 1 on a monochrome target

    // Stretches of target columns whose source columns run on one by one.
    struct Run
    {
        int at, from, count;   // target column (from left), source column, length
    };
    std::vector<Run> runs;

    std::unordered_map<COLORREF, int> nearest;   // palette lookups of the general copy
};

// Copies target row y, columns [x0, x1), from source row sy.
using RowCopy = void (*)(BlitRows& rows, int y, int sy, int x0, int x1);

// Same width, not mirrored, both formats direct (24 or 32 bits): one contiguous move.
void copyRowStraight(BlitRows& rows, int y, int sy, int x0, int x1);
// 24 onto 32 bits, shrunk by a little: each run of neighbours widened as one move.
void copyRowRuns(BlitRows& rows, int y, int sy, int x0, int x1);
// 24 onto 32 bits, any other stretch: one word per target pixel.
void gatherRow24To32(BlitRows& rows, int y, int sy, int x0, int x1);
// Direct formats, any other pairing: three bytes per target pixel.
void gatherRowDirect(BlitRows& rows, int y, int sy, int x0, int x1);
// Any formats, colour key honoured: pixel by pixel through RGB values.
void convertRow(BlitRows& rows, int y, int sy, int x0, int x1);

// Fills in runs where copyRowRuns pays, and returns the copy for this blit.
RowCopy chooseRowCopy(BlitRows& rows);

// Pixel runs between 24 and 32 bits (the fourth byte 0). widenRun reads exactly 3 * count
// bytes and writes exactly 4 * count.
void widenRun(const uint8_t* from, uint8_t* to, int count);
void narrowRun(const uint8_t* from, uint8_t* to, int count);
