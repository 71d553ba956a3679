#include "framework/Controls.h"

#include <algorithm>

// TControl: geometry, parent, appearance and text. Mouse handling is in ControlMouse.cpp.

namespace {

constexpr TIdentMapEntry<TCursor> cursorIdents[] = {
    {crDefault, "crDefault"},     {crNone, "crNone"},         {crArrow, "crArrow"},
    {crCross, "crCross"},         {crIBeam, "crIBeam"},       {crSizeNESW, "crSizeNESW"},
    {crSizeNS, "crSizeNS"},       {crSizeNWSE, "crSizeNWSE"}, {crSizeWE, "crSizeWE"},
    {crUpArrow, "crUpArrow"},     {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
    {crNoDrop, "crNoDrop"},       {crHSplit, "crHSplit"},     {crVSplit, "crVSplit"},
    {crMultiDrag, "crMultiDrag"}, {crSQLWait, "crSQLWait"},   {crNo, "crNo"},
    {crAppStart, "crAppStart"},   {crHelp, "crHelp"},         {crHandPoint, "crHandPoint"},
    {crSizeAll, "crSizeAll"},
};

}  // namespace

const TIdentMapEntry<TAlign> AlignIdents[6] = {{alNone, "alNone"}, {alTop, "alTop"},   {alBottom, "alBottom"},
                                               {alLeft, "alLeft"}, {alRight, "alRight"}, {alClient, "alClient"}};
const TIdentMapEntry<TMouseButton> MouseButtonIdents[3] = {
    {mbLeft, "mbLeft"}, {mbRight, "mbRight"}, {mbMiddle, "mbMiddle"}};

std::span<const TIdentMapEntry<TCursor>> CursorIdents()
{
    return cursorIdents;
}

TClass TControl::StaticClass()
{
    // The classic TControl publishes its position, cursor and hint; descendants publish
    // the rest as they choose.
    static const TClass Class = TPublished<TControl, TComponent>("TControl")
        .Property("Left", &TControl::GetLeft, &TControl::SetLeft)
        .Property("Top", &TControl::GetTop, &TControl::SetTop)
        .Property("Width", &TControl::GetWidth, &TControl::SetWidth)
        .Property("Height", &TControl::GetHeight, &TControl::SetHeight)
        .Property("Cursor", &TControl::GetCursor, &TControl::SetCursor, CursorIdents(), Default(crDefault))
        .Property("Hint", &TControl::GetHint, &TControl::SetHint);
    return Class;
}

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>())
{
    FFont->OnChange = [this](TObject*) { FontOnChange(); };
}

TControl::~TControl()
{
    FFont->OnChange = nullptr;
    if (GetCaptureControl() == this)
        SetCaptureControl(nullptr);
    if (FParent)
        FParent->RemoveControl(this);
}

// ---- Geometry ----

