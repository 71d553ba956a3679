// Unit Regions.
#include "skins/Regions.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>


#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framework/Files.h"
#include "framework/TypeInfo.h"
#include "platform/FileApi.h"
#include "platform/Windows.h"
#include "skins/Bitmaps.h"

namespace {

constexpr int kHeaderBytes = 13;   // height, width, size flag, rectangle count
constexpr int kRectBytes = 16;
// Rectangles handled per piece when streaming or building regions, so buffers stay small and
// byte counts stay far inside int and DWORD.
constexpr int kRectChunk = 4096;

void putInt32(uint8_t* p, int32_t value)
{
    const auto u = uint32_t(value);
    p[0] = uint8_t(u);
    p[1] = uint8_t(u >> 8);
    p[2] = uint8_t(u >> 16);
    p[3] = uint8_t(u >> 24);
}

int32_t getInt32(const uint8_t* p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

[[noreturn]] void invalidData(const AnsiString& Why)
{
    throw EReadError("Region data is not valid: " + Why);
}

// One system region holding the union of many rectangles, built in a single pass instead of
// one union per rectangle (which costs the size of the growing region every time). Corners
// in either order are accepted, as CreateRectRgnIndirect does.
HRGN regionFromRects(const TRect* Rects, size_t Count)
{
    HRGN result = 0;
    std::vector<uint8_t> buffer;
    for (size_t done = 0; done < Count || !result;) {
        const size_t n = std::min(Count - done, size_t(kRectChunk) * 64);
        buffer.assign(sizeof(RGNDATAHEADER) + n * sizeof(RECT), 0);
        RGNDATAHEADER header{};
        header.dwSize = sizeof(RGNDATAHEADER);
        header.iType = RDH_RECTANGLES;
        header.nCount = DWORD(n);
        header.nRgnSize = DWORD(n * sizeof(RECT));
        std::memcpy(buffer.data(), &header, sizeof header);
        for (size_t i = 0; i < n; ++i) {
            const TRect& r = Rects[done + i];
            const RECT box{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom),
                           std::max(r.Left, r.Right), std::max(r.Top, r.Bottom)};
            std::memcpy(buffer.data() + sizeof(RGNDATAHEADER) + i * sizeof(RECT), &box, sizeof box);
        }
        HRGN piece = ExtCreateRegion(nullptr, DWORD(buffer.size()),
                                     reinterpret_cast<const RGNDATA*>(buffer.data()));
        if (!piece) {
            if (result)
                DeleteObject(result);
            throw EOutOfResources("Cannot create a region of " + std::to_string(Count) + " rectangles");
        }
        if (result) {
            CombineRgn(result, result, piece, RGN_OR);
            DeleteObject(piece);
        } else {
            result = piece;
        }
        done += n;
    }
    return result;
}

// The three colour bytes of a 24-bit pixel, in scan-line order.
struct PixelKey
{
    uint8_t b0, b1, b2;

    bool matches(const uint8_t* p) const { return p[0] == b0 && p[1] == b1 && p[2] == b2; }
};

// Finds the ends of opaque runs in 24-bit rows: pixel by pixel at the edges of a run, and
// sixteen pixels (48 bytes) per step inside one where SSE2 is there. Artwork has long runs,
// so a full-screen skin is scanned at close to the speed of reading its memory.
class RunFinder
{
public:
    explicit RunFinder(const PixelKey& Key) : fKey(Key)
    {
#if defined(__SSE2__)
        alignas(16) uint8_t pattern[48];
        for (int i = 0; i < 16; ++i) {
            pattern[3 * i] = Key.b0;
            pattern[3 * i + 1] = Key.b1;
            pattern[3 * i + 2] = Key.b2;
        }
        for (int j = 0; j < 3; ++j)
            fPattern[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(pattern + 16 * j));
#endif
    }

