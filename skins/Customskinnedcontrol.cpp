#include "skins/Customskinnedcontrol.h"

#include "skins/Bitmaps.h"

// TCustomSkinnedControl: construction and destruction, colour, transparency and painting.

TClass TCustomSkinnedControl::StaticClass()
{
    // The core publishes nothing itself; the concrete components choose what they publish.
    static const TClass Class = TPublished<TCustomSkinnedControl, TCustomControl>("TCustomSkinnedControl");
    return Class;
}

TCustomSkinnedControl::TCustomSkinnedControl(TComponent* AOwner) : TCustomControl(AOwner)
{
    Initialize();
}

void TCustomSkinnedControl::Initialize()
{
    // Painted through a buffer so the skin is drawn without flicker.
    SetDoubleBuffered(true);
    FOldColor = FNewColor = GetColor();
    FPointer.SetWasInControl(false);
    FFadingFrameTimer = std::make_unique<TTimer>(nullptr);
    FFadingFrameTimer->SetEnabled(false);
    FFadingFrameTimer->SetOnTimer([this](TObject* Sender) {
        // The timer is the boundary: a failing frame is reported and ends its fade, so it
        // does not fail again at every tick.
        try {
            FadingFrameTimerOnTimer(Sender);
        } catch (const std::exception& e) {
            FFadingFrameTimer->SetEnabled(false);
            HandleControlException(e);
        }
    });
    SetFadingFrameRate(25);
    SetFadingInterval(250);
    for (int w = 0; w < 2; ++w) {
        DefaultBitmap(FPArtworkStore[w]);
        AttachFArtworkChngEvent(w);
        DefaultBitmap(FPStretchedArtwork[w]);
        DefaultBitmap(FPColorizedArtwork[w]);
        FPColorStore[w] = GetColor();
    }
    FFadingSkinBitmap = std::make_unique<TBitmap>();
    FFadingSkinBitmap->SetPixelFormat(pf24bit);
    FColorSetStore = std::make_unique<TBitmap>();
    FColorSetStore->SetPixelFormat(pf24bit);
    AttachFColorSetChngEvent();
    DefaultBitmap(FArtworkSetStore);
    AttachFArtworkSetChngEvent();
    FArtworkShape = std::make_unique<TRegion>();
    FChildShapes = std::make_unique<TRegion>();
    FSkinShape = std::make_unique<TRegion>();
    OnMouseEnterControl = nullptr;
    OnMouseExitControl = nullptr;
    OnMouseCancelled = nullptr;
    OnMouseDown = nullptr;
    OnMouseMove = nullptr;
    OnMouseUp = nullptr;
    OnDragTo = nullptr;
    FControlStyle << csAcceptsControls;
    SetBounds(GetLeft(), GetTop(), 48, 48);
}

TCustomSkinnedControl::~TCustomSkinnedControl()
{
    if (FSiblingAttached)
        DetachSkinnedSibling();
    FFadingFrameTimer->SetEnabled(false);
    // No handler may reach a half-freed control.
    for (TBitmap* b : {FColorSetStore.get(), FArtworkSetStore.get(), FPArtworkStore[0].get(), FPArtworkStore[1].get()})
        b->OnChange = nullptr;
}

// ---- Colour ----

TColor TCustomSkinnedControl::GetColor() const
{
    return TCustomControl::GetColor();
}

void TCustomSkinnedControl::SetColor(TColor Value)
{
    if (Value == GetColor())
        return;
    FOldColor = FNewColor;
    FNewColor = Value;
    if (GetAllowFading()) {
        // The inherited colour follows the fade frame by frame.
        StopFading();
        SetPColor(FWorkspaces.New(), FNewColor);
        StartFading(true, false);
        return;
    }
    SetPColor(FWorkspaces.New(), FNewColor);
    InvalidatePColorizedArtwork(FWorkspaces.New());
    TCustomControl::SetColor(Value);
    if (GetParent() && (!FArtworked || FColorized))
        Repaint();
}

bool TCustomSkinnedControl::GetParentColor() const
{
    return TCustomControl::GetParentColor();
}

void TCustomSkinnedControl::SetParentColor(bool Value)
{
    if (Value != GetParentColor())
        TCustomControl::SetParentColor(Value);
}

// ---- Transparency ----

void TCustomSkinnedControl::SetTransparentColor(TColor Value)
{
    if (Value == FTransparentColor)
        return;
    FTransparentColor = Value;
    FTransparentMode = tmFixed;
    UpdateTransparency(FArtworkSetStore.get(), Value, tmFixed);
    UpdateTransparency(FPArtworkStore[FWorkspaces.New()].get(), FTransparentColor, FTransparentMode);
    if (FShaped)
        InvalidateArtworkShape();
}

void TCustomSkinnedControl::SetTransparentMode(TTransparentMode Value)
{
    if (Value == FTransparentMode)
        return;
    FTransparentMode = Value;
    UpdateTransparency(FArtworkSetStore.get(), FTransparentColor, Value);
    // Read again: with tmAuto the set's own colour has just become the control's.
    UpdateTransparency(FPArtworkStore[FWorkspaces.New()].get(), FTransparentColor, FTransparentMode);
    if (FShaped)
        InvalidateArtworkShape();
}

