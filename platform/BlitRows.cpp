#include "platform/BlitRows.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

bool isDirect(const PixelSurface& s) { return s.bitCount == 24 || s.bitCount == 32; }

// Constant strides let the compiler vectorise the plain loops below.
#if defined(__x86_64__)
// Four pixels at a time with one byte shuffle, where the processor has it.
__attribute__((target("ssse3"))) int widenRunShuffled(const uint8_t* from, uint8_t* to, int count)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int i = 0;
    // Each load reads 16 bytes for 12: stop while 4 more are still the run's.
    for (; i + 6 <= count; i += 4) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 4 * i), _mm_shuffle_epi8(in, spread));
    }
    return i;
}

// Eight pixels (24 bytes) from two loads: the low half's first 12 bytes and the high half's
// last 12, so nothing past the eighth pixel is read.
__attribute__((target("avx2"))) inline void widenEight(const uint8_t* from, uint8_t* to)
{
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 4, 5, 6, -1, 7, 8,
                                            9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 8));
    const __m256i in = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), _mm256_shuffle_epi8(in, spread));
}

// Whole runs of eight or more: the last eight are redone overlapping the ones before, so a
// short run (the shrunk preview's are about sixteen) takes no pixel-by-pixel tail.
__attribute__((target("avx2"))) int widenRunWide(const uint8_t* from, uint8_t* to, int count)
{
    if (count < 8)
        return 0;
    int i = 0;
    for (; i + 8 <= count; i += 8)
        widenEight(from + 3 * i, to + 4 * i);
    if (i < count)
        widenEight(from + 3 * (count - 8), to + 4 * (count - 8));
    return count;
}

// copyRowRuns's loop with the runs widened in place: a row of the shrunk preview is some
// seventeen runs, each too short to pay for a call.
__attribute__((target("avx2"))) void widenRunsWide(const BlitRows& rows, const uint8_t* srow, uint8_t* drow, int x0,
                                                   int x1)
{
    for (const BlitRows::Run& run : rows.runs) {
        const int start = rows.left + run.at;
        const int lo = std::max(start, x0), n = std::min(start + run.count, x1) - lo;
        if (n <= 0)
            continue;
        const uint8_t* from = srow + 3 * (run.from + lo - start);
        uint8_t* to = drow + 4 * lo;
        if (n < 8) {
            widenRun(from, to, n);
            continue;
        }
        int i = 0;
        for (; i + 8 <= n; i += 8)
            widenEight(from + 3 * i, to + 4 * i);
        if (i < n)
            widenEight(from + 3 * (n - 8), to + 4 * (n - 8));
    }
}

bool canShuffle()
{
    static const bool supported = __builtin_cpu_supports("ssse3");
    return supported;
}

bool canShuffleWide()
{
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
}
#endif

}  // namespace

void widenRun(const uint8_t* from, uint8_t* to, int count)
{
    static_assert(std::endian::native == std::endian::little);
    int i = 0;
#if defined(__x86_64__)
    if (canShuffleWide())
        i = widenRunWide(from, to, count);
    else if (canShuffle())
        i = widenRunShuffled(from, to, count);
#endif
    // Four bytes read per pixel (the next pixel's first one masked off), one word written.
    for (; i + 1 < count; ++i) {
        uint32_t v;
        std::memcpy(&v, from + 3 * i, 4);
        v &= 0x00FFFFFFu;
        std::memcpy(to + 4 * i, &v, 4);
    }
    for (; i < count; ++i) {
        to[4 * i] = from[3 * i];
        to[4 * i + 1] = from[3 * i + 1];
        to[4 * i + 2] = from[3 * i + 2];
        to[4 * i + 3] = 0;
    }
}

void narrowRun(const uint8_t* from, uint8_t* to, int count)
{
    for (int i = 0; i < count; ++i) {
        to[3 * i] = from[4 * i];
        to[3 * i + 1] = from[4 * i + 1];
        to[3 * i + 2] = from[4 * i + 2];
    }
}

void copyRowStraight(BlitRows& rows, int y, int sy, int x0, int x1)
{
    auto col = [&](int x) { return rows.cols[size_t(x - rows.left)]; };
    // The mapped columns are one contiguous stretch; trim those off the source.
    while (x0 < x1 && col(x0) < 0) ++x0;
    while (x1 > x0 && col(x1 - 1) < 0) --x1;
    if (x0 >= x1)
        return;
    const int sb = rows.src->bitCount / 8, db = rows.dst->bitCount / 8;
    const uint8_t* from = rows.src->row(sy) + col(x0) * sb;
    uint8_t* to = rows.dst->row(y) + x0 * db;
    if (sb == db)
        std::memmove(to, from, size_t(x1 - x0) * size_t(db));
    else if (sb == 3)
        widenRun(from, to, x1 - x0);
    else
        narrowRun(from, to, x1 - x0);
}

