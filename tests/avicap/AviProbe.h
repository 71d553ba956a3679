#pragma once
// Runs the real ffprobe and ffmpeg on files the tests write, and makes synthetic input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace aviprobe {

inline std::string run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// One word for the shell, whatever the name holds.
inline std::string quoted(const std::string& text)
{
    std::string word = "'";
    for (char c : text)
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

inline bool haveTools()
{
    return std::system("command -v ffprobe >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1") == 0;
}

#define REQUIRE_FFMPEG()                                                                       \
    ASSERT_TRUE(aviprobe::haveTools())                                                          \
        << "ffprobe/ffmpeg not installed: the capture file checks need them (scripts/deps.sh)"

// key=value lines of one stream ("v:0", "a:0"), frames counted by decoding.
inline std::map<std::string, std::string> stream(const std::string& path, const std::string& which)
{
    std::string out = run("ffprobe -v error -count_frames -select_streams " + which +
                          " -show_entries stream=codec_name,width,height,r_frame_rate,nb_read_frames,"
                          "duration,sample_rate,channels,sample_fmt"
                          " -of default=noprint_wrappers=1 " + quoted(path));
    std::map<std::string, std::string> values;
    size_t at = 0;
    while (at < out.size()) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos)
            end = out.size();
        std::string line = out.substr(at, end - at);
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
        else if (!line.empty())
            values["error"] += line;
        at = end + 1;
    }
    return values;
}

inline double number(const std::map<std::string, std::string>& m, const std::string& key)
{
    auto it = m.find(key);
    return it == m.end() ? -1 : std::atof(it->second.c_str());
}

// Seconds of sound in the first audio stream, from its packets.
inline double audioSeconds(const std::string& path, int rate = 8000)
{
    std::string out = run("ffprobe -v error -select_streams a:0 -show_entries packet=duration"
                          " -of csv=p=0 " + quoted(path));
    double ticks = 0;
    for (size_t at = 0; at < out.size();) {
        ticks += std::atof(out.c_str() + at);
        size_t end = out.find('\n', at);
        at = end == std::string::npos ? out.size() : end + 1;
    }
    return ticks / rate;
}

// Whatever ffmpeg complains about while decoding the whole file (empty: clean).
inline std::string decodeErrors(const std::string& path)
{
    return run("ffmpeg -nostdin -v error -i " + quoted(path) + " -f null -");
}

// A new folder under TMPDIR (where the virtual machine's tests have room to write), else /tmp.
inline std::string tempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/lumo-avi-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    return mkdtemp(name.data()) ? std::string(name.data()) : std::string(base && *base ? base : "/tmp");
}

// A moving gradient, bottom-up BGR rows padded to 4 bytes.
inline std::vector<uint8_t> frame(int width, int height, int n)
{
    int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> dib(size_t(stride) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &dib[size_t(y) * stride + size_t(x) * 3];
            p[0] = uint8_t(x + n * 4);
            p[1] = uint8_t(y * 2);
            p[2] = uint8_t((x ^ y) + n);
        }
    }
    return dib;
}

// 16-bit mono tone samples [first, first + count).
inline std::vector<uint8_t> tone(uint64_t first, size_t count, int rate = 8000, double hz = 440)
{
    std::vector<uint8_t> pcm(count * 2);
    for (size_t i = 0; i < count; ++i) {
        auto v = int16_t(8000 * std::sin(2 * M_PI * hz * double(first + i) / rate));
        pcm[2 * i] = uint8_t(v);
        pcm[2 * i + 1] = uint8_t(uint16_t(v) >> 8);
    }
    return pcm;
}

inline int64_t steadyUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct KilledRecording
{
    std::vector<int64_t> handed;   // when each frame was handed over (steady clock, µs)
    int64_t killAt = 0;            // 0: the child stopped before it was killed
    int handedASecondBefore = 0;   // frames handed over at least a second before the kill
};

// Reads the steady-clock times (int64 microseconds) at which a recording child hands frames
// over and kills the child once it has recorded for killAfterUs.
inline KilledRecording killRecordingAfter(pid_t child, int fd, int64_t killAfterUs)
{
    KilledRecording result;
    int64_t at = 0;
    while (read(fd, &at, sizeof at) == sizeof at) {
        result.handed.push_back(at);
        if (!result.killAt && at - result.handed.front() > killAfterUs) {
            kill(child, SIGKILL);
            result.killAt = steadyUs();
        }
    }
    close(fd);
    waitpid(child, nullptr, 0);
    for (int64_t t : result.handed)
        result.handedASecondBefore += result.killAt && t <= result.killAt - 1000000;
    return result;
}

}  // namespace aviprobe
