// The V4L2 driver against a simulated kernel (V4l2SimCamera.h).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "avicap/AviProbe.h"
#include "avicap/avi/AviWriter.h"
#include "avicap/avi/FrameGrid.h"
#include "avicap/avi/MjpegEncoder.h"
#include "avicap/v4l2/V4l2CameraSettings.h"
#include "avicap/v4l2/V4l2Device.h"
#include "avicap/v4l2/V4l2Driver.h"
#include "avicap/V4l2SimCamera.h"

namespace {

using namespace std::chrono_literals;

const std::string kCam = "/dev/video0";

class RecordingSink : public CaptureSink
{
public:
    void frameArrived(CaptureFrame&& frame) override
    {
        std::unique_lock lock(mutex);
        ++entered;
        wake.notify_all();
        wake.wait(lock, [&] { return !hold; });
        frames.push_back(std::move(frame));
        wake.notify_all();
    }
    void deviceFailed(const CaptureError& error) override
    {
        std::lock_guard lock(mutex);
        failure = error.text;
        wake.notify_all();
    }
    bool waitFrames(size_t count)
    {
        std::unique_lock lock(mutex);
        return wake.wait_for(lock, 2s, [&] { return frames.size() >= count; });
    }
    bool waitFailure()
    {
        std::unique_lock lock(mutex);
        return wake.wait_for(lock, 2s, [&] { return !failure.empty(); });
    }
    void setHold(bool on)
    {
        std::lock_guard lock(mutex);
        hold = on;
        wake.notify_all();
    }
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<CaptureFrame> frames;
    std::string failure;
    bool hold = false;
    int entered = 0;
};

SimControl control(uint32_t id, const char* name, v4l2_ctrl_type type, int min, int max, int value,
                   uint32_t flags = 0)
{
    SimControl c;
    c.query.id = id;
    std::memcpy(c.query.name, name, std::min(sizeof c.query.name, std::strlen(name)));
    c.query.type = type;
    c.query.minimum = min;
    c.query.maximum = max;
    c.query.step = 1;
    c.query.default_value = min;
    c.query.flags = flags;
    c.value = value;
    return c;
}

// A 4x2 YUYV frame: top row white then red, bottom row black then grey; rows padded.
std::vector<uint8_t> yuyvPattern(uint32_t stride)
{
    std::vector<uint8_t> bytes(stride * 2, 0);
    const uint8_t top[] = {235, 128, 235, 128, 81, 90, 81, 240};
    const uint8_t bottom[] = {16, 128, 16, 128, 126, 128, 126, 128};
    std::copy(std::begin(top), std::end(top), bytes.begin());
    std::copy(std::begin(bottom), std::end(bottom), bytes.begin() + stride);
    return bytes;
}

struct V4l2Sim : ::testing::Test
{
    std::shared_ptr<SimV4l2> sim = std::make_shared<SimV4l2>();
    SimNode& cam = sim->node(kCam);

    std::unique_ptr<V4l2Device> open() { return V4l2Device::open(sim, kCam); }
    std::vector<uint8_t> grey(int width, int height) const
    {
        std::vector<uint8_t> bytes(size_t(width * height * 2));
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = i % 2 ? 128 : 126;
        return bytes;
    }
};

TEST_F(V4l2Sim, ListsCaptureNodesInNumberOrderAndNoticesHotPlug)
{
    sim->nodes.clear();
    sim->node("/dev/video10").card = "Ten";
    sim->node("/dev/video2").card = "Two";
    sim->node("/dev/video3").caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    sim->node("/dev/video0").card = "Zero";
    sim->node("/dev/video1").openFails = true;
    sim->node("/dev/videoX").card = "Bogus";
    sim->node("/dev/video7").caps = V4L2_CAP_VIDEO_CAPTURE;   // no streaming I/O
    V4l2Driver driver(sim);
    auto names = [&] {
        std::vector<std::string> list;
        for (auto& info : driver.devices())
            list.push_back(info.name);
        return list;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"Zero", "Two", "Ten"}));
    EXPECT_EQ(driver.devices()[0].version, "simcam 1.2.3");
    EXPECT_EQ(sim->open_.size(), 0u) << "listing leaves nothing open";

    sim->unplug("/dev/video2");
    EXPECT_EQ(names(), (std::vector<std::string>{"Zero", "Ten"}));
    auto device = driver.open(1).device;
    ASSERT_TRUE(device);
    EXPECT_EQ(device->name(), "Ten");
    EXPECT_FALSE(driver.open(2).device);
}

