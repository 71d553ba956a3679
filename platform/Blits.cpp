// BitBlt, StretchBlt and TransparentBlt between device contexts. Stretching samples the
// nearest source pixel (the centre of each target pixel mapped back onto the source).
#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/DeviceContexts.h"

namespace {

// Moves one pixel's colour between surfaces of any formats, following the classic rules:
// to a 1-bit target, the source DC's background colour becomes 1 and all else 0.
class PixelConverter
{
public:
    PixelConverter(const PixelSurface& src, const PixelSurface& dst, COLORREF srcBk)
        : src_(src), dst_(dst), srcBk_(srcBk) {}

    void copy(int sx, int sy, PixelSurface& dst, int dx, int dy)
    {
        COLORREF c = src_.pixel(sx, sy);
        put(c, dst, dx, dy);
    }

    void put(COLORREF c, PixelSurface& dst, int dx, int dy)
    {
        if (dst.bitCount == 1 && src_.bitCount != 1) {
            dst.setIndex(dx, dy, c == srcBk_ ? 1 : 0);
        } else if (dst.bitCount <= 8) {
            auto it = cache_.find(c);
            int index = it != cache_.end() ? it->second : (cache_[c] = dst.nearestIndex(c));
            dst.setIndex(dx, dy, index);
        } else {
            dst.setPixel(dx, dy, c);
        }
    }

private:
    const PixelSurface& src_;
    const PixelSurface& dst_;
    COLORREF srcBk_;
    std::unordered_map<COLORREF, int> cache_;
};

bool isDirect(const PixelSurface& s) { return s.bitCount == 24 || s.bitCount == 32; }

// 24-bit pixels into 32-bit ones (the fourth byte 0) and back, for the copies between
// bitmaps and window surfaces. Constant strides let the compiler vectorise them.
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

// Eight pixels at a time: each 128-bit half of the register shuffles four.
__attribute__((target("avx2"))) int widenRunWide(const uint8_t* from, uint8_t* to, int count)
{
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4,
                                            5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int i = 0;
    // The second load reads up to byte 3 * i + 28: stop while that is still the run's.
    for (; i + 10 <= count; i += 8) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * i + 12));
        const __m256i in = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 4 * i), _mm256_shuffle_epi8(in, spread));
    }
    return i;
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

// When source and target are one surface, the source is read from a snapshot so that
// overlapping copies read the original pixels.
struct SourceSnapshot
{
    PixelSurface surface;
    std::vector<uint8_t> storage;
    const PixelSurface& take(const PixelSurface& src, const PixelSurface& dst)
    {
        if (&src != &dst)
            return src;
        surface = src;
        storage.assign(src.bits, src.bits + size_t(src.stride) * size_t(src.height));
        surface.bits = storage.data();
        return surface;
    }
};

