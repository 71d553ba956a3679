// JPEG frames: the encoder, a camera's JPEG without Huffman tables stored so players decode
// it, and malformed JPEG data refused without reading out of bounds.
#include <turbojpeg.h>

#include "AviProbe.h"
#include "avicap/avi/AviWriter.h"
#include "avicap/avi/MjpegEncoder.h"
#include "avicap/avi/MjpegMarkers.h"

using namespace aviprobe;

namespace {

std::vector<uint8_t> encoded(int n)
{
    MjpegEncoder encoder;
    auto dib = frame(320, 240, n);
    const uint8_t* jpeg = nullptr;
    size_t size = 0;
    EXPECT_TRUE(encoder.encode(dib.data(), 320, 240, jpeg, size)) << encoder.error();
    return {jpeg, jpeg + size};
}

// What many cameras send: the same JPEG with its DHT segments left out.
std::vector<uint8_t> withoutHuffmanTables(const std::vector<uint8_t>& jpeg)
{
    JpegLayout layout;
    std::string why;
    EXPECT_TRUE(parseJpeg(jpeg.data(), jpeg.size(), layout, why)) << why;
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    size_t i = 2;
    while (i < layout.scanStart) {
        size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
        if (jpeg[i + 1] != 0xC4)
            out.insert(out.end(), jpeg.begin() + ptrdiff_t(i), jpeg.begin() + ptrdiff_t(i + 2 + length));
        i += 2 + length;
    }
    out.insert(out.end(), jpeg.begin() + ptrdiff_t(layout.scanStart), jpeg.end());
    return out;
}

}  // namespace

TEST(Mjpeg, EncodesBottomUpFramesTheRightWayUp)
{
    auto jpeg = encoded(0);
    tjhandle decoder = tjInitDecompress();
    std::vector<uint8_t> rgb(320 * 240 * 3);
    ASSERT_EQ(tjDecompress2(decoder, jpeg.data(), jpeg.size(), rgb.data(), 320, 0, 240, TJPF_BGR, 0), 0);
    tjDestroy(decoder);
    // The DIB's first row is the picture's bottom row: its green is y * 2 with y = 0.
    EXPECT_NEAR(rgb[239 * 320 * 3 + 160 * 3 + 1], 0, 6);
    EXPECT_NEAR(rgb[0 * 320 * 3 + 160 * 3 + 1], 239 * 2 % 256, 6);
}

TEST(Mjpeg, CameraJpegWithoutHuffmanTablesIsStoredPlayable)
{
    REQUIRE_FFMPEG();
    auto bare = withoutHuffmanTables(encoded(1));
    JpegLayout layout;
    std::string why;
    ASSERT_TRUE(parseJpeg(bare.data(), bare.size(), layout, why)) << why;
    EXPECT_FALSE(layout.hasHuffmanTables);
    EXPECT_EQ(layout.width, 320);
    EXPECT_EQ(layout.height, 240);
    std::vector<uint8_t> fixed;
    ASSERT_TRUE(completeJpeg(bare.data(), bare.size(), fixed, why));
    ASSERT_TRUE(parseJpeg(fixed.data(), fixed.size(), layout, why));
    EXPECT_TRUE(layout.hasHuffmanTables);

    std::string dir = tempDir();
    AviWriterConfig c;
    c.path = dir + "/camera.avi";
    c.video = {320, 240, 40000, VideoCodec::MotionJpeg};
    c.startUs = 0;
    AviWriter writer(c);
    ASSERT_TRUE(writer.open());
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(writer.addJpeg(bare.data(), bare.size(), uint64_t(i)));
    EXPECT_TRUE(writer.close().ok());
    auto v = stream(c.path, "v:0");
    EXPECT_EQ(v["nb_read_frames"], "10") << v["error"];
    EXPECT_EQ(decodeErrors(c.path), "");
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

TEST(Mjpeg, MalformedJpegIsRefusedWithoutOverrun)
{
    auto good = encoded(2);
    JpegLayout layout;
    std::string why;
    // Every truncation of a real frame (the end marker is part of a whole frame).
    for (size_t n = 0; n + 1 < good.size(); n += (n < 2000 ? 1 : 97)) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + ptrdiff_t(n));   // exact-size heap copy
        EXPECT_FALSE(parseJpeg(cut.data(), cut.size(), layout, why)) << n;
        EXPECT_FALSE(why.empty());
    }
    // Segment lengths that point past the end, are too short, or a scan before any frame.
    std::vector<std::vector<uint8_t>> bad = {
        {0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF},
        {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0xFF, 0xD9},
        {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0x00, 0xFF, 0xD9},
        {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x03, 0x08, 0xFF, 0xD9},
        {0xFF, 0xD8, 0x12, 0x34},
        {0xFF, 0xD8, 0xFF, 0xFF, 0xFF},
    };
    for (const auto& b : bad)
        EXPECT_FALSE(parseJpeg(b.data(), b.size(), layout, why));
    // Random damage to the header bytes: never a crash (the sanitizer build checks reads).
    uint32_t seed = 1;
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> damaged(good);
        for (int k = 0; k < 3; ++k) {
            seed = seed * 1664525u + 1013904223u;
            damaged[2 + seed % std::min<size_t>(600, damaged.size() - 2)] = uint8_t(seed >> 24);
        }
        std::vector<uint8_t> out;
        if (completeJpeg(damaged.data(), damaged.size(), out, why)) {
            EXPECT_GE(out.size(), damaged.size());
        }
    }
    std::string dir = tempDir();
    AviWriterConfig c;
    c.path = dir + "/refused.avi";
    c.video = {320, 240, 40000, VideoCodec::MotionJpeg};
    AviWriter writer(c);
    ASSERT_TRUE(writer.open());
    EXPECT_FALSE(writer.addJpeg(bad[0].data(), bad[0].size(), 0));
    EXPECT_TRUE(writer.addJpeg(good.data(), good.size(), 0));
    EXPECT_TRUE(writer.close().ok());
    EXPECT_EQ(writer.stats().frames, 1u);
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}
