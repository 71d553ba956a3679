#pragma once
// The one boundary between the window layer and a window system. Only top-level windows
// reach a backend, each as one surface named by its HWND; child windows are drawn into their
// top-level window's pixels by the window layer. Every call but wake() is made on the
// user-interface thread.
#include <pixman.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/PixelSurface.h"

// Input as the window system reports it, in screen coordinates.
struct InputEvent
{
    // Moved: the window system placed the surface at (x, y). Exposed: the area (x, y, width,
    // height) of the surface must be shown again. Minimized/Restored: done by the window system.
    enum Kind { MouseMove, MouseDown, MouseUp, MouseWheel, KeyDown, KeyUp, CloseRequest,
                Moved, Exposed, Minimized, Restored };
    Kind kind = MouseMove;
    int x = 0;
    int y = 0;
    int button = 0;     // 0 left, 1 right, 2 middle
    int key = 0;        // virtual-key code, or the wheel delta
    HWND window = 0;    // CloseRequest and the surface events: the surface concerned
    int width = 0;      // Exposed: the size of the area
    int height = 0;
};

class DisplayBackend
{
public:
    virtual ~DisplayBackend() = default;

    virtual void createSurface(HWND window, const RECT& screenRect) = 0;
    virtual void destroySurface(HWND window) = 0;
    virtual void placeSurface(HWND window, const RECT& screenRect) = 0;
    virtual void showSurface(HWND window, bool visible) = 0;
    // Shape in window coordinates; null removes the shape.
    virtual void setShape(HWND window, const pixman_region32_t* shape) = 0;
    // Copies the damaged part (surface coordinates) of the window's pixels to the screen.
    virtual void present(HWND window, const PixelSurface& pixels, const pixman_region32_t& damage) = 0;
    virtual void setTitle(HWND window, const std::string& title) = 0;
    virtual void setFullScreen(HWND window, bool fullScreen) = 0;
    virtual void setMinimized(HWND window, bool minimized) = 0;
    // Stacking order of the top-level surfaces, topmost first.
    virtual void restack(const std::vector<HWND>& topFirst) { (void)topFirst; }
    // A window owned by another (a dialog): kept above its owner, modal while the owner is disabled.
    virtual void setOwner(HWND window, HWND owner, bool modal) { (void)window, (void)owner, (void)modal; }
    // Mouse capture: the surface keeps receiving the pointer (0 releases it).
    virtual void setCapture(HWND window) { (void)window; }
    // The real pointer position, where the window system can tell it.
    virtual bool cursorPosition(POINT& where) { (void)where; return false; }

    virtual void setCursor(int cursorId) = 0;
    virtual SIZE screenSize() = 0;
    virtual bool putClipboard(const std::string& mimeType, std::vector<uint8_t> bytes) = 0;

    // The next input event, if any, without waiting.
    virtual bool nextInput(InputEvent& event) = 0;
    // Waits until input is available, wake() is called or the timeout passes (-1: no limit).
    virtual void waitForInput(int timeoutMs) = 0;
    // Ends the current or next waitForInput early. Safe from any thread.
    virtual void wake() = 0;
};

// The backend in force; throws std::logic_error when none is installed.
DisplayBackend& displayBackend();
// The backend in force, shared, for the wake-up path of other threads; null when none is.
std::shared_ptr<DisplayBackend> sharedDisplayBackend();
// Installs a backend (null: none); returns the previous.
std::shared_ptr<DisplayBackend> installDisplayBackend(std::shared_ptr<DisplayBackend> backend);
// The program's choice: x11 when DISPLAY is set. False, with a message for the user, when no
// display can be used.
bool installDisplayFromEnvironment(std::string& error);