TEST_F(V4l2Sim, KeepsNineCamerasSoTheTestPatternIsTenth)
{
    sim->nodes.clear();
    for (int i = 0; i < 12; ++i)
        sim->node("/dev/video" + std::to_string(i)).card = "Cam " + std::to_string(i);
    setCameraDriver(std::make_shared<V4l2Driver>(sim));
    auto list = listCaptureDevices();
    auto device = openCaptureDevice(8).device;
    setCameraDriver(nullptr);
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[8].name, "Cam 8");
    EXPECT_EQ(list[9].name, "Lumo Test Pattern");
    ASSERT_TRUE(device);
    EXPECT_EQ(device->name(), "Cam 8");
}

TEST_F(V4l2Sim, NegotiatesFormatsAndRates)
{
    cam.formats = {{V4L2_PIX_FMT_YUYV, {{640, 480}, {1280, 720}, {100000, 100000}}, {30, 10}},
                   {V4L2_PIX_FMT_H264, {{1920, 1080}}, {30}},
                   {V4L2_PIX_FMT_MJPEG, {{1280, 720}}, {30}}};
    auto device = open();
    ASSERT_TRUE(device);
    EXPECT_EQ(device->format(), (CaptureFormat{640, 480, 30}));
    EXPECT_EQ(device->formats(), (std::vector<CaptureFormat>{
                                     {640, 480, 10}, {640, 480, 30}, {1280, 720, 10}, {1280, 720, 30}}));

    ASSERT_TRUE(device->setFormat({1280, 720, 30}).ok());
    EXPECT_EQ(device->pixelFormat(), uint32_t(V4L2_PIX_FMT_MJPEG)) << "records without re-encoding";
    ASSERT_TRUE(device->setFormat({1280, 720, 12}).ok());
    EXPECT_EQ(device->pixelFormat(), uint32_t(V4L2_PIX_FMT_YUYV)) << "only YUYV has 10 fps";
    EXPECT_EQ(device->format(), (CaptureFormat{1280, 720, 10}));
    EXPECT_EQ(cam.interval.denominator, 10u);

    EXPECT_TRUE(device->setFormat({800, 600, 30}).failed());
    EXPECT_TRUE(device->setFormat({1920, 1080, 30}).failed()) << "H.264 is not offered";
    EXPECT_EQ(device->format(), (CaptureFormat{1280, 720, 10}));
}

TEST_F(V4l2Sim, OffersCommonSizesFromARange)
{
    cam.formats = {{V4L2_PIX_FMT_YUYV, {{160, 120}, {1920, 1080}}, {30}, true}};
    auto device = open();
    ASSERT_TRUE(device);
    auto formats = device->formats();
    EXPECT_EQ(formats.front(), (CaptureFormat{160, 120, 30}));
    EXPECT_EQ(formats.back(), (CaptureFormat{1920, 1080, 30}));
    EXPECT_NE(std::find(formats.begin(), formats.end(), CaptureFormat{640, 480, 30}), formats.end());
    EXPECT_EQ(std::find(formats.begin(), formats.end(), CaptureFormat{2560, 1440, 30}), formats.end());
    EXPECT_EQ(device->format(), (CaptureFormat{640, 480, 30}));
}

TEST_F(V4l2Sim, RefusesANodeWithNothingToShow)
{
    cam.formats = {{V4L2_PIX_FMT_H264, {{640, 480}}, {30}}};
    EXPECT_FALSE(open());
    EXPECT_EQ(sim->openCount(kCam), 0);
}

TEST(V4l2Convert, YuyvToBottomUpBgr)
{
    V4l2Converter converter;
    std::vector<uint8_t> out;
    ASSERT_TRUE(converter.convert({V4L2_PIX_FMT_YUYV, 4, 2, 12}, yuyvPattern(12).data(), 24, out));
    const std::vector<uint8_t> expected = {
        0,   0,   0,   0,   0,   0,   128, 128, 128, 128, 128, 128,   // bottom picture row first
        255, 255, 255, 255, 255, 255, 0,   0,   255, 0,   0,   255};
    EXPECT_EQ(out, expected);
    EXPECT_FALSE(converter.convert({V4L2_PIX_FMT_YUYV, 4, 2, 12}, yuyvPattern(12).data(), 19, out))
        << "a short frame is refused";
    EXPECT_FALSE(converter.convert({V4L2_PIX_FMT_YUYV, 100000, 2, 0}, yuyvPattern(12).data(), 24, out));
}

