// Connection, top-level windows, shape, capture and the pointer.
#include "platform/display/x11/X11Backend.h"

#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A request on a window that is already gone (BadWindow and the like) is not worth dying
// for, but it is worth a line: the error and the request that caused it.
int logError(Display* dpy, XErrorEvent* event)
{
    char error[128] = "";
    XGetErrorText(dpy, event->error_code, error, sizeof error);
    char request[128] = "";
    const std::string key = std::to_string(int(event->request_code));
    XGetErrorDatabaseText(dpy, "XRequest", key.c_str(), "", request, sizeof request);
    std::fprintf(stderr, "Lumo free: X error %s in request %s (major %d, minor %d), resource 0x%lx\n", error,
                 *request ? request : "of an extension", int(event->request_code), int(event->minor_code),
                 event->resourceid);
    return 0;
}

[[noreturn]] int connectionLost(Display*)
{
    std::fprintf(stderr, "Lumo free: the connection to the X server was lost.\n");
    std::_Exit(1);
}

Atom atom(Display* dpy, const char* name)
{
    return XInternAtom(dpy, name, False);
}

// _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status. Decorations 0: none.
struct MotifHints
{
    unsigned long flags = 2;
    unsigned long functions = 0;
    unsigned long decorations = 0;
    long inputMode = 0;
    unsigned long status = 0;
};

}  // namespace

std::shared_ptr<DisplayBackend> openX11Display(const std::string& name, std::string& error,
                                              X11Options options)
{
    Display* dpy = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (!dpy) {
        const char* shown = name.empty() ? std::getenv("DISPLAY") : name.c_str();
        error = std::string("Lumo free cannot open the X display \"") + (shown ? shown : "") +
                "\": is the X server running and may this user connect to it?";
        return nullptr;
    }
    installX11ErrorHandlers();
    return std::make_shared<X11Backend>(dpy, options);
}

void installX11ErrorHandlers()
{
    XSetErrorHandler(logError);
    XSetIOErrorHandler(connectionLost);
}

bool x11UsesSharedMemory(const DisplayBackend& backend)
{
    auto* x = dynamic_cast<const X11Backend*>(&backend);
    return x && x->usesSharedMemory();
}

uint64_t x11RoundTrips(const DisplayBackend& backend)
{
    auto* x = dynamic_cast<const X11Backend*>(&backend);
    return x ? x->roundTrips() : 0;
}

void X11Backend::sync()
{
    ++roundTrips_;
    XSync(dpy_, False);
}

X11Backend::X11Backend(Display* dpy, X11Options options)
    : dpy_(dpy), screen_(DefaultScreen(dpy)), root_(RootWindow(dpy, DefaultScreen(dpy)))
{
    X11Atoms& a = atoms_;
    a.wmProtocols = atom(dpy, "WM_PROTOCOLS");
    a.wmDeleteWindow = atom(dpy, "WM_DELETE_WINDOW");
    a.wmState = atom(dpy, "WM_STATE");
    a.wmTransientFor = XA_WM_TRANSIENT_FOR;
    a.motifHints = atom(dpy, "_MOTIF_WM_HINTS");
    a.netWmName = atom(dpy, "_NET_WM_NAME");
    a.utf8String = atom(dpy, "UTF8_STRING");
    a.netWmState = atom(dpy, "_NET_WM_STATE");
    a.netWmStateFullscreen = atom(dpy, "_NET_WM_STATE_FULLSCREEN");
    a.netWmStateModal = atom(dpy, "_NET_WM_STATE_MODAL");
    a.netWmWindowType = atom(dpy, "_NET_WM_WINDOW_TYPE");
    a.netWmWindowTypeDialog = atom(dpy, "_NET_WM_WINDOW_TYPE_DIALOG");
    a.netWmWindowTypeNormal = atom(dpy, "_NET_WM_WINDOW_TYPE_NORMAL");
    a.netWmPid = atom(dpy, "_NET_WM_PID");
    a.clipboard = atom(dpy, "CLIPBOARD");
    a.targets = atom(dpy, "TARGETS");
    a.imagePng = atom(dpy, "image/png");
    a.imageBmp = atom(dpy, "image/bmp");
    a.incr = atom(dpy, "INCR");

    int eventBase = 0, errorBase = 0;
    hasShape_ = XShapeQueryExtension(dpy, &eventBase, &errorBase);
    useShm_ = options.sharedMemory && XShmQueryExtension(dpy);
    if (useShm_)
        shmCompletion_ = XShmGetEventBase(dpy) + ShmCompletion;
    if (XRRQueryExtension(dpy, &rrEventBase_, &errorBase))
        XRRSelectInput(dpy, root_, RRScreenChangeNotifyMask);
    else
        rrEventBase_ = -1;
    XSelectInput(dpy, root_, StructureNotifyMask);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    gc_ = XCreateGC(dpy, root_, 0, nullptr);
    XSetWindowAttributes attrs{};
    attrs.event_mask = PropertyChangeMask;
    selectionWindow_ = XCreateWindow(dpy, root_, -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent,
                                     CWEventMask, &attrs);
    cursor_ = XCreateFontCursor(dpy, XC_left_ptr);
    cursors_[32512] = cursor_;
}