void ClampControlBounds(int& Left, int& Top, int& Width, int& Height)
{
    Left = std::clamp(Left, -kMaxWindowCoord, kMaxWindowCoord);
    Top = std::clamp(Top, -kMaxWindowCoord, kMaxWindowCoord);
    Width = std::clamp(Width, 0, kMaxWindowSide);
    Height = std::clamp(Height, 0, kMaxWindowSide);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    ClampControlBounds(ALeft, ATop, AWidth, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
        return;
    bool resized = AWidth != FWidth || AHeight != FHeight;
    Invalidate();   // the old place
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    Invalidate();
    if (!Loading()) {
        if (resized)
            Resize();
        if (FParent && FAlign != alNone)
            FParent->Realign();
    }
}

void TControl::UpdateBoundsFromWindow(int ALeft, int ATop, int AWidth, int AHeight)
{
    bool resized = AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (resized && !Loading())
        Resize();
}

TRect TControl::GetClientRect() const
{
    return TRect(0, 0, FWidth, FHeight);
}

void TControl::SetClientWidth(int Value)
{
    // Applied at once, so a component read after it sees the true size; a frame that changes
    // later in the layout (BorderStyle) is why Loaded applies it once more. The client size is
    // clamped as window sizes are before the frame is added: a layout's 2147483647 would
    // overflow the sum.
    SetWidth(FWidth - GetClientRect().Right + std::clamp(Value, 0, kMaxWindowSide));
    if (Loading())
        FPendingClientWidth = Value;
}

void TControl::SetClientHeight(int Value)
{
    SetHeight(FHeight - GetClientRect().Bottom + std::clamp(Value, 0, kMaxWindowSide));
    if (Loading())
        FPendingClientHeight = Value;
}

TPoint TControl::GetClientOrigin() const
{
    if (!FParent)
        return TPoint(FLeft, FTop);
    TPoint origin = FParent->GetClientOrigin();
    return TPoint(origin.X + FLeft, origin.Y + FTop);
}

TPoint TControl::ClientToScreen(const TPoint& Point) const
{
    TPoint origin = GetClientOrigin();
    return TPoint(Point.X + origin.X, Point.Y + origin.Y);
}

TPoint TControl::ScreenToClient(const TPoint& Point) const
{
    TPoint origin = GetClientOrigin();
    return TPoint(Point.X - origin.X, Point.Y - origin.Y);
}

void TControl::SetAlign(TAlign Value)
{
    if (Value == FAlign)
        return;
    FAlign = Value;
    if (FParent && !Loading())
        FParent->Realign();
}

void TControl::SetAutoSize(bool Value)
{
    if (Value == FAutoSize)
        return;
    FAutoSize = Value;
    if (Value && !Loading())
        AdjustSize();
}

void TControl::Resize()
{
    if (OnResize)
        OnResize(this);
}

// ---- Parent ----

void TControl::SetParent(TWinControl* AParent)
{
    if (AParent == FParent)
        return;
    if (AParent == this)
        throw EInvalidOperation("A control cannot have itself as its parent");
    if (auto* self = dynamic_cast<TWinControl*>(this); self && AParent && self->ContainsControl(AParent))
        throw EInvalidOperation("A control cannot have one of its children as its parent");
    if (FParent)
        FParent->RemoveControl(this);
    if (AParent)
        AParent->InsertControl(this);
    ParentFontChanged();
    ParentColorChanged();
}

TComponent* TControl::GetParentComponent() const
{
    return FParent;
}

void TControl::SetParentComponent(TComponent* Value)
{
    if (auto* parent = dynamic_cast<TWinControl*>(Value))
        SetParent(parent);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
}

// ---- Visibility and state ----

void TControl::SetVisible(bool Value)
{
    if (Value == FVisible)
        return;
    FVisible = Value;
    if (!FParent || FParent->HandleAllocated())
        Invalidate();
    Perform(CM_VISIBLECHANGED, WPARAM(Value), 0);
    if (FParent && FAlign != alNone && !Loading())
        FParent->Realign();
}

void TControl::Show()
{
    SetVisible(true);
}

void TControl::Hide()
{
    SetVisible(false);
}

bool TControl::Showing() const
{
    if (!FVisible)
        return false;
    if (FParent)
        return FParent->Showing();
    auto* self = dynamic_cast<const TWinControl*>(this);
    return self && self->IsTopLevel() && self->HandleAllocated() && IsWindowVisible(const_cast<TWinControl*>(self)->FHandle);
}

void TControl::SetEnabled(bool Value)
{
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    if (!Value && GetCaptureControl() == this)
        SetCaptureControl(nullptr);
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

// ---- Colour and font ----

void TControl::SetColor(TColor Value)
{
    FParentColor = false;
    if (Value == FColor)
        return;
    FColor = Value;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool Value)
{
    if (Value == FParentColor)
        return;
    FParentColor = Value;
    if (Value)
        ParentColorChanged();
}

void TControl::ParentColorChanged()
{
    if (!FParentColor || !FParent || FParent->FColor == FColor)
        return;
    FColor = FParent->FColor;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentFont(bool Value)
{
    if (Value == FParentFont)
        return;
    FParentFont = Value;
    if (Value)
        ParentFontChanged();
}

void TControl::ParentFontChanged()
{
    if (!FParentFont || !FParent)
        return;
    FSettingParentFont = true;
    try {
        FFont->Assign(FParent->FFont.get());
    } catch (...) {
        FSettingParentFont = false;
        throw;
    }
    FSettingParentFont = false;
}

void TControl::FontOnChange()
{
    // A font changed by anyone but the parent is the control's own from now on.
    if (!FSettingParentFont)
        FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

// ---- Text ----

void TControl::SetText(const AnsiString& Value)
{
    if (Value == FText)
        return;
    FText = Value;
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetName(const AnsiString& NewName)
{
    // The caption follows the name while it still is the name, as in the designer.
    bool follow = FControlStyle.Contains(csSetCaption) && !Loading() && GetText() == GetName() &&
                  !(Owner() && Owner()->ComponentState().Contains(csLoading));
    TComponent::SetName(NewName);
    if (follow)
        SetText(NewName);
}

// ---- Painting and z-order ----

void TControl::Invalidate()
{
    if (FParent && FParent->HandleAllocated()) {
        RECT r = GetBoundsRect();
        InvalidateRect(FParent->FHandle, &r, FALSE);
    }
}

void TControl::Update()
{
    if (FParent)
        FParent->Update();
}

void TControl::Repaint()
{
    Invalidate();
    Update();
}

void TControl::BringToFront()
{
    if (!FParent)
        return;
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.push_back(this);
    Invalidate();
}

void TControl::SendToBack()
{
    if (!FParent)
        return;
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.insert(list.begin(), this);
    Invalidate();
}

void TControl::Loaded()
{
    TComponent::Loaded();
    ParentFontChanged();
    ParentColorChanged();
    if (FPendingClientWidth >= 0)
        SetClientWidth(std::exchange(FPendingClientWidth, -1));
    if (FPendingClientHeight >= 0)
        SetClientHeight(std::exchange(FPendingClientHeight, -1));
    if (FAutoSize)
        AdjustSize();
    if (FParent && FAlign != alNone)
        FParent->Realign();
}
