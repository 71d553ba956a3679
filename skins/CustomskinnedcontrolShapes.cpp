#include "skins/Customskinnedcontrol.h"

// TCustomSkinnedControl: outlines. A shaped control's window region is the opaque part of
// its artwork joined with its children's outlines; the children of an ordinary window with
// ShapeParent give that window the union of their outlines. Every change ripples up through
// the skinned parents to the first ordinary window.

namespace {

// Gives Window the region (a copy; null removes it) unless it already has exactly that one:
// setting a window region redraws the window, and a burst of equal results need not.
// True when the window's region changed.
bool applyWindowRegion(HWND Window, TRegion* Region, bool Redraw)
{
    HRGN current = CreateRectRgn(0, 0, 0, 0);
    const bool hasRegion = GetWindowRgn(Window, current) != ERROR;
    bool same;
    if (!Region || Region->GetIsNull())
        same = !hasRegion;
    else
        same = hasRegion && EqualRgn(current, Region->GetHandle());
    DeleteObject(current);
    if (same)
        return false;
    if (!Region || Region->GetIsNull())
        SetWindowRgn(Window, 0, Redraw ? TRUE : FALSE);
    else
        Region->ApplyToWindow(Window, Redraw);
    return true;
}

}  // namespace

TCustomSkinnedControl* TCustomSkinnedControl::SkinnedParent() const
{
    return FSkinnedParent && GetParent() == FSkinnedParent ? FSkinnedParent : nullptr;
}

bool TCustomSkinnedControl::WindowReachable() const
{
    const TWinControl* top = this;
    while (top->GetParent())
        top = top->GetParent();
    return top != this && top->IsTopLevel();
}

// ---- Getters ----

TRegion* TCustomSkinnedControl::GetArtworkShape()
{
    if (!Valid(TCacheItem::ArtworkShape))
        UpdateArtworkShape();
    return FArtworkShape.get();
}

TRegion* TCustomSkinnedControl::GetChildShapes()
{
    if (!Valid(TCacheItem::ChildShapes))
        UpdateChildShapes(nullptr);
    return FChildShapes.get();
}

TRegion* TCustomSkinnedControl::GetSkinShape()
{
    if (!Valid(TCacheItem::SkinShape))
        UpdateSkinShape();
    return FSkinShape.get();
}

// ---- Updates ----

void TCustomSkinnedControl::UpdateArtworkShape()
{
    TBitmap* shown = FArtworkShape ? GetArtworkMux() : nullptr;
    if (!shown)
        return;
    Validate(TCacheItem::ArtworkShape, true);
    if (FShaped)
        FArtworkShape->BuildFromBitmap(shown, true, false, shown->GetTransparentColor(), false);
    else
        FArtworkShape->Clear();
}

void TCustomSkinnedControl::UpdateChildShapes(TControl* Excluded)
{
    if (!FChildShapes)
        return;
    Validate(TCacheItem::ChildShapes, true);
    SumChildShapes(FChildShapes.get(), this, Excluded);
}

void TCustomSkinnedControl::SumChildShapes(TRegion* Region, TWinControl* Container, TControl* Excluded)
{
    if (!Container) {
        Region->Clear();
        return;
    }
    HRGN sum = CreateRectRgn(0, 0, 0, 0);
    const bool designing = Designing();
    // Windows can be asked for only when the container's chain reaches a top-level window.
    const bool windows = Container->HandleAllocated() || Container->IsTopLevel() ||
                         (dynamic_cast<TCustomSkinnedControl*>(Container) &&
                          static_cast<TCustomSkinnedControl*>(Container)->WindowReachable());
    for (int i = 0; i < Container->ControlCount(); ++i) {
        TControl* c = Container->Controls(i);
        if (c == Excluded || (!c->GetVisible() && !designing))
            continue;
        HRGN r = CreateRectRgn(0, 0, 0, 0);
        auto* win = dynamic_cast<TWinControl*>(c);
        if (!(win && (windows || win->HandleAllocated()) && GetWindowRgn(win->GetHandle(), r) != ERROR)) {
            DeleteObject(r);
            r = CreateRectRgn(0, 0, c->GetWidth(), c->GetHeight());
        }
        int dx = c->GetLeft(), dy = c->GetTop();
        if (!Container->GetParent() && Container->IsTopLevel()) {
            // From the outer corner of the top-level window, its frame included.
            const TPoint origin = c->GetClientOrigin();
            dx = origin.X - Container->GetLeft();
            dy = origin.Y - Container->GetTop();
        }
        OffsetRgn(r, dx, dy);
        CombineRgn(sum, sum, r, RGN_OR);
        DeleteObject(r);
    }
    Region->SetHandle(sum);
    DeleteObject(sum);
}

void TCustomSkinnedControl::ClipShape(TRegion* Region, int Width, int Height)
{
    const TRect bounds(0, 0, Width, Height);
    TRegion clip(&bounds, 1);
    Region->Intersect(&clip, false);
}

void TCustomSkinnedControl::UpdateSkinShape()
{
    if (!FSkinShape)
        return;
    TRegion* artwork = GetArtworkShape();
    TRegion* children = GetChildShapes();
    if (!artwork || !children)
        return;
    Validate(TCacheItem::SkinShape, true);
    FSkinShape->Assign(artwork);
    FSkinShape->Add(children);
    ClipShape(FSkinShape.get(), GetWidth(), GetHeight());
}

