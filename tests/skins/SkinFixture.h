#pragma once
// Skinned controls on a fresh desktop: a concrete test control that counts the rebuilds of
// its cached pictures, and pictures made from rows of text.
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "skins/Bitmaps.h"
#include "skins/Customskinnedcontrol.h"
#include "tests/support/DesktopFixture.h"

// The core made concrete, with its protected parts in reach and its rebuilds counted.
class TTestSkin : public TCustomSkinnedControl
{
public:
    using TCustomSkinnedControl::TCustomSkinnedControl;

    std::map<std::string, int> Rebuilds;
    int rebuilds(const std::string& Item) const
    {
        auto it = Rebuilds.find(Item);
        return it == Rebuilds.end() ? 0 : it->second;
    }
    // Called at the start of every fade frame's picture, for re-entry tests.
    std::function<void()> DuringFrame;

    using TCustomSkinnedControl::FArtworkSet;
    using TCustomSkinnedControl::FColorMap;
    using TCustomSkinnedControl::FColorSet;
    using TCustomSkinnedControl::FPArtwork;
    using TCustomSkinnedControl::FPArtworkValid;
    using TCustomSkinnedControl::FPColor;
    using TCustomSkinnedControl::FPColorValid;
    using TCustomSkinnedControl::SwitchWorkspaces;
    void UpdateColorMap() override { count("ColorMap"), TCustomSkinnedControl::UpdateColorMap(); }
    void setDesigning(bool Value) { SetDesigning(Value); }

protected:
    void UpdatePColor(int W) override { count("PColor"), TCustomSkinnedControl::UpdatePColor(W); }
    void UpdatePArtwork(int W) override { count("PArtwork"), TCustomSkinnedControl::UpdatePArtwork(W); }
    void UpdatePStretchedArtwork(int W) override
    {
        count("PStretchedArtwork"), TCustomSkinnedControl::UpdatePStretchedArtwork(W);
    }
    void UpdatePColorizedArtwork(int W) override
    {
        count("PColorizedArtwork"), TCustomSkinnedControl::UpdatePColorizedArtwork(W);
    }
    void UpdateFadingSkinBitmap() override
    {
        count("FadingSkinBitmap");
        if (DuringFrame)
            DuringFrame();
        TCustomSkinnedControl::UpdateFadingSkinBitmap();
    }
    void UpdateArtworkShape() override { count("ArtworkShape"), TCustomSkinnedControl::UpdateArtworkShape(); }
    void UpdateClientShape() override { count("ClientShape"), TCustomSkinnedControl::UpdateClientShape(); }

private:
    void count(const std::string& Item) { ++Rebuilds[Item]; }
};

// A 24-bit bitmap from rows of text, one character a pixel: '.' lime (the transparent
// colour of the skinned controls), 'r' red, 'g' green, 'b' blue, 'w' white, 'k' black,
// digits greys (0 black ... 9 light).
inline std::unique_ptr<TBitmap> picture(const std::vector<std::string>& Rows)
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(pf24bit);
    bmp->SetSize(int(Rows[0].size()), int(Rows.size()));
    for (int y = 0; y < int(Rows.size()); ++y) {
        auto* p = static_cast<uint8_t*>(bmp->ScanLine(y));
        for (char c : Rows[size_t(y)]) {
            uint8_t r = 0, g = 0, b = 0;
            switch (c) {
            case '.': g = 255; break;
            case 'r': r = 255; break;
            case 'g': g = 128; break;
            case 'b': b = 255; break;
            case 'w': r = g = b = 255; break;
            case 'k': break;
            default: r = g = b = uint8_t((c - '0') * 25); break;
            }
            p[0] = b, p[1] = g, p[2] = r;
            p += 3;
        }
    }
    return bmp;
}

// A bitmap of W x H whose every pixel differs (a gradient by position and a seed).
inline std::unique_ptr<TBitmap> gradient(int W, int H, int Seed = 0)
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(pf24bit);
    bmp->SetSize(W, H);
    for (int y = 0; y < H; ++y) {
        auto* p = static_cast<uint8_t*>(bmp->ScanLine(y));
        for (int x = 0; x < W; ++x) {
            p[3 * x] = uint8_t(x * 7 + Seed);
            p[3 * x + 1] = uint8_t(y * 5 + 3 * Seed);
            p[3 * x + 2] = uint8_t(x * y + 11 + Seed);
        }
    }
    return bmp;
}

// The pixels of a bitmap as 0xRRGGBB, row by row, with its size.
struct Pixels
{
    int width = 0;
    int height = 0;
    std::vector<uint32_t> values;
    bool operator==(const Pixels&) const = default;
    uint32_t at(int X, int Y) const { return values[size_t(Y * width + X)]; }
};

inline Pixels pixelsOf(TBitmap* Bitmap)
{
    TBitmap copy;
    AssignBitmap(Bitmap, &copy, false);
    copy.SetPixelFormat(pf24bit);
    Pixels p{copy.GetWidth(), copy.GetHeight(), {}};
    for (int y = 0; y < p.height; ++y) {
        const auto* row = static_cast<const uint8_t*>(copy.ScanLine(y));
        for (int x = 0; x < p.width; ++x)
            p.values.push_back(uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x]);
    }
    return p;
}

// The rectangle (L, T, R, B) of a bitmap as a new bitmap, cut by hand from its scan lines.
inline std::unique_ptr<TBitmap> cutByHand(TBitmap* Source, const TRect& Rect)
{
    auto out = std::make_unique<TBitmap>();
    out->SetPixelFormat(pf24bit);
    out->SetSize(Rect.Width(), Rect.Height());
    for (int y = 0; y < Rect.Height(); ++y)
        std::memcpy(out->ScanLine(y), static_cast<uint8_t*>(Source->ScanLine(Rect.Top + y)) + 3 * Rect.Left,
                    size_t(3 * Rect.Width()));
    return out;
}

// Screenshot pixels of a region of a window as 0xRRGGBB.
inline uint32_t rgbOf(COLORREF c)
{
    return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

class SkinFixture : public DesktopFixture
{
protected:
    // Moves the clock in steps, processing messages after each, as a running loop would.
    void run(int Ms, int Step = 5)
    {
        for (int t = 0; t < Ms; t += Step) {
            clock->advanceMs(Step);
            pump();
        }
    }

    // A borderless form at 100,100, shown.
    static std::unique_ptr<TForm> shownForm(int W = 200, int H = 150)
    {
        auto form = std::make_unique<TForm>(nullptr, 0);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, W, H);
        form->Show();
        pump();
        return form;
    }

    // A skinned control on Parent with an artwork set, artworked.
    static TTestSkin* skinOn(TWinControl* Parent, TComponent* Owner, TBitmap* Set, int HorzCount, int VertCount,
                             int Left, int Top, int W, int H)
    {
        auto* skin = new TTestSkin(Owner);
        skin->SetParent(Parent);
        skin->SetBounds(Left, Top, W, H);
        skin->SetThemeRange(HorzCount, VertCount);
        skin->SetArtworkSet(Set);
        skin->SetArtworked(true);
        return skin;
    }
};