void TCustomSkinnedControl::UpdateTransparency(TBitmap* B, TColor Color, TTransparentMode Mode)
{
    if (!B)
        return;
    TNotifyEvent handler = std::exchange(B->OnChange, nullptr);
    B->SetTransparentMode(Mode);
    if (Mode == tmFixed)
        B->SetTransparentColor(Color);
    else if (!B->GetEmpty())
        // An empty bitmap has no bottom-left pixel to take the colour from.
        FTransparentColor = ResolveColor(B->GetTransparentColor());
    B->OnChange = std::move(handler);
}

void TCustomSkinnedControl::FixBitmap(TBitmap* B)
{
    if (!B)
        return;
    TNotifyEvent handler = std::exchange(B->OnChange, nullptr);
    struct Reattach
    {
        TBitmap* Bitmap;
        TNotifyEvent& Handler;
        ~Reattach() { Bitmap->OnChange = std::move(Handler); }
    } reattach{B, handler};
    if (B->GetPixelFormat() != pf24bit)
        B->SetPixelFormat(pf24bit);
    UpdateTransparency(B, FTransparentColor, FTransparentMode);
}

// ---- Looks ----

void TCustomSkinnedControl::SetArtworked(bool Value)
{
    if (Value == FArtworked)
        return;
    FArtworked = Value;
    InvalidateSkinBitmap();
    if (GetParent())
        Repaint();
}

void TCustomSkinnedControl::SetColorized(bool Value)
{
    if (Value == FColorized)
        return;
    FColorized = Value;
    InvalidateSkinBitmap();
    if (GetParent() && FArtworked)
        Repaint();
}

bool TCustomSkinnedControl::GetVisible() const
{
    return TCustomControl::GetVisible();
}

void TCustomSkinnedControl::SetVisible(bool Value)
{
    if (Value == GetVisible())
        return;
    TCustomControl::SetVisible(Value);
    InvalidateParentChildShapes(Value ? nullptr : this);
}

// ---- Painting ----

void TCustomSkinnedControl::Paint()
{
    TCustomControl::Paint();
    struct Painting
    {
        bool& Flag;
        explicit Painting(bool& f) : Flag(f) { Flag = true; }
        ~Painting() { Flag = false; }
    } painting(FPainting);
    if (!GetFadingInProgress() && GetColor() != FNewColor) {
        // The colour changed by another route than SetColor (ParentColor).
        FOldColor = FNewColor;
        FNewColor = GetColor();
        SetPColor(FWorkspaces.New(), GetColor());
        InvalidatePColorizedArtwork(FWorkspaces.New());
    }
    if (GetParent() && FArtworked)
        UpdateClientBitmap();
}

TBitmap* TCustomSkinnedControl::CoveringPicture()
{
    if (!GetParent() || !FArtworked)
        return nullptr;
    TBitmap* picture = GetFadingInProgress() ? GetFadingSkinBitmap() : GetSkinBitmap();
    const TRect client = GetClientRect();
    if (!picture || picture->GetTransparent() || picture->GetWidth() < client.Width() ||
        picture->GetHeight() < client.Height())
        return nullptr;
    return picture;
}

void TCustomSkinnedControl::PaintWindow(HDC DC)
{
    // An opaque picture of the client's size covers the background entirely: filling it
    // first would only be painted over.
    auto* canvas = dynamic_cast<TControlCanvas*>(GetCanvas());
    if (!canvas || !CoveringPicture()) {
        TCustomControl::PaintWindow(DC);
        return;
    }
    canvas->PaintWith(DC, [this] { Paint(); });
}

void TCustomSkinnedControl::ShowNewPicture()
{
    // Drawn straight on the window, as fade frames are, when the picture is all there is to
    // draw: no graphic child on it, no colour change still to be taken in by Paint.
    bool alone = HandleAllocated() && GetColor() == FNewColor;
    for (int i = 0; alone && i < ControlCount(); ++i)
        alone = dynamic_cast<TWinControl*>(Controls(i)) != nullptr;
    TBitmap* picture = alone ? CoveringPicture() : nullptr;
    if (picture) {
        Validate(TCacheItem::ClientBitmap);
        DrawOnCanvas(picture);
    } else {
        Repaint();
    }
}

void TCustomSkinnedControl::UpdateClientBitmap()
{
    if (!GetParent())
        return;
    TBitmap* picture = GetFadingInProgress() ? GetFadingSkinBitmap() : GetSkinBitmap();
    if (!picture)
        return;
    Validate(TCacheItem::ClientBitmap, true);
    DrawOnCanvas(picture);
}

void TCustomSkinnedControl::DrawOnCanvas(TBitmap* Bitmap)
{
    if (FPainting) {
        GetCanvas()->Draw(0, 0, Bitmap);
        return;
    }
    // Outside painting (a fade frame) the canvas draws on the window itself; letting go of
    // the window's DC at once puts the frame on the screen by the next turn of the loop.
    if (!HandleAllocated())
        return;
    GetCanvas()->Draw(0, 0, Bitmap);
    if (auto* canvas = dynamic_cast<TControlCanvas*>(GetCanvas()))
        canvas->FreeHandle();
}
