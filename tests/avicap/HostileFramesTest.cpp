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
