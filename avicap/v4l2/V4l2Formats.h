#pragma once
// What a V4L2 camera offers, asked through the system-call seam: its picture modes (pixel
// format, size, frame interval) and its controls. A driver that answers nonsense (endless
// lists, absurd sizes, zero intervals) yields shorter lists, never a hang.
#include <cstdint>
#include <string>
#include <vector>

#include "avicap/CaptureDriver.h"
#include "avicap/v4l2/V4l2System.h"

struct V4l2Mode
{
    uint32_t fourcc = 0;
    int width = 0;
    int height = 0;
    uint32_t numerator = 1;     // frame interval in seconds, as the driver states it
    uint32_t denominator = 30;
    int framesPerSecond() const;
};

// Format, size and frame interval alike (1/30 and 2/60 are the same interval).
bool sameV4l2Mode(const V4l2Mode& a, const V4l2Mode& b);

// Only the modes whose pixel format can be converted.
std::vector<V4l2Mode> enumerateV4l2Modes(V4l2System& system, int fd);
// The distinct sizes and rates, smallest first.
std::vector<CaptureFormat> captureFormatsOf(const std::vector<V4l2Mode>& modes);
// The mode for a format: the same size, the nearest rate, Motion JPEG first (it records
// without re-encoding), then YUYV. Null when no mode has that size.
const V4l2Mode* chooseV4l2Mode(const std::vector<V4l2Mode>& modes, const CaptureFormat& format);

// The input choice, listed among the controls as a menu.
constexpr uint32_t kV4l2InputControl = 0x0fff0001;

// Sliders, check boxes (buttons too: setting 1 presses one) and menus, plus "Input" when
// the device has inputs. Disabled, read-only and class entries are left out.
std::vector<CaptureControl> enumerateV4l2Controls(V4l2System& system, int fd);
bool setV4l2Control(V4l2System& system, int fd, uint32_t id, int value);
// Whether the control holds a value worth putting back (a button only acts); its name, for
// messages ("control 0x...." when the camera does not say).
bool isV4l2Setting(V4l2System& system, int fd, uint32_t id);
std::string v4l2ControlName(V4l2System& system, int fd, uint32_t id);

// "YUYV", "MJPG": a pixel format's four characters, for messages.
std::string v4l2FourccText(uint32_t fourcc);
// The text of a fixed-size, possibly unterminated name field.
std::string v4l2Text(const uint8_t* field, size_t size);
