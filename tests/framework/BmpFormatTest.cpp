#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/BmpFormat.h"
#include "framework/System.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A hand-built file; the defaults give a valid 1 x 1, 24-bit file with a 40-byte header.
struct FileSpec
{
    uint32_t headerSize = 40;
    int32_t width = 1, height = 1;
    uint16_t bits = 24;
    uint32_t compression = 0, colorsUsed = 0;
    std::vector<uint32_t> palette = {}, masks = {};  // palette as 0x00RRGGBB
    Bytes pixels = Bytes(4);
};

void put(Bytes& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}
void poke32(Bytes& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.at(at + i) = uint8_t(v >> (8 * i));
}

Bytes build(const FileSpec& s)
{
    Bytes out{'B', 'M'};
    out.resize(14);  // file header, filled in last
    put(out, s.headerSize, 4);
    const int dim = s.headerSize == 12 ? 2 : 4;
    put(out, uint32_t(s.width), dim);
    put(out, uint32_t(s.height), dim);
    put(out, 1, 2);
    put(out, s.bits, 2);
    if (s.headerSize != 12) {
        for (uint32_t v : {s.compression, uint32_t(s.pixels.size()), 2835u, 2835u, s.colorsUsed, 0u})
            put(out, v, 4);
        for (uint32_t m : s.masks)
            put(out, m, 4);
        out.resize(std::max(out.size(), 14 + size_t(s.headerSize)));
    }
    for (uint32_t rgb : s.palette)
        put(out, rgb, s.headerSize == 12 ? 3 : 4);
    poke32(out, 10, uint32_t(out.size()));
    out.insert(out.end(), s.pixels.begin(), s.pixels.end());
    poke32(out, 2, uint32_t(out.size()));
    return out;
}

BmpImage read(const Bytes& file) { return ReadBmp(file.data(), file.size()); }

std::vector<uint32_t> greys(int n)
{
    std::vector<uint32_t> palette;
    for (int i = 0; i < n; ++i)
        palette.push_back(uint32_t(i * 0x010101));
    return palette;
}

// Random pixels with clean row padding, as the reader hands them out.
BmpImage randomImage(int width, int height, int bits, std::mt19937& random)
{
    BmpImage image{width, height, bits, bits == 24 ? std::vector<uint32_t>{} : greys(bits == 1 ? 2 : 37), {}};
    const int stride = image.Stride();
    image.Pixels.assign(size_t(stride * height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * std::max(1, bits / 8); ++x) {
            uint8_t* row = image.Pixels.data() + y * stride;
            if (bits == 1)
                row[x / 8] |= uint8_t((random() & 1) << (7 - x % 8));
            else
                row[x] = uint8_t(random() % (bits == 8 ? 37 : 256));
        }
    return image;
}

void expectSame(const BmpImage& a, const BmpImage& b)
{
    EXPECT_EQ(a.Width, b.Width);
    EXPECT_EQ(a.Height, b.Height);
    EXPECT_EQ(a.BitCount, b.BitCount);
    EXPECT_EQ(a.Palette, b.Palette);
    EXPECT_EQ(a.Pixels, b.Pixels);
}

TEST(BmpFormat, RoundTripsEveryKeptFormatWithRowPadding)
{
    std::mt19937 random(7);
    for (auto [bits, width] : {std::pair{1, 1}, {1, 13}, {1, 33}, {8, 5}, {8, 7}, {24, 7}, {24, 1}, {24, 4}}) {
        SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width));
        const BmpImage image = randomImage(width, 3, bits, random);
        const Bytes file = WriteBmp(image);
        expectSame(read(file), image);
        auto field = [&](size_t at) { return Bytes(file.begin() + at, file.begin() + at + 4); };
        auto le32 = [](size_t v) { Bytes b; put(b, uint32_t(v), 4); return b; };
        EXPECT_EQ(BmpFileSize(file.data(), 14), file.size());
        EXPECT_EQ(field(10), le32(54 + image.Palette.size() * 4));
        EXPECT_EQ(field(34), le32(image.Pixels.size()));  // biSizeImage
        EXPECT_EQ(field(38), le32(2835));                 // pixels per metre
        EXPECT_EQ(field(46), le32(image.Palette.size())); // biClrUsed
    }

    BmpImage image = randomImage(3, 2, 24, random);
    image.Palette = {1, 2, 3};  // 24-bit files carry no colour table
    EXPECT_EQ(WriteBmp(image).size(), 54 + image.Pixels.size());
    image.Pixels.pop_back();
    EXPECT_THROW(WriteBmp(image), EInvalidGraphic);
    image = randomImage(3, 2, 8, random);
    image.Palette.clear();
    EXPECT_THROW(WriteBmp(image), EInvalidGraphic);
    image.BitCount = 4;
    EXPECT_THROW(WriteBmp(image), EInvalidGraphic);
}

