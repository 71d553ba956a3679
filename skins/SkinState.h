#pragma once
// The decisions of the skinned controls that need no painting: which cell of an artwork set
// is shown, whether it must be stretched, how far a fade has come, how the colour map is
// kept. The control (Customskinnedcontrol) asks these; tests check them directly.
#include <cstdint>
#include <memory>
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

// Which workspace is the new one (what is shown, what a fade runs to) and which the old one
// (what a fade runs from). A fade's end makes the new one old.
class TWorkspaces
{
public:
    int New() const { return FNew; }
    int Old() const { return 1 - FNew; }
    void Switch() { FNew = 1 - FNew; }

private:
    int FNew = 1;
};

// The cached items of a skinned control that are kept once, and those kept per workspace.
enum class TCacheItem { ColorSet, ColorMap, ArtworkSet, ArtworkMap, SkinBitmap, FadingSkinBitmap, ClientBitmap,
                        ArtworkShape, ChildShapes, SkinShape, Count };
enum class TWorkspaceItem { Color, Artwork, StretchedArtwork, ArtworkMux, ColorizedArtwork, Count };

// Whether each cached item is up to date. A workspace number is taken modulo 2.
class TCacheValidity
{
public:
    bool Valid(TCacheItem Item) const { return FItems[int(Item)]; }
    void Set(TCacheItem Item, bool Value) { FItems[int(Item)] = Value; }
    bool Valid(TWorkspaceItem Item, int W) const { return FWorkspace[int(Item)][W & 1]; }
    void Set(TWorkspaceItem Item, int W, bool Value) { FWorkspace[int(Item)][W & 1] = Value; }
    // Both workspaces' flags of one item, for code that inspects the caches.
    bool (&Flags(TWorkspaceItem Item))[2] { return FWorkspace[int(Item)]; }

private:
    bool FItems[int(TCacheItem::Count)] = {};
    bool FWorkspace[int(TWorkspaceItem::Count)][2] = {};
};

// The permissions that code takes away for a while (so that a change of cell keeps its
// outline, or a quiet copy raises no change event). Each is a lock counter: false takes a
// lock, true gives one back, never below 0; allowed while no lock is held.
enum class TPermission { Fading, ShapeUpdating, ColorSetChangeEvent, ArtworkSetChangeEvent, ArtworkChangeEvent0,
                         ArtworkChangeEvent1, Count };

class TPermissionLocks
{
public:
    bool Allowed(TPermission Kind) const { return FLocks[int(Kind)] == 0; }
    void Set(TPermission Kind, bool Allow);
    // The artwork change event of workspace W.
    static TPermission ArtworkChangeEvent(int W)
    {
        return (W & 1) ? TPermission::ArtworkChangeEvent1 : TPermission::ArtworkChangeEvent0;
    }

private:
    int FLocks[int(TPermission::Count)] = {};
};

// A running cross-fade between the workspaces: what it fades (colour, picture or both), its
// start on the monotonic clock and the weights of its two ends.
class TFadeState
{
public:
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    int Interval() const { return FInterval; }
    void SetInterval(int Value) { FInterval = Value; }
    bool FadesColor() const { return FColor; }
    bool FadesArtwork() const { return FArtwork; }
    double OldWeight() const { return FOldWeight; }
    double NewWeight() const { return FNewWeight; }
    // Until the first frame the old end is shown whole.
    void Start(int64_t NowMs, bool FadeColor, bool FadeArtwork);
    // The weights NowMs calls for; a finished step ends the fade (nothing faded any more).
    TFadeStep Frame(int64_t NowMs);
    // The weights stay as they were: they tell how far the fade had come.
    void End() { FColor = FArtwork = false; }

private:
    bool FEnabled = false;
    int FInterval = 250;
    bool FColor = false;
    bool FArtwork = false;
    int64_t FStartMs = 0;
    double FOldWeight = 0.0;
    double FNewWeight = 1.0;
};

// The pointer as a skinned control sees it: whether it was over the control at the last
// look, the last press (held, released away, where it was), and dragging.
class TPointerState
{
public:
    bool WasInControl() const { return FWasInControl; }
    void SetWasInControl(bool Value) { FWasInControl = Value; }
    bool ButtonHeld() const { return FButtonHeld; }
    bool PressCancelled() const { return FPressCancelled; }
    TPoint DownPos() const { return FDownPos; }
    void Press(TPoint At);
    // ReleasedAway: the release happened off the control, which cancels the press.
    void Release(bool ReleasedAway);
    // Input was taken away (the control disabled): no press and no hover are in progress.
    void Forget();
    bool Dragable() const { return FDragable; }
    void SetDragable(bool Value) { FDragable = Value; }
    bool DragParent() const { return FDragParent; }
    void SetDragParent(bool Value) { FDragParent = Value; }
    bool Dragging() const { return FDragging; }
    void SetDragging(bool Value) { FDragging = Value; }
    bool BeingDragged() const { return FBeingDragged; }
    void SetBeingDragged(bool Value) { FBeingDragged = Value; }
    // Where a control at Position goes for the pointer at At: the grabbed point stays under it.
    TPoint DragTarget(TPoint At, TPoint Position) const;

private:
    bool FWasInControl = false;
    bool FButtonHeld = false;
    bool FPressCancelled = false;
    TPoint FDownPos;
    bool FDragable = false;
    bool FDragParent = false;
    bool FDragging = false;
    bool FBeingDragged = false;
};

// The pointer's screen position taken from the mouse message being handled, so that the
// questions asked while handling it need not ask the display server. Program-wide: a
// message handled inside another (a handler that processes messages) brings the newer
// position, which the outer one then goes on with.
class TPointerFromMessage
{
public:
    explicit TPointerFromMessage(TPoint Screen);
    ~TPointerFromMessage();
    TPointerFromMessage(const TPointerFromMessage&) = delete;
    TPointerFromMessage& operator=(const TPointerFromMessage&) = delete;
    // False outside the handling of a mouse message.
    static bool Current(TPoint& Screen);

private:
    TPoint FPrevious;
    bool FHadPrevious;
};

// ShapeParent and the count of skinned siblings: the control's own storage, or storage
// shared with its skinned siblings (kept alive by whichever sibling still holds it).
class TSiblingShare
{
public:
    TSiblingShare() = default;
    TSiblingShare(const TSiblingShare&) = delete;
    TSiblingShare& operator=(const TSiblingShare&) = delete;

    bool ShapeParent() const { return *FShapeParent; }
    void SetShapeParent(bool Value) { *FShapeParent = Value; }
    int Count() const { return *FCount; }
    void SetCount(int Value) { *FCount = Value; }
    // The first sibling: new shared storage, the ShapeParent flag too when asked.
    void Open(bool ShareShapeParent);
    // A further sibling: First's storage, counted once more.
    void Join(const TSiblingShare& First, bool ShareShapeParent);
    // Back to the own count (0 unless written since).
    void LeaveCount();
    // Back to the own ShapeParent flag.
    void LeaveShapeParent();

private:
    bool FOwnShapeParent = false;
    bool* FShapeParent = &FOwnShapeParent;
    std::shared_ptr<bool> FSharedShapeParent;
    int FOwnCount = 0;
    int* FCount = &FOwnCount;
    std::shared_ptr<int> FSharedCount;
};
