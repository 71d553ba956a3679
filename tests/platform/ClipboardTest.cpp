// The classic clipboard calls: ownership of the block, the open/close rule, CF_DIB published
// to the display as a BMP file.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/Clipboard.h"
#include "tests/support/DesktopFixture.h"

namespace {

// A 2 x 2 24-bit packed DIB: rows of 6 bytes padded to 8.
HGLOBAL dib(size_t cut = 0)
{
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = 2;
    h.biHeight = 2;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    const size_t size = sizeof h + 16 - cut;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    auto* bytes = static_cast<uint8_t*>(GlobalLock(memory));
    std::memcpy(bytes, &h, std::min(size, sizeof h));
    for (size_t i = sizeof h; i < size; ++i)
        bytes[i] = uint8_t(i);
    GlobalUnlock(memory);
    return memory;
}

struct ClipboardTest : DesktopFixture
{
    void TearDown() override
    {
        CloseClipboard();
        DesktopFixture::TearDown();
    }
};

}  // namespace

TEST_F(ClipboardTest, ADibBecomesABmpFileAndTheClipboardOwnsTheBlock)
{
    HGLOBAL memory = dib();
    ASSERT_TRUE(OpenClipboard(0));
    EXPECT_FALSE(OpenClipboard(0)) << "one owner at a time";
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_DIB, memory), memory);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(display->clipboardType(), "image/bmp");
    const std::vector<uint8_t> bmp = display->clipboardBytes();
    ASSERT_EQ(bmp.size(), 14 + 40 + 16u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(bmp[2], 70) << "file size";
    EXPECT_EQ(bmp[10], 54) << "pixels follow the two headers";
    EXPECT_EQ(bmp[54], 40) << "the DIB's own bytes come after";
    EXPECT_EQ(GlobalFree(memory), memory) << "the block is no longer the caller's";
}

TEST_F(ClipboardTest, RefusedDataStaysTheCallers)
{
    HGLOBAL memory = dib();
    EXPECT_EQ(SetClipboardData(CF_DIB, memory), 0u) << "clipboard not open";
    EXPECT_FALSE(EmptyClipboard());
    ASSERT_TRUE(OpenClipboard(0));
    EXPECT_EQ(SetClipboardData(2 /* CF_BITMAP */, memory), 0u);
    HGLOBAL truncated = dib(1);
    EXPECT_EQ(SetClipboardData(CF_DIB, truncated), 0u) << "the pixels are not all there";
    EXPECT_EQ(SetClipboardData(CF_DIB, 12345), 0u);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
    EXPECT_TRUE(display->clipboardType().empty());
    EXPECT_EQ(GlobalFree(memory), 0u);
    EXPECT_EQ(GlobalFree(truncated), 0u);
    EXPECT_EQ(GlobalLock(memory), nullptr) << "a freed block does not resolve";
}
