#pragma once
// Unit Customskinnedcontrol: TCustomSkinnedControl, the base of every skinned control. It
// shows one cell of an artwork set (a grid of pictures), stretched to its size and tinted
// when asked, cross-fades between cells and colours, and can give its window (or its
// ordinary parent window) the outline of its artwork.
//
// Pictures are cached in a chain: Invalidate... clears a flag and passes the invalidation
// on, Update... rebuilds, Get... rebuilds when invalid. Everything that depends on the cell
// shown is kept twice, in two workspaces: the new one (what is shown, what a fade runs to)
// and the old one (what a fade runs from).
//
// The class is split by concern: Customskinnedcontrol.cpp (construction, colour, painting),
// CustomskinnedcontrolArtwork.cpp (artwork, sets, caches), CustomskinnedcontrolCells.cpp
// (colour map, theme cells), CustomskinnedcontrolShapes.cpp (outlines, siblings),
// CustomskinnedcontrolFading.cpp, CustomskinnedcontrolBounds.cpp (Assign, SetBounds),
// CustomskinnedcontrolMouse.cpp (mouse tracking, presses and dragging).
#include <memory>

#include "framework/Controls.h"
#include "framework/ExtCtrls.h"
#include "skins/Regions.h"
#include "skins/SkinState.h"
#include "skins/Skins.h"

using TSkinMouseEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TSkinMouseButtonEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TDragToEvent = std::function<void(TObject* Sender, TShiftState Shift, int& NewLeft, int& NewTop)>;

class TCustomSkinnedControl : public TCustomControl
{
public:
    explicit TCustomSkinnedControl(TComponent* AOwner);
    ~TCustomSkinnedControl() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    // ---- Virtual operations, in the order of the class's design ----
    virtual void SetThemeHorzCount(int Value);
    virtual void SetThemeVertCount(int Value);
    virtual void SetThemeHorzIndex(int Value);
    virtual void SetThemeVertIndex(int Value);
    virtual TColor GetColor() const;
    virtual void SetColor(TColor Value);
    virtual void SetColorSetPresent(bool Value);
    virtual TBitmap* GetColorSet();
    virtual void SetColorSet(TBitmap* Value);
    virtual bool StoreColorSet();
    virtual TColor GetColorMap(int H, int V);
    virtual void SetColorMap(int H, int V, TColor Color);
    virtual TBitmap* GetArtwork();
    virtual void SetArtwork(TBitmap* Value);
    virtual bool StoreArtwork();
    virtual void SetArtworkSetPresent(bool Value);
    virtual TBitmap* GetArtworkSet();
    virtual void SetArtworkSet(TBitmap* Value);
    virtual bool StoreArtworkSet();
    // A new bitmap that the caller owns.
    virtual std::unique_ptr<TBitmap> GetArtworkMap(int H, int V);
    // Part of the interface; what it should do is not settled, so it does nothing.
    virtual void SetArtworkMap(int H, int V, TBitmap* Bitmap);
    virtual TBitmap* GetStretchedArtwork();
    virtual TBitmap* GetArtworkMux();
    virtual TBitmap* GetColorizedArtwork();
    virtual TBitmap* GetSkinBitmap();
    virtual TRegion* GetArtworkShape();
    virtual TRegion* GetChildShapes();
    virtual TRegion* GetSkinShape();
    virtual void SetTransparentColor(TColor Value);
    virtual void SetTransparentMode(TTransparentMode Value);
    virtual void SetArtworked(bool Value);
    virtual void SetColorized(bool Value);
    virtual void SetStretched(bool Value);
    virtual void SetShaped(bool Value);
    virtual bool GetShapeParent();
    virtual void SetShapeParent(bool Value);
    virtual void SetEnableFading(bool Value);
    virtual void SetFadingInterval(int Value);
    virtual void SetDragable(bool Value);
    virtual void SetBeingDragged(bool Value);
    virtual bool GetMouseInControl();
    virtual bool GetMouseIsCaptured();
    virtual void SetMouseIsCaptured(bool Value);
    virtual TPoint GetMousePosition();
    virtual int GetSkinnedSiblingCount();
    virtual void SetSkinnedSiblingCount(int Value);
    virtual bool GetParentColor() const;
    virtual void SetParentColor(bool Value);
    virtual bool GetVisible() const;
    void SetVisible(bool Value) override;
    virtual void Assign(TBitmap* Source, int HorzCount, int VertCount);
    // Part of the interface; what it should do is not settled, so it does nothing.
    virtual void Assign(TBitmap* Source, int HorzCount, int VertCount, TColor Color, int Index);
    virtual void SetArtworkIndexes(int H, int V);
    virtual void SetThemeRange(int HorzCount, int VertCount);
    virtual void RecanvasArtwork(TBitmap* Source, int H, int V);
    // Mouse tracking hooks, raised by the mouse handling of the family.
    virtual void MouseEnterControl(TShiftState Shift, int X, int Y);
    virtual void MouseExitControl(TShiftState Shift, int X, int Y);
    virtual void MouseCancelled();
    virtual void DragTo(TShiftState Shift, int& NewLeft, int& NewTop);

