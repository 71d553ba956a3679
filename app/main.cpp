#include <cstdio>
#include <string>

#include "platform/display/DisplayBackend.h"

// The windows and the capture side are not built yet; the program checks that it has a
// desktop to run on, then says plainly that it cannot start yet.
int main()
{
    std::string error;
    if (!installDisplayFromEnvironment(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr,
                 "Lumo free: the program window is not there yet. The libraries built; "
                 "run scripts/test.sh to run the tests.\n");
    return 1;
}
