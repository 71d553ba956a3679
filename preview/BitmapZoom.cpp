// Resampling for TBitmapPreview: nearest pixel, whole-pixel averages and area averages.
//
// A destination pixel's average is a sum over the source cells it covers, each weighted by
// the product of its horizontal and vertical weights. Summing one axis at a time (first the
// rows of a destination row into one line, then that line's columns) gives the same averages
// at a cost that grows with the source and destination sizes instead of with their product.
// Whole-pixel sums are exact integers; area sums are doubles added in another order than a
// cell-by-cell walk would add them.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "preview/Bitmappreview.h"
#include "preview/ZoomAxis.h"
#include "skins/Bitmaps.h"

using namespace zoomaxis;

namespace {

// A 24-bit picture's rows, top first.
struct Rows
{
    std::vector<uint8_t*> row;
    int width = 0;
    int height = 0;
    explicit Rows(TBitmap* b) : width(b->GetWidth()), height(b->GetHeight())
    {
        row.resize(size_t(height));
        for (int y = 0; y < height; ++y)
            row[size_t(y)] = static_cast<uint8_t*>(b->ScanLine(y));
    }
};

void fillRow(uint8_t* out, int width, const TColorBytes& bg)
{
    for (int c = 0; c < width; ++c, out += 3) {
        out[0] = bg[0];
        out[1] = bg[1];
        out[2] = bg[2];
    }
}

void zoomNearest(const Rows& src, Rows& dst, TDblPoint origin, double zoom, const TColorBytes& bg)
{
    std::vector<int> cols(static_cast<size_t>(dst.width));
    for (int c = 0; c < dst.width; ++c) {
        double x = std::floor(origin.X + double(c) / zoom);
        cols[size_t(c)] = x >= 0.0 && x < src.width ? int(x) * 3 : -1;
    }
    for (int r = 0; r < dst.height; ++r) {
        double y = std::floor(origin.Y + double(r) / zoom);
        uint8_t* out = dst.row[size_t(r)];
        if (!(y >= 0.0 && y < src.height)) {
            fillRow(out, dst.width, bg);
            continue;
        }
        const uint8_t* in = src.row[size_t(y)];
        for (int c = 0; c < dst.width; ++c, out += 3) {
            int at = cols[size_t(c)];
            const uint8_t* p = at >= 0 ? in + at : bg.data();
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
        }
    }
}

void zoomWhole(const Rows& src, Rows& dst, TDblPoint origin, double zoom, const TColorBytes& bg)
{
    Axis xs = buildAxis(origin.X, zoom, dst.width, src.width, false);
    Axis ys = buildAxis(origin.Y, zoom, dst.height, src.height, false);
    const int n3 = (xs.hi - xs.lo) * 3;
    std::vector<uint32_t> line(static_cast<size_t>(n3));
    std::vector<uint64_t> prefix(static_cast<size_t>(n3) + 3);
    std::vector<double> invX(static_cast<size_t>(dst.width));
    for (int c = 0; c < dst.width; ++c)
        invX[size_t(c)] = 1.0 / xs.spans[size_t(c)].extent;
    for (int r = 0; r < dst.height; ++r) {
        const Span& sy = ys.spans[size_t(r)];
        uint8_t* out = dst.row[size_t(r)];
        if (sy.outside) {
            fillRow(out, dst.width, bg);
            continue;
        }
        // The rows of this destination row, summed into one line, then running sums along it.
        std::fill(line.begin(), line.end(), 0u);
        for (int t = 0; t < sy.count; ++t) {
            const uint8_t* in = src.row[size_t(sy.first + t)] + xs.lo * 3;
            for (int i = 0; i < n3; ++i)
                line[size_t(i)] += in[i];
        }
        for (int i = 0; i < n3; ++i)
            prefix[size_t(i) + 3] = prefix[size_t(i)] + line[size_t(i)];
        const double invY = 1.0 / sy.extent;
        for (int c = 0; c < dst.width; ++c, out += 3) {
            const Span& sx = xs.spans[size_t(c)];
            if (sx.outside) {
                out[0] = bg[0];
                out[1] = bg[1];
                out[2] = bg[2];
                continue;
            }
            const size_t a = size_t(sx.first - xs.lo) * 3;
            const size_t b = size_t(sx.first + sx.count - xs.lo) * 3;
            if (sx.outsideWeight == 0.0 && sy.outsideWeight == 0.0) {
                // (sum + 0.5) / n lies at least 0.5 / n inside its integer interval, far more
                // than the rounding of the reciprocals: the exact integer quotient.
                const double scale = invX[size_t(c)] * invY;
                for (int k = 0; k < 3; ++k)
                    out[k] = uint8_t((double(prefix[b + k] - prefix[a + k]) + 0.5) * scale);
            } else {
                const long double n = (long double)sx.extent * sy.extent;
                const long double outsideCount = n - (long double)sx.count * sy.count;
                for (int k = 0; k < 3; ++k) {
                    long double sum = (long double)(prefix[b + k] - prefix[a + k]) + outsideCount * bg[size_t(k)];
                    out[k] = uint8_t(std::min<long double>(255.0L, std::floor(sum / n)));
                }
            }
        }
    }
}

void zoomPrecise(const Rows& src, Rows& dst, TDblPoint origin, double zoom, const TColorBytes& bg)
{
    Axis xs = buildAxis(origin.X, zoom, dst.width, src.width, true);
    Axis ys = buildAxis(origin.Y, zoom, dst.height, src.height, true);
    const int n3 = (xs.hi - xs.lo) * 3;
    std::vector<double> line(static_cast<size_t>(n3));
    std::vector<double> invX(static_cast<size_t>(dst.width));
    for (int c = 0; c < dst.width; ++c)
        invX[size_t(c)] = 1.0 / xs.spans[size_t(c)].extent;
    const double bgd[3] = {double(bg[0]), double(bg[1]), double(bg[2])};
    for (int r = 0; r < dst.height; ++r) {
        const Span& sy = ys.spans[size_t(r)];
        uint8_t* out = dst.row[size_t(r)];
        if (sy.outside) {
            fillRow(out, dst.width, bg);
            continue;
        }
        // Vertical weights first: one line of weighted column sums, the rows outside the
        // source counted as background.
        double rowWeight = sy.outsideWeight;
        for (int i = 0; i < n3; i += 3)
            for (int k = 0; k < 3; ++k)
                line[size_t(i + k)] = sy.outsideWeight * bgd[k];
        const double* wy = ys.weights.data() + sy.weights;
        for (int t = 0; t < sy.count; ++t) {
            const double w = wy[t];
            rowWeight += w;
            const uint8_t* in = src.row[size_t(sy.first + t)] + xs.lo * 3;
            double* acc = line.data();
            for (int i = 0; i < n3; ++i)
                acc[i] += w * double(in[i]);
        }
        const double invY = 1.0 / sy.extent;
        for (int c = 0; c < dst.width; ++c, out += 3) {
            const Span& sx = xs.spans[size_t(c)];
            if (sx.outside) {
                out[0] = bg[0];
                out[1] = bg[1];
                out[2] = bg[2];
                continue;
            }
            const double edge = sx.outsideWeight * rowWeight;
            double s0 = edge * bgd[0], s1 = edge * bgd[1], s2 = edge * bgd[2];
            const double* wx = xs.weights.data() + sx.weights;
            const double* p = line.data() + size_t(sx.first - xs.lo) * 3;
            for (int t = 0; t < sx.count; ++t, p += 3) {
                s0 += wx[t] * p[0];
                s1 += wx[t] * p[1];
                s2 += wx[t] * p[2];
            }
            const double scale = invX[size_t(c)] * invY;
            out[0] = truncateLevel(s0 * scale);
            out[1] = truncateLevel(s1 * scale);
            out[2] = truncateLevel(s2 * scale);
        }
    }
}

bool usable(TBitmap* b) { return b && b->GetWidth() > 0 && b->GetHeight() > 0; }

// The bitmap itself when it is 24-bit, else a 24-bit copy kept in `holder`.
TBitmap* as24(TBitmap* b, std::unique_ptr<TBitmap>& holder)
{
    if (b->GetPixelFormat() == pf24bit)
        return b;
    holder = std::make_unique<TBitmap>();
    holder->Assign(b);
    holder->SetPixelFormat(pf24bit);
    return holder.get();
}

}  // namespace

