#include "avicap/avi/AviMuxer.h"

#include <algorithm>

#include "avicap/avi/AviHeader.h"
#include "avicap/codec/Compressors.h"

using avi::Bytes;

namespace {
// RIFF and LIST sizes and index offsets are 32-bit; keep every part well inside that.
constexpr uint64_t kMaxRiff = uint64_t(2) << 30;
}  // namespace

bool AviMuxer::open(const std::string& path, const AviVideoFormat& video, const std::optional<AviAudioFormat>& audio)
{
    video_ = video;
    audio_ = audio;
    limits_.riffLimit = std::min(limits_.riffLimit, kMaxRiff);
    limits_.superIndexSlots = std::max(limits_.superIndexSlots, 4u);
    streams_.assign(audio ? 2 : 1, Stream{});
    streams_[0].chunkId = avi::streamChunkId(0, compressorFor(video.codec).chunkSuffix);
    streams_[0].indexId = avi::indexChunkId(0);
    if (audio) {
        streams_[1].chunkId = avi::streamChunkId(1, "wb");
        streams_[1].indexId = avi::indexChunkId(1);
        streams_[1].blockAlign = std::max<uint32_t>(1, audio->blockAlign());
    }
    if (!file_.create(path, error_)) {
        failed_ = true;
        return false;
    }
    AviHeaderLayout layout;
    AviHeaderInfo info{&video_, audio_ ? &*audio_ : nullptr, &streams_, limits_.superIndexSlots};
    Bytes header = buildAviHeader(info, &layout);
    firstMoviList_ = moviList_ = layout.moviList;
    CaptureError err;
    if (!file_.append(header.data(), header.size(), err)) {
        error_ = captureFileError(CaptureFault::CannotCreate, err.sysError, "Cannot write the header of", path);
        failed_ = true;
        file_.close();
        return false;
    }
    setMark();
    return true;
}

uint64_t AviMuxer::audioBytes() const
{
    return streams_.size() > 1 ? streams_[1].ticks * streams_[1].blockAlign : 0;
}

ContainerCounts AviMuxer::counts() const
{
    return {videoFrames(), dropped_, audioBytes(), fileSize(), riffs()};
}

bool AviMuxer::writeVideo(const uint8_t* data, size_t size, bool keyFrame)
{
    if (size == 0)
        ++dropped_;
    return writeChunk(0, data, size, 1, keyFrame);
}

bool AviMuxer::writeAudio(const uint8_t* data, size_t size)
{
    if (streams_.size() < 2 || size == 0)
        return !failed_;
    return writeChunk(1, data, size, uint32_t(size / streams_[1].blockAlign), true);
}

uint64_t AviMuxer::indexReserve() const
{
    uint64_t bytes = 64;
    for (const auto& s : streams_)
        bytes += 32 + 8 * (s.segment.size() / 2 + 1);
    if (riffIndex_ == 0)
        bytes += 8 + 16 * (riffChunks_.size() + 1);
    return bytes;
}

bool AviMuxer::writeChunk(int stream, const uint8_t* data, size_t size, uint32_t ticks, bool keyFrame)
{
    if (failed_)
        return false;
    uint64_t total = 8 + size + (size & 1);
    if (!riffChunks_.empty() && file_.end() + total + indexReserve() > riffStart_ + limits_.riffLimit) {
        if (!endRiff() || !beginRiff())
            return false;
    }
    Stream& s = streams_[size_t(stream)];
    uint8_t head[8];
    avi::store32(head, s.chunkId);
    avi::store32(head + 4, uint32_t(size));
    uint8_t pad = 0;
    iovec parts[3] = {{head, 8}, {const_cast<uint8_t*>(data), size}, {&pad, size & 1}};
    uint64_t pos = file_.end();
    CaptureError err;
    if (!file_.append(parts, 3, err))
        return fail(err);
    riffChunks_.push_back({pos, uint32_t(size), uint8_t(stream), keyFrame});
    s.segment.push_back(uint32_t(pos + 8 - moviList_));
    s.segment.push_back(uint32_t(size) | (keyFrame ? 0 : avi::kDeltaFrameBit));
    s.segmentTicks += ticks;
    s.segmentDirty = true;
    s.ticks += ticks;
    if (riffIndex_ == 0)
        s.firstRiffTicks = s.ticks;
    s.maxChunk = std::max(s.maxChunk, uint32_t(size));
    return true;
}

