#include "skins/SkinState.h"

#include <algorithm>

TCellSize ThemeCellSize(int SetWidth, int SetHeight, int HorzCount, int VertCount)
{
    return TCellSize{SetWidth / std::max(HorzCount, 1), SetHeight / std::max(VertCount, 1)};
}

TRect ThemeCellRect(int H, int V, TCellSize Cell)
{
    const int left = H * Cell.Width, top = V * Cell.Height;
    return TRect(left, top, left + Cell.Width, top + Cell.Height);
}

bool NeedsStretch(TCellSize Cell, int Width, int Height)
{
    return !(Cell.Width == Width && Cell.Height == Height);
}

int RescaledExtent(int Extent, int NewCount, int OldCount)
{
    if (OldCount <= 0)
        return Extent;
    const double ratio = double(NewCount) / double(OldCount);
    return int(double(Extent) * ratio);
}

TFadeStep FadeStepAt(int64_t ElapsedMs, int IntervalMs)
{
    TFadeStep step;
    if (IntervalMs <= 0 || ElapsedMs < 0 || ElapsedMs > IntervalMs)
        return step;
    step.NewWeight = double(ElapsedMs) / double(IntervalMs);
    step.OldWeight = 1.0 - step.NewWeight;
    step.Finished = false;
    return step;
}

unsigned FrameIntervalForRate(int FramesPerSecond)
{
    return unsigned(1000 / std::clamp(FramesPerSecond, 1, 1000));
}

void TColorMap::Resize(int Columns, int Rows, TColor Fill)
{
    if (Columns <= 0 || Rows <= 0) {
        FColumns = FRows = 0;
        FCells.clear();
        return;
    }
    std::vector<TColor> cells(size_t(Columns) * size_t(Rows), Fill);
    for (int v = 0; v < std::min(Rows, FRows); ++v)
        for (int h = 0; h < std::min(Columns, FColumns); ++h)
            cells[size_t(v) * size_t(Columns) + size_t(h)] = FCells[size_t(v) * size_t(FColumns) + size_t(h)];
    FCells = std::move(cells);
    FColumns = Columns;
    FRows = Rows;
}

TColor TColorMap::Get(int H, int V, TColor Fallback) const
{
    return Contains(H, V) ? FCells[size_t(V) * size_t(FColumns) + size_t(H)] : Fallback;
}

void TColorMap::Set(int H, int V, TColor Color)
{
    if (Contains(H, V))
        FCells[size_t(V) * size_t(FColumns) + size_t(H)] = Color;
}
