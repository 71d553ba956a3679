#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "skins/Bitmaps.h"

namespace {

using Pixel = TColorBytes;   // blue, green, red

std::unique_ptr<TBitmap> picture(int w, int h, const std::function<Pixel(int, int)>& at)
{
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        auto* line = static_cast<uint8_t*>(b->ScanLine(y));
        for (int x = 0; x < w; ++x) {
            Pixel p = at(x, y);
            std::copy(p.begin(), p.end(), line + 3 * x);
        }
    }
    return b;
}

Pixel pixel(TBitmap* b, int x, int y)
{
    auto* line = static_cast<uint8_t*>(b->ScanLine(y));
    return {line[3 * x], line[3 * x + 1], line[3 * x + 2]};
}

Pixel grey(int v) { return {uint8_t(v), uint8_t(v), uint8_t(v)}; }

// Counts change notifications and checks each one names the bitmap itself.
struct ChangeCounter
{
    explicit ChangeCounter(TBitmap* b) : bitmap(b)
    {
        b->OnChange = [this](TObject* sender) {
            ++calls;
            EXPECT_EQ(sender, bitmap);
        };
    }
    TBitmap* bitmap;
    int calls = 0;
};

}  // namespace

TEST(BitmapsColors, ResolveAndBytes)
{
    EXPECT_EQ(ResolveColor(clBtnFace), TColor(GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(ResolveColor(0x02123456), 0x123456);
    EXPECT_EQ(ResolveColor(clNone), 0xFFFFFF);

    TColorBytes bytes;
    ColorToBytes(clRed, true, bytes);
    EXPECT_EQ(bytes, (TColorBytes{0, 0, 255}));
    EXPECT_EQ(BytesToColor(bytes, true), clRed);
    ColorToBytes(clRed | 0x02000000, false, bytes);
    EXPECT_EQ(bytes, (TColorBytes{255, 0, 0}));
    EXPECT_EQ(BytesToColor(bytes, false), clRed);
}

TEST(BitmapsColors, MixTruncatesAndClamps)
{
    EXPECT_EQ(MixColors(clBlack, clWhite, 0.75, 0.25), 0x3F3F3F);
    EXPECT_EQ(MixColors(0xC0C0C0, 0x808080, 1, 1), 0xFFFFFF);
    // A colour mixed with itself comes back, though pure doubles would give 2 here.
    EXPECT_EQ(MixColors(0x030303, 0x030303, 1 - 0.002, 0.002), 0x030303);
    EXPECT_EQ(MixColors(clWhite, clBlack, -1, 0), 0);
    EXPECT_EQ(MixColors(clWhite, clBlack, std::nan(""), 0), 0);
    EXPECT_EQ(MixColors(clBlack, clBtnFace, 0, 1), TColor(GetSysColor(COLOR_BTNFACE)));
}

TEST(BitmapsAssign, KeepsHandlerTakesTransparency)
{
    auto source = picture(3, 2, [](int, int) { return grey(9); });
    source->SetTransparentColor(clLime);
    TBitmap dest;
    ChangeCounter counter(&dest);
    AssignBitmap(source.get(), &dest, false);
    EXPECT_EQ(counter.calls, 0);
    EXPECT_EQ(dest.GetWidth(), 3);
    EXPECT_EQ(dest.GetTransparentMode(), tmFixed);
    EXPECT_EQ(dest.GetTransparentColor() & 0xFFFFFF, clLime);

    source->SetTransparentMode(tmAuto);
    dest.OnChange = [&](TObject*) {
        ++counter.calls;
        EXPECT_EQ(dest.GetTransparentMode(), tmAuto);   // called after the whole copy
    };
    AssignBitmap(source.get(), &dest, true);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_TRUE(bool(dest.OnChange));
}

TEST(BitmapsStretch, EmptySourceFillsWithItsTransparentColor)
{
    TBitmap source;
    source.SetTransparentColor(clFuchsia);
    TBitmap dest;
    ChangeCounter counter(&dest);
    StretchBitmap(&source, &dest, 40, 20, 0);
    EXPECT_EQ(counter.calls, 1);
    ASSERT_EQ(dest.GetWidth(), 40);
    ASSERT_EQ(dest.GetHeight(), 20);
    EXPECT_EQ(pixel(&dest, 0, 0), (Pixel{255, 0, 255}));
    EXPECT_EQ(pixel(&dest, 39, 19), (Pixel{255, 0, 255}));
    EXPECT_EQ(dest.GetTransparentMode(), tmFixed);
    EXPECT_EQ(dest.GetTransparentColor() & 0xFFFFFF, clFuchsia);
}

TEST(BitmapsStretch, BoxAverage)
{
    auto big = picture(4, 4, [](int x, int y) { return grey(x * 10 + y * 40); });
    TBitmap small;
    StretchBitmap(big.get(), &small, 2, 2, 1);
    // Each 2 x 2 block: (0 + 10 + 40 + 50) / 4 = 25, and so on.
    EXPECT_EQ(pixel(&small, 0, 0), grey(25));
    EXPECT_EQ(pixel(&small, 1, 0), grey(45));
    EXPECT_EQ(pixel(&small, 0, 1), grey(105));
    EXPECT_EQ(pixel(&small, 1, 1), grey(125));
    StretchBitmap(big.get(), big.get(), 2, 2, 1);   // reads the picture as it was
    EXPECT_EQ(pixel(big.get(), 1, 1), grey(125));

    auto tiny = picture(2, 2, [](int x, int y) { return Pixel{uint8_t(x), uint8_t(y), 7}; });
    StretchBitmap(tiny.get(), &small, 4, 4, 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixel(&small, x, y), (Pixel{uint8_t(x / 2), uint8_t(y / 2), 7}));

    // Truncated, not rounded: (1 + 2 + 2 + 2) / 4 = 1.75.
    auto odd = picture(2, 2, [](int x, int y) { return grey(x + y == 0 ? 1 : 2); });
    StretchBitmap(odd.get(), &small, 1, 1, 1);
    EXPECT_EQ(pixel(&small, 0, 0), grey(1));
}

TEST(BitmapsStretch, ZeroTargetIsOnlyResized)
{
    auto source = picture(4, 4, [](int, int) { return grey(1); });
    TBitmap dest;
    dest.SetSize(3, 3);
    ChangeCounter counter(&dest);
    StretchBitmap(source.get(), &dest, 0, 5, 1);
    EXPECT_TRUE(dest.GetEmpty());
    StretchBitmap(source.get(), &dest, 5, -1, 1);
    EXPECT_TRUE(dest.GetEmpty());
    EXPECT_EQ(counter.calls, 2);
}

TEST(BitmapsStretch, OntoItselfKeepsFormat)
{
    auto bitmap = picture(2, 2, [](int, int) { return Pixel{0, 0, 0}; });
    bitmap->SetPixelFormat(pf8bit);
    ChangeCounter counter(bitmap.get());
    StretchBitmap(bitmap.get(), bitmap.get(), 6, 4, 0);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(bitmap->GetPixelFormat(), pf8bit);
    EXPECT_EQ(bitmap->GetWidth(), 6);
    EXPECT_EQ(bitmap->GetHeight(), 4);
    EXPECT_EQ(bitmap->Canvas()->GetPixel(5, 3), clBlack);

    // Other methods only resize: the kept corner stays, the new area is white.
    StretchBitmap(bitmap.get(), bitmap.get(), 8, 4, 7);
    EXPECT_EQ(bitmap->Canvas()->GetPixel(5, 3), clBlack);
    EXPECT_EQ(bitmap->Canvas()->GetPixel(7, 3), clWhite);
}

TEST(BitmapsFill, KeepsFormatAndNotifiesOnce)
{
    TBitmap b;
    b.SetPixelFormat(pf8bit);
    b.SetSize(5, 3);
    ChangeCounter counter(&b);
    FillBitmap(&b, clBlack);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(b.GetPixelFormat(), pf8bit);
    EXPECT_EQ(b.Canvas()->GetPixel(4, 2), clBlack);
}

TEST(BitmapsColorize, KnownTints)
{
    auto white = picture(20, 3, [](int, int) { return grey(255); });
    TBitmap dest;
    ChangeCounter counter(&dest);
    ColorizeBitmap(white.get(), &dest, 0x808080);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(pixel(&dest, 19, 2), grey(127));   // the factor falls just short of 128/255
    ColorizeBitmap(white.get(), &dest, 0x404040);
    EXPECT_EQ(pixel(&dest, 0, 0), grey(63));

    white->SetPixelFormat(pf8bit);
    ColorizeBitmap(white.get(), white.get(), clBlack);
    EXPECT_EQ(white->GetPixelFormat(), pf8bit);
    EXPECT_EQ(white->Canvas()->GetPixel(3, 2), clBlack);
}

TEST(BitmapsColorize, EveryTintMatchesExtendedProducts)
{
    // Every byte value in every channel, wide enough for the vector path and its tail.
    auto ramp = picture(256, 1, [](int x, int) { return grey(x); });
    TBitmap dest;
    for (int t = 0; t < 256; ++t) {
        TColorBytes tint = {uint8_t(t), uint8_t(255 - t), uint8_t(t * 7)};
        ColorizeBitmap(ramp.get(), &dest, BytesToColor(tint, true));
        for (int c = 0; c < 3; ++c) {
            const double factor = double((long double)tint[c] * (1.0L / 255));
            for (int v = 0; v < 256; ++v)
                ASSERT_EQ(pixel(&dest, v, 0)[c], int((long double)v * factor))
                    << t << " " << c << " " << v;
        }
    }
}

TEST(BitmapsBlend, SizesAndPureWeights)
{
    auto a = picture(10, 8, [](int x, int y) { return Pixel{uint8_t(x), uint8_t(y), 1}; });
    auto b = picture(8, 10, [](int x, int y) { return Pixel{uint8_t(y), 200, uint8_t(x)}; });
    TBitmap dest;
    ChangeCounter counter(&dest);
    BlendBitmaps(a.get(), b.get(), &dest, 0, 1);
    EXPECT_EQ(counter.calls, 1);
    ASSERT_EQ(dest.GetWidth(), 8);
    ASSERT_EQ(dest.GetHeight(), 8);
    EXPECT_EQ(pixel(&dest, 7, 6), pixel(b.get(), 7, 6));
    BlendBitmaps(a.get(), b.get(), &dest, 1, 0);
    EXPECT_EQ(pixel(&dest, 7, 6), pixel(a.get(), 7, 6));

    // The caller's format survives a blend into one of the sources.
    a->SetPixelFormat(pf8bit);
    BlendBitmaps(a.get(), b.get(), a.get(), 0.5, 0.5);
    EXPECT_EQ(a->GetPixelFormat(), pf8bit);
    EXPECT_EQ(a->GetWidth(), 8);
}

TEST(BitmapsBlend, EveryPairMatchesExtendedSums)
{
    // 10 * 0.3 is just under 3 in extended precision, though it rounds to 3 in doubles.
    auto zero = picture(1, 1, [](int, int) { return grey(0); });
    auto ten = picture(1, 1, [](int, int) { return grey(10); });
    TBitmap dest;
    BlendBitmaps(zero.get(), ten.get(), &dest, 0.7, 0.3);
    EXPECT_EQ(pixel(&dest, 0, 0), grey(2));

    // Byte 0 meets every pair of values; the small picture takes the per-byte path.
    auto a = picture(256, 256, [](int x, int y) { return Pixel{uint8_t(x), uint8_t(y), uint8_t(3 * x)}; });
    auto b = picture(256, 256, [](int x, int y) { return Pixel{uint8_t(y), uint8_t(x), uint8_t(x + y)}; });
    auto smallA = picture(9, 7, [](int x, int y) { return Pixel{uint8_t(29 * x), uint8_t(37 * y), 255}; });
    auto smallB = picture(9, 7, [](int x, int y) { return Pixel{uint8_t(41 * y), uint8_t(31 * x), 1}; });
    const double weights[][2] = {{0.7, 0.3},   {0.8, 0.2},   {0.5, 0.5},  {2.0 / 3, 1.0 / 3},
                                 {0.25, 0.75}, {0.123, 0.877}, {0.7, -0.3}, {1.5, -0.7},
                                 {5000.5, -5000.25}};
    for (auto [wa, wb] : weights)
        for (TBitmap* src : {a.get(), smallA.get()}) {
            TBitmap* other = src == a.get() ? b.get() : smallB.get();
            BlendBitmaps(src, other, &dest, wa, wb);
            for (int y = 0; y < dest.GetHeight(); ++y)
                for (int x = 0; x < dest.GetWidth(); ++x)
                    for (int c = 0; c < 3; ++c) {
                        long double v = (long double)pixel(src, x, y)[c] * wa +
                                        (long double)pixel(other, x, y)[c] * wb;
                        int64_t n = int64_t(v);
                        ASSERT_EQ(pixel(&dest, x, y)[c], n > 255 ? 255 : uint8_t(n))
                            << wa << " " << x << "," << y;
                    }
        }
}

TEST(BitmapsConvert, GreyPaletteAndIndexes)
{
    // How the main window prepares its grey bitmaps.
    TBitmap b;
    ConvertBitmap(&b, &b, pf8bit, false, true);
    EXPECT_TRUE(b.GetEmpty());
    EXPECT_EQ(b.GetPixelFormat(), pf8bit);
    b.SetSize(4, 2);
    PALETTEENTRY entries[256];
    ASSERT_EQ(b.ColorTable().size(), 256u);
    EXPECT_EQ(b.ColorTable()[77].rgbGreen, 77);
    ASSERT_EQ(GetPaletteEntries(b.GetPalette(), 0, 256, entries), 256u);
    EXPECT_EQ(entries[130].peRed, 130);

    auto colour = picture(3, 2, [](int x, int y) { return Pixel{uint8_t(50 * x), 100, uint8_t(90 * y + 1)}; });
    TBitmap out;
    ChangeCounter counter(&out);
    ConvertBitmap(colour.get(), &out, pf8bit, false, true);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(out.GetPixelFormat(), pf8bit);
    EXPECT_EQ(static_cast<uint8_t*>(out.ScanLine(1))[2], (100 + 100 + 91) / 3);

    // An 8-bit source's indexes read as grey levels.
    TBitmap back;
    ConvertBitmap(&out, &back, pf24bit, false, false);
    EXPECT_EQ(back.GetPixelFormat(), pf24bit);
    EXPECT_EQ(pixel(&back, 2, 1), grey(97));
}