X11Backend::~X11Backend()
{
    for (auto& [handle, s] : surfaces_) {
        freeImage(s);
        XDestroyWindow(dpy_, s.window);
    }
    for (auto& [id, c] : cursors_)
        XFreeCursor(dpy_, c);
    XDestroyWindow(dpy_, selectionWindow_);
    XFreeGC(dpy_, gc_);
    XCloseDisplay(dpy_);
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

X11Surface* X11Backend::find(HWND window)
{
    auto it = surfaces_.find(window);
    return it == surfaces_.end() ? nullptr : &it->second;
}

HWND X11Backend::handleOf(Window window) const
{
    auto it = byWindow_.find(window);
    return it == byWindow_.end() ? 0 : it->second;
}

void X11Backend::createSurface(HWND window, const RECT& r)
{
    destroySurface(window);
    X11Surface& s = surfaces_[window];
    s.rect = r;
    XSetWindowAttributes attrs{};
    attrs.background_pixmap = None;   // the first present paints; no flash of a background
    attrs.bit_gravity = NorthWestGravity;
    attrs.cursor = cursor_;
    attrs.event_mask = ExposureMask | StructureNotifyMask | PropertyChangeMask | KeyPressMask |
                       KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                       EnterWindowMask | LeaveWindowMask | FocusChangeMask;
    unsigned width = unsigned(std::max(1L, long(r.right - r.left)));
    unsigned height = unsigned(std::max(1L, long(r.bottom - r.top)));
    s.window = XCreateWindow(dpy_, root_, r.left, r.top, width, height, 0, CopyFromParent,
                             InputOutput, CopyFromParent,
                             CWBackPixmap | CWBitGravity | CWCursor | CWEventMask, &attrs);
    byWindow_[s.window] = window;

    XSetWMProtocols(dpy_, s.window, &atoms_.wmDeleteWindow, 1);
    MotifHints motif;
    XChangeProperty(dpy_, s.window, atoms_.motifHints, atoms_.motifHints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&motif), 5);
    // The window layer chose the position: the window manager must not place it elsewhere.
    XSizeHints size{};
    size.flags = USPosition | PPosition | USSize | PSize;
    size.x = r.left, size.y = r.top, size.width = int(width), size.height = int(height);
    XSetWMNormalHints(dpy_, s.window, &size);
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(dpy_, s.window, &hints);
    XClassHint cls{const_cast<char*>("lumofree"), const_cast<char*>("Lumo free")};
    XSetClassHint(dpy_, s.window, &cls);
    long pid = getpid();
    XChangeProperty(dpy_, s.window, atoms_.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    XChangeProperty(dpy_, s.window, atoms_.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&atoms_.netWmWindowTypeNormal), 1);
}

void X11Backend::destroySurface(HWND window)
{
    X11Surface* s = find(window);
    if (!s)
        return;
    if (captured_ == window) {
        ungrabPointer();
        captured_ = 0;
    }
    freeImage(*s);
    byWindow_.erase(s->window);
    XDestroyWindow(dpy_, s->window);
    surfaces_.erase(window);
    if (topmost_ == window)
        topmost_ = 0;
    XFlush(dpy_);
}

void X11Backend::placeSurface(HWND window, const RECT& r)
{
    X11Surface* s = find(window);
    if (!s)
        return;
    bool moved = r.left != s->rect.left || r.top != s->rect.top;
    bool sized = r.right - r.left != s->rect.right - s->rect.left ||
                 r.bottom - r.top != s->rect.bottom - s->rect.top;
    s->rect = r;
    if (moved) {
        s->pendingMoves.push_back(POINT{r.left, r.top});
        if (s->pendingMoves.size() > 64)
            s->pendingMoves.pop_front();
    }
    if (moved || sized)
        XMoveResizeWindow(dpy_, s->window, r.left, r.top,
                          unsigned(std::max(1L, long(r.right - r.left))),
                          unsigned(std::max(1L, long(r.bottom - r.top))));
}

