#include "app/CommandLine.h"

#include <ostream>
#include <string_view>

#ifndef LUMO_VERSION
#error "LUMO_VERSION (the project version) comes from app/CMakeLists.txt"
#endif

namespace {

enum class TOption { Help, Version };

struct TOptionName
{
    TOption Option;
    std::string_view Short, Long, Text;
};

// One list for parsing, the help text and the complaint about an unknown option.
constexpr TOptionName Options[] = {
    {TOption::Help, "-h", "--help", "show this help and exit"},
    {TOption::Version, "-V", "--version", "show the version and exit"},
};

void WriteHelp(std::ostream& Out)
{
    Out << "Usage: lumofree [OPTION]\n"
           "Lumo free: shows your webcam in a small window and records it into dated AVI files,\n"
           "one folder a day under your documents folder, a new file every 30 minutes.\n"
           "Without an option it opens its window on the X display named by DISPLAY.\n\n";
    for (const TOptionName& o : Options)
        Out << "  " << o.Short << ", " << o.Long << std::string(12 - o.Long.size(), ' ') << o.Text
            << '\n';
}

void WriteVersion(std::ostream& Out)
{
    Out << "lumofree (Lumo free) " LUMO_VERSION "\n"
           "Copyright (C) the Lumo free developers\n"
           "License GPL-2.0-or-later: GNU GPL version 2 or later.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

}   // namespace

std::optional<int> HandleCommandLine(int argc, const char* const argv[], std::ostream& Out,
                                     std::ostream& Err)
{
    // In order, as getopt does: the first option decides.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        for (const TOptionName& o : Options) {
            if (argument != o.Short && argument != o.Long)
                continue;
            if (o.Option == TOption::Help)
                WriteHelp(Out);
            else
                WriteVersion(Out);
            if (Out.flush())
                return 0;
            Err << "lumofree: the answer could not be written\n";
            return 1;
        }
        Err << "lumofree: " << (argument.starts_with('-') ? "unknown option" : "unexpected argument")
            << " '" << argument << "'\nKnown options:";
        for (const TOptionName& o : Options)
            Err << ' ' << o.Short << ' ' << o.Long;
        Err << "\nTry 'lumofree --help' for more information.\n";
        return 2;
    }
    return std::nullopt;
}
