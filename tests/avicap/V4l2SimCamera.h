#pragma once
// A simulated V4L2 kernel behind the driver's system-call seam: camera nodes with formats,
// controls and inputs, memory-mapped buffers that the test fills one frame at a time, and
// unplugging (every call then fails with ENODEV, poll reports POLLERR).
#include <linux/videodev2.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "avicap/v4l2/V4l2System.h"

struct SimFormat
{
    uint32_t fourcc = V4L2_PIX_FMT_YUYV;
    std::vector<std::pair<int, int>> sizes;   // discrete sizes
    std::vector<int> rates{30};               // discrete rates for every size
    bool stepwise = false;                    // sizes[0]..sizes[1] in steps of 8
};

struct SimControl
{
    v4l2_queryctrl query{};
    int value = 0;
    std::map<uint32_t, std::string> menu;
};

struct SimNode
{
    uint32_t caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::string card = "Sim Camera";
    std::string driver = "simcam";
    std::string busInfo = "usb-sim-1";
    std::vector<SimFormat> formats{{V4L2_PIX_FMT_YUYV, {{640, 480}}, {30}}};
    std::vector<SimControl> controls;
    std::vector<std::string> inputs;
    bool openFails = false;
    int openErrno = 0;            // open fails with this (EACCES, EBUSY) when set
    bool heldElsewhere = false;   // another program streams: buffers and formats answer EBUSY
    int streamOnErrno = 0;        // STREAMON fails with this when set
    // State.
    uint32_t fourcc = 0;
    int width = 0, height = 0;
    uint32_t bytesPerLine = 0;
    v4l2_fract interval{1, 30};
    int input = 0;
    bool plugged = true;
    bool streaming = false;
    int dqbufErrno = 0;   // an injected DQBUF failure
    // Driver faults.
    bool endlessFormats = false;
    uint32_t grantedBuffers = 0;   // REQBUFS answers this count when set
    bool mmapFails = false;
    uint32_t bufferBytes = 0;      // REQBUFS makes buffers of this size when set
    bool badIndex = false;         // DQBUF names a buffer that does not exist
    std::vector<std::vector<uint8_t>> buffers;
    std::deque<uint32_t> queued, done;
    std::map<uint32_t, uint32_t> bytesUsed;
    int streamOns = 0, sParms = 0;
};

class SimV4l2 : public V4l2System
{
public:
    std::map<std::string, SimNode> nodes;
    std::map<int, std::string> open_;   // fd -> path
    int maps = 0, unmaps = 0;
    std::mutex mutex;
    std::condition_variable wake;

    SimNode& node(const std::string& path) { return nodes[path]; }
    int openCount(const std::string& path)
    {
        std::lock_guard lock(mutex);
        return int(std::count_if(open_.begin(), open_.end(), [&](auto& e) { return e.second == path; }));
    }

    // Fills the oldest queued buffer; false when the driver has none queued.
    bool pushFrame(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::lock_guard lock(mutex);
        SimNode& n = nodes[path];
        if (!n.streaming || n.queued.empty())
            return false;
        uint32_t index = n.queued.front();
        n.queued.pop_front();
        std::vector<uint8_t>& buffer = n.buffers[index];
        size_t count = std::min(bytes.size(), buffer.size());
        std::copy(bytes.begin(), bytes.begin() + long(count), buffer.begin());
        n.bytesUsed[index] = uint32_t(count);
        n.done.push_back(index);
        wake.notify_all();
        return true;
    }
    // Pushes, retrying until the driver has queued a buffer again.
    bool pushFrameWait(const std::string& path, const std::vector<uint8_t>& bytes, int timeoutMs = 2000)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!pushFrame(path, bytes))
            if (std::chrono::steady_clock::now() > until)
                return false;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }
    // Waits until the driver has taken every filled buffer and queued it again, so the frames
    // pushed so far were delivered (and stamped) before a test moves its clock on.
    bool waitTaken(const std::string& path, int timeoutMs = 2000)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            {
                std::lock_guard lock(mutex);
                SimNode& n = nodes[path];
                if (!n.streaming || (n.done.empty() && n.queued.size() == n.buffers.size()))
                    return true;
            }
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void unplug(const std::string& path)
    {
        std::lock_guard lock(mutex);
        nodes[path].plugged = false;
        wake.notify_all();
    }
    void replug(const std::string& path)
    {
        std::lock_guard lock(mutex);
        SimNode& n = nodes[path];
        n.plugged = true;
        n.streaming = false;
        n.buffers.clear();
        n.queued.clear();
        n.done.clear();
    }

    std::vector<std::string> videoNodes() override
    {
        std::lock_guard lock(mutex);
        std::vector<std::string> paths;
        for (auto& [path, n] : nodes)
            if (n.plugged)
                paths.push_back(path);
        return paths;
    }
    int open(const std::string& path) override
    {
        std::lock_guard lock(mutex);
        auto it = nodes.find(path);
        if (it == nodes.end() || !it->second.plugged || it->second.openFails) {
            errno = ENOENT;
            return -1;
        }
        if (it->second.openErrno) {
            errno = it->second.openErrno;
            return -1;
        }
        int fd = nextFd_++;
        open_[fd] = path;
        return fd;
    }
    int close(int fd) override
    {
        std::lock_guard lock(mutex);
        if (!open_.erase(fd)) {
            errno = EBADF;
            return -1;
        }
        return 0;
    }
    void* mmap(size_t length, int fd, int64_t offset) override
    {
        std::lock_guard lock(mutex);
        SimNode* n = nodeOf(fd);
        if (!n || !n->plugged || n->mmapFails || offset < 0 || size_t(offset) >= n->buffers.size() ||
            length != n->buffers[size_t(offset)].size()) {
            errno = EINVAL;
            return nullptr;
        }
        ++maps;
        return n->buffers[size_t(offset)].data();
    }
    int munmap(void*, size_t) override
    {
        std::lock_guard lock(mutex);
        ++unmaps;
        return 0;
    }
    int poll(int fd, int timeoutMs, short& revents) override
    {
        std::unique_lock lock(mutex);
        SimNode* n = nodeOf(fd);
        auto ready = [&] { return !n || !n->plugged || !n->done.empty() || n->dqbufErrno; };
        wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        revents = 0;
        if (!n || !n->plugged)
            revents = POLLERR | POLLHUP;
        else if (!n->done.empty() || n->dqbufErrno)
            revents = POLLIN;
        return revents ? 1 : 0;
    }
    int ioctl(int fd, unsigned long request, void* arg) override;
    std::string nodeName(const std::string& path) override
    {
        std::lock_guard lock(mutex);
        auto it = nodes.find(path);
        return it == nodes.end() || !it->second.plugged ? std::string() : it->second.card;
    }

private:
    SimNode* nodeOf(int fd)
    {
        auto it = open_.find(fd);
        return it == open_.end() ? nullptr : &nodes[it->second];
    }
    int fail(int error)
    {
        errno = error;
        return -1;
    }
    int handle(SimNode& n, unsigned long request, void* arg);
    int nextFd_ = 100;
};
