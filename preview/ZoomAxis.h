#pragma once
// Internal to the preview: one axis of a resampling. A destination pixel covers the source
// interval [lo, hi) on each axis; its area weights are the product of its two axes' weights,
// which is what lets the averages be computed one axis at a time.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zoomaxis {

struct Span
{
    // Outside by the bounds test (not lo < size and hi >= 0): the pixel is the background.
    bool outside = true;
    int first = 0;   // first source index inside the source
    int count = 0;   // number of source indexes inside
    size_t weights = 0;   // where this span's `count` weights start in Axis::weights (buildAxis)
    // Precise: the length of [lo, hi) outside the source. Whole: pixels counted outside.
    double outsideWeight = 0.0;
    // Precise: hi - lo, the divisor's factor. Whole: the pixels counted, inside and out.
    double extent = 0.0;
};

struct Axis
{
    std::vector<Span> spans;
    std::vector<double> weights;
    int lo = 0;   // source indexes [lo, hi) are used by some span
    int hi = 0;
};

// Area weights: the cells of [lo, hi) cut at whole pixels, as the direct evaluation walks
// them. A collapsed interval (hi not above lo, a zoom past the precision of doubles) counts
// the pixel under lo whole, where the direct evaluation would divide 0 by 0.
Span preciseSpan(double lo, double hi, int size, std::vector<double>& weights);
// Whole pixels: from floor(lo) to floor(hi), both included.
Span wholeSpan(double lo, double hi, int size);
// Spans of `count` destination pixels: lo = origin + i / zoom, hi = lo + 1 / zoom.
Axis buildAxis(double origin, double zoom, int count, int size, bool precise);

// The average's last step: truncation, with a tolerance far below one level so that an
// exact average is not lost to the rounding of the weights (a white area stays 255).
inline uint8_t truncateLevel(double value)
{
    double v = value + 1e-9;
    return v <= 0.0 ? 0 : v >= 255.0 ? 255 : uint8_t(v);
}

}  // namespace zoomaxis