namespace Bitmappreview {

void ZoomBitmap(TBitmap* Source, TDblPoint Origin, double Zoom, TColor Color, TBitmap* Dest, int Width,
                int Height, int QualityLevel)
{
    if (!Dest)
        return;
    TColorBytes bg;
    ColorToBytes(ResolveColor(Color), true, bg);
    std::unique_ptr<TBitmap> copy;
    if (Source == Dest && usable(Source)) {
        copy = std::make_unique<TBitmap>();
        copy->Assign(Source);
        Source = copy.get();
    }
    TNotifyEvent handler = Dest->OnChange;
    Dest->OnChange = nullptr;
    try {
        Dest->SetPixelFormat(pf24bit);
        Dest->SetSize(std::max(Width, 0), std::max(Height, 0));
        Rows dst(Dest);
        bool drawable = usable(Source) && Zoom > 0.0 && std::isfinite(Zoom) && std::isfinite(Origin.X) &&
                        std::isfinite(Origin.Y);
        if (!drawable) {
            for (uint8_t* row : dst.row)
                fillRow(row, dst.width, bg);
        } else {
            std::unique_ptr<TBitmap> holder;
            Rows src(as24(Source, holder));
            if (QualityLevel == 0)
                zoomNearest(src, dst, Origin, Zoom, bg);
            else if (QualityLevel > 1)
                zoomPrecise(src, dst, Origin, Zoom, bg);
            else
                zoomWhole(src, dst, Origin, Zoom, bg);
        }
    } catch (...) {
        Dest->OnChange = handler;
        throw;
    }
    Dest->OnChange = handler;
    if (handler)
        handler(Dest);
}

void AverageBitmapDblRect(TBitmap* Bitmap, TDblRect& Rect, const uint8_t* BackColor, uint8_t* Result,
                          bool Precise)
{
    if (!Result || !BackColor)
        return;
    std::unique_ptr<TBitmap> holder;
    TBitmap* bitmap = Bitmap && !Bitmap->GetEmpty() ? as24(Bitmap, holder) : nullptr;
    int w = bitmap ? bitmap->GetWidth() : 0;
    int h = bitmap ? bitmap->GetHeight() : 0;
    std::vector<double> wx, wy;
    Span sx = Precise ? preciseSpan(Rect.Left, Rect.Right, w, wx) : wholeSpan(Rect.Left, Rect.Right, w);
    Span sy = Precise ? preciseSpan(Rect.Top, Rect.Bottom, h, wy) : wholeSpan(Rect.Top, Rect.Bottom, h);
    if (sx.outside || sy.outside || !std::isfinite(sx.extent * sy.extent)) {
        std::memcpy(Result, BackColor, 3);
        return;
    }
    // Weights per cell: the area in precise mode, 1 for each counted pixel otherwise.
    auto weightX = [&](int t) { return Precise ? wx[size_t(t)] : 1.0; };
    auto weightY = [&](int t) { return Precise ? wy[size_t(t)] : 1.0; };
    double insideX = 0.0;
    for (int t = 0; t < sx.count; ++t)
        insideX += weightX(t);
    double totalY = sy.outsideWeight;
    for (int t = 0; t < sy.count; ++t)
        totalY += weightY(t);
    const double area = sx.extent * sy.extent;
    for (int k = 0; k < 3; ++k) {
        double sum = BackColor[k] * (sx.outsideWeight * totalY + insideX * sy.outsideWeight);
        for (int j = 0; j < sy.count; ++j) {
            auto* row = static_cast<const uint8_t*>(bitmap->ScanLine(sy.first + j));
            double across = 0.0;
            for (int t = 0; t < sx.count; ++t)
                across += weightX(t) * row[(sx.first + t) * 3 + k];
            sum += weightY(j) * across;
        }
        Result[k] = Precise ? truncateLevel(sum / area) : uint8_t(std::min(255.0, std::floor(sum / area)));
    }
}

}  // namespace Bitmappreview