void TCustomSkinnedControl::UpdateClientShape()
{
    if (!GetParent() || !WindowReachable())
        return;
    TRegion* shape = FShaped ? GetSkinShape() : nullptr;
    const bool changed = applyWindowRegion(GetHandle(), shape, false);
    // An outline rebuilt as it was changes nothing on the screen, nor any outline above:
    // the parent's is made of its children's window regions. The picture is drawn again
    // only when it is not the one on the screen.
    if (changed || !Valid(TCacheItem::ClientBitmap))
        Repaint();
    if (changed || FOutlineNotPassedOn) {
        FOutlineNotPassedOn = false;
        InvalidateParentChildShapes(nullptr);
    }
}

void TCustomSkinnedControl::CreateWnd()
{
    TCustomControl::CreateWnd();
    // A window made after the shape was decided takes it at once; the parent's outline
    // follows when the control is attached or changes next.
    if (FShaped)
        FOutlineNotPassedOn = applyWindowRegion(FHandle, GetSkinShape(), false);
}

// ---- Invalidation ----

void TCustomSkinnedControl::InvalidateArtworkShape()
{
    // Dropped, not postponed, while the lock is held: cell changes and fades keep the shape.
    if (!GetAllowShapeUpdating())
        return;
    Validate(TCacheItem::ArtworkShape, false);
    InvalidateSkinShape();
}

void TCustomSkinnedControl::InvalidateSkinShape()
{
    Validate(TCacheItem::SkinShape, false);
    UpdateClientShape();
}

void TCustomSkinnedControl::InvalidateChildShapes(TControl* Excluded)
{
    if (Excluded)
        UpdateChildShapes(Excluded);
    else
        Validate(TCacheItem::ChildShapes, false);
    InvalidateSkinShape();
}

void TCustomSkinnedControl::InvalidateParentChildShapes(TControl* Excluded)
{
    TWinControl* parent = GetParent();
    if (!parent)
        return;
    if (auto* skinned = dynamic_cast<TCustomSkinnedControl*>(parent)) {
        skinned->InvalidateChildShapes(Excluded);
        return;
    }
    const bool reachable = parent->HandleAllocated() || parent->IsTopLevel() || WindowReachable();
    if (!reachable)
        return;
    const bool designTop = Designing() && !parent->GetParent();
    if (GetShapeParent() && !designTop) {
        TRegion region;
        SumChildShapes(&region, parent, Excluded);
        ClipShape(&region, parent->GetWidth(), parent->GetHeight());
        applyWindowRegion(parent->GetHandle(), &region, true);
    } else {
        applyWindowRegion(parent->GetHandle(), nullptr, true);
    }
    parent->Repaint();
}

// ---- ShapeParent and Shaped ----

bool TCustomSkinnedControl::GetShapeParent()
{
    if (GetParent() && SkinnedParent())
        return SkinnedParent()->GetShaped();
    return FSiblings.ShapeParent();
}

void TCustomSkinnedControl::SetShapeParent(bool Value)
{
    if (!GetParent() || Value == GetShapeParent())
        return;
    if (TCustomSkinnedControl* parent = SkinnedParent()) {
        parent->SetShaped(Value);
        return;
    }
    FSiblings.SetShapeParent(Value);
    InvalidateParentChildShapes(nullptr);
}

void TCustomSkinnedControl::SetShaped(bool Value)
{
    if (Value == FShaped)
        return;
    FShaped = Value;
    InvalidateArtworkShape();
}

// ---- Skinned siblings ----

int TCustomSkinnedControl::GetSkinnedSiblingCount()
{
    return FSiblings.Count();
}

void TCustomSkinnedControl::SetSkinnedSiblingCount(int Value)
{
    FSiblings.SetCount(Value);
}

void TCustomSkinnedControl::AttachSkinnedSibling()
{
    TWinControl* parent = GetParent();
    if (!parent)
        return;
    FSkinnedParent = dynamic_cast<TCustomSkinnedControl*>(parent);
    TCustomSkinnedControl* first = nullptr;
    for (int i = 0; i < parent->ControlCount() && !first; ++i) {
        auto* c = dynamic_cast<TCustomSkinnedControl*>(parent->Controls(i));
        if (c && c != this && c->FSiblingAttached)
            first = c;
    }
    // Under a skinned parent ShapeParent is the parent's Shaped, so only the count is shared.
    if (first)
        FSiblings.Join(first->FSiblings, !FSkinnedParent);
    else
        FSiblings.Open(!FSkinnedParent);
    FSiblingAttached = true;
    InvalidateParentChildShapes(nullptr);
}

void TCustomSkinnedControl::DetachSkinnedSibling()
{
    if (GetSkinnedSiblingCount() <= 1) {
        FSiblings.LeaveCount();
        if (GetShapeParent()) {
            if (TCustomSkinnedControl* parent = SkinnedParent()) {
                // A skinned parent without artwork of its own would keep an outline of nothing.
                if (parent->GetArtwork()->GetEmpty())
                    SetShapeParent(false);
            } else {
                SetShapeParent(false);
            }
        }
    } else {
        SetSkinnedSiblingCount(GetSkinnedSiblingCount() - 1);
    }
    FSiblings.LeaveCount();
    // The parent's outline is rebuilt while the shared flag is still read: with the
    // control's own flag (false) a departing child would take the siblings' outline away.
    InvalidateParentChildShapes(this);
    FSiblings.LeaveShapeParent();
    FSiblingAttached = false;
    FSkinnedParent = nullptr;
}

void TCustomSkinnedControl::SetParent(TWinControl* AParent)
{
    if (AParent == this || AParent == GetParent())
        return;
    if (FSiblingAttached)
        DetachSkinnedSibling();
    TCustomControl::SetParent(AParent);
    if (AParent)
        AttachSkinnedSibling();
}
