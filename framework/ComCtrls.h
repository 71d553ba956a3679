#pragma once
// Unit ComCtrls: the track bar.
#include "framework/StdPaint.h"

enum TTrackBarOrientation { trHorizontal, trVertical };
extern const TIdentMapEntry<TTrackBarOrientation> TrackBarOrientationIdents[2];
enum TTickMark { tmBottomRight, tmTopLeft, tmBoth };
extern const TIdentMapEntry<TTickMark> TickMarkIdents[3];

// A thumb that slides along a channel between Min and Max. Dragging the thumb follows the
// mouse; a click on the channel moves one PageSize towards the click; the arrow keys move
// LineSize, Page Up/Down PageSize, Home/End to the ends. OnChange follows every change of
// Position. Only the horizontal orientation is drawn.
class TTrackBar : public TCustomControl
{
public:
    explicit TTrackBar(TComponent* AOwner);
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }

    int GetMin() const { return FMin; }
    void SetMin(int Value);
    int GetMax() const { return FMax; }
    void SetMax(int Value);
    int GetPosition() const { return FPosition; }
    void SetPosition(int Value);
    int GetFrequency() const { return FFrequency; }
    void SetFrequency(int Value);
    int GetPageSize() const { return FPageSize; }
    void SetPageSize(int Value) { FPageSize = Value < 0 ? 0 : Value; }
    int GetLineSize() const { return FLineSize; }
    void SetLineSize(int Value) { FLineSize = Value < 0 ? 0 : Value; }
    TTrackBarOrientation GetOrientation() const { return FOrientation; }
    void SetOrientation(TTrackBarOrientation Value);
    TTickMark GetTickMarks() const { return FTickMarks; }
    void SetTickMarks(TTickMark Value);

    // Where the thumb is drawn and where the channel runs, in client coordinates.
    TRect ThumbRect() const;
    TRect ChannelRect() const;
    // The position whose thumb centre lies nearest to X.
    int PositionAt(int X) const;

    TNotifyEvent OnChange;

    void Loaded() override;

protected:
    virtual void Changed();
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;

private:
    int ThumbLeft(int Position) const;
    int Span() const;

    int FMin = 0;
    int FMax = 10;
    int FPosition = 0;
    int FFrequency = 1;
    int FPageSize = 2;
    int FLineSize = 1;
    TTrackBarOrientation FOrientation = trHorizontal;
    TTickMark FTickMarks = tmBottomRight;
    bool FDragging = false;
    int FDragOffset = 0;   // from the thumb's left edge to the mouse
};
