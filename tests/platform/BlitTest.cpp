#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/Gdi.h"

namespace {

constexpr COLORREF R = RGB(255, 0, 0), G = RGB(0, 255, 0), B = RGB(0, 0, 255);
constexpr COLORREF W = RGB(255, 255, 255), K = RGB(0, 0, 0);

std::vector<RGBQUAD> table(std::initializer_list<COLORREF> colors)
{
    std::vector<RGBQUAD> out;
    for (COLORREF c : colors)
        out.push_back({GetBValue(c), GetGValue(c), GetRValue(c), 0});
    return out;
}

// A DIB section selected into its own memory DC; a negative height makes it top-down.
struct Dib
{
    Dib(int width, int height, int bits, std::vector<RGBQUAD> colors = table({K, W}))
        : stride(((width * bits + 31) / 32) * 4), rows(height < 0 ? -height : height), topDown(height < 0)
    {
        std::vector<unsigned char> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
        bmi->bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, WORD(bits), BI_RGB, 0, 0, 0,
                          DWORD(colors.size()), 0};
        std::memcpy(bmi->bmiColors, colors.data(), colors.size() * sizeof(RGBQUAD));
        bitmap = CreateDIBSection(0, bmi, DIB_RGB_COLORS, &bits_, 0, 0);
        dc = CreateCompatibleDC(0);
        old = SelectObject(dc, bitmap);
    }
    ~Dib()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }

    // Memory of picture row y (0 at the top).
    unsigned char* row(int y) const
    {
        return static_cast<unsigned char*>(bits_) + size_t(topDown ? y : rows - 1 - y) * size_t(stride);
    }
    void fill(COLORREF c)
    {
        HBRUSH brush = CreateSolidBrush(c);
        RECT all{0, 0, 1 << 20, 1 << 20};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    void set(int y, std::initializer_list<COLORREF> colors)
    {
        int x = 0;
        for (COLORREF c : colors)
            SetPixel(dc, x++, y, c);
    }
    std::vector<COLORREF> get(int y, int width) const
    {
        std::vector<COLORREF> out;
        for (int x = 0; x < width; ++x)
            out.push_back(GetPixel(dc, x, y));
        return out;
    }

    int stride, rows;
    bool topDown;
    HBITMAP bitmap = 0;
    HDC dc = 0;
    HGDIOBJ old = 0;
    void* bits_ = nullptr;
};

using Row = std::vector<COLORREF>;

TEST(DibSectionTest, PixelsLandWhereTheFormatSays)
{
    for (int height : {3, -3}) {
        SCOPED_TRACE(height < 0 ? "top-down" : "bottom-up");
        Dib mono(10, height, 1);
        ASSERT_NE(mono.bitmap, 0u);
        EXPECT_EQ(GetPixel(mono.dc, 9, 0), K);   // a new DIB is all zero bits
        EXPECT_EQ(SetPixel(mono.dc, 9, 0, W), W);
        EXPECT_EQ(SetPixel(mono.dc, 0, 2, RGB(200, 200, 200)), W);   // the nearest entry
        EXPECT_EQ(mono.row(0)[1], 0x40);
        EXPECT_EQ(mono.row(2)[0], 0x80);

        Dib indexed(3, height, 8, table({K, R, G, B}));
        EXPECT_EQ(SetPixel(indexed.dc, 0, 1, RGB(10, 240, 5)), G);
        EXPECT_EQ(indexed.row(1)[0], 2);

        Dib rgb(3, height, 24);
        EXPECT_EQ(SetPixel(rgb.dc, 2, 1, RGB(1, 2, 3)), RGB(1, 2, 3));
        EXPECT_EQ(std::memcmp(rgb.row(1) + 6, "\3\2\1", 3), 0);   // rows padded to 12 bytes

        Dib wide(3, height, 32);
        std::memset(wide.row(0), 0xEE, 12);
        EXPECT_EQ(SetPixel(wide.dc, 1, 0, RGB(1, 2, 3)), RGB(1, 2, 3));
        EXPECT_EQ(std::memcmp(wide.row(0) + 4, "\3\2\1\0", 4), 0);
        EXPECT_EQ(GetPixel(wide.dc, 0, 0), RGB(0xEE, 0xEE, 0xEE));
    }

    BITMAPINFO bad{};
    bad.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, 4, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = &bad;
    EXPECT_EQ(CreateDIBSection(0, &bad, DIB_RGB_COLORS, &bits, 0, 0), 0u);
    EXPECT_EQ(bits, nullptr);
    bad.bmiHeader.biBitCount = 24;
    bad.bmiHeader.biHeight = 0;
    EXPECT_EQ(CreateDIBSection(0, &bad, DIB_RGB_COLORS, &bits, 0, 0), 0u);
}

