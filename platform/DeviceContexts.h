#pragma once
// Internal helpers shared by the device-context and blit code of platform/.
#include <functional>

#include "platform/GdiObjects.h"

DcObject* dcOf(HDC handle);
// The pixels a DC draws on: its selected bitmap's, or for a window DC its top-level
// window's surface. Null when there are none (a stale DC, a destroyed window).
PixelSurface* dcSurface(DcObject* dc);
// The single entry point of every drawing function. area is in the DC's coordinates; visit is
// called with rectangles in the surface's coordinates: area shifted by the DC's origin
// (originX, originY: zero for memory DCs), cut to the surface, to the DC's clip region and,
// for window DCs, to the system clip (what of the window is visible).
void forEachClipBox(DcObject* dc, const PixelSurface& surface, RECT area,
                    const std::function<void(const RECT&)>& visit);
// Whether a point in DC coordinates may be drawn; surfaceX/Y receive its surface position.
bool dcPointVisible(DcObject* dc, const PixelSurface& surface, int x, int y, int& surfaceX,
                    int& surfaceY);
// area in the DC's coordinates.
void fillArea(DcObject* dc, PixelSurface& surface, const RECT& area, COLORREF color);
