#include <cstdio>

// The windows and the capture side are not built yet; the program says so plainly
// instead of pretending to start.
int main()
{
    std::fprintf(stderr,
                 "Lumo free: the program window is not there yet. The libraries built; "
                 "run scripts/test.sh to run the tests.\n");
    return 1;
}
