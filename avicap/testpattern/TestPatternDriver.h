#pragma once
// The built-in camera: moving colour bars (or a gradient or a solid colour), the local time
// and a frame counter drawn into the picture, up to 30 frames per second paced by the clock
// in force. With a FakeClock, frames fall due as a test advances the clock; pumpFrames()
// delivers them at once on the calling thread, so a test need not wait for the camera
// thread (which delivers them too, whichever comes first, exactly once).
//
// Threads: every field is guarded by mutex_, which the camera thread holds while it
// renders and delivers; the owner's thread joins the camera thread in stopStreaming.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "avicap/CaptureDriver.h"

class TestPatternDevice : public CaptureDevice
{
public:
    enum Pattern { Bars, Gradient, Solid };
    static constexpr uint32_t kPatternControl = 1;
    static constexpr uint32_t kBrightnessControl = 2;

    TestPatternDevice();
    ~TestPatternDevice() override;

    std::string name() const override { return "Lumo Test Pattern"; }
    std::string version() const override { return "Version: 1.0"; }
    std::vector<CaptureFormat> formats() const override;
    CaptureFormat format() const override;
    CaptureError setFormat(const CaptureFormat& format) override;
    std::vector<CaptureControl> controls() const override;
    bool setControl(uint32_t id, int value) override;
    CaptureError startStreaming(CaptureSink* sink) override;
    void stopStreaming() override;
    bool streaming() const override;
    CaptureError grabFrame(CaptureFrame& frame, int timeoutMs) override;

    // Delivers the frame that is due on the clock in force, if any; answers whether it did.
    bool deliverDueFrame();
    // Camera threads wake every us microseconds to look at the clock,
    // as they once did (0, the default: they sleep until a frame is due). Only for the
    // benchmark that compares the two.
    static void setLegacyWakeInterval(int64_t us);

private:
    void run();
    CaptureFrame render(int64_t nowUs);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    CaptureSink* sink_ = nullptr;
    bool running_ = false;
    CaptureFormat format_{640, 480, 30};
    Pattern pattern_ = Bars;
    int brightness_ = 50;   // 0..100; 50 leaves the colours as they are
    int64_t nextDueUs_ = 0;
    uint64_t sequence_ = 0;
};

class TestPatternDriver : public CaptureDriver
{
public:
    std::vector<CaptureDeviceInfo> devices() override;
    CaptureOpening open(size_t index) override;

    // Every streaming test-pattern device delivers its due frame now (tests, benchmarks).
    static int pumpFrames();
};

// Draws the picture of one frame into pixels (3 x width x height, bottom-up).
void renderTestPattern(uint8_t* pixels, int width, int height, TestPatternDevice::Pattern pattern,
                       int brightness, int64_t monotonicUs, int64_t localUs, uint64_t frameNumber);
