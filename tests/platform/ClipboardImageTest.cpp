// Picture files for the clipboard: BMP read, PNG written.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/display/x11/ClipboardImage.h"

namespace {

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

void putLe(std::vector<uint8_t>& f, size_t at, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        f[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A BMP file with a 40-byte header, the given colour table and rows exactly as given.
std::vector<uint8_t> bmpFile(int width, int height, int bits, const std::vector<uint8_t>& table,
                             const std::vector<uint8_t>& rows)
{
    std::vector<uint8_t> f(54 + table.size() + rows.size(), 0);
    f[0] = 'B', f[1] = 'M';
    putLe(f, 2, uint32_t(f.size()), 4);
    putLe(f, 10, uint32_t(54 + table.size()), 4);
    putLe(f, 14, 40, 4);
    putLe(f, 18, uint32_t(width), 4);
    putLe(f, 22, uint32_t(height), 4);
    putLe(f, 26, 1, 2);
    putLe(f, 28, uint32_t(bits), 2);
    std::copy(table.begin(), table.end(), f.begin() + 54);
    std::copy(rows.begin(), rows.end(), f.begin() + 54 + long(table.size()));
    return f;
}

struct Chunk { std::string type; std::vector<uint8_t> data; uint32_t crc; };

std::vector<Chunk> chunks(const std::vector<uint8_t>& png)
{
    std::vector<Chunk> out;
    for (size_t at = 8; at + 12 <= png.size();) {
        uint32_t length = be32(&png[at]);
        Chunk c{std::string(png.begin() + long(at) + 4, png.begin() + long(at) + 8),
                std::vector<uint8_t>(png.begin() + long(at) + 8, png.begin() + long(at + 8 + length)),
                be32(&png[at + 8 + length])};
        out.push_back(c);
        at += 12 + length;
    }
    return out;
}

// Reads a zlib stream made of stored blocks, checking each block's lengths.
std::vector<uint8_t> inflateStored(const std::vector<uint8_t>& z, int& blocks)
{
    std::vector<uint8_t> out;
    EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0) << "zlib header check";
    size_t at = 2;
    blocks = 0;
    for (bool last = false; !last;) {
        last = z[at] & 1;
        EXPECT_EQ(z[at] & 6, 0) << "stored block";
        unsigned len = z[at + 1] | z[at + 2] << 8, nlen = z[at + 3] | z[at + 4] << 8;
        EXPECT_EQ(len ^ 0xFFFF, nlen);
        out.insert(out.end(), z.begin() + long(at) + 5, z.begin() + long(at + 5 + len));
        at += 5 + len;
        ++blocks;
    }
    EXPECT_EQ(be32(&z[at]), adler32(out.data(), out.size()));
    EXPECT_EQ(at + 4, z.size());
    return out;
}

}  // namespace

TEST(ClipboardImage, ChecksumsGiveTheKnownAnswers)
{
    const char* digits = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(digits), 9), 0xCBF43926u);
    const char* word = "Wikipedia";
    EXPECT_EQ(adler32(reinterpret_cast<const uint8_t*>(word), 9), 0x11E60398u);
}

TEST(ClipboardImage, PngHasValidChunksAndTheRowsUnfiltered)
{
    RgbImage image{2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30}};
    std::vector<uint8_t> png = encodePng(image);
    ASSERT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    std::vector<Chunk> c = chunks(png);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].type, "IHDR");
    EXPECT_EQ(c[0].data, (std::vector<uint8_t>{0, 0, 0, 2, 0, 0, 0, 2, 8, 2, 0, 0, 0}));
    EXPECT_EQ(c[2].type, "IEND");
    EXPECT_EQ(c[2].crc, 0xAE426082u);   // the constant every PNG ends with
    for (const Chunk& k : c) {
        std::string typed = k.type + std::string(k.data.begin(), k.data.end());
        EXPECT_EQ(k.crc, crc32(reinterpret_cast<const uint8_t*>(typed.data()), typed.size())) << k.type;
    }
    int blocks = 0;
    EXPECT_EQ(inflateStored(c[1].data, blocks),
              (std::vector<uint8_t>{0, 255, 0, 0, 0, 255, 0, 0, 0, 0, 255, 10, 20, 30}));
}

