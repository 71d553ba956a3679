#pragma once
// The shell calls the system uses: the user's documents folder as an item id list, its path,
// and opening a file, folder or web address with the desktop's default application.
//
// The documents folder is the XDG one: XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs
// (default ~/.config), read the way xdg-user-dir reads it; without that file or entry
// $HOME/Documents when it exists, $HOME otherwise. Opening hands the item to xdg-open, started
// detached in a session of its own and never through a shell.
#include "platform/Windows.h"

using HRESULT = LONG;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = HRESULT(0x80004005);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000E);
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr int MAX_PATH = 260;

constexpr int CSIDL_PERSONAL = 0x0005;
constexpr int CSIDL_APPDATA = 0x001a;   // the user's settings: $XDG_CONFIG_HOME

// An item id list: items of cb bytes (cb counting itself), ended by an item with cb 0. Ours
// hold one item, the folder's absolute path with its terminating zero.
#pragma pack(push, 1)
struct SHITEMID
{
    WORD cb;
    BYTE abID[1];
};
struct ITEMIDLIST
{
    SHITEMID mkid;
};
#pragma pack(pop)
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

LPVOID CoTaskMemAlloc(size_t size);
void CoTaskMemFree(LPVOID memory);   // null is allowed
void ILFree(LPITEMIDLIST idList);    // the same as CoTaskMemFree

// Only CSIDL_PERSONAL and CSIDL_APPDATA are known: anything else gives E_INVALIDARG. On success *idList is a new
// list the caller frees with ILFree or CoTaskMemFree; on failure it is null. The owner window
// is not used. E_FAIL when there is no home folder to start from.
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* idList);
// Copies the list's path into path, a buffer of MAX_PATH characters. FALSE, with an empty
// path, for a null or malformed list or a path that does not fit.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST idList, LPSTR path);

// ShellExecuteA answers a value above 32 on success, otherwise one of these.
constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_PNF = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_OOM = 8;
constexpr int ERROR_FILE_NOT_FOUND = 2;
constexpr int ERROR_PATH_NOT_FOUND = 3;
constexpr int ERROR_BAD_FORMAT = 11;
constexpr int SE_ERR_NOASSOC = 31;

// Verbs (case-insensitive): "open" (also a null verb) on a file, a folder or an address with a
// scheme ("https://...", "mailto:..."); "explore" on a folder. A relative file is taken from
// directory when one is given, else from the current folder, and is handed over as an
// absolute path, so no name can be read as an option. The call returns once xdg-open has
// started, not when the item is shown.
// Failures: no file given, or the file or folder is missing: ERROR_FILE_NOT_FOUND; directory
// missing: ERROR_PATH_NOT_FOUND; another verb, "explore" on something not a folder, or no
// xdg-open on PATH: SE_ERR_NOASSOC; xdg-open found but not startable: SE_ERR_ACCESSDENIED,
// ERROR_BAD_FORMAT, SE_ERR_OOM or ERROR_FILE_NOT_FOUND after the system's reason.
// Parameters are for programs, which this shell never starts, so they are not used; the show
// command is the started application's business; the owner window is not used.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT showCommand);