void X11Backend::map(X11Surface& s)
{
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = s.minimized ? IconicState : NormalState;
    XSetWMHints(dpy_, s.window, &hints);
    writeStates(s);
    XMapRaised(dpy_, s.window);
    // A window manager may forget the position of a withdrawn window: state it again.
    XMoveWindow(dpy_, s.window, s.rect.left, s.rect.top);
}

void X11Backend::showSurface(HWND window, bool visible)
{
    X11Surface* s = find(window);
    if (!s || s->shown == visible)
        return;
    s->shown = visible;
    if (visible)
        map(*s);
    else
        XWithdrawWindow(dpy_, s->window, screen_);
    XFlush(dpy_);
}

void X11Backend::setShape(HWND window, const pixman_region32_t* shape)
{
    X11Surface* s = find(window);
    if (!s || !hasShape_)
        return;
    if (!shape) {
        XShapeCombineMask(dpy_, s->window, ShapeBounding, 0, 0, None, ShapeSet);
        XShapeCombineMask(dpy_, s->window, ShapeInput, 0, 0, None, ShapeSet);
        return;
    }
    // pixman keeps its rectangles in y-x bands, the order ShapeCombineRectangles calls YXBanded.
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(shape), &n);
    std::vector<XRectangle> rects;
    rects.reserve(size_t(n));
    auto clampShort = [](int v) { return short(std::clamp(v, SHRT_MIN, SHRT_MAX)); };
    for (int i = 0; i < n; ++i)
        rects.push_back(XRectangle{clampShort(boxes[i].x1), clampShort(boxes[i].y1),
                                   static_cast<unsigned short>(std::min(boxes[i].x2 - boxes[i].x1, USHRT_MAX)),
                                   static_cast<unsigned short>(std::min(boxes[i].y2 - boxes[i].y1, USHRT_MAX))});
    XShapeCombineRectangles(dpy_, s->window, ShapeBounding, 0, 0, rects.data(), n, ShapeSet, YXBanded);
    XShapeCombineRectangles(dpy_, s->window, ShapeInput, 0, 0, rects.data(), n, ShapeSet, YXBanded);
}

// Capture needs no grab of the pointer while no button is held: the moves over our windows and
// the leave of the last one are enough for the window layer to see the pointer go (a control
// tracking hover sees its exit). An active grab, which would keep every other program from the
// pointer and could fail, is held only while a button is down, so a drag goes on off the window.
void X11Backend::setCapture(HWND window)
{
    X11Surface* s = find(window);
    if (s && s->shown) {
        captured_ = window;
        if (heldButtons_)
            grabPointer(*s);
        else
            ungrabPointer();
    } else {
        captured_ = 0;
        ungrabPointer();
    }
    XFlush(dpy_);
}

void X11Backend::grabPointer(const X11Surface& s)
{
    unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
    ++roundTrips_;
    grabbed_ = XGrabPointer(dpy_, s.window, False, mask, GrabModeAsync, GrabModeAsync, None, None,
                            CurrentTime) == GrabSuccess;
}

void X11Backend::ungrabPointer()
{
    if (!grabbed_)
        return;
    XUngrabPointer(dpy_, CurrentTime);
    grabbed_ = false;
}

void X11Backend::noteButton(unsigned xButton, bool down)
{
    unsigned bit = 1u << xButton;
    if (down) {
        heldButtons_ |= bit;
        // A press while a window has the capture: hold the pointer until the last release.
        if (X11Surface* s = find(captured_); s && s->shown && !grabbed_)
            grabPointer(*s);
    } else {
        heldButtons_ &= ~bit;
        if (!heldButtons_)
            ungrabPointer();   // the capture itself stays, without a grab
    }
}

bool X11Backend::cursorPosition(POINT& where)
{
    Window rootReturn = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    ++roundTrips_;
    if (!XQueryPointer(dpy_, root_, &rootReturn, &child, &rx, &ry, &wx, &wy, &mask))
        return false;   // the pointer is on another screen
    where = POINT{rx, ry};
    return true;
}