    // The first pixel from X on that matches the key (WantMatch) or does not; Width if none.
    template <bool WantMatch>
    int find(const uint8_t* Row, int X, int Width) const
    {
#if defined(__SSE2__)
        for (; X + 16 <= Width; X += 16) {
            const uint64_t match = matches16(Row + 3 * size_t(X));
            const uint64_t hits = WantMatch ? match : ~match & kPixelBits;
            if (hits)
                return X + __builtin_ctzll(hits) / 3;
        }
#endif
        while (X < Width && fKey.matches(Row + 3 * size_t(X)) != WantMatch)
            ++X;
        return X;
    }

private:
    PixelKey fKey;
#if defined(__SSE2__)
    static constexpr uint64_t kPixelBits = 0x0000249249249249ull;   // bit 3*i for pixel i

    // Bit 3*i is set when pixel i of the sixteen at P matches the key.
    uint64_t matches16(const uint8_t* P) const
    {
        uint64_t equal = 0;
        for (int j = 0; j < 3; ++j) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + 16 * j));
            const auto mask = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, fPattern[j])));
            equal |= uint64_t(mask) << (16 * j);
        }
        return equal & (equal >> 1) & (equal >> 2) & kPixelBits;
    }

    __m128i fPattern[3];
#endif
};

// Out-of-range products saturate rather than overflow.
int scaled(int Value, double Factor)
{
    const long double product = std::trunc((long double)Value * Factor);
    if (std::isnan(product))
        return 0;
    return int(std::clamp(product, (long double)INT_MIN, (long double)INT_MAX));
}

// Keeps change events off for a scope, and turns them back on even when the scope throws, so a
// failed Assign or SetBitmap cannot leave a region silent for good.
class ChangeEventsOff
{
public:
    explicit ChangeEventsOff(TRegion& Region) : fRegion(Region) { fRegion.SetEnableChangeEvent(false); }
    ~ChangeEventsOff() { fRegion.SetEnableChangeEvent(true); }
    ChangeEventsOff(const ChangeEventsOff&) = delete;
    ChangeEventsOff& operator=(const ChangeEventsOff&) = delete;

private:
    TRegion& fRegion;
};

AnsiString temporaryNameFor(const AnsiString& FileName)
{
    static std::atomic<unsigned> counter{0};
    return FileName + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + ".tmp";
}

}  // namespace

// ---- Construction ----

TClass TRegion::StaticClass()
{
    // The layout reader loads a picture into the bitmap itself; its change handler then
    // keeps it at 1 bit per pixel.
    static const TClass Class = TPublished<TRegion, TPersistent>("TRegion")
        .Property("Bitmap", &TRegion::GetBitmap, Stored(true))
        .Event("OnChange", &TRegion::FOnChange);
    return Class;
}

TRegion::TRegion()
{
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->SetPixelFormat(pf1bit);
    FBitmap->OnChange = BitmapHandler();
}

TRegion::TRegion(const TRect* Rects, int Count) : TRegion()
{
    SetRects(Rects, Count);
}

TRegion::~TRegion()
{
    if (FHandle)
        DeleteObject(FHandle);
}

TNotifyEvent TRegion::BitmapHandler()
{
    return [this](TObject* Sender) { BitmapChanged(Sender); };
}

// ---- Internals ----

void TRegion::Changed()
{
    FDataValid = false;
    Change();
}

void TRegion::DeleteHandle()
{
    if (FHandle)
        DeleteObject(FHandle);
    FHandle = 0;
    FDataValid = false;
}

void TRegion::RefreshData()
{
    FData.reset();
    FDataSize = 0;
    FRects = nullptr;
    FRectCount = 0;
    if (FHandle) {
        const DWORD size = GetRegionData(FHandle, 0, nullptr);
        if (size >= sizeof(RGNDATAHEADER)) {
            FData.reset(new uint8_t[size]);
            GetRegionData(FHandle, size, reinterpret_cast<RGNDATA*>(FData.get()));
            RGNDATAHEADER header;
            std::memcpy(&header, FData.get(), sizeof header);
            FDataSize = int32_t(size);
            FRects = reinterpret_cast<TRect*>(FData.get() + sizeof(RGNDATAHEADER));
            FRectCount = int32_t(header.nCount);
        }
    }
    FDataValid = true;
}

