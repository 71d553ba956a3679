// Text drawing checked on the pixels of in-memory DIB sections.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/FontCache.h"
#include "platform/Fonts.h"
#include "platform/PixelSurface.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

bool isEmpty(const RECT& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

// A DIB section selected into a memory DC, painted white; fonts made here die with it.
class Canvas
{
public:
    explicit Canvas(int width = 200, int height = 80, int bits = 24,
                    const std::vector<RGBQUAD>& palette = {})
        : width_(width), height_(height)
    {
        std::vector<uint8_t> buffer(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        auto* info = reinterpret_cast<BITMAPINFO*>(buffer.data());
        info->bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, WORD(bits), BI_RGB, 0, 0,
                           0, DWORD(palette.size()), 0};
        if (!palette.empty())
            std::memcpy(info->bmiColors, palette.data(), palette.size() * sizeof(RGBQUAD));
        dc_ = CreateCompatibleDC(0);
        bitmap_ = CreateDIBSection(dc_, info, DIB_RGB_COLORS, nullptr, 0, 0);
        oldBitmap_ = SelectObject(dc_, bitmap_);
        fill(kWhite);
    }
    ~Canvas()
    {
        SelectObject(dc_, oldBitmap_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
        for (HFONT f : fonts_)
            DeleteObject(f);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }

    void fill(COLORREF color)
    {
        HBRUSH brush = CreateSolidBrush(color);
        RECT all{0, 0, width_, height_};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }

    HFONT use(const char* face, int height, int weight = FW_NORMAL)
    {
        LOGFONTA lf{};
        lf.lfHeight = height;
        lf.lfWeight = weight;
        std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        HFONT font = CreateFontIndirectA(&lf);
        fonts_.push_back(font);
        SelectObject(dc_, font);
        return font;
    }

    COLORREF at(int x, int y) const { return GetDibSurface(bitmap_)->pixel(x, y); }

    // Bounding box of the pixels at least half way from white to black, from a row down.
    RECT ink(int fromRow = 0) const
    {
        RECT box{width_, height_, 0, 0};
        for (int y = fromRow; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                COLORREF c = at(x, y);
                if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
            }
        return box;
    }

    // Pixels no longer white outside an area, faint ones included.
    int changedOutside(const RECT& area) const
    {
        int count = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if ((x < area.left || x >= area.right || y < area.top || y >= area.bottom) &&
                    at(x, y) != kWhite)
                    ++count;
        return count;
    }

private:
    int width_;
    int height_;
    HDC dc_ = 0;
    HBITMAP bitmap_ = 0;
    HGDIOBJ oldBitmap_ = 0;
    std::vector<HFONT> fonts_;
};

SIZE extent(HDC dc, const char* text)
{
    SIZE size{-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size));
    return size;
}

TEXTMETRICA metrics(HDC dc)
{
    TEXTMETRICA tm{};
    EXPECT_TRUE(GetTextMetricsA(dc, &tm));
    return tm;
}

// Limits the fonts to some folders for the scope's lifetime.
struct FontFolders
{
    explicit FontFolders(std::vector<std::string> folders) { setFontFolders(folders); }
    ~FontFolders() { setFontFolders(std::nullopt); }
};

RECT drawnInk(const char* text, RECT rect, UINT format, int fromRow = 0)
{
    Canvas c;
    c.use("MS Sans Serif", -11);
    DrawTextA(c.dc(), text, -1, &rect, format);
    return c.ink(fromRow);
}

}  // namespace

TEST(TextOutTest, InkStaysInTheCellAndEndsAtTheExtent)
{
    Canvas c;
    c.use("MS Sans Serif", -11);
    SetBkMode(c.dc(), TRANSPARENT);
    SIZE size = extent(c.dc(), "Hello");
    ASSERT_TRUE(TextOutA(c.dc(), 20, 10, "Hello", 5));
    RECT cell{20, 10, 20 + size.cx, 10 + size.cy};
    RECT ink = c.ink();
    ASSERT_FALSE(isEmpty(ink));
    EXPECT_EQ(c.changedOutside(cell), 0);
    EXPECT_NEAR(ink.right, cell.right, 2);
    EXPECT_NEAR(ink.left, cell.left, 2);
}

