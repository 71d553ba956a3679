// Unit Classes: the streams.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/Classes.h"

namespace {

constexpr int64_t kMemoryDelta = 0x2000;
// Far beyond any real need; keeps capacity arithmetic clear of int64 overflow.
constexpr int64_t kMaxMemoryStreamSize = int64_t(1) << 46;
// Whole-block transfers go through the int-sized ReadBuffer/WriteBuffer in pieces.
constexpr int64_t kTransferChunk = int64_t(1) << 30;

[[noreturn]] void readError() { throw EReadError("Stream read error"); }
[[noreturn]] void writeError() { throw EWriteError("Stream write error"); }
[[noreturn]] void outOfMemory() { throw EStreamError("Out of memory while expanding memory stream"); }

int64_t seekBase(TSeekOrigin Origin, int64_t position, int64_t size)
{
    switch (Origin) {
    case soBeginning: return 0;
    case soCurrent: return position;
    case soEnd: return size;
    }
    throw EStreamError("Invalid seek origin");
}

AnsiString errorText(int err) { return std::generic_category().message(err); }

}  // namespace

// --- TStream --------------------------------------------------------------------------------

int64_t TStream::GetSize()
{
    const int64_t pos = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* Buffer, int Count)
{
    if (Count == 0)
        return;
    if (Count < 0 || !Buffer || Read(Buffer, Count) != Count)
        readError();
}

void TStream::WriteBuffer(const void* Buffer, int Count)
{
    if (Count == 0)
        return;
    if (Count < 0 || !Buffer || Write(Buffer, Count) != Count)
        writeError();
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count)
{
    if (!Source)
        throw EStreamError("No stream to copy from");
    if (Count == 0) {
        Source->SetPosition(0);
        Count = Source->GetSize();
    }
    if (Count < 0)
        readError();
    const int64_t result = Count;
    std::vector<uint8_t> buffer(size_t(std::min<int64_t>(Count, 0xF000)));
    while (Count > 0) {
        const int n = int(std::min<int64_t>(Count, int64_t(buffer.size())));
        Source->ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        Count -= n;
    }
    return result;
}

// --- TCustomMemoryStream --------------------------------------------------------------------

int TCustomMemoryStream::Read(void* Buffer, int Count)
{
    if (FPosition < 0 || Count <= 0 || !Buffer || FPosition >= FSize)
        return 0;
    const int n = int(std::min<int64_t>(FSize - FPosition, Count));
    std::memcpy(Buffer, FMemory + FPosition, size_t(n));
    FPosition += n;
    return n;
}

int64_t TCustomMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    int64_t target;
    if (__builtin_add_overflow(seekBase(Origin, FPosition, FSize), Offset, &target))
        throw EStreamError("Invalid stream position");
    FPosition = target;
    return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream* Stream)
{
    if (!Stream)
        throw EStreamError("No stream to save to");
    for (int64_t done = 0; done < FSize;) {
        const int n = int(std::min(FSize - done, kTransferChunk));
        Stream->WriteBuffer(FMemory + done, n);
        done += n;
    }
}

void TCustomMemoryStream::SaveToFile(const AnsiString& FileName)
{
    TFileStream file(FileName, fmCreate);
    SaveToStream(&file);
}

// --- TMemoryStream --------------------------------------------------------------------------

void TMemoryStream::SetCapacity(int64_t NewCapacity)
{
    if (NewCapacity == FCapacity)
        return;
    std::unique_ptr<uint8_t[]> block;
    if (NewCapacity > 0) {
        try {
            block.reset(new uint8_t[size_t(NewCapacity)]);
        } catch (const std::bad_alloc&) {
            outOfMemory();
        }
        if (FSize > 0)
            std::memcpy(block.get(), FMemory, size_t(std::min(FSize, NewCapacity)));
    }
    FBlock = std::move(block);
    FCapacity = NewCapacity;
    SetPointer(FBlock.get(), std::min(FSize, NewCapacity));
}

// Grows by a quarter at least, so many small writes stay linear overall.
void TMemoryStream::Grow(int64_t MinCapacity)
{
    if (MinCapacity > kMaxMemoryStreamSize)
        outOfMemory();
    int64_t capacity = std::max(MinCapacity, FCapacity + FCapacity / 4);
    capacity = std::min((capacity + kMemoryDelta - 1) & ~(kMemoryDelta - 1), kMaxMemoryStreamSize);
    SetCapacity(capacity);
}

int TMemoryStream::Write(const void* Buffer, int Count)
{
    if (FPosition < 0 || Count <= 0 || !Buffer)
        return 0;
    int64_t end;
    if (__builtin_add_overflow(FPosition, int64_t(Count), &end) || end > kMaxMemoryStreamSize)
        outOfMemory();
    if (end > FSize) {
        if (end > FCapacity)
            Grow(end);
        // Bytes skipped by a seek past the end read back as zeros.
        if (FPosition > FSize)
            std::memset(FMemory + FSize, 0, size_t(FPosition - FSize));
        FSize = end;
    }
    std::memcpy(FMemory + FPosition, Buffer, size_t(Count));
    FPosition = end;
    return Count;
}

void TMemoryStream::SetSize(int64_t NewSize)
{
    if (NewSize < 0)
        throw EStreamError("Invalid stream size");
    if (NewSize > kMaxMemoryStreamSize)
        outOfMemory();
    const int64_t oldSize = FSize;
    SetCapacity((NewSize + kMemoryDelta - 1) & ~(kMemoryDelta - 1));
    if (NewSize > oldSize)
        std::memset(FMemory + oldSize, 0, size_t(NewSize - oldSize));
    FSize = NewSize;
    if (FPosition > NewSize)
        FPosition = NewSize;
}

