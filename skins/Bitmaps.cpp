#include "skins/Bitmaps.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

namespace {

// Detaches a bitmap's change handler for the lifetime of a routine's writes. finish()
// attaches it again and reports the change once; if the work throws, the handler is only
// put back.
class QuietWriting
{
public:
    explicit QuietWriting(TBitmap* Bitmap) : FBitmap(Bitmap), FHandler(std::move(Bitmap->OnChange))
    {
        FBitmap->OnChange = nullptr;
    }
    QuietWriting(const QuietWriting&) = delete;
    QuietWriting& operator=(const QuietWriting&) = delete;
    ~QuietWriting()
    {
        if (FHandler)
            FBitmap->OnChange = std::move(FHandler);
    }

    void finish(bool Notify = true)
    {
        if (!FHandler)
            return;
        // A local copy, so a handler that replaces itself does not destroy what is running.
        TNotifyEvent handler = FHandler;
        FBitmap->OnChange = std::move(FHandler);
        FHandler = nullptr;
        if (Notify)
            handler(FBitmap);
    }

private:
    TBitmap* FBitmap;
    TNotifyEvent FHandler;
};

std::unique_ptr<TBitmap> workingCopy(TBitmap* Bitmap)
{
    auto copy = std::make_unique<TBitmap>();
    AssignBitmap(Bitmap, copy.get(), false);
    copy->SetPixelFormat(pf24bit);
    return copy;
}

void copyBack(TBitmap* Work, TBitmap* Dest, TPixelFormat OriginalFormat)
{
    AssignBitmap(Work, Dest, false);
    if (OriginalFormat != pf24bit)
        Dest->SetPixelFormat(OriginalFormat);
}

// A target bitmap and, when the caller's one cannot be written directly, its working copy.
struct Target
{
    Target(TBitmap* Dest, bool NeedsCopy) : caller(Dest), format(Dest->GetPixelFormat())
    {
        if (NeedsCopy || format != pf24bit)
            work = workingCopy(Dest);
    }
    TBitmap* get() const { return work ? work.get() : caller; }
    void release()
    {
        if (work) {
            copyBack(work.get(), caller, format);
            work.reset();
        }
    }

    TBitmap* caller;
    TPixelFormat format;
    std::unique_ptr<TBitmap> work;
};

// A source bitmap, through a 24-bit working copy when it is in another format.
struct Source24
{
    explicit Source24(TBitmap* Source) : caller(Source)
    {
        if (Source->GetPixelFormat() != pf24bit)
            work = workingCopy(Source);
    }
    TBitmap* get() const { return work ? work.get() : caller; }

