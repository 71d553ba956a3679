#pragma once
// Pictures for the preview tests, and the direct per-pixel evaluation of a zoom that the
// fast resampling must agree with.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>

#include "preview/Bitmappreview.h"

using Pixel = std::array<uint8_t, 3>;   // blue, green, red

inline std::unique_ptr<TBitmap> picture(int w, int h, const std::function<Pixel(int, int)>& at)
{
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        auto* line = static_cast<uint8_t*>(b->ScanLine(y));
        for (int x = 0; x < w; ++x) {
            Pixel p = at(x, y);
            std::copy(p.begin(), p.end(), line + 3 * x);
        }
    }
    return b;
}

inline std::unique_ptr<TBitmap> randomPicture(int w, int h, std::mt19937& rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    return picture(w, h, [&](int, int) { return Pixel{uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))}; });
}

inline Pixel pixelAt(TBitmap* b, int x, int y)
{
    auto* line = static_cast<const uint8_t*>(b->ScanLine(y));
    return {line[3 * x], line[3 * x + 1], line[3 * x + 2]};
}

inline Pixel grey(int v) { return {uint8_t(v), uint8_t(v), uint8_t(v)}; }

// The average of a rectangle exactly as defined: cell by cell, in double. Tolerance is
// added before the truncation (0: the definition as it stands).
inline Pixel directAverage(TBitmap* b, const TDblRect& r, const Pixel& bg, bool precise, double tolerance = 0.0)
{
    const int w = b->GetWidth(), h = b->GetHeight();
    if (!(r.Left < w && r.Right >= 0 && r.Top < h && r.Bottom >= 0))
        return bg;
    double sum[3] = {0, 0, 0};
    auto byteAt = [&](int col, int row, int k) {
        return row >= 0 && row < h && col >= 0 && col < w ? pixelAt(b, col, row)[size_t(k)] : bg[size_t(k)];
    };
    double divisor;
    if (precise) {
        divisor = (r.Right - r.Left) * (r.Bottom - r.Top);
        for (double y = r.Top; y < r.Bottom;) {
            int row = int(std::floor(y));
            double y2 = std::min(r.Bottom, row + 1.0);
            for (double x = r.Left; x < r.Right;) {
                int col = int(std::floor(x));
                double x2 = std::min(r.Right, col + 1.0);
                double weight = (x2 - x) * (y2 - y);
                for (int k = 0; k < 3; ++k)
                    sum[k] += weight * byteAt(col, row, k);
                x = x2;
            }
            y = y2;
        }
    } else {
        int l = int(std::floor(r.Left)), t = int(std::floor(r.Top));
        int rr = int(std::floor(r.Right)) + 1, bb = int(std::floor(r.Bottom)) + 1;
        divisor = double(rr - l) * (bb - t);
        for (int row = t; row < bb; ++row)
            for (int col = l; col < rr; ++col)
                for (int k = 0; k < 3; ++k)
                    sum[k] += byteAt(col, row, k);
    }
    auto level = [&](int k) { return uint8_t(std::min(255.0, sum[k] / divisor + tolerance)); };
    return {level(0), level(1), level(2)};
}

// One destination pixel of a zoom, evaluated directly.
inline Pixel directZoomPixel(TBitmap* src, TDblPoint origin, double zoom, const Pixel& bg, int c, int r,
                             int quality, double tolerance = 0.0)
{
    if (quality == 0) {
        int sx = int(std::floor(origin.X + c / zoom)), sy = int(std::floor(origin.Y + r / zoom));
        if (sy < 0 || sy >= src->GetHeight() || sx < 0 || sx >= src->GetWidth())
            return bg;
        return pixelAt(src, sx, sy);
    }
    const double inv = 1.0 / zoom;
    double top = origin.Y + r / zoom, left = origin.X + c / zoom;
    return directAverage(src, TDblRect{left, top, left + inv, top + inv}, bg, quality > 1, tolerance);
}
