#pragma once
// The product web page: a help page shipped with the program. Its place relative to the
// program is set once, in app/CMakeLists.txt, for the build tree and the installed tree alike.
#include "framework/System.h"

// The absolute path of the help page beside the running program.
AnsiString HelpPageAddress();

// Opens it with the desktop's browser, as the program logo and the about window do.
void OpenHelpPage();
