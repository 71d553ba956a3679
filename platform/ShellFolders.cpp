// The documents folder (XDG user directories) and the item id lists that carry it.
#include "platform/Shell.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void stripTrailingSlashes(std::string& path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
}

std::optional<std::string> homeFolder()
{
    std::string home;
    if (const char* value = std::getenv("HOME"); value && *value)
        home = value;
    else {
        // As the shell does without HOME: the password database's entry.
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::string buffer(size > 0 ? size_t(size) : 16384, '\0');
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found
            || !found->pw_dir || !*found->pw_dir)
            return std::nullopt;
        home = found->pw_dir;
    }
    stripTrailingSlashes(home);
    return home;
}

// A relative XDG_CONFIG_HOME is invalid by the base directory rules and is ignored.
std::string configFolder(const std::string& home)
{
    const char* value = std::getenv("XDG_CONFIG_HOME");
    if (value && value[0] == '/')
        return value;
    return home + "/.config";
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// One line of user-dirs.dirs: NAME="$HOME/path" or NAME="/path", the path shell-escaped;
// an unquoted value is taken up to the first blank. Other forms are not supported and
// are skipped, as xdg-user-dirs documents.
std::optional<std::string> parseEntry(std::string_view line, std::string_view name,
                                      const std::string& home)
{
    size_t i = 0;
    while (i < line.size() && isSpace(line[i]))
        ++i;
    if (line.substr(i, name.size()) != name)
        return std::nullopt;
    i += name.size();
    if (i >= line.size() || line[i] != '=')
        return std::nullopt;
    ++i;
    bool quoted = i < line.size() && line[i] == '"';
    if (quoted)
        ++i;
    std::string value;
    bool closed = !quoted;
    for (; i < line.size(); ++i) {
        char c = line[i];
        if (quoted && c == '"') {
            closed = true;
            break;
        }
        if (!quoted && isSpace(c))
            break;
        if (c == '\\' && i + 1 < line.size())
            c = line[++i];
        value += c;
    }
    if (!closed)
        return std::nullopt;
    // An empty value counts as unset, as in the shell's ${XDG_DOCUMENTS_DIR:-...}.
    if (value.empty())
        return std::nullopt;
    for (std::string_view prefix : {"$HOME", "${HOME}"}) {
        if (value.starts_with(prefix)) {
            std::string rest = value.substr(prefix.size());
            if (!rest.empty() && rest[0] != '/')
                return std::nullopt;   // $HOMEx is another variable
            value = home + rest;
            break;
        }
    }
    if (value[0] != '/')
        return std::nullopt;
    stripTrailingSlashes(value);
    return value;
}

std::optional<std::string> documentsFromUserDirs(const std::string& home)
{
    std::ifstream file(configFolder(home) + "/user-dirs.dirs");
    std::optional<std::string> result;
    std::string line;
    // The file is sourced by the shell, so a later entry wins.
    while (std::getline(file, line)) {
        if (auto value = parseEntry(line, "XDG_DOCUMENTS_DIR", home))
            result = value;
    }
    return result;
}

bool isFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> documentsFolder()
{
    auto home = homeFolder();
    if (!home)
        return std::nullopt;
    if (auto configured = documentsFromUserDirs(*home))
        return configured;
    std::string fallback = *home + "/Documents";
    return isFolder(fallback) ? fallback : *home;
}

std::optional<std::string> settingsFolder()
{
    auto home = homeFolder();
    return home ? std::optional(configFolder(*home)) : std::nullopt;
}

LPITEMIDLIST makeIdList(const std::string& path)
{
    // One item (size word, path, zero) and the terminating zero size word.
    size_t itemSize = sizeof(WORD) + path.size() + 1;
    if (itemSize > 0xFFFF)
        return nullptr;
    auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(itemSize + sizeof(WORD)));
    if (!bytes)
        return nullptr;
    WORD cb = WORD(itemSize);
    WORD end = 0;
    std::memcpy(bytes, &cb, sizeof cb);
    std::memcpy(bytes + sizeof(WORD), path.c_str(), path.size() + 1);
    std::memcpy(bytes + itemSize, &end, sizeof end);
    return reinterpret_cast<LPITEMIDLIST>(bytes);
}

}  // namespace

LPVOID CoTaskMemAlloc(size_t size)
{
    return std::malloc(size ? size : 1);
}

void CoTaskMemFree(LPVOID memory)
{
    std::free(memory);
}

void ILFree(LPITEMIDLIST idList)
{
    CoTaskMemFree(idList);
}

HRESULT SHGetSpecialFolderLocation(HWND, int folder, LPITEMIDLIST* idList)
{
    if (!idList)
        return E_INVALIDARG;
    *idList = nullptr;
    if (folder != CSIDL_PERSONAL && folder != CSIDL_APPDATA)
        return E_INVALIDARG;
    auto path = folder == CSIDL_APPDATA ? settingsFolder() : documentsFolder();
    if (!path)
        return E_FAIL;
    *idList = makeIdList(*path);
    return *idList ? S_OK : E_OUTOFMEMORY;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST idList, LPSTR path)
{
    if (!path)
        return FALSE;
    path[0] = '\0';
    if (!idList)
        return FALSE;
    auto* bytes = reinterpret_cast<const BYTE*>(idList);
    WORD cb;
    std::memcpy(&cb, bytes, sizeof cb);
    if (cb <= sizeof(WORD))
        return FALSE;   // the empty list (the desktop) has no file-system path
    const char* text = reinterpret_cast<const char*>(bytes + sizeof(WORD));
    size_t capacity = cb - sizeof(WORD);
    size_t length = strnlen(text, capacity);
    if (length == capacity || length == 0 || text[0] != '/' || length >= size_t(MAX_PATH))
        return FALSE;
    std::memcpy(path, text, length + 1);
    return TRUE;
}
