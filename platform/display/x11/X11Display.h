#pragma once
// The X11 display backend, seen from outside platform/display/x11/: no Xlib header here.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/display/DisplayBackend.h"

struct X11Options
{
    // Off: every frame goes through XPutImage (the benchmark's comparison, remote servers).
    bool sharedMemory = true;
};

// Connects to the X server `name` (empty: $DISPLAY). Null, with a message in `error`, when the
// server cannot be opened or lacks what the program needs.
std::shared_ptr<DisplayBackend> openX11Display(const std::string& name, std::string& error,
                                              X11Options options = {});
// Whether the connection presents through MIT-SHM (for the benchmark's report).
bool x11UsesSharedMemory(const DisplayBackend& backend);
// How many times the backend waited for the X server's answer (0 for another backend).
uint64_t x11RoundTrips(const DisplayBackend& backend);
// Installs the error handlers every connection uses: protocol errors are logged to standard
// error with the failing request; a lost connection ends the program with a message.
void installX11ErrorHandlers();
