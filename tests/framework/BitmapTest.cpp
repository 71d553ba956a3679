#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "framework/Graphics.h"
#include "platform/GdiObjects.h"

namespace {

constexpr TColor kFlag = 0x02000000;   // what the bitmap adds to the colour it reports
// Colours the 8-bit default table holds exactly.
const TColor kCube[] = {clBlack, clWhite, clRed, clLime, clBlue, clYellow, 0x336699, 0x0099CC};

std::unique_ptr<TBitmap> makeBitmap(int width, int height, TPixelFormat format = pf24bit)
{
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(format);
    b->SetSize(width, height);
    return b;
}

// Counts a graphic's OnChange calls; take() answers how many came since the last look.
struct Changes
{
    explicit Changes(TGraphic& g) { g.OnChange = [this](TObject*) { ++count; }; }
    int take() { return std::exchange(count, 0); }
    int count = 0;
};

std::vector<TColor> pixels(TBitmap& b)
{
    std::vector<TColor> out;
    for (int y = 0; y < b.GetHeight(); ++y)
        for (int x = 0; x < b.GetWidth(); ++x)
            out.push_back(b.Canvas()->GetPixel(x, y));
    return out;
}

HPALETTE palette(std::initializer_list<TColor> colors)
{
    std::vector<unsigned char> buffer(sizeof(LOGPALETTE) + colors.size() * sizeof(PALETTEENTRY));
    auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = WORD(colors.size());
    PALETTEENTRY* e = log->palPalEntry;
    for (TColor c : colors)
        *e++ = {GetRValue(COLORREF(c)), GetGValue(COLORREF(c)), GetBValue(COLORREF(c)), 0};
    return CreatePalette(log);
}

TEST(BitmapTest, EveryChangeNotifiesExactlyOnce)
{
    TBitmap b;
    Changes changes(b);
    auto other = makeBitmap(2, 2);
    TMemoryStream saved;
    other->SaveToStream(&saved);
    saved.SetPosition(0);

    const std::pair<const char*, std::function<void()>> steps[] = {
        {"SetWidth", [&] { b.SetWidth(4); }},
        {"SetHeight", [&] { b.SetHeight(3); }},
        {"SetSize", [&] { b.SetSize(5, 2); }},
        {"SetPixelFormat", [&] { b.SetPixelFormat(pf8bit); }},
        {"SetTransparent", [&] { b.SetTransparent(true); }},
        {"SetTransparentColor", [&] { b.SetTransparentColor(clRed); }},
        {"SetTransparentMode", [&] { b.SetTransparentMode(tmAuto); }},
        {"SetPalette", [&] { b.SetPalette(palette({clRed})); }},
        {"Canvas SetPixel", [&] { b.Canvas()->SetPixel(0, 0, clBlue); }},
        {"Canvas FillRect", [&] { b.Canvas()->FillRect(TRect(0, 0, 2, 2)); }},
        {"Canvas Draw", [&] { b.Canvas()->Draw(0, 0, other.get()); }},
        {"Assign", [&] { b.Assign(other.get()); }},
        {"LoadFromStream", [&] { b.LoadFromStream(&saved); }},
    };
    for (const auto& [name, step] : steps) {
        step();
        EXPECT_EQ(changes.take(), 1) << name;
    }

    // Setting what is already there, and reading, are no changes.
    b.SetSize(2, 2);
    b.SetWidth(2);
    b.SetPixelFormat(pf24bit);
    b.SetTransparent(false);   // as Assign copied it
    b.SetTransparentMode(tmAuto);
    b.ScanLine(0);
    b.GetTransparentColor();
    b.GetPalette();
    b.SaveToStream(&saved);
    EXPECT_EQ(changes.take(), 0);
    b.SetPixelFormat(pf8bit);
    changes.take();
    b.SetPixelFormat(pf4bit);   // kept as 8 bits
    EXPECT_EQ(changes.take(), 0);
}

TEST(BitmapTest, ResizeKeepsPixelsInPlaceAndFillsNewAreaWhite)
{
    for (TPixelFormat format : {pf24bit, pf8bit, pf1bit}) {
        SCOPED_TRACE(format);
        auto colourAt = [&](int x, int y) {
            return format == pf1bit ? ((x + y) % 2 ? clWhite : clBlack) : kCube[(x + 3 * y) % 8];
        };
        auto b = makeBitmap(3, 3, format);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                b->Canvas()->SetPixel(x, y, colourAt(x, y));

        b->SetWidth(5);
        b->SetHeight(4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(b->Canvas()->GetPixel(x, y), x < 3 && y < 3 ? colourAt(x, y) : clWhite)
                    << x << "," << y;
        b->SetSize(2, 1);
        EXPECT_EQ(pixels(*b), (std::vector<TColor>{colourAt(0, 0), colourAt(1, 0)}));
        b->SetHeight(0);
        EXPECT_TRUE(b->GetEmpty());
        b->SetHeight(1);   // nothing was left to keep
        EXPECT_EQ(pixels(*b), std::vector<TColor>(2, clWhite));
    }

    // A two-colour table need not be black and white; resizing must not remap it.
    auto two = makeBitmap(3, 1, pf1bit);
    two->SetPalette(palette({clRed, clBlue}));
    two->Canvas()->SetPixel(1, 0, clRed);
    ASSERT_EQ(pixels(*two), (std::vector<TColor>{clBlue, clRed, clBlue}));
    two->SetWidth(4);
    std::vector<TColor> kept = pixels(*two);
    EXPECT_EQ(std::vector<TColor>(kept.begin(), kept.begin() + 3), (std::vector<TColor>{clBlue, clRed, clBlue}));

    // A canvas already in use follows the bitmap to its new image.
    auto used = makeBitmap(2, 2);
    HDC dc = used->Canvas()->GetHandle();
    used->SetSize(6, 6);
    used->Canvas()->SetPixel(5, 5, clRed);
    EXPECT_EQ(used->Canvas()->GetPixel(5, 5), clRed);
    EXPECT_EQ(used->Canvas()->GetHandle(), dc);
}

TEST(BitmapTest, FormatConversions)
{
    auto b = makeBitmap(8, 1);
    for (int x = 0; x < 8; ++x)
        b->Canvas()->SetPixel(x, 0, kCube[x]);
    const std::vector<TColor> original = pixels(*b);
    b->SetPixelFormat(pf8bit);
    EXPECT_EQ(b->ColorTable().size(), 256u);
    EXPECT_EQ(pixels(*b), original);
    b->SetPixelFormat(pf24bit);
    EXPECT_EQ(pixels(*b), original);

    // To one bit only white stays white; near-white is "every other colour".
    b->Canvas()->SetPixel(7, 0, 0xFEFFFF);
    b->SetPixelFormat(pf1bit);
    EXPECT_TRUE(b->GetMonochrome());
    const std::vector<TColor> mono = pixels(*b);
    EXPECT_EQ(mono, (std::vector<TColor>{clBlack, clWhite, clBlack, clBlack, clBlack, clBlack, clBlack, clBlack}));
    b->SetPixelFormat(pf24bit);
    EXPECT_EQ(pixels(*b), mono);

    b->Canvas()->SetPixel(0, 0, 0x3366A0);   // not in the table: the nearest entry
    b->SetPixelFormat(pf8bit);
    EXPECT_EQ(b->Canvas()->GetPixel(0, 0), 0x336699);
}

TEST(BitmapTest, PaletteHandles)
{
    auto b = makeBitmap(2, 1, pf8bit);
    HPALETTE first = b->GetPalette();
    EXPECT_EQ(GetPaletteEntries(first, 0, 0, nullptr), 256u);
    EXPECT_EQ(b->GetPalette(), first);

    b->Canvas()->SetPixel(1, 0, clRed);
    const int redIndex = static_cast<uint8_t*>(b->ScanLine(0))[1];
    b->SetPalette(palette({clBlack, clLime, clBlue}));   // the old handle is freed
    EXPECT_EQ(GetObjectType(first), 0u);
    ASSERT_EQ(b->ColorTable().size(), 3u);
    // The indexes stay; their colours change.
    EXPECT_EQ(static_cast<uint8_t*>(b->ScanLine(0))[1], redIndex);

    HPALETTE released = b->ReleasePalette();
    ASSERT_NE(released, 0u);
    b.reset();
    EXPECT_EQ(GetObjectType(released), DWORD(OBJ_PAL));   // the caller owns it now
    DeleteObject(released);

    auto rgb = makeBitmap(1, 1);
    EXPECT_EQ(rgb->GetPalette(), 0u);
    rgb->SetPalette(palette({clGray}));
    rgb->SetPixelFormat(pf8bit);   // the palette becomes the colour table
    ASSERT_EQ(rgb->ColorTable().size(), 1u);
    EXPECT_EQ(rgb->Canvas()->GetPixel(0, 0), clGray);
}

TEST(BitmapTest, TransparentColourAndMode)
{
    TBitmap empty;
    Changes emptyChanges(empty);
    EXPECT_EQ(empty.GetTransparentColor(), TColor(-1));   // no corner to read: CLR_INVALID
    empty.SetTransparentMode(tmFixed);
    EXPECT_EQ(empty.GetTransparentMode(), tmFixed);
    empty.SetTransparentMode(tmAuto);
    EXPECT_EQ(empty.GetTransparentColor(), TColor(-1));
    EXPECT_EQ(emptyChanges.take(), 2);

    auto b = makeBitmap(3, 3);
    b->Canvas()->SetPixel(0, 0, clBlue);
    b->Canvas()->SetPixel(0, 2, clLime);   // bottom-left
    EXPECT_EQ(b->GetTransparentMode(), tmAuto);
    EXPECT_EQ(b->GetTransparentColor(), clLime | kFlag);
    b->SetTransparentMode(tmFixed);   // freezes the colour of the moment
    b->Canvas()->SetPixel(0, 2, clYellow);
    EXPECT_EQ(b->GetTransparentColor(), clLime | kFlag);
    b->SetTransparentMode(tmAuto);
    EXPECT_EQ(b->GetTransparentColor(), clYellow | kFlag);

    b->SetTransparentColor(clBtnFace);
    EXPECT_EQ(b->GetTransparentMode(), tmFixed);
    EXPECT_EQ(b->GetTransparentColor(), TColor(GetSysColor(COLOR_BTNFACE)) | kFlag);
    b->SetTransparentColor(clDefault);
    EXPECT_EQ(b->GetTransparentMode(), tmAuto);

    auto mono = makeBitmap(2, 2, pf1bit);   // white, whatever the corner holds
    mono->Canvas()->SetPixel(0, 1, clBlack);
    EXPECT_EQ(mono->GetTransparentColor(), clWhite | kFlag);
    auto indexed = makeBitmap(2, 2, pf8bit);
    indexed->Canvas()->SetPixel(0, 1, 0x336699);
    EXPECT_EQ(indexed->GetTransparentColor(), 0x336699 | kFlag);
}

TEST(BitmapTest, AssignMakesAnIndependentCopy)
{
    auto source = makeBitmap(3, 2, pf8bit);
    source->Canvas()->SetPixel(2, 1, clRed);
    source->SetTransparent(true);
    source->SetTransparentColor(clBlue);

    auto copy = makeBitmap(7, 7);
    copy->Canvas()->GetHandle();   // its canvas must follow the new image
    Changes changes(*copy);
    copy->Assign(source.get());
    EXPECT_EQ(changes.take(), 1);
    EXPECT_EQ(copy->GetWidth(), 3);
    EXPECT_EQ(copy->GetPixelFormat(), pf8bit);
    EXPECT_EQ(pixels(*copy), pixels(*source));
    EXPECT_TRUE(copy->GetTransparent());
    EXPECT_EQ(copy->GetTransparentMode(), tmFixed);
    EXPECT_EQ(copy->GetTransparentColor(), clBlue | kFlag);

    copy->Canvas()->SetPixel(0, 0, clRed);
    copy->SetTransparent(false);
    source->Canvas()->SetPixel(1, 1, clLime);
    EXPECT_EQ(source->Canvas()->GetPixel(0, 0), clWhite);
    EXPECT_TRUE(source->GetTransparent());
    EXPECT_EQ(copy->Canvas()->GetPixel(1, 1), clWhite);

    // A palette set on a 24-bit bitmap lives only in its handle; the copy gets its own.
    auto rgb = makeBitmap(1, 1);
    rgb->SetPalette(palette({clGray}));
    copy->Assign(rgb.get());
    HPALETTE copied = copy->GetPalette();
    PALETTEENTRY entry{};
    EXPECT_NE(copied, rgb->GetPalette());
    EXPECT_EQ(GetPaletteEntries(copied, 0, 1, &entry), 1u);
    EXPECT_EQ(entry.peGreen, 128);

    changes.take();
    copy->Assign(nullptr);
    EXPECT_TRUE(copy->GetEmpty());
    EXPECT_EQ(changes.take(), 1);

    // Another class cannot be assigned, and nothing changes.
    TBrush brush;
    EXPECT_THROW(source->Assign(&brush), EConvertError);
    EXPECT_EQ(source->GetWidth(), 3);
    EXPECT_EQ(source->Canvas()->GetPixel(2, 1), clRed);
    EXPECT_THROW(brush.Assign(source.get()), EConvertError);
}

TEST(BitmapTest, ScanLinesRunFromTheTopOverBottomUpMemory)
{
    auto b = makeBitmap(3, 4);
    auto* top = static_cast<uint8_t*>(b->ScanLine(0));
    auto* next = static_cast<uint8_t*>(b->ScanLine(1));
    EXPECT_EQ(top - next, 12);   // 9 bytes padded to 12, the next row below in memory
    std::memcpy(next + 3, "\x33\x22\x11", 3);   // blue, green, red
    EXPECT_EQ(b->Canvas()->GetPixel(1, 1), 0x332211);

    for (int row : {-1, 4})
        EXPECT_THROW(b->ScanLine(row), EInvalidGraphicOperation) << row;
    TBitmap empty;
    empty.SetWidth(5);   // still no rows
    EXPECT_THROW(empty.ScanLine(0), EInvalidGraphicOperation);
}

TEST(BitmapTest, ReleasesEveryPlatformObject)
{
    DeleteDC(CreateCompatibleDC(0));   // the stock objects are made once, on first use
    const size_t before = gdiObjects().liveCount();
    {
        auto b = makeBitmap(4, 4, pf8bit);
        b->Canvas()->FillRect(TRect(0, 0, 2, 2));
        b->GetPalette();
        b->SetSize(8, 8);
        b->SetPixelFormat(pf1bit);
        auto copy = makeBitmap(1, 1);
        copy->Canvas()->GetHandle();
        copy->Assign(b.get());
        copy->Canvas()->Draw(0, 0, b.get());
        b->Assign(nullptr);
    }
    EXPECT_EQ(gdiObjects().liveCount(), before);
}

TEST(BitmapStreamTest, RoundTripsEveryFormatWithOddWidths)
{
    for (TPixelFormat format : {pf1bit, pf8bit, pf24bit}) {
        for (int width : {1, 7, 13}) {
            SCOPED_TRACE(testing::Message() << "format " << format << " width " << width);
            auto b = makeBitmap(width, 3, format);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < width; ++x)
                    b->Canvas()->SetPixel(x, y, format == pf1bit ? ((x * 3 + y) % 4 ? clWhite : clBlack)
                                                                 : kCube[(x + 5 * y) % 8]);
            TMemoryStream stream;
            stream.WriteBuffer("xyz", 3);   // loading starts at the stream's position
            b->SaveToStream(&stream);
            const auto* bytes = static_cast<const uint8_t*>(stream.Memory()) + 3;
            uint32_t fileSize;
            std::memcpy(&fileSize, bytes + 2, 4);
            EXPECT_EQ(std::memcmp(bytes, "BM", 2), 0);
            EXPECT_EQ(fileSize, stream.GetSize() - 3);
            EXPECT_EQ(bytes[28], BitsPerPixel(format));
            stream.WriteBuffer("tail", 4);   // and stops at the end of the file

            TBitmap loaded;
            stream.SetPosition(3);
            loaded.LoadFromStream(&stream);
            EXPECT_EQ(stream.GetPosition(), stream.GetSize() - 4);
            EXPECT_EQ(loaded.GetWidth(), width);
            EXPECT_EQ(loaded.GetPixelFormat(), format);
            EXPECT_EQ(pixels(loaded), pixels(*b));

            // Equal pictures save as equal files, whatever their history.
            TMemoryStream again;
            loaded.SaveToStream(&again);
            ASSERT_EQ(again.GetSize(), int64_t(fileSize));
            EXPECT_EQ(std::memcmp(again.Memory(), bytes, fileSize), 0);
        }
    }

    // An empty bitmap writes nothing, and nothing reads back as an empty bitmap.
    TBitmap empty;
    TMemoryStream none;
    empty.SaveToStream(&none);
    EXPECT_EQ(none.GetSize(), 0);
    auto b = makeBitmap(2, 2);
    b->LoadFromStream(&none);
    EXPECT_TRUE(b->GetEmpty());
}

TEST(BitmapStreamTest, MalformedStreamRaisesAndLeavesTheBitmapAsItWas)
{
    TMemoryStream valid;
    makeBitmap(5, 4)->SaveToStream(&valid);
    const auto* bytes = static_cast<const uint8_t*>(valid.Memory());
    const size_t size = size_t(valid.GetSize());
    std::vector<std::vector<uint8_t>> bad(5, std::vector<uint8_t>(bytes, bytes + size));
    bad[0].resize(10);          // inside the file header
    bad[1].resize(size - 20);   // pixels cut short
    bad[2][0] = 'X';            // no signature
    bad[3][18] = bad[3][19] = 0;   // width 0
    bad[4][28] = 16;            // an unsupported bit count

    auto b = makeBitmap(2, 3, pf8bit);
    b->Canvas()->SetPixel(1, 2, clRed);
    b->SetTransparent(true);
    const std::vector<TColor> before = pixels(*b);
    Changes changes(*b);
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        TMemoryStream stream;
        stream.WriteBuffer(bad[i].data(), int(bad[i].size()));
        stream.SetPosition(0);
        EXPECT_THROW(b->LoadFromStream(&stream), EInvalidGraphic);
        EXPECT_EQ(b->GetHeight(), 3);
        EXPECT_EQ(b->GetPixelFormat(), pf8bit);
        EXPECT_TRUE(b->GetTransparent());
        EXPECT_EQ(pixels(*b), before);
        EXPECT_EQ(changes.take(), 0);
    }
}

}  // namespace