TEST(V4l2Convert, LibraryFormatsConvertAndFlip)
{
    V4l2Converter converter;
    std::vector<uint8_t> out;
    // RGB24, top row red, bottom row blue: BGR, bottom row first.
    const std::vector<uint8_t> rgb = {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255};
    ASSERT_TRUE(converter.convert({V4L2_PIX_FMT_RGB24, 2, 2, 6}, rgb.data(), rgb.size(), out))
        << converter.error();
    EXPECT_EQ(out, (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255}));

    const std::pair<uint32_t, size_t> formats[] = {
        {V4L2_PIX_FMT_YVYU, 2},   {V4L2_PIX_FMT_UYVY, 2},   {V4L2_PIX_FMT_YUV420, 1},
        {V4L2_PIX_FMT_YVU420, 1}, {V4L2_PIX_FMT_NV12, 1},   {V4L2_PIX_FMT_BGR24, 3},
        {V4L2_PIX_FMT_RGB565, 2}, {V4L2_PIX_FMT_GREY, 1},   {V4L2_PIX_FMT_SBGGR8, 1},
        {V4L2_PIX_FMT_SGBRG8, 1}, {V4L2_PIX_FMT_SGRBG8, 1}, {V4L2_PIX_FMT_SRGGB8, 1}};
    for (auto [fourcc, bytesPerPixel] : formats) {
        std::vector<uint8_t> frame(16 * 16 * 3, 128);
        EXPECT_TRUE(converter.convert({fourcc, 16, 16, uint32_t(16 * bytesPerPixel)}, frame.data(),
                                      frame.size(), out))
            << std::hex << fourcc << ": " << converter.error();
        EXPECT_EQ(out.size(), 16u * 16 * 3);
    }
}

TEST(V4l2Convert, ShortFramesOfEveryFormatAreRefusedBeforeConversion)
{
    V4l2Converter converter;
    std::vector<uint8_t> out;
    // Whole-frame sizes of a 64 x 48 picture with tight rows.
    const std::pair<uint32_t, size_t> formats[] = {
        {V4L2_PIX_FMT_YUYV, 64 * 48 * 2},     {V4L2_PIX_FMT_YVYU, 64 * 48 * 2},   {V4L2_PIX_FMT_UYVY, 64 * 48 * 2},
        {V4L2_PIX_FMT_YUV420, 64 * 48 * 3 / 2}, {V4L2_PIX_FMT_YVU420, 64 * 48 * 3 / 2},
        {V4L2_PIX_FMT_NV12, 64 * 48 * 3 / 2}, {V4L2_PIX_FMT_RGB24, 64 * 48 * 3},  {V4L2_PIX_FMT_BGR24, 64 * 48 * 3},
        {V4L2_PIX_FMT_RGB565, 64 * 48 * 2},   {V4L2_PIX_FMT_GREY, 64 * 48},       {V4L2_PIX_FMT_SBGGR8, 64 * 48},
        {V4L2_PIX_FMT_SGBRG8, 64 * 48},       {V4L2_PIX_FMT_SGRBG8, 64 * 48},     {V4L2_PIX_FMT_SRGGB8, 64 * 48}};
    for (auto [fourcc, whole] : formats) {
        SCOPED_TRACE(std::to_string(fourcc));
        const uint32_t stride = uint32_t(fourcc == V4L2_PIX_FMT_YUV420 || fourcc == V4L2_PIX_FMT_YVU420 ||
                                                 fourcc == V4L2_PIX_FMT_NV12
                                             ? 64
                                             : whole / 48);
        const V4l2PixelLayout layout{fourcc, 64, 48, stride};
        EXPECT_EQ(v4l2FrameBytes(layout), whole);
        // The frame sits at the very end of its allocation, so a read past it is a read
        // past the buffer (AddressSanitizer reports it).
        std::vector<uint8_t> frame(whole, 128);
        EXPECT_TRUE(converter.convert(layout, frame.data(), whole, out)) << converter.error();
        std::vector<uint8_t> shortFrame(whole - 1, 128);
        EXPECT_FALSE(converter.convert(layout, shortFrame.data(), shortFrame.size(), out));
        EXPECT_NE(converter.error().find("short"), std::string::npos) << converter.error();
    }
    // NV12 without its chroma: only the 64 x 48 luma plane arrived.
    std::vector<uint8_t> luma(64 * 48, 128);
    EXPECT_FALSE(converter.convert({V4L2_PIX_FMT_NV12, 64, 48, 64}, luma.data(), luma.size(), out));
}