void TRegion::MakeEmptyIfNull()
{
    if (!FHandle)
        FHandle = CreateRectRgn(0, 0, 0, 0);
}

// Union and difference with many rectangles equal union and difference with their union, so
// both go through one region built at once. Intersection and exclusive-or apply rectangle by
// rectangle: intersecting with several rectangles keeps only what lies in all of them.
void TRegion::CombineRects(const TRect* Rects, int Count, int Mode)
{
    if (Mode == RGN_OR || Mode == RGN_DIFF) {
        HRGN operand = regionFromRects(Rects, size_t(Count));
        CombineRgn(FHandle, FHandle, operand, Mode);
        DeleteObject(operand);
        return;
    }
    for (int i = 0; i < Count; ++i) {
        const RECT r = Rects[i];
        HRGN operand = CreateRectRgnIndirect(&r);
        CombineRgn(FHandle, FHandle, operand, Mode);
        DeleteObject(operand);
    }
}

void TRegion::BitmapChanged(TObject*)
{
    if (FBitmap->GetPixelFormat() != pf1bit) {
        // Detached so that the conversion does not call back in here.
        FBitmap->OnChange = nullptr;
        struct Reattach
        {
            TRegion* Self;
            ~Reattach() { Self->FBitmap->OnChange = Self->BitmapHandler(); }
        } reattach{this};
        FBitmap->SetPixelFormat(pf1bit);
    }
    ConditionalChange();
}

// ---- Persistence of objects ----

void TRegion::Assign(TPersistent* Source)
{
    {
        ChangeEventsOff off(*this);
        if (auto* source = dynamic_cast<TRegion*>(Source)) {
            if (source != this) {
                DeleteHandle();
                Add(source);
                FHeight = source->FHeight;
                FWidth = source->FWidth;
                FSizeSet = source->FSizeSet;
            }
        } else {
            TPersistent::Assign(Source);
        }
    }
    ConditionalChange();
}

// ---- Properties ----

bool TRegion::GetIsNull() { return FHandle == 0; }

void TRegion::SetHeight(int Value)
{
    FHeight = Value;
    FSizeSet = true;
}

void TRegion::SetWidth(int Value)
{
    FWidth = Value;
    FSizeSet = true;
}

int TRegion::GetHeight() { return FSizeSet ? FHeight : GetBounds().Height(); }

int TRegion::GetWidth() { return FSizeSet ? FWidth : GetBounds().Width(); }

TRect TRegion::GetBounds()
{
    RECT box{};
    if (FHandle)
        GetRgnBox(FHandle, &box);
    return TRect(box);
}

TRect* TRegion::GetRects()
{
    if (!FDataValid)
        RefreshData();
    return FRects;
}

int TRegion::GetRectCount()
{
    if (!FDataValid)
        RefreshData();
    return FRectCount;
}

bool TRegion::GetEnableChangeEvent() { return FDisableChangeCount == 0; }

void TRegion::SetEnableChangeEvent(bool Value)
{
    if (!Value)
        ++FDisableChangeCount;
    else if (FDisableChangeCount > 0)
        --FDisableChangeCount;
}

TBitmap* TRegion::GetBitmap() { return FBitmap.get(); }

void TRegion::SetBitmap(TBitmap* Value)
{
    if (Value == FBitmap.get())
        return;
    {
        ChangeEventsOff off(*this);
        if (!Value) {
            FBitmap->SetWidth(0);
            FBitmap->SetHeight(0);
        } else {
            AssignBitmap(Value, FBitmap.get(), false);
        }
    }
    BitmapChanged(this);
}

