// H.264 at 1920x1080, 4 fps: the CPU time per frame of our whole path (DIB -> I420 -> x264)
// beside ffmpeg's libx264 with the same x264 settings, timed as a child process (its time
// includes its own bgr24 -> yuv420p conversion, as ours includes ours); then the bytes per
// frame against Motion JPEG at the dialog's default quality 85, with ffmpeg's SSIM of each
// against the source. Goals: at most ffmpeg's CPU time; at most a fifth of Motion JPEG's
// bytes at SSIM 0.95 or better.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "PairedReporter.h"
#include "ProcessTimes.h"
#include "avicap/avi/MjpegEncoder.h"
#include "avicap/codec/H264Encoder.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 60;
constexpr size_t kRow = kWidth * 3;
constexpr uint32_t kMicroSecPerFrame = 250000;
constexpr int kQuality = 85;

// What a webcam sees: a still room (shading, furniture-like blocks, fine texture), a person
// moving across it, and a little sensor noise new in every frame. The scene is still where
// a webcam's is: a pattern sweeping the whole picture would be a camera pan instead.
std::vector<uint8_t> picture(int n)
{
    std::vector<uint8_t> dib(kRow * kHeight);
    uint32_t noise = 12345u + uint32_t(n);
    const int cx = 400 + n * 12, cy = 540;   // the person, 48 px a second across
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int grain = int(noise >> 24) % 3 - 1;
            const int block = ((x / 160) * 7 + (y / 120) * 13) % 5;   // walls, shelves, a desk
            const int texture = ((x * 7 + y * 3) % 23 < 3) ? 12 : 0;  // wood grain, wallpaper
            int b = 60 + x / 16 + block * 18 + texture, g = 70 + y / 10 + block * 11 + texture,
                r = 80 + (x + y) / 24 + block * 9;
            const int dx = x - cx, dy = y - cy;
            if (dx * dx * 4 + dy * dy < 260 * 260) {   // a figure with a patterned shirt
                b = 90 + ((x / 6 + y / 6) % 2) * 50;
                g = 110 + (dy > 0 ? 30 : 0);
                r = 170 - dy / 8;
            }
            uint8_t* p = &dib[size_t(kHeight - 1 - y) * kRow + size_t(x) * 3];
            p[0] = uint8_t(std::clamp(b + grain, 0, 255));
            p[1] = uint8_t(std::clamp(g + grain, 0, 255));
            p[2] = uint8_t(std::clamp(r + grain, 0, 255));
        }
    }
    return dib;
}

struct Material
{
    std::string dir;
    std::string raw;   // the frames top-down, for ffmpeg
    std::vector<std::vector<uint8_t>> frames;
};

const Material& material()
{
    static const Material m = [] {
        Material made;
        char pattern[] = "/tmp/lumo-h264bench-XXXXXX";
        made.dir = mkdtemp(pattern) ? pattern : "/tmp";
        made.raw = made.dir + "/frames.bgr";
        std::ofstream out(made.raw, std::ios::binary);
        for (int i = 0; i < kFrames; ++i) {
            made.frames.push_back(picture(i));
            for (int y = kHeight - 1; y >= 0; --y)
                out.write(reinterpret_cast<const char*>(&made.frames.back()[size_t(y) * kRow]), std::streamsize(kRow));
        }
        return made;
    }();
    return m;
}

int encoderThreads() { return std::max(1, std::min(2, int(std::thread::hardware_concurrency()) - 1)); }