TEST_F(V4l2Sim, ShortNv12FramesAreCountedAndNeverDelivered)
{
    cam.formats = {{V4L2_PIX_FMT_NV12, {{64, 48}}, {30}}};
    auto device = open();
    ASSERT_TRUE(device);
    ASSERT_EQ(device->pixelFormat(), uint32_t(V4L2_PIX_FMT_NV12));
    RecordingSink sink;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    // The driver says only the luma plane was filled.
    ASSERT_TRUE(sim->pushFrameWait(kCam, std::vector<uint8_t>(64 * 48, 100)));
    for (int i = 0; i < 2000 && device->framesRejected() == 0; ++i)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(sim->pushFrameWait(kCam, std::vector<uint8_t>(64 * 48 * 3 / 2, 100)));
    ASSERT_TRUE(sink.waitFrames(1));
    device->stopStreaming();
    EXPECT_EQ(sink.frames.size(), 1u) << "only the whole frame is delivered";
    EXPECT_EQ(device->framesRejected(), 1u);
}

TEST_F(V4l2Sim, StreamingRefusesBuffersTooSmallForAWholeFrame)
{
    cam.formats = {{V4L2_PIX_FMT_NV12, {{64, 48}}, {30}}};
    cam.bufferBytes = 64 * 48;   // room for the luma plane only
    auto device = open();
    ASSERT_TRUE(device);
    RecordingSink sink;
    EXPECT_TRUE(device->startStreaming(&sink).failed());
    EXPECT_FALSE(cam.streaming);
    EXPECT_EQ(sim->maps, sim->unmaps);
    cam.bufferBytes = 64 * 48 * 3 / 2;
    EXPECT_TRUE(device->startStreaming(&sink).ok());
    device->stopStreaming();
}

TEST_F(V4l2Sim, StreamsConvertedFramesAndReleasesBuffers)
{
    cam.formats = {{V4L2_PIX_FMT_YUYV, {{4, 2}}, {30}}};
    auto device = open();
    ASSERT_TRUE(device);
    RecordingSink sink;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    EXPECT_TRUE(device->streaming());
    EXPECT_EQ(cam.buffers.size(), size_t(kV4l2Buffers));
    for (int i = 0; i < 6; ++i) {   // more frames than buffers: each is queued again
        ASSERT_TRUE(sim->pushFrameWait(kCam, yuyvPattern(8)));
        ASSERT_TRUE(sink.waitFrames(size_t(i + 1)));
    }
    device->stopStreaming();
    EXPECT_FALSE(device->streaming());
    EXPECT_FALSE(cam.streaming);
    EXPECT_EQ(sim->maps, sim->unmaps);
    ASSERT_EQ(sink.frames.size(), 6u);
    EXPECT_EQ(sink.frames[5].sequence, 5u);
    EXPECT_EQ(sink.frames[0].pixels[12], 255) << "top picture row white, stored last";
    EXPECT_TRUE(sink.frames[0].jpeg.empty());
}

TEST_F(V4l2Sim, NewestFrameWinsWhenTheSinkIsBehind)
{
    cam.formats = {{V4L2_PIX_FMT_YUYV, {{4, 2}}, {30}}};
    auto device = open();
    RecordingSink sink;
    sink.setHold(true);
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    ASSERT_TRUE(sim->pushFrame(kCam, yuyvPattern(8)));
    {
        std::unique_lock lock(sink.mutex);   // the camera thread is now stuck in the sink
        ASSERT_TRUE(sink.wake.wait_for(lock, 2s, [&] { return sink.entered == 1; }));
    }
    for (uint8_t luma : {60, 120, 180}) {
        std::vector<uint8_t> frame(16, 128);
        frame[0] = frame[2] = frame[4] = frame[6] = frame[8] = frame[10] = frame[12] = frame[14] = luma;
        ASSERT_TRUE(sim->pushFrame(kCam, frame));
    }
    sink.setHold(false);
    ASSERT_TRUE(sink.waitFrames(2));
    device->stopStreaming();
    ASSERT_EQ(sink.frames.size(), 2u) << "the two stale frames are skipped";
    EXPECT_EQ(sink.frames[1].pixels[0], (298 * (180 - 16) + 128) >> 8);
}

