#include "avicap/CaptureError.h"

#include <cerrno>
#include <cstring>

#include "avicap/Vfw.h"

CaptureError captureFault(CaptureFault code, std::string text)
{
    CaptureError error;
    error.code = code;
    error.text = std::move(text);
    return error;
}

CaptureError captureFileError(CaptureFault code, int err, const std::string& what, const std::string& path)
{
    CaptureError error = captureFault(code, what + " \"" + path + "\": " + std::strerror(err));
    error.sysError = err;
    return error;
}

CaptureError cameraCallError(const std::string& call, const std::string& device, int err, bool lost)
{
    CaptureFault code = lost ? CaptureFault::CameraLost : CaptureFault::CameraFailed;
    switch (err) {
    case EBUSY: code = CaptureFault::CameraBusy; break;
    case EACCES:
    case EPERM: code = CaptureFault::CameraDenied; break;
    case ENOENT:
    case ENODEV:
    case ENXIO: code = lost ? CaptureFault::CameraLost : CaptureFault::CameraMissing; break;
    default: break;
    }
    CaptureError error = captureFault(code, call + " on " + device + ": " + std::strerror(err));
    error.sysError = err;
    error.call = call;
    return error;
}

int captureErrorId(const CaptureError& error)
{
    switch (error.code) {
    case CaptureFault::None: return 0;
    case CaptureFault::CameraMissing: return IDS_CAP_VIDEO_OPEN_ERROR;
    case CaptureFault::CameraBusy: return IDS_CAP_CAMERA_BUSY;
    case CaptureFault::CameraDenied: return IDS_CAP_CAMERA_DENIED;
    case CaptureFault::CameraUnsupported: return IDS_CAP_CAMERA_UNSUPPORTED;
    case CaptureFault::CameraFailed: return IDS_CAP_CAMERA_ERROR;
    case CaptureFault::CameraLost:
    case CaptureFault::NoFrame: return IDS_CAP_DRIVER_ERROR;
    case CaptureFault::SoundFailed: return IDS_CAP_WAVE_OPEN_ERROR;
    case CaptureFault::CannotCreate: return IDS_CAP_CANTOPEN;
    case CaptureFault::EncodeError: return IDS_CAP_COMPRESSOR_ERROR;
    case CaptureFault::OutOfMemory: return IDS_CAP_OUTOFMEM;
    case CaptureFault::WriteError:
    case CaptureFault::DiskFull:
    case CaptureFault::BadInput:
    case CaptureFault::FileTooLong: return IDS_CAP_WRITEERROR;
    }
    return IDS_CAP_DRIVER_ERROR;
}
