// Camera frames a faulty driver could describe, found by fuzzing the converters: refused
// with a reason or converted, never a read past the frame.
#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include "avicap/v4l2/V4l2Convert.h"

namespace {
constexpr uint32_t kBayer[] = {V4L2_PIX_FMT_SBGGR8, V4L2_PIX_FMT_SGBRG8, V4L2_PIX_FMT_SGRBG8, V4L2_PIX_FMT_SRGGB8};
}

TEST(HostileFrames, BayerFramesWithoutALineLengthConvertAsTightRows)
{
    V4l2Converter converter;
    for (uint32_t fourcc : kBayer) {
        std::vector<uint8_t> frame(16 * 8, 100), out;
        // A driver answering bytesperline 0 used to crash the demosaicing.
        ASSERT_TRUE(converter.convert({fourcc, 16, 8, 0}, frame.data(), frame.size(), out)) << converter.error();
        EXPECT_EQ(out.size(), 16u * 8 * 3);
        std::vector<uint8_t> tight;
        ASSERT_TRUE(converter.convert({fourcc, 16, 8, 16}, frame.data(), frame.size(), tight));
        EXPECT_EQ(out, tight);
    }
}

TEST(HostileFrames, BayerFramesOfOneRowColumnOddOrTinySizeAreRefused)
{
    V4l2Converter converter;
    // 2 x 8 with tight rows was found by the fuzzer: the demosaicing read past the frame.
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 4}, {6, 1}, {2, 5}, {3, 4}, {2, 8}, {8, 6}};
    for (uint32_t fourcc : kBayer)
        for (auto [w, h] : sizes) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
            std::vector<uint8_t> frame(size_t(w + 8) * size_t(h), 100), out;
            EXPECT_FALSE(converter.convert({fourcc, w, h, uint32_t(w + 8)}, frame.data(), frame.size(), out));
            EXPECT_NE(converter.error().find("unusable size"), std::string::npos) << converter.error();
        }
}

// Found by fuzzing: libv4lconvert's 4:2:0 converters write one pixel past every row of an
// odd width, past the end of the picture. Such frames are refused; even widths with odd
// heights, and NV12, convert.
TEST(HostileFrames, FourTwoZeroFramesOfOddWidthAreRefused)
{
    V4l2Converter converter;
    for (uint32_t fourcc : {V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420}) {
        std::vector<uint8_t> frame(4096, 128), out;
        EXPECT_FALSE(converter.convert({fourcc, 3, 4, 0}, frame.data(), frame.size(), out));
        EXPECT_NE(converter.error().find("odd width"), std::string::npos) << converter.error();
        EXPECT_TRUE(converter.convert({fourcc, 4, 3, 0}, frame.data(), frame.size(), out)) << converter.error();
        EXPECT_EQ(out.size(), 4u * 3 * 3);
    }
    std::vector<uint8_t> frame(4096, 128), out;
    EXPECT_TRUE(converter.convert({V4L2_PIX_FMT_NV12, 3, 4, 0}, frame.data(), frame.size(), out)) << converter.error();
}

// Every format the library converts, every small size: the guard after the picture is
// never touched (a write past it is refused as such, and would fail here).
TEST(HostileFrames, TheLibraryNeverWritesPastThePictureAtSmallSizes)
{
    V4l2Converter converter;
    for (uint32_t fourcc : {V4L2_PIX_FMT_YVYU, V4L2_PIX_FMT_UYVY, V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420,
                            V4L2_PIX_FMT_NV12, V4L2_PIX_FMT_RGB24, V4L2_PIX_FMT_BGR24, V4L2_PIX_FMT_RGB565,
                            V4L2_PIX_FMT_GREY, V4L2_PIX_FMT_SBGGR8})
        for (int w = 1; w <= 18; ++w)
            for (int h = 1; h <= 18; ++h)
                for (uint32_t pad : {0u, 5u}) {
                    std::vector<uint8_t> frame(size_t(w * 3 + pad) * size_t(h) * 2 + 64, 90), out;
                    converter.convert({fourcc, w, h, pad ? uint32_t(w) * 3 + pad : 0}, frame.data(), frame.size(), out);
                    ASSERT_EQ(converter.error().find("wrote past"), std::string::npos)
                        << std::string(reinterpret_cast<const char*>(&fourcc), 4) << " " << w << " x " << h;
                }
}
