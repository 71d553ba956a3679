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
// CustomskinnedcontrolMouse.cpp (mouse tracking, presses and dragging). Its state is
// private and kept in the small classes of SkinState.h (the workspaces, the validity of the
// caches, the permission locks, the fade, the pointer, the storage shared with siblings);
// subclasses read it through the accessors.
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
    bool GetDragable() const { return FPointer.Dragable(); }
    bool GetDragParent() const { return FPointer.DragParent(); }
    void SetDragParent(bool Value) { FPointer.SetDragParent(Value); }
    bool GetBeingDragged() const { return FPointer.BeingDragged(); }
    bool GetDragging() const { return FPointer.Dragging(); }
    // The state of the last press: a button still held, released away from the control.
    bool GetMouseButtonHeld() const { return FPointer.ButtonHeld(); }
    bool GetPressCancelled() const { return FPointer.PressCancelled(); }
    TPoint GetMouseDownPos() const { return FPointer.DownPos(); }
    bool GetEnableFading() const { return FFade.Enabled(); }
    int GetFadingInterval() const { return FFade.Interval(); }

    // ---- Caches (per workspace with a workspace number, 0 or 1) ----
    int NewWorkspace() const { return FWorkspaces.New(); }
    int OldWorkspace() const { return FWorkspaces.Old(); }
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
    void SetAllowFading(bool Value) { FLocks.Set(TPermission::Fading, Value); }
    bool GetAllowShapeUpdating() const { return FLocks.Allowed(TPermission::ShapeUpdating); }
    void SetAllowShapeUpdating(bool Value) { FLocks.Set(TPermission::ShapeUpdating, Value); }
    bool GetAllowColorSetChangeEvent() const { return FLocks.Allowed(TPermission::ColorSetChangeEvent); }
    void SetAllowColorSetChangeEvent(bool Value) { FLocks.Set(TPermission::ColorSetChangeEvent, Value); }
    bool GetAllowArtworkSetChangeEvent() const { return FLocks.Allowed(TPermission::ArtworkSetChangeEvent); }
    void SetAllowArtworkSetChangeEvent(bool Value) { FLocks.Set(TPermission::ArtworkSetChangeEvent, Value); }
    bool GetAllowArtworkChangeEvent(int W) const { return FLocks.Allowed(TPermissionLocks::ArtworkChangeEvent(W)); }
    void SetAllowArtworkChangeEvent(int W, bool Value) { FLocks.Set(TPermissionLocks::ArtworkChangeEvent(W), Value); }

    // ---- Fading ----
    int GetFadingFrameRate() const;
    void SetFadingFrameRate(int Value);
    bool GetFadingInProgress() const;
    void StartFading(bool FadeColor, bool FadeArtwork);
    void StopFading();
    double GetOldWeight() const { return FFade.OldWeight(); }
    double GetNewWeight() const { return FFade.NewWeight(); }
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
    void PaintWindow(HDC DC) override;
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

private:
    void Initialize();
    // Stretch decision from a cell size and a control size.
    void RecomputeStretched(int Width, int Height);
    // The cell size of the artwork set under the current grid.
    TCellSize SetCellSize(TBitmap* Set) const;
    // The shared pattern of SetColorSet, SetArtworkSet and SetPArtwork: a copy of Value (or
    // an empty bitmap for null), then the stored bitmap's handler with the control as sender.
    void AssignOwnedBitmap(std::unique_ptr<TBitmap>& Target, TBitmap* Value);
    void DrawOnCanvas(TBitmap* Bitmap);
    // The picture to show when it is opaque and covers the client area, else null.
    TBitmap* CoveringPicture();
    // Puts the picture of a new cell on the screen at once.
    void ShowNewPicture();
    // Whether the pointer is over the window, read from the mouse message being handled
    // when there is one, else from the display.
    bool PointerOverWindow();
    // A fade runs whose first frame has not come yet.
    bool FadeAtItsStart() const;
    TPoint PointerOnScreen();
    bool Valid(TCacheItem Item) const { return FValid.Valid(Item); }
    void Validate(TCacheItem Item, bool Value = true) { FValid.Set(Item, Value); }
    bool Valid(TWorkspaceItem Item, int W) const { return FValid.Valid(Item, W); }
    void Validate(TWorkspaceItem Item, int W, bool Value = true) { FValid.Set(Item, W, Value); }

    // ---- State ----
    TWorkspaces FWorkspaces;
    TCacheValidity FValid;
    TPermissionLocks FLocks;
    TFadeState FFade;
    TPointerState FPointer;
    TSiblingShare FSiblings;
    // The colour shown before the last change and the one it changed to.
    TColor FOldColor = clNone;
    TColor FNewColor = clNone;
    std::unique_ptr<TTimer> FFadingFrameTimer;
    // The pictures: the sets, the colour of each cell, and per workspace the colour, the
    // artwork cell, its stretched and its tinted form; the in-between picture of a fade.
    std::unique_ptr<TBitmap> FColorSetStore;
    std::unique_ptr<TBitmap> FArtworkSetStore;
    TColorMap FColorMapStore;
    TColor FPColorStore[2] = {clNone, clNone};
    std::unique_ptr<TBitmap> FPArtworkStore[2];
    std::unique_ptr<TBitmap> FPStretchedArtwork[2];
    std::unique_ptr<TBitmap> FPColorizedArtwork[2];
    std::unique_ptr<TBitmap> FFadingSkinBitmap;
    // The outlines: the artwork's, the children's, and the two joined.
    std::unique_ptr<TRegion> FArtworkShape;
    std::unique_ptr<TRegion> FChildShapes;
    std::unique_ptr<TRegion> FSkinShape;
    TCustomSkinnedControl* FSkinnedParent = nullptr;
    bool FSiblingAttached = false;
    // The window took an outline that its parent's outline has not taken in yet.
    bool FOutlineNotPassedOn = false;
    // The theme grid and the cell shown.
    int FThemeHorzCount = 1;
    int FThemeVertCount = 1;
    int FThemeHorzIndex = 0;
    int FThemeVertIndex = 0;
    bool FColorSetPresent = false;
    bool FArtworkSetPresent = false;
    TColor FTransparentColor = clLime;
    TTransparentMode FTransparentMode = tmFixed;
    bool FArtworked = false;
    bool FColorized = false;
    bool FStretched = false;
    bool FShaped = false;
    bool FPainting = false;

protected:
    // The caches as a subclass that inspects them sees them: views of the private storage,
    // declared after it so that they bind to constructed members.
    std::unique_ptr<TBitmap>& FColorSet = FColorSetStore;
    std::unique_ptr<TBitmap>& FArtworkSet = FArtworkSetStore;
    TColorMap& FColorMap = FColorMapStore;
    TColor (&FPColor)[2] = FPColorStore;
    std::unique_ptr<TBitmap> (&FPArtwork)[2] = FPArtworkStore;
    bool (&FPColorValid)[2] = FValid.Flags(TWorkspaceItem::Color);
    bool (&FPArtworkValid)[2] = FValid.Flags(TWorkspaceItem::Artwork);
};
