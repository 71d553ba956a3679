#include "platform/display/DisplayBackend.h"

#include <mutex>
#include <stdexcept>

namespace {

std::mutex backendMutex;
std::shared_ptr<DisplayBackend> backend;

}  // namespace

// Shared with the window layer's wake-up path, which may run on any thread.
std::shared_ptr<DisplayBackend> sharedDisplayBackend()
{
    std::lock_guard lock(backendMutex);
    return backend;
}

DisplayBackend& displayBackend()
{
    std::shared_ptr<DisplayBackend> current = sharedDisplayBackend();
    // A window made before start-up chose a display is a fault of the caller: say so, rather
    // than open one behind its back.
    if (!current)
        throw std::logic_error("No display is installed: installDisplayBackend comes before any window");
    return *current;
}

std::shared_ptr<DisplayBackend> installDisplayBackend(std::shared_ptr<DisplayBackend> next)
{
    std::lock_guard lock(backendMutex);
    std::shared_ptr<DisplayBackend> previous = std::move(backend);
    backend = std::move(next);
    return previous;
}
