#include "avicap/v4l2/V4l2Device.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr V4l2Mode kNoMode{};

}  // namespace

bool isV4l2CaptureNode(const v4l2_capability& caps)
{
    const uint32_t node =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    return (node & V4L2_CAP_VIDEO_CAPTURE) && (node & V4L2_CAP_STREAMING);
}

std::string v4l2VersionText(const v4l2_capability& caps)
{
    return v4l2Text(caps.driver, sizeof caps.driver) + " " +
           std::to_string((caps.version >> 16) & 0xff) + "." +
           std::to_string((caps.version >> 8) & 0xff) + "." + std::to_string(caps.version & 0xff);
}

V4l2Device::V4l2Device(std::shared_ptr<V4l2System> system) : system_(std::move(system)) {}

V4l2Device::~V4l2Device()
{
    stopStreaming();
    std::lock_guard lock(mutex_);
    closeNode();
}

std::unique_ptr<V4l2Device> V4l2Device::open(std::shared_ptr<V4l2System> system,
                                             const std::string& path, CaptureError* error)
{
    if (!system)
        return nullptr;
    std::unique_ptr<V4l2Device> device(new V4l2Device(std::move(system)));
    CaptureError failure = device->initialise(path);
    if (error)
        *error = failure;
    if (failure.failed())
        return nullptr;
    return device;
}

CaptureError V4l2Device::callError(const char* call, int err) const
{
    return cameraCallError(call, path_, err);
}

CaptureError V4l2Device::notOpen() const
{
    return captureFault(CaptureFault::CameraLost, "The camera on " + path_ + " is not open");
}

CaptureError V4l2Device::initialise(const std::string& path)
{
    path_ = path;
    fd_ = system_->open(path);
    if (fd_ < 0)
        return callError("open", errno);
    v4l2_capability caps{};
    if (system_->ioctl(fd_, VIDIOC_QUERYCAP, &caps) != 0)
        return callError("VIDIOC_QUERYCAP", errno);
    if (!isV4l2CaptureNode(caps))
        return captureFault(CaptureFault::CameraMissing, path + " is not a camera");
    name_ = v4l2Text(caps.card, sizeof caps.card);
    version_ = v4l2VersionText(caps);
    identity_ = v4l2IdentityOf(caps);
    std::lock_guard lock(mutex_);
    // What the person chose for this camera in an earlier run, if the camera forgot it.
    chosen_ = storedV4l2Choice(identity_);
    restoreControls(true);
    modes_ = enumerateV4l2Modes(*system_, fd_);
    if (modes_.empty())
        return captureFault(CaptureFault::CameraUnsupported,
                            "The camera \"" + name_ + "\" on " + path + " offers no picture format Lumo free reads");
    if (CaptureError error = startMode(); error.failed())
        return error;
    restoreControls(false);
    return captureOk();
}

bool V4l2Device::offers(const V4l2Mode& mode) const
{
    return std::any_of(modes_.begin(), modes_.end(), [&](const V4l2Mode& m) {
        return m.fourcc == mode.fourcc && m.width == mode.width && m.height == mode.height;
    });
}

// The person's choice for this camera first; then the camera's present mode when it is one we
// can show; VGA (or the first) else.
CaptureError V4l2Device::startMode()
{
    V4l2Mode current;
    if (const auto& chosen = chosen_.mode; chosen && offers(*chosen)) {
        if (readFormat(current).ok() && sameV4l2Mode(current, *chosen)) {
            mode_ = current;
            return captureOk();
        }
        if (CaptureError error = applyMode(*chosen); error.ok())
            return captureOk();
        else
            std::fprintf(stderr, "Lumo free: the camera %s did not take its chosen format again: %s\n",
                         identity_.text().c_str(), error.text.c_str());
    }
    if (readFormat(current).ok() && V4l2Converter::supports(current.fourcc) && offers(current)) {
        mode_ = current;
        return captureOk();
    }
    const V4l2Mode* fallback = chooseV4l2Mode(modes_, {640, 480, 30});
    return applyMode(fallback ? *fallback : modes_.front());
}

