// A recording of every compressor in the table, with sound and dropped frames, read by each
// reader a user may play it with: ffprobe and ffmpeg, GStreamer (whose H.264 parser is among
// the "bad" plugins) and MediaInfo. A reader that hangs fails the test after two minutes.
#include "AviProbe.h"
#include "avicap/avi/AviWriter.h"
#include "avicap/codec/Compressors.h"

using namespace aviprobe;

namespace {

bool haveOtherReaders()
{
    return std::system("command -v gst-discoverer-1.0 >/dev/null && command -v gst-launch-1.0 >/dev/null &&"
                       " command -v mediainfo >/dev/null") == 0;
}

// 12 s at 4 fps (past one ten-second key frame interval), 320 x 240, sound, a few slots empty.
void recordSample(const std::string& path, VideoCodec codec)
{
    AviWriterConfig c;
    c.path = path;
    c.video = {320, 240, 250000, codec};
    c.audio = AviAudioFormat{11025, 1, 16};
    c.startUs = 0;
    AviWriter writer(c);
    CaptureError error;
    ASSERT_TRUE(writer.open(&error)) << error.text;
    for (uint64_t slot = 0; slot < 48; ++slot) {
        const size_t samples = 11025 / 4;
        writer.addAudio(tone(slot * samples, samples, 11025).data(), samples * 2, int64_t(slot) * 250000);
        if (slot % 7 == 3)
            continue;   // the camera missed this one
        auto dib = frame(320, 240, int(slot));
        ASSERT_TRUE(writer.addFrame(dib.data(), dib.size(), slot));
    }
    writer.extendTo(48);
    EXPECT_TRUE(writer.close().ok()) << writer.error().text;
}

}  // namespace

TEST(RecordingReaders, EveryCompressorsFilePlaysInEveryReader)
{
    REQUIRE_FFMPEG();
    ASSERT_TRUE(haveOtherReaders()) << "gstreamer1.0-tools, -plugins-base-apps, -good, -bad, -libav and mediainfo (scripts/deps.sh)";
    const std::string dir = tempDir();
    const std::map<VideoCodec, std::pair<const char*, const char*>> names = {
        {VideoCodec::Uncompressed, {"rawvideo", "RGB"}},
        {VideoCodec::MotionJpeg, {"mjpeg", "JPEG"}},
        {VideoCodec::H264, {"h264", "AVC"}},
    };
    for (const Compressor& compressor : compressors()) {
        SCOPED_TRACE(compressor.label);
        const auto name = names.find(compressor.codec);
        ASSERT_NE(name, names.end()) << "a new compressor: name what ffprobe and MediaInfo call it";
        const std::string path = dir + "/" + name->second.first + ".avi", file = quoted(path);
        recordSample(path, compressor.codec);

        auto v = stream(path, "v:0");
        EXPECT_EQ(v["codec_name"], name->second.first);
        EXPECT_EQ(number(v, "nb_read_frames"), 48 - 7) << v["error"];   // the empty slots repeat a picture
        EXPECT_NEAR(number(v, "duration"), 12.0, 1e-6);
        EXPECT_NEAR(audioSeconds(path, 11025), 12.0, 1.0 / 11025);
        EXPECT_EQ(decodeErrors(path), "");

        const std::string discovered = run("timeout 120 gst-discoverer-1.0 -v " + file);
        EXPECT_NE(discovered.find("Done discovering"), std::string::npos) << discovered;
        EXPECT_EQ(discovered.find("rror"), std::string::npos) << discovered;
        EXPECT_NE(discovered.find("audio #"), std::string::npos) << discovered;
        EXPECT_NE(discovered.find("Duration: 0:00:12.0"), std::string::npos) << discovered;
        // To the end of both streams, every buffer through a decoder.
        const std::string played =
            run("timeout 120 gst-launch-1.0 -q filesrc location=" + file + " ! decodebin name=d d. ! queue ! videoconvert ! "
                "fakesink d. ! queue ! audioconvert ! fakesink && echo PLAYED");
        EXPECT_NE(played.find("PLAYED"), std::string::npos) << played;

        const std::string info = run("mediainfo --Inform='Video;%Format%|%FrameCount%' " + file);
        EXPECT_EQ(info.substr(0, info.find('|')), name->second.second) << info;
    }
    EXPECT_EQ(std::system(("rm -rf " + quoted(dir)).c_str()), 0);
}
