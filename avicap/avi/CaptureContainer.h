#pragma once
// The file a recording goes into, whatever its layout: a video stream of one chunk per frame
// slot and an optional sound stream, readable up to the last flush if the process dies.
// Driven by one thread.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "avicap/CaptureError.h"
#include "avicap/avi/AviTypes.h"

struct ContainerCounts
{
    uint64_t videoFrames = 0;   // chunks, dropped ones included
    uint64_t droppedFrames = 0;
    uint64_t audioBytes = 0;
    uint64_t fileBytes = 0;
    int parts = 1;   // a file past the format's part size continues in further parts
};

class CaptureContainer
{
public:
    virtual ~CaptureContainer() = default;
    virtual bool open(const std::string& path, const AviVideoFormat& video,
                      const std::optional<AviAudioFormat>& audio) = 0;
    // An empty chunk marks a dropped frame. keyFrame: a decoder can start at this frame.
    virtual bool writeVideo(const uint8_t* data, size_t size, bool keyFrame) = 0;
    virtual bool writeAudio(const uint8_t* data, size_t size) = 0;
    // Makes everything written so far readable (and durable with syncToDisk).
    virtual bool flush(bool syncToDisk) = 0;
    // Finishes the file; after a failure it keeps what the disk took.
    virtual bool close() = 0;
    virtual const CaptureError& error() const = 0;
    virtual ContainerCounts counts() const = 0;
};
