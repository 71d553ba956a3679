#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "platform/Windows.h"
#include "platform/display/headless/HeadlessDisplay.h"
#include "skins/Regions.h"

namespace {

std::vector<TRect> rectsOf(TRegion& r) { return {r.GetRects(), r.GetRects() + r.GetRectCount()}; }

// A 24-bit bitmap from rows of text: '.' is the key colour (magenta), '#' white.
std::unique_ptr<TBitmap> picture(const std::vector<std::string>& rows)
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetSize(int(rows[0].size()), int(rows.size()));
    for (int y = 0; y < int(rows.size()); ++y) {
        auto* p = static_cast<uint8_t*>(bmp->ScanLine(y));
        for (char c : rows[size_t(y)]) {
            const uint8_t bgr[3] = {255, uint8_t(c == '.' ? 0 : 255), 255};
            std::memcpy(p, bgr, 3);
            p += 3;
        }
    }
    return bmp;
}

int windowRegionType(HWND wnd)
{
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    const int type = GetWindowRgn(wnd, probe);
    DeleteObject(probe);
    return type;
}

// One hidden top-level window on a headless display, gone with the scope.
struct TestWindow
{
    TestWindow()
    {
        installHeadlessDisplay();
        WNDCLASSA wc{};
        wc.lpfnWndProc = &DefWindowProcA;
        wc.lpszClassName = "LumoRegionTest";
        RegisterClassA(&wc);
        wnd = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 20, 20, 0, 0, nullptr, nullptr);
    }
    ~TestWindow()
    {
        DestroyWindow(wnd);
        UnregisterClassA("LumoRegionTest", nullptr);
        installDisplayBackend(nullptr);
    }
    HWND wnd = 0;
};

TEST(Region, NullAndEmptyAreDifferentThingsForAWindow)
{
    TestWindow window;
    ASSERT_TRUE(IsWindow(window.wnd));
    const TRect r(0, 0, 4, 4);
    TRegion shape(&r, 1);
    shape.ApplyToWindow(window.wnd, true);
    EXPECT_EQ(windowRegionType(window.wnd), SIMPLEREGION);
    shape.Offset(10, 0);  // the window got a copy; ours stays ours
    EXPECT_EQ(GetObjectType(shape.GetHandle()), DWORD(OBJ_REGION));

    TRegion empty;
    empty.MakeEmpty();
    EXPECT_FALSE(empty.GetIsNull());
    empty.ApplyToWindow(window.wnd, false);
    EXPECT_EQ(windowRegionType(window.wnd), NULLREGION);  // hides everything

    TRegion none;
    none.ApplyToWindow(window.wnd, false);
    EXPECT_EQ(windowRegionType(window.wnd), ERROR);  // the full rectangle again
}

// Colours one byte away from the key, at every position, and run edges at every offset
// around the sixteen-pixel steps must give exactly the pixels that differ from the key.
TEST(Region, BitmapShapeMatchesThePixels)
{
    std::mt19937 random(7);
    const uint8_t key[3] = {10, 20, 30};  // blue, green, red
    for (int width : {1, 15, 16, 17, 37, 64, 100}) {
        TBitmap bmp;
        bmp.SetSize(width, 6);
        for (int y = 0; y < 6; ++y) {
            auto* p = static_cast<uint8_t*>(bmp.ScanLine(y));
            // Row y is key colour with odds y / 5, so runs are long and short both ways.
            for (int x = 0; x < width; ++x, p += 3) {
                std::memcpy(p, key, 3);
                if (int(random() % 5) < y)
                    continue;
                const unsigned pick = random() % 4;  // one byte off, in each position
                p[pick % 3] ^= uint8_t(pick == 3 ? 0x80 : 1);
            }
        }
        TRegion region;
        region.BuildFromBitmap(&bmp, true, false, RGB(30, 20, 10), false);
        EXPECT_EQ(region.GetWidth(), width);
        TRegion inverted;
        inverted.BuildFromBitmap(&bmp, false, true, RGB(30, 20, 10), true);
        const TRect bounds = region.GetBounds();
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < width; ++x) {
                const bool opaque = std::memcmp(static_cast<uint8_t*>(bmp.ScanLine(y)) + 3 * x, key, 3) != 0;
                ASSERT_EQ(region.ContainsPoint(TPoint(x, y)), opaque) << width << " " << x << "," << y;
                const bool inBox = x >= bounds.Left && x < bounds.Right && y >= bounds.Top && y < bounds.Bottom;
                ASSERT_EQ(inverted.ContainsPoint(TPoint(x - bounds.Left, y - bounds.Top)), inBox && !opaque);
            }
    }
}

