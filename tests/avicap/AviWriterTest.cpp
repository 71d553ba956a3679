// Capture files written from synthetic frames and a known tone, checked with the real
// ffprobe and ffmpeg.
#include <malloc.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "AviProbe.h"
#include "avicap/avi/AviWriter.h"

using namespace aviprobe;

namespace {

struct Recording
{
    AviWriterConfig config;
    int frames = 30;
    std::vector<int> missing;   // slots the camera skips
    int audioChunkMs = 100;
};

AviWriterStats record(Recording& r)
{
    AviWriter writer(r.config);
    CaptureError error;
    EXPECT_TRUE(writer.open(&error)) << error.text;
    const AviVideoFormat& v = r.config.video;
    const int rate = r.config.audio ? int(r.config.audio->samplesPerSec) : 0;
    uint64_t samples = 0;
    for (int i = 0; i < r.frames; ++i) {
        int64_t t = int64_t(i) * v.microSecPerFrame;
        while (rate && int64_t(samples) * 1000000 / rate < t + v.microSecPerFrame) {
            size_t n = size_t(rate * r.audioChunkMs / 1000);
            EXPECT_TRUE(writer.addAudio(tone(samples, n).data(), n * 2, int64_t(samples) * 1000000 / rate));
            samples += n;
        }
        if (std::find(r.missing.begin(), r.missing.end(), i) == r.missing.end()) {
            auto dib = frame(v.width, v.height, i);
            EXPECT_TRUE(writer.addFrame(dib.data(), dib.size(), uint64_t(i)));
        }
    }
    EXPECT_TRUE(writer.close().ok()) << writer.error().text;
    return writer.stats();
}

AviWriterConfig config(const std::string& path, VideoCodec codec, int w = 320, int h = 240)
{
    AviWriterConfig c;
    c.path = path;
    c.video = {w, h, 33333, codec};
    c.audio = AviAudioFormat{8000, 1, 16};
    c.startUs = 0;
    return c;
}

// frames: slots in the file; decoded: those with a picture (dropped ones repeat the last).
void expectPlays(const std::string& path, const char* codec, int frames, bool sound, int decoded = -1)
{
    auto v = stream(path, "v:0");
    EXPECT_EQ(v["codec_name"], codec);
    EXPECT_EQ(v["width"], "320");
    EXPECT_EQ(v["height"], "240");
    EXPECT_NEAR(number(v, "nb_read_frames"), decoded < 0 ? frames : decoded, 0.5) << v["error"];
    EXPECT_EQ(v["r_frame_rate"], "1000000/33333");
    EXPECT_NEAR(number(v, "duration"), frames * 0.033333, 0.0005);
    if (sound) {
        auto a = stream(path, "a:0");
        EXPECT_EQ(a["codec_name"], "pcm_s16le");
        EXPECT_EQ(a["sample_rate"], "8000");
        EXPECT_EQ(a["channels"], "1");
        EXPECT_EQ(a["sample_fmt"], "s16");
        EXPECT_LT(std::abs(audioSeconds(path) - frames * 0.033333), 0.033333);
    }
    EXPECT_EQ(decodeErrors(path), "");
}

// Bytes malloc has handed out and not had back, the blocks it maps on its own included.
size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

bool waitForFrames(const AviWriter& writer, uint64_t frames)
{
    for (int i = 0; i < 2000 && writer.stats().frames < frames; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return writer.stats().frames >= frames;
}

}  // namespace

TEST(AviWriter, WritesPlayableFilesInBothCodecsWithSound)
{
    REQUIRE_FFMPEG();
    std::string dir = tempDir();
    Recording raw;
    raw.config = config(dir + "/raw.avi", VideoCodec::Uncompressed);
    AviWriterStats s = record(raw);
    EXPECT_EQ(s.frames, 30u);
    EXPECT_EQ(s.audioBytes, 7999u * 2);
    expectPlays(raw.config.path, "rawvideo", 30, true);

    Recording mjpeg;
    mjpeg.config = config(dir + "/mjpeg.avi", VideoCodec::MotionJpeg);
    mjpeg.frames = 45;
    record(mjpeg);
    expectPlays(mjpeg.config.path, "mjpeg", 45, true);
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

TEST(AviWriter, MarksMissingFramesAsDroppedAndKeepsSoundInStep)
{
    REQUIRE_FFMPEG();
    std::string dir = tempDir();
    Recording r;
    r.config = config(dir + "/gaps.avi", VideoCodec::MotionJpeg);
    r.frames = 40;
    r.missing = {5, 6, 7, 20};
    r.audioChunkMs = 250;   // coarse buffers arriving ahead of the video
    AviWriterStats s = record(r);
    EXPECT_EQ(s.frames, 40u);
    EXPECT_EQ(s.dropped, 4u);
    expectPlays(r.config.path, "mjpeg", 40, true, 36);
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

TEST(AviWriter, ContinuesInAvixRiffsPastTheSizeLimit)
{
    REQUIRE_FFMPEG();
    std::string dir = tempDir();
    Recording r;
    r.config = config(dir + "/long.avi", VideoCodec::Uncompressed);
    r.config.limits.riffLimit = 1 << 20;     // about 4 frames of 320x240 per part
    r.config.limits.segmentEntries = 3;      // several standard indexes per part as well
    r.frames = 50;
    AviWriterStats s = record(r);
    EXPECT_GE(s.riffs, 10);
    expectPlays(r.config.path, "rawvideo", 50, true);
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

TEST(AviWriter, SoundLandsAtItsTimestampsDespiteLostAndRepeatedBuffers)
{
    REQUIRE_FFMPEG();
    std::string dir = tempDir();
    AviWriterConfig c = config(dir + "/sync.avi", VideoCodec::MotionJpeg, 64, 48);
    AviWriter writer(c);
    ASSERT_TRUE(writer.open());
    auto dib = frame(64, 48, 0);
    for (int i = 0; i < 60; ++i) {
        if (i % 3 == 0) {
            int buffer = i / 3;   // 100 ms each; the 6th is lost, the 13th comes twice
            auto pcm = tone(uint64_t(buffer) * 800, 800);
            for (int times = buffer == 5 ? 0 : buffer == 12 ? 2 : 1; times > 0; --times)
                writer.addAudio(pcm.data(), pcm.size(), int64_t(buffer) * 100000);
        }
        writer.addFrame(dib.data(), dib.size(), uint64_t(i));
    }
    EXPECT_TRUE(writer.close().ok());
    std::string pcmPath = dir + "/sound.raw";
    run("ffmpeg -nostdin -v error -i '" + c.path + "' -map 0:a -f s16le -y '" + pcmPath + "'");
    FILE* f = std::fopen(pcmPath.c_str(), "rb");
    ASSERT_TRUE(f);
    std::vector<uint8_t> got(20000 * 2);
    got.resize(std::fread(got.data(), 1, got.size(), f));
    std::fclose(f);
    const size_t samples = 60 * 33333 * 8 / 1000;   // the video's length
    ASSERT_EQ(got.size(), samples * 2);
    auto expected = tone(0, samples);
    for (size_t i = 4000; i < 4800; ++i)
        expected[2 * i] = expected[2 * i + 1] = 0;   // the lost buffer is silence
    size_t wrong = 0;
    for (size_t i = 0; i < got.size(); ++i)
        wrong += got[i] != expected[i];
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

// Recording for hours must not grow from file to file: a writer that fell behind keeps only a
// few buffers once it has caught up, and a writer gone leaves nothing behind, its index of
// every chunk included.
TEST(AviWriter, KeepsFewBuffersAfterABacklogAndNothingOnceGone)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator keeps freed memory and reports none of it here";
#endif
    std::string dir = tempDir();
    const auto dib = frame(320, 240, 0);
    {
        // What is made once per process (the worker's arena, the encoder's tables) is no growth.
        AviWriter warm(config(dir + "/warm.avi", VideoCodec::MotionJpeg));
        ASSERT_TRUE(warm.open());
        ASSERT_TRUE(warm.addFrame(dib.data(), dib.size(), 0));
        EXPECT_TRUE(warm.close().ok());
    }
    const size_t before = heapInUse();
    {
        AviWriter writer(config(dir + "/backlog.avi", VideoCodec::MotionJpeg));
        ASSERT_TRUE(writer.open());
        // Frames come far faster than they are encoded: each waits in a buffer of its own.
        for (int burst = 1; burst <= 2; ++burst) {
            for (int i = 0; i < 40; ++i) {
                const int slot = (burst - 1) * 40 + i;
                ASSERT_TRUE(writer.addFrame(dib.data(), dib.size(), uint64_t(slot)));
            }
            ASSERT_TRUE(waitForFrames(writer, uint64_t(burst) * 40));
            // Four spare buffers, the encoder's output and the file's buffer; not forty frames.
            EXPECT_LE(heapInUse(), before + 6 * dib.size() + (256 << 10)) << "after burst " << burst;
        }
        // Two hundred thousand slots without a picture: as many chunks in the index.
        ASSERT_TRUE(writer.addFrame(dib.data(), dib.size(), 200080));
        ASSERT_TRUE(waitForFrames(writer, 200081));
        EXPECT_TRUE(writer.close().ok()) << writer.error().text;
    }
    EXPECT_LE(heapInUse(), before + (128 << 10)) << "left behind by a writer gone";
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

namespace {

// Holds every picture until released, so a test knows exactly what waits in the queues.
struct Gate
{
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    void release()
    {
        std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
};

AviWriterConfig gated(const std::string& path, Gate& gate, size_t limit)
{
    AviWriterConfig c = config(path, VideoCodec::Uncompressed);
    c.queueLimitBytes = limit;
    c.makeEncoder = [&gate](const VideoEncoderConfig&, std::string&) -> std::unique_ptr<VideoEncoder> {
        struct Held : VideoEncoder
        {
            Gate* gate;
            bool encode(const VideoPicture& p, EncodedFrame& out, std::string&) override
            {
                std::unique_lock lock(gate->mutex);
                gate->opened.wait(lock, [this] { return gate->open; });
                out = {p.data, p.size, true};
                return true;
            }
        };
        auto held = std::make_unique<Held>();
        held->gate = &gate;
        return held;
    };
    return c;
}

}  // namespace

// The queues of all writers share one bound, sound included: pictures beyond it less a reserve
// for sound are refused, sound only at the bound itself, and a new file's first picture is
// always taken; the file still reaches the grid's end. Once drained, the bound is whole again.
TEST(AviWriter, QueuedPicturesAndSoundOfAllWritersStayWithinOneBound)
{
    const std::string dir = tempDir();
    const auto dib = frame(320, 240, 0);
    const size_t limit = 10 * dib.size();   // pictures may fill 7/8 of it: eight frames
    const auto pcm = tone(0, 4000);
    Gate gate;
    AviWriter first(gated(dir + "/first.avi", gate, limit));
    ASSERT_TRUE(first.open());
    int taken = 0;
    for (uint64_t slot = 0; slot < 20; ++slot)
        taken += first.addFrame(dib.data(), dib.size(), slot);
    EXPECT_EQ(taken, 8);
    int sound = 0;
    while (first.addAudio(pcm.data(), pcm.size(), 0) && sound < 100)
        ++sound;
    EXPECT_EQ(size_t(sound), (limit - 8 * dib.size()) / pcm.size()) << "sound fills the reserve, no more";
    EXPECT_LE(first.stats().queuedBytes, limit);
    first.extendTo(30);   // the stop's last word is taken even now: it holds no data

    AviWriter second(gated(dir + "/second.avi", gate, limit));
    ASSERT_TRUE(second.open());
    EXPECT_TRUE(second.addFrame(dib.data(), dib.size(), 0)) << "a file's first picture";
    EXPECT_FALSE(second.addFrame(dib.data(), dib.size(), 1)) << "the bound is shared";

    gate.release();
    EXPECT_TRUE(first.close().ok());
    EXPECT_TRUE(second.close().ok());
    EXPECT_EQ(first.stats().frames, 30u) << "eight pictures, then dropped frames to the grid's end";
    EXPECT_EQ(first.stats().dropped, 22u);
    EXPECT_EQ(first.stats().queuedBytes + second.stats().queuedBytes, 0u);

    Gate again;
    AviWriter third(gated(dir + "/third.avi", again, limit));
    ASSERT_TRUE(third.open());
    taken = 0;
    for (uint64_t slot = 0; slot < 20; ++slot)
        taken += third.addFrame(dib.data(), dib.size(), slot);
    EXPECT_EQ(taken, 8) << "what the others held is given back whole";
    again.release();
    EXPECT_TRUE(third.close().ok());
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}
