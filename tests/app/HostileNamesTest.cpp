// A documents folder whose name is hostile (quotes, spaces, a semicolon, $(...), backticks, a
// leading "-", bytes that are no UTF-8) through the whole program: it records there, and the
// Videos and Playback buttons start the real shell launch. A fake xdg-open first on PATH notes
// its arguments; nothing but it may run, and it gets the one path.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/Shell.h"
#include "tests/app/MainFormFixture.h"
#include "tests/avicap/AviProbe.h"

namespace {

namespace fs = std::filesystem;

class HostileNames : public MainFormFixture
{
protected:
    std::string savedPath;
    fs::path records, bin;

    void SetUp() override
    {
        MainFormFixture::SetUp();
        records = fs::path(home) / "records";
        bin = fs::path(home) / "bin";
        fs::create_directories(records);
        fs::create_directories(bin);
        const fs::path opener = bin / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\n"
                                 "printf '%s\\0' \"$@\" > '" + records.string() + "'/$$.args\n";
        fs::permissions(opener, fs::perms::owner_all);
        if (const char* path = std::getenv("PATH"))
            savedPath = path;
        setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
        AppShellExecute = ShellExecuteA;   // the real launch
    }

    void TearDown() override
    {
        setenv("PATH", savedPath.c_str(), 1);
        MainFormFixture::TearDown();
    }

    // The argument lists xdg-open was started with, once count of them have come.
    std::vector<std::vector<std::string>> launches(size_t count)
    {
        std::vector<std::vector<std::string>> found;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            found.clear();
            for (const auto& entry : fs::directory_iterator(records)) {
                std::ifstream in(entry.path(), std::ios::binary);
                const std::string text{std::istreambuf_iterator<char>(in), {}};
                std::vector<std::string> arguments;
                for (size_t at = 0, end; (end = text.find('\0', at)) != std::string::npos; at = end + 1)
                    arguments.push_back(text.substr(at, end - at));
                found.push_back(arguments);
            }
            if (found.size() >= count)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < deadline);
        std::sort(found.begin(), found.end());
        return found;
    }
};

TEST_F(HostileNames, TheProgramRecordsUnderAHostileFolderAndOpensItWithXdgOpenAlone)
{
    REQUIRE_FFMPEG();
    // As the desktop's own user-dirs.dirs would hold it: shell-escaped inside the quotes.
    const std::string name = "-docs 'q' \"d\" ; touch pwned1 && $(touch pwned2) `touch pwned3` caf\xe9\xff";
    const std::string escaped = "-docs 'q' \\\"d\\\" ; touch pwned1 && \\$(touch pwned2) \\`touch pwned3\\` caf\xe9\xff";
    fs::create_directories(fs::path(home) / ".config");
    std::ofstream(fs::path(home) / ".config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/" << escaped << "\"\n";
    const std::string hostile = home + "/" + name;
    fs::create_directories(hostile);

    // The window reads the documents folder when it is made.
    closeForm();
    makeForm();
    start();
    ASSERT_TRUE(form->VidCap->GetRecording()) << report();
    advance(3000, 250);
    stop();
    const std::string file = form->GetVideoFilePath();
    ASSERT_EQ(file.rfind(hostile + "/Lumofree/VIDEOS/", 0), 0u) << file;
    auto v = aviprobe::stream(file, "v:0");
    EXPECT_GE(aviprobe::number(v, "nb_read_frames"), 6) << v["error"];

    clickOn(form->VideosButton);
    clickOn(form->PlaybackButton);
    const std::string folder = file.substr(0, file.rfind('/'));
    std::vector<std::vector<std::string>> expected = {{folder}, {file}};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(launches(2), expected);
    for (const char* pwned : {"pwned1", "pwned2", "pwned3"})
        for (const std::string& where : {home, hostile, folder, fs::current_path().string()})
            EXPECT_FALSE(fs::exists(fs::path(where) / pwned)) << pwned << " in " << where;
}

}  // namespace
