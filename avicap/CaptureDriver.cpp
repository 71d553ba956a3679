#include "avicap/CaptureDriver.h"

#include <algorithm>
#include <mutex>

#include "avicap/testpattern/TestPatternDriver.h"

namespace {

std::mutex registryMutex;
std::shared_ptr<CaptureDriver> cameraDriver;

// No camera driver until the program installs one: the test pattern alone is driver 0.
std::shared_ptr<CaptureDriver> camera()
{
    std::lock_guard lock(registryMutex);
    return cameraDriver;
}

TestPatternDriver& testPattern()
{
    static TestPatternDriver driver;
    return driver;
}

}  // namespace

void setCameraDriver(std::shared_ptr<CaptureDriver> driver)
{
    std::lock_guard lock(registryMutex);
    cameraDriver = std::move(driver);
}

std::vector<CaptureDeviceInfo> listCaptureDevices()
{
    std::vector<CaptureDeviceInfo> list;
    if (auto driver = camera())
        list = driver->devices();
    // Keep a slot for the test pattern so a machine full of cameras still has it.
    if (list.size() > size_t(kMaxCaptureDrivers - 1))
        list.resize(kMaxCaptureDrivers - 1);
    for (const CaptureDeviceInfo& info : testPattern().devices())
        list.push_back(info);
    return list;
}

CaptureOpening openCaptureDevice(int index)
{
    if (index < 0 || index >= kMaxCaptureDrivers)
        return {nullptr, captureFault(CaptureFault::CameraMissing, "There is no camera " + std::to_string(index))};
    size_t cameras = 0;
    if (auto driver = camera()) {
        cameras = std::min(driver->devices().size(), size_t(kMaxCaptureDrivers - 1));
        if (size_t(index) < cameras)
            return driver->open(size_t(index));
    }
    return testPattern().open(size_t(index) - cameras);
}
