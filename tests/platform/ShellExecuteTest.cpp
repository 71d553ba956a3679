// Opening files, folders and addresses: what reaches xdg-open, how it is started, and the
// failures. A fake xdg-open first on PATH records each call in a folder of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "TempEnvironment.h"
#include "platform/Shell.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ProcessStat
{
    char state = '?';
    pid_t parent = 0;
    pid_t session = 0;
};

// Fields of /proc/PID/stat after the command name, which may itself hold blanks.
ProcessStat parseStat(const std::string& text)
{
    ProcessStat stat;
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return stat;
    std::istringstream rest(text.substr(close + 1));
    pid_t group;
    rest >> stat.state >> stat.parent >> group >> stat.session;
    return stat;
}

// Children of this process that have ended and were never waited for.
int zombieChildren()
{
    int zombies = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        ProcessStat stat = parseStat(readFile(entry.path() / "stat"));
        if (stat.parent == ::getpid() && stat.state == 'Z')
            ++zombies;
    }
    return zombies;
}

struct Invocation
{
    pid_t pid = 0;
    std::vector<std::string> arguments;
    std::string folder;
    ProcessStat stat;
};

int code(HINSTANCE result)
{
    return int(reinterpret_cast<intptr_t>(result));
}

class ShellExecute : public ::testing::Test
{
protected:
    void SetUp() override
    {
        records = temp.path() / "records";
        fs::create_directories(records);
        fs::create_directories(bin);
        installOpener("#!/bin/sh\n"
                      "dir='" + records.string() + "'/$$\n"
                      "mkdir \"$dir\"\n"
                      "cat /proc/$$/stat > \"$dir/stat\"\n"
                      "printf '%s\\0' \"$@\" > \"$dir/args\"\n"
                      "pwd > \"$dir/folder\"\n"
                      ": > \"$dir.done\"\n");
        env.set("PATH", (bin.string() + ":/usr/bin:/bin").c_str());
    }

    void installOpener(const std::string& script)
    {
        fs::path opener = bin / "xdg-open";
        std::ofstream(opener) << script;
        fs::permissions(opener, fs::perms::owner_all);
    }

