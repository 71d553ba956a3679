// The CLIPBOARD selection: the program owns it with a picture and hands it out on request.
#include "platform/display/x11/X11Backend.h"

#include <X11/Xatom.h>

#include "platform/display/x11/ClipboardImage.h"

bool X11Backend::putClipboard(const std::string& mimeType, std::vector<uint8_t> bytes)
{
    clipboard_.clear();
    if (mimeType == "image/bmp") {
        // Offer the picture as PNG too: most programs paste only that.
        RgbImage image;
        if (decodeBmp(bytes, image))
            clipboard_[atoms_.imagePng] = encodePng(image);
        clipboard_[atoms_.imageBmp] = std::move(bytes);
    } else {
        ++roundTrips_;
        clipboard_[XInternAtom(dpy_, mimeType.c_str(), False)] = std::move(bytes);
    }
    XSetSelectionOwner(dpy_, atoms_.clipboard, selectionWindow_, lastTime_);
    ++roundTrips_;
    bool owner = XGetSelectionOwner(dpy_, atoms_.clipboard) == selectionWindow_;
    if (!owner)
        clipboard_.clear();
    return owner;
}

void X11Backend::answerSelection(const XSelectionRequestEvent& r)
{
    XEvent reply{};
    XSelectionEvent& n = reply.xselection;
    n.type = SelectionNotify;
    n.requestor = r.requestor;
    n.selection = r.selection;
    n.target = r.target;
    n.time = r.time;
    n.property = None;
    // Old clients name no property: the target's name is the one to use.
    Atom property = r.property ? r.property : r.target;
    if (r.selection == atoms_.clipboard && !clipboard_.empty()) {
        if (r.target == atoms_.targets) {
            std::vector<Atom> targets{atoms_.targets};
            for (auto& [type, bytes] : clipboard_)
                targets.push_back(type);
            XChangeProperty(dpy_, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(targets.data()), int(targets.size()));
            n.property = property;
        } else if (auto it = clipboard_.find(r.target); it != clipboard_.end()) {
            // Without INCR transfers a picture must fit in one request.
            long limit = XExtendedMaxRequestSize(dpy_);
            if (!limit)
                limit = XMaxRequestSize(dpy_);
            if (long(it->second.size()) < limit * 4 - 64) {
                XChangeProperty(dpy_, r.requestor, property, r.target, 8, PropModeReplace,
                                it->second.data(), int(it->second.size()));
                n.property = property;
            }
        }
    }
    XSendEvent(dpy_, r.requestor, False, NoEventMask, &reply);
    XFlush(dpy_);
}
