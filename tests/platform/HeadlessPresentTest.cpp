// What the headless display keeps of a present: the damaged pixels only, as RGB values,
// whatever the surface's format and whatever its unused fourth byte holds.
#include <gtest/gtest.h>

#include "platform/display/headless/HeadlessDisplay.h"

namespace {

struct Damage
{
    pixman_region32_t r;
    Damage(int x, int y, int w, int h) { pixman_region32_init_rect(&r, x, y, unsigned(w), unsigned(h)); }
    ~Damage() { pixman_region32_fini(&r); }
};

PixelSurface surfaceOf(std::vector<uint8_t>& bytes, int w, int h, int bitCount, bool topDown)
{
    PixelSurface s;
    s.width = w;
    s.height = h;
    s.bitCount = bitCount;
    s.stride = PixelSurface::strideFor(w, bitCount);
    s.topDown = topDown;
    bytes.assign(size_t(s.stride) * size_t(h), 0);
    s.bits = bytes.data();
    return s;
}

}  // namespace

TEST(HeadlessPresent, DamagedPixelsArriveAsRgbFromEitherDirectFormat)
{
    HeadlessDisplay display;
    const HWND window = 7;
    display.createSurface(window, RECT{0, 0, 3, 2});

    // A window surface: 32 bits, top-down, the fourth byte not always zero.
    std::vector<uint8_t> bytes;
    PixelSurface wide = surfaceOf(bytes, 3, 2, 32, true);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = wide.row(y) + 4 * x;
            p[0] = uint8_t(0x10 + x), p[1] = uint8_t(0x20 + y), p[2] = 0x30, p[3] = 0xAB;
        }
    display.present(window, wide, Damage(1, 0, 2, 2).r);
    Screenshot shot = display.screenshot(window);
    ASSERT_EQ(shot.width, 3);
    EXPECT_EQ(shot.at(0, 0), RGB(0, 0, 0)) << "outside the damage nothing arrives";
    EXPECT_EQ(shot.at(1, 0), RGB(0x30, 0x20, 0x11));
    EXPECT_EQ(shot.at(2, 1), RGB(0x30, 0x21, 0x12));

    // A 24-bit bottom-up picture of the same size: rows counted from the top all the same.
    std::vector<uint8_t> narrowBytes;
    PixelSurface narrow = surfaceOf(narrowBytes, 3, 2, 24, false);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = narrow.row(y) + 3 * x;
            p[0] = uint8_t(0x40 + x), p[1] = uint8_t(0x50 + y), p[2] = 0x60;
        }
    display.present(window, narrow, Damage(0, 1, 3, 1).r);
    shot = display.screenshot(window);
    EXPECT_EQ(shot.at(0, 1), RGB(0x60, 0x51, 0x40));
    EXPECT_EQ(shot.at(2, 1), RGB(0x60, 0x51, 0x42));
    EXPECT_EQ(shot.at(1, 0), RGB(0x30, 0x20, 0x11)) << "the row not damaged again keeps the first present";
    EXPECT_EQ(display.presentCount(window), 2);
}
