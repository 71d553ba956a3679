#pragma once
// Byte-level pieces of the AVI container: four-character codes, little-endian writers and
// the sizes of the fixed header records, shared by the muxer and the index builders.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace avi {

constexpr uint32_t fourcc(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

// Chunk ids of stream n ("00dc", "01wb", "ix00"...); a suffix is two characters.
uint32_t streamChunkId(int stream, const char* suffix);
uint32_t indexChunkId(int stream);

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifIsInterleaved = 0x100;
constexpr uint32_t kAviifKeyframe = 0x10;
constexpr uint8_t kIndexOfIndexes = 0x00;
constexpr uint8_t kIndexOfChunks = 0x01;
// In a standard index entry the top bit of the size marks a frame that is not a key frame.
constexpr uint32_t kDeltaFrameBit = 0x80000000u;

// Growable little-endian byte buffer.
class Bytes
{
public:
    void u8(uint8_t v) { data_.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void u64(uint64_t v);
    void zeros(size_t n) { data_.insert(data_.end(), n, 0); }
    void fcc(const char (&s)[5]) { u32(fourcc(s)); }
    // Overwrites 4 bytes at an earlier position.
    void put32(size_t at, uint32_t v);
    size_t size() const { return data_.size(); }
    const uint8_t* data() const { return data_.data(); }
    void clear() { data_.clear(); }

private:
    std::vector<uint8_t> data_;
};

inline void store32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

}  // namespace avi
