#include "skins/CellCopy.h"

#include <cstring>

void CopyCell(TBitmap* Dest, TBitmap* Source, const TRect& From)
{
    const TRect to(0, 0, Dest->GetWidth(), Dest->GetHeight());
    if (to.Width() <= 0 || to.Height() <= 0 || !Source || Source->GetEmpty())
        return;
    const bool inside = From.Left >= 0 && From.Top >= 0 && From.Right <= Source->GetWidth() &&
                        From.Bottom <= Source->GetHeight();
    if (Dest->GetPixelFormat() == pf24bit && Source->GetPixelFormat() == pf24bit && inside &&
        From.Width() == to.Width() && From.Height() == to.Height()) {
        // Rows are equally spaced (upwards in a bottom-up bitmap): two lookups give them all.
        const size_t bytes = size_t(to.Width()) * 3;
        auto* d = static_cast<uint8_t*>(Dest->ScanLine(0));
        auto* s = static_cast<uint8_t*>(Source->ScanLine(From.Top)) + 3 * From.Left;
        const ptrdiff_t dStride = to.Height() > 1 ? static_cast<uint8_t*>(Dest->ScanLine(1)) - d : 0;
        const ptrdiff_t sStride =
            to.Height() > 1 ? static_cast<uint8_t*>(Source->ScanLine(From.Top + 1)) + 3 * From.Left - s : 0;
        for (int y = 0; y < to.Height(); ++y, d += dStride, s += sStride)
            std::memcpy(d, s, bytes);
        // Those who watch the bitmap hear of the change as from the canvas.
        if (Dest->OnChange)
            Dest->OnChange(Dest);
        return;
    }
    Dest->Canvas()->CopyRect(to, Source->Canvas(), From);
}