    // ---- Framework operations overridden ----
    void Assign(TPersistent* Source) override;
    // The control's own mouse tracking: enter and leave follow the visible shape, presses
    // are recorded, and a press on a Dragable control drags it (or its parent).
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void SetParent(TWinControl* AParent) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    // ---- Plain properties ----
    int GetThemeHorzCount() const { return FThemeHorzCount; }
    int GetThemeVertCount() const { return FThemeVertCount; }
    int GetThemeHorzIndex() const { return FThemeHorzIndex; }
    int GetThemeVertIndex() const { return FThemeVertIndex; }
    bool GetColorSetPresent() const { return FColorSetPresent; }
    bool GetArtworkSetPresent() const { return FArtworkSetPresent; }
    TColor GetTransparentColor() const { return FTransparentColor; }
    TTransparentMode GetTransparentMode() const { return FTransparentMode; }
    bool GetArtworked() const { return FArtworked; }
    bool GetColorized() const { return FColorized; }
    bool GetStretched() const { return FStretched; }
    bool GetShaped() const { return FShaped; }
    bool GetDragable() const { return FDragable; }
    bool GetDragParent() const { return FDragParent; }
    void SetDragParent(bool Value) { FDragParent = Value; }
    bool GetBeingDragged() const { return FBeingDragged; }
    bool GetDragging() const { return FDragging; }
    // The state of the last press: a button still held, released away from the control.
    bool GetMouseButtonHeld() const { return FMouseButtonHeld; }
    bool GetPressCancelled() const { return FPressCancelled; }
    TPoint GetMouseDownPos() const { return FMouseDownPos; }
    bool GetEnableFading() const { return FEnableFading; }
    int GetFadingInterval() const { return FFadingInterval; }

    // ---- Caches (per workspace with a workspace number, 0 or 1) ----
    int NewWorkspace() const { return FNewWorkspace; }
    int OldWorkspace() const { return FOldWorkspace; }
    TColor GetPColor(int W);
    void SetPColor(int W, TColor Color);
    TBitmap* GetPArtwork(int W);
    void SetPArtwork(int W, TBitmap* Value);
    TBitmap* GetPStretchedArtwork(int W);
    TBitmap* GetPArtworkMux(int W);
    TBitmap* GetPColorizedArtwork(int W);
    TBitmap* GetFadingSkinBitmap();

    void InvalidateColorSet();
    void InvalidateColorMap();
    void InvalidateArtworkSet();
    void InvalidateArtworkMap();
    void InvalidatePColor(int W);
    void InvalidatePArtwork(int W);
    void InvalidatePStretchedArtwork(int W);
    void InvalidatePArtworkMux(int W);
    void InvalidatePColorizedArtwork(int W);
    void InvalidateSkinBitmap();
    void InvalidateFadingSkinBitmap();
    void InvalidateClientBitmap();

    // ---- Shapes ----
    void InvalidateArtworkShape();
    void InvalidateChildShapes(TControl* Excluded);
    void InvalidateSkinShape();
    void InvalidateParentChildShapes(TControl* Excluded);
    // Region becomes the union of Container's counted children's outlines, in Container's
    // window coordinates (null without a container).
    void SumChildShapes(TRegion* Region, TWinControl* Container, TControl* Excluded);
    static void ClipShape(TRegion* Region, int Width, int Height);
    void AttachSkinnedSibling();
    void DetachSkinnedSibling();
    bool SiblingAttached() const { return FSiblingAttached; }

