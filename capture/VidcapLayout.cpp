// Where the capture window goes inside the component.
#include "capture/Vidcap.h"

TRect CaptureWindowPlacement(int W, int H, int w, int h, bool Scaling, bool KeepAspectRatio)
{
    if (!Scaling)
        return TRect(0, 0, w, h);   // natural size, top-left corner
    if (!KeepAspectRatio || w <= 0 || h <= 0)
        return TRect(0, 0, W, H);   // stretched over the whole component
    // As large as fits, centred. The products are formed in extended precision from the
    // double factor and truncated, so 320 x 0.4125 (held just below) gives 131, not 132.
    const double sx = double(W) / double(w);
    const double sy = double(H) / double(h);
    double s = sx;
    if (sy < sx)
        s = sy;
    const int cx = int(static_cast<long double>(w) * static_cast<long double>(s));
    const int cy = int(static_cast<long double>(h) * static_cast<long double>(s));
    const int x = (W - cx) / 2;
    const int y = (H - cy) / 2;
    return TRect(x, y, x + cx, y + cy);
}
