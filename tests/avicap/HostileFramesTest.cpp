// Camera frames a faulty driver could describe, found by fuzzing the converters: refused
// with a reason or converted, never a read past the frame.
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "avicap/v4l2/V4l2Convert.h"

namespace {
constexpr uint32_t kBayer[] = {V4L2_PIX_FMT_SBGGR8, V4L2_PIX_FMT_SGBRG8, V4L2_PIX_FMT_SGRBG8, V4L2_PIX_FMT_SRGGB8};

// Bytes whose last one ends a page, followed by a page that may not be touched: a read past
// them faults at once. The library is not instrumented, so this is how its reads are seen.
class FrameAtPageEnd
{
public:
    explicit FrameAtPageEnd(size_t size) : page_(size_t(sysconf(_SC_PAGESIZE)))
    {
        span_ = (size + page_ - 1) / page_ * page_;
        void* base = mmap(nullptr, span_ + page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED)
            return;
        base_ = static_cast<uint8_t*>(base);
        mprotect(base_ + span_, page_, PROT_NONE);
        data_ = base_ + span_ - size;
        std::memset(data_, 90, size);
    }
    ~FrameAtPageEnd()
    {
        if (base_)
            munmap(base_, span_ + page_);
    }
    uint8_t* data() const { return data_; }

private:
    size_t page_, span_ = 0;
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
};
}  // namespace

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

// Found by fuzzing: libv4lconvert's NV12 converter reads a whole U V pair for the last pixel
// of an odd width, a byte past a tight last chroma row; a 1 x 1 frame of 2 bytes was taken.
TEST(HostileFrames, NV12FramesOfOddWidthMustHoldTheLastChromaPair)
{
    EXPECT_EQ(v4l2FrameBytes({V4L2_PIX_FMT_NV12, 1, 1, 0}), 3u);
    EXPECT_EQ(v4l2FrameBytes({V4L2_PIX_FMT_NV12, 3, 2, 0}), 10u);   // 6 luma, 3 chroma and the pair's end
    EXPECT_EQ(v4l2FrameBytes({V4L2_PIX_FMT_NV12, 3, 2, 4}), 12u);   // padded rows already hold it
    EXPECT_EQ(v4l2FrameBytes({V4L2_PIX_FMT_NV12, 4, 3, 0}), 20u);   // even widths as ever
    V4l2Converter converter;
    std::vector<uint8_t> out;
    const std::vector<uint8_t> frame(3, 128);
    EXPECT_FALSE(converter.convert({V4L2_PIX_FMT_NV12, 1, 1, 0}, frame.data(), 2, out));
    EXPECT_NE(converter.error().find("short frame"), std::string::npos) << converter.error();
    EXPECT_TRUE(converter.convert({V4L2_PIX_FMT_NV12, 1, 1, 0}, frame.data(), 3, out)) << converter.error();
    EXPECT_EQ(out.size(), 3u);
}

// Every format the library converts, every small size, tight and padded lines: a frame of
// exactly v4l2FrameBytes ends at an inaccessible page, so a read past it faults. Each format
// runs in a child process; a fault fails the test naming the layout it was converting.
TEST(HostileFrames, TheLibraryNeverReadsPastAFrameOfTheCountedSize)
{
    constexpr uint32_t formats[] = {V4L2_PIX_FMT_YVYU,   V4L2_PIX_FMT_UYVY,   V4L2_PIX_FMT_YUV420,
                                    V4L2_PIX_FMT_YVU420, V4L2_PIX_FMT_NV12,   V4L2_PIX_FMT_RGB24,
                                    V4L2_PIX_FMT_BGR24,  V4L2_PIX_FMT_RGB565, V4L2_PIX_FMT_GREY,
                                    V4L2_PIX_FMT_SBGGR8, V4L2_PIX_FMT_SGBRG8, V4L2_PIX_FMT_SGRBG8,
                                    V4L2_PIX_FMT_SRGGB8};
    constexpr size_t kNoteBytes = 128;
    void* shared = mmap(nullptr, kNoteBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* note = static_cast<char*>(shared);
    int converted = 0;
    for (uint32_t fourcc : formats) {
        std::snprintf(note, kNoteBytes, "nothing yet");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            V4l2Converter converter;
            std::vector<uint8_t> out;
            int done = 0;
            for (int w = 1; w <= 18; ++w)
                for (int h = 1; h <= 18; ++h)
                    // No line length, a short one, and lines one or two bytes longer than a
                    // row of 1, 2 or 3 bytes a pixel (shorter than the format's rows count as 0).
                    for (uint32_t line : {0u, 1u, uint32_t(w) + 1, uint32_t(w) * 2 + 1, uint32_t(w) * 3 + 1,
                                          uint32_t(w) * 3 + 2}) {
                        const V4l2PixelLayout layout{fourcc, w, h, line};
                        const size_t size = v4l2FrameBytes(layout);
                        FrameAtPageEnd frame(size);
                        if (!frame.data())
                            _exit(3);
                        std::snprintf(note, kNoteBytes, "%.4s %d x %d, line %u, %zu bytes",
                                      reinterpret_cast<const char*>(&fourcc), w, h, line, size);
                        done += converter.convert(layout, frame.data(), size, out);
                    }
            // Counted so that a format refused at every size shows.
            std::snprintf(note, kNoteBytes, "%d", done);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        EXPECT_TRUE(clean) << (WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                                   : "exit " + std::to_string(WEXITSTATUS(status)))
                           << " while converting " << note;
        if (clean)
            converted += std::atoi(note);
    }
    munmap(shared, kNoteBytes);
    // Most layouts convert; the refusals (odd 4:2:0 widths, small or odd Bayer frames) are few.
    EXPECT_GT(converted, int(std::size(formats)) * 18 * 18 * 6 / 2);
}
