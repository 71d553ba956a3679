#pragma once
// A table of objects addressed by 32-bit handles. A handle carries its slot index and the
// slot's generation, so a handle whose object was deleted (or one that was never issued)
// no longer resolves, even after its slot is reused.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

template <typename T>
class HandleTable
{
public:
    uint32_t add(std::unique_ptr<T> object)
    {
        std::lock_guard lock(mutex_);
        uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            index = uint32_t(slots_.size());
            if (index >= kMaxSlots)
                return 0;
            slots_.push_back({});
        }
        Slot& slot = slots_[index];
        slot.object = std::move(object);
        return makeHandle(index, slot.generation);
    }

    // The object behind a handle, or null for a null, stale or forged handle.
    T* get(uint32_t handle) const
    {
        std::lock_guard lock(mutex_);
        const Slot* slot = find(handle);
        return slot ? slot->object.get() : nullptr;
    }

    // Removes the object and hands it back; null when the handle does not resolve.
    std::unique_ptr<T> remove(uint32_t handle)
    {
        std::lock_guard lock(mutex_);
        Slot* slot = const_cast<Slot*>(find(handle));
        if (!slot)
            return nullptr;
        std::unique_ptr<T> object = std::move(slot->object);
        // A slot whose generations are used up is retired rather than wrapped, so an old
        // handle can never resolve to a newer object.
        slot->generation = (slot->generation + 1) & kGenerationMask;
        if (slot->generation != 0)
            free_.push_back(handleIndex(handle));
        else
            ++retired_;
        return object;
    }

    size_t liveCount() const
    {
        std::lock_guard lock(mutex_);
        return slots_.size() - free_.size() - retired_;
    }

    // The handles of the live objects, in slot order.
    std::vector<uint32_t> handles() const
    {
        std::lock_guard lock(mutex_);
        std::vector<uint32_t> live;
        for (uint32_t index = 0; index < slots_.size(); ++index)
            if (slots_[index].object)
                live.push_back(makeHandle(index, slots_[index].generation));
        return live;
    }

private:
    static constexpr uint32_t kIndexBits = 20;
    static constexpr uint32_t kMaxSlots = (1u << kIndexBits) - 1;
    static constexpr uint32_t kGenerationMask = (1u << (32 - kIndexBits)) - 1;

    struct Slot
    {
        std::unique_ptr<T> object;
        uint32_t generation = 1;
    };

    // Index 0 is never issued as such: handle 0 stays the null handle.
    static uint32_t makeHandle(uint32_t index, uint32_t generation)
    {
        return ((index + 1) & kMaxSlots) | (generation << kIndexBits);
    }
    static uint32_t handleIndex(uint32_t handle) { return (handle & kMaxSlots) - 1; }

    const Slot* find(uint32_t handle) const
    {
        if ((handle & kMaxSlots) == 0)
            return nullptr;
        uint32_t index = handleIndex(handle);
        if (index >= slots_.size())
            return nullptr;
        const Slot& slot = slots_[index];
        if (!slot.object || slot.generation != (handle >> kIndexBits))
            return nullptr;
        return &slot;
    }

    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    std::vector<uint32_t> free_;
    size_t retired_ = 0;
};