    // Waits until count calls have been recorded, and for their processes to end.
    std::vector<Invocation> waitForInvocations(size_t count)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::vector<Invocation> found;
        while (true) {
            found.clear();
            for (const auto& entry : fs::directory_iterator(records)) {
                if (entry.path().extension() != ".done")
                    continue;
                fs::path dir = records / entry.path().stem();
                Invocation call;
                call.pid = std::stoi(entry.path().stem().string());
                call.stat = parseStat(readFile(dir / "stat"));
                std::string args = readFile(dir / "args");
                for (size_t start = 0, end; (end = args.find('\0', start)) != std::string::npos;
                     start = end + 1)
                    call.arguments.push_back(args.substr(start, end - start));
                call.folder = readFile(dir / "folder");
                if (!call.folder.empty())
                    call.folder.pop_back();
                found.push_back(call);
            }
            if (found.size() >= count || std::chrono::steady_clock::now() > deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        for (const Invocation& call : found) {
            // Gone, or ended and waiting for a parent that is not us.
            fs::path stat = "/proc/" + std::to_string(call.pid) + "/stat";
            while (std::chrono::steady_clock::now() < deadline) {
                std::string text = readFile(stat);
                if (text.empty() || parseStat(text).state == 'Z')
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return found;
    }

    TempFolder temp;
    fs::path bin = temp.path() / "bin";
    fs::path records;
    Environment env;
};

}  // namespace

TEST_F(ShellExecute, HostilePathsReachXdgOpenAsOneArgumentAndRunNothingElse)
{
    fs::path docs = temp.path() / "docs";
    std::string hostile = "-rf 'x' \"y\" ; touch pwned1 && $(touch pwned2) `touch pwned3` |z.avi";
    fs::create_directories(docs);
    std::ofstream(docs / hostile) << "avi";
    fs::path hostileFolder = docs / "day; $(touch pwned4) 'q'";
    fs::create_directories(hostileFolder);
    // Bytes that are no UTF-8 at all (Latin-1 names from an old disk).
    const std::string latin1 = "-caf\xe9 \xff\xfe\x80; touch pwned5.avi";
    std::ofstream(docs / latin1) << "avi";

    // Absolute, relative to the given directory (so its leading "-" is no option), a folder.
    EXPECT_GT(code(ShellExecuteA(0, "open", (docs / hostile).c_str(), "", "", SW_SHOW)), 32);
    EXPECT_GT(code(ShellExecuteA(0, nullptr, hostile.c_str(), "", docs.c_str(), SW_SHOW)), 32);
    EXPECT_GT(code(ShellExecuteA(0, "explore", hostileFolder.c_str(), "", "", SW_RESTORE)), 32);
    EXPECT_GT(code(ShellExecuteA(0, "open", (docs / latin1).c_str(), "", "", SW_SHOW)), 32);
    EXPECT_EQ(zombieChildren(), 0);

    auto calls = waitForInvocations(4);
    ASSERT_EQ(calls.size(), 4u);
    std::vector<std::vector<std::string>> seen;
    for (const Invocation& call : calls) {
        seen.push_back(call.arguments);
        // Detached: a session of its own, and no child of ours.
        EXPECT_EQ(call.stat.session, call.pid);
        EXPECT_NE(call.stat.session, ::getsid(0));
        EXPECT_NE(call.stat.parent, ::getpid());
    }
    std::sort(seen.begin(), seen.end());
    std::vector<std::vector<std::string>> expected = {{(docs / hostile).string()},
                                                      {(docs / hostile).string()},
                                                      {hostileFolder.string()},
                                                      {(docs / latin1).string()}};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(zombieChildren(), 0);
    for (const char* name : {"pwned1", "pwned2", "pwned3", "pwned4", "pwned5.avi"}) {
        EXPECT_FALSE(fs::exists(docs / name)) << name;
        EXPECT_FALSE(fs::exists(fs::current_path() / name)) << name;
    }
}

TEST_F(ShellExecute, AddressesPassUnchangedAndTheDirectoryIsTheWorkingFolder)
{
    std::string address = "https://example.org/a b?c=$(id)&d;e'f";
    EXPECT_GT(code(ShellExecuteA(0, "Open", address.c_str(), "", temp.path().c_str(), SW_RESTORE)),
              32);
    auto calls = waitForInvocations(1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments, std::vector<std::string>{address});
    EXPECT_EQ(fs::path(calls[0].folder), fs::canonical(temp.path()));
}

TEST_F(ShellExecute, RefusalsStartNothing)
{
    fs::path file = temp.path() / "clip.avi";
    std::ofstream(file) << "avi";
    const struct
    {
        const char* verb;
        std::string file;
        std::string directory;
        int expected;
    } cases[] = {
        {"open", (temp.path() / "gone.avi").string(), "", ERROR_FILE_NOT_FOUND},
        {"open", "", "", ERROR_FILE_NOT_FOUND},
        {"explore", "", "", ERROR_FILE_NOT_FOUND},   // the Videos button before any recording
        {"open", "clip.avi", (temp.path() / "no-such-folder").string(), ERROR_PATH_NOT_FOUND},
        {"explore", file.string(), "", SE_ERR_NOASSOC},
        {"explore", "https://example.org/", "", SE_ERR_NOASSOC},
        {"print", file.string(), "", SE_ERR_NOASSOC},
    };
    for (const auto& c : cases)
        EXPECT_EQ(code(ShellExecuteA(0, c.verb, c.file.c_str(), "", c.directory.c_str(), SW_SHOW)),
                  c.expected)
            << c.verb << " " << c.file;
    EXPECT_EQ(code(ShellExecuteA(0, "open", nullptr, nullptr, nullptr, SW_SHOW)),
              ERROR_FILE_NOT_FOUND);

    // One call that does start: it must be the only one recorded.
    EXPECT_GT(code(ShellExecuteA(0, "open", "clip.avi", "", temp.path().c_str(), SW_SHOW)), 32);
    auto calls = waitForInvocations(1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments, std::vector<std::string>{file.string()});
}

TEST_F(ShellExecute, WithoutAWorkingXdgOpenTheCallFailsAndTheProgramGoesOn)
{
    fs::path file = temp.path() / "clip.avi";
    std::ofstream(file) << "avi";

    // Not on PATH at all (and not taken from the current folder through an empty entry).
    fs::path empty = temp.path() / "empty";
    fs::create_directories(empty);
    env.set("PATH", (empty.string() + "::").c_str());
    fs::path cwd = fs::current_path();
    fs::current_path(bin);
    int missing = code(ShellExecuteA(0, "open", file.c_str(), "", "", SW_SHOW));
    fs::current_path(cwd);
    EXPECT_EQ(missing, SE_ERR_NOASSOC);

    // Present but not executable: skipped, as a shell's search does.
    env.set("PATH", bin.c_str());
    fs::permissions(bin / "xdg-open", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(code(ShellExecuteA(0, "open", file.c_str(), "", "", SW_SHOW)), SE_ERR_NOASSOC);

    // Found but it cannot start: its interpreter is missing.
    installOpener("#!/no/such/interpreter\n");
    int failed = code(ShellExecuteA(0, "open", file.c_str(), "", "", SW_SHOW));
    EXPECT_LE(failed, 32);
    EXPECT_EQ(failed, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(zombieChildren(), 0);
    EXPECT_TRUE(fs::is_empty(records));
}
