#pragma once
// What makes a camera the same camera again, and the picture format and control values the
// person chose for it. A camera unplugged and plugged back in, or found again at the next
// start of the program, has lost what was set through the format and source dialogs (USB
// cameras come back with their own defaults): the device puts the chosen ones back. The camera is told by what
// VIDIOC_QUERYCAP says of it (driver, card and bus), never by its node, which another camera
// may take.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "avicap/v4l2/V4l2Formats.h"

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

struct V4l2Choice
{
    std::optional<V4l2Mode> mode;   // chosen in the format dialog
    V4l2ControlValues controls;     // chosen in the source dialog
};

// Where the choices for every camera are kept between runs; none until the program names a
// file (the tests and the tools keep nothing). A file that cannot be read counts as empty;
// one that cannot be written is said on stderr, and the choices still apply in this run.
void setV4l2SettingsFile(const std::string& path);
V4l2Choice storedV4l2Choice(const V4l2Identity& camera);
void storeV4l2Choice(const V4l2Identity& camera, const V4l2Choice& choice);
