// Resampling for TBitmapPreview: nearest pixel, whole-pixel averages and area averages.
//
// A destination pixel's average is a sum over the source cells it covers, each weighted by
// the product of its horizontal and vertical weights (1 for whole pixels). Summing one axis
// at a time gives the same averages at a cost that grows with the source and destination
// sizes instead of with their product: zooming out, the rows of each destination row are
// summed into one line first; zooming in, each source row is summed along once and kept
// while destination rows use it. Whole-pixel sums are exact integers (held in doubles);
// area sums are added in another order than a cell-by-cell walk would add them.
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

// The inner loops, built twice: for the baseline instruction set and for AVX2, picked when
// the program starts. Both give the same results (no fused multiply-adds). Under the thread
// checker only the baseline is built: the choosing code runs while the program is loaded,
// before the checker's own runtime is ready, and crashes there.
#if defined(__SANITIZE_THREAD__)
#define LUMO_VECTOR_CLONES
#else
#define LUMO_VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#endif

// line[i] += the weighted bytes of `count` rows, four rows per pass over the line.
LUMO_VECTOR_CLONES
void addWeightedRows(double* line, const uint8_t* const* rows, const double* w, int count, int n)
{
    int t = 0;
    for (; t + 4 <= count; t += 4) {
        const uint8_t *r0 = rows[t], *r1 = rows[t + 1], *r2 = rows[t + 2], *r3 = rows[t + 3];
        const double w0 = w[t], w1 = w[t + 1], w2 = w[t + 2], w3 = w[t + 3];
        for (int i = 0; i < n; ++i)
            line[i] += ((w0 * r0[i] + w1 * r1[i]) + w2 * r2[i]) + w3 * r3[i];
    }
    switch (count - t) {
    case 3: {
        const uint8_t *r0 = rows[t], *r1 = rows[t + 1], *r2 = rows[t + 2];
        for (int i = 0; i < n; ++i)
            line[i] += (w[t] * r0[i] + w[t + 1] * r1[i]) + w[t + 2] * r2[i];
        break;
    }
    case 2: {
        const uint8_t *r0 = rows[t], *r1 = rows[t + 1];
        for (int i = 0; i < n; ++i)
            line[i] += w[t] * r0[i] + w[t + 1] * r1[i];
        break;
    }
    case 1: {
        const uint8_t* r0 = rows[t];
        for (int i = 0; i < n; ++i)
            line[i] += w[t] * r0[i];
        break;
    }
    default:
        break;
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

// One destination column of an area average: `count` weights from source column `at`, and
// the length of its extent outside the source (`edge`), which counts as background.
struct ColumnTaps
{
    int at = 0;      // first source column, relative to the axis's lo
    int count = 0;
    const double* w = nullptr;
    double edge = 0.0;
    double total = 0.0;   // all horizontal weight, inside and outside
};

// sums[3c + k] = the weighted sum along one line (bytes of a source row, or doubles already
// summed down the rows) for destination column c, plus `edgeScale` times the background for
// the column's extent outside the source.
template <class In>
inline void columnSums(const In* line, const ColumnTaps* cols, int first, int last, double edgeScale,
                       const double* bgd, double* sums)
{
    for (int c = first; c < last; ++c) {
        const ColumnTaps& t = cols[c];
        const In* p = line + size_t(t.at) * 3;
        double s0, s1, s2;
        if (t.count == 1) {
            s0 = t.w[0] * p[0];
            s1 = t.w[0] * p[1];
            s2 = t.w[0] * p[2];
        } else if (t.count == 2) {
            s0 = t.w[0] * p[0] + t.w[1] * p[3];
            s1 = t.w[0] * p[1] + t.w[1] * p[4];
            s2 = t.w[0] * p[2] + t.w[1] * p[5];
        } else {
            s0 = s1 = s2 = 0.0;
            for (int i = 0; i < t.count; ++i, p += 3) {
                s0 += t.w[i] * p[0];
                s1 += t.w[i] * p[1];
                s2 += t.w[i] * p[2];
            }
        }
        if (t.edge != 0.0) {
            const double e = t.edge * edgeScale;
            s0 += e * bgd[0];
            s1 += e * bgd[1];
            s2 += e * bgd[2];
        }
        double* out = sums + size_t(c) * 3;
        out[0] = s0;
        out[1] = s1;
        out[2] = s2;
    }
}

LUMO_VECTOR_CLONES
void rowColumnSums(const uint8_t* line, const ColumnTaps* cols, int first, int last, const double* bgd,
                   double* sums)
{
    columnSums(line, cols, first, last, 1.0, bgd, sums);
}

LUMO_VECTOR_CLONES
void lineColumnSums(const double* line, const ColumnTaps* cols, int first, int last, double edgeScale,
                    const double* bgd, double* sums)
{
    columnSums(line, cols, first, last, edgeScale, bgd, sums);
}

// acc[i] += the weighted values of `count` lines.
LUMO_VECTOR_CLONES
void addWeightedLines(double* acc, const double* const* lines, const double* w, int count, int n)
{
    int t = 0;
    for (; t + 2 <= count; t += 2) {
        const double *l0 = lines[t], *l1 = lines[t + 1];
        const double w0 = w[t], w1 = w[t + 1];
        for (int i = 0; i < n; ++i)
            acc[i] += w0 * l0[i] + w1 * l1[i];
    }
    if (t < count) {
        const double* l0 = lines[t];
        const double w0 = w[t];
        for (int i = 0; i < n; ++i)
            acc[i] += w0 * l0[i];
    }
}

// out[i] = the average level of sums[i], divided by the area's extents. Whole-pixel sums
// are integers: with `half` 0.5 added, (sum + 0.5) / n lies at least 0.5 / n inside its
// integer interval, far more than the rounding of the reciprocals, so the truncation is the
// exact integer quotient. Area sums get the tolerance of truncateLevel instead.
LUMO_VECTOR_CLONES
void finishLevels(const double* sums, const double* invX3, double invY, double half, uint8_t* out, int n)
{
    for (int i = 0; i < n; ++i) {
        double v = (sums[i] + half) * invX3[i] * invY + 1e-9;
        out[i] = uint8_t(v < 255.0 ? v : 255.0);
    }
}

// Averages: area weights when precise, otherwise every touched pixel whole (weight 1).
void zoomAverage(const Rows& src, Rows& dst, TDblPoint origin, double zoom, const TColorBytes& bg, bool precise)
{
    Axis xs = buildAxis(origin.X, zoom, dst.width, src.width, precise);
    Axis ys = buildAxis(origin.Y, zoom, dst.height, src.height, precise);
    const double half = precise ? 0.0 : 0.5;
    const double bgd[3] = {double(bg[0]), double(bg[1]), double(bg[2])};

    // Destination columns inside the source are one run [firstCol, lastCol).
    std::vector<ColumnTaps> cols(static_cast<size_t>(dst.width));
    std::vector<double> invX3(static_cast<size_t>(dst.width) * 3);
    int firstCol = dst.width, lastCol = 0;
    for (int c = 0; c < dst.width; ++c) {
        const Span& sx = xs.spans[size_t(c)];
        if (sx.outside)
            continue;
        firstCol = std::min(firstCol, c);
        lastCol = c + 1;
        ColumnTaps& t = cols[size_t(c)];
        t.at = sx.first - xs.lo;
        t.count = sx.count;
        t.w = xs.weights.data() + sx.weights;
        t.edge = sx.outsideWeight;
        t.total = sx.outsideWeight;
        for (int i = 0; i < sx.count; ++i)
            t.total += t.w[i];
        for (int k = 0; k < 3; ++k)
            invX3[size_t(c) * 3 + k] = 1.0 / sx.extent;
    }
    if (lastCol <= firstCol)
        firstCol = lastCol = 0;
    const int n3 = (lastCol - firstCol) * 3;
    auto fillOutside = [&](uint8_t* out) {
        fillRow(out, firstCol, bg);
        if (lastCol > firstCol)
            fillRow(out + lastCol * 3, dst.width - lastCol, bg);
    };

    int rowsInside = 0;
    for (const Span& sy : ys.spans)
        rowsInside += !sy.outside;
    std::vector<double> sums(static_cast<size_t>(dst.width) * 3);
    std::vector<const uint8_t*> rowPtrs(static_cast<size_t>(src.height));

    if (ys.hi - ys.lo >= rowsInside) {
        // Zooming out: sum down the rows of each destination row into one line over the
        // source columns, then along it.
        const int m3 = (xs.hi - xs.lo) * 3;
        std::vector<double> line(static_cast<size_t>(m3));
        for (int r = 0; r < dst.height; ++r) {
            const Span& sy = ys.spans[size_t(r)];
            uint8_t* out = dst.row[size_t(r)];
            if (sy.outside || n3 == 0) {
                fillRow(out, dst.width, bg);
                continue;
            }
            double rowWeight = sy.outsideWeight;
            if (sy.outsideWeight != 0.0) {
                for (int i = 0; i < m3; i += 3)
                    for (int k = 0; k < 3; ++k)
                        line[size_t(i + k)] = sy.outsideWeight * bgd[k];
            } else {
                std::fill(line.begin(), line.end(), 0.0);
            }
            const double* wy = ys.weights.data() + sy.weights;
            for (int t = 0; t < sy.count; ++t) {
                rowWeight += wy[t];
                rowPtrs[size_t(t)] = src.row[size_t(sy.first + t)] + xs.lo * 3;
            }
            addWeightedRows(line.data(), rowPtrs.data(), wy, sy.count, m3);
            lineColumnSums(line.data(), cols.data(), firstCol, lastCol, rowWeight, bgd, sums.data());
            finishLevels(sums.data() + firstCol * 3, invX3.data() + firstCol * 3, 1.0 / sy.extent, half,
                         out + firstCol * 3, n3);
            fillOutside(out);
        }
        return;
    }

    // Zooming in: fewer source rows than destination rows, so sum along each source row
    // once (kept while destination rows still use it), then down the rows.
    int window = 1;
    for (const Span& sy : ys.spans)
        window = std::max(window, sy.count);
    std::vector<std::vector<double>> cache(static_cast<size_t>(window), std::vector<double>(sums.size()));
    std::vector<int> cachedRow(static_cast<size_t>(window), -1);
    std::vector<const double*> linePtrs(static_cast<size_t>(window));
    std::vector<double> widthTotal(static_cast<size_t>(dst.width) * 3);
    for (int c = firstCol; c < lastCol; ++c)
        for (int k = 0; k < 3; ++k)
            widthTotal[size_t(c) * 3 + k] = cols[size_t(c)].total * bgd[k];
    for (int r = 0; r < dst.height; ++r) {
        const Span& sy = ys.spans[size_t(r)];
        uint8_t* out = dst.row[size_t(r)];
        if (sy.outside || n3 == 0) {
            fillRow(out, dst.width, bg);
            continue;
        }
        for (int t = 0; t < sy.count; ++t) {
            const int y = sy.first + t;
            const size_t slot = size_t(y % window);
            if (cachedRow[slot] != y) {
                rowColumnSums(src.row[size_t(y)] + xs.lo * 3, cols.data(), firstCol, lastCol, bgd,
                              cache[slot].data());
                cachedRow[slot] = y;
            }
            linePtrs[size_t(t)] = cache[slot].data() + firstCol * 3;
        }
        double* acc = sums.data() + firstCol * 3;
        if (sy.outsideWeight != 0.0) {
            for (int i = 0; i < n3; ++i)
                acc[i] = sy.outsideWeight * widthTotal[size_t(firstCol) * 3 + size_t(i)];
        } else {
            std::fill(acc, acc + n3, 0.0);
        }
        addWeightedLines(acc, linePtrs.data(), ys.weights.data() + sy.weights, sy.count, n3);
        finishLevels(acc, invX3.data() + firstCol * 3, 1.0 / sy.extent, half, out + firstCol * 3, n3);
        fillOutside(out);
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
            else
                zoomAverage(src, dst, Origin, Zoom, bg, QualityLevel > 1);
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
