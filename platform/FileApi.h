#pragma once
// Files and folders through the Windows file calls the system uses.
#include "platform/WinTypes.h"

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;

// INVALID_FILE_ATTRIBUTES when the path cannot be looked at; read-only means "not writable by us".
DWORD GetFileAttributesA(LPCSTR lpFileName);
// The new folder gets 0777 less the umask; the security attributes are ignored.
BOOL CreateDirectoryA(LPCSTR lpPathName, void* lpSecurityAttributes);
// Files only: a folder is refused.
BOOL DeleteFileA(LPCSTR lpFileName);
// Without MOVEFILE_REPLACE_EXISTING an existing target is left alone and the call fails.
BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);

// The id of this process, e.g. to name temporary files no other process will pick.
DWORD GetCurrentProcessId();
