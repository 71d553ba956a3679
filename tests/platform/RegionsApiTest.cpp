#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

#include "platform/Gdi.h"

// At global scope so that the test macros find them next to RECT.
static bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static void PrintTo(const RECT& r, std::ostream* os)
{
    *os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

namespace {

// Frees the regions a test makes, even when an assertion stops it early.
class RegionsApiTest : public ::testing::Test
{
protected:
    ~RegionsApiTest() override
    {
        for (HRGN r : owned)
            DeleteObject(r);
    }

    HRGN rect(int l, int t, int r, int b) { return own(CreateRectRgn(l, t, r, b)); }
    HRGN own(HRGN h)
    {
        owned.push_back(h);
        return h;
    }
    HRGN unite(std::initializer_list<RECT> rects)
    {
        HRGN result = rect(0, 0, 0, 0);
        for (const RECT& r : rects)
            CombineRgn(result, result, rect(r.left, r.top, r.right, r.bottom), RGN_OR);
        return result;
    }
    static RECT box(HRGN h)
    {
        RECT r{-1, -1, -1, -1};
        GetRgnBox(h, &r);
        return r;
    }
    static std::vector<RECT> rects(HRGN h)
    {
        std::vector<unsigned char> buffer(GetRegionData(h, 0, nullptr));
        auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
        if (buffer.size() < sizeof(RGNDATAHEADER) || !GetRegionData(h, DWORD(buffer.size()), data))
            return {};
        std::vector<RECT> out(data->rdh.nCount);
        std::memcpy(out.data(), buffer.data() + sizeof(RGNDATAHEADER), out.size() * sizeof(RECT));
        return out;
    }

    std::vector<HRGN> owned;
};

TEST_F(RegionsApiTest, CreateRectRgnTakesCornersInAnyOrderAndMayBeEmpty)
{
    HRGN swapped = rect(30, 40, 10, 20);
    RECT r;
    EXPECT_EQ(GetRgnBox(swapped, &r), SIMPLEREGION);
    EXPECT_EQ(r, (RECT{10, 20, 30, 40}));
    EXPECT_EQ(GetRgnBox(swapped, nullptr), ERROR);

    for (RECT e : {RECT{5, 5, 5, 9}, RECT{5, 5, 9, 5}}) {
        RECT got{1, 1, 1, 1};
        EXPECT_EQ(GetRgnBox(rect(e.left, e.top, e.right, e.bottom), &got), NULLREGION);
        EXPECT_EQ(got, (RECT{0, 0, 0, 0}));
    }

    // Right and bottom edges are outside.
    EXPECT_TRUE(PtInRegion(swapped, 10, 20));
    EXPECT_TRUE(PtInRegion(swapped, 29, 39));
    EXPECT_FALSE(PtInRegion(swapped, 30, 25));
    EXPECT_FALSE(PtInRegion(swapped, 15, 40));
    EXPECT_FALSE(PtInRegion(swapped, 9, 25));
}

TEST_F(RegionsApiTest, CombineRgnModes)
{
    HRGN a = rect(0, 0, 20, 20);
    HRGN b = rect(10, 10, 30, 30);
    HRGN d = rect(0, 0, 0, 0);
    struct Case
    {
        int mode, type;
        RECT bound;
        bool overlap, onlyA, onlyB;   // at (15,15), (5,5), (25,25)
    };
    for (const Case& c : {Case{RGN_AND, SIMPLEREGION, {10, 10, 20, 20}, true, false, false},
                          Case{RGN_OR, COMPLEXREGION, {0, 0, 30, 30}, true, true, true},
                          Case{RGN_XOR, COMPLEXREGION, {0, 0, 30, 30}, false, true, true},
                          Case{RGN_DIFF, COMPLEXREGION, {0, 0, 20, 20}, false, true, false}}) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(CombineRgn(d, a, b, c.mode), c.type);
        EXPECT_EQ(box(d), c.bound);
        EXPECT_EQ(bool(PtInRegion(d, 15, 15)), c.overlap);
        EXPECT_EQ(bool(PtInRegion(d, 5, 5)), c.onlyA);
        EXPECT_EQ(bool(PtInRegion(d, 25, 25)), c.onlyB);
        EXPECT_FALSE(PtInRegion(d, 25, 5));
    }
    EXPECT_EQ(CombineRgn(d, b, 0, RGN_COPY), SIMPLEREGION);   // the second source is ignored
    EXPECT_TRUE(EqualRgn(d, b));
    EXPECT_EQ(CombineRgn(d, a, 0, RGN_OR), ERROR);
    EXPECT_EQ(CombineRgn(d, a, b, 6), ERROR);

    // The type follows the resulting shape: touching rectangles merge into one.
    EXPECT_EQ(CombineRgn(d, a, rect(50, 50, 60, 60), RGN_AND), NULLREGION);
    EXPECT_EQ(CombineRgn(d, a, rect(20, 0, 40, 20), RGN_OR), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(d, a, rect(0, 20, 20, 25), RGN_OR), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(d, a, rect(0, 0, 20, 5), RGN_DIFF), SIMPLEREGION);
    EXPECT_EQ(box(d), (RECT{0, 5, 20, 20}));
}

TEST_F(RegionsApiTest, CombineRgnWithDestinationAlsoASource)
{
    for (int mode : {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY}) {
        SCOPED_TRACE(mode);
        HRGN a = unite({{0, 0, 20, 20}, {40, 0, 50, 10}});
        HRGN b = rect(10, 10, 45, 30);
        HRGN expected = rect(0, 0, 0, 0);
        int type = CombineRgn(expected, a, b, mode);

        HRGN first = rect(0, 0, 0, 0), second = rect(0, 0, 0, 0), all = rect(0, 0, 0, 0);
        CombineRgn(first, a, 0, RGN_COPY);
        CombineRgn(second, b, 0, RGN_COPY);
        CombineRgn(all, a, 0, RGN_COPY);
        EXPECT_EQ(CombineRgn(first, first, b, mode), type);
        EXPECT_TRUE(EqualRgn(first, expected));
        EXPECT_EQ(CombineRgn(second, a, second, mode), type);
        EXPECT_TRUE(EqualRgn(second, expected));

        bool keepsItself = mode == RGN_AND || mode == RGN_OR || mode == RGN_COPY;
        EXPECT_EQ(CombineRgn(all, all, all, mode), keepsItself ? COMPLEXREGION : NULLREGION);
        EXPECT_EQ(bool(EqualRgn(all, a)), keepsItself);
    }
}

TEST_F(RegionsApiTest, OffsetRgnMovesEveryRectangle)
{
    HRGN r = unite({{0, 0, 10, 10}, {20, 5, 30, 15}});
    EXPECT_EQ(OffsetRgn(r, -5, 7), COMPLEXREGION);
    EXPECT_TRUE(EqualRgn(r, unite({{-5, 7, 5, 17}, {15, 12, 25, 22}})));
    EXPECT_EQ(OffsetRgn(rect(0, 0, 0, 0), 3, 3), NULLREGION);
}

TEST_F(RegionsApiTest, GetRegionDataGivesHeaderAndBands)
{
    // Entered out of order and overlapping; reported as bands sorted by top, then left.
    HRGN r = unite({{5, 5, 25, 15}, {20, 0, 30, 10}, {0, 0, 10, 10}});
    const DWORD size = GetRegionData(r, 0, nullptr);
    ASSERT_EQ(size, 32u + 4 * 16);

    std::vector<unsigned char> buffer(size + 20);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    EXPECT_EQ(GetRegionData(r, size - 1, data), 0u);
    EXPECT_EQ(GetRegionData(r, size + 20, data), size + 20);   // the count given, not the used
    EXPECT_EQ(data->rdh.dwSize, 32u);
    EXPECT_EQ(data->rdh.iType, RDH_RECTANGLES);
    EXPECT_EQ(data->rdh.nCount, 4u);
    EXPECT_EQ(data->rdh.nRgnSize, 4u * 16);
    EXPECT_EQ(data->rdh.rcBound, (RECT{0, 0, 30, 15}));
    std::vector<RECT> expected = {{0, 0, 10, 5}, {20, 0, 30, 5}, {0, 5, 30, 10}, {5, 10, 25, 15}};
    EXPECT_EQ(rects(r), expected);

    RGNDATA header{};
    EXPECT_EQ(GetRegionData(rect(0, 0, 0, 0), 0, nullptr), 32u);
    EXPECT_EQ(GetRegionData(rect(0, 0, 0, 0), 32, &header), 32u);
    EXPECT_EQ(header.rdh.nCount, 0u);
}

TEST_F(RegionsApiTest, ExtCreateRegionRoundTripAndMalformedData)
{
    HRGN original = unite({{0, 0, 10, 10}, {20, 0, 30, 10}, {5, 5, 25, 15}});
    std::vector<unsigned char> buffer(GetRegionData(original, 0, nullptr));
    const DWORD size = DWORD(buffer.size());
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    ASSERT_EQ(GetRegionData(original, size, data), size);
    HRGN copy = own(ExtCreateRegion(nullptr, size, data));
    ASSERT_NE(copy, 0u);
    EXPECT_NE(copy, original);
    EXPECT_TRUE(EqualRgn(copy, original));

    // Hand-made data may list overlapping rectangles in any order: the result is their union.
    struct
    {
        RGNDATAHEADER rdh;
        RECT r[2];
    } raw{{32, RDH_RECTANGLES, 2, 0, {}}, {{10, 10, 20, 20}, {0, 0, 15, 15}}};
    auto* rawData = reinterpret_cast<RGNDATA*>(&raw);
    HRGN loose = own(ExtCreateRegion(nullptr, sizeof raw, rawData));
    EXPECT_TRUE(EqualRgn(loose, unite({{0, 0, 15, 15}, {10, 10, 20, 20}})));

    auto refused = [&](DWORD count, auto&& spoil) {
        auto saved = raw;
        spoil();
        HRGN h = ExtCreateRegion(nullptr, count, rawData);
        raw = saved;
        if (h)
            own(h);
        return h == 0;
    };
    EXPECT_TRUE(refused(sizeof raw - 1, [] {}));   // the last rectangle is cut short
    EXPECT_TRUE(refused(31, [&] { raw.rdh.nCount = 0; }));
    EXPECT_TRUE(refused(sizeof raw, [&] { raw.rdh.nCount = 3; }));
    EXPECT_TRUE(refused(sizeof raw, [&] { raw.rdh.nCount = 0xFFFFFFFF; }));   // no wrap-around
    EXPECT_TRUE(refused(sizeof raw, [&] { raw.rdh.dwSize = 40; }));
    EXPECT_TRUE(refused(sizeof raw, [&] { raw.rdh.iType = 2; }));
    EXPECT_FALSE(refused(32, [&] { raw.rdh.nCount = 0; }));   // no rectangles: an empty region
    EXPECT_EQ(ExtCreateRegion(nullptr, sizeof raw, nullptr), 0u);
}

TEST_F(RegionsApiTest, DeletedOrForgedHandlesAreRefusedEverywhere)
{
    HRGN live = rect(0, 0, 10, 10);
    HRGN stale = CreateRectRgn(0, 0, 10, 10);
    EXPECT_EQ(GetObjectType(stale), DWORD(OBJ_REGION));
    EXPECT_TRUE(DeleteObject(stale));
    EXPECT_FALSE(DeleteObject(stale));

    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    for (HRGN bad : {stale, HRGN(0), HRGN(0xFFFFFFFF), HRGN(live ^ 0x00100000), HRGN(brush)}) {
        SCOPED_TRACE(bad);
        RECT r{7, 7, 8, 8};
        RGNDATA header{};
        EXPECT_EQ(GetRgnBox(bad, &r), ERROR);
        EXPECT_FALSE(PtInRegion(bad, 5, 5));
        EXPECT_FALSE(RectInRegion(bad, &r));
        EXPECT_EQ(OffsetRgn(bad, 1, 1), ERROR);
        EXPECT_FALSE(SetRectRgn(bad, 0, 0, 5, 5));
        EXPECT_FALSE(EqualRgn(bad, live));
        EXPECT_EQ(GetRegionData(bad, 0, nullptr), 0u);
        EXPECT_EQ(GetRegionData(bad, sizeof header, &header), 0u);
        EXPECT_EQ(CombineRgn(bad, live, live, RGN_OR), ERROR);
        EXPECT_EQ(CombineRgn(live, bad, live, RGN_COPY), ERROR);
        EXPECT_EQ(CombineRgn(live, live, bad, RGN_XOR), ERROR);
    }
    EXPECT_EQ(box(live), (RECT{0, 0, 10, 10}));   // failed calls left the destination alone
    EXPECT_TRUE(DeleteObject(brush));

    // Slots are reused; an old handle must not come back to life with them.
    std::vector<HRGN> dead{stale};
    for (int i = 0; i < 50; ++i) {
        HRGN h = CreateRectRgn(0, 0, i + 1, 1);
        for (HRGN old : dead)
            ASSERT_NE(h, old);
        DeleteObject(h);
        dead.push_back(h);
    }
    HRGN fresh = rect(100, 100, 101, 101);
    for (HRGN old : dead)
        EXPECT_FALSE(DeleteObject(old));
    EXPECT_EQ(box(fresh), (RECT{100, 100, 101, 101}));
}

}  // namespace
