#include "avicap/testpattern/TestPatternDriver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>

#include "platform/Clock.h"

namespace {

const std::vector<CaptureFormat> kFormats = {
    {320, 240, 30}, {640, 480, 30}, {1280, 720, 30}, {1920, 1080, 30}};

std::mutex liveMutex;
std::atomic<int64_t> legacyWakeUs{0};
std::set<TestPatternDevice*>& liveDevices()
{
    static std::set<TestPatternDevice*> devices;
    return devices;
}

}  // namespace

TestPatternDevice::TestPatternDevice() = default;

TestPatternDevice::~TestPatternDevice() { stopStreaming(); }

std::vector<CaptureFormat> TestPatternDevice::formats() const { return kFormats; }

CaptureFormat TestPatternDevice::format() const
{
    std::lock_guard lock(mutex_);
    return format_;
}

CaptureError TestPatternDevice::setFormat(const CaptureFormat& format)
{
    for (const CaptureFormat& offered : kFormats)
        if (offered.width == format.width && offered.height == format.height &&
            format.framesPerSecond >= 1 && format.framesPerSecond <= 30) {
            std::lock_guard lock(mutex_);
            format_ = format;
            return captureOk();
        }
    return captureFault(CaptureFault::CameraUnsupported, "The test pattern has no picture of " +
                        std::to_string(format.width) + " x " + std::to_string(format.height) + " at " +
                        std::to_string(format.framesPerSecond) + " frames per second");
}

std::vector<CaptureControl> TestPatternDevice::controls() const
{
    std::lock_guard lock(mutex_);
    CaptureControl pattern{kPatternControl, "Pattern", CaptureControl::Menu, 0, 2, 1,
                           int(pattern_), int(Bars), {"Colour bars", "Gradient", "Solid"}};
    CaptureControl brightness{kBrightnessControl, "Brightness", CaptureControl::Slider, 0, 100, 1,
                              brightness_, 50, {}};
    return {pattern, brightness};
}

bool TestPatternDevice::setControl(uint32_t id, int value)
{
    std::lock_guard lock(mutex_);
    if (id == kPatternControl && value >= Bars && value <= Solid) {
        pattern_ = Pattern(value);
        return true;
    }
    if (id == kBrightnessControl && value >= 0 && value <= 100) {
        brightness_ = value;
        return true;
    }
    return false;
}

CaptureError TestPatternDevice::startStreaming(CaptureSink* sink)
{
    if (!sink)
        return captureFault(CaptureFault::CameraFailed, "The test pattern was started with nowhere to deliver");
    stopStreaming();
    {
        std::lock_guard lock(mutex_);
        sink_ = sink;
        running_ = true;
        nextDueUs_ = currentClock().monotonicUs();
    }
    {
        std::lock_guard lock(liveMutex);
        liveDevices().insert(this);
    }
    thread_ = std::thread([this] { run(); });
    return captureOk();
}

void TestPatternDevice::stopStreaming()
{
    {
        std::lock_guard lock(liveMutex);
        liveDevices().erase(this);
    }
    {
        std::lock_guard lock(mutex_);
        running_ = false;
        sink_ = nullptr;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool TestPatternDevice::streaming() const
{
    std::lock_guard lock(mutex_);
    return running_;
}

CaptureError TestPatternDevice::grabFrame(CaptureFrame& frame, int timeoutMs)
{
    (void)timeoutMs;   // drawn on demand: never waits
    std::lock_guard lock(mutex_);
    frame = render(currentClock().monotonicUs());
    return captureOk();
}

bool TestPatternDevice::deliverDueFrame()
{
    std::lock_guard lock(mutex_);
    if (!running_ || !sink_)
        return false;
    int64_t now = currentClock().monotonicUs();
    if (now < nextDueUs_)
        return false;
    int64_t period = 1000000 / std::max(1, format_.framesPerSecond);
    // A late frame restarts the pace instead of bursting to catch up.
    nextDueUs_ = now - nextDueUs_ >= period ? now + period : nextDueUs_ + period;
    sink_->frameArrived(render(now));
    return true;
}

void TestPatternDevice::run()
{
    std::unique_lock lock(mutex_);
    while (running_) {
        if (currentClock().monotonicUs() >= nextDueUs_) {
            lock.unlock();
            deliverDueFrame();
            lock.lock();
            continue;
        }
        if (legacyWakeUs > 0) {
            // The old way, kept for the benchmark's comparison: wake up to look.
            wake_.wait_for(lock, std::chrono::microseconds(std::min<int64_t>(nextDueUs_ - currentClock().monotonicUs(), legacyWakeUs)));
            continue;
        }
        // Asleep until the frame is due, the clock is moved by hand, or streaming stops.
        waitUntilClock(lock, wake_, nextDueUs_, [this] { return !running_; });
    }
}

void TestPatternDevice::setLegacyWakeInterval(int64_t us) { legacyWakeUs = us; }

CaptureFrame TestPatternDevice::render(int64_t nowUs)
{
    CaptureFrame frame;
    frame.width = format_.width;
    frame.height = format_.height;
    frame.pixels.resize(size_t(frame.width) * size_t(frame.height) * 3);
    frame.timestampUs = nowUs;
    frame.sequence = sequence_++;
    renderTestPattern(frame.pixels.data(), frame.width, frame.height, pattern_, brightness_, nowUs,
                      currentClock().localMicroseconds(), frame.sequence);
    return frame;
}

std::vector<CaptureDeviceInfo> TestPatternDriver::devices()
{
    return {{"Lumo Test Pattern", "Version: 1.0"}};
}

CaptureOpening TestPatternDriver::open(size_t index)
{
    if (index != 0)
        return {nullptr, captureFault(CaptureFault::CameraMissing, "There is no test pattern " + std::to_string(index))};
    return {std::make_unique<TestPatternDevice>(), {}};
}

int TestPatternDriver::pumpFrames()
{
    std::lock_guard lock(liveMutex);
    int delivered = 0;
    for (TestPatternDevice* device : liveDevices())
        delivered += device->deliverDueFrame() ? 1 : 0;
    return delivered;
}