bool AviMuxer::writeStandardIndexes(bool endOfRiff)
{
    for (Stream& s : streams_) {
        if (s.segmentDirty) {
            uint32_t entries = uint32_t(s.segment.size() / 2);
            Bytes ix;
            ix.u32(s.indexId);
            ix.u32(24 + 8 * entries);
            ix.u16(2);   // longs per entry
            ix.u8(0);
            ix.u8(avi::kIndexOfChunks);
            ix.u32(entries);
            ix.u32(s.chunkId);
            ix.u64(moviList_);
            ix.u32(0);
            for (uint32_t v : s.segment)
                ix.u32(v);
            if (s.segmentSlot < 0 && s.slots.size() >= limits_.superIndexSlots) {
                CaptureError err = captureFault(CaptureFault::FileTooLong, "The capture file's index is full");
                return fail(err);
            }
            uint64_t pos = file_.end();
            CaptureError err;
            if (!file_.append(ix.data(), ix.size(), err))
                return fail(err);
            if (s.segmentSlot < 0) {
                s.segmentSlot = int(s.slots.size());
                s.slots.push_back({});
            }
            s.slots[size_t(s.segmentSlot)] = {pos, uint32_t(ix.size()), s.segmentTicks};
            s.segmentDirty = false;
        }
        // A full standard index is left as it is; keep two slots for the part ends.
        bool full = s.segment.size() / 2 >= limits_.segmentEntries &&
                    s.slots.size() + 2 < limits_.superIndexSlots;
        if (endOfRiff || full) {
            s.segment.clear();
            s.segmentTicks = 0;
            s.segmentSlot = -1;
        }
    }
    return true;
}

bool AviMuxer::writeLegacyIndex()
{
    Bytes idx;
    idx.fcc("idx1");
    idx.u32(uint32_t(16 * riffChunks_.size()));
    for (const ChunkRecord& c : riffChunks_) {
        idx.u32(streams_[c.stream].chunkId);
        idx.u32(c.size && c.keyFrame ? avi::kAviifKeyframe : 0);
        idx.u32(uint32_t(c.pos - (moviList_ + 8)));
        idx.u32(c.size);
    }
    uint64_t moviEnd = file_.end();
    CaptureError err;
    if (!file_.append(idx.data(), idx.size(), err)) {
        // Without room for it the file still plays through the OpenDML indexes.
        file_.truncate(moviEnd, err);
        firstMoviEnd_ = firstRiffEnd_ = moviEnd;
        return false;
    }
    firstMoviEnd_ = moviEnd;
    firstRiffEnd_ = file_.end();
    hasLegacyIndex_ = true;
    return true;
}

bool AviMuxer::patchHeader()
{
    uint64_t end = file_.end();
    AviHeaderInfo info{&video_, audio_ ? &*audio_ : nullptr, &streams_, limits_.superIndexSlots};
    uint64_t riffEnd = firstRiffEnd_ ? firstRiffEnd_ : end;
    uint64_t moviEnd = firstMoviEnd_ ? firstMoviEnd_ : end;
    info.riffSize = uint32_t(riffEnd - 8);
    info.moviSize = uint32_t(moviEnd - firstMoviList_ - 8);
    info.hasLegacyIndex = hasLegacyIndex_;
    AviHeaderLayout layout;
    Bytes header = buildAviHeader(info, &layout);
    CaptureError err;
    // Entries first, counts after: a reader never sees a count ahead of its entries.
    for (size_t i = 0; i < streams_.size(); ++i) {
        if (!file_.patch(layout.slotsOffset[i], header.data() + layout.slotsOffset[i], layout.slotsBytes, err))
            return fail(err);
    }
    if (!file_.patch(0, header.data(), header.size(), err))
        return fail(err);
    if (riffIndex_ > 0) {
        uint8_t size[4];
        avi::store32(size, uint32_t(end - riffStart_ - 8));
        if (!file_.patch(riffStart_ + 4, size, 4, err))
            return fail(err);
        avi::store32(size, uint32_t(end - moviList_ - 8));
        if (!file_.patch(moviList_ + 4, size, 4, err))
            return fail(err);
    }
    return true;
}