// After an unplug: the node again, if it is the same camera and still takes our mode; a
// node that is not there (yet), or holds another camera, means the camera is still lost.
// Caller holds mutex_.
CaptureError V4l2Device::reopen()
{
    fd_ = system_->open(path_);
    if (fd_ < 0)
        return cameraCallError("open", path_, errno, true);
    v4l2_capability caps{};
    CaptureError error;
    if (system_->ioctl(fd_, VIDIOC_QUERYCAP, &caps) != 0) {
        error = cameraCallError("VIDIOC_QUERYCAP", path_, errno, true);
    } else if (const V4l2Identity found = v4l2IdentityOf(caps); !isV4l2CaptureNode(caps) || found != identity_) {
        error = captureFault(CaptureFault::CameraLost, path_ + " now holds " + found.text() + ", not the camera " +
                                                           identity_.text() + " that was lost");
        // Said once for each camera found there: the window looks again every few seconds.
        if (error.text != refused_)
            std::fprintf(stderr, "Lumo free: %s; still waiting for it\n", error.text.c_str());
        refused_ = error.text;
    } else {
        refused_.clear();
        restoreControls(true);
        error = applyMode(mode_);
        if (error.ok())
            restoreControls(false);
    }
    if (error.failed())
        closeNode();
    return error;
}

void V4l2Device::restoreControls(bool inputs)
{
    for (const auto& [id, value] : chosen_.controls) {
        if ((id == kV4l2InputControl) != inputs)
            continue;
        if (!setV4l2Control(*system_, fd_, id, value))
            std::fprintf(stderr, "Lumo free: the camera %s did not take %s = %d again; left as it is\n",
                         identity_.text().c_str(), v4l2ControlName(*system_, fd_, id).c_str(), value);
    }
}

void V4l2Device::closeNode()
{
    if (fd_ >= 0)
        system_->close(fd_);
    fd_ = -1;
}

CaptureError V4l2Device::readFormat(V4l2Mode& mode)
{
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (system_->ioctl(fd_, VIDIOC_G_FMT, &format) != 0)
        return callError("VIDIOC_G_FMT", errno);
    const v4l2_pix_format& pix = format.fmt.pix;
    if (pix.width == 0 || pix.height == 0 || pix.width > kMaxV4l2Side || pix.height > kMaxV4l2Side)
        return captureFault(CaptureFault::CameraUnsupported, "The camera on " + path_ + " answered a picture of " +
                                                                 std::to_string(pix.width) + " x " +
                                                                 std::to_string(pix.height));
    mode.fourcc = pix.pixelformat;
    mode.width = int(pix.width);
    mode.height = int(pix.height);
    bytesPerLine_ = pix.bytesperline;
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    mode.numerator = 1;
    mode.denominator = 30;
    if (system_->ioctl(fd_, VIDIOC_G_PARM, &parm) == 0 &&
        parm.parm.capture.timeperframe.numerator > 0 &&
        parm.parm.capture.timeperframe.denominator > 0) {
        mode.numerator = parm.parm.capture.timeperframe.numerator;
        mode.denominator = parm.parm.capture.timeperframe.denominator;
    }
    return captureOk();
}

CaptureError V4l2Device::applyMode(const V4l2Mode& wanted)
{
    if (fd_ < 0)
        return notOpen();
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = uint32_t(wanted.width);
    format.fmt.pix.height = uint32_t(wanted.height);
    format.fmt.pix.pixelformat = wanted.fourcc;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (system_->ioctl(fd_, VIDIOC_S_FMT, &format) != 0)
        return callError("VIDIOC_S_FMT", errno);
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (system_->ioctl(fd_, VIDIOC_G_PARM, &parm) == 0 &&
        (parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME)) {
        parm.parm.capture.timeperframe = {wanted.numerator, wanted.denominator};
        system_->ioctl(fd_, VIDIOC_S_PARM, &parm);   // a refused rate leaves the camera's own
    }
    V4l2Mode actual;
    CaptureError error = readFormat(actual);
    if (error.ok() && (actual.fourcc != wanted.fourcc || actual.width != wanted.width ||
                       actual.height != wanted.height))
        error = captureFault(CaptureFault::CameraUnsupported,
                             "The camera on " + path_ + " would not take " + v4l2FourccText(wanted.fourcc) + " " +
                                 std::to_string(wanted.width) + " x " + std::to_string(wanted.height));
    if (error.failed()) {
        // The driver picked something else: go back to what worked.
        if (mode_.fourcc != 0) {
            V4l2Mode previous = mode_;
            mode_ = kNoMode;
            (void)applyMode(previous);
            mode_ = previous;
        }
        return error;
    }
    mode_ = actual;
    return captureOk();
}

