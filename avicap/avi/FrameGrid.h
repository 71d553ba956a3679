#pragma once
// The frame grid of a recording, worked out here and nowhere else: slot k of the file is
// shown at start + k x interval. The first frame that falls into a slot not yet passed
// fills it; a frame for a slot already filled or passed is skipped; slots passed over
// without a frame, and frames that never reached the file, are dropped frames (players repeat
// the picture before them).
#include <cstdint>
#include <optional>

class FrameGrid
{
public:
    // limitUs < 0: no time limit.
    void start(int64_t startUs, uint32_t intervalUs, int64_t limitUs = -1);

    // The slot a frame taken at timestampUs fills, or nothing when that slot is filled or
    // passed already or lies at or past the time limit.
    std::optional<uint64_t> take(int64_t timestampUs);
    // The frame of the last slot taken did not reach the file: its slot counts as dropped.
    void lost() { ++dropped_; }
    // The next single frame, one slot after the last, whatever its time.
    uint64_t takeNext() { return slots_++; }

    int64_t slotUs(uint64_t slot) const { return int64_t(slot * interval_); }
    int64_t startUs() const { return startUs_; }
    uint32_t intervalUs() const { return interval_; }
    // Slots of the file so far, dropped ones included.
    uint64_t slots() const { return slots_; }
    uint64_t dropped() const { return dropped_; }
    uint64_t skipped() const { return skipped_; }

private:
    int64_t startUs_ = 0;
    uint32_t interval_ = 1;
    int64_t limitUs_ = -1;
    uint64_t slots_ = 0;
    uint64_t dropped_ = 0;
    uint64_t skipped_ = 0;
};
