// What the headless display keeps of a present: the damaged pixels only, as RGB values,
// whatever the unused fourth byte of a window surface holds.
#include <gtest/gtest.h>

#include "platform/display/headless/HeadlessDisplay.h"

TEST(HeadlessPresent, OnlyDamagedPixelsArriveAsRgbWithoutTheFourthByte)
{
    HeadlessDisplay display;
    display.createSurface(7, RECT{0, 0, 2, 2});
    pixman_region32_t damage;
    // A window surface: 32 bits, top-down, the fourth byte set; only its right column damaged.
    uint8_t wide[16] = {1, 2, 3, 0xAB, 4, 5, 6, 0xAB, 7, 8, 9, 0xAB, 10, 11, 12, 0xAB};
    pixman_region32_init_rect(&damage, 1, 0, 1, 2);
    display.present(7, PixelSurface{2, 2, 32, 8, true, wide, {}}, damage);
    Screenshot shot = display.screenshot(7);
    EXPECT_EQ(shot.at(0, 0), RGB(0, 0, 0)) << "outside the damage nothing arrives";
    EXPECT_EQ(shot.at(1, 0), RGB(6, 5, 4));
    EXPECT_EQ(shot.at(1, 1), RGB(12, 11, 10));
    pixman_region32_fini(&damage);
}