std::vector<CaptureFormat> V4l2Device::formats() const
{
    std::lock_guard lock(mutex_);
    return captureFormatsOf(modes_);
}

CaptureFormat V4l2Device::format() const
{
    std::lock_guard lock(mutex_);
    return {mode_.width, mode_.height, mode_.framesPerSecond()};
}

uint32_t V4l2Device::pixelFormat() const
{
    std::lock_guard lock(mutex_);
    return mode_.fourcc;
}

CaptureError V4l2Device::restartAround(const std::function<CaptureError()>& change)
{
    // Drivers refuse format and input changes while buffers exist.
    CaptureSink* sink = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (running_ && !failed_)
            sink = sink_;
    }
    if (sink)
        stopStreaming();
    CaptureError changed;
    {
        std::lock_guard lock(mutex_);
        changed = change();
    }
    // The sink was streaming: if the camera will not start again it hears so, as if the
    // camera had failed, rather than wait for frames that never come.
    if (sink)
        if (CaptureError restart = startStreaming(sink); restart.failed())
            sink->deviceFailed(restart);
    return changed;
}

CaptureError V4l2Device::setFormat(const CaptureFormat& format)
{
    V4l2Mode wanted;
    {
        std::lock_guard lock(mutex_);
        const V4l2Mode* mode = chooseV4l2Mode(modes_, format);
        if (!mode)
            return captureFault(CaptureFault::CameraUnsupported,
                                "The camera \"" + name_ + "\" offers no picture of " + std::to_string(format.width) +
                                    " x " + std::to_string(format.height));
        if (fd_ < 0)
            return notOpen();
        wanted = *mode;
    }
    return restartAround([&] {
        CaptureError error = applyMode(wanted);
        if (error.ok()) {
            chosen_.mode = mode_;
            storeV4l2Choice(identity_, chosen_);
        }
        return error;
    });
}

std::vector<CaptureControl> V4l2Device::controls() const
{
    std::lock_guard lock(mutex_);
    if (fd_ < 0)
        return {};
    return enumerateV4l2Controls(*system_, fd_);
}

bool V4l2Device::setControl(uint32_t id, int value)
{
    if (id != kV4l2InputControl) {
        std::lock_guard lock(mutex_);
        if (fd_ < 0 || !setV4l2Control(*system_, fd_, id, value))
            return false;
        if (isV4l2Setting(*system_, fd_, id))
            remember(id, value);
        return true;
    }
    // Another input may offer other modes.
    return restartAround([&] {
        if (fd_ < 0 || !setV4l2Control(*system_, fd_, id, value))
            return captureFault(CaptureFault::CameraFailed, "The camera on " + path_ + " refused the input");
        remember(id, value);
        modes_ = enumerateV4l2Modes(*system_, fd_);
        V4l2Mode current;
        if (readFormat(current).ok() && V4l2Converter::supports(current.fourcc)) {
            mode_ = current;
            return captureOk();
        }
        const V4l2Mode* fallback = chooseV4l2Mode(modes_, {640, 480, 30});
        if (!fallback && !modes_.empty())
            fallback = &modes_.front();
        if (!fallback)
            return captureFault(CaptureFault::CameraUnsupported,
                                "The camera's input offers no picture format Lumo free reads");
        return applyMode(*fallback);
    }).ok();
}

void V4l2Device::remember(uint32_t id, int value)
{
    rememberV4l2Control(chosen_.controls, id, value);
    storeV4l2Choice(identity_, chosen_);
}
