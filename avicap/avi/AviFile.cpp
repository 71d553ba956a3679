#include "avicap/avi/AviFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

AviFile::~AviFile() { close(); }

bool AviFile::create(const std::string& path, CaptureError& error)
{
    close();
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = captureFileError(CaptureFault::CannotCreate, errno, "Cannot create the capture file", path);
        return false;
    }
    end_ = 0;
    foldersSynced_ = false;
    return true;
}

CaptureError AviFile::writeError(int err) const
{
    // A size limit shows up as EFBIG; to the user it is the same as a full disk.
    bool full = err == ENOSPC || err == EFBIG || err == EDQUOT;
    return captureFileError(full ? CaptureFault::DiskFull : CaptureFault::WriteError, err,
                          full ? "The disk is full while writing" : "Cannot write", path_);
}

bool AviFile::append(const iovec* parts, int count, CaptureError& error)
{
    std::vector<iovec> left(parts, parts + count);
    size_t first = 0;
    uint64_t at = end_;
    while (first < left.size()) {
        ssize_t n = ::pwritev(fd_, left.data() + first, int(left.size() - first), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A short write followed by a refusal: report the refusal (ENOSPC if none given).
            error = writeError(n < 0 ? errno : ENOSPC);
            return false;
        }
        at += uint64_t(n);
        size_t done = size_t(n);
        while (first < left.size() && done >= left[first].iov_len)
            done -= left[first++].iov_len;
        if (first < left.size()) {
            left[first].iov_base = static_cast<char*>(left[first].iov_base) + done;
            left[first].iov_len -= done;
        }
    }
    end_ = at;
    return true;
}

bool AviFile::append(const void* data, size_t size, CaptureError& error)
{
    iovec part{const_cast<void*>(data), size};
    return append(&part, 1, error);
}

bool AviFile::patch(uint64_t offset, const void* data, size_t size, CaptureError& error)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(fd_, p, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = writeError(n < 0 ? errno : ENOSPC);
            return false;
        }
        p += n;
        offset += uint64_t(n);
        size -= size_t(n);
    }
    return true;
}

bool AviFile::truncate(uint64_t size, CaptureError& error)
{
    if (::ftruncate(fd_, off_t(size)) != 0) {
        error = writeError(errno);
        return false;
    }
    end_ = size;
    return true;
}

namespace {

// A new file's name, and a new folder's, live in the folder above it until that folder is
// synced too. Best effort: some file systems cannot sync a folder, and the file's own sync
// is what reports a failing disk.
void syncFoldersAbove(const std::string& path)
{
    for (std::string folder = path; ;) {
        const size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos)
            return;
        folder.resize(slash == 0 ? 1 : slash);
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        if (folder == "/")
            return;
    }
}

}   // namespace

bool AviFile::sync(CaptureError& error)
{
    if (::fdatasync(fd_) != 0) {
        error = writeError(errno);
        return false;
    }
    if (!foldersSynced_) {
        syncFoldersAbove(path_);
        foldersSynced_ = true;
    }
    return true;
}

void AviFile::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
