// Input: X events to the window layer's input events, and the wait on the connection and the
// wake-up descriptor.
#include "platform/display/x11/X11Backend.h"

#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/display/x11/KeyMap.h"

namespace {

InputEvent event(InputEvent::Kind kind, int x, int y, HWND window = 0)
{
    InputEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.window = window;
    return e;
}

// X button numbers: 1 left, 2 middle, 3 right, 4 and 5 the wheel.
int buttonOf(unsigned xButton)
{
    return xButton == 3 ? 1 : xButton == 2 ? 2 : 0;
}

}  // namespace

void X11Backend::pump()
{
    while (XPending(dpy_)) {
        XEvent e;
        XNextEvent(dpy_, &e);
        translate(e);
    }
}

void X11Backend::translate(XEvent& e)
{
    HWND window = handleOf(e.xany.window);
    switch (e.type) {
    case MotionNotify:
        lastTime_ = e.xmotion.time;
        // Only the latest position of a burst matters.
        for (XEvent next; XEventsQueued(dpy_, QueuedAlready);) {
            XPeekEvent(dpy_, &next);
            if (next.type != MotionNotify || next.xany.window != e.xany.window)
                break;
            XNextEvent(dpy_, &e);
        }
        input_.push_back(event(InputEvent::MouseMove, e.xmotion.x_root, e.xmotion.y_root));
        forgetReleasedButtons(e.xmotion.state);
        break;
    case EnterNotify:
    case LeaveNotify:
        // Leaving is a move too: a window with the capture sees the pointer go, with no grab.
        input_.push_back(event(InputEvent::MouseMove, e.xcrossing.x_root, e.xcrossing.y_root));
        forgetReleasedButtons(e.xcrossing.state);
        break;
    case ButtonPress:
    case ButtonRelease: {
        lastTime_ = e.xbutton.time;
        const XButtonEvent& b = e.xbutton;
        if (b.button == 4 || b.button == 5) {
            if (e.type == ButtonPress) {
                InputEvent wheel = event(InputEvent::MouseWheel, b.x_root, b.y_root);
                wheel.key = b.button == 4 ? 120 : -120;
                input_.push_back(wheel);
            }
            break;
        }
        if (b.button > 3)
            break;
        noteButton(b.button, e.type == ButtonPress);
        InputEvent press = event(e.type == ButtonPress ? InputEvent::MouseDown : InputEvent::MouseUp,
                                 b.x_root, b.y_root);
        press.button = buttonOf(b.button);
        input_.push_back(press);
        break;
    }
    case KeyPress:
    case KeyRelease: {
        lastTime_ = e.xkey.time;
        // Auto-repeat arrives as release and press at one time: keep only the press.
        if (e.type == KeyRelease && XEventsQueued(dpy_, QueuedAfterReading)) {
            XEvent next;
            XPeekEvent(dpy_, &next);
            if (next.type == KeyPress && next.xkey.time == e.xkey.time &&
                next.xkey.keycode == e.xkey.keycode)
                break;
        }
        int key = virtualKeyFromKeysym(XLookupKeysym(&e.xkey, 0));
        if (!key)
            break;
        InputEvent k = event(e.type == KeyPress ? InputEvent::KeyDown : InputEvent::KeyUp, 0, 0);
        k.key = key;
        input_.push_back(k);
        if (e.type == KeyPress)
            heldKeys_[e.xkey.keycode] = key;
        else
            heldKeys_.erase(e.xkey.keycode);
        break;
    }
    case FocusIn:
        releaseLostKeys();
        break;
    case Expose:
        if (window) {
            InputEvent x = event(InputEvent::Exposed, e.xexpose.x, e.xexpose.y, window);
            x.width = e.xexpose.width;
            x.height = e.xexpose.height;
            input_.push_back(x);
        }
        break;
    case ClientMessage:
        if (window && e.xclient.message_type == atoms_.wmProtocols &&
            Atom(e.xclient.data.l[0]) == atoms_.wmDeleteWindow)
            input_.push_back(event(InputEvent::CloseRequest, 0, 0, window));
        break;
    case ConfigureNotify:
        if (e.xconfigure.window == root_)
            screenSize_ = SIZE{0, 0};   // asked again on next use
        else
            translateConfigure(e.xconfigure);
        break;
    case PropertyNotify:
        translateProperty(e.xproperty);
        break;
    case MappingNotify:
        XRefreshKeyboardMapping(&e.xmapping);
        break;
    case SelectionRequest:
        answerSelection(e.xselectionrequest);
        break;
    case SelectionClear:
        if (e.xselectionclear.selection == atoms_.clipboard)
            clipboard_.clear();
        break;
    default:
        if (shmCompletion_ >= 0 && e.type == shmCompletion_)
            imageDone(reinterpret_cast<const XShmCompletionEvent&>(e).drawable);
        if (rrEventBase_ >= 0 && e.type == rrEventBase_ + RRScreenChangeNotify) {
            XRRUpdateConfiguration(&e);
            screenSize_ = SIZE{0, 0};
        }
        break;
    }
}

