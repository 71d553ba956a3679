#pragma once
// The kernel's vivid test camera as /dev/video0, in the virtual machine of scripts/vm-tests.sh.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
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

// The id of vivid's control of that name on fd, 0 when it has none.
inline uint32_t controlId(int fd, const char* name)
{
    v4l2_queryctrl query{};
    query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (::ioctl(fd, VIDIOC_QUERYCTRL, &query) == 0) {
        if (std::strcmp(reinterpret_cast<const char*>(query.name), name) == 0)
            return query.id;
        query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    return 0;
}

// Sets (or, for a button, presses) the control of that name; false when there is none.
inline bool setControl(const char* name, int value)
{
    int fd = ::open("/dev/video0", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    v4l2_control control{controlId(fd, name), value};
    const bool set = control.id != 0 && ::ioctl(fd, VIDIOC_S_CTRL, &control) == 0;
    ::close(fd);
    return set;
}

// The value of the control of that name, or INT_MIN when it cannot be read.
inline int controlValue(const char* name)
{
    int fd = ::open("/dev/video0", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return INT_MIN;
    v4l2_control control{controlId(fd, name), 0};
    const bool read = control.id != 0 && ::ioctl(fd, VIDIOC_G_CTRL, &control) == 0;
    ::close(fd);
    return read ? control.value : INT_MIN;
}

// Presses vivid's "Disconnect" button, which unplugs the camera until nothing holds it open;
// false when it has none.
inline bool pressDisconnect() { return setControl("Disconnect", 1); }

// Takes the vivid module out of the kernel and loads it again from path (with the options
// in VIVID_OPTS, as the machine loaded it first): the same cards come back, as new devices
// with their defaults. The module goes only once nothing holds it open; false when it would
// not go or not load.
inline bool reloadModule(const char* path)
{
    bool removed = false;
    for (int attempt = 0; attempt < 50 && !removed; ++attempt) {
        removed = ::syscall(SYS_delete_module, "vivid", O_NONBLOCK) == 0;
        if (!removed)
            ::usleep(100000);
    }
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (!removed || fd < 0)
        return false;
    const char* options = std::getenv("VIVID_OPTS");
    const bool loaded = ::syscall(SYS_finit_module, fd, options ? options : "", 0) == 0;
    ::close(fd);
    for (int wait = 0; loaded && wait < 50 && !isFirstCamera(); ++wait)
        ::usleep(100000);
    return loaded && isFirstCamera();
}

}  // namespace vivid