void TMemoryStream::Clear()
{
    SetCapacity(0);
    FSize = 0;
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream)
{
    if (!Stream)
        throw EStreamError("No stream to load from");
    if (Stream == this) {
        FPosition = 0;
        return;
    }
    Stream->SetPosition(0);
    const int64_t count = Stream->GetSize();
    SetSize(count);
    for (int64_t done = 0; done < count;) {
        const int n = int(std::min(count - done, kTransferChunk));
        Stream->ReadBuffer(FMemory + done, n);
        done += n;
    }
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const AnsiString& FileName)
{
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&file);
}

// --- THandleStream --------------------------------------------------------------------------

int THandleStream::Read(void* Buffer, int Count)
{
    if (Count <= 0 || !Buffer)
        return 0;
    auto* bytes = static_cast<uint8_t*>(Buffer);
    int done = 0;
    while (done < Count) {
        const ssize_t n = ::read(FHandle, bytes + done, size_t(Count - done));
        if (n > 0)
            done += int(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return done;
}

int THandleStream::Write(const void* Buffer, int Count)
{
    if (Count <= 0 || !Buffer)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(Buffer);
    int done = 0;
    while (done < Count) {
        const ssize_t n = ::write(FHandle, bytes + done, size_t(Count - done));
        if (n > 0)
            done += int(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;  // disk full, broken pipe, ...: the caller sees the short count
    }
    return done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    int whence = SEEK_SET;
    switch (Origin) {
    case soBeginning: whence = SEEK_SET; break;
    case soCurrent: whence = SEEK_CUR; break;
    case soEnd: whence = SEEK_END; break;
    default: throw EStreamError("Invalid seek origin");
    }
    return ::lseek(FHandle, off_t(Offset), whence);
}

void THandleStream::Flush()
{
    // Descriptors that cannot be synced (pipes, some devices) have nothing to push.
    if (::fsync(FHandle) != 0 && errno != EINVAL && errno != EROFS)
        throw EWriteError("Stream write error. " + errorText(errno));
}

void THandleStream::SetSize(int64_t NewSize)
{
    if (NewSize < 0)
        throw EStreamError("Invalid stream size");
    int rc;
    do {
        rc = ::ftruncate(FHandle, off_t(NewSize));
    } while (rc < 0 && errno == EINTR);
    if (rc < 0)
        throw EStreamError("Cannot change the stream size. " + errorText(errno));
    Seek(NewSize, soBeginning);
}

// --- TFileStream ----------------------------------------------------------------------------

namespace {

[[noreturn]] void fileError(bool create, const AnsiString& FileName, int err)
{
    if (create)
        throw EFCreateError("Cannot create file \"" + FileName + "\". " + errorText(err));
    throw EFOpenError("Cannot open file \"" + FileName + "\". " + errorText(err));
}

// Sharing modes become advisory locks: exclusive takes the file alone, the deny modes share it
// with each other but not with an exclusive user.
int lockFor(uint16_t share)
{
    switch (share) {
    case fmShareExclusive: return LOCK_EX;
    case fmShareDenyWrite:
    case fmShareDenyRead: return LOCK_SH;
    default: return 0;
    }
}

}  // namespace

TFileStream::TFileStream(const AnsiString& FileName, uint16_t Mode) : THandleStream(-1), FFileName(FileName)
{
    const bool create = (Mode & fmCreate) == fmCreate;
    const uint16_t share = Mode & 0x00F0;
    int flags = O_CLOEXEC;
    bool validMode = share <= fmShareDenyNone && FileName.find('\0') == AnsiString::npos;
    if (create) {
        flags |= O_RDWR | O_CREAT;
    } else {
        validMode = validMode && (Mode & 0xFF00) == 0;
        switch (Mode & 0x000F) {
        case fmOpenRead: flags |= O_RDONLY; break;
        case fmOpenWrite: flags |= O_WRONLY; break;
        case fmOpenReadWrite: flags |= O_RDWR; break;
        default: validMode = false;
        }
    }
    if (!validMode)
        fileError(create, FileName, EINVAL);

    int fd;
    do {
        fd = ::open(FileName.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        fileError(create, FileName, errno);

    auto fail = [&](int err) {
        ::close(fd);
        fileError(create, FileName, err);
    };
    struct stat st;
    if (::fstat(fd, &st) < 0)
        fail(errno);
    if (S_ISDIR(st.st_mode))
        fail(EISDIR);
    if (const int lock = lockFor(share)) {
        int rc;
        do {
            rc = ::flock(fd, lock | LOCK_NB);
        } while (rc < 0 && errno == EINTR);
        // Only a real conflict refuses the file; filesystems without locks just go unlocked.
        if (rc < 0 && errno == EWOULDBLOCK)
            fail(errno);
    }
    // Truncated only once the lock is held, so an exclusive user's file is never cut.
    if (create && S_ISREG(st.st_mode) && st.st_size != 0) {
        int rc;
        do {
            rc = ::ftruncate(fd, 0);
        } while (rc < 0 && errno == EINTR);
        if (rc < 0)
            fail(errno);
    }
    FHandle = fd;
}

TFileStream::~TFileStream()
{
    if (FHandle >= 0)
        ::close(FHandle);
}
