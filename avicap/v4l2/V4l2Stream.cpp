// Streaming half of V4l2Device: buffers, the camera thread, frame delivery and grabs.
#include <linux/videodev2.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

#include "avicap/v4l2/V4l2Device.h"
#include "platform/Clock.h"

namespace {

constexpr int kPollTimeoutMs = 50;           // how long stopStreaming may wait for the thread
constexpr size_t kMaxBufferBytes = size_t(256) << 20;
constexpr uint32_t kMaxBuffers = 32;

// Nodes this process streams from, by system: listing them must not call them busy.
std::mutex streamingMutex;
std::map<std::pair<const V4l2System*, std::string>, int> streamingNodes;

}  // namespace

bool V4l2Device::streamingHere(const V4l2System* system, const std::string& path)
{
    std::lock_guard lock(streamingMutex);
    return streamingNodes.count({system, path}) != 0;
}

void V4l2Device::markStreamingHere(bool on)
{
    std::lock_guard lock(streamingMutex);
    const auto key = std::make_pair(static_cast<const V4l2System*>(system_.get()), path_);
    if (on)
        ++streamingNodes[key];
    else if (auto it = streamingNodes.find(key); it != streamingNodes.end() && --it->second == 0)
        streamingNodes.erase(it);
}

class V4l2Device::GrabSink : public CaptureSink
{
public:
    void frameArrived(CaptureFrame&&) override {}
    void deviceFailed(const CaptureError&) override {}
};

CaptureError V4l2Device::startBuffers()
{
    v4l2_requestbuffers request{};
    request.count = kV4l2Buffers;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (system_->ioctl(fd_, VIDIOC_REQBUFS, &request) != 0)
        return callError("VIDIOC_REQBUFS", errno);
    requested_ = true;
    if (request.count == 0 || request.count > kMaxBuffers)
        return captureFault(CaptureFault::CameraFailed, "VIDIOC_REQBUFS on " + path_ + ": the driver granted " +
                                                            std::to_string(request.count) + " buffers");
    // A whole raw frame must fit each buffer, or conversion would read past it; compressed
    // frames only need some room.
    const V4l2PixelLayout layout{mode_.fourcc, mode_.width, mode_.height, bytesPerLine_};
    const size_t needed = V4l2Converter::isJpeg(mode_.fourcc) ? 1 : v4l2FrameBytes(layout);
    if (needed == 0)
        return captureFault(CaptureFault::CameraUnsupported,
                            "The camera on " + path_ + " lays out " + v4l2FourccText(mode_.fourcc) + " " +
                                std::to_string(mode_.width) + " x " + std::to_string(mode_.height) +
                                " in a way Lumo free does not read");
    buffers_.resize(request.count);
    for (uint32_t index = 0; index < request.count; ++index) {
        v4l2_buffer buffer{};
        buffer.index = index;
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (system_->ioctl(fd_, VIDIOC_QUERYBUF, &buffer) != 0)
            return callError("VIDIOC_QUERYBUF", errno);
        if (buffer.length < needed || buffer.length > kMaxBufferBytes)
            return captureFault(CaptureFault::CameraFailed, "VIDIOC_QUERYBUF on " + path_ + ": a buffer of " +
                                                                std::to_string(buffer.length) + " bytes for frames of " +
                                                                std::to_string(needed));
        void* address = system_->mmap(buffer.length, fd_, buffer.m.offset);
        if (!address)
            return callError("mmap", errno);
        buffers_[index] = {address, buffer.length};
        if (system_->ioctl(fd_, VIDIOC_QBUF, &buffer) != 0)
            return callError("VIDIOC_QBUF", errno);
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (system_->ioctl(fd_, VIDIOC_STREAMON, &type) != 0)
        return callError("VIDIOC_STREAMON", errno);
    streamOn_ = true;
    markStreamingHere(true);
    return captureOk();
}

void V4l2Device::releaseBuffers()
{
    if (fd_ >= 0 && streamOn_) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        system_->ioctl(fd_, VIDIOC_STREAMOFF, &type);
    }
    if (streamOn_)
        markStreamingHere(false);
    streamOn_ = false;
    for (Buffer& buffer : buffers_)
        if (buffer.address)
            system_->munmap(buffer.address, buffer.length);
    if (fd_ >= 0 && requested_) {
        v4l2_requestbuffers request{};
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        system_->ioctl(fd_, VIDIOC_REQBUFS, &request);
    }
    buffers_.clear();
    requested_ = false;
}

CaptureError V4l2Device::startStreaming(CaptureSink* sink)
{
    if (!sink)
        return captureFault(CaptureFault::CameraFailed, "The camera was started with nowhere to deliver");
    stopStreaming();
    if (thread_.joinable())   // asked from the sink's own callback, before its thread has ended
        return captureFault(CaptureFault::CameraFailed, "The camera cannot start again from its own callback");
    std::lock_guard lock(mutex_);
    if (fd_ < 0)
        if (CaptureError error = reopen(); error.failed())
            return error;
    if (CaptureError error = startBuffers(); error.failed()) {
        releaseBuffers();
        return error;
    }
    sink_ = sink;
    stop_ = false;
    failed_ = false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return captureOk();
}

void V4l2Device::stopStreaming()
{
    stop_ = true;
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            return;   // from the sink's own callback: the thread ends when it returns
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    releaseBuffers();
    sink_ = nullptr;
    running_ = false;
    // A failed node stays busy (and an unplugged camera cannot come back) until it is closed.
    if (failed_)
        closeNode();
}

bool V4l2Device::streaming() const { return running_ && !failed_; }