    // ---- Permissions: false takes a lock, true gives one back (never below 0) ----
    bool GetAllowFading();
    void SetAllowFading(bool Value) { Count(FAllowFadingLock, Value); }
    bool GetAllowShapeUpdating() const { return FAllowShapeUpdatingLock == 0; }
    void SetAllowShapeUpdating(bool Value) { Count(FAllowShapeUpdatingLock, Value); }
    bool GetAllowColorSetChangeEvent() const { return FAllowColorSetChangeEventLock == 0; }
    void SetAllowColorSetChangeEvent(bool Value) { Count(FAllowColorSetChangeEventLock, Value); }
    bool GetAllowArtworkSetChangeEvent() const { return FAllowArtworkSetChangeEventLock == 0; }
    void SetAllowArtworkSetChangeEvent(bool Value) { Count(FAllowArtworkSetChangeEventLock, Value); }
    bool GetAllowArtworkChangeEvent(int W) const { return FAllowArtworkChangeEventLock[W & 1] == 0; }
    void SetAllowArtworkChangeEvent(int W, bool Value) { Count(FAllowArtworkChangeEventLock[W & 1], Value); }

    // ---- Fading ----
    int GetFadingFrameRate() const;
    void SetFadingFrameRate(int Value);
    bool GetFadingInProgress() const;
    void StartFading(bool FadeColor, bool FadeArtwork);
    void StopFading();
    double GetOldWeight() const { return FOldWeight; }
    double GetNewWeight() const { return FNewWeight; }
    TTimer* FadingFrameTimer() const { return FFadingFrameTimer.get(); }
    // The timer's handler: one frame of the running fade.
    void FadingFrameTimerOnTimer(TObject* Sender);
    // Whether a fade frame may run now: cleared while one runs, program-wide.
    static bool FrameGuardSet();

    // ---- Events of the family's own mouse handling ----
    TSkinMouseEvent OnMouseEnterControl;
    TSkinMouseEvent OnMouseExitControl;
    TNotifyEvent OnMouseCancelled;
    TSkinMouseButtonEvent OnMouseDown;   // the family's own, in place of the framework's
    TSkinMouseEvent OnMouseMove;
    TSkinMouseButtonEvent OnMouseUp;
    TDragToEvent OnDragTo;

protected:
    void Paint() override;
    void CreateWnd() override;
    // A disabled control gets no mouse input: a press or hover in progress is over.
    void EnabledChanged() override;

    // Rebuilds; virtual so that a subclass can watch the chain at work.
    virtual void UpdateColorSet();
    virtual void UpdateColorMap();
    virtual void UpdateArtworkSet();
    virtual void UpdateArtworkMap();
    virtual void UpdatePColor(int W);
    virtual void UpdatePArtwork(int W);
    virtual void UpdatePStretchedArtwork(int W);
    virtual void UpdatePColorizedArtwork(int W);
    virtual void UpdateFadingSkinBitmap();
    virtual void UpdateClientBitmap();
    virtual void UpdateArtworkShape();
    virtual void UpdateChildShapes(TControl* Excluded);
    virtual void UpdateSkinShape();
    virtual void UpdateClientShape();

    // ---- Bitmap operations ----
    // Replaces B by a new empty bitmap with B's pixel format and change handler (24-bit and
    // none without B). Fires nothing.
    static void DefaultBitmap(std::unique_ptr<TBitmap>& B);
    void FixBitmap(TBitmap* B);
    void UpdateTransparency(TBitmap* B, TColor Color, TTransparentMode Mode);
    void SwitchWorkspaces();
    void AttachFColorSetChngEvent();
    void AttachFArtworkSetChngEvent();
    void AttachFArtworkChngEvent(int W);

    // ---- Change handlers of the owned bitmaps ----
    void FColorSetOnChange(TObject* Sender);
    void FArtworkSetOnChange(TObject* Sender);
    void OldFArtworkOnChange(TObject* Sender);
    void NewFArtworkOnChange(TObject* Sender);

    // The skinned parent, only while it is still the parent.
    TCustomSkinnedControl* SkinnedParent() const;
    bool Designing() const { return ComponentState().Contains(csDesigning); }
    // The window can be made: the control has a chain of parents up to a top-level window.
    bool WindowReachable() const;
    void SetDragging(bool Value);