TEST(DibSectionTest, DrawingStaysInsideTheSurfaceAndTheClip)
{
    Dib d(6, 4, 24);
    d.fill(W);
    for (POINT p : {POINT{-1, 0}, POINT{6, 0}, POINT{0, 4}, POINT{0, -1}}) {
        EXPECT_EQ(GetPixel(d.dc, p.x, p.y), CLR_INVALID);
        EXPECT_EQ(SetPixel(d.dc, p.x, p.y, R), CLR_INVALID);
    }

    HRGN clip = CreateRectRgn(0, 0, 2, 2);
    HRGN second = CreateRectRgn(4, 2, 6, 4);
    CombineRgn(clip, clip, second, RGN_OR);
    EXPECT_EQ(SelectClipRgn(d.dc, clip), COMPLEXREGION);
    SetRectRgn(clip, 0, 0, 6, 4);   // the DC keeps its own copy
    DeleteObject(clip);
    DeleteObject(second);
    EXPECT_EQ(GetPixel(d.dc, 3, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(d.dc, 3, 0, R), CLR_INVALID);

    HBRUSH red = CreateSolidBrush(R);
    RECT r{1, 1, 5, 4};   // right and bottom lie outside the fill
    EXPECT_TRUE(FillRect(d.dc, &r, red));
    SelectClipRgn(d.dc, 0);
    EXPECT_EQ(d.get(0, 6), Row(6, W));
    EXPECT_EQ(d.get(1, 6), (Row{W, R, W, W, W, W}));
    EXPECT_EQ(d.get(2, 6), (Row{W, W, W, W, R, W}));
    EXPECT_EQ(d.get(3, 6), (Row{W, W, W, W, R, W}));

    RECT past{-10, -10, 100, 1}, reversed{5, 3, 1, 1};
    EXPECT_TRUE(FillRect(d.dc, &past, red));
    EXPECT_EQ(d.get(0, 6), Row(6, R));
    FillRect(d.dc, &reversed, red);   // an empty rectangle
    EXPECT_EQ(GetPixel(d.dc, 3, 2), W);
    DeleteObject(red);
    EXPECT_FALSE(FillRect(d.dc, &r, red));

    HDC gone = CreateCompatibleDC(0);
    DeleteDC(gone);
    EXPECT_EQ(SetPixel(gone, 0, 0, R), CLR_INVALID);
}

TEST(BitBltTest, ConvertsBetweenFormats)
{
    Dib rgb(4, 1, 24);
    rgb.set(0, {R, W, K, RGB(250, 10, 10)});
    Dib indexed(4, 1, 8, table({K, W, R, B}));
    EXPECT_TRUE(BitBlt(indexed.dc, 0, 0, 4, 1, rgb.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(std::memcmp(indexed.row(0), "\2\1\0\2", 4), 0);

    Dib wide(4, -1, 32);
    EXPECT_TRUE(BitBlt(wide.dc, 0, 0, 4, 1, indexed.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(wide.get(0, 4), (Row{R, W, K, R}));

    // A monochrome source shows through its colour table.
    Dib mono(4, 1, 1, table({G, B}));
    SetPixel(mono.dc, 1, 0, B);
    EXPECT_TRUE(BitBlt(rgb.dc, 0, 0, 4, 1, mono.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(rgb.get(0, 4), (Row{G, B, G, G}));

    // Colour to monochrome: the source's background colour becomes 1, all else 0.
    rgb.set(0, {R, W, K, R});
    Dib target(4, 1, 1);
    EXPECT_EQ(SetBkColor(rgb.dc, R), W);
    EXPECT_TRUE(BitBlt(target.dc, 0, 0, 4, 1, rgb.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(target.row(0)[0] & 0xF0, 0x90);
    SetBkColor(rgb.dc, W);
    EXPECT_TRUE(BitBlt(target.dc, 0, 0, 4, 1, rgb.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(target.row(0)[0] & 0xF0, 0x40);
}

TEST(BitBltTest, StraightCopiesBetween24And32BitsKeepEveryPixelOfEveryRunLength)
{
    // Runs of every length from 1 to 40 and a long one, at odd offsets: the word-wise and
    // shuffled copies must neither drop nor smear a pixel, nor write past the run.
    for (int width : {1, 2, 3, 5, 6, 7, 9, 13, 40, 301}) {
        SCOPED_TRACE(width);
        Dib rgb(width + 3, 2, 24), wide(width + 5, 2, 32);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < width + 3; ++x)
                SetPixel(rgb.dc, x, y, RGB(x * 7 + y, x * 3 + 100, 255 - x));
        wide.fill(RGB(9, 9, 9));
        ASSERT_TRUE(BitBlt(wide.dc, 1, 0, width, 2, rgb.dc, 2, 0, SRCCOPY));
        for (int y = 0; y < 2; ++y) {
            EXPECT_EQ(GetPixel(wide.dc, 0, y), RGB(9, 9, 9));
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(GetPixel(wide.dc, 1 + x, y), GetPixel(rgb.dc, 2 + x, y)) << x;
            EXPECT_EQ(wide.row(y)[4 * 1 + 3], 0);   // the fourth byte of a copied pixel
            EXPECT_EQ(GetPixel(wide.dc, 1 + width, y), RGB(9, 9, 9));
        }
        Dib back(width + 2, 2, 24);
        back.fill(RGB(5, 5, 5));
        ASSERT_TRUE(BitBlt(back.dc, 1, 0, width, 2, wide.dc, 1, 0, SRCCOPY));
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(GetPixel(back.dc, 1 + x, 1), GetPixel(rgb.dc, 2 + x, 1)) << x;
        EXPECT_EQ(GetPixel(back.dc, 1 + width, 1), RGB(5, 5, 5));
    }
}

TEST(BitBltTest, TwentyFourBitOntoThirtyTwoBitKeepsEveryColumnAndClearsTheFourthByte)
{
    // Rows of exactly 12 bytes: the last pixel of the last row ends the bits.
    Dib rgb(4, 2, 24);
    rgb.set(0, {R, G, B, RGB(1, 2, 3)});
    rgb.set(1, {W, K, RGB(9, 8, 7), RGB(250, 128, 5)});
    Dib wide(4, -2, 32);
    std::memset(wide.row(0), 0xAB, 16);
    std::memset(wide.row(1), 0xAB, 16);
    EXPECT_TRUE(BitBlt(wide.dc, 0, 0, 4, 2, rgb.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(wide.get(0, 4), (Row{R, G, B, RGB(1, 2, 3)}));
    EXPECT_EQ(wide.get(1, 4), (Row{W, K, RGB(9, 8, 7), RGB(250, 128, 5)}));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(wide.row(1)[4 * x + 3], 0) << x;

    // Stretched: each column twice, the last one included.
    Dib wider(8, -1, 32);
    EXPECT_TRUE(StretchBlt(wider.dc, 0, 0, 8, 1, rgb.dc, 0, 1, 4, 1, SRCCOPY));
    EXPECT_EQ(wider.get(0, 8), (Row{W, W, K, K, RGB(9, 8, 7), RGB(9, 8, 7), RGB(250, 128, 5), RGB(250, 128, 5)}));
}

TEST(BitBltTest, OverlappingCopyWithinOneSurfaceReadsTheOriginal)
{
    for (int bits : {24, 8}) {
        SCOPED_TRACE(bits);
        Dib d(6, 3, bits, table({K, W, R, G, B}));
        d.set(0, {R, G, B, W, K, R});
        d.set(1, {G, B, W, K, R, G});
        EXPECT_TRUE(BitBlt(d.dc, 2, 1, 4, 2, d.dc, 0, 0, SRCCOPY));   // right and down
        EXPECT_EQ(d.get(1, 6), (Row{G, B, R, G, B, W}));
        EXPECT_EQ(d.get(2, 6)[2], G);
        EXPECT_EQ(d.get(2, 6)[5], K);
        EXPECT_TRUE(BitBlt(d.dc, 0, 0, 5, 2, d.dc, 1, 1, SRCCOPY));   // left and up
        EXPECT_EQ(d.get(0, 6), (Row{B, R, G, B, W, R}));
        EXPECT_EQ(d.get(1, 6), (Row{K, G, B, W, K, W}));
    }
}

TEST(BitBltTest, ClipsToTheTargetAndCopiesOnlyWhatLiesOnTheSource)
{
    Dib src(2, 2, 24);
    src.fill(R);
    Dib dst(4, 4, 24);
    dst.fill(W);
    EXPECT_TRUE(BitBlt(dst.dc, 3, 3, 2, 2, src.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.dc, -1, -1, 2, 2, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.get(0, 4), (Row{R, W, W, W}));
    EXPECT_EQ(dst.get(3, 4), (Row{W, W, W, R}));
    EXPECT_TRUE(BitBlt(dst.dc, 0, 1, 4, 1, src.dc, -1, 0, SRCCOPY));
    EXPECT_EQ(dst.get(1, 4), (Row{W, R, R, W}));

    EXPECT_TRUE(BitBlt(dst.dc, 1, 2, 2, 1, 0, 0, 0, BLACKNESS));
    EXPECT_EQ(dst.get(2, 4), (Row{W, K, K, W}));
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 0x00EE0086));   // not supported
}

TEST(StretchBltTest, NearestPixelAndMirroring)
{
    Dib src(4, 4, 24);
    auto colour = [](int x, int y) { return RGB(BYTE(40 * x + 1), BYTE(40 * y + 1), 7); };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            SetPixel(src.dc, x, y, colour(x, y));

    Dib up(8, 8, 24), down(2, 2, 24);
    EXPECT_TRUE(StretchBlt(up.dc, 0, 0, 8, 8, src.dc, 0, 0, 4, 4, SRCCOPY));
    EXPECT_TRUE(StretchBlt(down.dc, 0, 0, 2, 2, src.dc, 0, 0, 4, 4, SRCCOPY));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(GetPixel(up.dc, x, y), colour(x / 2, y / 2)) << x << "," << y;
    // Halving keeps one pixel of each 2 x 2 block; either is a nearest one.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            COLORREF c = GetPixel(down.dc, x, y);
            EXPECT_TRUE(c == colour(2 * x, 2 * y) || c == colour(2 * x + 1, 2 * y) ||
                        c == colour(2 * x, 2 * y + 1) || c == colour(2 * x + 1, 2 * y + 1))
                << x << "," << y;
        }
    Dib third(2, 1, 24);   // a third takes the middle of each three
    EXPECT_TRUE(StretchBlt(third.dc, 0, 0, 2, 1, up.dc, 1, 0, 6, 1, SRCCOPY));
    EXPECT_EQ(third.get(0, 2), (Row{colour(1, 0), colour(2, 0)}));

    // Opposite signs mirror; the rectangle runs from x + width to x either way.
    Dib line(4, 2, 24), out(4, 2, 24);
    line.set(0, {R, G, B, W});
    line.set(1, {K, K, K, K});
    const Row forward{R, G, B, W}, mirrored{W, B, G, R};
    EXPECT_TRUE(StretchBlt(out.dc, 4, 0, -4, 2, line.dc, 0, 0, 4, 2, SRCCOPY));
    EXPECT_EQ(out.get(0, 4), mirrored);
    EXPECT_TRUE(StretchBlt(out.dc, 0, 0, 4, 2, line.dc, 4, 0, -4, 2, SRCCOPY));
    EXPECT_EQ(out.get(0, 4), mirrored);
    EXPECT_TRUE(StretchBlt(out.dc, 4, 0, -4, 2, line.dc, 4, 0, -4, 2, SRCCOPY));
    EXPECT_EQ(out.get(0, 4), forward);
    EXPECT_TRUE(StretchBlt(out.dc, 0, 2, 4, -2, line.dc, 0, 0, 4, 2, SRCCOPY));
    EXPECT_EQ(out.get(0, 4), Row(4, K));
    EXPECT_EQ(out.get(1, 4), forward);
    Dib big(8, 1, 24);
    EXPECT_TRUE(StretchBlt(big.dc, 8, 0, -8, 1, line.dc, 0, 0, 4, 1, SRCCOPY));
    EXPECT_EQ(big.get(0, 8), (Row{W, W, B, B, G, G, R, R}));
}

// A picture shrunk by a little onto a 32-bit surface (the full-screen preview's case), with
// a clip of two boxes and a source rectangle that runs past the picture: every pixel is the
// nearest source pixel, and nothing outside the clip or the source changes.
TEST(StretchBltTest, ShrinkingByALittleMatchesTheNearestPixelEverywhere)
{
    constexpr int SW = 203, SH = 3, DW = 190, DH = 3;
    Dib src(SW, SH, 24);
    auto colour = [](int x, int y) { return RGB(BYTE(x), BYTE(x >> 8 | y << 4), BYTE(255 - x)); };
    for (int y = 0; y < SH; ++y)
        for (int x = 0; x < SW; ++x)
            SetPixel(src.dc, x, y, colour(x, y));
    for (int from : {0, 13}) {   // from 13 the last 13 target columns map past the picture
        SCOPED_TRACE(from);
        Dib dst(DW + 10, DH, 32);
        dst.fill(G);
        HRGN clip = CreateRectRgn(5, 0, 60, DH);
        HRGN second = CreateRectRgn(70, 0, DW + 10, DH);
        CombineRgn(clip, clip, second, RGN_OR);
        SelectClipRgn(dst.dc, clip);
        EXPECT_TRUE(StretchBlt(dst.dc, 2, 0, DW, DH, src.dc, from, 0, SW, SH, SRCCOPY));
        SelectClipRgn(dst.dc, 0);
        DeleteObject(clip);
        DeleteObject(second);
        for (int y = 0; y < DH; ++y)
            for (int x = 0; x < DW + 10; ++x) {
                const int sx = from + (2 * (x - 2) + 1) * SW / (2 * DW);
                const bool drawn = x >= 2 && x < 2 + DW && sx < SW && ((x >= 5 && x < 60) || x >= 70);
                ASSERT_EQ(GetPixel(dst.dc, x, y), drawn ? colour(sx, y) : G) << x << "," << y;
            }
    }
}

// Each fast row copy against the pixel-by-pixel one (a transparent copy whose key colour is
// not in the picture): the same pixels for every pairing of direct formats, straight,
// shrunk by a little (runs of neighbours, short and long) and enlarged, at odd sizes and
// offsets, through a clip of two boxes.
TEST(BlitPathsTest, FastCopiesDrawWhatThePixelByPixelCopyDraws)
{
    auto colour = [](int x, int y) { return RGB(BYTE(x * 7), BYTE(x >> 3 | y << 5), BYTE(200 - x)); };
    const COLORREF absent = RGB(1, 2, 3);
    struct Size
    {
        int sw, dw;
    };
    for (int from : {24, 32})
        for (int to : {24, 32})
            for (Size size : {Size{45, 45}, Size{203, 190}, Size{47, 45}, Size{9, 8}, Size{13, 31}}) {
                SCOPED_TRACE(testing::Message() << from << " to " << to << " bits, " << size.sw << " to " << size.dw);
                constexpr int SH = 5, DH = 4;
                Dib src(size.sw, SH, from);
                for (int y = 0; y < SH; ++y)
                    for (int x = 0; x < size.sw; ++x)
                        SetPixel(src.dc, x, y, colour(x, y));
                Dib fast(size.dw + 9, DH + 2, to), slow(size.dw + 9, DH + 2, to);
                HRGN clip = CreateRectRgn(4, 0, 4 + size.dw / 3, DH + 2);
                HRGN second = CreateRectRgn(6 + size.dw / 2, 1, size.dw + 9, DH + 2);
                CombineRgn(clip, clip, second, RGN_OR);
                for (Dib* d : {&fast, &slow}) {
                    d->fill(G);
                    SelectClipRgn(d->dc, clip);
                }
                ASSERT_TRUE(StretchBlt(fast.dc, 3, 1, size.dw, DH, src.dc, 1, 1, size.sw, SH, SRCCOPY));
                ASSERT_TRUE(TransparentBlt(slow.dc, 3, 1, size.dw, DH, src.dc, 1, 1, size.sw, SH, absent));
                DeleteObject(clip);
                DeleteObject(second);
                for (int y = 0; y < DH + 2; ++y)
                    ASSERT_EQ(fast.get(y, size.dw + 9), slow.get(y, size.dw + 9)) << "row " << y;
            }
}

// A picture in the caller's memory draws as a DIB section of the same bytes would; a
// bottom-up one counts the source rectangle from its bottom edge.
TEST(StretchDIBitsTest, DrawsLikeTheSameBytesInADibSection)
{
    constexpr int W = 7, H = 6;
    for (int height : {H, -H}) {
        SCOPED_TRACE(height < 0 ? "top-down" : "bottom-up");
        Dib section(W, height, 24);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                SetPixel(section.dc, x, y, RGB(x * 30, y * 40, 99));
        const std::vector<unsigned char> bytes(section.row(section.topDown ? 0 : H - 1),
                                               section.row(section.topDown ? 0 : H - 1) + section.stride * H);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), W, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};

        Dib viaMemory(9, 9, 32), viaSection(9, 9, 32);
        viaMemory.fill(G);
        viaSection.fill(G);
        // Two rows from source row 1: rows 1-2 from the top of a top-down picture, 3-4 from
        // the top of a bottom-up one.
        EXPECT_EQ(StretchDIBits(viaMemory.dc, 1, 2, 5, 4, 2, 1, 3, 2, bytes.data(), &info, DIB_RGB_COLORS, SRCCOPY), 2);
        const int topRow = height > 0 ? H - 1 - 2 : 1;
        EXPECT_TRUE(StretchBlt(viaSection.dc, 1, 2, 5, 4, section.dc, 2, topRow, 3, 2, SRCCOPY));
        for (int y = 0; y < 9; ++y)
            EXPECT_EQ(viaMemory.get(y, 9), viaSection.get(y, 9)) << "row " << y;
    }

    BITMAPINFO bad{};
    bad.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, 4, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
    Dib target(4, 4, 32);
    const std::vector<unsigned char> bytes(64, 0xAB);
    EXPECT_EQ(StretchDIBits(target.dc, 0, 0, 4, 4, 0, 0, 4, 4, bytes.data(), &bad, DIB_RGB_COLORS, SRCCOPY), 0);
    bad.bmiHeader.biBitCount = 32;
    EXPECT_EQ(StretchDIBits(target.dc, 0, 0, 4, 4, 0, 0, 4, 4, nullptr, &bad, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(0, 0, 0, 4, 4, 0, 0, 4, 4, bytes.data(), &bad, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(target.get(0, 4), Row(4, K));   // nothing drawn by the refusals
}

TEST(TransparentBltTest, LeavesTheKeyColourOut)
{
    for (int bits : {24, 8}) {
        SCOPED_TRACE(bits);
        Dib src(3, 1, bits, table({K, R, B, W}));
        src.set(0, {R, B, R});
        Dib dst(6, 2, 24);
        dst.fill(G);
        EXPECT_TRUE(TransparentBlt(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, 3, 1, R));
        EXPECT_EQ(dst.get(0, 3), (Row{G, B, G}));
        EXPECT_TRUE(TransparentBlt(dst.dc, 0, 0, 6, 2, src.dc, 0, 0, 3, 1, B));   // stretched
        EXPECT_EQ(dst.get(1, 6), (Row{R, R, G, G, R, R}));
        EXPECT_FALSE(TransparentBlt(dst.dc, 3, 0, -3, 1, src.dc, 0, 0, 3, 1, B));
    }
}

TEST(SelectedBitmapTest, CannotBeDeletedUntilItsDcLetsGo)
{
    BITMAPINFO bmi{};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    HBITMAP bitmap = CreateDIBSection(0, &bmi, DIB_RGB_COLORS, nullptr, 0, 0);
    HBITMAP second = CreateDIBSection(0, &bmi, DIB_RGB_COLORS, nullptr, 0, 0);
    HDC dc = CreateCompatibleDC(0), other = CreateCompatibleDC(0);
    HGDIOBJ stock = SelectObject(dc, bitmap);
    EXPECT_EQ(GetObjectType(stock), DWORD(OBJ_BITMAP));
    EXPECT_EQ(SelectObject(other, bitmap), 0u);   // one DC at a time

    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(dc));   // a DC goes with DeleteDC only
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(other, bitmap), 0u);

    EXPECT_EQ(SelectObject(other, second), stock);
    EXPECT_FALSE(DeleteObject(second));
    EXPECT_EQ(SelectObject(other, stock), second);   // selecting another one frees it too
    EXPECT_TRUE(DeleteObject(second));
    EXPECT_TRUE(DeleteObject(stock));   // stock objects survive
    EXPECT_EQ(GetObjectType(stock), DWORD(OBJ_BITMAP));
    EXPECT_TRUE(DeleteDC(other));
}

}  // namespace
