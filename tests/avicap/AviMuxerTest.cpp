// The file layout under the writer: each index on its own is enough for a player, and a
// disk that fills up with too little room for the indexes still leaves a playable file.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "AviProbe.h"
#include "avicap/avi/AviMuxer.h"
#include "avicap/avi/MjpegEncoder.h"

using namespace aviprobe;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A copy with every chunk of one kind renamed to JUNK, so readers cannot use it.
std::string without(const std::string& path, const std::string& fourcc, const std::string& copy)
{
    std::string data = readFile(path);
    for (size_t at = data.find(fourcc); at != std::string::npos; at = data.find(fourcc, at + 4))
        data.replace(at, 4, "JUNK");
    std::ofstream(copy, std::ios::binary) << data;
    return copy;
}

struct Frames
{
    MjpegEncoder encoder;
    std::vector<uint8_t> jpeg(int n)
    {
        auto dib = frame(64, 48, n);
        const uint8_t* p = nullptr;
        size_t size = 0;
        encoder.encode(dib.data(), 64, 48, p, size);
        return {p, p + size};
    }
};

const AviVideoFormat kVideo{64, 48, 40000, VideoCodec::MotionJpeg};

// In a child under a file size limit: after `before` is written and flushed, the limit is set
// `room` bytes past the end and `after` runs until a write fails. Exits with the error code.
template <class Before, class After>
int underLimit(const std::string& path, AviMuxerLimits limits, Before before, uint64_t room, After after)
{
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        AviMuxer muxer;
        if (!muxer.open(path, kVideo, AviAudioFormat{}, limits))
            _exit(100);
        before(muxer);
        rlimit limit{muxer.fileSize() + room, muxer.fileSize() + room};
        setrlimit(RLIMIT_FSIZE, &limit);
        after(muxer);
        muxer.close();
        _exit(int(muxer.error().code));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(AviMuxer, EitherIndexAloneIsEnoughForPlayers)
{
    REQUIRE_FFMPEG();
    std::string dir = tempDir();
    std::string path = dir + "/both.avi";
    AviMuxer muxer;
    ASSERT_TRUE(muxer.open(path, kVideo, AviAudioFormat{}, {}));
    Frames frames;
    auto pcm = tone(0, 320);
    for (int i = 0; i < 25; ++i) {
        auto jpeg = frames.jpeg(i);
        ASSERT_TRUE(muxer.writeVideo(jpeg.data(), jpeg.size(), true));
        ASSERT_TRUE(muxer.writeAudio(pcm.data(), pcm.size()));
        if (i % 10 == 9) {
            ASSERT_TRUE(muxer.flush(false));
        }
    }
    ASSERT_TRUE(muxer.close());
    for (const char* hidden : {"indx", "idx1"}) {
        std::string copy = without(path, hidden, dir + "/no-" + hidden + ".avi");
        auto v = stream(copy, "v:0");
        EXPECT_EQ(v["nb_read_frames"], "25") << "without " << hidden << v["error"];
        EXPECT_NEAR(audioSeconds(copy), 1.0, 1e-9) << "without " << hidden;
        EXPECT_EQ(decodeErrors(copy), "") << "without " << hidden;
    }
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

TEST(AviMuxer, DiskFullWithoutRoomForTheIndexesKeepsTheLastFlush)
{
    REQUIRE_FFMPEG();
    std::string dir = tempDir();
    Frames frames;
    auto jpeg = frames.jpeg(0);
    uint8_t sample[2] = {1, 0};
    auto tenFramesFlushed = [&](AviMuxer& m) {
        for (int i = 0; i < 10; ++i)
            m.writeVideo(jpeg.data(), jpeg.size(), true);
        m.flush(false);
    };
    // Tiny audio chunks until the disk refuses: far too little room for their index, so the
    // file goes back to the last flush.
    std::string tiny = dir + "/tiny.avi";
    int code = underLimit(tiny, {}, tenFramesFlushed, 4000, [&](AviMuxer& m) {
        while (m.writeAudio(sample, 2)) {
        }
    });
    EXPECT_EQ(code, int(CaptureFault::DiskFull));
    EXPECT_EQ(stream(tiny, "v:0")["nb_read_frames"], "10");
    EXPECT_EQ(decodeErrors(tiny), "");

    // Room for a standard index but not for the legacy one: still plays, all frames.
    std::string noLegacy = dir + "/nolegacy.avi";
    AviMuxerLimits oneFlushEach;
    oneFlushEach.segmentEntries = 1;
    code = underLimit(noLegacy, oneFlushEach, [&](AviMuxer& m) {
        tenFramesFlushed(m);
        m.writeVideo(jpeg.data(), jpeg.size(), true);
    }, 60, [&](AviMuxer& m) { m.writeVideo(jpeg.data(), jpeg.size(), true); });
    EXPECT_EQ(code, int(CaptureFault::DiskFull));
    EXPECT_EQ(stream(noLegacy, "v:0")["nb_read_frames"], "11");
    EXPECT_EQ(decodeErrors(noLegacy), "");
    EXPECT_EQ(readFile(noLegacy).find("idx1"), std::string::npos);
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}
