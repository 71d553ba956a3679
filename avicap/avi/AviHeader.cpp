#include "avicap/avi/AviHeader.h"

#include <algorithm>
#include <numeric>

#include "avicap/codec/Compressors.h"

using avi::Bytes;

namespace {

constexpr uint32_t kDmlhSize = 248;

// Starts a LIST or chunk and returns where its size goes.
size_t beginList(Bytes& b, const char (&type)[5])
{
    b.fcc("LIST");
    size_t at = b.size();
    b.u32(0);
    b.fcc(type);
    return at;
}

void endList(Bytes& b, size_t sizeAt) { b.put32(sizeAt, uint32_t(b.size() - sizeAt - 4)); }

void streamHeader(Bytes& b, const char (&type)[5], uint32_t handler, uint32_t scale, uint32_t rate,
                  uint32_t length, uint32_t bufferSize, uint32_t sampleSize, int16_t w, int16_t h)
{
    b.fcc("strh");
    b.u32(56);
    b.fcc(type);
    b.u32(handler);
    b.u32(0);   // flags
    b.u16(0);   // priority
    b.u16(0);   // language
    b.u32(0);   // initial frames
    b.u32(scale);
    b.u32(rate);
    b.u32(0);   // start
    b.u32(length);
    b.u32(bufferSize);
    b.u32(0xFFFFFFFFu);   // default quality
    b.u32(sampleSize);
    b.u16(0);
    b.u16(0);
    b.u16(uint16_t(w));
    b.u16(uint16_t(h));
}

void superIndex(Bytes& b, const AviMuxer::Stream& s, uint32_t capacity, size_t* slotsAt)
{
    b.fcc("indx");
    b.u32(24 + 16 * capacity);
    b.u16(4);   // longs per entry
    b.u8(0);
    b.u8(avi::kIndexOfIndexes);
    b.u32(uint32_t(s.slots.size()));
    b.u32(s.chunkId);
    b.zeros(12);
    *slotsAt = b.size();
    for (const auto& e : s.slots) {
        b.u64(e.offset);
        b.u32(e.size);
        b.u32(e.duration);
    }
    b.zeros(16 * (capacity - s.slots.size()));
}

void videoList(Bytes& b, const AviHeaderInfo& info, size_t* slotsAt)
{
    const AviVideoFormat& v = *info.video;
    const AviMuxer::Stream& s = (*info.streams)[0];
    const Compressor& codec = compressorFor(v.codec);
    const bool compressed = codec.compression != 0;
    uint32_t g = std::gcd(v.microSecPerFrame, 1000000u);
    size_t list = beginList(b, "strl");
    streamHeader(b, "vids", codec.handler, v.microSecPerFrame / g,
                 1000000u / g, uint32_t(s.ticks), s.maxChunk, 0, int16_t(v.width), int16_t(v.height));
    b.fcc("strf");
    b.u32(40);
    b.u32(40);
    b.u32(uint32_t(v.width));
    b.u32(uint32_t(v.height));   // positive: bottom-up rows
    b.u16(1);
    b.u16(24);
    b.u32(codec.compression);
    b.u32(compressed ? uint32_t(v.width) * uint32_t(v.height) * 3 : v.dibBytes());
    b.zeros(16);
    superIndex(b, s, info.slotCapacity, slotsAt);
    endList(b, list);
}

void audioList(Bytes& b, const AviHeaderInfo& info, size_t* slotsAt)
{
    const AviAudioFormat& a = *info.audio;
    const AviMuxer::Stream& s = (*info.streams)[1];
    size_t list = beginList(b, "strl");
    streamHeader(b, "auds", 0, a.blockAlign(), a.bytesPerSec(), uint32_t(s.ticks), s.maxChunk,
                 a.blockAlign(), 0, 0);
    b.fcc("strf");
    b.u32(18);
    b.u16(1);   // PCM
    b.u16(a.channels);
    b.u32(a.samplesPerSec);
    b.u32(a.bytesPerSec());
    b.u16(a.blockAlign());
    b.u16(a.bitsPerSample);
    b.u16(0);
    superIndex(b, s, info.slotCapacity, slotsAt);
    endList(b, list);
}

}  // namespace

Bytes buildAviHeader(const AviHeaderInfo& info, AviHeaderLayout* layout)
{
    const AviVideoFormat& v = *info.video;
    const auto& streams = *info.streams;
    uint32_t maxChunk = 0;
    for (const auto& s : streams)
        maxChunk = std::max(maxChunk, s.maxChunk);
    uint64_t perSec = uint64_t(streams[0].maxChunk) * 1000000u / std::max(1u, v.microSecPerFrame);
    if (info.audio)
        perSec += info.audio->bytesPerSec();

    Bytes b;
    b.fcc("RIFF");
    b.u32(info.riffSize);
    b.fcc("AVI ");
    size_t hdrl = beginList(b, "hdrl");
    b.fcc("avih");
    b.u32(56);
    b.u32(v.microSecPerFrame);
    b.u32(uint32_t(std::min<uint64_t>(perSec, 0xFFFFFFFFu)));
    b.u32(0);   // padding granularity
    b.u32(avi::kAvifIsInterleaved | (info.hasLegacyIndex ? avi::kAvifHasIndex : 0));
    b.u32(uint32_t(streams[0].firstRiffTicks));
    b.u32(0);
    b.u32(uint32_t(streams.size()));
    b.u32(maxChunk + 8);
    b.u32(uint32_t(v.width));
    b.u32(uint32_t(v.height));
    b.zeros(16);
    videoList(b, info, &layout->slotsOffset[0]);
    if (info.audio)
        audioList(b, info, &layout->slotsOffset[1]);
    size_t odml = beginList(b, "odml");
    b.fcc("dmlh");
    b.u32(kDmlhSize);
    b.u32(uint32_t(streams[0].ticks));
    b.zeros(kDmlhSize - 4);
    endList(b, odml);
    endList(b, hdrl);
    layout->slotsBytes = 16 * size_t(info.slotCapacity);
    layout->moviList = b.size();
    b.fcc("LIST");
    b.u32(info.moviSize);
    b.fcc("movi");
    return b;
}
