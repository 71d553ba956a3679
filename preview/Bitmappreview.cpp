// TBitmapPreview: published table, registration, construction and change notification.
// Pictures and painting are in BitmappreviewPictures.cpp, geometry in
// BitmappreviewGeometry.cpp, mouse handling in BitmappreviewMouse.cpp, resampling in
// BitmapZoom.cpp.
#include "preview/Bitmappreview.h"

TClass TBitmapPreview::StaticClass()
{
    using T = TBitmapPreview;
    static const TClass Class = TPublished<T, TCustomControl>("TBitmapPreview")
        .Property("Color", &T::GetColor, &T::SetColor, ColorIdents(), Default(clNone))
        .Property("IsEmpty", &T::GetIsEmpty, &T::SetIsEmpty, Default(false))
        .Property("Bitmap", &T::GetBitmap, Stored(&T::StoreBitmap))
        .Property("OriginX", &T::GetOriginX, &T::SetOriginX, Default(0.0))
        .Property("OriginY", &T::GetOriginY, &T::SetOriginY, Default(0.0))
        .Property("Zoom", &T::GetZoom, &T::SetZoom, Default(0.0))
        .Property("FitFrame", &T::GetFitFrame, &T::SetFitFrame, Default(false))
        .Property("CenterFrame", &T::GetCenterFrame, &T::SetCenterFrame, Default(false))
        .Property("CenterFitFrame", &T::GetCenterFitFrame, &T::SetCenterFitFrame, Default(false))
        .Property("FitHorz", &T::GetFitHorz, &T::SetFitHorz, Default(false))
        .Property("CenterHorz", &T::GetCenterHorz, &T::SetCenterHorz, Default(false))
        .Property("CenterFitHorz", &T::GetCenterFitHorz, &T::SetCenterFitHorz, Default(false))
        .Property("FitVert", &T::GetFitVert, &T::SetFitVert, Default(false))
        .Property("CenterVert", &T::GetCenterVert, &T::SetCenterVert, Default(false))
        .Property("CenterFitVert", &T::GetCenterFitVert, &T::SetCenterFitVert, Default(false))
        .Property("QualityLevel", &T::GetQualityLevel, &T::SetQualityLevel, Default(0))
        .Property("Dragable", &T::GetDragable, &T::SetDragable, Default(false))
        .Property("DragParent", &T::GetDragParent, &T::SetDragParent, Default(false))
        .Property("HandScrollable", &T::GetHandScrollable, &T::SetHandScrollable, Default(false))
        .Event("OnMouseEnterControl", &T::OnMouseEnterControl)
        .Event("OnMouseExitControl", &T::OnMouseExitControl)
        .Event("OnMouseDown", &T::OnMouseDown)
        .Event("OnMouseMove", &T::OnMouseMove)
        .Event("OnMouseUp", &T::OnMouseUp)
        .Event("OnMouseCancelled", &T::OnMouseCancelled)
        .Event("OnDragTo", &T::OnDragTo)
        .Event("OnHandScrollTo", &T::OnHandScrollTo)
        .Event("OnClick", &T::OnClick)
        .Event("OnUpdateDisplay", &T::OnUpdateDisplay)
        .Event("OnChange", &T::OnChange);
    return Class;
}

namespace Bitmappreview {

void Register()
{
    RegisterComponents("VK Controls", {ClassOf<TBitmapPreview>()});
}

}  // namespace Bitmappreview

TBitmapPreview::TBitmapPreview(TComponent* AOwner) : TCustomControl(AOwner)
{
    // Painted through a buffer: the offscreen picture is drawn without flicker.
    SetDoubleBuffered(true);
    FControlStyle << csAcceptsControls << csSetCaption << csDoubleClicks;
    FDisplayedBitmap = std::make_unique<TBitmap>();
    FDisplayedBitmap->SetPixelFormat(pf24bit);
    FOffscreenBitmap = std::make_unique<TBitmap>();
    FOffscreenBitmap->SetPixelFormat(pf24bit);
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->SetPixelFormat(pf24bit);
    SetBounds(FLeft, FTop, 128, 72);
    SetColor(clGray);
    FBitmap->OnChange = [this](TObject* Sender) { FBitmapOnChange(Sender); };
}

TBitmapPreview::~TBitmapPreview()
{
    if (FBitmap)
        FBitmap->OnChange = nullptr;
    FBitmap.reset();
    FDisplayedBitmap.reset();
    FOffscreenBitmap.reset();
}

// ---- Change notification ----

void TBitmapPreview::SetEnableUpdateDisplayEvent(bool Value)
{
    if (!Value)
        ++FUpdateDisplayLock;
    else if (FUpdateDisplayLock > 0)
        --FUpdateDisplayLock;
}

void TBitmapPreview::SetEnableChangeEvent(bool Value)
{
    if (!Value)
        ++FChangeLock;
    else if (FChangeLock > 0)
        --FChangeLock;
}

void TBitmapPreview::ConditionalUpdateDisplay()
{
    if (GetEnableUpdateDisplayEvent())
        UpdateDisplay();
}

void TBitmapPreview::UpdateDisplay()
{
    if (OnUpdateDisplay)
        OnUpdateDisplay(this);
}

void TBitmapPreview::ConditionalChange()
{
    if (GetEnableChangeEvent())
        Change();
}

void TBitmapPreview::Change()
{
    if (OnChange)
        OnChange(this);
    Paint();
}

// ---- Colour and quality ----

void TBitmapPreview::SetColor(TColor Value)
{
    if (Value == GetColor())
        return;
    InvalidateOffscreenBitmap();
    TCustomControl::SetColor(Value);
}

void TBitmapPreview::SetQualityLevel(int Value)
{
    if (Value == FQualityLevel)
        return;
    FQualityLevel = Value;
    InvalidateOffscreenBitmap();
    ConditionalChange();
}
