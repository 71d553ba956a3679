#pragma once
// Active skins (panels, buttons, switches) on a shown borderless form, driven by injected
// mouse input: artwork sets whose every cell has its own colour and a cut-away corner, and
// the state a control shows (column, row, duration of the fade that took it there).
#include <string>
#include <tuple>
#include <vector>

#include "SkinFixture.h"
#include "skins/Customactiveskin.h"

// The colour of cell (H, V) of the sets below, 0xRRGGBB.
inline uint32_t cellColour(int H, int V)
{
    return uint32_t(40 + 60 * H) << 16 | uint32_t(30 + 100 * V) << 8 | uint32_t(200 - 50 * H);
}

// A set of Columns x Rows cells of W x H, each filled with cellColour and cut away (lime)
// where x + y < 4 in the cell.
inline std::unique_ptr<TBitmap> cellSet(int Columns, int Rows, int W, int H)
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(pf24bit);
    bmp->SetSize(Columns * W, Rows * H);
    for (int y = 0; y < Rows * H; ++y) {
        auto* p = static_cast<uint8_t*>(bmp->ScanLine(y));
        for (int x = 0; x < Columns * W; ++x, p += 3) {
            const uint32_t c = (x % W) + (y % H) < 4 ? 0x00FF00u : cellColour(x / W, y / H);
            p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
        }
    }
    return bmp;
}

class ActiveSkinFixture : public SkinFixture
{
protected:
    std::unique_ptr<TForm> form;
    // Every event of the controls, in order: "down Name", "up Name", "cancel Name", ...
    std::vector<std::string> log;

    void SetUp() override
    {
        SkinFixture::SetUp();
        form = shownForm(300, 200);
    }
    void TearDown() override
    {
        form.reset();
        SkinFixture::TearDown();
    }

    // A 32 x 32 component of class T at (Left, Top) with a cell set of the grid its class
    // has, shaped and fading, with durations that tell the kinds of change apart.
    template <class T>
    T* make(const char* Name, int Left, int Top)
    {
        auto* c = new T(form.get());
        c->SetName(Name);
        c->SetParent(form.get());
        c->SetBounds(Left, Top, 32, 32);
        auto set = cellSet(c->GetThemeHorzCount(), c->GetThemeVertCount(), 32, 32);
        c->SetArtworkSet(set.get());
        c->SetArtworked(true);
        c->SetShaped(true);
        c->SetEnableFading(true);
        c->SetFadingOnEnabled(600);
        c->SetFadingOnMouseEnter(300);
        c->SetFadingOnMouseDown(100);
        c->SetFadingOnMouseUp(200);
        c->SetFadingOnStateChange(400);
        const std::string name = Name;
        c->OnMouseDown = [this, name](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("down " + name); };
        c->OnMouseUp = [this, name](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("up " + name); };
        c->OnMouseCancelled = [this, name](TObject*) { log.push_back("cancel " + name); };
        c->OnMouseEnterControl = [this, name](TObject*, TShiftState, int, int) { log.push_back("enter " + name); };
        c->OnMouseExitControl = [this, name](TObject*, TShiftState, int, int) { log.push_back("exit " + name); };
        c->OnStateChange = [this, name](TObject*) { log.push_back("state " + name); };
        pump();
        return c;
    }

    // Injected input at a client point of a control (which may lie outside it).
    TPoint screenOf(TControl* C, int X, int Y) const { return C->ClientToScreen(TPoint(X, Y)); }
    void moveTo(TControl* C, int X, int Y)
    {
        const TPoint p = screenOf(C, X, Y);
        display->moveMouse(p.X, p.Y);
        pump();
    }
    void press(TControl* C, int X, int Y)
    {
        const TPoint p = screenOf(C, X, Y);
        display->pressMouse(p.X, p.Y);
        pump();
    }
    void release(TControl* C, int X, int Y)
    {
        const TPoint p = screenOf(C, X, Y);
        display->releaseMouse(p.X, p.Y);
        pump();
    }

    // Column, row and the duration of the fade that selected them.
    static std::tuple<int, int, int> shown(TCustomActiveSkin* C)
    {
        return {C->GetThemeHorzIndex(), C->GetThemeVertIndex(), C->GetFadingInterval()};
    }
    // The colour on the screen at a client point of a control (in its window's screenshot).
    uint32_t screenColour(TControl* C, int X, int Y)
    {
        TWinControl* window = C->GetParent();
        while (window->GetParent())
            window = window->GetParent();
        const TPoint p = screenOf(C, X, Y);
        return rgbOf(display->screenshot(window->Handle()).at(p.X - window->GetLeft(), p.Y - window->GetTop()));
    }
    std::vector<std::string> takeLog() { return std::exchange(log, {}); }
};