    // ---- Fields ----
    TColor FOldColor = clNone;
    TColor FNewColor = clNone;
    bool FWasMouseInControl = false;
    std::unique_ptr<TTimer> FFadingFrameTimer;
    // Milliseconds on the monotonic clock.
    int64_t FFadingStartTime = 0;
    int64_t FFadingCurrentTime = 0;
    int64_t FFadingElapsed = 0;
    double FOldWeight = 0.0;
    double FNewWeight = 1.0;
    bool FFadeColor = false;
    bool FFadeArtwork = false;
    int FOldWorkspace = 0;
    int FNewWorkspace = 1;
    bool FColorSetValid = false;
    bool FColorMapValid = false;
    bool FArtworkSetValid = false;
    bool FArtworkMapValid = false;
    bool FPColorValid[2] = {false, false};
    bool FPArtworkValid[2] = {false, false};
    bool FPStretchedArtworkValid[2] = {false, false};
    bool FPArtworkMuxValid[2] = {false, false};
    bool FPColorizedArtworkValid[2] = {false, false};
    bool FSkinBitmapValid = false;
    bool FFadingSkinBitmapValid = false;
    bool FClientBitmapValid = false;
    bool FArtworkShapeValid = false;
    bool FChildShapesValid = false;
    bool FSkinShapeValid = false;
    int FAllowFadingLock = 0;
    int FAllowShapeUpdatingLock = 0;
    int FAllowColorSetChangeEventLock = 0;
    int FAllowArtworkSetChangeEventLock = 0;
    int FAllowArtworkChangeEventLock[2] = {0, 0};
    TColor FPColor[2] = {clNone, clNone};
    std::unique_ptr<TBitmap> FPArtwork[2];
    std::unique_ptr<TBitmap> FPStretchedArtwork[2];
    std::unique_ptr<TBitmap> FPColorizedArtwork[2];
    std::unique_ptr<TBitmap> FFadingSkinBitmap;
    bool FSiblingAttached = false;
    int FThemeHorzCount = 1;
    int FThemeVertCount = 1;
    int FThemeHorzIndex = 0;
    int FThemeVertIndex = 0;
    bool FColorSetPresent = false;
    std::unique_ptr<TBitmap> FColorSet;
    TColorMap FColorMap;
    bool FArtworkSetPresent = false;
    std::unique_ptr<TBitmap> FArtworkSet;
    std::unique_ptr<TRegion> FArtworkShape;
    std::unique_ptr<TRegion> FChildShapes;
    std::unique_ptr<TRegion> FSkinShape;
    TColor FTransparentColor = clLime;
    TTransparentMode FTransparentMode = tmFixed;
    bool FArtworked = false;
    bool FColorized = false;
    bool FStretched = false;
    bool FShaped = false;
    // ShapeParent and the count of skinned siblings: own storage, or storage shared with the
    // skinned siblings (kept alive by whichever sibling still holds it).
    bool FOwnShapeParent = false;
    bool* FShapeParentRef = &FOwnShapeParent;
    std::shared_ptr<bool> FSharedShapeParent;
    TCustomSkinnedControl* FSkinnedParent = nullptr;
    int FOwnSiblingCount = 0;
    int* FSiblingCountRef = &FOwnSiblingCount;
    std::shared_ptr<int> FSharedSiblingCount;
    bool FMouseButtonHeld = false;
    bool FPressCancelled = false;
    TPoint FMouseDownPos;
    bool FDragable = false;
    bool FDragParent = false;
    bool FBeingDragged = false;
    bool FDragging = false;
    bool FEnableFading = false;
    int FFadingInterval = 250;

private:
    void Initialize();
    static void Count(int& Lock, bool Allow)
    {
        if (!Allow)
            ++Lock;
        else if (Lock > 0)
            --Lock;
    }
    // Stretch decision from a cell size and a control size.
    void RecomputeStretched(int Width, int Height);
    // The cell size of the artwork set under the current grid.
    TCellSize SetCellSize(TBitmap* Set) const;
    // The shared pattern of SetColorSet, SetArtworkSet and SetPArtwork: a copy of Value (or
    // an empty bitmap for null), then the stored bitmap's handler with the control as sender.
    void AssignOwnedBitmap(std::unique_ptr<TBitmap>& Target, TBitmap* Value);
    void DrawOnCanvas(TBitmap* Bitmap);

    bool FPainting = false;
};
