#include "platform/FileApi.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

DWORD GetFileAttributesA(LPCSTR lpFileName)
{
    struct stat st;
    if (!lpFileName || ::stat(lpFileName, &st) != 0)
        return INVALID_FILE_ATTRIBUTES;
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    // Effective ids, so the answer matches what an open for writing would meet.
    if (::faccessat(AT_FDCWD, lpFileName, W_OK, AT_EACCESS) != 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL CreateDirectoryA(LPCSTR lpPathName, void*)
{
    return lpPathName && ::mkdir(lpPathName, 0777) == 0 ? TRUE : FALSE;
}

BOOL DeleteFileA(LPCSTR lpFileName)
{
    struct stat st;
    if (!lpFileName || ::lstat(lpFileName, &st) != 0 || S_ISDIR(st.st_mode))
        return FALSE;
    return ::unlink(lpFileName) == 0 ? TRUE : FALSE;
}

BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    if (!lpExistingFileName || !lpNewFileName)
        return FALSE;
    if (dwFlags & MOVEFILE_REPLACE_EXISTING)
        return ::rename(lpExistingFileName, lpNewFileName) == 0 ? TRUE : FALSE;
    if (::renameat2(AT_FDCWD, lpExistingFileName, AT_FDCWD, lpNewFileName, RENAME_NOREPLACE) == 0)
        return TRUE;
    if (errno != EINVAL && errno != ENOSYS)
        return FALSE;
    // Filesystems without the no-replace rename: check first, accepting the small race.
    struct stat st;
    if (::lstat(lpNewFileName, &st) == 0 || errno != ENOENT)
        return FALSE;
    return ::rename(lpExistingFileName, lpNewFileName) == 0 ? TRUE : FALSE;
}

DWORD GetCurrentProcessId()
{
    return DWORD(::getpid());
}
