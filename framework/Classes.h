#pragma once
// Unit Classes: points and rectangles, persistent objects and streams.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "framework/System.h"
#include "platform/WinTypes.h"

// ---------------------------------------------------------------------------------------------
// Points and rectangles
// ---------------------------------------------------------------------------------------------

struct TPoint
{
    int X = 0;
    int Y = 0;

    TPoint() = default;
    TPoint(int x, int y) : X(x), Y(y) {}
    TPoint(const POINT& p) : X(p.x), Y(p.y) {}
    operator POINT() const { return POINT{X, Y}; }

    bool operator==(const TPoint&) const = default;
};

// Same layout as the platform's RECT, so either can be handed where the other is expected.
struct TRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    TRect() = default;
    TRect(int l, int t, int r, int b) : Left(l), Top(t), Right(r), Bottom(b) {}
    TRect(const TPoint& topLeft, const TPoint& bottomRight)
        : Left(topLeft.X), Top(topLeft.Y), Right(bottomRight.X), Bottom(bottomRight.Y)
    {
    }
    TRect(const RECT& r) : Left(r.left), Top(r.top), Right(r.right), Bottom(r.bottom) {}
    operator RECT() const { return RECT{Left, Top, Right, Bottom}; }

    // Computed wide and wrapped back, so extreme corners never overflow a signed int.
    int Width() const { return int(int64_t(Right) - Left); }
    int Height() const { return int(int64_t(Bottom) - Top); }
    TPoint TopLeft() const { return TPoint(Left, Top); }
    TPoint BottomRight() const { return TPoint(Right, Bottom); }

    bool operator==(const TRect&) const = default;
};

static_assert(sizeof(TRect) == sizeof(RECT) && sizeof(TRect) == 16);
static_assert(std::is_standard_layout_v<TRect> && offsetof(TRect, Bottom) == offsetof(RECT, bottom));
static_assert(sizeof(TPoint) == sizeof(POINT));

inline TRect Rect(int Left, int Top, int Right, int Bottom) { return TRect(Left, Top, Right, Bottom); }
inline TPoint Point(int X, int Y) { return TPoint(X, Y); }

// ---------------------------------------------------------------------------------------------
// Persistent objects
// ---------------------------------------------------------------------------------------------

class TPersistent : public TObject
{
public:
    // Copies Source into this object; a class that cannot do it leaves the choice to Source.
    virtual void Assign(TPersistent* Source)
    {
        if (Source)
            Source->AssignTo(this);
        else
            AssignError(nullptr);
    }

    virtual AnsiString ClassName() const { return "TPersistent"; }

protected:
    // Last resort of Assign: neither side knows the other.
    virtual void AssignTo(TPersistent* Dest)
    {
        if (Dest)
            Dest->AssignError(this);
        else
            throw EConvertError("Cannot assign a " + ClassName() + " to a nil");
    }

    void AssignError(const TPersistent* Source) const
    {
        const AnsiString sourceName = Source ? Source->ClassName() : AnsiString("nil");
        throw EConvertError("Cannot assign a " + sourceName + " to a " + ClassName());
    }
};

// ---------------------------------------------------------------------------------------------
// Streams
// ---------------------------------------------------------------------------------------------

enum TSeekOrigin
{
    soBeginning,
    soCurrent,
    soEnd
};

// The older names of the origins.
constexpr TSeekOrigin soFromBeginning = soBeginning;
constexpr TSeekOrigin soFromCurrent = soCurrent;
constexpr TSeekOrigin soFromEnd = soEnd;

class TStream : public TObject
{
public:
    // Read and Write move as many bytes as they can and return how many moved.
    virtual int Read(void* Buffer, int Count) = 0;
    virtual int Write(const void* Buffer, int Count) = 0;
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

    int64_t GetPosition() { return Seek(0, soCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
    virtual int64_t GetSize();
    // Streams that cannot change their size ignore the request.
    virtual void SetSize(int64_t NewSize);

    // All or nothing: fewer bytes than asked raise EReadError / EWriteError.
    void ReadBuffer(void* Buffer, int Count);
    void WriteBuffer(const void* Buffer, int Count);

    // Copies Count bytes from Source's position; Count 0 copies all of Source from its start.
    int64_t CopyFrom(TStream* Source, int64_t Count);
};

// A stream over one block of memory; the subclass decides who owns the block.
class TCustomMemoryStream : public TStream
{
public:
    int Read(void* Buffer, int Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t GetSize() override { return FSize; }

    void* Memory() const { return FMemory; }
    void SaveToStream(TStream* Stream);
    void SaveToFile(const AnsiString& FileName);

protected:
    void SetPointer(void* Ptr, int64_t Size)
    {
        FMemory = static_cast<uint8_t*>(Ptr);
        FSize = Size;
    }

    uint8_t* FMemory = nullptr;
    int64_t FSize = 0;
    // May lie past the end or before the start; Read and Write then move nothing there.
    int64_t FPosition = 0;
};

class TMemoryStream : public TCustomMemoryStream
{
public:
    TMemoryStream() = default;
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    int Write(const void* Buffer, int Count) override;
    void SetSize(int64_t NewSize) override;

    void Clear();
    void LoadFromStream(TStream* Stream);
    void LoadFromFile(const AnsiString& FileName);

    int64_t GetCapacity() const { return FCapacity; }

private:
    void SetCapacity(int64_t NewCapacity);
    void Grow(int64_t MinCapacity);

    std::unique_ptr<uint8_t[]> FBlock;
    int64_t FCapacity = 0;
};

// File mode of TFileStream: one access mode, or-ed with one sharing mode; or fmCreate.
constexpr uint16_t fmCreate = 0xFF00;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// A stream over an open file descriptor, which the caller keeps owning.
class THandleStream : public TStream
{
public:
    explicit THandleStream(int AHandle) : FHandle(AHandle) {}

    int Read(void* Buffer, int Count) override;
    int Write(const void* Buffer, int Count) override;
    // Answers -1 when the descriptor cannot seek, as the classic stream does.
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;
    // Pushes written data to the device, so late write errors (a full disk) surface here.
    void Flush();

    int Handle() const { return FHandle; }

protected:
    int FHandle;
};

class TFileStream : public THandleStream
{
public:
    TFileStream(const AnsiString& FileName, uint16_t Mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    const AnsiString& FileName() const { return FFileName; }

private:
    AnsiString FFileName;
};
#include "framework/Lists.h"
#include "framework/Components.h"
