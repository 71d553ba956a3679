#include "framework/Files.h"

#include <climits>

#include "platform/FileApi.h"

namespace {

// A name with a NUL in it would silently mean a shorter path to the system calls.
bool usablePath(const AnsiString& Path) { return Path.find('\0') == AnsiString::npos; }

DWORD attributesOf(const AnsiString& Path)
{
    return usablePath(Path) ? GetFileAttributesA(Path.c_str()) : INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool FolderExists(const AnsiString& Path)
{
    const DWORD attributes = attributesOf(Path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const AnsiString& Path)
{
    const DWORD attributes = attributesOf(Path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

AnsiString ExtractFilePath(const AnsiString& FileName)
{
    const size_t slash = FileName.rfind('/');
    return slash == AnsiString::npos ? AnsiString() : FileName.substr(0, slash + 1);
}

AnsiString ExtractFileName(const AnsiString& FileName)
{
    const size_t slash = FileName.rfind('/');
    return slash == AnsiString::npos ? FileName : FileName.substr(slash + 1);
}

bool CreateFolderTree(const AnsiString& Path)
{
    if (Path.empty())
        throw Exception("Unable to create directory");
    AnsiString dir = Path;
    if (dir.back() == '/')
        dir.pop_back();
    if (dir.empty() || FolderExists(dir))
        return true;
    // No system call takes a longer path or a NUL; refusing here also bounds the recursion.
    if (dir.size() > PATH_MAX || !usablePath(dir))
        return false;
    const AnsiString parent = ExtractFilePath(dir);
    if (parent == dir)
        return true;
    // A bare name lives in the current folder, which exists.
    if (!parent.empty() && !CreateFolderTree(parent))
        return false;
    // Another process may have made it meanwhile; that counts as success.
    return CreateDirectoryA(dir.c_str(), nullptr) || FolderExists(dir);
}
