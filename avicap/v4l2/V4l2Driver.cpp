#include "avicap/v4l2/V4l2Driver.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>

#include "avicap/v4l2/V4l2Device.h"
#include "avicap/v4l2/V4l2Formats.h"

int v4l2NodeNumber(const std::string& path)
{
    static const std::string prefix = "/dev/video";
    if (path.size() <= prefix.size() || path.size() > prefix.size() + 6 ||
        path.compare(0, prefix.size(), prefix) != 0)
        return -1;
    int number = 0;
    for (size_t i = prefix.size(); i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '9')
            return -1;
        number = number * 10 + (path[i] - '0');
    }
    return number;
}

V4l2Driver::V4l2Driver(std::shared_ptr<V4l2System> system) : system_(std::move(system)) {}

std::vector<V4l2Driver::Node> V4l2Driver::list()
{
    std::vector<std::pair<int, std::string>> numbered;
    for (const std::string& path : system_->videoNodes())
        if (int number = v4l2NodeNumber(path); number >= 0)
            numbered.emplace_back(number, path);
    std::sort(numbered.begin(), numbered.end());
    std::vector<Node> nodes;
    for (const auto& [number, path] : numbered) {
        if (nodes.size() >= size_t(kMaxCaptureDrivers - 1))
            break;
        int fd = system_->open(path);
        if (fd < 0) {
            // Offered, with what stands in the way, when the kernel names the camera.
            const int error = errno;
            const std::string name = system_->nodeName(path);
            if (!name.empty() && (error == EACCES || error == EPERM || error == EBUSY))
                nodes.push_back({path, {name, "", error == EBUSY ? CaptureDeviceInfo::Busy : CaptureDeviceInfo::NoAccess}});
            continue;
        }
        v4l2_capability caps{};
        if (system_->ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0 && isV4l2CaptureNode(caps))
            nodes.push_back({path, {v4l2Text(caps.card, sizeof caps.card), v4l2VersionText(caps),
                                    heldElsewhere(fd, path) ? CaptureDeviceInfo::Busy : CaptureDeviceInfo::Ready}});
        system_->close(fd);
    }
    return nodes;
}

std::vector<CaptureDeviceInfo> V4l2Driver::devices()
{
    std::vector<CaptureDeviceInfo> infos;
    for (const Node& node : list())
        infos.push_back(node.info);
    return infos;
}

// Asking for no buffers changes nothing, and is refused while another open file of the
// node owns its buffers: another program streams from it.
bool V4l2Driver::heldElsewhere(int fd, const std::string& path)
{
    if (V4l2Device::streamingHere(system_.get(), path))
        return false;
    v4l2_requestbuffers request{};
    request.count = 0;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    return system_->ioctl(fd, VIDIOC_REQBUFS, &request) != 0 && errno == EBUSY;
}

CaptureOpening V4l2Driver::open(size_t index)
{
    std::vector<Node> nodes = list();
    if (index >= nodes.size())
        return {nullptr, captureFault(CaptureFault::CameraMissing, "There is no camera " + std::to_string(index))};
    CaptureError error;
    std::unique_ptr<CaptureDevice> device = V4l2Device::open(system_, nodes[index].path, &error);
    return {std::move(device), error};
}
