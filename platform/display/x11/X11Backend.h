#pragma once
// The X11 backend's class. Internal to platform/display/x11/: it includes Xlib.
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/display/x11/X11Display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

struct X11Atoms
{
    Atom wmProtocols, wmDeleteWindow, wmState, wmTransientFor, motifHints;
    Atom netWmName, utf8String, netWmState, netWmStateFullscreen, netWmStateModal;
    Atom netWmWindowType, netWmWindowTypeDialog, netWmWindowTypeNormal, netWmPid;
    Atom clipboard, targets, imagePng, imageBmp, incr;
};

// One top-level window and the image it is presented from.
struct X11Surface
{
    Window window = 0;
    RECT rect{};                    // where the window layer put it, screen coordinates
    std::deque<POINT> pendingMoves; // placements not yet confirmed by a ConfigureNotify
    bool shown = false;
    bool minimized = false;
    std::set<Atom> states;          // _NET_WM_STATE as this program wants it
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shmAttached = false;
    // The server may still be reading the shared image: its completion event has not come.
    bool shmBusy = false;
};

class X11Backend : public DisplayBackend
{
public:
    X11Backend(Display* display, X11Options options);
    ~X11Backend() override;
    bool usesSharedMemory() const { return useShm_; }
    // Requests since start-up whose answer the program waited for.
    uint64_t roundTrips() const { return roundTrips_; }

    void createSurface(HWND window, const RECT& screenRect) override;
    void destroySurface(HWND window) override;
    void placeSurface(HWND window, const RECT& screenRect) override;
    void showSurface(HWND window, bool visible) override;
    void setShape(HWND window, const pixman_region32_t* shape) override;
    void present(HWND window, const PixelSurface& pixels, const pixman_region32_t& damage) override;
    void setTitle(HWND window, const std::string& title) override;
    void setFullScreen(HWND window, bool fullScreen) override;
    void setMinimized(HWND window, bool minimized) override;
    void restack(const std::vector<HWND>& topFirst) override;
    void setOwner(HWND window, HWND owner, bool modal) override;
    void setCapture(HWND window) override;
    bool cursorPosition(POINT& where) override;
    void setCursor(int cursorId) override;
    SIZE screenSize() override;
    bool putClipboard(const std::string& mimeType, std::vector<uint8_t> bytes) override;
    bool nextInput(InputEvent& event) override;
    void waitForInput(int timeoutMs) override;
    void wake() override;

private:
    X11Surface* find(HWND window);
    HWND handleOf(Window window) const;
    // _NET_WM_STATE: a property before mapping, a client message to the root after.
    void changeState(HWND window, X11Surface& s, Atom state, bool on);
    void writeStates(const X11Surface& s);
    void map(X11Surface& s);
    // Pointer grabs: only while a button is held (setCapture).
    void grabPointer(const X11Surface& s);
    void ungrabPointer();
    void noteButton(unsigned xButton, bool down);
    void forgetReleasedButtons(unsigned state);
    // Presentation (X11Present.cpp).
    bool ensureImage(X11Surface& s, int width, int height);
    void freeImage(X11Surface& s);
    // Returns once the server no longer reads the surface's shared image.
    void awaitImage(X11Surface& s);
    void imageDone(Drawable drawable);
    // Input (X11Events.cpp).
    void pump();
    void translate(XEvent& event);
    void translateConfigure(const XConfigureEvent& event);
    void translateProperty(const XPropertyEvent& event);
    void releaseLostKeys();
    // Clipboard (X11Clipboard.cpp).
    void answerSelection(const XSelectionRequestEvent& request);
    // XSync, counted with the other round trips.
    void sync();

    Display* dpy_;
    int screen_;
    Window root_;
    X11Atoms atoms_{};
    bool hasShape_ = false;
    bool useShm_ = false;
    int rrEventBase_ = -1;
    int shmCompletion_ = -1;   // the event type of a finished XShmPutImage
    SIZE screenSize_{0, 0};
    int wakeFd_ = -1;
    // Every call that waits for the server's answer counts itself here, so that tests can
    // hold the input path to none.
    uint64_t roundTrips_ = 0;
    Time lastTime_ = CurrentTime;
    std::map<HWND, X11Surface> surfaces_;
    std::map<Window, HWND> byWindow_;
    std::deque<InputEvent> input_;
    std::map<unsigned, int> heldKeys_;   // keycode to virtual key, pressed in one of our windows
    std::map<int, Cursor> cursors_;
    Cursor cursor_ = 0;
    HWND captured_ = 0;
    bool grabbed_ = false;        // an active pointer grab of ours is in force
    unsigned heldButtons_ = 0;    // bit n: X button n (1 to 3) is down
    HWND topmost_ = 0;
    GC gc_ = nullptr;
    // The CLIPBOARD selection, held by a window that is never mapped.
    Window selectionWindow_ = 0;
    std::map<Atom, std::vector<uint8_t>> clipboard_;
};