TEST_F(V4l2Sim, MotionJpegFramesCarryTheCamerasJpeg)
{
    cam.formats = {{V4L2_PIX_FMT_MJPEG, {{16, 16}}, {30}}};
    std::vector<uint8_t> dib(16 * 16 * 3);
    for (size_t i = 0; i < dib.size(); i += 3)
        dib[i + 2] = 200;   // red
    MjpegEncoder encoder(95);
    const uint8_t* data;
    size_t size;
    ASSERT_TRUE(encoder.encode(dib.data(), 16, 16, data, size));
    std::vector<uint8_t> jpeg(data, data + size);

    auto device = open();
    ASSERT_TRUE(device);
    RecordingSink sink;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    ASSERT_TRUE(sim->pushFrameWait(kCam, {1, 2, 3}));   // corrupt: skipped, not fatal
    ASSERT_TRUE(sim->pushFrameWait(kCam, jpeg));
    ASSERT_TRUE(sink.waitFrames(1));
    device->stopStreaming();
    ASSERT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(sink.frames[0].jpeg, jpeg);
    EXPECT_NEAR(sink.frames[0].pixels[2], 200, 8);
    EXPECT_NEAR(sink.frames[0].pixels[0], 0, 8);
    EXPECT_TRUE(sink.failure.empty());
}

TEST_F(V4l2Sim, GrabsOneFrameWithoutAStream)
{
    cam.formats = {{V4L2_PIX_FMT_YUYV, {{4, 2}}, {30}}};
    auto device = open();
    std::atomic<bool> done = false;
    std::thread camera([&] {
        while (!done) {
            sim->pushFrame(kCam, yuyvPattern(8));
            std::this_thread::sleep_for(2ms);
        }
    });
    CaptureFrame frame;
    bool grabbed = device->grabFrame(frame, 2000).ok();
    done = true;
    camera.join();
    ASSERT_TRUE(grabbed);
    EXPECT_EQ(frame.width, 4);
    EXPECT_FALSE(device->streaming());
    CaptureFrame none;
    EXPECT_TRUE(device->grabFrame(none, 30).failed()) << "no frame comes: times out";
}

TEST_F(V4l2Sim, ListsAndAppliesControlsAndInputs)
{
    SimControl menu = control(V4L2_CID_POWER_LINE_FREQUENCY, "Power Line Frequency",
                              V4L2_CTRL_TYPE_MENU, 0, 2, 2);
    menu.menu = {{0, "Disabled"}, {2, "60 Hz"}};
    cam.controls = {
        control(V4L2_CID_USER_CLASS, "User Controls", V4L2_CTRL_TYPE_CTRL_CLASS, 0, 0, 0),
        control(V4L2_CID_BRIGHTNESS, "Brightness, with a name far too long", V4L2_CTRL_TYPE_INTEGER, 0, 255, 100),
        control(V4L2_CID_CONTRAST, "Contrast", V4L2_CTRL_TYPE_INTEGER, 0, 255, 9, V4L2_CTRL_FLAG_DISABLED),
        control(V4L2_CID_SATURATION, "Saturation", V4L2_CTRL_TYPE_INTEGER, 0, 255, 9, V4L2_CTRL_FLAG_READ_ONLY),
        control(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Auto", V4L2_CTRL_TYPE_BOOLEAN, 0, 1, 1),
        menu,
        control(V4L2_CID_USER_BASE + 0x1100, "Big", V4L2_CTRL_TYPE_INTEGER64, 0, 1, 0),
        control(V4L2_CID_USER_BASE + 0x1101, "Disconnect", V4L2_CTRL_TYPE_BUTTON, 0, 0, 0)};
    cam.inputs = {"Camera 1", "Camera 2"};
    auto device = open();
    ASSERT_TRUE(device);
    auto controls = device->controls();
    std::vector<std::string> names;
    for (auto& c : controls)
        names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Brightness, with a name far too ", "White Balance, Auto",
                                               "Power Line Frequency", "Disconnect", "Input"}));
    ASSERT_EQ(controls.size(), 5u);
    EXPECT_EQ(controls[0].kind, CaptureControl::Slider);
    EXPECT_EQ(controls[0].value, 100);
    EXPECT_EQ(controls[1].kind, CaptureControl::CheckBox);
    EXPECT_EQ(controls[2].menuItems, (std::vector<std::string>{"Disabled", "", "60 Hz"}));
    EXPECT_EQ(controls[2].value, 2);
    EXPECT_EQ(controls[3].kind, CaptureControl::CheckBox);
    EXPECT_EQ(controls[4].menuItems, (std::vector<std::string>{"Camera 1", "Camera 2"}));

    EXPECT_TRUE(device->setControl(V4L2_CID_BRIGHTNESS, 200));
    EXPECT_EQ(device->controls()[0].value, 200);
    EXPECT_FALSE(device->setControl(V4L2_CID_BRIGHTNESS, 300));

    RecordingSink sink;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    EXPECT_TRUE(device->setControl(kV4l2InputControl, 1)) << "applied live, around the stream";
    EXPECT_EQ(cam.input, 1);
    EXPECT_TRUE(device->streaming());
    EXPECT_EQ(cam.streamOns, 2);
    ASSERT_TRUE(sim->pushFrameWait(kCam, grey(640, 480)));
    EXPECT_TRUE(sink.waitFrames(1));
    device->stopStreaming();
}

