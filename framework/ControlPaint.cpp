#include "framework/Controls.h"

// Painting: a window paints its client area and its windowless children into a buffer,
// then copies the buffer to the screen in one step, so nothing flickers.

namespace {

void fillSolid(HDC dc, const RECT& r, TColor color)
{
    HBRUSH brush = CreateSolidBrush(ColorToRGB(color) & 0xFFFFFF);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

// The canvases holding a window DC they fetched themselves (drawing outside a paint message).
std::vector<TControlCanvas*>& canvasesWithWindowDC()
{
    static std::vector<TControlCanvas*> list;
    return list;
}

}  // namespace

int FreeDeviceContexts()
{
    std::vector<TControlCanvas*> holding;
    holding.swap(canvasesWithWindowDC());
    for (TControlCanvas* canvas : holding)
        canvas->FreeHandle();
    return int(holding.size());
}

void TWinControl::PaintHandler(HDC DC, const RECT& Area)
{
    TRect client = GetClientRect();
    if (client.Width() <= 0 || client.Height() <= 0)
        return;
    if (!FDoubleBuffered) {
        // Straight onto the window, clipped to what needs painting.
        PaintWindow(DC);
        PaintControls(DC);
        return;
    }
    TBitmap buffer;
    buffer.SetSize(client.Width(), client.Height());
    HDC memory = buffer.Canvas()->GetHandle();
    PaintWindow(memory);
    PaintControls(memory);
    int w = Area.right - Area.left, h = Area.bottom - Area.top;
    if (w > 0 && h > 0)
        BitBlt(DC, Area.left, Area.top, w, h, memory, Area.left, Area.top, SRCCOPY);
}

void TWinControl::PaintWindow(HDC DC)
{
    TRect client = GetClientRect();
    fillSolid(DC, client, GetColor());
}

void TWinControl::PaintControls(HDC DC)
{
    TRect client = GetClientRect();
    for (TControl* c : std::vector<TControl*>(FControls)) {
        auto* graphic = dynamic_cast<TGraphicControl*>(c);
        if (!graphic || !c->FVisible || c->FWidth <= 0 || c->FHeight <= 0)
            continue;
        if (c->FLeft >= client.Right || c->FTop >= client.Bottom || c->FLeft + c->FWidth <= 0 ||
            c->FTop + c->FHeight <= 0)
            continue;
        // The control paints on its own piece of the buffer, so its origin is 0,0 and it
        // cannot draw outside its bounds; what it leaves alone shows the parent.
        TBitmap piece;
        piece.SetSize(c->FWidth, c->FHeight);
        HDC pieceDC = piece.Canvas()->GetHandle();
        BitBlt(pieceDC, 0, 0, c->FWidth, c->FHeight, DC, c->FLeft, c->FTop, SRCCOPY);
        try {
            graphic->PaintOn(pieceDC);
        } catch (const std::exception& e) {
            HandleControlException(e);
        }
        BitBlt(DC, c->FLeft, c->FTop, c->FWidth, c->FHeight, pieceDC, 0, 0, SRCCOPY);
    }
}

// ---- TControlCanvas ----

TControlCanvas::~TControlCanvas()
{
    FreeHandle();
}

void TControlCanvas::SetControl(TControl* Value)
{
    if (Value == FControl)
        return;
    FreeHandle();
    FControl = Value;
}

void TControlCanvas::FreeHandle()
{
    if (FWindow && FDC) {
        std::erase(canvasesWithWindowDC(), this);
        ReleaseDC(FWindow, FDC);   // hands what was drawn to the screen
    }
    FWindow = 0;
    FDC = 0;
    SetHandle(0);
}

void TControlCanvas::UseHandle(HDC DC)
{
    FreeHandle();
    FDC = DC;
    SetHandle(DC);
}

void TControlCanvas::CreateHandle()
{
    // Outside painting only a windowed control can be drawn on (through its window's DC);
    // a windowless one draws in Paint, on the piece of the buffer its parent hands it.
    auto* win = dynamic_cast<TWinControl*>(FControl);
    if (!win || !win->HandleAllocated())
        return;
    FWindow = win->Handle();
    FDC = GetDC(FWindow);
    if (FDC)
        canvasesWithWindowDC().push_back(this);
    SetHandle(FDC);
}

void TControlCanvas::PaintWith(HDC DC, const std::function<void()>& Paint)
{
    UseHandle(DC);
    if (FControl) {
        Font()->Assign(FControl->GetFont());
        Brush()->SetColor(FControl->GetColor());
    }
    try {
        Paint();
    } catch (...) {
        FreeHandle();
        throw;
    }
    FreeHandle();
}

// ---- TGraphicControl ----

TClass TGraphicControl::StaticClass()
{
    static const TClass Class = TPublished<TGraphicControl, TControl>("TGraphicControl");
    return Class;
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), FCanvas(std::make_unique<TControlCanvas>())
{
    FCanvas->SetControl(this);
}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintOn(HDC DC)
{
    FCanvas->PaintWith(DC, [this] { Paint(); });
}

// ---- TCustomControl ----

TClass TCustomControl::StaticClass()
{
    static const TClass Class = TPublished<TCustomControl, TWinControl>("TCustomControl");
    return Class;
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>())
{
    FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC DC)
{
    TWinControl::PaintWindow(DC);
    FCanvas->PaintWith(DC, [this] { Paint(); });
}
