#include <algorithm>

#include "framework/ComCtrls.h"

const TIdentMapEntry<TTrackBarOrientation> TrackBarOrientationIdents[2] = {{trHorizontal, "trHorizontal"},
                                                                            {trVertical, "trVertical"}};
const TIdentMapEntry<TTickMark> TickMarkIdents[3] = {
    {tmBottomRight, "tmBottomRight"}, {tmTopLeft, "tmTopLeft"}, {tmBoth, "tmBoth"}};

namespace {

constexpr int kMargin = 8;        // from the control's edge to the thumb's farthest travel
constexpr int kThumbWidth = 11;
constexpr int kThumbHeight = 21;
constexpr int kThumbTop = 4;

}   // namespace

TClass TTrackBar::StaticClass()
{
    static const TClass Class = PublishWinControl(TPublished<TTrackBar, TCustomControl>("TTrackBar"), clBtnFace, true, true)
        .Property("Frequency", &TTrackBar::GetFrequency, &TTrackBar::SetFrequency, Default(1))
        .Property("LineSize", &TTrackBar::GetLineSize, &TTrackBar::SetLineSize, Default(1))
        .Property("Max", &TTrackBar::GetMax, &TTrackBar::SetMax, Default(10))
        .Property("Min", &TTrackBar::GetMin, &TTrackBar::SetMin, Default(0))
        .Property("Orientation", &TTrackBar::GetOrientation, &TTrackBar::SetOrientation, TrackBarOrientationIdents,
                  Default(trHorizontal))
        .Property("PageSize", &TTrackBar::GetPageSize, &TTrackBar::SetPageSize, Default(2))
        .Property("Position", &TTrackBar::GetPosition, &TTrackBar::SetPosition, Default(0))
        .Property("TickMarks", &TTrackBar::GetTickMarks, &TTrackBar::SetTickMarks, TickMarkIdents, Default(tmBottomRight))
        .Event("OnChange", &TTrackBar::OnChange);
    return Class;
}

TTrackBar::TTrackBar(TComponent* AOwner) : TCustomControl(AOwner)
{
    FControlStyle >> csDoubleClicks;
    FControlStyle >> csSetCaption;
    FControlStyle >> csClickEvents;
    SetBounds(0, 0, 150, 45);
    SetTabStop(true);
}

void TTrackBar::SetMin(int Value)
{
    if (Value == FMin)
        return;
    FMin = Value;
    if (!Loading()) {
        FMax = std::max(FMax, FMin);
        SetPosition(FPosition);
    }
    Invalidate();
}

void TTrackBar::SetMax(int Value)
{
    if (Value == FMax)
        return;
    FMax = Value;
    if (!Loading()) {
        FMin = std::min(FMin, FMax);
        SetPosition(FPosition);
    }
    Invalidate();
}

void TTrackBar::SetPosition(int Value)
{
    // While loading, Min and Max may come later: Loaded clamps.
    if (!Loading())
        Value = std::clamp(Value, FMin, std::max(FMin, FMax));
    if (Value == FPosition)
        return;
    FPosition = Value;
    Invalidate();
    if (!Loading())
        Changed();
}

void TTrackBar::SetFrequency(int Value)
{
    FFrequency = std::max(Value, 1);
    Invalidate();
}

void TTrackBar::SetOrientation(TTrackBarOrientation Value)
{
    FOrientation = Value;
    Invalidate();
}

void TTrackBar::SetTickMarks(TTickMark Value)
{
    FTickMarks = Value;
    Invalidate();
}

void TTrackBar::Loaded()
{
    TCustomControl::Loaded();
    FMax = std::max(FMax, FMin);
    FPosition = std::clamp(FPosition, FMin, FMax);
}

void TTrackBar::Changed()
{
    if (OnChange)
        OnChange(this);
}

int TTrackBar::Span() const
{
    return std::max(FWidth - 2 * kMargin - kThumbWidth, 1);
}

