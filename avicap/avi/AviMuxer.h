#pragma once
// Lays out a capture file: header with room for the super indexes, interleaved stream
// chunks, OpenDML continuation parts past the size limit, the legacy index for the first part.
// flush() makes everything written so far readable: it appends a standard index per stream
// for the chunks not yet covered and patches the header (sizes, counts, super index) in
// place, so a file cut off at any moment still plays up to the last flush.
// Not thread-safe: one writer thread drives it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "avicap/CaptureError.h"
#include "avicap/avi/AviFile.h"
#include "avicap/avi/CaptureContainer.h"
#include "avicap/avi/AviFormat.h"
#include "avicap/avi/AviTypes.h"

struct AviMuxerLimits
{
    uint64_t riffLimit = uint64_t(1) << 30;   // a part ends before it would pass this size
    uint32_t superIndexSlots = 1024;          // standard indexes per stream (header room)
    uint32_t segmentEntries = 1024;           // chunks per standard index before a new one
};

class AviMuxer : public CaptureContainer
{
public:
    explicit AviMuxer(const AviMuxerLimits& limits = {}) : limits_(limits) {}
    bool open(const std::string& path, const AviVideoFormat& video,
              const std::optional<AviAudioFormat>& audio) override;
    bool open(const std::string& path, const AviVideoFormat& video,
              const std::optional<AviAudioFormat>& audio, const AviMuxerLimits& limits)
    {
        limits_ = limits;
        return open(path, video, audio);
    }
    // A zero-length video chunk marks a dropped frame (players repeat the previous one).
    // Frames that are no key frames carry the index's delta marks.
    bool writeVideo(const uint8_t* data, size_t size, bool keyFrame) override;
    bool writeAudio(const uint8_t* data, size_t size) override;
    bool flush(bool syncToDisk) override;
    bool close() override;

    const CaptureError& error() const override { return error_; }
    ContainerCounts counts() const override;
    uint64_t videoFrames() const { return streams_[0].ticks; }
    uint64_t droppedFrames() const { return dropped_; }
    uint64_t audioBytes() const;
    uint64_t fileSize() const { return file_.end(); }
    int riffs() const { return riffIndex_ + 1; }

    struct SuperEntry
    {
        uint64_t offset = 0;
        uint32_t size = 0;
        uint32_t duration = 0;
    };
    struct Stream
    {
        uint32_t chunkId = 0;
        uint32_t indexId = 0;
        uint32_t blockAlign = 1;   // bytes per tick (audio); video counts chunks
        uint64_t ticks = 0;
        uint64_t firstRiffTicks = 0;
        uint32_t maxChunk = 0;
        std::vector<SuperEntry> slots;
        // The standard index being built: entries are (offset from the part's movi list, size).
        std::vector<uint32_t> segment;
        uint32_t segmentTicks = 0;
        int segmentSlot = -1;
        bool segmentDirty = false;
    };

private:
    struct ChunkRecord
    {
        uint64_t pos;
        uint32_t size;
        uint8_t stream;
        bool keyFrame;
    };
    struct Mark
    {
        uint64_t end = 0;
        size_t chunks = 0;
        uint64_t dropped = 0;
        struct PerStream
        {
            uint64_t ticks = 0;
            std::vector<uint32_t> segment;
            uint32_t segmentTicks = 0;
            int segmentSlot = -1;
            std::vector<SuperEntry> slots;
        } streams[2];
    };

    bool writeChunk(int stream, const uint8_t* data, size_t size, uint32_t ticks, bool keyFrame);
    bool writeStandardIndexes(bool endOfRiff);
    bool writeLegacyIndex();
    bool patchHeader();
    bool endRiff();
    bool beginRiff();
    uint64_t indexReserve() const;
    void setMark();
    void rollBackToMark();
    bool fail(const CaptureError& error);
    void finishAfterFailure();

    AviFile file_;
    CaptureError error_;
    bool failed_ = false;
    bool recovering_ = false;
    bool recoveryFailed_ = false;
    AviVideoFormat video_;
    std::optional<AviAudioFormat> audio_;
    AviMuxerLimits limits_;
    std::vector<Stream> streams_;
    std::vector<ChunkRecord> riffChunks_;
    Mark mark_;
    uint64_t dropped_ = 0;
    int riffIndex_ = 0;
    uint64_t riffStart_ = 0;
    uint64_t moviList_ = 0;        // offset of the current part's "LIST" of movi
    uint64_t firstMoviList_ = 0;
    uint64_t firstMoviEnd_ = 0;    // set once the first part is closed
    uint64_t firstRiffEnd_ = 0;
    bool hasLegacyIndex_ = false;
};
