#pragma once
// A camera for the recording tests that delivers only when the test says so.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "avicap/CaptureDriver.h"
#include "platform/Clock.h"

class ManualCamera : public CaptureDevice
{
public:
    CaptureSink* sink = nullptr;
    std::string name() const override { return "Manual"; }
    std::string version() const override { return "1"; }
    std::vector<CaptureFormat> formats() const override { return {format()}; }
    CaptureFormat format() const override { return size; }
    CaptureError setFormat(const CaptureFormat& f) override
    {
        return f == format() ? captureOk() : captureFault(CaptureFault::CameraUnsupported, "Manual: no such size");
    }
    std::vector<CaptureControl> controls() const override
    {
        if (controlsThrow)
            throw std::runtime_error("driver exploded");
        return {};
    }
    bool setControl(uint32_t, int) override { return false; }
    CaptureError startStreaming(CaptureSink* s) override
    {
        if (refuseStream.failed())
            return refuseStream;
        sink = s;
        return captureOk();
    }
    void stopStreaming() override { sink = nullptr; }
    bool streaming() const override { return sink != nullptr; }
    CaptureError grabFrame(CaptureFrame&, int) override
    {
        return captureFault(CaptureFault::NoFrame, "Manual: no frame");
    }
    uint64_t framesRejected() const override { return rejected; }

    bool deliver()
    {
        if (!sink)
            return false;
        const size_t bytes = size_t(size.width) * size_t(size.height) * 3;
        CaptureFrame frame{size.width, size.height,
                           pixels.empty() ? std::vector<uint8_t>(bytes, uint8_t(n * 8)) : pixels,
                           currentClock().monotonicUs(), n, jpeg};
        ++n;
        sink->frameArrived(std::move(frame));
        return true;
    }
    uint64_t n = 0;
    CaptureFormat size{320, 240, 30};
    CaptureError refuseStream;   // startStreaming fails with it, as a busy or broken camera does
    uint64_t rejected = 0;       // what framesRejected answers
    bool controlsThrow = false;  // controls() throws, as a faulty driver might
    std::vector<uint8_t> pixels;   // empty: a grey that brightens frame by frame
    std::vector<uint8_t> jpeg;     // the camera's own JPEG of the picture, if any
};

struct ManualDriver : CaptureDriver
{
    ManualCamera* camera = nullptr;
    std::vector<CaptureDeviceInfo> devices() override { return {{"Manual", "1"}}; }
    CaptureOpening open(size_t) override
    {
        auto device = std::make_unique<ManualCamera>();
        camera = device.get();
        return {std::move(device), {}};
    }
};

