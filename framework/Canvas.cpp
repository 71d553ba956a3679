#include "framework/Graphics.h"

COLORREF ColorToRGB(TColor Color)
{
    if (Color < 0)
        return GetSysColor(Color & 0xFF);
    return COLORREF(Color);
}

TBrush::~TBrush()
{
    if (FHandle)
        DeleteObject(FHandle);
}

void TBrush::SetColor(TColor Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    if (FHandle) {
        DeleteObject(FHandle);
        FHandle = 0;
    }
    if (OnChange)
        OnChange(this);
}

void TBrush::SetStyle(TBrushStyle Value)
{
    if (Value == FStyle)
        return;
    FStyle = Value;
    if (OnChange)
        OnChange(this);
}

HBRUSH TBrush::GetHandle()
{
    if (!FHandle)
        FHandle = CreateSolidBrush(ColorToRGB(FColor) & 0xFFFFFF);
    return FHandle;
}

TCanvas::TCanvas() : FBrush(std::make_unique<TBrush>()), FFont(std::make_unique<TFont>()) {}

TCanvas::~TCanvas() = default;

HDC TCanvas::GetHandle()
{
    if (!FHandle)
        CreateHandle();
    if (!FHandle)
        throw EInvalidOperation("Canvas does not allow drawing");
    return FHandle;
}

void TCanvas::Changed()
{
    if (OnChange)
        OnChange(this);
}

TColor TCanvas::GetPixel(int X, int Y)
{
    return TColor(::GetPixel(GetHandle(), X, Y));
}

void TCanvas::SetPixel(int X, int Y, TColor Color)
{
    ::SetPixel(GetHandle(), X, Y, ColorToRGB(Color) & 0xFFFFFF);
    Changed();
}

void TCanvas::FillRect(const TRect& Rect)
{
    RECT r = Rect;
    ::FillRect(GetHandle(), &r, FBrush->GetHandle());
    Changed();
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic)
{
    if (!Graphic || Graphic->GetEmpty())
        return;
    Graphic->Draw(this, TRect(X, Y, X + Graphic->GetWidth(), Y + Graphic->GetHeight()));
    Changed();
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic* Graphic)
{
    if (!Graphic || Graphic->GetEmpty())
        return;
    Graphic->Draw(this, Rect);
    Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source)
{
    if (!Canvas)
        return;
    ::StretchBlt(GetHandle(), Dest.Left, Dest.Top, Dest.Width(), Dest.Height(), Canvas->GetHandle(),
                 Source.Left, Source.Top, Source.Width(), Source.Height(), SRCCOPY);
    Changed();
}

void TGraphic::SetTransparent(bool Value)
{
    if (Value == FTransparent)
        return;
    FTransparent = Value;
    Changed(this);
}

void TGraphic::Changed(TObject*)
{
    if (OnChange)
        OnChange(this);
}
