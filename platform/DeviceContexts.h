#pragma once
// Internal helpers shared by the device-context and blit code of platform/.
#include <functional>

#include "platform/GdiObjects.h"

DcObject* dcOf(HDC handle);
PixelSurface* dcSurface(DcObject* dc);
// Calls visit for each part of area that lies on the surface and inside the DC's clip.
void forEachClipBox(DcObject* dc, const PixelSurface& surface, RECT area,
                    const std::function<void(const RECT&)>& visit);
void fillArea(DcObject* dc, PixelSurface& surface, const RECT& area, COLORREF color);