TEST(TextOutTest, OpaqueFillsTheCellTransparentDoesNot)
{
    Canvas c;
    c.use("MS Sans Serif", -11);
    SetBkColor(c.dc(), RGB(255, 0, 0));
    SIZE size = extent(c.dc(), "ab");
    EXPECT_EQ(GetBkMode(c.dc()), OPAQUE);   // the DC's default
    ASSERT_TRUE(TextOutA(c.dc(), 10, 10, "ab", 2));
    EXPECT_EQ(c.at(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(c.at(10 + size.cx - 1, 10 + size.cy - 1), RGB(255, 0, 0));
    EXPECT_EQ(c.changedOutside({10, 10, 10 + size.cx, 10 + size.cy}), 0);

    c.fill(kWhite);
    EXPECT_EQ(SetBkMode(c.dc(), TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(c.dc(), 7), 0);   // not a mode: refused, unchanged
    EXPECT_EQ(GetBkMode(c.dc()), TRANSPARENT);
    ASSERT_TRUE(TextOutA(c.dc(), 10, 10, "ab", 2));
    EXPECT_EQ(c.at(10, 10), kWhite);
    EXPECT_FALSE(isEmpty(c.ink()));
}

TEST(TextOutTest, ClipRegionCutsTheText)
{
    Canvas c;
    c.use("MS Sans Serif", -11);
    HRGN clip = CreateRectRgn(0, 0, 30, 80);
    SelectClipRgn(c.dc(), clip);
    DeleteObject(clip);
    ASSERT_TRUE(TextOutA(c.dc(), 10, 10, "WWWWWWWW", 8));
    RECT ink = c.ink();
    ASSERT_FALSE(isEmpty(ink));
    EXPECT_LE(ink.right, 30);
    EXPECT_EQ(c.changedOutside({0, 0, 30, 80}), 0);
}

TEST(TextOutTest, DrawsOn32BitAndPalettedSurfaces)
{
    Canvas deep(100, 40, 32);
    deep.use("MS Sans Serif", -11);
    ASSERT_TRUE(TextOutA(deep.dc(), 5, 5, "Hello", 5));
    EXPECT_FALSE(isEmpty(deep.ink()));

    std::vector<RGBQUAD> grays(256);
    for (int i = 0; i < 256; ++i)
        grays[size_t(i)] = {BYTE(i), BYTE(i), BYTE(i), 0};
    Canvas paletted(100, 40, 8, grays);
    paletted.use("MS Sans Serif", -11);
    ASSERT_TRUE(TextOutA(paletted.dc(), 5, 5, "Hello", 5));
    EXPECT_FALSE(isEmpty(paletted.ink()));
    SIZE size = extent(paletted.dc(), "Hello");
    EXPECT_EQ(paletted.changedOutside({5, 5, 5 + size.cx, 5 + size.cy}), 0);

    Canvas mono(100, 40, 1, {{0, 0, 0, 0}, {255, 255, 255, 0}});
    ASSERT_TRUE(TextOutA(mono.dc(), 5, 5, "Hello", 5));
    EXPECT_FALSE(isEmpty(mono.ink()));
}

TEST(TextMetricsTest, MinusElevenGivesCapHeightEightInACellOfThirteen)
{
    Canvas c;
    c.use("MS Sans Serif", -11);
    TEXTMETRICA tm = metrics(c.dc());
    EXPECT_NEAR(tm.tmHeight, 13, 1);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 11);
    EXPECT_NEAR(tm.tmAveCharWidth, 5, 1);
    EXPECT_EQ(extent(c.dc(), "H").cy, tm.tmHeight);

    ASSERT_TRUE(TextOutA(c.dc(), 5, 5, "H", 1));
    RECT ink = c.ink();
    EXPECT_NEAR(ink.bottom - ink.top, 8, 1);
    EXPECT_EQ(ink.bottom, 5 + tm.tmAscent);   // 'H' stands on the baseline
}

TEST(TextMetricsTest, PositiveHeightIsTheCellAndZeroIsTheDefault)
{
    Canvas c;
    c.use("Arial", 20);
    EXPECT_EQ(metrics(c.dc()).tmHeight, 20);
    EXPECT_EQ(extent(c.dc(), "x").cy, 20);
    c.use("Arial", 0);
    EXPECT_EQ(metrics(c.dc()).tmHeight, 16);
    c.use("Arial", -30);
    EXPECT_GT(metrics(c.dc()).tmHeight, 30);
}

TEST(TextExtentTest, GrowsWithTheText)
{
    Canvas c;
    c.use("Tahoma", -11);
    SIZE shortText = extent(c.dc(), "Hello");
    SIZE longText = extent(c.dc(), "Hello World");
    EXPECT_GT(longText.cx, shortText.cx);
    EXPECT_EQ(longText.cy, shortText.cy);
    EXPECT_EQ(extent(c.dc(), "").cx, 0);
    // Code page 1252: the euro sign is a glyph of its own, wider than a space.
    EXPECT_GT(extent(c.dc(), "\x80").cx, extent(c.dc(), " ").cx);
}

TEST(TextFontsTest, StylesAndFaceNamesPickDifferentFaces)
{
    Canvas c;
    const char* sample = "Recording 12:00";
    c.use("MS Sans Serif", -16);
    LONG normal = extent(c.dc(), sample).cx;
    c.use("MS Sans Serif", -16, FW_BOLD);
    EXPECT_GT(extent(c.dc(), sample).cx, normal);
    c.use("Agency FB", -16);
    EXPECT_LT(extent(c.dc(), sample).cx, normal);
    EXPECT_EQ(metrics(c.dc()).tmHeight, [&] {
        c.use("MS Sans Serif", -16);
        return metrics(c.dc()).tmHeight;
    }());
    c.use("Courier New", -16);
    EXPECT_EQ(extent(c.dc(), "iiii").cx, extent(c.dc(), "MMMM").cx);
    c.use("No Such Face At All", -11);
    EXPECT_GT(extent(c.dc(), sample).cx, 0);
}

TEST(TextFontsTest, DefaultGuiFontWhenNoneSelected)
{
    Canvas c;
    SIZE unselected = extent(c.dc(), "Sample");
    HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
    EXPECT_EQ(GetObjectType(stock), DWORD(OBJ_FONT));
    SelectObject(c.dc(), stock);
    EXPECT_EQ(extent(c.dc(), "Sample").cx, unselected.cx);
    EXPECT_EQ(DeleteObject(stock), TRUE);   // stock objects stay
    EXPECT_EQ(GetObjectType(stock), DWORD(OBJ_FONT));
    c.use("MS Sans Serif", -11);
    EXPECT_EQ(extent(c.dc(), "Sample").cx, unselected.cx);
}

TEST(TextFontsTest, StaleHandleIsRefused)
{
    Canvas c;
    LOGFONTA lf{};
    lf.lfHeight = -30;
    HFONT big = CreateFontIndirectA(&lf);
    ASSERT_NE(big, 0u);
    SelectObject(c.dc(), big);
    LONG bigWidth = extent(c.dc(), "Sample").cx;
    SelectObject(c.dc(), GetStockObject(DEFAULT_GUI_FONT));
    LONG defaultWidth = extent(c.dc(), "Sample").cx;
    ASSERT_LT(defaultWidth, bigWidth);

    EXPECT_EQ(DeleteObject(big), TRUE);
    EXPECT_EQ(DeleteObject(big), FALSE);
    EXPECT_EQ(GetObjectType(big), 0u);
    EXPECT_EQ(SelectObject(c.dc(), big), 0u);
    EXPECT_EQ(extent(c.dc(), "Sample").cx, defaultWidth);

    // A font deleted while selected leaves the DC drawing with the default font.
    HFONT other = c.use("Courier New", -30);
    DeleteObject(other);
    EXPECT_EQ(extent(c.dc(), "Sample").cx, defaultWidth);
    EXPECT_TRUE(TextOutA(c.dc(), 0, 0, "Sample", 6));
}

TEST(TextFontsTest, NoFontsAtAllFailsCleanly)
{
    Canvas c;
    std::optional<FontFolders> none(std::in_place, std::vector<std::string>{});
    c.use("MS Sans Serif", -11);
    SIZE size{};
    TEXTMETRICA tm{};
    RECT r{0, 0, 100, 40};
    EXPECT_FALSE(TextOutA(c.dc(), 0, 0, "Hello", 5));
    EXPECT_FALSE(GetTextExtentPoint32A(c.dc(), "Hello", 5, &size));
    EXPECT_FALSE(GetTextMetricsA(c.dc(), &tm));
    EXPECT_EQ(DrawTextA(c.dc(), "Hello", -1, &r, DT_CALCRECT), 0);
    EXPECT_EQ(DrawTextA(c.dc(), "Hello", -1, &r, 0), 0);
    EXPECT_EQ(c.changedOutside({0, 0, 0, 0}), 0);
    none.reset();
    EXPECT_TRUE(TextOutA(c.dc(), 0, 0, "Hello", 5));
    EXPECT_FALSE(TextOutA(0, 0, 0, "Hello", 5));
}

TEST(TextFontsTest, StylesMissingFromTheOnlyFaceAreSynthesised)
{
    const std::filesystem::path regular = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (!std::filesystem::exists(regular))
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                   ("lumo-text-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(regular, folder / regular.filename(),
                               std::filesystem::copy_options::overwrite_existing);
    {
        FontFolders only({folder.string()});
        Canvas c;
        const char* sample = "Recording";
        c.use("MS Sans Serif", -16);
        LONG normal = extent(c.dc(), sample).cx;
        c.use("MS Sans Serif", -16, FW_BOLD);
        EXPECT_GT(extent(c.dc(), sample).cx, normal);
        c.use("Agency FB", -16);
        EXPECT_LT(extent(c.dc(), sample).cx, normal);

        // Italic leans: the top of an 'l' lies right of its foot.
        LOGFONTA lf{};
        lf.lfHeight = -30;
        lf.lfItalic = 1;
        HFONT italic = CreateFontIndirectA(&lf);
        SelectObject(c.dc(), italic);
        ASSERT_TRUE(TextOutA(c.dc(), 10, 0, "l", 1));
        TEXTMETRICA tm = metrics(c.dc());
        RECT top = c.ink(), foot = c.ink(tm.tmAscent - 3);
        EXPECT_GT(top.right, foot.right);
        SelectObject(c.dc(), GetStockObject(DEFAULT_GUI_FONT));
        DeleteObject(italic);
    }
    std::filesystem::remove_all(folder);
}

TEST(TextDrawTextTest, AlignmentMovesTheInkByTheFreeSpace)
{
    Canvas c;
    c.use("MS Sans Serif", -11);
    SIZE size = extent(c.dc(), "Mid");
    const RECT r{10, 10, 190, 60};
    const int freeX = 180 - size.cx, freeY = 50 - size.cy;
    RECT left = drawnInk("Mid", r, DT_SINGLELINE);
    RECT center = drawnInk("Mid", r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    RECT right = drawnInk("Mid", r, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    ASSERT_FALSE(isEmpty(left));
    EXPECT_EQ(center.left - left.left, freeX / 2);
    EXPECT_EQ(center.top - left.top, freeY / 2);
    EXPECT_EQ(right.left - left.left, freeX);
    EXPECT_EQ(right.top - left.top, freeY);
    EXPECT_EQ(right.right - right.left, left.right - left.left);

    RECT copy = r;
    EXPECT_EQ(DrawTextA(c.dc(), "Mid", -1, &copy, DT_SINGLELINE | DT_VCENTER),
              freeY / 2 + size.cy);
    EXPECT_EQ(DrawTextA(c.dc(), "Mid", 3, &copy, DT_SINGLELINE), size.cy);
}

TEST(TextDrawTextTest, LinesWrapAtSpacesAndCalcRectDrawsNothing)
{
    Canvas c;
    c.use("MS Sans Serif", -11);
    int line = metrics(c.dc()).tmHeight;
    RECT r{0, 0, 60, 0};
    int height = DrawTextA(c.dc(), "one two three four", -1, &r, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_GE(height, 2 * line);
    EXPECT_EQ(height % line, 0);
    EXPECT_EQ(r.bottom, height);
    EXPECT_LE(r.right, 60);
    EXPECT_EQ(c.changedOutside({0, 0, 0, 0}), 0);

    RECT two{0, 0, 200, 0};
    EXPECT_EQ(DrawTextA(c.dc(), "a\nb", -1, &two, DT_CALCRECT), 2 * line);
    EXPECT_EQ(DrawTextA(c.dc(), "a\r\nb\n", -1, &two, DT_CALCRECT), 2 * line);
    EXPECT_EQ(DrawTextA(c.dc(), "a\nb", -1, &two, DT_CALCRECT | DT_SINGLELINE), line);
    // A word wider than the rectangle stays whole and widens it.
    RECT narrow{0, 0, 20, 0};
    EXPECT_EQ(DrawTextA(c.dc(), "Supercalifragilistic", -1, &narrow, DT_CALCRECT | DT_WORDBREAK),
              line);
    EXPECT_GT(narrow.right, 20);

    RECT box{0, 0, 60, 80};
    RECT ink = drawnInk("one two three four", box, DT_WORDBREAK);
    EXPECT_LE(ink.right, 60);
    EXPECT_GT(ink.bottom - ink.top, line);
}

TEST(TextDrawTextTest, ClipsToTheRectangleUnlessNoClip)
{
    const char* text = "A rather long caption";
    RECT r{10, 10, 50, 30};
    RECT clipped = drawnInk(text, r, DT_SINGLELINE);
    ASSERT_FALSE(isEmpty(clipped));
    EXPECT_LE(clipped.right, 50);
    EXPECT_GT(drawnInk(text, r, DT_SINGLELINE | DT_NOCLIP).right, 50);
    EXPECT_LE(drawnInk(text, r, DT_SINGLELINE | DT_NOCLIP | DT_END_ELLIPSIS).right, 50);
}

TEST(TextDrawTextTest, AmpersandPrefixUnderlinesTheNextCharacter)
{
    Canvas c;
    c.use("MS Sans Serif", -11);
    auto width = [&](const char* text, UINT format) {
        RECT r{0, 0, 200, 0};
        DrawTextA(c.dc(), text, -1, &r, format | DT_CALCRECT | DT_SINGLELINE);
        return r.right;
    };
    EXPECT_EQ(width("&File", 0), width("File", 0));
    EXPECT_EQ(width("A&&B", 0), width("A&B", DT_NOPREFIX));
    EXPECT_GT(width("&File", DT_NOPREFIX), width("File", 0));

    // Only the underline reaches below the baseline, under the marked character.
    int baseline = metrics(c.dc()).tmAscent;
    LONG f = extent(c.dc(), "F").cx;
    RECT r{0, 0, 100, 30};
    EXPECT_TRUE(isEmpty(drawnInk("File", r, DT_SINGLELINE, baseline)));
    RECT first = drawnInk("&File", r, DT_SINGLELINE, baseline);
    RECT second = drawnInk("F&ile", r, DT_SINGLELINE, baseline);
    ASSERT_FALSE(isEmpty(first));
    EXPECT_EQ(first.left, 0);
    EXPECT_NEAR(first.right, f, 1);
    EXPECT_NEAR(second.left, f, 1);
    EXPECT_TRUE(isEmpty(drawnInk("&File", r, DT_SINGLELINE | DT_NOPREFIX, baseline)));
}
