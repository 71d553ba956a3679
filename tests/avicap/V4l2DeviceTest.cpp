// The V4L2 driver against the first real camera (/dev/video0): on a machine with a webcam,
// or in the virtual machine of scripts/vm-tests.sh with the kernel's vivid driver. Skipped
// where there is no capture device.
#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "AviProbe.h"
#include "Vivid.h"
#include "avicap/avi/AviWriter.h"
#include "avicap/window/CaptureWindow.h"
#include "avicap/avi/FrameGrid.h"
#include "avicap/avi/Recorder.h"
#include "avicap/v4l2/V4l2Device.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "avicap/Vfw.h"
#include "platform/Clock.h"
#include "platform/Windows.h"
#include "platform/WindowTree.h"
#include "platform/display/DisplayBackend.h"
#include "platform/display/headless/HeadlessDisplay.h"

namespace {

using namespace std::chrono_literals;

bool firstNodeCaptures()
{
    auto system = realV4l2System();
    int fd = system->open("/dev/video0");
    if (fd < 0)
        return false;
    v4l2_capability caps{};
    bool capture = system->ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0 && isV4l2CaptureNode(caps);
    system->close(fd);
    return capture;
}

#define REQUIRE_CAMERA()                                                                     \
    do {                                                                                     \
        if (!firstNodeCaptures())                                                            \
            GTEST_SKIP() << "skipped: /dev/video0 is absent or not a capture device";        \
    } while (false)

// Counts frames and, when given a writer, records them.
class Recorder : public CaptureSink
{
public:
    AviWriter* writer = nullptr;
    void frameArrived(CaptureFrame&& frame) override
    {
        std::optional<uint64_t> slot;
        if (writer) {
            if (gridOf != writer)
                grid.start(writer->config().startUs, writer->config().video.microSecPerFrame);
            gridOf = writer;
            slot = grid.take(frame.timestampUs);
        }
        if (slot) {
            if (!frame.jpeg.empty()) {
                writer->addJpeg(frame.jpeg.data(), frame.jpeg.size(), *slot);
            } else {
                // DIB rows are padded to 4 bytes.
                const size_t row = size_t(frame.width) * 3, stride = (row + 3) & ~size_t(3);
                dib.assign(stride * size_t(frame.height), 0);
                for (int y = 0; y < frame.height; ++y)
                    std::memcpy(dib.data() + stride * size_t(y), frame.pixels.data() + row * size_t(y), row);
                writer->addFrame(dib.data(), dib.size(), *slot);
            }
        }
        std::lock_guard lock(mutex);
        ++frames;
        sizeOk = sizeOk && frame.pixels.size() == size_t(frame.width) * size_t(frame.height) * 3;
        wake.notify_all();
    }
    void deviceFailed(const CaptureError& error) override
    {
        std::lock_guard lock(mutex);
        failure = error.text;
        wake.notify_all();
    }
    bool waitFrames(int count, std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock lock(mutex);
        return wake.wait_for(lock, timeout, [&] { return frames >= count; });
    }
    bool waitFailure()
    {
        std::unique_lock lock(mutex);
        return wake.wait_for(lock, 5s, [&] { return !failure.empty(); });
    }
    std::mutex mutex;
    std::condition_variable wake;
    int frames = 0;
    bool sizeOk = true;
    std::string failure;
    std::vector<uint8_t> dib;
    FrameGrid grid;
    const AviWriter* gridOf = nullptr;
};

// Opens the first camera at VGA (or its first size) and its best rate up to 30 per second:
// the driver remembers formats between opens, so every test sets its own.
std::unique_ptr<CaptureDevice> openFirst()
{
    V4l2Driver driver;
    std::unique_ptr<CaptureDevice> device = driver.open(0).device;
    if (!device)
        return device;
    auto formats = device->formats();
    CaptureFormat best{};
    for (const CaptureFormat& f : formats) {
        bool vga = f.width == 640 && f.height == 480;
        bool bestVga = best.width == 640 && best.height == 480;
        if (f.framesPerSecond <= 30 && (best.width == 0 || (vga && !bestVga) ||
                                        (vga == bestVga && f.framesPerSecond > best.framesPerSecond)))
            best = f;
    }
    if (best.width) {
        EXPECT_TRUE(device->setFormat(best).ok());
    }
    CaptureFormat f = device->format();
    std::printf("using %dx%d @ %d\n", f.width, f.height, f.framesPerSecond);
    return device;
}

// Frames ffprobe counts in the file; -1 when ffprobe is not installed, -2 when it fails.
int probeFrames(const std::string& path)
{
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0)
        return -1;
    std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                          "stream=nb_read_frames -of csv=p=0 '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    char line[256] = {};
    bool read = pipe && std::fgets(line, sizeof line, pipe);
    int status = pipe ? pclose(pipe) : -1;
    return read && status == 0 ? std::atoi(line) : -2;
}