// The general copy: for each target pixel inside the clip, the source pixel that maps onto
// it; pixels that map outside the source are left alone.
BOOL blit(HDC destHandle, RECT dest, HDC srcHandle, int srcX, int srcY, int srcW, int srcH,
          bool keyed, COLORREF key)
{
    DcObject* dstDc = dcOf(destHandle);
    DcObject* srcDc = dcOf(srcHandle);
    PixelSurface* dst = dcSurface(dstDc);
    PixelSurface* srcLive = dcSurface(srcDc);
    if (!dst || !srcLive)
        return FALSE;
    int dw = dest.right - dest.left;
    int dh = dest.bottom - dest.top;
    bool mirrorX = (dw < 0) != (srcW < 0);
    bool mirrorY = (dh < 0) != (srcH < 0);
    if (dw < 0) { dest.left += dw; dw = -dw; }
    if (dh < 0) { dest.top += dh; dh = -dh; }
    if (srcW < 0) { srcX += srcW; srcW = -srcW; }
    if (srcH < 0) { srcY += srcH; srcH = -srcH; }
    if (dw == 0 || dh == 0 || srcW == 0 || srcH == 0)
        return TRUE;
    dest.right = dest.left + dw;
    dest.bottom = dest.top + dh;

    // Window DCs address their surface from an origin; the mapping below works on surface
    // coordinates, the clip on DC ones.
    srcX += srcDc->originX;
    srcY += srcDc->originY;
    const RECT destInDc = dest;
    dest = RECT{dest.left + dstDc->originX, dest.top + dstDc->originY, dest.right + dstDc->originX,
                dest.bottom + dstDc->originY};

    SourceSnapshot snapshot;
    const PixelSurface& src = snapshot.take(*srcLive, *dst);

    // Source column and row for each target column and row (-1: outside the source).
    auto mapAxis = [](int count, int srcStart, int srcCount, int srcLimit, bool mirror) {
        std::vector<int> map(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            int64_t k = (int64_t(2 * i + 1) * srcCount) / (int64_t(2) * count);
            if (mirror)
                k = srcCount - 1 - k;
            int64_t s = srcStart + k;
            map[size_t(i)] = s >= 0 && s < srcLimit ? int(s) : -1;
        }
        return map;
    };
    std::vector<int> cols = mapAxis(dw, srcX, srcW, src.width, mirrorX);
    std::vector<int> rows = mapAxis(dh, srcY, srcH, src.height, mirrorY);

    // A 24-bit picture stretched onto a window by a little (the full-screen preview): the
    // mapped columns fall into long runs of neighbours, each widened as one contiguous copy.
    struct Run
    {
        int at, from, count;   // target column (from dest.left), source column, length
    };
    std::vector<Run> runs;
    if (!keyed && src.bitCount == 24 && dst->bitCount == 32 && !(dw == srcW && !mirrorX)) {
        for (int i = 0; i < dw;) {
            if (cols[size_t(i)] < 0) {
                ++i;
                continue;
            }
            int j = i + 1;
            while (j < dw && cols[size_t(j)] == cols[size_t(j - 1)] + 1)
                ++j;
            runs.push_back({i, cols[size_t(i)], j - i});
            i = j;
        }
        if (runs.size() * 8 > size_t(dw))
            runs.clear();   // enlarging or mirroring: short runs, the gather loop is faster
    }

    PixelConverter converter(src, *dst, srcDc->bkColor);
    forEachClipBox(dstDc, *dst, destInDc, [&](const RECT& r) {
        for (int y = r.top; y < r.bottom; ++y) {
            int sy = rows[size_t(y - dest.top)];
            if (sy < 0)
                continue;
            if (!keyed && isDirect(src) && isDirect(*dst)) {
                int sb = src.bitCount / 8, db = dst->bitCount / 8;
                const uint8_t* srow = src.row(sy);
                uint8_t* drow = dst->row(y);
                // Same width, not mirrored: the mapped columns are one contiguous run.
                if (dw == srcW && !mirrorX) {
                    int first = r.left, last = r.right;
                    while (first < last && cols[size_t(first - dest.left)] < 0) ++first;
                    while (last > first && cols[size_t(last - 1 - dest.left)] < 0) --last;
                    if (first < last) {
                        const uint8_t* from = srow + cols[size_t(first - dest.left)] * sb;
                        uint8_t* to = drow + first * db;
                        if (sb == db)
                            std::memmove(to, from, size_t(last - first) * size_t(db));
                        else if (sb == 3)
                            widenRun(from, to, last - first);
                        else
                            narrowRun(from, to, last - first);
                    }
                    continue;
                }
                if (!runs.empty()) {
                    for (const Run& run : runs) {
                        const int lo = std::max(dest.left + run.at, int(r.left));
                        const int hi = std::min(dest.left + run.at + run.count, int(r.right));
                        if (lo < hi)
                            widenRun(srow + 3 * (run.from + lo - dest.left - run.at), drow + 4 * lo, hi - lo);
                    }
                    continue;
                }
                const int* map = cols.data() + (r.left - dest.left);
                if (sb == 3 && db == 4) {
                    // The common case (a 24-bit picture onto a window), kept to a tight loop.
                    // Four bytes are read at once, except at the row's last pixel, whose
                    // fourth byte may lie past the end of the bits.
                    uint32_t* dp = reinterpret_cast<uint32_t*>(drow) + r.left;
                    const int lastColumn = src.width - 1;
                    for (int i = 0, n = r.right - r.left; i < n; ++i) {
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
                    continue;
                }
                for (int x = r.left; x < r.right; ++x) {
                    int sx = map[x - r.left];
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
                continue;
            }
            for (int x = r.left; x < r.right; ++x) {
                int sx = cols[size_t(x - dest.left)];
                if (sx < 0)
                    continue;
                COLORREF c = src.pixel(sx, sy);
                if (keyed && c == key)
                    continue;
                converter.put(c, *dst, x, y);
            }
        }
    });
    return TRUE;
}

BOOL fillRop(HDC handle, int x, int y, int width, int height, DWORD rop)
{
    DcObject* dc = dcOf(handle);
    PixelSurface* s = dcSurface(dc);
    if (!s)
        return FALSE;
    COLORREF color = 0;
    if (rop == WHITENESS) {
        color = RGB(255, 255, 255);
    } else if (rop == PATCOPY) {
        auto* brush = gdiObject<BrushObject>(dc->brush);
        color = brush ? brush->color : 0;
    }
    fillArea(dc, *s, RECT{x, y, x + width, y + height}, color);
    return TRUE;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY)
        return fillRop(dest, x, y, width, height, rop);
    if (rop != SRCCOPY)
        return FALSE;
    return blit(dest, RECT{x, y, x + width, y + height}, src, srcX, srcY, width, height, false, 0);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop)
{
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY)
        return fillRop(dest, x, y, width, height, rop);
    if (rop != SRCCOPY)
        return FALSE;
    return blit(dest, RECT{x, y, x + width, y + height}, src, srcX, srcY, srcWidth, srcHeight,
                false, 0);
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                    int srcWidth, int srcHeight, UINT transparent)
{
    if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0)
        return FALSE;
    return blit(dest, RECT{x, y, x + width, y + height}, src, srcX, srcY, srcWidth, srcHeight,
                true, transparent & 0xFFFFFF);
}