    TBitmap* caller;
    std::unique_ptr<TBitmap> work;
};

uint8_t* row(TBitmap* Bitmap, int Y)
{
    return static_cast<uint8_t*>(Bitmap->ScanLine(Y));
}

// A channel value kept within 0..255 (a NaN counts as below) and truncated.
uint8_t clampChannel(double Value)
{
    if (!(Value >= 0))
        return 0;
    if (Value > 255)
        return 255;
    return uint8_t(Value);
}

// ---- Box average ----

void boxAverage(TBitmap* Source, TBitmap* Dest, int Width, int Height)
{
    const int sw = Source->GetWidth();
    const int sh = Source->GetHeight();
    const double scaleX = double(Width) / double(sw);
    const double scaleY = double(Height) / double(sh);
    const int boxW = (sw + Width - 1) / Width;
    const int boxH = (sh + Height - 1) / Height;

    // The box's first column per target column. The box never reaches past the source for
    // the sizes a bitmap can have; the clamp only guards the memory.
    std::vector<int> firstX(Width), lastX(Width);
    for (int x = 0; x < Width; ++x) {
        firstX[x] = int(double(x) / scaleX);
        lastX[x] = std::min(firstX[x] + boxW, sw);
    }
    std::vector<const uint8_t*> lines;
    for (int y = 0; y < Height; ++y) {
        const int y0 = int(double(y) / scaleY);
        const int y1 = std::min(y0 + boxH, sh);
        lines.clear();
        for (int sy = y0; sy < y1; ++sy)
            lines.push_back(row(Source, sy));
        uint8_t* d = row(Dest, y);
        for (int x = 0; x < Width; ++x) {
            // Integer sums of bytes equal the sums in doubles exactly.
            uint64_t sum[3] = {0, 0, 0};
            for (const uint8_t* line : lines)
                for (int sx = firstX[x]; sx < lastX[x]; ++sx) {
                    sum[0] += line[3 * sx];
                    sum[1] += line[3 * sx + 1];
                    sum[2] += line[3 * sx + 2];
                }
            const double count = double(int64_t(lines.size()) * (lastX[x] - firstX[x]));
            for (int c = 0; c < 3; ++c)
                d[3 * x + c] = count > 0 ? clampChannel(double(sum[c]) / count) : 0;
        }
    }
}

// ---- Tint ----

// trunc(v * factor) as 16-bit fixed point: (v * mul >> 16) + (v & keep), where keep is 0xFF
// when the multiplier needs a 17th bit. Valid only when it reproduces the table exactly.
struct FixedFactor
{
    uint16_t mul = 0;
    uint8_t keep = 0;
    bool exact = false;
};

FixedFactor fixedFactor(const uint8_t (&Table)[256])
{
    // The multipliers M with floor(v * M / 65536) == Table[v] for every v form a range.
    int64_t lo = 0, hi = int64_t(1) << 20;
    for (int64_t v = 1; v < 256; ++v) {
        lo = std::max(lo, (Table[v] * int64_t(65536) + v - 1) / v);
        hi = std::min(hi, ((Table[v] + 1) * int64_t(65536) - 1) / v);
    }
    FixedFactor f;
    if (Table[0] != 0 || lo > hi || lo >= 2 * 65536)
        return f;
    f.keep = lo >= 65536 ? 0xFF : 0;
    f.mul = uint16_t(lo & 0xFFFF);
    f.exact = true;
    for (int v = 0; v < 256; ++v)
        if (((uint32_t(v) * f.mul) >> 16) + (v & f.keep) != Table[v])
            f.exact = false;
    return f;
}

// 48 bytes hold a whole number of pixels and of 16-byte vectors.
constexpr int kBlock = 48;

void tintRowTable(const uint8_t* S, uint8_t* D, int Bytes, const uint8_t (&Tables)[3][256])
{
    for (int i = 0; i < Bytes; i += 3) {
        D[i] = Tables[0][S[i]];
        D[i + 1] = Tables[1][S[i + 1]];
        D[i + 2] = Tables[2][S[i + 2]];
    }
}

// Whole blocks through the fixed-point factors (vectorised), the rest through the tables.
void tintRowFixed(const uint8_t* S, uint8_t* D, int Bytes, const uint16_t (&Mul)[kBlock],
                  const uint8_t (&Keep)[kBlock], const uint8_t (&Tables)[3][256])
{
    int i = 0;
    for (; i + kBlock <= Bytes; i += kBlock)
        for (int j = 0; j < kBlock; ++j) {
            const uint16_t v = S[i + j];
            D[i + j] = uint8_t(uint16_t((uint32_t(v) * Mul[j]) >> 16) + (v & Keep[j]));
        }
    tintRowTable(S + i, D + i, Bytes - i, Tables);
}

// ---- Blend ----

// The byte of one blended value: trunc(Sum), 255 above 255, otherwise its low byte.
uint8_t blendByte(long double Sum)
{
    if (Sum >= 0 && Sum < 256) {
        // A cheap guess, corrected against the exact value: floor without a rounding-mode
        // switch.
        int n = int(double(Sum));
        if (n > Sum)
            --n;
        else if (n + 1 <= Sum)
            ++n;
        return uint8_t(n);
    }
    if (Sum >= 256)
        return 255;
    long double m = std::fmod(std::trunc(Sum), 256.0L);
    if (std::isnan(m))
        return 0;
    if (m < 0)
        m += 256;
    return uint8_t(int(m));
}

// The blend of every pair of byte values under one pair of weights.
class BlendTerms
{
public:
    BlendTerms(double WeightA, double WeightB)
    {
        // Products of a byte and a double are exact in extended precision, so these hold
        // the exact terms and one extended addition per pair gives the stated value.
        for (int v = 0; v < 256; ++v) {
            FExactA[v] = (long double)v * WeightA;
            FExactB[v] = (long double)v * WeightB;
            FNearA[v] = double(FExactA[v]);
            FNearB[v] = double(FExactB[v]);
        }
        // With moderate weights the sum in doubles is off by less than 2^-30, so it decides
        // every value that does not lie that close to a whole number.
        FFast = std::isfinite(WeightA) && std::isfinite(WeightB) && std::fabs(WeightA) <= 4096 &&
                std::fabs(WeightB) <= 4096;
        // Weights such as 0.5 or 0.25 make every term a multiple of 2^-32 below 2^20, so the
        // sums in doubles are exact and leave nothing in doubt.
        bool exact = FFast;
        for (int v = 0; v < 256 && exact; ++v)
            exact = FNearA[v] == FExactA[v] && FNearB[v] == FExactB[v] &&
                    std::trunc(FNearA[v] * 0x1p32) == FNearA[v] * 0x1p32 &&
                    std::trunc(FNearB[v] * 0x1p32) == FNearB[v] * 0x1p32;
        FMargin = exact ? -1 : 0x1p-30;
    }

