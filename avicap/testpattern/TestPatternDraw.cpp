// The picture of the built-in camera. A tiny 3 x 5 digit font keeps the drawing free of
// fonts and device contexts, so the camera thread never touches the window layer.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "avicap/testpattern/TestPatternDriver.h"

namespace {

// Rows top to bottom, three bits each (left bit first).
const uint16_t kGlyphs[13] = {
    0b111101101101111,   // 0
    0b010110010010111,   // 1
    0b111001111100111,   // 2
    0b111001111001111,   // 3
    0b101101111001001,   // 4
    0b111100111001111,   // 5
    0b111100111101111,   // 6
    0b111001010010010,   // 7
    0b111101111101111,   // 8
    0b111101111001111,   // 9
    0b000010000010000,   // :
    0b000000000000010,   // .
    0b101111101111101,   // #
};

int glyphIndex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return c == ':' ? 10 : c == '.' ? 11 : c == '#' ? 12 : -1;
}

struct Canvas
{
    uint8_t* pixels;
    int width;
    int height;

    // y counts from the top of the picture; rows are stored bottom-up.
    void fill(int x0, int y0, int w, int h, uint8_t b, uint8_t g, uint8_t r)
    {
        int x1 = std::min(width, x0 + w), y1 = std::min(height, y0 + h);
        for (int y = std::max(0, y0); y < y1; ++y) {
            uint8_t* row = pixels + size_t(height - 1 - y) * size_t(width) * 3;
            for (int x = std::max(0, x0); x < x1; ++x) {
                row[3 * x] = b;
                row[3 * x + 1] = g;
                row[3 * x + 2] = r;
            }
        }
    }

    void text(int x, int y, int scale, const char* s)
    {
        int len = int(std::strlen(s));
        fill(x - scale, y - scale, len * 4 * scale + scale, 7 * scale, 0, 0, 0);
        for (int i = 0; i < len; ++i) {
            int g = glyphIndex(s[i]);
            if (g < 0)
                continue;
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (kGlyphs[g] & (1 << (14 - row * 3 - col)))
                        fill(x + (i * 4 + col) * scale, y + row * scale, scale, scale, 255, 255, 255);
        }
    }
};

uint8_t bright(int value, int brightness)
{
    return uint8_t(std::clamp(value * brightness / 50, 0, 255));
}

}  // namespace

void renderTestPattern(uint8_t* pixels, int width, int height, TestPatternDevice::Pattern pattern,
                       int brightness, int64_t monotonicUs, int64_t localUs, uint64_t frameNumber)
{
    if (!pixels || width <= 0 || height <= 0)
        return;
    const size_t stride = size_t(width) * 3;
    // Bars move one picture width every four seconds.
    const int shift = int((monotonicUs / 1000) % 4000 * width / 4000);
    static const uint8_t kBars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                        {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0}};
    if (pattern == TestPatternDevice::Gradient) {
        const int phase = int((monotonicUs / 10000) % 256);
        for (int y = 0; y < height; ++y) {
            uint8_t* row = pixels + size_t(y) * stride;
            for (int x = 0; x < width; ++x) {
                row[3 * x] = bright((phase + x * 255 / width) & 255, brightness);
                row[3 * x + 1] = bright(y * 255 / height, brightness);
                row[3 * x + 2] = bright(255 - x * 255 / width, brightness);
            }
        }
    } else {
        // Every row is the same: draw one, copy it.
        uint8_t* first = pixels;
        for (int x = 0; x < width; ++x) {
            const uint8_t* c = kBars[((x + shift) % width) * 8 / width];
            if (pattern == TestPatternDevice::Solid)
                c = kBars[6];
            for (int k = 0; k < 3; ++k)
                first[3 * x + k] = bright(c[k], brightness);
        }
        for (int y = 1; y < height; ++y)
            std::memcpy(pixels + size_t(y) * stride, first, stride);
    }

    Canvas canvas{pixels, width, height};
    const int scale = std::max(2, height / 120);
    int64_t dayMs = (localUs / 1000) % 86400000;
    if (dayMs < 0)
        dayMs += 86400000;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", int(dayMs / 3600000),
                  int(dayMs / 60000 % 60), int(dayMs / 1000 % 60), int(dayMs % 1000));
    canvas.text(2 * scale, 2 * scale, scale, text);
    std::snprintf(text, sizeof text, "#%06llu", static_cast<unsigned long long>(frameNumber % 1000000));
    canvas.text(2 * scale, 10 * scale, scale, text);
}
