#include "avicap/v4l2/V4l2System.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

class RealV4l2System : public V4l2System
{
public:
    std::vector<std::string> videoNodes() override
    {
        std::vector<std::string> nodes;
        DIR* dir = opendir("/dev");
        if (!dir)
            return nodes;
        while (dirent* entry = readdir(dir))
            if (std::strncmp(entry->d_name, "video", 5) == 0)
                nodes.push_back(std::string("/dev/") + entry->d_name);
        closedir(dir);
        return nodes;
    }

    int open(const std::string& path) override
    {
        return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }

    int close(int fd) override { return ::close(fd); }

    int ioctl(int fd, unsigned long request, void* arg) override
    {
        int result;
        do
            result = ::ioctl(fd, request, arg);
        while (result == -1 && errno == EINTR);
        return result;
    }

    void* mmap(size_t length, int fd, int64_t offset) override
    {
        void* address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, off_t(offset));
        return address == MAP_FAILED ? nullptr : address;
    }

    int munmap(void* address, size_t length) override { return ::munmap(address, length); }

    int poll(int fd, int timeoutMs, short& revents) override
    {
        pollfd entry{fd, POLLIN, 0};
        int result = ::poll(&entry, 1, timeoutMs);
        revents = result > 0 ? entry.revents : 0;
        if (result == -1 && errno == EINTR)
            return 0;   // a signal is not a device error: the caller polls again
        return result;
    }

    // sysfs is readable by everyone; index 0 is a camera's picture node, the others carry
    // its metadata.
    std::string nodeName(const std::string& path) override
    {
        const std::string node = path.substr(path.rfind('/') + 1);
        const std::string dir = "/sys/class/video4linux/" + node + "/";
        if (readLine(dir + "index") != "0")
            return {};
        return readLine(dir + "name");
    }

private:
    static std::string readLine(const std::string& path)
    {
        std::ifstream in(path);
        std::string line;
        std::getline(in, line);
        return line;
    }
};

}  // namespace

std::shared_ptr<V4l2System> realV4l2System()
{
    static std::shared_ptr<V4l2System> system = std::make_shared<RealV4l2System>();
    return system;
}