int TTrackBar::ThumbLeft(int Position) const
{
    int64_t range = int64_t(FMax) - FMin;
    if (range <= 0)
        return kMargin;
    return kMargin + int((int64_t(Position) - FMin) * Span() / range);
}

TRect TTrackBar::ThumbRect() const
{
    int left = ThumbLeft(FPosition);
    return TRect(left, kThumbTop, left + kThumbWidth, kThumbTop + kThumbHeight);
}

TRect TTrackBar::ChannelRect() const
{
    int middle = kThumbTop + kThumbHeight / 2;
    return TRect(kMargin + kThumbWidth / 2 - 2, middle - 2, FWidth - kMargin - kThumbWidth / 2 + 2, middle + 2);
}

int TTrackBar::PositionAt(int X) const
{
    int64_t range = int64_t(FMax) - FMin;
    if (range <= 0)
        return FMin;
    int64_t offset = int64_t(X) - kMargin - kThumbWidth / 2;
    // Rounded to the nearest position, so the thumb lands under the mouse.
    int64_t position = FMin + (offset * range * 2 + Span()) / (2 * int64_t(Span()));
    if (offset < 0)
        position = FMin;
    return int(std::clamp<int64_t>(position, FMin, FMax));
}

void TTrackBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (CanFocus() && !Focused())
        SetFocus();
    if (Button == mbLeft) {
        TRect thumb = ThumbRect();
        if (X >= thumb.Left && X < thumb.Right && Y >= thumb.Top && Y < thumb.Bottom) {
            FDragging = true;
            FDragOffset = X - thumb.Left;
        } else if (X < thumb.Left) {
            SetPosition(FPosition - FPageSize);
        } else if (X >= thumb.Right) {
            SetPosition(FPosition + FPageSize);
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TTrackBar::MouseMove(TShiftState Shift, int X, int Y)
{
    if (FDragging)
        SetPosition(PositionAt(X - FDragOffset + kThumbWidth / 2));
    TCustomControl::MouseMove(Shift, X, Y);
}

void TTrackBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && FDragging) {
        SetPosition(PositionAt(X - FDragOffset + kThumbWidth / 2));
        FDragging = false;
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TTrackBar::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    switch (Key) {
    case VK_LEFT:
    case VK_UP:
        SetPosition(FPosition - FLineSize);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        SetPosition(FPosition + FLineSize);
        break;
    case VK_PRIOR:
        SetPosition(FPosition - FPageSize);
        break;
    case VK_NEXT:
        SetPosition(FPosition + FPageSize);
        break;
    case VK_HOME:
        SetPosition(FMin);
        break;
    case VK_END:
        SetPosition(FMax);
        break;
    default:
        return;
    }
    Key = 0;
}

void TTrackBar::Paint()
{
    HDC dc = GetCanvas()->GetHandle();
    TRect channel = ChannelRect();
    DrawSunkenEdge(dc, channel);
    FillSolid(dc, channel, clWindow);

    // Ticks every Frequency positions, under the channel (and above it with tmBoth).
    int64_t range = int64_t(FMax) - FMin;
    if (range > 0 && range / FFrequency <= FWidth) {
        for (int64_t p = FMin; p <= FMax; p += FFrequency) {
            int x = ThumbLeft(int(p)) + kThumbWidth / 2;
            if (FTickMarks != tmTopLeft)
                FillSolid(dc, TRect(x, kThumbTop + kThumbHeight + 2, x + 1, kThumbTop + kThumbHeight + 6), clWindowText);
            if (FTickMarks != tmBottomRight)
                FillSolid(dc, TRect(x, kThumbTop - 4, x + 1, kThumbTop - 1), clWindowText);
        }
    }
    TRect thumb = ThumbRect();
    DrawRaisedEdge(dc, thumb);
    FillSolid(dc, thumb, clBtnFace);
}
