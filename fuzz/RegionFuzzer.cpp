// The region stream reader: a region read from anything either loads whole or is refused and
// left as it was.
#include "framework/Classes.h"
#include "skins/Regions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TRegion region;
    TMemoryStream stream;
    stream.WriteBuffer(data, int(size));
    stream.SetPosition(0);
    try {
        region.LoadFromStream(&stream);
        // Use what was read the way the skinned controls do.
        region.GetBounds();
        region.GetRectCount();
        region.ContainsPoint(TPoint(1, 1));
        region.Offset(7, -3);
        TMemoryStream out;
        region.SaveToStream(&out);
    } catch (const Exception&) {
    }
    return 0;
}
