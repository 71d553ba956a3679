// The V4L2 driver against a kernel whose every answer comes from the input: each call takes
// a byte that says whether it fails, and then bytes that overwrite what it hands back
// (capabilities, format and size lists, rates, controls, menus, buffer counts and lengths).
#include <linux/videodev2.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "avicap/v4l2/V4l2Convert.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "fuzz/FuzzInput.h"

namespace {

class HostileV4l2 : public V4l2System
{
public:
    explicit HostileV4l2(FuzzInput& input) : input_(input) {}

    std::vector<std::string> videoNodes() override { return {"/dev/video0", "/dev/video1"}; }
    int open(const std::string&) override { return answer() ? 3 : fail(ENODEV); }
    int close(int) override { return 0; }
    int ioctl(int, unsigned long request, void* arg) override
    {
        std::lock_guard lock(mutex_);
        if (input_.empty())
            return fail(EINVAL);   // the end of the input ends every enumeration
        const uint8_t how = input_.take<uint8_t>();
        if (how & 0x80)
            return fail(how & 0x40 ? ENODEV : EINVAL);
        const size_t size = _IOC_SIZE(request);
        // Mostly the kernel keeps the index and type it was asked about.
        const size_t keep = (how & 0x40) ? 0 : std::min<size_t>(size, 8);
        input_.fill(static_cast<uint8_t*>(arg) + keep, size - keep);
        return 0;
    }
    void* mmap(size_t length, int, int64_t) override
    {
        if (length == 0 || length > (size_t(64) << 20))
            return nullptr;
        void* p = ::operator new(length);
        std::memset(p, 0x80, length);
        std::lock_guard lock(mutex_);
        maps_[p] = length;
        return p;
    }
    int munmap(void* address, size_t length) override
    {
        std::lock_guard lock(mutex_);
        auto it = maps_.find(address);
        if (it == maps_.end() || it->second != length)
            __builtin_trap();   // unmapping something never mapped, or with another length
        maps_.erase(it);
        ::operator delete(address);
        return 0;
    }
    int poll(int, int, short& revents) override
    {
        revents = answer() ? POLLIN : POLLERR;
        return 1;
    }
    ~HostileV4l2() override
    {
        if (!maps_.empty())
            __builtin_trap();   // a buffer left mapped
    }

private:
    bool answer()
    {
        std::lock_guard lock(mutex_);
        return input_.empty() || !(input_.take<uint8_t>() & 0x80);
    }
    int fail(int error)
    {
        errno = error;
        return -1;
    }

    FuzzInput& input_;
    std::mutex mutex_;
    std::map<void*, size_t> maps_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t plan = input.take<uint8_t>();
    auto system = std::make_shared<HostileV4l2>(input);
    {
        V4l2Driver driver(system);
        std::vector<CaptureDeviceInfo> devices = driver.devices();
        if (devices.size() > 2)
            __builtin_trap();   // two nodes, never more devices
        std::unique_ptr<CaptureDevice> device = driver.open(plan & 1).device;
        if (device) {
            std::vector<CaptureFormat> formats = device->formats();
            for (const CaptureFormat& f : formats)
                if (f.width <= 0 || f.height <= 0 || f.width > kMaxV4l2Side || f.height > kMaxV4l2Side)
                    __builtin_trap();
            if (!formats.empty())
                (void)device->setFormat(formats[plan % formats.size()]);
            for (const CaptureControl& c : device->controls())
                device->setControl(c.id, c.maximum);
            if (plan & 2) {
                CaptureFrame frame;
                if (device->grabFrame(frame, 5).ok() &&
                    frame.pixels.size() != size_t(frame.width) * size_t(frame.height) * 3)
                    __builtin_trap();
            }
        }
    }
    return 0;
}
