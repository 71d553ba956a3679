// Sound sources: the tone paced by the clock in force, a whole recording driven by a fake
// clock, and the ALSA input's answer on this machine.
#include <chrono>
#include <thread>

#include "AviProbe.h"
#include "avicap/audio/AudioInputTone.h"
#include "avicap/avi/AviWriter.h"
#include "platform/Clock.h"

using namespace aviprobe;

namespace {

struct FakeTime
{
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    FakeTime() { setClock(clock); }
    ~FakeTime() { setClock(nullptr); }
};

int16_t sample(const AudioBuffer& b, size_t i) { return int16_t(b.data[2 * i] | b.data[2 * i + 1] << 8); }

}  // namespace

TEST(AudioInput, ToneFollowsTheClockInForce)
{
    FakeTime time;
    ToneAudioInput tone(1000);
    ASSERT_TRUE(tone.open(AviAudioFormat{8000, 1, 16}).ok());
    AudioBuffer b;
    EXPECT_FALSE(tone.read(b)) << "no time passed, no sound";
    time.clock->advanceMs(100);
    ASSERT_TRUE(tone.read(b));
    EXPECT_EQ(b.data.size(), 1600u);
    EXPECT_EQ(b.timestampUs, 0);
    // 1 kHz at 8 kHz: period of 8 samples, peak at the quarter period.
    EXPECT_EQ(sample(b, 0), 0);
    EXPECT_EQ(sample(b, 2), 8000);
    EXPECT_EQ(sample(b, 6), -8000);
    time.clock->advanceMs(50);
    ASSERT_TRUE(tone.read(b));
    EXPECT_EQ(b.data.size(), 800u);
    EXPECT_EQ(b.timestampUs, 100000);
    EXPECT_EQ(tone.open(AviAudioFormat{8000, 1, 8}).code, CaptureFault::SoundFailed);
}

TEST(AudioInput, LongRecordingInSimulatedTimeKeepsSoundAndPictureInStep)
{
    REQUIRE_FFMPEG();
    FakeTime time;
    std::string dir = tempDir();
    AviWriterConfig c;
    c.path = dir + "/simulated.avi";
    c.video = {64, 48, 33333, VideoCodec::MotionJpeg};
    c.audio = AviAudioFormat{8000, 1, 16};
    AviWriter writer(c);
    ToneAudioInput tone;
    ASSERT_TRUE(writer.open());
    ASSERT_TRUE(tone.open(*c.audio).ok());
    auto started = std::chrono::steady_clock::now();
    const int frames = 5 * 60 * 30;   // five minutes
    auto dib = frame(64, 48, 0);
    AudioBuffer b;
    for (int i = 0; i < frames; ++i) {
        // Simulated time outruns the writer: wait for room rather than drop.
        while (!writer.addFrame(dib.data(), dib.size(), uint64_t(i)))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        time.clock->advanceUs(33333);
        if (tone.read(b))
            writer.addAudio(b.data.data(), b.data.size(), b.timestampUs);
    }
    EXPECT_TRUE(writer.close().ok());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(writer.stats().frames, uint64_t(frames));
    EXPECT_EQ(writer.stats().dropped, 0u);
    auto v = stream(c.path, "v:0");
    EXPECT_EQ(v["nb_read_frames"], std::to_string(frames));
    EXPECT_LT(std::abs(audioSeconds(c.path) - frames * 0.033333), 0.033333);
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

TEST(AudioInput, AlsaReportsWhetherACaptureDeviceExists)
{
    auto input = createAlsaAudioInput();
    CaptureError error = input->open(AviAudioFormat{8000, 1, 16});
    EXPECT_EQ(error.ok(), audioHardwarePresent());
    AudioBuffer b;
    if (error.failed()) {
        EXPECT_EQ(error.text.rfind(error.call + " on default: ", 0), 0u) << error.text;
        EXPECT_FALSE(input->read(b));
    }
    input->close();
}
