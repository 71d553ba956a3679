// Opening files, folders and addresses with the desktop's default application (xdg-open).
#include "platform/Shell.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if __has_include(<linux/close_range.h>)
#include <linux/close_range.h>
#endif

extern char** environ;

namespace {

HINSTANCE result(int code)
{
    return reinterpret_cast<HINSTANCE>(intptr_t(code));
}

// Any value above 32 means success; this one is what the classic shell answers too.
constexpr int kStarted = 42;

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// An address with a scheme: "https://...", "mailto:...". The scheme is two letters at least
// so that nothing that looks like a drive letter counts.
bool isAddress(std::string_view file)
{
    size_t colon = file.find(':');
    if (colon == std::string_view::npos || colon < 2)
        return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(file[0]))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        char c = file[i];
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return false;
    }
    std::string_view scheme = file.substr(0, colon);
    return file.substr(colon).starts_with("://") || equalsIgnoringCase(scheme, "mailto");
}

std::optional<std::string> currentFolder()
{
    std::string buffer(4096, '\0');
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

bool isExecutableFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// PATH is searched here, before forking, so the child only has to exec. Empty entries (the
// current folder) are skipped: opening a document must not run whatever lies beside it.
std::optional<std::string> findOnPath(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string_view entries = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        size_t end = entries.find(':');
        std::string_view entry = entries.substr(0, end);
        if (!entry.empty()) {
            std::string candidate = std::string(entry) + "/" + name;
            if (isExecutableFile(candidate))
                return candidate;
        }
        if (end == std::string_view::npos)
            return std::nullopt;
        entries.remove_prefix(end + 1);
    }
}

int errorForExec(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return SE_ERR_ACCESSDENIED;
    case ENOEXEC:
        return ERROR_BAD_FORMAT;
    case ENOMEM:
    case EAGAIN:
        return SE_ERR_OOM;
    default:
        return ERROR_FILE_NOT_FOUND;
    }
}

// Only async-signal-safe calls from here on: the program may have other threads.
[[noreturn]] void execDetached(const char* program, char* const* argv, const char* folder,
                               int reportFd)
{
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard{};
    standard.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &standard, nullptr);
    int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0 && null != STDIN_FILENO) {
        ::dup2(null, STDIN_FILENO);
        ::close(null);
    }
#ifdef CLOSE_RANGE_CLOEXEC
    // Our own descriptors (display connection, camera, open recordings) stay ours.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif
    if (folder)
        (void)!::chdir(folder);
    ::execve(program, argv, environ);
    int error = errno;
    (void)!::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

// Double fork: the grandchild runs the program in a session of its own and is nobody's
// child of ours once the middle process has ended, so no zombie is left whatever it does.
// The report pipe (closed on exec) tells whether exec succeeded.
int startDetached(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& folder)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const char* workFolder = folder.empty() ? nullptr : folder.c_str();

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return SE_ERR_OOM;
    pid_t middle = ::fork();
    if (middle < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return SE_ERR_OOM;
    }
    if (middle == 0) {
        ::close(report[0]);
        pid_t child = ::fork();
        if (child == 0)
            execDetached(program.c_str(), argv.data(), workFolder, report[1]);
        if (child < 0) {
            int error = errno;
            (void)!::write(report[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    int status;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (got == 0)
        return kStarted;
    return errorForExec(got == sizeof error ? error : EIO);
}

bool exists(const std::string& path, bool* folder)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    *folder = S_ISDIR(st.st_mode);
    return true;
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR directory, INT)
{
    bool explore;
    if (!verb || equalsIgnoringCase(verb, "open"))
        explore = false;
    else if (equalsIgnoringCase(verb, "explore"))
        explore = true;
    else
        return result(SE_ERR_NOASSOC);
    if (!file || !*file)
        return result(ERROR_FILE_NOT_FOUND);

    std::string folder = directory ? directory : "";
    bool isFolder = false;
    if (!folder.empty() && (!exists(folder, &isFolder) || !isFolder))
        return result(ERROR_PATH_NOT_FOUND);

    std::string item = file;
    if (isAddress(item)) {
        if (explore)
            return result(SE_ERR_NOASSOC);
    } else {
        if (item[0] != '/') {
            std::string base = folder;
            if (base.empty() || base[0] != '/') {
                auto current = currentFolder();
                if (!current)
                    return result(ERROR_PATH_NOT_FOUND);
                base = base.empty() ? *current : *current + "/" + base;
            }
            item = base + "/" + item;
        }
        if (!exists(item, &isFolder))
            return result(ERROR_FILE_NOT_FOUND);
        if (explore && !isFolder)
            return result(SE_ERR_NOASSOC);
    }

    auto opener = findOnPath("xdg-open");
    if (!opener)
        return result(SE_ERR_NOASSOC);
    return result(startDetached(*opener, {item}, folder));
}
