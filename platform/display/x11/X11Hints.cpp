// Window manager hints: title, _NET_WM_STATE (full screen, modal), iconify, owner and type,
// stacking, cursors, and the screen size from RandR.
#include "platform/display/x11/X11Backend.h"

#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

void X11Backend::writeStates(const X11Surface& s)
{
    std::vector<Atom> list(s.states.begin(), s.states.end());
    XChangeProperty(dpy_, s.window, atoms_.netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(list.data()), int(list.size()));
}

void X11Backend::changeState(HWND, X11Surface& s, Atom state, bool on)
{
    if (on == (s.states.count(state) != 0))
        return;
    if (on)
        s.states.insert(state);
    else
        s.states.erase(state);
    if (!s.shown || s.minimized) {
        writeStates(s);
        return;
    }
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = s.window;
    e.xclient.message_type = atoms_.netWmState;
    e.xclient.format = 32;
    e.xclient.data.l[0] = on ? 1 : 0;   // _NET_WM_STATE_ADD / _REMOVE
    e.xclient.data.l[1] = long(state);
    e.xclient.data.l[3] = 1;            // from a normal application
    XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(dpy_);
}

void X11Backend::setTitle(HWND window, const std::string& title)
{
    X11Surface* s = find(window);
    if (!s)
        return;
    auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
    XChangeProperty(dpy_, s->window, atoms_.netWmName, atoms_.utf8String, 8, PropModeReplace, bytes,
                    int(title.size()));
    XChangeProperty(dpy_, s->window, XA_WM_NAME, XA_STRING, 8, PropModeReplace, bytes, int(title.size()));
    XFlush(dpy_);
}

void X11Backend::setFullScreen(HWND window, bool fullScreen)
{
    X11Surface* s = find(window);
    if (!s)
        return;
    changeState(window, *s, atoms_.netWmStateFullscreen, fullScreen);
    // The window manager gives back the geometry from before full screen, which may be the
    // full screen itself: the window layer's rectangle is the one wanted.
    if (!fullScreen && s->shown) {
        const RECT& r = s->rect;
        s->pendingMoves.push_back(POINT{r.left, r.top});
        XMoveResizeWindow(dpy_, s->window, r.left, r.top, unsigned(std::max(1L, long(r.right - r.left))),
                          unsigned(std::max(1L, long(r.bottom - r.top))));
        XFlush(dpy_);
    }
}

void X11Backend::setMinimized(HWND window, bool minimized)
{
    X11Surface* s = find(window);
    if (!s || s->minimized == minimized)
        return;
    s->minimized = minimized;
    if (!s->shown)
        return;   // map() asks for the iconic state when the window is shown
    if (minimized)
        XIconifyWindow(dpy_, s->window, screen_);
    else
        map(*s);
    XFlush(dpy_);
}

void X11Backend::restack(const std::vector<HWND>& topFirst)
{
    // Under a window manager the top-level windows are not siblings; raising the topmost
    // one is what can be asked for.
    HWND top = topFirst.empty() ? 0 : topFirst.front();
    if (top == topmost_)
        return;
    topmost_ = top;
    if (X11Surface* s = find(top); s && s->shown)
        XRaiseWindow(dpy_, s->window);
}

void X11Backend::setOwner(HWND window, HWND owner, bool modal)
{
    X11Surface* s = find(window);
    X11Surface* o = find(owner);
    if (!s)
        return;
    if (o)
        XSetTransientForHint(dpy_, s->window, o->window);
    else
        XDeleteProperty(dpy_, s->window, atoms_.wmTransientFor);
    Atom type = o ? atoms_.netWmWindowTypeDialog : atoms_.netWmWindowTypeNormal;
    XChangeProperty(dpy_, s->window, atoms_.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    changeState(window, *s, atoms_.netWmStateModal, o && modal);
}

void X11Backend::setCursor(int cursorId)
{
    auto it = cursors_.find(cursorId);
    if (it == cursors_.end()) {
        unsigned shape = XC_left_ptr;
        switch (cursorId) {
        case 32513: shape = XC_xterm; break;
        case 32514: case 32650: shape = XC_watch; break;
        case 32515: shape = XC_crosshair; break;
        case 32516: shape = XC_center_ptr; break;
        case 32642: shape = XC_bottom_right_corner; break;
        case 32643: shape = XC_bottom_left_corner; break;
        case 32644: shape = XC_sb_h_double_arrow; break;
        case 32645: shape = XC_sb_v_double_arrow; break;
        case 32646: shape = XC_fleur; break;
        case 32648: shape = XC_X_cursor; break;
        case 32649: shape = XC_hand2; break;
        case 32651: shape = XC_question_arrow; break;
        }
        it = cursors_.emplace(cursorId, XCreateFontCursor(dpy_, shape)).first;
    }
    cursor_ = it->second;
    for (auto& [handle, s] : surfaces_)
        XDefineCursor(dpy_, s.window, cursor_);
    XFlush(dpy_);
}

SIZE X11Backend::screenSize()
{
    if (screenSize_.cx > 0)
        return screenSize_;
    screenSize_ = SIZE{DisplayWidth(dpy_, screen_), DisplayHeight(dpy_, screen_)};
    if (rrEventBase_ < 0)
        return screenSize_;
    // The primary monitor, where RandR names one with a picture on it: up to four round trips,
    // once until the screen changes.
    roundTrips_ += 4;
    if (XRRScreenResources* res = XRRGetScreenResourcesCurrent(dpy_, root_)) {
        RROutput primary = XRRGetOutputPrimary(dpy_, root_);
        if (XRROutputInfo* out = primary ? XRRGetOutputInfo(dpy_, res, primary) : nullptr) {
            if (out->crtc)
                if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(dpy_, res, out->crtc)) {
                    if (crtc->width > 0 && crtc->height > 0)
                        screenSize_ = SIZE{LONG(crtc->width), LONG(crtc->height)};
                    XRRFreeCrtcInfo(crtc);
                }
            XRRFreeOutputInfo(out);
        }
        XRRFreeScreenResources(res);
    }
    return screenSize_;
}