TEST(Region, BitmapShapeEdgeCases)
{
    TRegion region;
    auto bmp = picture({"#.#", "..."});
    region.BuildFromBitmap(bmp.get(), true, false, bmp->GetTransparentColor(), false);
    EXPECT_EQ(rectsOf(region), (std::vector<TRect>{{0, 0, 1, 1}, {2, 0, 3, 1}}));
    EXPECT_EQ(region.GetHeight(), 2);  // the artwork's size, not the shape's

    bmp = picture({"...", "..."});
    region.BuildFromBitmap(bmp.get(), false, false, clFuchsia, false);
    EXPECT_FALSE(region.GetIsNull());
    EXPECT_EQ(region.GetRectCount(), 0);

    TBitmap blank;
    region.BuildFromBitmap(&blank, false, false, clFuchsia, false);
    EXPECT_FALSE(region.GetIsNull());
    region.BuildFromBitmap(nullptr, false, false, clFuchsia, false);
    EXPECT_TRUE(region.GetIsNull());

    // Other formats go through a 24-bit copy; the artwork's own format is left alone.
    TBitmap mono;
    mono.SetPixelFormat(pf1bit);
    mono.SetSize(4, 1);
    mono.Canvas()->SetPixel(1, 0, clBlack);
    region.BuildFromBitmap(&mono, false, false, clWhite, false);
    EXPECT_EQ(rectsOf(region), (std::vector<TRect>{{1, 0, 2, 1}}));
    EXPECT_EQ(mono.GetPixelFormat(), pf1bit);
}

TEST(Region, CombinationsAndMoves)
{
    const TRect two[] = {{0, 0, 10, 10}, {20, 0, 30, 10}};
    TRegion region(two, 2);
    TRegion other(two + 1, 1);
    region.Subtract(&other);
    EXPECT_EQ(rectsOf(region), (std::vector<TRect>{two[0]}));
    region.Intersect(two, 2, false);  // only what lies in both
    EXPECT_FALSE(region.GetIsNull());
    EXPECT_EQ(region.GetRectCount(), 0);

    const TRect swapped(10, 10, 0, 0);  // corners in either order
    region.Add(&swapped, 1);
    region.Intersect(&other, true);
    EXPECT_EQ(rectsOf(region), (std::vector<TRect>(two, two + 2)));

    // A cached list must not outlive the change.
    region.SetRects(two, 1);
    ASSERT_EQ(region.GetRectCount(), 1);
    region.Offset(5, 7);
    EXPECT_EQ(rectsOf(region), (std::vector<TRect>{{5, 7, 15, 17}}));
    region.MoveTo(0, 0);
    EXPECT_EQ(region.GetBounds(), TRect(0, 0, 10, 10));

    const TRect odd(-3, 3, 5, 9);
    region.SetRects(&odd, 1);
    // Truncated toward zero; in extended precision 3 and 9 times the double 1/3 fall just
    // short of 1 and 3 (in double they would round up to them).
    region.Scale(0.5, 1.0 / 3);
    EXPECT_EQ(rectsOf(region), (std::vector<TRect>{{-1, 0, 2, 2}}));

    // A null region needs a region for these: nothing happens, nobody hears of it.
    int calls = 0;
    TRegion none;
    none.SetOnChange([&](TObject*) { ++calls; });
    none.Intersect(&region, false);
    none.Offset(1, 1);
    none.Scale(2, 2);
    TRegion alsoNone;
    none.Add(&alsoNone);
    EXPECT_TRUE(none.GetIsNull());
    EXPECT_EQ(calls, 0);
}