void V4l2Device::fail(const CaptureError& error)
{
    failed_ = true;
    {
        std::lock_guard lock(grabMutex_);
        grabbed_.notify_all();
    }
    if (!stop_)
        sink_->deviceFailed(error);
}

void V4l2Device::run()
{
    while (!stop_) {
        short revents = 0;
        int ready = system_->poll(fd_, kPollTimeoutMs, revents);
        if (ready < 0) {
            fail(cameraCallError("poll", path_, errno, true));
            break;
        }
        if (ready == 0)
            continue;
        if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
            fail(whyPollFailed());
            break;
        }
        if ((revents & POLLIN) && !drain())
            break;
    }
    running_ = false;
}

// The poll said the device failed (unplugged, driver error); the queue says why, and a
// frame it still hands over is left: streaming ends here anyway.
CaptureError V4l2Device::whyPollFailed()
{
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    if (system_->ioctl(fd_, VIDIOC_DQBUF, &buffer) != 0 && errno != EAGAIN)
        return cameraCallError("VIDIOC_DQBUF", path_, errno, true);
    return captureFault(CaptureFault::CameraLost, "poll on " + path_ + ": the device reported an error");
}

// Dequeues every frame that is ready and shows only the newest.
bool V4l2Device::drain()
{
    v4l2_buffer newest{};
    bool have = false;
    int64_t takenUs = 0;
    for (size_t count = 0; count <= buffers_.size(); ++count) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (system_->ioctl(fd_, VIDIOC_DQBUF, &buffer) != 0) {
            if (errno == EAGAIN)
                break;
            fail(cameraCallError("VIDIOC_DQBUF", path_, errno, true));
            return false;
        }
        if (buffer.index >= buffers_.size()) {
            fail(captureFault(CaptureFault::CameraLost, "VIDIOC_DQBUF on " + path_ + ": buffer " +
                                                            std::to_string(buffer.index) + " does not exist"));
            return false;
        }
        if (have && system_->ioctl(fd_, VIDIOC_QBUF, &newest) != 0) {
            fail(cameraCallError("VIDIOC_QBUF", path_, errno, true));
            return false;
        }
        newest = buffer;
        have = true;
        takenUs = frameTime(buffer);
    }
    if (!have)
        return true;
    if (!(newest.flags & V4L2_BUF_FLAG_ERROR))
        deliver(newest.index, newest.bytesused, takenUs);
    if (system_->ioctl(fd_, VIDIOC_QBUF, &newest) != 0) {
        fail(cameraCallError("VIDIOC_QBUF", path_, errno, true));
        return false;
    }
    return true;
}

// When the camera took the frame: the driver's stamp where it is on CLOCK_MONOTONIC, which
// only the system clock reads (and sound is stamped by the card on it too), else the time
// it came out of the queue, which is later by the camera's delay.
int64_t V4l2Device::frameTime(const v4l2_buffer& buffer)
{
    ClockRef clock = currentClock();
    const int64_t now = clock.monotonicUs();
    if ((buffer.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) != V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC ||
        !dynamic_cast<SystemClock*>(&clock.clock()))
        return now;
    const int64_t stamp = int64_t(buffer.timestamp.tv_sec) * 1000000 + buffer.timestamp.tv_usec;
    return stamp > 0 && stamp <= now && now - stamp < 1000000 ? stamp : now;
}

void V4l2Device::deliver(uint32_t index, uint32_t bytesUsed, int64_t takenUs)
{
    const Buffer& buffer = buffers_[index];
    size_t size = bytesUsed == 0 || bytesUsed > buffer.length ? buffer.length : bytesUsed;
    const uint8_t* data = static_cast<const uint8_t*>(buffer.address);
    const V4l2PixelLayout layout{mode_.fourcc, mode_.width, mode_.height, bytesPerLine_};
    CaptureFrame frame;
    if (!converter_.convert(layout, data, size, frame.pixels)) {
        ++rejected_;   // a corrupt or short frame: counted, and the next one may be fine
        return;
    }
    frame.width = mode_.width;
    frame.height = mode_.height;
    frame.timestampUs = takenUs;   // when it came, not when conversion finished
    frame.sequence = sequence_++;
    if (V4l2Converter::isJpeg(mode_.fourcc))
        frame.jpeg.assign(data, data + size);
    {
        std::lock_guard lock(grabMutex_);
        if (grabWanted_) {
            grabFrame_ = frame;
            grabWanted_ = false;
            grabbed_.notify_all();
        }
    }
    sink_->frameArrived(std::move(frame));
}

CaptureError V4l2Device::grabFrame(CaptureFrame& frame, int timeoutMs)
{
    GrabSink quiet;
    const bool own = !streaming();
    if (own)
        if (CaptureError error = startStreaming(&quiet); error.failed())
            return error;
    bool got;
    {
        std::unique_lock lock(grabMutex_);
        grabFrame_.reset();
        grabWanted_ = true;
        got = grabbed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                [&] { return grabFrame_.has_value() || failed_; }) &&
              grabFrame_.has_value();
        grabWanted_ = false;
        if (got)
            frame = std::move(*grabFrame_);
        grabFrame_.reset();
    }
    const bool failed = failed_;
    if (own)
        stopStreaming();
    if (got)
        return captureOk();
    if (failed)
        return captureFault(CaptureFault::CameraLost, "The camera on " + path_ + " stopped while a picture was awaited");
    return captureFault(CaptureFault::NoFrame, "No picture came from the camera on " + path_ + " within " +
                                                   std::to_string(timeoutMs) + " ms");
}
