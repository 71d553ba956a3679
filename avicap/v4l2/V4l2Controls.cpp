#include <linux/videodev2.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "avicap/v4l2/V4l2Formats.h"

namespace {

constexpr int kMaxControls = 512;
constexpr int64_t kMaxMenuItems = 256;
constexpr uint32_t kMaxInputs = 32;

bool menuItems(V4l2System& system, int fd, const v4l2_queryctrl& query, CaptureControl& control)
{
    if (int64_t(query.maximum) - query.minimum + 1 > kMaxMenuItems)
        return false;
    for (int index = query.minimum; index <= query.maximum; ++index) {
        v4l2_querymenu item{};
        item.id = query.id;
        item.index = uint32_t(index);
        std::string text;   // a gap in the menu stays an empty entry so values line up
        if (system.ioctl(fd, VIDIOC_QUERYMENU, &item) == 0)
            text = query.type == V4L2_CTRL_TYPE_INTEGER_MENU
                       ? std::to_string(item.value)
                       : v4l2Text(item.name, sizeof item.name);
        control.menuItems.push_back(text);
    }
    return true;
}

// Answers whether the control is one the source dialog can show.
bool describe(V4l2System& system, int fd, const v4l2_queryctrl& query, CaptureControl& control)
{
    if (query.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY))
        return false;
    if (query.minimum > query.maximum)
        return false;
    control.id = query.id;
    control.name = v4l2Text(query.name, sizeof query.name);
    control.minimum = query.minimum;
    control.maximum = query.maximum;
    control.step = query.step > 0 ? query.step : 1;
    control.defaultValue = query.default_value;
    switch (query.type) {
    case V4L2_CTRL_TYPE_INTEGER:
        control.kind = CaptureControl::Slider;
        break;
    case V4L2_CTRL_TYPE_BOOLEAN:
        control.kind = CaptureControl::CheckBox;
        break;
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
        control.kind = CaptureControl::Menu;
        if (!menuItems(system, fd, query, control))
            return false;
        break;
    case V4L2_CTRL_TYPE_BUTTON:
        // An action (one-shot focus, a reset): a box that presses it when set.
        control.kind = CaptureControl::CheckBox;
        control.minimum = control.defaultValue = control.value = 0;
        control.maximum = 1;
        return true;
    default:
        return false;   // 64-bit, string and compound controls have no dialog element
    }
    control.value = query.default_value;
    if (!(query.flags & V4L2_CTRL_FLAG_WRITE_ONLY)) {
        v4l2_control current{query.id, 0};
        if (system.ioctl(fd, VIDIOC_G_CTRL, &current) == 0)
            control.value = current.value;
    }
    return true;
}

bool queryControl(V4l2System& system, int fd, uint32_t id, v4l2_queryctrl& query)
{
    query = {};
    query.id = id;
    return system.ioctl(fd, VIDIOC_QUERYCTRL, &query) == 0;
}

void addInputs(V4l2System& system, int fd, std::vector<CaptureControl>& controls)
{
    CaptureControl input;
    input.id = kV4l2InputControl;
    input.name = "Input";
    input.kind = CaptureControl::Menu;
    for (uint32_t index = 0; index < kMaxInputs; ++index) {
        v4l2_input entry{};
        entry.index = index;
        if (system.ioctl(fd, VIDIOC_ENUMINPUT, &entry) != 0)
            break;
        input.menuItems.push_back(v4l2Text(entry.name, sizeof entry.name));
    }
    if (input.menuItems.empty())
        return;
    input.maximum = int(input.menuItems.size()) - 1;
    int current = 0;
    if (system.ioctl(fd, VIDIOC_G_INPUT, &current) == 0 && current >= 0 && current <= input.maximum)
        input.value = current;
    controls.push_back(input);
}

}  // namespace

std::vector<CaptureControl> enumerateV4l2Controls(V4l2System& system, int fd)
{
    std::vector<CaptureControl> controls;
    v4l2_queryctrl query;
    uint32_t id = V4L2_CTRL_FLAG_NEXT_CTRL;
    bool walked = false;
    for (int count = 0; count < kMaxControls && queryControl(system, fd, id, query); ++count) {
        walked = true;
        if (query.id <= (id & ~V4L2_CTRL_FLAG_NEXT_CTRL))
            break;   // the driver went backwards: it would loop for ever
        CaptureControl control;
        if (query.type != V4L2_CTRL_TYPE_CTRL_CLASS && describe(system, fd, query, control))
            controls.push_back(control);
        id = query.id | V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    if (!walked) {
        // Drivers older than the "next" flag: the standard user controls one by one.
        for (uint32_t cid = V4L2_CID_BASE; cid < V4L2_CID_LASTP1; ++cid) {
            CaptureControl control;
            if (queryControl(system, fd, cid, query) && describe(system, fd, query, control))
                controls.push_back(control);
        }
    }
    addInputs(system, fd, controls);
    return controls;
}

bool setV4l2Control(V4l2System& system, int fd, uint32_t id, int value)
{
    if (id == kV4l2InputControl)
        return system.ioctl(fd, VIDIOC_S_INPUT, &value) == 0;
    v4l2_queryctrl query;
    if (!queryControl(system, fd, id, query))
        return false;
    if (query.type == V4L2_CTRL_TYPE_BUTTON && value == 0)
        return true;   // an unticked button box does nothing
    v4l2_control control{id, value};
    return system.ioctl(fd, VIDIOC_S_CTRL, &control) == 0;
}

bool isV4l2Setting(V4l2System& system, int fd, uint32_t id)
{
    v4l2_queryctrl query;
    return id == kV4l2InputControl || (queryControl(system, fd, id, query) && query.type != V4L2_CTRL_TYPE_BUTTON);
}

std::string v4l2ControlName(V4l2System& system, int fd, uint32_t id)
{
    if (id == kV4l2InputControl)
        return "Input";
    v4l2_queryctrl query;
    if (queryControl(system, fd, id, query))
        if (std::string name = v4l2Text(query.name, sizeof query.name); !name.empty())
            return name;
    char text[24];
    std::snprintf(text, sizeof text, "control 0x%08x", unsigned(id));
    return text;
}