TEST(BmpFormat, ReadsTheFormatsItDoesNotKeep)
{
    FileSpec four{.width = 3, .height = 2, .bits = 4, .palette = greys(16)};
    four.pixels = {0x12, 0x30, 0, 0, 0xAB, 0xCF, 0, 0};
    const BmpImage fromFour = read(build(four));
    EXPECT_EQ(fromFour.BitCount, 8);
    EXPECT_EQ(fromFour.Palette, greys(16));
    EXPECT_EQ(fromFour.Pixels, (Bytes{1, 2, 3, 0, 10, 11, 12, 0}));

    FileSpec wide{.width = 2, .height = 2, .bits = 32};
    wide.pixels = {1, 2, 3, 0xFF, 4, 5, 6, 0x80, 7, 8, 9, 0, 10, 11, 12, 0x7F};
    const Bytes noAlpha{1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    EXPECT_EQ(read(build(wide)).Pixels, noAlpha);
    wide.compression = 3;
    wide.masks = {0xFF0000, 0xFF00, 0xFF};
    EXPECT_EQ(read(build(wide)).Pixels, noAlpha);
    wide.headerSize = 108;
    EXPECT_EQ(read(build(wide)).BitCount, 24);
    EXPECT_EQ(read(build(wide)).Pixels, noAlpha);

    FileSpec topDown{.width = 1, .height = -3};
    topDown.pixels = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};  // red, green, blue from the top
    const BmpImage flipped = read(build(topDown));
    EXPECT_EQ(flipped.Height, 3);
    EXPECT_EQ(flipped.Pixels, (Bytes{0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0}));

    FileSpec core{.headerSize = 12, .width = 10, .bits = 1, .palette = {0x112233, 0x445566}};
    core.pixels = {0xA5, 0xFF, 0, 0};  // the row's last 6 bits lie past the picture
    const BmpImage mono = read(build(core));
    EXPECT_EQ(mono.Palette, core.palette);
    EXPECT_EQ(mono.Pixels, (Bytes{0xA5, 0xC0, 0, 0}));
}

TEST(BmpFormat, IndexesPastAShortColourTableBecomeZero)
{
    FileSpec s{.width = 4, .bits = 8, .colorsUsed = 2, .palette = {0xFF0000, 0x00FF00}};
    s.pixels = {0, 1, 200, 255};
    EXPECT_EQ(read(build(s)).Pixels, (Bytes{0, 1, 0, 0}));
    s.bits = 4;
    s.pixels = {0x1F, 0x20, 0, 0};
    EXPECT_EQ(read(build(s)).Pixels, (Bytes{1, 0, 0, 0}));
    s.bits = 1;
    s.colorsUsed = 1;
    s.palette.pop_back();
    s.pixels = {0xF0, 0, 0, 0};
    EXPECT_EQ(read(build(s)).Pixels, (Bytes{0, 0, 0, 0}));
}