TEST_F(V4l2Sim, UnplugMidStreamFailsOnceAndTheCameraComesBack)
{
    auto device = open();
    RecordingSink sink;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    ASSERT_TRUE(sim->pushFrameWait(kCam, grey(640, 480)));
    ASSERT_TRUE(sink.waitFrames(1));
    sim->unplug(kCam);
    ASSERT_TRUE(sink.waitFailure());
    EXPECT_FALSE(device->streaming());
    auto started = std::chrono::steady_clock::now();
    device->stopStreaming();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 500ms);
    EXPECT_EQ(sim->openCount(kCam), 0) << "closed so that the camera can come back";
    EXPECT_EQ(sim->maps, sim->unmaps);
    EXPECT_TRUE(device->startStreaming(&sink).failed());
    EXPECT_FALSE(V4l2Driver(sim).open(0).device);

    sim->replug(kCam);
    auto again = V4l2Driver(sim).open(0).device;
    ASSERT_TRUE(again);
    RecordingSink second;
    ASSERT_TRUE(again->startStreaming(&second).ok());
    ASSERT_TRUE(sim->pushFrameWait(kCam, grey(640, 480)));
    EXPECT_TRUE(second.waitFrames(1));
}

// The device that lost its camera opens the node again at its next start: the same camera
// streams in the mode it had, with the controls the person set (a USB camera comes back
// with its defaults); another camera at that node is not taken for it, even one of the same
// model, and stderr says so once, not at every look.
TEST_F(V4l2Sim, AnUnpluggedDeviceStreamsAgainOnceTheSameCameraIsBack)
{
    sim->node(kCam).formats = {{V4L2_PIX_FMT_YUYV, {{640, 480}, {320, 240}}, {30}}};
    cam.controls = {control(V4L2_CID_BRIGHTNESS, "Brightness", V4L2_CTRL_TYPE_INTEGER, 0, 255, 128),
                    control(V4L2_CID_CONTRAST, "Contrast", V4L2_CTRL_TYPE_INTEGER, 0, 255, 32),
                    control(V4L2_CID_SATURATION, "Saturation", V4L2_CTRL_TYPE_INTEGER, 0, 255, 64)};
    auto device = open();
    ASSERT_TRUE(device->setFormat({320, 240, 30}).ok());
    ASSERT_TRUE(device->setControl(V4L2_CID_BRIGHTNESS, 200));
    ASSERT_TRUE(device->setControl(V4L2_CID_CONTRAST, 10));
    ASSERT_TRUE(device->setControl(V4L2_CID_SATURATION, 250));
    RecordingSink sink;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    sim->unplug(kCam);
    ASSERT_TRUE(sink.waitFailure());
    device->stopStreaming();

    sim->replug(kCam);
    const SimNode same;
    struct Other
    {
        const char* what;
        std::function<void(SimNode&)> change;
    };
    const Other others[] = {
        {"another card", [](SimNode& n) { n.card = "Another Camera"; }},
        {"the same model on another port", [](SimNode& n) { n.busInfo = "usb-sim-2"; }},
        {"another driver", [](SimNode& n) { n.driver = "othercam"; }},
    };
    for (const Other& other : others) {
        SCOPED_TRACE(other.what);
        other.change(cam);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(device->startStreaming(&sink).failed());
        EXPECT_TRUE(device->startStreaming(&sink).failed());
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(sim->openCount(kCam), 0);
        EXPECT_NE(log.find("not the camera \"Sim Camera\" (simcam, usb-sim-1)"), std::string::npos) << log;
        EXPECT_EQ(log.find("still waiting"), log.rfind("still waiting")) << "said once: " << log;
        cam.card = same.card, cam.busInfo = same.busInfo, cam.driver = same.driver;
    }

    // The camera forgot its controls, and no longer has one of them.
    cam.controls = {control(V4L2_CID_BRIGHTNESS, "Brightness", V4L2_CTRL_TYPE_INTEGER, 0, 255, 128),
                    control(V4L2_CID_CONTRAST, "Contrast", V4L2_CTRL_TYPE_INTEGER, 0, 255, 32)};
    testing::internal::CaptureStderr();
    RecordingSink again;
    ASSERT_TRUE(device->startStreaming(&again).ok());
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("did not take control 0x"), std::string::npos) << log;
    EXPECT_EQ(cam.controls[0].value, 200);
    EXPECT_EQ(cam.controls[1].value, 10);
    EXPECT_EQ(sim->node(kCam).width, 320);
    EXPECT_EQ(device->format(), (CaptureFormat{320, 240, 30}));
    ASSERT_TRUE(sim->pushFrameWait(kCam, grey(320, 240)));
    ASSERT_TRUE(again.waitFrames(1));
    EXPECT_EQ(again.frames.front().width, 320);
    device->stopStreaming();
    EXPECT_EQ(sim->maps, sim->unmaps);
}

