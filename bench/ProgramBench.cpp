// The program beside ffplay on a real X display (run it under Xvfb:
//   xvfb-run -s "-screen 0 1280x1024x24" build/bench/ProgramBench):
// "ours" is build/app/lumofree showing the 640 x 480, 30 fps test-pattern camera in its
// compact window; "ref" is ffplay showing testsrc2 of the same size and rate in a borderless
// window of the same size and place. Three cases, each a fresh process per iteration:
//   first_picture  ms from the start of the process to the first picture on the screen
//                  (the picture's area, read back from the X server, shows colour);
//   cpu            CPU ms per second of showing, over 4 s after the first picture;
//   rss            resident memory after those 4 s, in MB (reported as the "time").
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PairedReporter.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Program
{
    std::vector<std::string> argv;
    // Where its picture shows on a 1280 x 1024 screen.
    int x, y, width, height;
};

std::string programFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

Program ours()
{
    // The compact window is centred: 148 x 348 at 566, 338; the picture 132 x 132 at 8, 86.
    return {{programFolder() + "/../app/lumofree"}, 566 + 8, 338 + 86, 132, 132};
}

Program ffplay()
{
    return {{"ffplay", "-hide_banner", "-loglevel", "error", "-noborder", "-an", "-f", "lavfi", "-i",
             "testsrc2=size=640x480:rate=30", "-x", "148", "-y", "348", "-left", "566", "-top", "338"},
            566, 338, 148, 348};
}

pid_t spawn(const Program& p)
{
    std::vector<char*> args;
    for (const std::string& a : p.argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Whether the area shows colour: some pixel whose channels differ clearly. The X server is
// asked through ImageMagick's import, as the end-to-end tests do.
bool showsColour(const Program& p)
{
    char command[256];
    std::snprintf(command, sizeof command, "import -window root -crop %dx%d+%d+%d -depth 8 rgb:- 2>/dev/null",
                  p.width, p.height, p.x, p.y);
    FILE* pipe = popen(command, "r");
    if (!pipe)
        return false;
    unsigned char px[3];
    bool colour = false;
    while (fread(px, 1, 3, pipe) == 3) {
        const int hi = std::max({px[0], px[1], px[2]}), lo = std::min({px[0], px[1], px[2]});
        if (hi - lo > 80)
            colour = true;
    }
    pclose(pipe);
    return colour;
}

double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14)
            utime = std::atof(field.c_str());
        if (i == 15) {
            stime = std::atof(field.c_str());
            break;
        }
    }
    return (utime + stime) / double(sysconf(_SC_CLK_TCK));
}

double residentMb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

enum Measure { FirstPicture, Cpu, Rss };

void run(benchmark::State& state, Program (*make)(), Measure measure)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs an X display: run under xvfb-run");
        return;
    }
    const Program p = make();
    char home[] = "/tmp/lumo-bench-XXXXXX";
    if (!mkdtemp(home)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    setenv("HOME", home, 1);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const pid_t pid = spawn(p);
        if (pid < 0) {
            state.SkipWithError(("cannot start " + p.argv[0]).c_str());
            break;
        }
        bool shown = false;
        while (!shown && Clock::now() - t0 < std::chrono::seconds(20))
            shown = showsColour(p);
        const double firstMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (!shown) {
            stop(pid);
            state.SkipWithError("no picture within 20 s");
            break;
        }
        double value = firstMs;
        if (measure != FirstPicture) {
            const double c0 = cpuSeconds(pid);
            std::this_thread::sleep_for(std::chrono::seconds(4));
            value = measure == Cpu ? (cpuSeconds(pid) - c0) * 1000.0 / 4.0 : residentMb(pid);
        }
        stop(pid);
        state.SetIterationTime(value / 1000.0);   // reported in "ms"
    }
    std::filesystem::remove_all(home);
}

}  // namespace

int main(int argc, char** argv)
{
    const struct
    {
        const char* name;
        Measure measure;
    } cases[] = {{"first_picture", FirstPicture}, {"cpu_ms_per_s", Cpu}, {"rss_mb", Rss}};
    for (const auto& c : cases) {
        benchmark::RegisterBenchmark((std::string("ours/") + c.name).c_str(), run, ours, c.measure)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(3);
        benchmark::RegisterBenchmark((std::string("ref/") + c.name).c_str(), run, ffplay, c.measure)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(3);
    }
    benchmark::Initialize(&argc, argv);
    PairedReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
