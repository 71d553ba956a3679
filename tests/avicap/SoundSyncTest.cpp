// Sound from a card whose clock drifts against the picture's: placed by SoundSync alone in
// pure computation, and through a whole recording read back with ffmpeg.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "AviProbe.h"
#include "DriftingSoundCard.h"
#include "avicap/avi/AviWriter.h"
#include "avicap/avi/SoundSync.h"
#include "platform/Clock.h"

using namespace aviprobe;

namespace {

constexpr int64_t kSecond = 1000000;
constexpr AviAudioFormat kMono16{8000, 1, 16};

// A sample on the 16-bit scale, whatever the format.
int sampleAt(const std::vector<uint8_t>& pcm, const AviAudioFormat& f, size_t frame, int channel)
{
    const size_t at = frame * f.blockAlign() + size_t(channel) * (f.bitsPerSample / 8);
    if (f.bitsPerSample == 8)
        return (int(pcm[at]) - 128) * 256;
    return int16_t(uint16_t(pcm[at] | pcm[at + 1] << 8));
}

// The frame of each click on the first channel: the loudest frame where it stands out.
std::vector<size_t> findClicks(const std::vector<uint8_t>& pcm, const AviAudioFormat& f)
{
    std::vector<size_t> found;
    const size_t frames = pcm.size() / f.blockAlign();
    for (size_t i = 0; i < frames; ++i) {
        if (sampleAt(pcm, f, i, 0) < DriftingSoundCard::kClick / 3)
            continue;
        size_t peak = i;
        for (size_t j = i; j < std::min(frames, i + 8); ++j)
            if (sampleAt(pcm, f, j, 0) > sampleAt(pcm, f, peak, 0))
                peak = j;
        found.push_back(peak);
        i += f.samplesPerSec / 2;
    }
    return found;
}

// The longest run of silence on a channel, in frames.
size_t longestSilence(const std::vector<uint8_t>& pcm, const AviAudioFormat& f, int channel)
{
    size_t longest = 0, run = 0;
    for (size_t i = 0; i < pcm.size() / f.blockAlign(); ++i) {
        run = sampleAt(pcm, f, i, channel) == 0 ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

// Worst distance (ms) of the clicks from when they sounded, over the first, middle and last
// third: click n sounded at second(n) of the file.
struct Worst
{
    double start = 0, middle = 0, end = 0;
    double all() const { return std::max({start, middle, end}); }
};
template <typename Second>
Worst clickOffsets(const std::vector<size_t>& clicks, uint32_t rate, Second second)
{
    Worst w;
    for (size_t n = 0; n < clicks.size(); ++n) {
        const double ms = std::abs(double(clicks[n]) / rate - second(n)) * 1000;
        double& third = n < clicks.size() / 3 ? w.start : n < 2 * clicks.size() / 3 ? w.middle : w.end;
        third = std::max(third, ms);
    }
    return w;
}
// Click n (from 0) at whole second n + 1 after shiftSec.
Worst clickOffsets(const std::vector<size_t>& clicks, uint32_t rate, double shiftSec = 0)
{
    return clickOffsets(clicks, rate, [&](size_t n) { return shiftSec + double(n + 1); });
}

// The card read every 10 to 40 ms (a reader polled by a busy thread) and placed as it comes.
struct Session
{
    AviAudioFormat format;
    DriftingSoundCard card;
    SoundSync sync;
    std::vector<uint8_t> out;
    int64_t now = 0;
    int64_t reads = 0;
    bool wholeFrames = true;

    Session(const AviAudioFormat& f, int ppm, int jitterUs = 0, int64_t fileStartUs = 0, int64_t cardStartUs = 0)
        : format(f), card(ppm, jitterUs), sync(f, fileStartUs), now(cardStartUs)
    {
        card.start(f, cardStartUs);
    }

    // lose: the buffers never arrive; keep: they are also gathered there, as one.
    void playUntil(int64_t untilUs, bool lose = false, AudioBuffer* keep = nullptr)
    {
        AudioBuffer b;
        while (now < untilUs) {
            now = std::min(untilUs, now + 10000 + (++reads * 7919) % 30000);
            if (!card.readUntil(now, b))
                continue;
            if (keep && keep->data.empty())
                keep->timestampUs = b.timestampUs;
            if (keep)
                keep->data.insert(keep->data.end(), b.data.begin(), b.data.end());
            if (!lose)
                sync.place(b.data.data(), b.data.size(), b.timestampUs, out);
            wholeFrames = wholeFrames && out.size() % format.blockAlign() == 0;
        }
    }
};

struct FakeTime
{
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    FakeTime() { setClock(clock); }
    ~FakeTime() { setClock(nullptr); }
};

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The one place that knows how a frame is handed to the writer for a slot of its grid.
bool handFrame(AviWriter& writer, uint64_t slot, const std::vector<uint8_t>& dib)
{
    return writer.addFrame(dib.data(), dib.size(), slot);
}

}  // namespace

TEST(SoundSync, HalfAnHourFromACard300PpmOffStaysWithin20MsWithoutSilenceOrCuts)
{
    for (int ppm : {300, -300}) {
        SCOPED_TRACE(ppm);
        Session s(kMono16, ppm, 5000);   // stamps off by up to 5 ms either way
        s.playUntil(1800 * kSecond);
        const auto clicks = findClicks(s.out, kMono16);
        ASSERT_EQ(clicks.size(), 1799u) << "every click but the one due at the very end";
        const Worst w = clickOffsets(clicks, 8000);
        EXPECT_LT(w.all(), 20.0) << w.start << " / " << w.middle << " / " << w.end << " ms";
        const std::string name = ppm > 0 ? "fast" : "slow";
        RecordProperty(name + "StartMs", std::to_string(w.start));
        RecordProperty(name + "MiddleMs", std::to_string(w.middle));
        RecordProperty(name + "EndMs", std::to_string(w.end));
        EXPECT_NEAR(double(s.out.size() / 2) / 8000, 1800.0, 0.020);
        const SoundSync::Stats& st = s.sync.stats();
        EXPECT_EQ(st.silenceSamples, 0u);
        EXPECT_EQ(st.cutSamples, 0u);
        EXPECT_NEAR(st.rate, 1 + ppm * 1e-6, 100e-6) << "the loop has learnt the card's rate";
        EXPECT_LT(std::abs(st.offsetMs), 5.0);
    }
}

TEST(SoundSync, TheFirstBufferIsAlignedToTheFileStartWithoutCountingACorrection)
{
    // The card starting a quarter second after the file, then the file after the card.
    for (int64_t cardLater : {250000, -250000}) {
        SCOPED_TRACE(cardLater);
        Session s(kMono16, 0, 0, std::max<int64_t>(0, -cardLater), std::max<int64_t>(0, cardLater));
        s.playUntil(10 * kSecond);
        const auto clicks = findClicks(s.out, kMono16);
        ASSERT_GE(clicks.size(), 8u);
        EXPECT_LT(clickOffsets(clicks, 8000, double(cardLater) / kSecond).all(), 0.25) << "to the sample";
        EXPECT_EQ(s.sync.stats().silenceSamples + s.sync.stats().cutSamples, 0u);
        if (cardLater > 0) {
            EXPECT_EQ(longestSilence(s.out, kMono16, 0), 2000u) << "a quarter second before the card began";
        }
    }
}

TEST(SoundSync, OnlyRealHolesAndOverlapsBecomeSilenceOrCutsNotJitter)
{
    Session s(kMono16, 300, 5000);   // stamps off by up to 5 ms either way
    s.playUntil(30300000);
    EXPECT_EQ(s.sync.stats().gaps + s.sync.stats().overlaps, 0u) << "jitter alone";
    s.playUntil(30700000, true);   // 400 ms lost
    s.playUntil(60300000);
    AudioBuffer again;
    s.playUntil(60500000, false, &again);
    s.sync.place(again.data.data(), again.data.size(), again.timestampUs, s.out);   // 200 ms again
    s.playUntil(120 * kSecond);

    const SoundSync::Stats& st = s.sync.stats();
    EXPECT_EQ(st.gaps, 1u);
    EXPECT_NEAR(double(st.silenceSamples), 3200, 100);
    EXPECT_NEAR(double(longestSilence(s.out, kMono16, 0)), double(st.silenceSamples), 8) << "in one piece";
    EXPECT_EQ(st.overlaps, 1u);
    EXPECT_NEAR(double(st.cutSamples), 1600, 100);
    const auto clicks = findClicks(s.out, kMono16);
    ASSERT_EQ(clicks.size(), 119u);
    EXPECT_LT(clickOffsets(clicks, 8000).all(), 20.0) << "in step before, between and after";
}

TEST(SoundSync, EightBitAndStereoKeepWholeFramesAndTheirChannels)
{
    for (AviAudioFormat f : {AviAudioFormat{8000, 2, 16}, AviAudioFormat{8000, 1, 8}, AviAudioFormat{8000, 2, 8}}) {
        SCOPED_TRACE(std::to_string(f.channels) + " channels of " + std::to_string(f.bitsPerSample) + " bits");
        Session s(f, 300);
        s.playUntil(10400000);
        s.playUntil(10800000, true);
        s.playUntil(20 * kSecond);
        EXPECT_TRUE(s.wholeFrames);
        const auto clicks = findClicks(s.out, f);
        ASSERT_EQ(clicks.size(), 19u);
        EXPECT_LT(clickOffsets(clicks, 8000).all(), 20.0);
        // The hole is silence on every channel, whatever the format calls silence.
        for (int c = 0; c < f.channels; ++c)
            EXPECT_NEAR(double(longestSilence(s.out, f, c)), 3200, 100) << "channel " << c;
        // The second channel keeps its own level and never hears the first one's clicks.
        int loudest = 0;
        double sum = 0;
        const size_t frames = s.out.size() / f.blockAlign();
        for (size_t i = 0; f.channels == 2 && i < frames; ++i) {
            loudest = std::max(loudest, sampleAt(s.out, f, i, 1));
            sum += sampleAt(s.out, f, i, 1);
        }
        if (f.channels == 2) {
            EXPECT_LT(loudest, DriftingSoundCard::kLevelStep + 1500);
            EXPECT_NEAR(sum / double(frames), DriftingSoundCard::kLevelStep * 0.98, 300);
        }
    }
}

// Half an hour at 4 frames a second with a white frame at each whole second and the card,
// 300 ppm fast, clicking beside it; read back with ffmpeg.
TEST(SoundSync, AHalfHourRecordingKeepsClicksBesideTheirFrames)
{
    REQUIRE_FFMPEG();
    FakeTime time;
    const std::string dir = tempDir();
    AviWriterConfig c;
    c.path = dir + "/drift.avi";
    c.video = {16, 16, 250000, VideoCodec::Uncompressed};
    c.audio = kMono16;
    c.startUs = 0;
    AviWriter writer(c);
    ASSERT_TRUE(writer.open());
    DriftingSoundCard card(300, 5000);   // stamps off by up to 5 ms either way
    ASSERT_TRUE(card.open(kMono16).ok());
    const std::vector<uint8_t> black(c.video.dibBytes(), 0), white(c.video.dibBytes(), 255);
    const uint64_t slots = 1800 * 4;
    AudioBuffer b;
    for (uint64_t slot = 0; slot < slots; ++slot) {
        ASSERT_TRUE(handFrame(writer, slot, slot % 4 == 0 && slot > 0 ? white : black));
        time.clock->advanceUs(c.video.microSecPerFrame);
        if (card.read(b)) {
            ASSERT_TRUE(writer.addAudio(b.data.data(), b.data.size(), b.timestampUs));
        }
    }
    EXPECT_TRUE(writer.close().ok()) << writer.error().text;
    const AviWriterStats st = writer.stats();
    EXPECT_EQ(st.soundSilenceSamples, 0u);
    EXPECT_EQ(st.soundCutSamples, 0u);
    EXPECT_NEAR(st.soundRate, 1.0003, 100e-6);

    const std::string in = " -nostdin -v error -i " + aviprobe::quoted(c.path);
    run("ffmpeg" + in + " -map 0:a -f s16le -y " + aviprobe::quoted(dir + "/sound.raw"));
    run("ffmpeg" + in + " -map 0:v -f rawvideo -pix_fmt gray -y " + aviprobe::quoted(dir + "/picture.raw"));
    const auto sound = readFile(dir + "/sound.raw");
    const auto picture = readFile(dir + "/picture.raw");
    ASSERT_EQ(picture.size(), slots * 256) << "every frame decoded";
    EXPECT_EQ(sound.size(), slots * 2000 * 2) << "as long as the video";
    std::vector<size_t> whiteSlots;
    for (size_t slot = 0; slot < slots; ++slot)
        if (picture[slot * 256 + 128] > 128)
            whiteSlots.push_back(slot);
    const auto clicks = findClicks(sound, kMono16);
    ASSERT_EQ(whiteSlots.size(), 1799u);
    ASSERT_EQ(clicks.size(), whiteSlots.size());
    const Worst w = clickOffsets(clicks, 8000, [&](size_t n) { return double(whiteSlots[n]) * 0.25; });
    EXPECT_LT(w.all(), 20.0) << w.start << " / " << w.middle << " / " << w.end << " ms";
    RecordProperty("fileStartMs", std::to_string(w.start));
    RecordProperty("fileMiddleMs", std::to_string(w.middle));
    RecordProperty("fileEndMs", std::to_string(w.end));
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}
