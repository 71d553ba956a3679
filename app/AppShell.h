#pragma once
// The shell call the windows open files, folders and the help page with. A variable so the
// tests can see what the windows ask of the shell without starting a desktop program.
#include <functional>

#include "platform/Shell.h"

using TShellExecute = std::function<HINSTANCE(HWND Owner, LPCSTR Verb, LPCSTR File, LPCSTR Parameters,
                                              LPCSTR Directory, INT ShowCommand)>;

// ShellExecuteA unless replaced.
extern TShellExecute AppShellExecute;
