#pragma once
// The kernel's vivid test camera as /dev/video0, in the virtual machine of scripts/vm-tests.sh.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

namespace vivid {

// Whether /dev/video0 is vivid; tests against it skip anywhere else.
inline bool isFirstCamera()
{
    int fd = ::open("/dev/video0", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    v4l2_capability caps{};
    const bool vivid = ::ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0 &&
                       std::strcmp(reinterpret_cast<const char*>(caps.driver), "vivid") == 0;
    ::close(fd);
    return vivid;
}

// Presses vivid's "Disconnect" button, which unplugs the camera until nothing holds it open;
// false when it has none.
inline bool pressDisconnect()
{
    int fd = ::open("/dev/video0", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool pressed = false;
    v4l2_queryctrl query{};
    query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (::ioctl(fd, VIDIOC_QUERYCTRL, &query) == 0) {
        if (std::strcmp(reinterpret_cast<const char*>(query.name), "Disconnect") == 0) {
            v4l2_control control{query.id, 1};
            pressed = ::ioctl(fd, VIDIOC_S_CTRL, &control) == 0;
            break;
        }
        query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    ::close(fd);
    return pressed;
}

}  // namespace vivid
