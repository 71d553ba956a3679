// The program's choice of display: the X server named by DISPLAY, or a clear refusal.
#include <cstdlib>

#include "platform/display/DisplayBackend.h"
#include "platform/display/x11/X11Display.h"

bool installDisplayFromEnvironment(std::string& error)
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        error = "Lumo free needs a graphical desktop: DISPLAY is not set.";
        return false;
    }
    std::shared_ptr<DisplayBackend> x11 = openX11Display(name, error);
    if (!x11)
        return false;
    installDisplayBackend(std::move(x11));
    return true;
}
