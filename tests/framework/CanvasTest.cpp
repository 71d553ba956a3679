#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "framework/Graphics.h"

namespace {

constexpr TColor R = clRed, G = clLime, B = clBlue, W = clWhite, K = clBlack, Y = clYellow;
using Row = std::vector<TColor>;

std::unique_ptr<TBitmap> filled(int width, int height, TColor fill = W, TPixelFormat format = pf24bit)
{
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(format);
    b->SetSize(width, height);
    b->Canvas()->Brush()->SetColor(fill);
    b->Canvas()->FillRect(TRect(0, 0, width, height));
    return b;
}

// A 24-bit bitmap from rows of colours, top row first.
std::unique_ptr<TBitmap> picture(const std::vector<Row>& rows)
{
    auto b = filled(int(rows[0].size()), int(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            b->Canvas()->SetPixel(int(x), int(y), rows[y][x]);
    return b;
}

Row rowOf(TBitmap& b, int y)
{
    Row out;
    for (int x = 0; x < b.GetWidth(); ++x)
        out.push_back(b.Canvas()->GetPixel(x, y));
    return out;
}

TEST(CanvasTest, PixelsAndFillRect)
{
    auto b = filled(4, 3);
    TCanvas* c = b->Canvas();
    c->SetPixel(3, 2, 0x123456);
    c->SetPixel(0, 2, clBtnShadow);   // system colours are resolved when drawn
    EXPECT_EQ(rowOf(*b, 2), (Row{TColor(GetSysColor(COLOR_BTNSHADOW)), W, W, 0x123456}));
    for (TPoint p : {TPoint(-1, 0), TPoint(4, 0), TPoint(0, 3)}) {
        EXPECT_EQ(c->GetPixel(p.X, p.Y), TColor(-1));
        c->SetPixel(p.X, p.Y, R);   // harmless
    }

    c->Brush()->SetColor(R);
    c->FillRect(TRect(1, 0, 3, 2));   // right and bottom lie outside
    EXPECT_EQ(rowOf(*b, 0), (Row{W, R, R, W}));
    EXPECT_EQ(rowOf(*b, 1), (Row{W, R, R, W}));
    c->Brush()->SetColor(B);
    c->FillRect(TRect(-5, 2, 100, 100));
    EXPECT_EQ(rowOf(*b, 2), Row(4, B));
}

TEST(CanvasTest, DrawCopiesAtAnOffsetAcrossFormats)
{
    auto src = picture({{R, G}, {B, Y}});
    auto dst = filled(3, 3);
    dst->Canvas()->Draw(1, 1, src.get());
    EXPECT_EQ(rowOf(*dst, 0), (Row{W, W, W}));
    EXPECT_EQ(rowOf(*dst, 1), (Row{W, R, G}));
    EXPECT_EQ(rowOf(*dst, 2), (Row{W, B, Y}));
    dst->Canvas()->Draw(-1, -1, src.get());   // clipped at the edges
    EXPECT_EQ(rowOf(*dst, 0), (Row{Y, W, W}));

    // Monochrome keeps its black and white; onto one bit, only white stays white.
    auto mono = filled(2, 1, W, pf1bit);
    mono->Canvas()->SetPixel(0, 0, K);
    dst->Canvas()->Draw(0, 0, mono.get());
    EXPECT_EQ(rowOf(*dst, 0), (Row{K, W, W}));
    auto bw = filled(4, 1, K, pf1bit);
    bw->Canvas()->Draw(0, 0, picture({{W, R, W, 0xFEFEFE}}).get());
    EXPECT_EQ(rowOf(*bw, 0), (Row{W, K, W, K}));
    auto indexed = filled(2, 1, W, pf8bit);
    indexed->Canvas()->Draw(0, 0, picture({{R, 0x336699}}).get());
    EXPECT_EQ(rowOf(*indexed, 0), (Row{R, 0x336699}));
}

TEST(CanvasTest, DrawOfATransparentBitmapLeavesTheKeyPixelsAlone)
{
    auto src = picture({{R, G, R}, {B, R, G}, {R, B, R}});   // bottom-left red: the auto key
    src->SetTransparent(true);
    auto dst = filled(3, 3, Y);
    dst->Canvas()->Draw(0, 0, src.get());
    EXPECT_EQ(rowOf(*dst, 0), (Row{Y, G, Y}));
    EXPECT_EQ(rowOf(*dst, 1), (Row{B, Y, G}));
    EXPECT_EQ(rowOf(*dst, 2), (Row{Y, B, Y}));

    src->SetTransparentColor(G);
    auto fixed = filled(3, 3, Y);
    fixed->Canvas()->Draw(0, 0, src.get());
    EXPECT_EQ(rowOf(*fixed, 1), (Row{B, R, Y}));
    auto big = filled(6, 2, Y);
    big->Canvas()->StretchDraw(TRect(0, 0, 6, 2), src.get());
    EXPECT_EQ(rowOf(*big, 0), (Row{R, R, Y, Y, R, R}));

    src->SetTransparent(false);   // a key colour alone does nothing
    fixed->Canvas()->Draw(0, 0, src.get());
    EXPECT_EQ(rowOf(*fixed, 0), (Row{R, G, R}));

    auto mono = filled(2, 1, W, pf1bit);   // the automatic key of one bit is white
    mono->Canvas()->SetPixel(1, 0, K);
    mono->SetTransparent(true);
    auto under = filled(2, 1, R);
    under->Canvas()->Draw(0, 0, mono.get());
    EXPECT_EQ(rowOf(*under, 0), (Row{R, K}));
}

TEST(CanvasTest, StretchDrawAndCopyRectTakeTheNearestPixel)
{
    auto src = picture({{R, G}, {B, Y}});
    auto dst = filled(5, 4);
    dst->Canvas()->StretchDraw(TRect(0, 0, 4, 4), src.get());
    EXPECT_EQ(rowOf(*dst, 1), (Row{R, R, G, G, W}));
    EXPECT_EQ(rowOf(*dst, 3), (Row{B, B, Y, Y, W}));
    auto one = filled(1, 1);
    one->Canvas()->StretchDraw(TRect(0, 0, 1, 1), picture({{R, R, R}, {R, G, R}, {R, R, R}}).get());
    EXPECT_EQ(one->Canvas()->GetPixel(0, 0), G);

    auto column = filled(4, 2);
    column->Canvas()->CopyRect(TRect(0, 0, 4, 2), src->Canvas(), TRect(1, 0, 2, 2));
    EXPECT_EQ(rowOf(*column, 0), (Row{G, G, G, G}));
    EXPECT_EQ(rowOf(*column, 1), (Row{Y, Y, Y, Y}));

    auto line = picture({{R, G, B, Y, K}});   // onto itself, overlapping
    line->Canvas()->CopyRect(TRect(1, 0, 5, 1), line->Canvas(), TRect(0, 0, 4, 1));
    EXPECT_EQ(rowOf(*line, 0), (Row{R, R, G, B, Y}));
}

TEST(CanvasTest, EachDrawingCallNotifiesOnce)
{
    auto b = filled(4, 4);
    auto src = filled(2, 2);
    TCanvas* c = b->Canvas();
    int changes = 0;
    c->OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, c);
        ++changes;
    };
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"SetPixel", [&] { c->SetPixel(0, 0, R); }},
        {"FillRect", [&] { c->FillRect(TRect(0, 0, 1, 1)); }},
        {"Draw", [&] { c->Draw(0, 0, src.get()); }},
        {"StretchDraw", [&] { c->StretchDraw(TRect(0, 0, 4, 4), src.get()); }},
        {"CopyRect", [&] { c->CopyRect(TRect(0, 0, 1, 1), src->Canvas(), TRect(0, 0, 1, 1)); }},
    };
    for (const auto& [name, call] : calls) {
        call();
        EXPECT_EQ(std::exchange(changes, 0), 1) << name;
    }
    TBitmap empty;
    c->Draw(0, 0, &empty);   // nothing to draw, nothing changed
    c->StretchDraw(TRect(0, 0, 2, 2), nullptr);
    c->GetPixel(0, 0);
    EXPECT_EQ(changes, 0);
}

}  // namespace
