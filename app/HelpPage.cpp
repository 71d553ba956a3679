#include "app/HelpPage.h"

#include <filesystem>
#include <system_error>

#include "app/AppShell.h"

#ifndef LUMO_HELP_PAGE
#error "LUMO_HELP_PAGE (the help page relative to the program's folder) comes from app/CMakeLists.txt"
#endif

AnsiString HelpPageAddress()
{
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return AnsiString();
    std::filesystem::path page = (program.parent_path() / LUMO_HELP_PAGE).lexically_normal();
    return page.string();
}

void OpenHelpPage()
{
    AppShellExecute(0, "open", HelpPageAddress().c_str(), "", nullptr, SW_RESTORE);
}