bool AviMuxer::endRiff()
{
    if (!writeStandardIndexes(true))
        return false;
    if (riffIndex_ == 0)
        writeLegacyIndex();
    return patchHeader();
}

bool AviMuxer::beginRiff()
{
    Bytes head;
    head.fcc("RIFF");
    head.u32(16);   // an empty part until the next flush patches the sizes
    head.fcc("AVIX");
    head.fcc("LIST");
    head.u32(4);
    head.fcc("movi");
    uint64_t pos = file_.end();
    CaptureError err;
    if (!file_.append(head.data(), head.size(), err))
        return fail(err);
    ++riffIndex_;
    riffStart_ = pos;
    moviList_ = pos + 12;
    riffChunks_.clear();
    if (!patchHeader())
        return false;
    setMark();
    return true;
}

bool AviMuxer::flush(bool syncToDisk)
{
    if (failed_)
        return false;
    if (!writeStandardIndexes(false) || !patchHeader())
        return false;
    CaptureError err;
    if (syncToDisk && !file_.sync(err))
        return fail(err);
    setMark();
    return true;
}

bool AviMuxer::close()
{
    if (!file_.isOpen())
        return !failed_;
    if (!failed_ && endRiff()) {
        CaptureError err;
        if (!file_.sync(err))
            fail(err);
    }
    file_.close();
    return !failed_;
}

void AviMuxer::setMark()
{
    mark_.end = file_.end();
    mark_.chunks = riffChunks_.size();
    mark_.dropped = dropped_;
    for (size_t i = 0; i < streams_.size(); ++i) {
        const Stream& s = streams_[i];
        mark_.streams[i] = {s.ticks, s.segment, s.segmentTicks, s.segmentSlot, s.slots};
    }
}

void AviMuxer::rollBackToMark()
{
    CaptureError ignored;
    file_.truncate(mark_.end, ignored);
    riffChunks_.resize(std::min(riffChunks_.size(), mark_.chunks));
    dropped_ = mark_.dropped;
    for (size_t i = 0; i < streams_.size(); ++i) {
        Stream& s = streams_[i];
        const auto& m = mark_.streams[i];
        s.ticks = m.ticks;
        if (riffIndex_ == 0)
            s.firstRiffTicks = s.ticks;
        s.segment = m.segment;
        s.segmentTicks = m.segmentTicks;
        s.segmentSlot = m.segmentSlot;
        s.slots = m.slots;
        s.segmentDirty = false;
    }
}

bool AviMuxer::fail(const CaptureError& error)
{
    if (recovering_) {
        recoveryFailed_ = true;
        return false;
    }
    if (failed_)
        return false;   // the first error is the one reported
    error_ = error;
    recovering_ = true;
    finishAfterFailure();
    recovering_ = false;
    failed_ = true;
    return false;
}

void AviMuxer::finishAfterFailure()
{
    // Cut off the half-written record, then index what made it to disk. If even the index
    // does not fit, go back to the last flush, whose header is already on disk.
    CaptureError ignored;
    file_.truncate(file_.end(), ignored);
    recoveryFailed_ = false;
    bool ok = writeStandardIndexes(true);
    if (ok && riffIndex_ == 0)
        writeLegacyIndex();
    ok = ok && patchHeader() && !recoveryFailed_;
    if (!ok) {
        if (riffIndex_ == 0) {
            firstMoviEnd_ = firstRiffEnd_ = 0;
            hasLegacyIndex_ = false;
        }
        rollBackToMark();
        patchHeader();
    }
    file_.sync(ignored);
    file_.close();
}
