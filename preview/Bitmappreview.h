#pragma once
// Unit Bitmappreview: TBitmapPreview, a view of a bitmap zoomed and scrolled inside its
// client area, and the resampling routines behind it.
//
// The source is resampled into an offscreen picture three times the component's size,
// centred on the visible area, so a hand-scroll pan of up to one component size only moves
// the drawn picture. Three cached bitmaps, each rebuilt on demand:
//   FBitmap (source, normalised to 24 bits) -> FOffscreenBitmap -> FDisplayedBitmap.
// Invalidation runs down that chain only; a getter rebuilds what it needs.
//
// Coordinates: client (the component's pixels), display (offscreen pixels: client plus
// (Width, Height)) and bitmap (doubles, source pixels). Client point (x, y) shows bitmap
// point (OriginX + x / Zoom, OriginY + y / Zoom). Origin and zoom are kept rounded to three
// decimals, always finite, and the zoom is always positive.
#include <cstdint>
#include <functional>
#include <memory>

#include "framework/Controls.h"
#include "framework/Graphics.h"

struct TDblPoint
{
    double X = 0.0;
    double Y = 0.0;
};

struct TDblRect
{
    double Left = 0.0;
    double Top = 0.0;
    double Right = 0.0;
    double Bottom = 0.0;
};

namespace Bitmappreview {

// floor(X); values beyond the range of int saturate, NaN gives 0.
int RoundDown(double X);
// X rounded half up (2.5 gives 3, -2.5 gives -2); saturates like RoundDown.
int Round(double X);
// X rounded half up to N decimals, in double throughout; a value that cannot be scaled
// (non-finite, or too large to carry decimals) comes back unchanged.
double RoundDecimal(double X, int N);

// Resamples Source into Dest (Width x Height, 24 bits): destination pixel (c, r) shows the
// source area with top-left corner Origin + (c, r) / Zoom and size 1 / Zoom. QualityLevel 0
// takes the nearest pixel, 1 (or negative) averages the whole pixels the area touches,
// 2 or more weights partial pixels by area. Where the area leaves the source it takes
// Color. A missing or empty source, or a zoom or origin that is not a positive finite
// number, gives a picture all in Color.
void ZoomBitmap(TBitmap* Source, TDblPoint Origin, double Zoom, TColor Color, TBitmap* Dest, int Width,
                int Height, int QualityLevel);
// The average colour of Rect in Bitmap (three bytes, pixel order) into Result; BackColor
// stands in for everything outside the bitmap. Precise weights partial pixels by area;
// otherwise every pixel the rectangle touches counts whole.
void AverageBitmapDblRect(TBitmap* Bitmap, TDblRect& Rect, const uint8_t* BackColor, uint8_t* Result,
                          bool Precise);

// Registers TBitmapPreview on the palette page "VK Controls".
void Register();

}  // namespace Bitmappreview

// Handler of a drag or hand-scroll step; it may change the new position.
using TMoveToEvent = std::function<void(TObject* Sender, TShiftState Shift, int& NewLeft, int& NewTop)>;

class TBitmapPreview : public TCustomControl
{
public:
    explicit TBitmapPreview(TComponent* AOwner);
    ~TBitmapPreview() override;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    // ---- Change notification (counters: false suppresses, true lifts, never below 0) ----
    virtual bool GetEnableUpdateDisplayEvent() const { return FUpdateDisplayLock == 0; }
    virtual void SetEnableUpdateDisplayEvent(bool Value);
    virtual bool GetEnableChangeEvent() const { return FChangeLock == 0; }
    virtual void SetEnableChangeEvent(bool Value);
    virtual void ConditionalUpdateDisplay();
    virtual void UpdateDisplay();
    virtual void ConditionalChange();
    virtual void Change();

    // ---- Colour outside the picture ----
    virtual TColor GetColor() const { return TCustomControl::GetColor(); }
    virtual void SetColor(TColor Value);

    // ---- Source picture ----
    TBitmap* GetBitmap();
    // Copies Value (the caller keeps it); nullptr empties the component.
    void SetBitmap(TBitmap* Value);
    virtual bool StoreBitmap() const { return !FIsEmpty; }
    void InitializeBitmap();
    virtual void Clear();
    bool GetIsEmpty() const { return FIsEmpty; }
    void SetIsEmpty(bool Value);

    // ---- Cached pictures (owned by the component) ----
    TBitmap* GetOffscreenBitmap();
    TBitmap* GetDisplayedBitmap();
    void InvalidateBitmap();
    void InvalidateOffscreenBitmap();
    void InvalidateDisplayedBitmap();
    int GetQualityLevel() const { return FQualityLevel; }
    void SetQualityLevel(int Value);

    // ---- Geometry ----
    double GetOriginX() const { return FOriginX; }
    double GetOriginY() const { return FOriginY; }
    double GetZoom() const { return FZoom; }
    void SetOriginX(double Value);
    void SetOriginY(double Value);
    void SetZoom(double Value);
    double GetScrollX() const { return FScrollX; }
    double GetScrollY() const { return FScrollY; }
    void SetScrollX(double Value);
    void SetScrollY(double Value);