    uint8_t value(uint8_t A, uint8_t B) const
    {
        if (FFast) {
            const double s = FNearA[A] + FNearB[B];
            const int n = int(s);
            const double frac = s - n;
            if (s >= 0 && s < 256 && frac > FMargin && frac < 1 - FMargin)
                return uint8_t(n);
            return nearWhole(s, A, B);
        }
        return blendByte(FExactA[A] + FExactB[B]);
    }

    // Out[b] = value(A, b) for every b; the first loop is meant to vectorise.
    void fillRow(uint8_t A, uint8_t* Out) const
    {
        if (!FFast) {
            for (int b = 0; b < 256; ++b)
                Out[b] = blendByte(FExactA[A] + FExactB[b]);
            return;
        }
        // -1 marks the values that need the exact sum.
        int32_t fast[256];
        const double a = FNearA[A];
        for (int b = 0; b < 256; ++b) {
            const double s = a + FNearB[b];
            const int n = int(s);
            const double frac = s - n;
            const bool sure = (s >= 0) & (s < 256) & (frac > FMargin) & (frac < 1 - FMargin);
            fast[b] = sure ? n : -1;
        }
        for (int b = 0; b < 256; ++b)
            Out[b] = fast[b] >= 0 ? uint8_t(fast[b]) : nearWhole(a + FNearB[b], A, uint8_t(b));
    }

private:
    // The value when the sum in doubles, S, lies within the margin of a whole number m (or
    // outside 0..256): only the side of m on which the exact sum falls is left to find.
    uint8_t nearWhole(double S, uint8_t A, uint8_t B) const
    {
        const long double exact = FExactA[A] + FExactB[B];
        if (S > -0.5 && S < 256.5) {
            const int m = int(S + 0.5);
            if (std::fabs(S - m) <= FMargin) {
                if (m == 0)
                    return 0;   // trunc of a value in (-1, 1)
                return uint8_t(std::min(exact >= m ? m : m - 1, 255));
            }
        }
        return blendByte(exact);
    }

    long double FExactA[256], FExactB[256];
    double FNearA[256], FNearB[256];
    bool FFast;
    double FMargin;   // how far from a whole number the sum in doubles must be to be trusted
};

// From this many bytes on, a table of the values for every pair of bytes is cheaper than
// one value per pixel byte.
constexpr int64_t kBlendTableBytes = 8 * 1024;
constexpr int64_t kBlendSearchBytes = 128 * 1024;

}  // namespace

// ---- Colours ----

TColor ResolveColor(TColor Color)
{
    uint32_t value = uint32_t(Color);
    if ((value >> 24) == 0x80)
        value = GetSysColor(int(value & 0xFFFFFF));
    return TColor(value & 0xFFFFFF);
}

void ColorToBytes(TColor Color, bool Reversed, TColorBytes& Bytes)
{
    const uint32_t value = uint32_t(ResolveColor(Color));
    for (int i = 0; i < 3; ++i)
        Bytes[Reversed ? 2 - i : i] = uint8_t(value >> (8 * i));
}

TColor BytesToColor(const TColorBytes& Bytes, bool Reversed)
{
    if (Reversed)
        return TColor(Bytes[2] | (Bytes[1] << 8) | (Bytes[0] << 16));
    return TColor(Bytes[0] | (Bytes[1] << 8) | (Bytes[2] << 16));
}

TColor MixColors(TColor ColorA, TColor ColorB, double WeightA, double WeightB)
{
    const uint32_t a = uint32_t(ResolveColor(ColorA));
    const uint32_t b = uint32_t(ResolveColor(ColorB));
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const long double value = (long double)((a >> shift) & 0xFF) * WeightA +
                                  (long double)((b >> shift) & 0xFF) * WeightB;
        result |= uint32_t(clampChannel(double(value))) << shift;
    }
    return TColor(result);
}

// ---- Copy and resize ----

void AssignBitmap(TBitmap* Source, TBitmap* Dest, bool Notify)
{
    QuietWriting quiet(Dest);
    const TTransparentMode mode = Source->GetTransparentMode();
    const TColor color = Source->GetTransparentColor();
    {
        auto temp = std::make_unique<TBitmap>();
        temp->Assign(Source);
        Dest->Assign(temp.get());
    }
    // Colour first: setting a colour switches the mode to fixed.
    Dest->SetTransparentColor(color);
    Dest->SetTransparentMode(mode);
    quiet.finish(Notify);
}

