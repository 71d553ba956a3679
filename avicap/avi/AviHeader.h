#pragma once
// The first part's header (RIFF, hdrl with avih, one strl per stream with its super index,
// odml/dmlh) up to and including the movi list's own header. Its size depends only on the
// formats and the super index room, so it can be rebuilt and rewritten in place.
#include <cstddef>
#include <vector>

#include "avicap/avi/AviFormat.h"
#include "avicap/avi/AviMuxer.h"

struct AviHeaderInfo
{
    const AviVideoFormat* video = nullptr;
    const AviAudioFormat* audio = nullptr;   // null: no sound
    const std::vector<AviMuxer::Stream>* streams = nullptr;
    uint32_t slotCapacity = 0;
    uint32_t riffSize = 0;
    uint32_t moviSize = 4;
    bool hasLegacyIndex = false;
};

struct AviHeaderLayout
{
    size_t moviList = 0;           // offset of the movi "LIST"
    size_t slotsOffset[2] = {};    // offset of each stream's first super index entry
    size_t slotsBytes = 0;
};

avi::Bytes buildAviHeader(const AviHeaderInfo& info, AviHeaderLayout* layout);
