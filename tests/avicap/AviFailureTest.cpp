// Capture files that end badly: the process killed mid-recording, a full disk, a folder
// that cannot take the file.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "AviProbe.h"
#include "avicap/avi/AviWriter.h"

using namespace aviprobe;

namespace {

AviWriterConfig config(const std::string& path, VideoCodec codec)
{
    AviWriterConfig c;
    c.path = path;
    c.video = {320, 240, 33333, codec};
    c.audio = AviAudioFormat{8000, 1, 16};
    return c;
}

// Records in real time (system clock) and reports each frame handed over, until killed.
[[noreturn]] void recordUntilKilled(const std::string& path, VideoCodec codec, int out)
{
    AviWriter writer(config(path, codec));
    if (!writer.open())
        _exit(2);
    int64_t start = steadyUs();
    for (int32_t i = 0; i < 600; ++i) {
        int64_t t = start + int64_t(i) * 33333;
        std::this_thread::sleep_for(std::chrono::microseconds(std::max<int64_t>(0, t - steadyUs())));
        auto dib = frame(320, 240, i);
        writer.addAudio(tone(uint64_t(i) * 267, 267).data(), 534, t);
        writer.addFrame(dib.data(), dib.size(), uint64_t(i));
        int64_t handedAt = steadyUs();
        if (write(out, &handedAt, sizeof handedAt) != sizeof handedAt)
            _exit(3);
    }
    _exit(0);
}

}  // namespace

// Motion JPEG, and H.264 whose frames depend on the ones before: the file decodes up to the
// last flush all the same.
TEST(AviWriterFailures, KilledRecordingPlaysUpToOneSecondBeforeTheKill)
{
    REQUIRE_FFMPEG();
    std::string dir = tempDir();
    for (VideoCodec codec : {VideoCodec::MotionJpeg, VideoCodec::H264}) {
        SCOPED_TRACE(int(codec));
        std::string path = dir + "/killed" + std::to_string(int(codec)) + ".avi";
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            recordUntilKilled(path, codec, fds[1]);
        }
        close(fds[1]);
        // Killed just before a flush (every 500 ms from the start): the worst moment to die.
        KilledRecording killed = killRecordingAfter(child, fds[0], 2450000);
        ASSERT_GT(killed.killAt, 0) << "the recording child stopped early";
        int handedBefore = killed.handedASecondBefore;
        auto v = stream(path, "v:0");
        int readable = int(number(v, "nb_read_frames"));
        EXPECT_GE(readable, handedBefore) << v["error"];
        EXPECT_EQ(decodeErrors(path), "");
        if (readable > 0 && size_t(readable) <= killed.handed.size())
            std::printf("kill test: %d of %zu frames readable; the last readable one was handed over "
                        "%.0f ms before the kill\n", readable, killed.handed.size(),
                        (killed.killAt - killed.handed[size_t(readable - 1)]) / 1000.0);
    }
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

// In a child process: records under a file size limit until the disk "fills up"; writes
// (error code, frames the writer counts, whether a frame given after the failure was refused) to out.
namespace {

[[noreturn]] void recordUntilFull(const AviWriterConfig& c, rlim_t bytes, int out)
{
    // A file size limit stands in for a full disk; the signal it raises is ignored so the
    // write fails with EFBIG instead.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    AviWriter writer(c);
    int32_t result[3] = {-1, 0, 0};
    if (writer.open()) {
        for (int i = 0; i < 400 && writer.error().ok(); ++i) {
            auto dib = frame(c.video.width, c.video.height, i);
            writer.addAudio(tone(uint64_t(i) * 267, 267).data(), 534, int64_t(i) * 33333);
            writer.addFrame(dib.data(), dib.size(), uint64_t(i));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        auto late = frame(c.video.width, c.video.height, 0);
        result[2] = writer.error().failed() && !writer.addFrame(late.data(), late.size(), 500);
        CaptureError error = writer.close();
        result[0] = int32_t(error.code);
        result[1] = int32_t(writer.stats().frames);
    }
    _exit(write(out, result, sizeof result) == sizeof result ? 0 : 1);
}

}  // namespace

TEST(AviWriterFailures, FullDiskStopsTheRecordingWithAPlayableFile)
{
    REQUIRE_FFMPEG();
    std::string dir = tempDir();
    // Big raw frames, then small JPEG frames against limits that cut audio chunks, index
    // chunks and the legacy index at different places.
    struct Case
    {
        VideoCodec codec;
        rlim_t limit;
    } cases[] = {{VideoCodec::Uncompressed, 2 << 20}, {VideoCodec::MotionJpeg, 150000}, {VideoCodec::MotionJpeg, 200003},
                 {VideoCodec::MotionJpeg, 250007}, {VideoCodec::MotionJpeg, 300001}};
    for (const Case& k : cases) {
        std::string path = dir + "/full" + std::to_string(k.limit) + ".avi";
        AviWriterConfig c = config(path, k.codec);
        c.startUs = 0;
        c.flushIntervalMs = 20;
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            recordUntilFull(c, k.limit, fds[1]);
        }
        close(fds[1]);
        int32_t result[3] = {-1, 0, 0};
        ASSERT_EQ(read(fds[0], result, sizeof result), ssize_t(sizeof result));
        close(fds[0]);
        waitpid(child, nullptr, 0);
        EXPECT_EQ(result[0], int32_t(CaptureFault::DiskFull)) << k.limit;
        EXPECT_EQ(result[2], 1) << "frames given after the failure are refused";
        auto v = stream(path, "v:0");
        EXPECT_GE(number(v, "nb_read_frames"), 5) << v["error"];
        EXPECT_EQ(number(v, "nb_read_frames"), result[1]) << k.limit;
        EXPECT_EQ(decodeErrors(path), "") << k.limit;
    }
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}

TEST(AviWriterFailures, FileThatCannotBeCreatedIsReportedAtOpen)
{
    std::string dir = tempDir();
    EXPECT_EQ(std::system(("touch " + dir + "/plainfile").c_str()), 0);
    for (const std::string& path : {std::string("/nonexistent-lumo-folder/a.avi"), dir + "/plainfile/a.avi", dir}) {
        AviWriter writer(config(path, VideoCodec::MotionJpeg));
        CaptureError error;
        EXPECT_FALSE(writer.open(&error)) << path;
        EXPECT_EQ(error.code, CaptureFault::CannotCreate) << path;
        EXPECT_NE(error.text.find(path), std::string::npos) << error.text;
        auto dib = frame(320, 240, 0);
        EXPECT_FALSE(writer.addFrame(dib.data(), dib.size(), 0));
        EXPECT_EQ(writer.close().code, CaptureFault::CannotCreate);
    }
    EXPECT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
}
