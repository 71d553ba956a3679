// Presentation: the damaged rectangles of a window's pixels, through MIT-SHM when the server
// shares memory with us, else through XPutImage.
#include "platform/display/x11/X11Backend.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int trappedErrors = 0;

int trapError(Display*, XErrorEvent*)
{
    ++trappedErrors;
    return 0;
}

// The visual takes our 32-bit pixels (0x00RRGGBB, the DIB order) as they are.
bool directFormat(const XImage* image)
{
    return image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 &&
           image->green_mask == 0xFF00 && image->blue_mask == 0xFF &&
           image->byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
}

unsigned long pixelFor(const XImage* image, COLORREF c)
{
    auto scale = [](unsigned value, unsigned long mask) {
        if (!mask)
            return 0ul;
        int shift = __builtin_ctzl(mask);
        unsigned long max = mask >> shift;
        return ((value * max + 127) / 255) << shift;
    };
    return scale(GetRValue(c), image->red_mask) | scale(GetGValue(c), image->green_mask) |
           scale(GetBValue(c), image->blue_mask);
}

}  // namespace

void X11Backend::freeImage(X11Surface& s)
{
    if (!s.image)
        return;
    if (s.shmAttached) {
        XShmDetach(dpy_, &s.shm);
        sync();   // every put before the detach has been read
        shmdt(s.shm.shmaddr);
        s.shmAttached = false;
        s.shmBusy = false;
    }
    XDestroyImage(s.image);   // frees the data of a plain image; a shared one's is detached above
    s.image = nullptr;
}

bool X11Backend::ensureImage(X11Surface& s, int width, int height)
{
    if (s.image && s.image->width == width && s.image->height == height)
        return true;
    freeImage(s);
    Visual* visual = DefaultVisual(dpy_, screen_);
    unsigned depth = unsigned(DefaultDepth(dpy_, screen_));
    if (useShm_) {
        s.image = XShmCreateImage(dpy_, visual, depth, ZPixmap, nullptr, &s.shm, unsigned(width),
                                  unsigned(height));
        if (s.image) {
            size_t bytes = size_t(s.image->bytes_per_line) * size_t(height);
            s.shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
            void* address = s.shm.shmid >= 0 ? shmat(s.shm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
            if (address != reinterpret_cast<void*>(-1)) {
                s.shm.shmaddr = s.image->data = static_cast<char*>(address);
                s.shm.readOnly = False;
                // A remote server answers the attach with an error: trap it and fall back.
                sync();
                trappedErrors = 0;
                auto previous = XSetErrorHandler(trapError);
                XShmAttach(dpy_, &s.shm);
                sync();
                XSetErrorHandler(previous);
                s.shmAttached = trappedErrors == 0;
                if (!s.shmAttached)
                    shmdt(address);
            }
            if (s.shm.shmid >= 0)
                shmctl(s.shm.shmid, IPC_RMID, nullptr);   // freed once both sides detach
            if (s.shmAttached)
                return true;
            s.image->data = nullptr;
            XDestroyImage(s.image);
            s.image = nullptr;
        }
        useShm_ = false;
    }
    s.image = XCreateImage(dpy_, visual, depth, ZPixmap, 0, nullptr, unsigned(width), unsigned(height),
                           32, 0);
    if (!s.image)
        return false;
    s.image->data = static_cast<char*>(std::malloc(size_t(s.image->bytes_per_line) * size_t(height)));
    if (!s.image->data) {
        XDestroyImage(s.image);
        s.image = nullptr;
        return false;
    }
    return true;
}

void X11Backend::imageDone(Drawable drawable)
{
    if (X11Surface* s = find(handleOf(drawable)))
        s->shmBusy = false;
}

// A frame later the completion has almost always come, and reading the queue costs no
// round trip. A put the server refused sends none: the sync then settles it all the same.
void X11Backend::awaitImage(X11Surface& s)
{
    if (!s.shmBusy)
        return;
    pump();
    if (s.shmBusy) {
        sync();
        pump();
    }
    s.shmBusy = false;
}

void X11Backend::present(HWND window, const PixelSurface& pixels, const pixman_region32_t& damage)
{
    X11Surface* s = find(window);
    if (!s || pixels.width <= 0 || pixels.height <= 0 || !ensureImage(*s, pixels.width, pixels.height))
        return;
    awaitImage(*s);
    XImage* image = s->image;
    bool direct = pixels.bitCount == 32 && directFormat(image);
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(&damage), &n);
    // The shared image is written whole first, then put: only the last put asks for the
    // completion event, as the server handles the puts in order.
    struct Box
    {
        int x, y;
        unsigned w, h;
    };
    std::vector<Box> puts;
    puts.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        int x1 = std::max(boxes[i].x1, 0), x2 = std::min(boxes[i].x2, pixels.width);
        int y1 = std::max(boxes[i].y1, 0), y2 = std::min(boxes[i].y2, pixels.height);
        if (x1 >= x2 || y1 >= y2)
            continue;
        for (int y = y1; y < y2; ++y) {
            char* dest = image->data + size_t(y) * size_t(image->bytes_per_line);
            if (direct)
                std::memcpy(dest + size_t(x1) * 4, pixels.row(y) + size_t(x1) * 4, size_t(x2 - x1) * 4);
            else
                for (int x = x1; x < x2; ++x)
                    XPutPixel(image, x, y, pixelFor(image, pixels.pixel(x, y)));
        }
        puts.push_back({x1, y1, unsigned(x2 - x1), unsigned(y2 - y1)});
    }
    for (size_t i = 0; i < puts.size(); ++i) {
        const Box& b = puts[i];
        if (s->shmAttached)
            XShmPutImage(dpy_, s->window, gc_, image, b.x, b.y, b.x, b.y, b.w, b.h, i + 1 == puts.size());
        else
            XPutImage(dpy_, s->window, gc_, image, b.x, b.y, b.x, b.y, b.w, b.h);
    }
    // The next present waits for the server's reading only if it comes before the reading ends.
    s->shmBusy = s->shmAttached && !puts.empty();
    XFlush(dpy_);
}
