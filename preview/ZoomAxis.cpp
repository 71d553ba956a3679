#include "preview/ZoomAxis.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "preview/Bitmappreview.h"

namespace Bitmappreview {

int RoundDown(double X)
{
    if (std::isnan(X))
        return 0;
    if (X >= double(INT_MAX))
        return INT_MAX;
    if (X <= double(INT_MIN))
        return INT_MIN;
    int t = int(X);   // toward zero
    return t > X ? t - 1 : t;
}

int Round(double X)
{
    int f = RoundDown(X);
    return X - f >= 0.5 && f < INT_MAX ? f + 1 : f;
}

double RoundDecimal(double X, int N)
{
    // In double throughout: the 32-bit Round would be undefined past 2^31.
    double p = std::pow(10.0, double(N));
    double scaled = X * p;
    if (!std::isfinite(scaled) || !std::isfinite(p) || p == 0.0 || std::fabs(scaled) >= 0x1p52)
        return X;   // nothing left to round (or nothing that could be rounded)
    double f = std::floor(scaled);
    if (scaled - f >= 0.5)
        f += 1.0;
    return f / p;
}

}  // namespace Bitmappreview

namespace zoomaxis {

Span preciseSpan(double lo, double hi, int size, std::vector<double>& weights)
{
    Span s;
    s.extent = hi - lo;
    s.outside = !(lo < size && hi >= 0.0);
    if (s.outside)
        return s;
    s.weights = weights.size();
    if (!(hi > lo)) {
        s.extent = 1.0;
        s.first = int(std::floor(lo));
        s.count = 1;
        weights.push_back(1.0);
        return s;
    }
    double x = lo;
    if (x < 0.0) {
        double end = std::min(hi, 0.0);
        s.outsideWeight += end - x;
        x = end;
    }
    while (x < hi && x < size) {
        int col = int(std::floor(x));
        double x2 = std::min(hi, double(col) + 1.0);
        if (s.count == 0)
            s.first = col;
        ++s.count;
        weights.push_back(x2 - x);
        x = x2;
    }
    if (x < hi)
        s.outsideWeight += hi - x;
    return s;
}

Span wholeSpan(double lo, double hi, int size)
{
    Span s;
    s.outside = !(lo < size && hi >= 0.0);
    if (s.outside)
        return s;
    double left = std::floor(lo);
    double right = std::floor(hi) + 1.0;
    s.extent = right - left;
    s.first = int(std::max(left, 0.0));
    s.count = int(std::min(right, double(size))) - s.first;
    s.outsideWeight = s.extent - s.count;
    return s;
}

Axis buildAxis(double origin, double zoom, int count, int size, bool precise)
{
    Axis axis;
    axis.spans.resize(size_t(count));
    axis.lo = size;
    axis.hi = 0;
    double inv = 1.0 / zoom;
    for (int i = 0; i < count; ++i) {
        double lo = origin + double(i) / zoom;
        double hi = lo + inv;
        Span s = precise ? preciseSpan(lo, hi, size, axis.weights) : wholeSpan(lo, hi, size);
        if (!precise && !s.outside) {
            // Whole pixels weigh 1 each: the area path then sums them exactly.
            s.weights = axis.weights.size();
            axis.weights.insert(axis.weights.end(), size_t(s.count), 1.0);
        }
        if (!s.outside && s.count > 0) {
            axis.lo = std::min(axis.lo, s.first);
            axis.hi = std::max(axis.hi, s.first + s.count);
        }
        axis.spans[size_t(i)] = s;
    }
    if (axis.hi <= axis.lo)
        axis.lo = axis.hi = 0;
    return axis;
}

}  // namespace zoomaxis
