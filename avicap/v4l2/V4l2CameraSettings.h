#pragma once
// What makes a camera the same camera again, and the control values the person chose for it.
// A camera unplugged and plugged back in, or found again at the next start of the program,
// has lost what was set through the source dialog (USB cameras come back with their own
// defaults): the device puts the chosen values back. The camera is told by what
// VIDIOC_QUERYCAP says of it (driver, card and bus), never by its node, which another camera
// may take.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct v4l2_capability;

struct V4l2Identity
{
    std::string driver;
    std::string card;
    std::string busInfo;
    bool operator==(const V4l2Identity&) const = default;
    // "card (driver, bus)", for messages.
    std::string text() const;
};

V4l2Identity v4l2IdentityOf(const v4l2_capability& caps);

// Control id and value, in the order the person set them (an automatic mode before the value
// it governs).
using V4l2ControlValues = std::vector<std::pair<uint32_t, int>>;
// Keeps the newest value of the control, moved to the end: set last, applied last.
void rememberV4l2Control(V4l2ControlValues& values, uint32_t id, int value);

// Where the chosen values of every camera are kept between runs; none until the program names
// a file (the tests and the tools keep nothing). A file that cannot be read counts as empty;
// one that cannot be written is said on stderr, and the values still apply in this run.
void setV4l2SettingsFile(const std::string& path);
V4l2ControlValues storedV4l2Controls(const V4l2Identity& camera);
void storeV4l2Controls(const V4l2Identity& camera, const V4l2ControlValues& values);
