// Recording 1920x1080 at 30 fps as Motion JPEG: CPU time per frame of the whole writer path
// (hand-over, encode, write) beside ffmpeg encoding the same raw frames to an AVI, timed as
// a child process. Goal: at most 0.7 of ffmpeg's CPU time, and under 33.3 ms a frame (real
// time on one core).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ProcessTimes.h"
#include "avicap/avi/AviWriter.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 90;
constexpr int kDistinct = 6;
constexpr size_t kRow = kWidth * 3;

// Camera-like pictures: smooth shading, edges and a little sensor noise.
std::vector<uint8_t> picture(int n)
{
    std::vector<uint8_t> dib(kRow * kHeight);
    uint32_t noise = 12345u + uint32_t(n);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            int grain = int(noise >> 28) - 8;
            uint8_t* p = &dib[size_t(y) * kRow + size_t(x) * 3];
            bool box = ((x + n * 16) / 240 + y / 180) % 2 == 0;
            p[0] = uint8_t(std::clamp(x / 8 + grain + (box ? 40 : 0), 0, 255));
            p[1] = uint8_t(std::clamp(y / 5 + grain, 0, 255));
            p[2] = uint8_t(std::clamp((x + y) / 12 + grain + n * 8, 0, 255));
        }
    }
    return dib;
}

long fileSize(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return 0;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    return size;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string qscale = argc > 1 ? argv[1] : "3";   // close to quality 85 in bytes per frame
    char dirTemplate[] = "/tmp/lumo-recordbench-XXXXXX";
    std::string dir = mkdtemp(dirTemplate) ? dirTemplate : "/tmp";
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < kDistinct; ++i)
        frames.push_back(picture(i));

    // The same frames top-down for ffmpeg.
    std::string raw = dir + "/frames.bgr";
    FILE* out = std::fopen(raw.c_str(), "wb");
    for (int i = 0; i < kFrames && out; ++i) {
        const auto& dib = frames[size_t(i % kDistinct)];
        for (int y = kHeight - 1; y >= 0; --y)
            std::fwrite(&dib[size_t(y) * kRow], 1, kRow, out);
    }
    if (out)
        std::fclose(out);

    AviWriterConfig config;
    config.path = dir + "/ours.avi";
    config.video = {kWidth, kHeight, 33333, VideoCodec::MotionJpeg};
    config.audio = AviAudioFormat{8000, 1, 16};
    config.startUs = 0;
    std::vector<uint8_t> silence(534);
    double cpu0 = cpuSeconds(RUSAGE_SELF);
    auto wall0 = std::chrono::steady_clock::now();
    {
        AviWriter writer(config);
        if (!writer.open()) {
            std::fprintf(stderr, "cannot create %s\n", config.path.c_str());
            return 1;
        }
        for (int i = 0; i < kFrames; ++i) {
            const auto& dib = frames[size_t(i % kDistinct)];
            int64_t t = int64_t(i) * 33333;
            writer.addAudio(silence.data(), silence.size(), t);
            while (!writer.addFrame(dib.data(), dib.size(), uint64_t(i)))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));   // queue full: wait
        }
        (void)writer.close();
    }
    double oursMs = (cpuSeconds(RUSAGE_SELF) - cpu0) * 1000 / kFrames;
    double oursWallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count() / kFrames;

    std::string ffmpegOut = dir + "/ffmpeg.avi";
    double child0 = cpuSeconds(RUSAGE_CHILDREN);
    pid_t pid = fork();
    if (pid == 0) {
        execlp("ffmpeg", "ffmpeg", "-nostdin", "-loglevel", "error", "-f", "rawvideo", "-pix_fmt", "bgr24",
               "-s", "1920x1080", "-r", "30", "-i", raw.c_str(), "-c:v", "mjpeg", "-q:v", qscale.c_str(),
               "-y", ffmpegOut.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double refMs = (cpuSeconds(RUSAGE_CHILDREN) - child0) * 1000 / kFrames;
    bool refOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;

    std::printf("1920x1080 Motion JPEG, %d frames\n", kFrames);
    std::printf("%-36s %10s %12s\n", "", "CPU ms/fr", "bytes/frame");
    std::printf("%-36s %10.2f %12ld   (wall %.2f ms/frame)\n", "ours (quality 85, write + encode)", oursMs,
                fileSize(config.path) / kFrames, oursWallMs);
    if (refOk) {
        std::printf("%-36s %10.2f %12ld\n", ("ffmpeg -c:v mjpeg -q:v " + qscale).c_str(), refMs,
                    fileSize(ffmpegOut) / kFrames);
        std::printf("ratio ours/ffmpeg = %.2f (goal <= 0.70); real time on one core: %s (%.1f ms budget)\n",
                    oursMs / refMs, oursMs < 33.3 ? "yes" : "no", 33.3);
    } else {
        std::printf("ffmpeg did not run (install it with scripts/deps.sh)\n");
    }
    std::string cleanup = "rm -rf " + dir;
    return std::system(cleanup.c_str()) == 0 && refOk ? 0 : 1;
}