void StretchBitmap(TBitmap* Source, TBitmap* Dest, int Width, int Height, int Method)
{
    QuietWriting quiet(Dest);
    Target target(Dest, Dest == Source);
    Source24 source(Source);
    TBitmap* from = source.get();
    TBitmap* to = target.get();

    const TTransparentMode mode = from->GetTransparentMode();
    const TColor color = from->GetTransparentColor();
    to->SetWidth(Width);
    to->SetHeight(Height);

    // An empty target (zero or negative size) has no pixels to work on, and the box
    // average would divide by its size.
    if (!to->GetEmpty()) {
        if (from->GetEmpty())
            FillBitmap(to, color);
        else if (Method == 0)
            to->Canvas()->StretchDraw(TRect(0, 0, Width, Height), from);
        else if (Method == 1)
            boxAverage(from, to, Width, Height);
    }

    source.work.reset();
    target.release();
    Dest->SetTransparentColor(color);
    Dest->SetTransparentMode(mode);
    quiet.finish();
}

void FillBitmap(TBitmap* Bitmap, TColor Color)
{
    QuietWriting quiet(Bitmap);
    const TPixelFormat format = Bitmap->GetPixelFormat();
    Bitmap->SetPixelFormat(pf24bit);
    TColorBytes bytes;
    ColorToBytes(Color, true, bytes);

    const int width = Bitmap->GetWidth();
    const int height = Bitmap->GetHeight();
    if (width > 0 && height > 0) {
        std::vector<uint8_t> line(size_t(width) * 3);
        for (size_t i = 0; i < line.size(); i += 3)
            std::memcpy(&line[i], bytes.data(), 3);
        for (int y = 0; y < height; ++y)
            std::memcpy(row(Bitmap, y), line.data(), line.size());
    }

    if (format != pf24bit)
        Bitmap->SetPixelFormat(format);
    quiet.finish();
}

// ---- Tint and blend ----

void ColorizeBitmap(TBitmap* Source, TBitmap* Dest, TColor Color)
{
    QuietWriting quiet(Dest);
    Target target(Dest, Dest == Source);
    Source24 source(Source);
    TBitmap* from = source.get();
    TBitmap* to = target.get();

    TColorBytes tint;
    ColorToBytes(Color, true, tint);
    // Every product v * factor is exact in extended precision (8 by 53 bits), so a table
    // per channel gives the truncated values bit for bit.
    uint8_t tables[3][256];
    FixedFactor fixed[3];
    bool allFixed = true;
    for (int c = 0; c < 3; ++c) {
        const double factor = double((long double)tint[c] * (1.0L / 255));
        for (int v = 0; v < 256; ++v)
            tables[c][v] = uint8_t((long double)v * (long double)factor);
        fixed[c] = fixedFactor(tables[c]);
        allFixed = allFixed && fixed[c].exact;
    }
    uint16_t mul[kBlock];
    uint8_t keep[kBlock];
    for (int j = 0; j < kBlock; ++j) {
        mul[j] = fixed[j % 3].mul;
        keep[j] = fixed[j % 3].keep;
    }

    to->SetWidth(from->GetWidth());
    to->SetHeight(from->GetHeight());
    const int bytes = to->GetWidth() * 3;
    for (int y = 0; y < to->GetHeight() && bytes > 0; ++y) {
        const uint8_t* s = row(from, y);
        uint8_t* d = row(to, y);
        if (allFixed)
            tintRowFixed(s, d, bytes, mul, keep, tables);
        else
            tintRowTable(s, d, bytes, tables);
    }

    source.work.reset();
    target.release();
    quiet.finish();
}