// ---- Notification ----

void TRegion::ConditionalChange()
{
    if (GetEnableChangeEvent())
        Change();
}

void TRegion::Change()
{
    if (FOnChange)
        FOnChange(this);
}

// ---- Handles ----

void TRegion::SetRects(const TRect* Rects, int Count)
{
    DeleteHandle();
    Add(Rects, Count);
}

void TRegion::CopyHandle(HRGN& Dest)
{
    if (Dest)
        DeleteObject(Dest);
    Dest = 0;
    if (FHandle) {
        Dest = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(Dest, FHandle, 0, RGN_COPY);
    }
}

void TRegion::ApplyToWindow(HWND Wnd, bool Redraw)
{
    HRGN copy = 0;
    CopyHandle(copy);
    // Only a successful call hands the copy over.
    if (!SetWindowRgn(Wnd, copy, Redraw ? TRUE : FALSE) && copy)
        DeleteObject(copy);
}

void TRegion::BuildFromBitmap(TBitmap* Bitmap, bool AdoptSize, bool MoveToOrigin,
                              TColor TransparentColor, bool Invert)
{
    DeleteHandle();
    if (Bitmap) {
        if (AdoptSize)
            SetSize(Bitmap->GetWidth(), Bitmap->GetHeight());
        if (Bitmap->GetEmpty()) {
            FHandle = CreateRectRgn(0, 0, 0, 0);
        } else {
            std::unique_ptr<TBitmap> working;
            TBitmap* source = Bitmap;
            if (Bitmap->GetPixelFormat() != pf24bit) {
                working = std::make_unique<TBitmap>();
                AssignBitmap(Bitmap, working.get(), false);
                working->SetPixelFormat(pf24bit);
                source = working.get();
            }
            TColorBytes bytes;
            ColorToBytes(TransparentColor, true, bytes);
            const RunFinder finder(PixelKey{uint8_t(bytes[0]), uint8_t(bytes[1]), uint8_t(bytes[2])});
            // All runs are collected first and become one region in a single pass.
            std::vector<TRect> runs;
            const int width = source->GetWidth();
            const int height = source->GetHeight();
            for (int y = 0; y < height; ++y) {
                const auto* row = static_cast<const uint8_t*>(source->ScanLine(y));
                for (int x = 0; x < width;) {
                    const int start = finder.find<false>(row, x, width);
                    if (start == width)
                        break;
                    x = finder.find<true>(row, start, width);
                    runs.emplace_back(start, y, x, y + 1);
                }
            }
            FHandle = regionFromRects(runs.data(), runs.size());
            working.reset();
            if (MoveToOrigin)
                this->MoveToOrigin();
            if (Invert)
                this->Invert();
        }
    }
    Changed();
}

void TRegion::SetHandle(HRGN Source)
{
    // Our own handle would be deleted before it could be copied; it is already the region.
    if (Source && Source == FHandle)
        return;
    DeleteHandle();
    Add(Source);
}

bool TRegion::ContainsPoint(const TPoint& Point)
{
    return FHandle && PtInRegion(FHandle, Point.X, Point.Y);
}

// ---- Shape ----

void TRegion::Clear()
{
    DeleteHandle();
    Changed();
}

void TRegion::SetSize(int Width, int Height)
{
    FSizeSet = true;
    FHeight = Height;
    FWidth = Width;
    Changed();
}

void TRegion::MakeEmpty()
{
    DeleteHandle();
    FHandle = CreateRectRgn(0, 0, 0, 0);
    Changed();
}

void TRegion::Offset(int DX, int DY)
{
    if (!FHandle)
        return;
    OffsetRgn(FHandle, DX, DY);
    Changed();
}

void TRegion::MoveTo(int X, int Y)
{
    const TRect bounds = GetBounds();
    Offset(X - bounds.Left, Y - bounds.Top);
}