TEST(ClipboardImage, LargePngSplitsIntoStoredBlocksOfAtMost65535Bytes)
{
    RgbImage image{300, 100, std::vector<uint8_t>(300 * 100 * 3)};
    for (size_t i = 0; i < image.rgb.size(); ++i)
        image.rgb[i] = uint8_t(i * 7);
    std::vector<Chunk> c = chunks(encodePng(image));
    int blocks = 0;
    std::vector<uint8_t> raw = inflateStored(c[1].data, blocks);
    EXPECT_EQ(blocks, 2);   // 100 rows of 901 bytes
    ASSERT_EQ(raw.size(), 100u * 901u);
    EXPECT_EQ(raw[901 * 57], 0);
    EXPECT_EQ(raw[901 * 57 + 1 + 5], image.rgb[300 * 3 * 57 + 5]);
}

TEST(ClipboardImage, BmpRowOrdersPaddingAndPalettes)
{
    // 24 bits, bottom-up, width 3: rows padded to 12 bytes.
    std::vector<uint8_t> rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,  // bottom row, BGR
                                 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
    RgbImage image;
    ASSERT_TRUE(decodeBmp(bmpFile(3, 2, 24, {}, rows), image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.rgb, (std::vector<uint8_t>{12, 11, 10, 15, 14, 13, 18, 17, 16, 3, 2, 1, 6, 5, 4, 9, 8, 7}));

    // 32 bits, top-down (negative height).
    ASSERT_TRUE(decodeBmp(bmpFile(1, -2, 32, {}, {1, 2, 3, 0, 4, 5, 6, 0}), image));
    EXPECT_EQ(image.rgb, (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));

    // 1 bit with a two-colour table: the first pixel is the high bit.
    std::vector<uint8_t> table = {0, 0, 0, 0, 255, 128, 64, 0};
    ASSERT_TRUE(decodeBmp(bmpFile(3, 1, 1, table, {0b10100000, 0, 0, 0}), image));
    EXPECT_EQ(image.rgb, (std::vector<uint8_t>{64, 128, 255, 0, 0, 0, 64, 128, 255}));

    // 8 bits: an index past the table reads as entry 0 instead of past the file.
    ASSERT_TRUE(decodeBmp(bmpFile(2, 1, 8, {9, 9, 9, 0, 1, 2, 3, 0}, {1, 200, 0, 0}), image));
    EXPECT_EQ(image.rgb, (std::vector<uint8_t>{3, 2, 1, 9, 9, 9}));
}

TEST(ClipboardImage, MalformedBmpIsRefused)
{
    RgbImage image;
    std::vector<uint8_t> good = bmpFile(2, 2, 24, {}, std::vector<uint8_t>(16, 7));
    EXPECT_TRUE(decodeBmp(good, image));
    EXPECT_FALSE(decodeBmp({}, image));
    EXPECT_FALSE(decodeBmp(std::vector<uint8_t>(good.begin(), good.end() - 1), image));   // truncated
    auto broken = [&](size_t at, uint32_t v, int bytes) {
        std::vector<uint8_t> f = good;
        putLe(f, at, v, bytes);
        return f;
    };
    EXPECT_FALSE(decodeBmp(broken(18, 0, 4), image));             // no width
    EXPECT_FALSE(decodeBmp(broken(22, 100000, 4), image));        // implausible height
    EXPECT_FALSE(decodeBmp(broken(28, 16, 2), image));            // 16 bits: not offered
    EXPECT_FALSE(decodeBmp(broken(30, 1, 4), image));             // run-length compressed
    EXPECT_FALSE(decodeBmp(broken(10, 0xFFFFFFF0u, 4), image));   // pixels past the end
    EXPECT_FALSE(decodeBmp(broken(0, 'X', 1), image));
}
