#include "avicap/avi/AviFormat.h"

namespace avi {

namespace {
char digit(int v) { return char('0' + v % 10); }
}  // namespace

uint32_t streamChunkId(int stream, const char* suffix)
{
    const char s[5] = {digit(stream / 10), digit(stream), suffix[0], suffix[1], 0};
    return fourcc(s);
}

uint32_t indexChunkId(int stream)
{
    const char s[5] = {'i', 'x', digit(stream / 10), digit(stream), 0};
    return fourcc(s);
}

void Bytes::u16(uint16_t v)
{
    data_.push_back(uint8_t(v));
    data_.push_back(uint8_t(v >> 8));
}

void Bytes::u32(uint32_t v)
{
    size_t at = data_.size();
    data_.resize(at + 4);
    store32(&data_[at], v);
}

void Bytes::u64(uint64_t v)
{
    u32(uint32_t(v));
    u32(uint32_t(v >> 32));
}

void Bytes::put32(size_t at, uint32_t v) { store32(&data_[at], v); }

}  // namespace avi
