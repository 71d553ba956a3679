#pragma once
// What went wrong anywhere in capture (camera, sound, file), as one value: the kind of
// trouble, the system call and errno that said so, and a sentence naming both, such as
// "VIDIOC_STREAMON on /dev/video0: Device or resource busy". A default value is success.
// Functions return it where a bare boolean would lose the reason; the capture window turns
// it into the interface's error ids in one place (captureErrorId).
#include <string>

enum class CaptureFault
{
    None,
    // The camera.
    CameraMissing,       // nothing at that place (no such node, or not a camera)
    CameraBusy,          // another program is using it
    CameraDenied,        // this user may not open it
    CameraUnsupported,   // it offers no picture format the program reads
    CameraLost,          // it went away or failed while in use (unplugged, driver error)
    CameraFailed,        // it refused something else
    NoFrame,             // no picture came in time
    // Sound.
    SoundFailed,
    // The capture file.
    CannotCreate,   // the file could not be created (missing or read-only folder...)
    WriteError,     // the disk refused a write
    DiskFull,       // no space left, quota or file size limit reached
    BadInput,       // a frame or buffer of the wrong size or a malformed JPEG
    EncodeError,    // the compressor could not be started
    FileTooLong,    // the index has no room left for another part
    OutOfMemory,    // no memory to go on writing
};

struct [[nodiscard]] CaptureError
{
    CaptureFault code = CaptureFault::None;
    int sysError = 0;   // errno, when the system reported one
    std::string text;   // for the person and the log
    std::string call;   // the system call that failed, when one did

    bool failed() const { return code != CaptureFault::None; }
    bool ok() const { return code == CaptureFault::None; }
};

inline CaptureError captureOk() { return {}; }
CaptureError captureFault(CaptureFault code, std::string text);
// "<what> "<path>": <strerror>", for the capture file.
CaptureError captureFileError(CaptureFault code, int err, const std::string& what, const std::string& path);
// "<call> on <device>: <strerror>", with the fault errno means for a camera: busy, denied,
// missing; anything else is a refusal (or a loss, when lost is set: the camera was in use).
CaptureError cameraCallError(const std::string& call, const std::string& device, int err, bool lost = false);
// The error id the capture interface reports for it (IDS_CAP_*), 0 for success.
int captureErrorId(const CaptureError& error);
