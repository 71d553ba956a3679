// Streaming half of V4l2Device: buffers, the camera thread, frame delivery and grabs.
#include <linux/videodev2.h>
#include <poll.h>

#include <cerrno>
#include <cstring>

#include "avicap/v4l2/V4l2Device.h"
#include "platform/Clock.h"

namespace {

constexpr int kPollTimeoutMs = 50;           // how long stopStreaming may wait for the thread
constexpr size_t kMaxBufferBytes = size_t(256) << 20;
constexpr uint32_t kMaxBuffers = 32;

std::string errorText(const char* what, int error)
{
    return std::string("The camera stopped (") + what + ": " + std::strerror(error) + ")";
}

}  // namespace

class V4l2Device::GrabSink : public CaptureSink
{
public:
    void frameArrived(CaptureFrame&&) override {}
    void deviceFailed(const std::string&) override {}
};

bool V4l2Device::startBuffers()
{
    v4l2_requestbuffers request{};
    request.count = kV4l2Buffers;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (system_->ioctl(fd_, VIDIOC_REQBUFS, &request) != 0)
        return false;
    requested_ = true;
    if (request.count == 0 || request.count > kMaxBuffers)
        return false;
    // A whole raw frame must fit each buffer, or conversion would read past it; compressed
    // frames only need some room.
    const V4l2PixelLayout layout{mode_.fourcc, mode_.width, mode_.height, bytesPerLine_};
    const size_t needed = V4l2Converter::isJpeg(mode_.fourcc) ? 1 : v4l2FrameBytes(layout);
    if (needed == 0)
        return false;
    buffers_.resize(request.count);
    for (uint32_t index = 0; index < request.count; ++index) {
        v4l2_buffer buffer{};
        buffer.index = index;
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (system_->ioctl(fd_, VIDIOC_QUERYBUF, &buffer) != 0 || buffer.length < needed ||
            buffer.length > kMaxBufferBytes)
            return false;
        void* address = system_->mmap(buffer.length, fd_, buffer.m.offset);
        if (!address)
            return false;
        buffers_[index] = {address, buffer.length};
        if (system_->ioctl(fd_, VIDIOC_QBUF, &buffer) != 0)
            return false;
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (system_->ioctl(fd_, VIDIOC_STREAMON, &type) != 0)
        return false;
    streamOn_ = true;
    return true;
}

void V4l2Device::releaseBuffers()
{
    if (fd_ >= 0 && streamOn_) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        system_->ioctl(fd_, VIDIOC_STREAMOFF, &type);
    }
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

bool V4l2Device::startStreaming(CaptureSink* sink)
{
    if (!sink)
        return false;
    stopStreaming();
    if (thread_.joinable())
        return false;   // asked from the sink's own callback, before its thread has ended
    std::lock_guard lock(mutex_);
    if (fd_ < 0 && !reopen())
        return false;
    if (!startBuffers()) {
        releaseBuffers();
        return false;
    }
    sink_ = sink;
    stop_ = false;
    failed_ = false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
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

void V4l2Device::fail(const std::string& message)
{
    failed_ = true;
    {
        std::lock_guard lock(grabMutex_);
        grabbed_.notify_all();
    }
    if (!stop_)
        sink_->deviceFailed(message);
}

void V4l2Device::run()
{
    while (!stop_) {
        short revents = 0;
        int ready = system_->poll(fd_, kPollTimeoutMs, revents);
        if (ready < 0) {
            fail(errorText("poll", errno));
            break;
        }
        if (ready == 0)
            continue;
        if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
            fail("The camera stopped (unplugged or device error)");
            break;
        }
        if ((revents & POLLIN) && !drain())
            break;
    }
    running_ = false;
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
            fail(errorText("dequeue", errno));
            return false;
        }
        if (buffer.index >= buffers_.size()) {
            fail("The camera stopped (bad buffer from the driver)");
            return false;
        }
        if (have && system_->ioctl(fd_, VIDIOC_QBUF, &newest) != 0) {
            fail(errorText("queue", errno));
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
        fail(errorText("queue", errno));
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

bool V4l2Device::grabFrame(CaptureFrame& frame, int timeoutMs)
{
    GrabSink quiet;
    const bool own = !streaming();
    if (own && !startStreaming(&quiet))
        return false;
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
    if (own)
        stopStreaming();
    return got;
}
