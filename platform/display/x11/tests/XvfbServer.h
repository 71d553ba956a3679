#pragma once
// An Xvfb of the test's own, on a display number the server picks itself (so that tests
// running side by side never meet), stopped when the object goes.
#include <signal.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

class XvfbServer
{
public:
    XvfbServer()
    {
        if (std::system("command -v Xvfb >/dev/null 2>&1") != 0)
            return;
        found_ = true;
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        // The server writes its display number once it takes connections.
        std::string number;
        pollfd wait{ready[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&wait, 1, 10000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(ready[0]);
        if (!number.empty())
            name_ = ":" + number;
    }
    ~XvfbServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Xvfb is installed; without it the tests that need it skip.
    bool found() const { return found_; }
    // The display name, empty when the server did not come up.
    const std::string& name() const { return name_; }

private:
    bool found_ = false;
    pid_t pid_ = -1;
    std::string name_;
};

// Declares the test's own Xvfb as `server`: the test is skipped where there is no Xvfb, and
// fails where it did not start.
#define START_XVFB(server)                                    \
    XvfbServer server;                                        \
    if (!server.found())                                      \
        GTEST_SKIP() << "skipped: no Xvfb";                   \
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start"