void TRegion::MoveToOrigin() { MoveTo(0, 0); }

// Notifies nobody: BuildFromBitmap, its caller, ends with a notification of its own.
void TRegion::Invert()
{
    if (!FHandle)
        return;
    const TRect bounds = GetBounds();
    HRGN box = CreateRectRgn(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom);
    CombineRgn(FHandle, FHandle, box, RGN_XOR);
    DeleteObject(box);
    FDataValid = false;
}

void TRegion::Scale(double ScaleX, double ScaleY)
{
    if (!FHandle)
        return;
    const int count = GetRectCount();
    if (!FData)
        return;
    for (int i = 0; i < count; ++i) {
        TRect& r = FRects[i];
        r.Left = scaled(r.Left, ScaleX);
        r.Top = scaled(r.Top, ScaleY);
        r.Right = scaled(r.Right, ScaleX);
        r.Bottom = scaled(r.Bottom, ScaleY);
    }
    DeleteHandle();
    auto* header = reinterpret_cast<RGNDATAHEADER*>(FData.get());
    header->iType = RDH_RECTANGLES;
    FHandle = ExtCreateRegion(nullptr, DWORD(FDataSize), reinterpret_cast<const RGNDATA*>(FData.get()));
    Changed();
}

// ---- Streams and files ----

void TRegion::SaveToStream(TStream* Stream)
{
    if (!Stream)
        throw EStreamError("No stream to save the region to");
    const int count = GetRectCount();
    const TRect* rects = GetRects();
    uint8_t header[kHeaderBytes];
    putInt32(header, FHeight);
    putInt32(header + 4, FWidth);
    header[8] = FSizeSet ? 1 : 0;
    putInt32(header + 9, count);
    Stream->WriteBuffer(header, kHeaderBytes);
    std::vector<uint8_t> chunk;
    for (int done = 0; done < count;) {
        const int n = std::min(count - done, kRectChunk);
        chunk.resize(size_t(n) * kRectBytes);
        for (int i = 0; i < n; ++i) {
            const TRect& r = rects[done + i];
            uint8_t* p = chunk.data() + size_t(i) * kRectBytes;
            putInt32(p, r.Left);
            putInt32(p + 4, r.Top);
            putInt32(p + 8, r.Right);
            putInt32(p + 12, r.Bottom);
        }
        Stream->WriteBuffer(chunk.data(), int(chunk.size()));
        done += n;
    }
}

// Everything is read and checked before the region is touched, so bad data leaves it as it was.
void TRegion::LoadFromStream(TStream* Stream)
{
    if (!Stream)
        throw EStreamError("No stream to load the region from");
    uint8_t header[kHeaderBytes];
    if (Stream->Read(header, kHeaderBytes) != kHeaderBytes)
        invalidData("the stream ends inside the " + std::to_string(kHeaderBytes) + "-byte header");
    const int32_t height = getInt32(header);
    const int32_t width = getInt32(header + 4);
    const bool sizeSet = header[8] != 0;
    const int32_t count = getInt32(header + 9);
    if (count < 0)
        invalidData("negative rectangle count " + std::to_string(count));
    // Streams that cannot tell their size (pipes) are caught by the short read below instead.
    const int64_t position = Stream->GetPosition();
    const int64_t size = Stream->GetSize();
    if (position >= 0 && size >= position && int64_t(count) * kRectBytes > size - position)
        invalidData("rectangle count " + std::to_string(count) + " exceeds the " +
                    std::to_string(size - position) + " bytes left in the stream");

    std::vector<TRect> rects;
    rects.reserve(size_t(std::min(count, kRectChunk * 16)));
    std::vector<uint8_t> chunk;
    for (int done = 0; done < count;) {
        const int n = std::min(count - done, kRectChunk);
        chunk.resize(size_t(n) * kRectBytes);
        const int got = Stream->Read(chunk.data(), int(chunk.size()));
        if (got != int(chunk.size()))
            invalidData("the stream ends after " + std::to_string(done + got / kRectBytes) + " of " +
                        std::to_string(count) + " rectangles");
        for (int i = 0; i < n; ++i) {
            const uint8_t* p = chunk.data() + size_t(i) * kRectBytes;
            rects.emplace_back(getInt32(p), getInt32(p + 4), getInt32(p + 8), getInt32(p + 12));
        }
        done += n;
    }
    SetRects(rects.data(), count);
    SetSize(width, height);
    FSizeSet = sizeSet;
}

