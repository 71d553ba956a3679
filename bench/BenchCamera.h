// A camera for the capture benchmarks: a test-pattern device without a thread of its own, so
// the benchmark hands each frame over itself and times exactly that work.
#pragma once
#include <time.h>

#include <memory>
#include <vector>

#include "avicap/CaptureDriver.h"
#include "avicap/testpattern/TestPatternDriver.h"

namespace bench {

inline double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

class BenchDevice : public TestPatternDevice
{
public:
    CaptureError startStreaming(CaptureSink* sink) override
    {
        sink_ = sink;
        return captureOk();
    }
    void stopStreaming() override { sink_ = nullptr; }
    bool streaming() const override { return sink_ != nullptr; }
    CaptureSink* sink_ = nullptr;
};

// Opens one BenchDevice of the given size; `last` is the device opened last.
class BenchDriver : public CaptureDriver
{
public:
    BenchDriver(int width, int height) : width_(width), height_(height) {}
    std::vector<CaptureDeviceInfo> devices() override { return {{"Bench camera", "1"}}; }
    CaptureOpening open(size_t) override
    {
        auto device = std::make_unique<BenchDevice>();
        CaptureError error = device->setFormat({width_, height_, 30});
        last = device.get();
        return {std::move(device), error};
    }
    BenchDevice* last = nullptr;

private:
    int width_, height_;
};

}  // namespace bench