TEST(BmpFormat, MalformedFilesAreRefusedWithAReason)
{
    const Bytes good = build({.width = 3, .height = 2, .pixels = Bytes(24)});
    const Bytes goodIndexed = build({.width = 3, .bits = 8, .palette = greys(256)});
    auto cut = [](const Bytes& file, size_t n) { return Bytes(file.begin(), file.begin() + n); };
    auto patched = [&](size_t at, uint32_t value) {
        Bytes file = good;
        poke32(file, at, value);
        return file;
    };
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"cut in the file header", cut(good, 13)},
        {"cut before the header size", cut(good, 17)},
        {"cut in the info header", cut(good, 14 + 39)},
        {"cut in the colour table", cut(goodIndexed, 54 + 1023)},
        {"cut in the last row", cut(good, good.size() - 20)},
        {"cut in the colour masks", cut(build({.bits = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}}), 64)},
        {"bad magic", patched(0, 0x4D58)},
        {"offset past the end", patched(10, uint32_t(good.size() + 1))},
        {"offset inside the headers", patched(10, 20)},
        {"unknown header size", patched(14, 64)},
        {"width 0", build({.width = 0})},
        {"negative width", build({.width = -3})},
        {"height 0", build({.height = 0})},
        {"huge height", build({.height = 40000})},
        {"most negative height", build({.height = INT32_MIN})},
        {"width over the limit", build({.width = 32769, .bits = 8, .palette = greys(2), .pixels = Bytes(32772)})},
        {"stride times height overflows", build({.width = 0x7FFFFFFF, .height = 0x7FFFFFFF})},
        {"over the pixel byte limit", build({.width = 32768, .height = 32768})},
        {"RLE8", build({.bits = 8, .compression = 1, .palette = greys(256)})},
        {"RLE4", build({.bits = 4, .compression = 2, .palette = greys(16)})},
        {"JPEG", build({.compression = 4})},
        {"top-down RLE", build({.height = -1, .bits = 8, .compression = 1})},
        {"16 bits", build({.bits = 16})},
        {"bit fields on 24 bits", build({.compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}})},
        {"RGBX bit fields", build({.bits = 32, .compression = 3, .masks = {0xFF, 0xFF00, 0xFF0000}})},
        {"32 bits in a core header", build({.headerSize = 12, .bits = 32})},
    };
    for (const auto& [what, file] : cases) {
        SCOPED_TRACE(what);
        try {
            ReadBmp(file.data(), file.size());
            ADD_FAILURE() << "accepted";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message().rfind("Bitmap image is not valid: ", 0), 0u) << e.Message();
        }
    }
    EXPECT_THROW(ReadBmp(nullptr, 1000), EInvalidGraphic);
    EXPECT_THROW(BmpFileSize(good.data(), 13), EInvalidGraphic);
    EXPECT_THROW(BmpFileSize(patched(2, 10).data(), 14), EInvalidGraphic);

    try {
        read(build({.width = 32, .height = 32, .pixels = Bytes(100)}));
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Bitmap image is not valid: truncated pixel data (needs 3072 bytes, has 100)");
    }
}

// Whatever is accepted must be consistent enough to write and read back unchanged.
void expectParsesCleanlyOrRefuses(const Bytes& file)
{
    BmpImage image;
    try {
        image = ReadBmp(file.data(), file.size());
    } catch (const EInvalidGraphic&) {
        return;
    }
    ASSERT_EQ(image.Pixels.size(), size_t(image.Stride()) * size_t(image.Height));
    for (uint8_t index : image.Pixels)
        ASSERT_TRUE(image.BitCount != 8 || index < image.Palette.size());
    expectSame(read(WriteBmp(image)), image);
}

TEST(BmpFormat, DamagedFilesNeverCrashTheReader)
{
    std::mt19937 random(3);
    const Bytes samples[] = {
        WriteBmp(randomImage(5, 3, 8, random)),
        WriteBmp(randomImage(9, 2, 1, random)),
        build({.width = 5, .height = -2, .bits = 4, .colorsUsed = 3, .palette = greys(3), .pixels = Bytes(8, 0x35)}),
        build({.headerSize = 124, .width = 3, .height = 2, .bits = 32, .compression = 3,
               .masks = {0xFF0000, 0xFF00, 0xFF}, .pixels = Bytes(24, 0x99)}),
        build({.headerSize = 12, .width = 3, .height = 2, .bits = 8, .palette = greys(256), .pixels = Bytes(8, 1)}),
    };
    for (const Bytes& sample : samples) {
        SCOPED_TRACE("sample of " + std::to_string(sample.size()) + " bytes");
        ASSERT_NO_THROW(read(sample));
        // Exact-size copies, so a read past the end lands outside the allocation.
        for (size_t n = 0; n <= sample.size(); ++n)
            expectParsesCleanlyOrRefuses(Bytes(sample.begin(), sample.begin() + n));
        for (size_t at = 0; at < std::min<size_t>(sample.size(), 200); ++at)
            for (uint8_t flip : {0x01, 0x10, 0x80, 0xFF}) {
                Bytes damaged = sample;
                damaged[at] ^= flip;
                expectParsesCleanlyOrRefuses(damaged);
            }
    }
}

}  // namespace
