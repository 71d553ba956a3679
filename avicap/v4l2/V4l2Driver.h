#pragma once
// The real cameras: every /dev/video<N> node that captures video, in device-number order,
// at most kMaxCaptureDrivers - 1 so the test pattern keeps its place. Listed anew at each
// call, so a camera plugged in or out shows at the next listing. A camera another program
// streams from is listed busy; one this user may not open is listed by the kernel's name
// for it, with no access.
#include <memory>
#include <string>
#include <vector>

#include "avicap/CaptureDriver.h"
#include "avicap/v4l2/V4l2System.h"

class V4l2Driver : public CaptureDriver
{
public:
    explicit V4l2Driver(std::shared_ptr<V4l2System> system = realV4l2System());
    std::vector<CaptureDeviceInfo> devices() override;
    CaptureOpening open(size_t index) override;

private:
    struct Node
    {
        std::string path;
        CaptureDeviceInfo info;
    };
    std::vector<Node> list();
    bool heldElsewhere(int fd, const std::string& path);

    std::shared_ptr<V4l2System> system_;
};

// The number N of "/dev/videoN", or -1 for any other name.
int v4l2NodeNumber(const std::string& path);
