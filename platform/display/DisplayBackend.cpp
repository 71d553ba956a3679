#include "platform/display/DisplayBackend.h"

#include <mutex>

#include "platform/display/headless/HeadlessDisplay.h"

namespace {

std::mutex backendMutex;
std::shared_ptr<DisplayBackend> backend;

}  // namespace

// Shared with the window layer's wake-up path, which may run on any thread.
std::shared_ptr<DisplayBackend> sharedDisplayBackend()
{
    std::lock_guard lock(backendMutex);
    if (!backend)
        backend = std::make_shared<HeadlessDisplay>();
    return backend;
}

DisplayBackend& displayBackend()
{
    return *sharedDisplayBackend();
}

std::shared_ptr<DisplayBackend> installDisplayBackend(std::shared_ptr<DisplayBackend> next)
{
    std::lock_guard lock(backendMutex);
    std::shared_ptr<DisplayBackend> previous = std::move(backend);
    backend = std::move(next);
    return previous;
}