// The settings makeH264Encoder gives x264, spelled for ffmpeg; ffmpeg converts to the usual
// limited-range yuv420p (for bgr24 it would otherwise pick 4:4:4).
std::vector<std::string> ffmpegEncode(const std::string& raw)
{
    const int keyint = int((10'000'000 + kMicroSecPerFrame - 1) / kMicroSecPerFrame);
    return {"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "rawvideo", "-pix_fmt", "bgr24", "-s", "1920x1080",
            "-r", "4", "-i", raw, "-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset", "veryfast",
            "-tune", "zerolatency", "-crf", std::to_string(h264RateFactor(kQuality)), "-bf", "0",
            "-threads", std::to_string(encoderThreads()), "-x264-params",
            "keyint=" + std::to_string(keyint) +
                ":rc-lookahead=0:sync-lookahead=0:sliced-threads=1:mbtree=0:repeat-headers=1:annexb=1"
                ":fullrange=on:colormatrix=smpte170m:scenecut=0"};
}

bool runChild(std::vector<std::string> args)
{
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// ffmpeg's SSIM ("All", both sides as yuv420p) of a compressed stream against the raw frames,
// paired frame by frame whatever rate each input claims.
double ssim(const std::string& format, const std::string& path, const std::string& raw)
{
    std::string out = commandOutput("ffmpeg -nostdin -hide_banner -f " + format + " -i '" + path +
                             "' -f rawvideo -pix_fmt bgr24 -s 1920x1080 -i '" + raw +
                             "' -lavfi '[0:v]setpts=N/TB,format=yuv420p[a];[1:v]setpts=N/TB,format=yuv420p[b];"
                             "[a][b]ssim' -f null -");
    size_t at = out.find("All:");
    return at == std::string::npos ? 0 : std::atof(out.c_str() + at + 4);
}

// The settings x264 writes into its first frame, after "options: ".
std::string x264Options(const std::vector<uint8_t>& stream)
{
    std::string text(stream.begin(), stream.end());
    size_t at = text.find("options: ");
    if (at == std::string::npos)
        return "(none)";
    return text.substr(at + 9, text.find('\0', at) - at - 9);
}

VideoEncoderConfig config() { return {kWidth, kHeight, kMicroSecPerFrame, kQuality}; }

struct Summary
{
    double oursMs = 0;
    double refMs = 0;
    double h264Bytes = 0;
    double mjpegBytes = 0;
    double h264Ssim = 0;
    double mjpegSsim = 0;
} summary;

// The first frames through our encoder; false with the reason on the first failure.
bool encodeFrames(int frames, std::vector<uint8_t>* stream, size_t& bytes, std::string& why)
{
    auto encoder = makeH264Encoder(config(), why);
    if (!encoder)
        return false;
    bytes = 0;
    for (int i = 0; i < frames; ++i) {
        const auto& dib = material().frames[size_t(i)];
        EncodedFrame out;
        if (!encoder->encode({VideoPicture::Kind::Dib, dib.data(), dib.size(), uint64_t(i)}, out, why))
            return false;
        bytes += out.size;
        if (stream)
            stream->insert(stream->end(), out.data, out.data + out.size);
    }
    return true;
}

void oursCpu(benchmark::State& state)
{
    material();
    double total = 0;
    for (auto _ : state) {
        // Every thread of the process; the encoder is made and closed inside, as ffmpeg's is.
        const double t0 = cpuSeconds(RUSAGE_SELF);
        size_t bytes = 0;
        std::string why;
        if (!encodeFrames(kFrames, nullptr, bytes, why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        const double perFrame = (cpuSeconds(RUSAGE_SELF) - t0) / kFrames;
        total += perFrame;
        state.SetIterationTime(perFrame);
    }
    summary.oursMs = total * 1000 / double(state.iterations());
    state.counters["pixels"] = benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}

void refCpu(benchmark::State& state)
{
    const Material& m = material();
    double total = 0;
    for (auto _ : state) {
        auto args = ffmpegEncode(m.raw);
        args.insert(args.end(), {"-f", "null", "-"});
        const double t0 = cpuSeconds(RUSAGE_CHILDREN);
        if (!runChild(args)) {
            state.SkipWithError("ffmpeg with libx264 did not run (scripts/deps.sh installs it)");
            return;
        }
        const double perFrame = (cpuSeconds(RUSAGE_CHILDREN) - t0) / kFrames;
        total += perFrame;
        state.SetIterationTime(perFrame);
    }
    summary.refMs = total * 1000 / double(state.iterations());
    state.counters["pixels"] = benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}

void bytesAndSsim(benchmark::State& state)
{
    const Material& m = material();
    for (auto _ : state) {
        std::vector<uint8_t> h264;
        size_t h264Bytes = 0;
        std::string why;
        if (!encodeFrames(kFrames, &h264, h264Bytes, why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        std::vector<uint8_t> mjpeg;
        MjpegEncoder jpeg(kQuality);
        for (const auto& dib : m.frames) {
            const uint8_t* data = nullptr;
            size_t size = 0;
            if (!jpeg.encode(dib.data(), kWidth, kHeight, data, size)) {
                state.SkipWithError(jpeg.error().c_str());
                return;
            }
            mjpeg.insert(mjpeg.end(), data, data + size);
        }
        save(m.dir + "/ours.h264", h264);
        save(m.dir + "/ours.mjpeg", mjpeg);
        summary.h264Bytes = double(h264Bytes) / kFrames;
        summary.mjpegBytes = double(mjpeg.size()) / kFrames;
        summary.h264Ssim = ssim("h264", m.dir + "/ours.h264", m.raw);
        summary.mjpegSsim = ssim("mjpeg", m.dir + "/ours.mjpeg", m.raw);
    }
    state.counters["h264_bytes"] = summary.h264Bytes;
    state.counters["mjpeg_bytes"] = summary.mjpegBytes;
    state.counters["bytes_ratio"] = summary.h264Bytes / summary.mjpegBytes;
    state.counters["h264_ssim"] = summary.h264Ssim;
    state.counters["mjpeg_ssim"] = summary.mjpegSsim;
}

// Whether ffmpeg's encoder ran with the very settings ours did, as each stream records them.
void compareSettings()
{
    const Material& m = material();
    std::vector<uint8_t> ours;
    size_t bytes = 0;
    std::string why;
    encodeFrames(1, &ours, bytes, why);
    auto args = ffmpegEncode(m.raw);
    args.insert(args.end(), {"-frames:v", "1", "-f", "h264", "-y", m.dir + "/ffmpeg.h264"});
    runChild(args);
    std::ifstream in(m.dir + "/ffmpeg.h264", std::ios::binary);
    std::vector<uint8_t> theirs((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string a = x264Options(ours);
    const std::string b = x264Options(theirs);
    if (a == b)
        std::printf("x264 settings, ours and ffmpeg's: identical\n  %s\n", a.c_str());
    else
        std::printf("x264 settings differ\n  ours:   %s\n  ffmpeg: %s\n", a.c_str(), b.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("ours/h264_cpu", oursCpu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
    benchmark::RegisterBenchmark("ref/h264_cpu", refCpu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
    benchmark::RegisterBenchmark("size/h264_vs_mjpeg", bytesAndSsim)->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::Initialize(&argc, argv);
    PairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n1920x1080 H.264 at quality %d (CRF %d), %d frames at 4 fps\n", kQuality, h264RateFactor(kQuality),
                kFrames);
    compareSettings();
    if (summary.oursMs > 0 && summary.refMs > 0)
        std::printf("CPU ms/frame: ours %.2f, ffmpeg %.2f, ratio %.2f (goal <= 1.00)\n", summary.oursMs, summary.refMs,
                    summary.oursMs / summary.refMs);
    if (summary.mjpegBytes > 0)
        std::printf("bytes/frame: H.264 %.0f (SSIM %.4f), Motion JPEG q%d %.0f (SSIM %.4f), ratio %.3f "
                    "(goal <= 0.200 at SSIM >= 0.95)\n",
                    summary.h264Bytes, summary.h264Ssim, kQuality, summary.mjpegBytes, summary.mjpegSsim,
                    summary.h264Bytes / summary.mjpegBytes);
    const std::string cleanup = "rm -rf '" + material().dir + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