    bool GetFitFrame() const { return FFitFrame; }
    bool GetCenterFrame() const { return FCenterFrame; }
    bool GetCenterFitFrame() const { return FCenterFitFrame; }
    bool GetFitHorz() const { return FFitHorz; }
    bool GetCenterHorz() const { return FCenterHorz; }
    bool GetCenterFitHorz() const { return FCenterFitHorz; }
    bool GetFitVert() const { return FFitVert; }
    bool GetCenterVert() const { return FCenterVert; }
    bool GetCenterFitVert() const { return FCenterFitVert; }
    // Each acts only on true while its flag is false; false never clears a flag.
    void SetFitFrame(bool Value);
    void SetCenterFrame(bool Value);
    void SetCenterFitFrame(bool Value);
    void SetFitHorz(bool Value);
    void SetCenterHorz(bool Value);
    void SetCenterFitHorz(bool Value);
    void SetFitVert(bool Value);
    void SetCenterVert(bool Value);
    void SetCenterFitVert(bool Value);
    void BackupAlignments();
    void ClearAlignments();
    void ClearBkpAlignments();
    void RestoreAlignments();

    // ---- Conversions (the pan of a hand scroll in progress is ignored) ----
    TPoint ClientToDisplayPoint(const TPoint& P) const;
    TPoint DisplayToClientPoint(const TPoint& P) const;
    TDblPoint ClientToBitmapPoint(const TPoint& P) const;
    TDblPoint DisplayToBitmapPoint(const TPoint& P) const;
    TPoint BitmapToClientPoint(const TDblPoint& B) const;
    TPoint BitmapToDisplayPoint(const TDblPoint& B) const;

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    // ---- Mouse ----
    TPoint GetMousePosition() const;
    bool GetMouseInControl() const;
    bool GetMouseIsCaptured() const;
    void SetMouseIsCaptured(bool Value);
    bool GetDragable() const { return FDragable; }
    void SetDragable(bool Value);
    bool GetDragParent() const { return FDragParent; }
    void SetDragParent(bool Value) { FDragParent = Value; }
    bool GetHandScrollable() const { return FHandScrollable; }
    void SetHandScrollable(bool Value);
    bool GetDragging() const { return FDragging; }
    bool GetBeingDragged() const { return FBeingDragged; }
    bool GetHandScrolling() const { return FHandScrolling; }
    bool GetBeingHandScrolled() const { return FBeingHandScrolled; }
    void SetDragging(bool Value);
    void SetBeingDragged(bool Value);
    void SetHandScrolling(bool Value);
    void SetBeingHandScrolled(bool Value);
    bool GetMouseButtonHeld() const { return FMouseButtonHeld; }
    TPoint GetMouseDownPos() const { return FMouseDownPos; }
    TPoint GetMouseUpPos() const { return FMouseUpPos; }

    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    virtual void MouseEnterControl(TShiftState Shift, int X, int Y);
    virtual void MouseExitControl(TShiftState Shift, int X, int Y);
    virtual void MouseCancelled();
    virtual void DragTo(TShiftState Shift, int NewLeft, int NewTop);
    virtual void HandScrollTo(TShiftState Shift, int NewLeft, int NewTop);

    // ---- Events ----
    // OnMouseDown, OnMouseMove and OnMouseUp are the component's own: they hide TControl's,
    // which the inherited handlers still call, and are raised by the overrides below.
    TMouseMoveEvent OnMouseEnterControl;
    TMouseMoveEvent OnMouseExitControl;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseCancelled;
    TMoveToEvent OnDragTo;
    TMoveToEvent OnHandScrollTo;
    TNotifyEvent OnUpdateDisplay;
    TNotifyEvent OnChange;

    // Draws the visible part of the offscreen picture; called by paint messages and
    // directly by Change and SetBounds.
    void Paint() override;

private:
    void UpdateBitmap();
    void UpdateOffscreenBitmap();
    void UpdateDisplayedBitmap();
    void pf24bitBitmap();
    void FBitmapOnChange(TObject* Sender);
    // Suppresses OnChange around Work, lifts it (also when Work raises), then notifies once.
    template <class F>
    void Compound(F Work);

    bool FBitmapValid = false;
    bool FDisplayedValid = false;
    bool FOffscreenValid = false;
    int FBitmapWidth = 0;
    int FBitmapHeight = 0;
    bool FBkpFitFrame = false;
    bool FBkpCenterFrame = false;
    bool FBkpCenterFitFrame = false;
    bool FBkpFitHorz = false;
    bool FBkpCenterHorz = false;
    bool FBkpCenterFitHorz = false;
    bool FBkpFitVert = false;
    bool FBkpCenterVert = false;
    bool FBkpCenterFitVert = false;
    bool FWasMouseInControl = false;
    std::unique_ptr<TBitmap> FDisplayedBitmap;
    std::unique_ptr<TBitmap> FOffscreenBitmap;
    double FScrollX = 0.0;
    double FScrollY = 0.0;
    bool FMouseButtonHeld = false;
    TPoint FMouseDownPos;
    TPoint FMouseUpPos;
    bool FDragging = false;
    bool FBeingDragged = false;
    bool FHandScrolling = false;
    bool FBeingHandScrolled = false;
    int FUpdateDisplayLock = 0;
    int FChangeLock = 0;
    bool FIsEmpty = true;
    std::unique_ptr<TBitmap> FBitmap;
    double FOriginX = 0.0;
    double FOriginY = 0.0;
    double FZoom = 1.0;
    bool FFitFrame = false;
    bool FCenterFrame = false;
    bool FCenterFitFrame = false;
    bool FFitHorz = false;
    bool FCenterHorz = false;
    bool FCenterFitHorz = false;
    bool FFitVert = false;
    bool FCenterVert = false;
    bool FCenterFitVert = false;
    int FQualityLevel = 0;
    bool FDragable = false;
    bool FDragParent = false;
    bool FHandScrollable = false;
};

template <class F>
void TBitmapPreview::Compound(F Work)
{
    SetEnableChangeEvent(false);
    try {
        Work();
    } catch (...) {
        SetEnableChangeEvent(true);
        throw;
    }
    SetEnableChangeEvent(true);
    ConditionalChange();
}