void copyRowRuns(BlitRows& rows, int y, int sy, int x0, int x1)
{
    const uint8_t* srow = rows.src->row(sy);
    uint8_t* drow = rows.dst->row(y);
#if defined(__x86_64__)
    if (canShuffleWide())
        return widenRunsWide(rows, srow, drow, x0, x1);
#endif
    for (const BlitRows::Run& run : rows.runs) {
        const int start = rows.left + run.at;
        const int lo = std::max(start, x0), hi = std::min(start + run.count, x1);
        if (lo < hi)
            widenRun(srow + 3 * (run.from + lo - start), drow + 4 * lo, hi - lo);
    }
}

void gatherRow24To32(BlitRows& rows, int y, int sy, int x0, int x1)
{
    const int* map = rows.cols.data() + (x0 - rows.left);
    const uint8_t* srow = rows.src->row(sy);
    uint32_t* dp = reinterpret_cast<uint32_t*>(rows.dst->row(y)) + x0;
    // Four bytes are read at once, except at the row's last pixel, whose fourth byte may lie
    // past the end of the bits.
    const int lastColumn = rows.src->width - 1;
    for (int i = 0, n = x1 - x0; i < n; ++i) {
        const int sx = map[i];
        if (sx < 0)
            continue;
        const uint8_t* sp = srow + 3 * sx;
        if (sx != lastColumn) {
            uint32_t v;
            std::memcpy(&v, sp, 4);
            dp[i] = v & 0x00FFFFFFu;
        } else {
            dp[i] = uint32_t(sp[0]) | uint32_t(sp[1]) << 8 | uint32_t(sp[2]) << 16;
        }
    }
}

void gatherRowDirect(BlitRows& rows, int y, int sy, int x0, int x1)
{
    const int* map = rows.cols.data() + (x0 - rows.left);
    const int sb = rows.src->bitCount / 8, db = rows.dst->bitCount / 8;
    const uint8_t* srow = rows.src->row(sy);
    uint8_t* drow = rows.dst->row(y);
    for (int x = x0; x < x1; ++x) {
        const int sx = map[x - x0];
        if (sx < 0)
            continue;
        const uint8_t* sp = srow + sx * sb;
        uint8_t* dp = drow + x * db;
        dp[0] = sp[0];
        dp[1] = sp[1];
        dp[2] = sp[2];
        if (db == 4)
            dp[3] = 0;
    }
}

// The classic rules: to a 1-bit target, the source DC's background colour becomes 1 and all
// else 0; other paletted targets take the nearest entry of their table.
void convertRow(BlitRows& rows, int y, int sy, int x0, int x1)
{
    const PixelSurface& src = *rows.src;
    PixelSurface& dst = *rows.dst;
    for (int x = x0; x < x1; ++x) {
        const int sx = rows.cols[size_t(x - rows.left)];
        if (sx < 0)
            continue;
        const COLORREF c = src.pixel(sx, sy);
        if (rows.keyed && c == rows.key)
            continue;
        if (dst.bitCount == 1 && src.bitCount != 1) {
            dst.setIndex(x, y, c == rows.srcBk ? 1 : 0);
        } else if (dst.bitCount <= 8) {
            auto it = rows.nearest.find(c);
            dst.setIndex(x, y, it != rows.nearest.end() ? it->second : (rows.nearest[c] = dst.nearestIndex(c)));
        } else {
            dst.setPixel(x, y, c);
        }
    }
}

RowCopy chooseRowCopy(BlitRows& rows)
{
    const PixelSurface& src = *rows.src;
    const PixelSurface& dst = *rows.dst;
    if (rows.keyed || !isDirect(src) || !isDirect(dst))
        return convertRow;
    if (rows.straight)
        return copyRowStraight;
    if (src.bitCount != 24 || dst.bitCount != 32)
        return gatherRowDirect;
    // A picture stretched onto a window by a little (the full-screen preview): the mapped
    // columns fall into long runs of neighbours.
    rows.runs.clear();
    const int n = int(rows.cols.size());
    for (int i = 0; i < n;) {
        if (rows.cols[size_t(i)] < 0) {
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < n && rows.cols[size_t(j)] == rows.cols[size_t(j - 1)] + 1)
            ++j;
        rows.runs.push_back({i, rows.cols[size_t(i)], j - i});
        i = j;
    }
    if (rows.runs.size() * 8 <= size_t(n))
        return copyRowRuns;
    rows.runs.clear();   // enlarging or mirroring: short runs, the gather loop is faster
    return gatherRow24To32;
}