void BlendBitmaps(TBitmap* BitmapA, TBitmap* BitmapB, TBitmap* Dest, double WeightA, double WeightB)
{
    QuietWriting quiet(Dest);
    Target target(Dest, Dest == BitmapA || Dest == BitmapB);
    Source24 sourceA(BitmapA);
    Source24 sourceB(BitmapB);
    TBitmap* a = sourceA.get();
    TBitmap* b = sourceB.get();
    TBitmap* to = target.get();

    const int width = std::min(a->GetWidth(), b->GetWidth());
    const int height = std::min(a->GetHeight(), b->GetHeight());
    to->SetWidth(width);
    to->SetHeight(height);

    const BlendTerms terms(WeightA, WeightB);
    const int bytes = width * 3;
    if (width > 0 && height > 0) {
        if (int64_t(bytes) * height >= kBlendTableBytes) {
            // A picture of moderate size gets table rows only for the byte values that A
            // holds (artwork often holds few); on a large one that search would cost more
            // than the whole table.
            const bool search = int64_t(bytes) * height < kBlendSearchBytes;
            bool used[256];
            std::fill(std::begin(used), std::end(used), !search);
            std::vector<const uint8_t*> linesA(height);
            for (int y = 0; y < height; ++y) {
                linesA[y] = row(a, y);
                for (int i = 0; search && i < bytes; ++i)
                    used[linesA[y][i]] = true;
            }
            std::vector<uint8_t> table(256 * 256);
            for (int va = 0; va < 256; ++va)
                if (used[va])
                    terms.fillRow(uint8_t(va), &table[va << 8]);
            const uint8_t* t = table.data();
            for (int y = 0; y < height; ++y) {
                const uint8_t* pa = linesA[y];
                const uint8_t* pb = row(b, y);
                uint8_t* d = row(to, y);
                for (int i = 0; i < bytes; ++i)
                    d[i] = t[unsigned(pa[i]) << 8 | pb[i]];
            }
        } else {
            for (int y = 0; y < height; ++y) {
                const uint8_t* pa = row(a, y);
                const uint8_t* pb = row(b, y);
                uint8_t* d = row(to, y);
                for (int i = 0; i < bytes; ++i)
                    d[i] = terms.value(pa[i], pb[i]);
            }
        }
    }

    sourceA.work.reset();
    sourceB.work.reset();
    target.release();
    quiet.finish();
}

// ---- Palettes and conversion ----

HPALETTE CreateGreyPalette()
{
    std::array<PALETTEENTRY, 256> entries;
    for (int i = 0; i < 256; ++i)
        entries[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
    std::vector<uint8_t> buffer(offsetof(LOGPALETTE, palPalEntry) + sizeof entries);
    LOGPALETTE header{0x300, 256, {}};
    std::memcpy(buffer.data(), &header, offsetof(LOGPALETTE, palPalEntry));
    std::memcpy(buffer.data() + offsetof(LOGPALETTE, palPalEntry), entries.data(), sizeof entries);
    return CreatePalette(reinterpret_cast<const LOGPALETTE*>(buffer.data()));
}

void SetGreyPalette(TBitmap* Bitmap)
{
    // The bitmap hands its old palette over; nobody else holds it, so it is deleted here.
    HPALETTE old = Bitmap->ReleasePalette();
    Bitmap->SetPalette(CreateGreyPalette());
    if (old)
        DeleteObject(old);
}

void ConvertBitmap(TBitmap* Source, TBitmap* Dest, TPixelFormat PixelFormat, bool ReadPalette,
                   bool Grey)
{
    QuietWriting quiet(Dest);
    const int height = Source->GetHeight();
    const int width = Source->GetWidth();
    const TPixelFormat sourceFormat = Source->GetPixelFormat();

    std::unique_ptr<TBitmap> work;
    TBitmap* picture = Source;
    if (Grey || sourceFormat != pf24bit || Source == Dest) {
        work = std::make_unique<TBitmap>();
        work->SetPixelFormat(pf24bit);
        work->SetHeight(height);
        work->SetWidth(width);
        if (sourceFormat == pf8bit && !ReadPalette) {
            // The indexes themselves are the grey levels.
            for (int y = 0; y < height; ++y) {
                const uint8_t* s = row(Source, y);
                uint8_t* d = row(work.get(), y);
                for (int x = 0; x < width; ++x)
                    d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = s[x];
            }
        } else {
            TCanvas* from = Source->Canvas();
            TCanvas* to = work->Canvas();
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    to->SetPixel(x, y, from->GetPixel(x, y));
        }
        if (Grey)
            for (int y = 0; y < height; ++y) {
                uint8_t* d = row(work.get(), y);
                for (int x = 0; x < width; ++x) {
                    const int sum = d[3 * x] + d[3 * x + 1] + d[3 * x + 2];
                    d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = uint8_t(sum / 3);
                }
            }
        picture = work.get();
    }

    Dest->SetPixelFormat(PixelFormat);
    Dest->SetHeight(height);
    Dest->SetWidth(width);
    if (PixelFormat == pf8bit && Grey) {
        SetGreyPalette(Dest);
        for (int y = 0; y < height; ++y) {
            const uint8_t* s = row(picture, y);
            uint8_t* d = row(Dest, y);
            for (int x = 0; x < width; ++x)
                d[x] = s[3 * x];
        }
    } else {
        TCanvas* from = picture->Canvas();
        TCanvas* to = Dest->Canvas();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                to->SetPixel(x, y, from->GetPixel(x, y));
    }

    work.reset();
    quiet.finish();
}
