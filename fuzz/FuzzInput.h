#pragma once
// Reads numbers off the front of a fuzzer's input, then hands out what is left.
#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    template <typename T>
    T take()
    {
        T value{};
        size_t n = size_ < sizeof(T) ? size_ : sizeof(T);
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }
    // Copies up to count bytes into out; answers how many it had.
    size_t fill(void* out, size_t count)
    {
        size_t n = size_ < count ? size_ : count;
        std::memcpy(out, data_, n);
        data_ += n;
        size_ -= n;
        return n;
    }
    const uint8_t* rest() const { return data_; }
    size_t restSize() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    const uint8_t* data_;
    size_t size_;
};
