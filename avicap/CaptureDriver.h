#pragma once
// The driver interface behind every capture window. A driver lists its devices and opens
// them; a device offers formats and controls and delivers frames from a camera thread as
// 24-bit BGR pixels, bottom-up, rows of exactly 3 x width bytes. The devices of the real
// camera driver come first, then the built-in test pattern; at most 10 in all. What fails
// says why (CaptureError): busy, not allowed, no usable format, gone.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "avicap/CaptureError.h"
#include "platform/WinTypes.h"

struct CaptureFormat
{
    int width = 0;
    int height = 0;
    int framesPerSecond = 30;
    bool operator==(const CaptureFormat&) const = default;
};

struct CaptureControl
{
    enum Kind { Slider, CheckBox, Menu };
    uint32_t id = 0;
    std::string name;
    Kind kind = Slider;
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int value = 0;
    int defaultValue = 0;
    std::vector<std::string> menuItems;   // Menu: one text per value from minimum
};

struct CaptureFrame
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;   // 3 x width x height bytes, last picture row first
    int64_t timestampUs = 0;       // clock in force, monotonic
    uint64_t sequence = 0;         // counts frames since the device was opened
    std::vector<uint8_t> jpeg;     // the camera's own JPEG when it delivered Motion JPEG
};

// Where a streaming device delivers; called on the device's camera thread.
class CaptureSink
{
public:
    virtual ~CaptureSink() = default;
    virtual void frameArrived(CaptureFrame&& frame) = 0;
    // The device stopped (unplugged, driver error, or it would not start again after a
    // change of format); called on the camera thread, or on the caller's after a change.
    virtual void deviceFailed(const CaptureError& error) = 0;
};

class CaptureDevice
{
public:
    virtual ~CaptureDevice() = default;
    virtual std::string name() const = 0;
    virtual std::string version() const = 0;

    virtual std::vector<CaptureFormat> formats() const = 0;
    virtual CaptureFormat format() const = 0;
    // Fails for a format the device does not offer; the format stays.
    virtual CaptureError setFormat(const CaptureFormat& format) = 0;

    virtual std::vector<CaptureControl> controls() const = 0;
    virtual bool setControl(uint32_t id, int value) = 0;

    // Frames go to sink until stopStreaming, which returns only once the sink will not be
    // called again.
    virtual CaptureError startStreaming(CaptureSink* sink) = 0;
    virtual void stopStreaming() = 0;
    virtual bool streaming() const = 0;

    // Frames the camera delivered that could not be used (short or corrupt), since opening.
    virtual uint64_t framesRejected() const { return 0; }

    // One frame taken after the call began, waiting at most timeoutMs; on the UI thread.
    virtual CaptureError grabFrame(CaptureFrame& frame, int timeoutMs) = 0;

    // A display dialog of the device's own, when it has one.
    virtual bool hasDisplayDialog() const { return false; }
    virtual bool showDisplayDialog(HWND owner)
    {
        (void)owner;
        return false;
    }
};

struct CaptureDeviceInfo
{
    // A camera another program holds, or this user may not open, is still listed: the
    // person then knows it is there and what stands in the way.
    enum State { Ready, Busy, NoAccess };
    std::string name;
    std::string version;
    State state = Ready;
};

// A device opened, or why not.
struct [[nodiscard]] CaptureOpening
{
    std::unique_ptr<CaptureDevice> device;
    CaptureError error;
};

class CaptureDriver
{
public:
    virtual ~CaptureDriver() = default;
    virtual std::vector<CaptureDeviceInfo> devices() = 0;
    virtual CaptureOpening open(size_t index) = 0;
};

constexpr int kMaxCaptureDrivers = 10;
// How long a still-frame message waits for the camera's next frame.
constexpr int kGrabTimeoutMs = 2000;

// The driver of real cameras (null: none), listed before the test pattern. There is none
// until one is installed here.
void setCameraDriver(std::shared_ptr<CaptureDriver> driver);
// Real cameras first, then the test pattern; at most kMaxCaptureDrivers entries.
std::vector<CaptureDeviceInfo> listCaptureDevices();
// No device, with the reason, for an index out of range or a device that cannot be opened.
CaptureOpening openCaptureDevice(int index);