// The program keeps the choices between runs: a camera that comes back from a replug at the
// next start gets its format and controls again, another camera of the same model does not,
// and a settings file that is damaged or cannot be written costs only the choices, never the
// camera.
TEST_F(V4l2Sim, ChosenFormatAndControlsOutliveTheProgramForTheSameCameraOnly)
{
    const std::string root = aviprobe::tempDir(), folder = root + "/settings";
    const std::string file = folder + "/lumofree/cameras";
    setV4l2SettingsFile(file);
    struct Forget
    {
        std::string root;
        ~Forget()
        {
            setV4l2SettingsFile("");
            std::filesystem::remove_all(root);
        }
    } forget{root};
    cam.controls = {control(V4L2_CID_BRIGHTNESS, "Brightness", V4L2_CTRL_TYPE_INTEGER, 0, 255, 128),
                    control(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Auto", V4L2_CTRL_TYPE_BOOLEAN, 0, 1, 1),
                    control(V4L2_CID_USER_BASE + 0x1101, "Reset", V4L2_CTRL_TYPE_BUTTON, 0, 0, 0)};
    cam.formats = {{V4L2_PIX_FMT_YUYV, {{640, 480}, {320, 240}}, {30, 15}}};
    sim->node("/dev/video1") = cam;
    sim->node("/dev/video1").busInfo = "usb-sim-2";
    {
        auto run = open();
        ASSERT_TRUE(run->setFormat({320, 240, 15}).ok());
        ASSERT_TRUE(run->setControl(V4L2_CID_BRIGHTNESS, 40));
        ASSERT_TRUE(run->setControl(V4L2_CID_AUTO_WHITE_BALANCE, 0));
        ASSERT_TRUE(run->setControl(V4L2_CID_USER_BASE + 0x1101, 1));
    }
    // Replugged between the runs: the camera's own defaults.
    cam.controls[0].value = 128, cam.controls[1].value = 1;
    cam.width = 640, cam.height = 480, cam.interval = {1, 30};
    auto next = open();
    EXPECT_EQ(cam.controls[0].value, 40);
    EXPECT_EQ(cam.controls[1].value, 0);
    EXPECT_EQ(next->format(), (CaptureFormat{320, 240, 15}));
    EXPECT_EQ(cam.width, 320);
    auto twin = V4l2Device::open(sim, "/dev/video1");
    EXPECT_EQ(sim->node("/dev/video1").controls[0].value, 128) << "a twin camera keeps its own";
    EXPECT_EQ(twin->format().width, 640);

    // Damaged values around one good one; a line cut short.
    std::ofstream(file) << "simcam\tSim Camera\tusb-sim-1\tmode=zz:1 9963776=77 9963776=12x 9963776=99999999999"
                           " mode=56595559:0:1:1:30 9= =3\nsimcam\tSim Camera\n";
    cam.controls[0].value = 128;
    EXPECT_TRUE(open());
    EXPECT_EQ(cam.controls[0].value, 77) << "only the good value is taken";

    std::filesystem::remove_all(folder);
    std::ofstream(folder) << "a file where the folder should be";
    testing::internal::CaptureStderr();
    EXPECT_TRUE(next->setControl(V4L2_CID_BRIGHTNESS, 90));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot write the camera settings"), std::string::npos);
    EXPECT_EQ(cam.controls[0].value, 90);
}

// The camera's JPEG frames go into the file unchanged until the unplug; the file then
// closes playable.
TEST_F(V4l2Sim, UnplugMidRecordingLeavesAPlayableFile)
{
    REQUIRE_FFMPEG();
    cam.formats = {{V4L2_PIX_FMT_MJPEG, {{64, 48}}, {30}}};
    std::vector<uint8_t> dib = aviprobe::frame(64, 48, 0);
    MjpegEncoder encoder(85);
    const uint8_t* data;
    size_t size;
    ASSERT_TRUE(encoder.encode(dib.data(), 64, 48, data, size));
    const std::vector<uint8_t> jpeg(data, data + size);

    AviWriterConfig config;
    config.path = aviprobe::tempDir() + "/unplug.avi";
    config.video = {64, 48, 33333, VideoCodec::MotionJpeg};
    AviWriter writer(config);
    ASSERT_TRUE(writer.open());
    struct : RecordingSink
    {
        AviWriter* writer;
        FrameGrid grid;
        void frameArrived(CaptureFrame&& frame) override
        {
            if (auto slot = grid.take(frame.timestampUs))
                writer->addJpeg(frame.jpeg.data(), frame.jpeg.size(), *slot);
            RecordingSink::frameArrived(std::move(frame));
        }
    } sink;
    sink.writer = &writer;
    sink.grid.start(writer.config().startUs, config.video.microSecPerFrame);
    auto device = open();
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    for (size_t i = 1; i <= 5; ++i) {
        ASSERT_TRUE(sim->pushFrameWait(kCam, jpeg));
        ASSERT_TRUE(sink.waitFrames(i));
        std::this_thread::sleep_for(40ms);   // one slot of the frame grid each
    }
    sim->unplug(kCam);
    ASSERT_TRUE(sink.waitFailure());
    device->stopStreaming();
    EXPECT_TRUE(writer.close().ok());
    auto video = aviprobe::stream(config.path, "v:0");
    EXPECT_EQ(video["codec_name"], "mjpeg");
    EXPECT_GE(aviprobe::number(video, "nb_read_frames"), 5);
    EXPECT_EQ(aviprobe::decodeErrors(config.path), "");
}

TEST_F(V4l2Sim, DriverFaultsFailCleanly)
{
    cam.endlessFormats = true;
    auto device = open();
    ASSERT_TRUE(device) << "an endless format list is cut short";
    EXPECT_EQ(device->formats().size(), 1u);
    RecordingSink sink;

    cam.grantedBuffers = 1000;
    EXPECT_TRUE(device->startStreaming(&sink).failed());
    cam.grantedBuffers = 0;
    cam.mmapFails = true;
    EXPECT_TRUE(device->startStreaming(&sink).failed());
    EXPECT_EQ(sim->maps, sim->unmaps);
    EXPECT_FALSE(cam.streaming);

    cam.mmapFails = false;
    cam.badIndex = true;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    ASSERT_TRUE(sim->pushFrameWait(kCam, grey(640, 480)));
    ASSERT_TRUE(sink.waitFailure());
    device->stopStreaming();
    EXPECT_TRUE(sink.frames.empty());
    EXPECT_EQ(sim->maps, sim->unmaps);
}

TEST_F(V4l2Sim, DequeueErrorEndsTheStream)
{
    auto device = open();
    RecordingSink sink;
    ASSERT_TRUE(device->startStreaming(&sink).ok());
    {
        std::lock_guard lock(sim->mutex);
        cam.dqbufErrno = EIO;
        sim->wake.notify_all();
    }
    ASSERT_TRUE(sink.waitFailure());
    EXPECT_NE(sink.failure.find("Input/output error"), std::string::npos) << sink.failure;
    device->stopStreaming();
    EXPECT_EQ(sim->maps, sim->unmaps);
}

}  // namespace
