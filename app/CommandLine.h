#pragma once
// The command line, read before anything else: --help and --version answer without a display,
// so they work in a terminal, a package check or a script with no desktop.
#include <iosfwd>
#include <optional>

// Answers --help and --version on Out and refuses anything else on Err. Returns the exit code
// when the program is to end here, nothing when it is to open its window.
std::optional<int> HandleCommandLine(int argc, const char* const argv[], std::ostream& Out,
                                     std::ostream& Err);