void TRegion::SaveToFile(const AnsiString& FileName)
{
    const AnsiString folder = ExtractFilePath(FileName);
    if (!folder.empty() && !FolderExists(folder) && !CreateFolderTree(folder))
        throw EFCreateError("Cannot create folder \"" + folder + "\"");
    // Written beside the target and renamed over it: a failed save leaves the old file whole.
    const AnsiString temporary = temporaryNameFor(FileName);
    try {
        TFileStream file(temporary, fmCreate | fmShareExclusive);
        SaveToStream(&file);
        // Late write errors (full disk, network filesystems) surface here, before the rename.
        file.Flush();
    } catch (...) {
        DeleteFileA(temporary.c_str());
        throw;
    }
    if (!MoveFileExA(temporary.c_str(), FileName.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const int err = errno;
        DeleteFileA(temporary.c_str());
        throw EFCreateError("Cannot create file \"" + FileName + "\". " +
                            std::generic_category().message(err));
    }
}

void TRegion::LoadFromFile(const AnsiString& FileName)
{
    TFileStream file(FileName, fmOpenRead | fmShareExclusive);
    LoadFromStream(&file);
}

// ---- Combinations ----

void TRegion::Add(HRGN Source)
{
    if (!Source)
        return;
    MakeEmptyIfNull();
    CombineRgn(FHandle, FHandle, Source, RGN_OR);
    Changed();
}

void TRegion::Add(const TRect* Rects, int Count)
{
    if (Count <= 0 || !Rects)
        return;
    MakeEmptyIfNull();
    CombineRects(Rects, Count, RGN_OR);
    Changed();
}

void TRegion::Add(TRegion* Source)
{
    if (!Source)
        return;
    HRGN copy = 0;
    Source->CopyHandle(copy);
    if (!copy)
        return;
    Add(copy);
    DeleteObject(copy);
    Changed();
}

void TRegion::Subtract(HRGN Source)
{
    if (!FHandle || !Source)
        return;
    CombineRgn(FHandle, FHandle, Source, RGN_DIFF);
    Changed();
}

void TRegion::Subtract(const TRect* Rects, int Count)
{
    if (!FHandle || Count <= 0 || !Rects)
        return;
    CombineRects(Rects, Count, RGN_DIFF);
    Changed();
}

void TRegion::Subtract(TRegion* Source)
{
    if (!Source)
        return;
    const int count = Source->GetRectCount();
    Subtract(Source->GetRects(), count);
}

void TRegion::Intersect(HRGN Source, bool Exclusive)
{
    if (!FHandle || !Source)
        return;
    CombineRgn(FHandle, FHandle, Source, Exclusive ? RGN_XOR : RGN_AND);
    Changed();
}

void TRegion::Intersect(const TRect* Rects, int Count, bool Exclusive)
{
    if (!FHandle || Count <= 0 || !Rects)
        return;
    CombineRects(Rects, Count, Exclusive ? RGN_XOR : RGN_AND);
    Changed();
}

void TRegion::Intersect(TRegion* Source, bool Exclusive)
{
    if (!Source || !FHandle)
        return;
    HRGN copy = 0;
    Source->CopyHandle(copy);
    if (!copy)
        return;
    Intersect(copy, Exclusive);
    DeleteObject(copy);
    Changed();
}
