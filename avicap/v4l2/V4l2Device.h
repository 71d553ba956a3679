#pragma once
// One V4L2 camera: memory-mapped streaming into kV4l2Buffers buffers, read by a camera
// thread that polls with a short timeout (so stopping never waits on the camera) and, when
// it falls behind, converts only the newest frame that is ready. A device error or unplug
// ends streaming with deviceFailed; the node is then closed, and the next start opens it
// again, so a camera plugged back in streams in the mode it had, with the controls the person
// set. Only the same camera is taken back (driver, card and bus as VIDIOC_QUERYCAP gives
// them): another one at the node stays refused, as the camera still lost. The sink must not
// destroy the device from inside a callback.
//
// Threads: the owner's thread calls every public member. The camera thread runs run(),
// drain(), deliver() and fail(); it owns converter_ and sequence_, and reads fd_, mode_,
// bytesPerLine_, buffers_ and sink_, which the owner sets before starting the thread and
// changes only after joining it (setFormat and the controls restart streaming around a
// change). stop_, running_, failed_ and rejected_ are atomics; a grab hands its frame over
// under grabMutex_.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "avicap/CaptureDriver.h"
#include "avicap/v4l2/V4l2CameraSettings.h"
#include "avicap/v4l2/V4l2Convert.h"
#include "avicap/v4l2/V4l2Formats.h"
#include "avicap/v4l2/V4l2System.h"

struct v4l2_buffer;
struct v4l2_capability;

constexpr uint32_t kV4l2Buffers = 4;

// Whether the node captures video with streaming I/O (metadata and output nodes do not).
bool isV4l2CaptureNode(const v4l2_capability& caps);
// "driver x.y.z", as capGetDriverDescriptionA gives the version.
std::string v4l2VersionText(const v4l2_capability& caps);

class V4l2Device : public CaptureDevice
{
public:
    // Null when the node cannot be opened, is no capture device or offers no usable format;
    // error, when given, then says which.
    static std::unique_ptr<V4l2Device> open(std::shared_ptr<V4l2System> system,
                                            const std::string& path, CaptureError* error = nullptr);
    ~V4l2Device() override;

    std::string name() const override { return name_; }
    std::string version() const override { return version_; }
    std::vector<CaptureFormat> formats() const override;
    CaptureFormat format() const override;
    CaptureError setFormat(const CaptureFormat& format) override;
    std::vector<CaptureControl> controls() const override;
    bool setControl(uint32_t id, int value) override;
    CaptureError startStreaming(CaptureSink* sink) override;
    void stopStreaming() override;
    bool streaming() const override;
    CaptureError grabFrame(CaptureFrame& frame, int timeoutMs) override;
    uint64_t framesRejected() const override { return rejected_.load(); }

    // The camera's pixel format in use.
    uint32_t pixelFormat() const;
    // Whether a device of this process streams from the node: then the node answering busy
    // is no other program's doing.
    static bool streamingHere(const V4l2System* system, const std::string& path);

private:
    struct Buffer
    {
        void* address = nullptr;
        size_t length = 0;
    };
    class GrabSink;

    explicit V4l2Device(std::shared_ptr<V4l2System> system);
    CaptureError initialise(const std::string& path);
    CaptureError reopen();
    CaptureError startMode();
    bool offers(const V4l2Mode& mode) const;
    CaptureError applyMode(const V4l2Mode& mode);
    CaptureError readFormat(V4l2Mode& mode);
    CaptureError callError(const char* call, int err) const;
    CaptureError notOpen() const;
    CaptureError restartAround(const std::function<CaptureError()>& change);
    CaptureError startBuffers();
    void markStreamingHere(bool on);
    void releaseBuffers();
    void closeNode();
    // The person's controls, again on a camera that came back: input first, as it decides
    // the modes. Caller holds mutex_.
    void restoreControls(bool inputs);
    // Keeps a control value the person set, for this run and the next. Caller holds mutex_.
    void remember(uint32_t id, int value);
    void run();
    bool drain();
    CaptureError whyPollFailed();
    static int64_t frameTime(const v4l2_buffer& buffer);
    void deliver(uint32_t index, uint32_t bytesUsed, int64_t takenUs);
    void fail(const CaptureError& error);

    std::shared_ptr<V4l2System> system_;
    int fd_ = -1;
    std::string path_;
    std::string name_;
    std::string version_;
    V4l2Identity identity_;
    std::string refused_;   // the last camera refused at the node, said once on stderr

    mutable std::mutex mutex_;   // everything below but the camera thread's own state
    std::vector<V4l2Mode> modes_;
    V4l2Mode mode_;
    uint32_t bytesPerLine_ = 0;
    std::vector<Buffer> buffers_;
    bool streamOn_ = false;
    bool requested_ = false;   // buffers asked for: freed again even when setup failed
    V4l2Choice chosen_;   // what the person set: format, and controls in the order set
    CaptureSink* sink_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> failed_{false};
    std::atomic<uint64_t> rejected_{0};

    // Camera thread only.
    V4l2Converter converter_;
    uint64_t sequence_ = 0;

    std::mutex grabMutex_;
    std::condition_variable grabbed_;
    bool grabWanted_ = false;
    std::optional<CaptureFrame> grabFrame_;
};
