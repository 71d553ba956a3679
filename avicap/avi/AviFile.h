#pragma once
// The capture file as an append-only stream of complete records plus in-place patches of
// the header. end() is always the end of the last record written whole, so after a failed
// write the file can be cut back to it.
#include <sys/uio.h>

#include <cstdint>
#include <string>

#include "avicap/CaptureError.h"

class AviFile
{
public:
    AviFile() = default;
    AviFile(const AviFile&) = delete;
    AviFile& operator=(const AviFile&) = delete;
    ~AviFile();

    bool create(const std::string& path, CaptureError& error);
    // Appends the pieces as one record; on failure end() stays where it was.
    bool append(const iovec* parts, int count, CaptureError& error);
    bool append(const void* data, size_t size, CaptureError& error);
    bool patch(uint64_t offset, const void* data, size_t size, CaptureError& error);
    // Cuts the file back, freeing the space of a partly written record.
    bool truncate(uint64_t size, CaptureError& error);
    bool sync(CaptureError& error);
    void close();

    bool isOpen() const { return fd_ >= 0; }
    uint64_t end() const { return end_; }
    const std::string& path() const { return path_; }

private:
    CaptureError writeError(int err) const;

    int fd_ = -1;
    uint64_t end_ = 0;
    std::string path_;
    bool foldersSynced_ = false;   // the folders naming the file are on the disk
};
