#pragma once
// What went wrong while creating or writing a capture file: a code for the capture window
// to map onto its error ids, the system error number and a sentence for the user.
#include <string>

enum class AviErrorCode
{
    None,
    CannotCreate,   // the file could not be created (missing or read-only folder...)
    WriteError,     // the disk refused a write
    DiskFull,       // no space left, quota or file size limit reached
    BadInput,       // a frame or buffer of the wrong size or a malformed JPEG
    EncodeError,    // the compressor could not be started
    FileTooLong,    // the index has no room left for another part
    OutOfMemory,    // no memory to go on writing
};

struct AviError
{
    AviErrorCode code = AviErrorCode::None;
    int sysError = 0;   // errno, when the system reported one
    std::string text;

    explicit operator bool() const { return code != AviErrorCode::None; }
};

// Builds an error from errno with the file name in the text.
AviError aviSystemError(AviErrorCode code, int err, const std::string& what, const std::string& path);