TEST(Region, ChangeEvents)
{
    TRegion region;
    int calls = 0;
    region.SetOnChange([&](TObject* sender) { EXPECT_EQ(sender, &region); ++calls; });
    region.SetEnableChangeEvent(true);  // unpaired: must not go below zero
    region.SetEnableChangeEvent(false);
    EXPECT_FALSE(region.GetEnableChangeEvent());
    region.Clear();  // edits notify regardless
    EXPECT_EQ(calls, 1);
    region.GetBitmap()->SetWidth(3);  // the picture only when enabled
    EXPECT_EQ(calls, 1);
    region.SetEnableChangeEvent(true);

    TRegion sized;
    sized.SetSize(8, 6);
    region.Assign(&sized);
    EXPECT_TRUE(region.GetIsNull());
    EXPECT_EQ(region.GetWidth(), 8);
    EXPECT_EQ(calls, 2);

    TBitmap notARegion;
    EXPECT_THROW(region.Assign(&notARegion), EConvertError);
    EXPECT_TRUE(region.GetEnableChangeEvent());

    // The kept picture stays 1-bit whichever way it is changed.
    auto art = picture({"#.", ".#"});
    region.SetBitmap(art.get());
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(region.GetBitmap()->GetPixelFormat(), pf1bit);
    EXPECT_EQ(region.GetBitmap()->GetWidth(), 2);
    region.GetBitmap()->SetPixelFormat(pf24bit);
    EXPECT_EQ(region.GetBitmap()->GetPixelFormat(), pf1bit);
}

TEST(Region, StreamFormatAndBadData)
{
    const TRect two[] = {{0, 0, 10, 10}, {20, 0, 30, 10}};
    TRegion region(two, 2);
    TMemoryStream stream;
    region.SaveToStream(&stream);
    ASSERT_EQ(stream.GetSize(), 45);
    const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
    const uint8_t head[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 30, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(bytes, head, 9 + 4));
    EXPECT_EQ(0, std::memcmp(bytes + 29, head + 13, 12));

    TRegion loaded;
    stream.SetPosition(0);
    loaded.LoadFromStream(&stream);
    EXPECT_EQ(rectsOf(loaded), rectsOf(region));
    EXPECT_EQ(loaded.GetWidth(), 30);  // flag 0: the size follows the shape

    auto expectRejected = [&](TStream& bad, const char* message) {
        loaded.SetSize(5, 6);
        try {
            loaded.LoadFromStream(&bad);
            ADD_FAILURE() << "accepted: " << message;
        } catch (const EReadError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
        EXPECT_EQ(rectsOf(loaded), rectsOf(region));
        EXPECT_EQ(loaded.GetWidth(), 5);
    };
    TMemoryStream bad;
    bad.CopyFrom(&stream, 0);
    bad.SetPosition(9);
    const int32_t huge = 1000, negative = -1;
    bad.WriteBuffer(&huge, 4);
    bad.SetPosition(0);
    expectRejected(bad, "rectangle count 1000 exceeds the 32 bytes left in the stream");
    bad.SetPosition(9);
    bad.WriteBuffer(&negative, 4);
    bad.SetPosition(0);
    expectRejected(bad, "negative rectangle count");
    bad.SetSize(12);
    bad.SetPosition(0);
    expectRejected(bad, "inside the 13-byte header");
}

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Region, FilesAreReplacedWholeOrNotAtAll)
{
    char pattern[] = "/tmp/lumo-regions-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string root = pattern, path = root + "/a/b/shape.rgn";
    const TRect r(1, 2, 3, 4);
    TRegion region(&r, 1), loaded;
    region.SaveToFile(path);  // makes the missing folders
    loaded.LoadFromFile(path);
    EXPECT_EQ(rectsOf(loaded), rectsOf(region));
    const std::string before = contents(path);

    EXPECT_THROW(region.SaveToFile(path + "/inner.rgn"), EStreamError);  // folder part is a file
    EXPECT_THROW(region.SaveToFile(root + "/a/b"), EStreamError);         // target is a folder
    // Writes fail part-way once files may not grow past 20 bytes; this binds root too.
    std::vector<TRect> many;
    for (int i = 0; i < 50; ++i)
        many.emplace_back(2 * i, 0, 2 * i + 1, 1);
    TRegion big(many.data(), int(many.size()));
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 20;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(big.SaveToFile(path), EWriteError);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(contents(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root + "/a/b"), {}), 1);  // no litter
    std::filesystem::remove_all(root);
}

}  // namespace
