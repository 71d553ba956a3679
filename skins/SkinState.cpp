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

void TPermissionLocks::Set(TPermission Kind, bool Allow)
{
    int& lock = FLocks[int(Kind)];
    if (!Allow)
        ++lock;
    else if (lock > 0)
        --lock;
}

void TFadeState::Start(int64_t NowMs, bool FadeColor, bool FadeArtwork)
{
    FColor = FadeColor;
    FArtwork = FadeArtwork;
    FOldWeight = 1.0;
    FNewWeight = 0.0;
    FStartMs = NowMs;
}

TFadeStep TFadeState::Frame(int64_t NowMs)
{
    const TFadeStep step = FadeStepAt(NowMs - FStartMs, FInterval);
    FOldWeight = step.OldWeight;
    FNewWeight = step.NewWeight;
    return step;
}

void TPointerState::Press(TPoint At)
{
    FButtonHeld = true;
    FDownPos = At;
    FPressCancelled = false;
}

void TPointerState::Release(bool ReleasedAway)
{
    FButtonHeld = false;
    if (ReleasedAway)
        FPressCancelled = true;
}

void TPointerState::Forget()
{
    FButtonHeld = false;
    FWasInControl = false;
}

TPoint TPointerState::DragTarget(TPoint At, TPoint Position) const
{
    return TPoint(At.X - FDownPos.X + Position.X, At.Y - FDownPos.Y + Position.Y);
}

namespace {

bool pointerKnown = false;
TPoint pointerScreen;

}  // namespace

TPointerFromMessage::TPointerFromMessage(TPoint Screen) : FPrevious(pointerScreen), FHadPrevious(pointerKnown)
{
    pointerScreen = Screen;
    pointerKnown = true;
}

TPointerFromMessage::~TPointerFromMessage()
{
    // An outer message keeps the newer position of the one handled inside it.
    pointerKnown = FHadPrevious;
    if (!FHadPrevious)
        pointerScreen = FPrevious;
}

bool TPointerFromMessage::Current(TPoint& Screen)
{
    if (pointerKnown)
        Screen = pointerScreen;
    return pointerKnown;
}

void TSiblingShare::Open(bool ShareShapeParent)
{
    if (ShareShapeParent) {
        FSharedShapeParent = std::make_shared<bool>(false);
        FShapeParent = FSharedShapeParent.get();
    }
    FSharedCount = std::make_shared<int>(0);
    FCount = FSharedCount.get();
    SetCount(1);
}

void TSiblingShare::Join(const TSiblingShare& First, bool ShareShapeParent)
{
    FSharedCount = First.FSharedCount;
    FCount = First.FCount;
    SetCount(Count() + 1);
    if (ShareShapeParent) {
        FSharedShapeParent = First.FSharedShapeParent;
        FShapeParent = First.FShapeParent;
    }
}

void TSiblingShare::LeaveCount()
{
    FCount = &FOwnCount;
    FSharedCount.reset();
}

void TSiblingShare::LeaveShapeParent()
{
    FShapeParent = &FOwnShapeParent;
    FSharedShapeParent.reset();
}