// The window manager moved the window (its own placement, a constraint, full screen), or
// confirms a move of ours. Only the first kind is news for the window layer.
void X11Backend::translateConfigure(const XConfigureEvent& c)
{
    HWND window = handleOf(c.window);
    X11Surface* s = find(window);
    if (!s || !s->shown)
        return;
    int x = 0, y = 0;
    Window child = 0;
    // A reparenting window manager reports positions in its frame: ask for the root's view.
    ++roundTrips_;
    if (!XTranslateCoordinates(dpy_, c.window, root_, 0, 0, &x, &y, &child))
        return;
    for (auto it = s->pendingMoves.begin(); it != s->pendingMoves.end(); ++it)
        if (it->x == x && it->y == y) {
            s->pendingMoves.erase(s->pendingMoves.begin(), it + 1);
            return;
        }
    if (x == s->rect.left && y == s->rect.top)
        return;
    s->pendingMoves.clear();
    s->rect = RECT{x, y, x + (s->rect.right - s->rect.left), y + (s->rect.bottom - s->rect.top)};
    input_.push_back(event(InputEvent::Moved, x, y, window));
}

// WM_STATE tells when the window manager iconified or restored a window on the user's request.
void X11Backend::translateProperty(const XPropertyEvent& p)
{
    if (p.atom == atoms_.wmState && p.state == PropertyNewValue) {
        HWND window = handleOf(p.window);
        X11Surface* s = find(window);
        if (!s || !s->shown)
            return;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        ++roundTrips_;
        if (XGetWindowProperty(dpy_, p.window, atoms_.wmState, 0, 2, False, atoms_.wmState, &type,
                               &format, &count, &after, &data) != Success || !data)
            return;
        long state = count >= 1 && format == 32 ? reinterpret_cast<long*>(data)[0] : -1;
        XFree(data);
        bool iconic = state == IconicState;
        if ((state == IconicState || state == NormalState) && iconic != s->minimized) {
            s->minimized = iconic;
            input_.push_back(event(iconic ? InputEvent::Minimized : InputEvent::Restored, 0, 0, window));
        }
    }
}

// A release we never saw (another program held the pointer meanwhile) must not leave a grab.
void X11Backend::forgetReleasedButtons(unsigned state)
{
    if (heldButtons_ && !(state & (Button1Mask | Button2Mask | Button3Mask))) {
        heldButtons_ = 0;
        ungrabPointer();
    }
}

// A key released while another program had the focus (the Alt of Alt+F4 that closed a
// window) would stay down for the window layer: release what the keyboard no longer holds.
void X11Backend::releaseLostKeys()
{
    char keys[32] = {};
    ++roundTrips_;
    XQueryKeymap(dpy_, keys);
    for (auto it = heldKeys_.begin(); it != heldKeys_.end();) {
        if (keys[it->first / 8] & (1 << (it->first % 8))) {
            ++it;
            continue;
        }
        InputEvent up = event(InputEvent::KeyUp, 0, 0);
        up.key = it->second;
        input_.push_back(up);
        it = heldKeys_.erase(it);
    }
}

bool X11Backend::nextInput(InputEvent& e)
{
    if (input_.empty())
        pump();
    if (input_.empty())
        return false;
    e = input_.front();
    input_.pop_front();
    return true;
}

void X11Backend::waitForInput(int timeoutMs)
{
    if (!input_.empty() || XPending(dpy_))
        return;
    pollfd fds[2] = {{ConnectionNumber(dpy_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int ready = poll(fds, 2, timeoutMs < 0 ? -1 : timeoutMs);
    if (ready > 0 && (fds[1].revents & POLLIN)) {
        uint64_t count = 0;
        while (read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {}
    }
    // A closed connection: let Xlib's I/O error handler tell the user and end the program.
    if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR)))
        XPending(dpy_);
}

void X11Backend::wake()
{
    uint64_t one = 1;
    while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {}
}