std::unique_ptr<AviWriter> startRecording(const CaptureDevice& device, const std::string& path)
{
    AviWriterConfig config;
    config.path = path;
    config.video.width = device.format().width;
    config.video.height = device.format().height;
    config.video.microSecPerFrame = uint32_t(1000000 / std::max(1, device.format().framesPerSecond));
    config.video.codec = VideoCodec::MotionJpeg;
    auto writer = std::make_unique<AviWriter>(config);
    CaptureError error;
    if (writer->open(&error))
        return writer;
    ADD_FAILURE() << path << ": " << error.text;
    return nullptr;
}

std::string tempFile(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

TEST(V4l2Device, ListsTheCameraWithItsFormatsAndControls)
{
    REQUIRE_CAMERA();
    V4l2Driver driver;
    auto devices = driver.devices();
    ASSERT_FALSE(devices.empty());
    EXPECT_FALSE(devices[0].name.empty());
    for (const CaptureDeviceInfo& info : devices)
        std::printf("camera: %s, %s\n", info.name.c_str(), info.version.c_str());
    auto device = openFirst();
    ASSERT_TRUE(device);
    auto formats = device->formats();
    ASSERT_FALSE(formats.empty());
    for (const CaptureFormat& f : formats)
        std::printf("  format %dx%d @ %d\n", f.width, f.height, f.framesPerSecond);
    for (const CaptureControl& c : device->controls())
        std::printf("  control %s (kind %d) %d..%d = %d\n", c.name.c_str(), int(c.kind), c.minimum,
                    c.maximum, c.value);
    // Every offered format can be set (the first few, to keep it quick).
    for (size_t i = 0; i < std::min<size_t>(formats.size(), 4); ++i) {
        EXPECT_TRUE(device->setFormat(formats[i]).ok()) << formats[i].width << "x" << formats[i].height;
        EXPECT_EQ(device->format().width, formats[i].width);
    }
}

TEST(V4l2Device, StreamsFramesOfTheChosenSizeAndStopsAtOnce)
{
    REQUIRE_CAMERA();
    auto device = openFirst();
    ASSERT_TRUE(device);
    const CaptureFormat format = device->format();
    Recorder sink;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    EXPECT_TRUE(sink.waitFrames(5));
    auto started = std::chrono::steady_clock::now();
    device->stopStreaming();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(sink.sizeOk);
    EXPECT_TRUE(sink.failure.empty()) << sink.failure;
    CaptureFrame frame;
    ASSERT_TRUE(device->grabFrame(frame, 3000).ok());
    EXPECT_EQ(frame.width, format.width);
}

TEST(V4l2Device, AppliesASliderLive)
{
    REQUIRE_CAMERA();
    auto device = openFirst();
    ASSERT_TRUE(device);
    Recorder sink;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    for (const CaptureControl& c : device->controls())
        if (c.kind == CaptureControl::Slider && c.maximum > c.minimum && c.name == "Brightness") {
            int value = c.value == c.maximum ? c.minimum : c.maximum;
            EXPECT_TRUE(device->setControl(c.id, value));
            for (const CaptureControl& after : device->controls())
                if (after.id == c.id) {
                    EXPECT_EQ(after.value, value);
                }
            device->setControl(c.id, c.value);
        }
    EXPECT_TRUE(sink.waitFrames(3));
    device->stopStreaming();
}

TEST(V4l2Device, RecordsTwoSecondsToAPlayableFile)
{
    REQUIRE_CAMERA();
    auto device = openFirst();
    ASSERT_TRUE(device);
    const std::string path = tempFile("lumo-v4l2-record.avi");
    auto writer = startRecording(*device, path);
    ASSERT_TRUE(writer);
    Recorder sink;
    sink.writer = writer.get();
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    std::this_thread::sleep_for(2s);
    device->stopStreaming();
    EXPECT_TRUE(writer->close().ok());
    std::printf("recorded %d frames, %llu bytes\n", sink.frames,
                (unsigned long long)std::filesystem::file_size(path));
    EXPECT_GE(sink.frames, 10);
    int probed = probeFrames(path);
    std::printf("ffprobe: %d frames\n", probed);
    EXPECT_TRUE(probed == -1 || probed >= 10) << probed;
}

TEST(V4l2Device, DisconnectMidRecordingEndsItAndTheCameraComesBack)
{
    REQUIRE_CAMERA();
    auto device = openFirst();
    ASSERT_TRUE(device);
    uint32_t disconnect = 0;
    for (const CaptureControl& c : device->controls())
        if (c.name == "Disconnect")
            disconnect = c.id;
    if (!disconnect)
        GTEST_SKIP() << "skipped: the camera has no Disconnect control";
    const std::string path = tempFile("lumo-v4l2-disconnect.avi");
    auto writer = startRecording(*device, path);
    ASSERT_TRUE(writer);
    Recorder sink;
    sink.writer = writer.get();
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    ASSERT_TRUE(sink.waitFrames(10));
    EXPECT_TRUE(device->setControl(disconnect, 1));
    ASSERT_TRUE(sink.waitFailure());
    std::printf("failure: %s after %d frames\n", sink.failure.c_str(), sink.frames);
    auto started = std::chrono::steady_clock::now();
    device->stopStreaming();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_FALSE(device->streaming());
    EXPECT_TRUE(writer->close().ok());
    int probed = probeFrames(path);
    std::printf("ffprobe after disconnect: %d frames\n", probed);
    // Frames that land in one slot of the frame grid are kept once.
    EXPECT_TRUE(probed == -1 || probed >= 5) << probed;
    device.reset();

    // The camera returns once nothing holds it open.
    std::unique_ptr<CaptureDevice> again;
    int attempt = 0;
    for (; attempt < 50 && !again; ++attempt) {
        again = openFirst();
        if (!again)
            std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(again);
    std::printf("open again: attempt %d\n", attempt);
    Recorder second;
    ASSERT_TRUE(again->startStreaming(&second).ok());
    EXPECT_TRUE(second.waitFrames(3));
    again->stopStreaming();
}

std::vector<std::pair<int, std::string>> windowErrors;

LRESULT noteWindowError(HWND, int id, LPCSTR text)
{
    windowErrors.push_back({id, text ? text : ""});
    return TRUE;
}

// Frames of the file as the AVI main header counts them; -1 when it is no RIFF AVI file.
long aviHeaderFrames(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(4096, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    head.resize(size_t(in.gcount()));
    size_t avih = head.find("avih");
    if (head.size() < 12 || head.compare(0, 4, "RIFF") != 0 || head.compare(8, 4, "AVI ") != 0 ||
        avih == std::string::npos || avih + 8 + 20 > head.size())
        return -1;
    uint32_t frames = 0;
    std::memcpy(&frames, head.data() + avih + 8 + 16, 4);   // dwTotalFrames, little-endian
    return long(frames);
}

// Records as the program does: a capture window on the camera, real time, 4 frames a
// second, no sound; the camera is unplugged mid-recording and the capture must end by itself.
TEST(V4l2Device, CaptureWindowRecordingEndsByItselfWhenTheCameraIsUnplugged)
{
    REQUIRE_CAMERA();
    struct Cleanup
    {
        ~Cleanup()
        {
            destroyAllWindows();
            setCameraDriver(nullptr);
            setCaptureRecorderFactory(nullptr);
            installDisplayBackend(nullptr);
        }
    } cleanup;
    destroyAllWindows();
    auto display = installHeadlessDisplay();
    setClock(nullptr);
    setCameraDriver(std::make_shared<V4l2Driver>());
    setCaptureRecorderFactory(makeCaptureRecorderFactory(createAlsaAudioInput));
    windowErrors.clear();
    HWND cap = capCreateCaptureWindowA("Camera", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, 0, 0);
    ASSERT_NE(cap, 0u);
    auto send = [&](UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageA(cap, message, wParam, lParam);
    };
    auto status = [&] {
        CAPSTATUS s{};
        EXPECT_TRUE(send(WM_CAP_GET_STATUS, sizeof s, LPARAM(&s)));
        return s;
    };
    auto pumpFor = [](std::chrono::milliseconds span) {
        auto until = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < until) {
            processPendingMessages();
            std::this_thread::sleep_for(10ms);
        }
    };

    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    const std::string path = tempFile("lumo-v4l2-window.avi");
    std::filesystem::remove(path);
    ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILEA, 0, LPARAM(path.c_str())));
    CAPTUREPARMS parms{};
    ASSERT_TRUE(send(WM_CAP_GET_SEQUENCE_SETUP, sizeof parms, LPARAM(&parms)));
    parms.dwRequestMicroSecPerFrame = 250000;
    parms.fYield = TRUE;
    parms.fCaptureAudio = FALSE;
    parms.fLimitEnabled = FALSE;
    ASSERT_TRUE(send(WM_CAP_SET_SEQUENCE_SETUP, sizeof parms, LPARAM(&parms)));
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_ERROR, 0, LPARAM(&noteWindowError)));

    ASSERT_TRUE(send(WM_CAP_SEQUENCE));
    pumpFor(2s);
    CAPSTATUS s = status();
    std::printf("before disconnect: capturing %d, %u frames\n", int(s.fCapturingNow),
                unsigned(s.dwCurrentVideoFrame));
    ASSERT_EQ(s.fCapturingNow, 1);
    EXPECT_TRUE(windowErrors.empty());
    if (!vivid::pressDisconnect()) {
        send(WM_CAP_STOP);
        GTEST_SKIP() << "skipped: the camera has no Disconnect control";
    }

    auto pressed = std::chrono::steady_clock::now();
    while (status().fCapturingNow && std::chrono::steady_clock::now() - pressed < 10s)
        pumpFor(50ms);
    auto ended = std::chrono::steady_clock::now() - pressed;
    s = status();
    std::printf("after disconnect: capturing %d after %lld ms, %u frames, dwReturn %u\n",
                int(s.fCapturingNow),
                (long long)std::chrono::duration_cast<std::chrono::milliseconds>(ended).count(),
                unsigned(s.dwCurrentVideoFrame), unsigned(s.dwReturn));
    for (const auto& [id, text] : windowErrors)
        std::printf("error callback: %d %s\n", id, text.c_str());
    EXPECT_EQ(s.fCapturingNow, 0) << "the capture did not end by itself";
    EXPECT_NE(s.dwReturn, 0u);
    ASSERT_FALSE(windowErrors.empty());
    EXPECT_FALSE(windowErrors.front().second.empty());
    EXPECT_FALSE(send(WM_CAP_STOP)) << "nothing left to stop";

    // The file holds what was recorded before the camera went.
    capWaitForFiles(cap);
    const long headerFrames = aviHeaderFrames(path);
    std::printf("avi header: %ld frames\n", headerFrames);
    EXPECT_GE(headerFrames, 4);
    if (std::system("command -v ffprobe >/dev/null 2>&1") == 0) {
        auto v = aviprobe::stream(path, "v:0");
        std::printf("ffprobe: %s, %sx%s, %s frames\n", v["codec_name"].c_str(), v["width"].c_str(),
                    v["height"].c_str(), v["nb_read_frames"].c_str());
        EXPECT_EQ(v.count("error"), 0u) << v["error"];
        EXPECT_EQ(aviprobe::number(v, "nb_read_frames"), double(headerFrames));
    }
    std::filesystem::remove(path);
}

}  // namespace
