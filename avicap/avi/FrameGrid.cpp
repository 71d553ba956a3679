#include "avicap/avi/FrameGrid.h"

#include <algorithm>

void FrameGrid::start(int64_t startUs, uint32_t intervalUs, int64_t limitUs)
{
    startUs_ = startUs;
    interval_ = std::max<uint32_t>(1, intervalUs);
    limitUs_ = limitUs;
    slots_ = dropped_ = skipped_ = 0;
}

std::optional<uint64_t> FrameGrid::take(int64_t timestampUs)
{
    // A frame belongs to the slot whose time is nearest to it.
    const uint64_t since = uint64_t(std::max<int64_t>(0, timestampUs - startUs_));
    const uint64_t slot = (since + interval_ / 2) / interval_;
    if (slot < slots_) {
        ++skipped_;
        return std::nullopt;
    }
    if (limitUs_ >= 0 && slotUs(slot) >= limitUs_)
        return std::nullopt;
    dropped_ += slot - slots_;
    slots_ = slot + 1;
    return slot;
}
