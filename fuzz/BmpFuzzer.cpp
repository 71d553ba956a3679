// The BMP reader, on its own and through TBitmap's stream loading (the path artwork takes).
#include "framework/BmpFormat.h"
#include "framework/Classes.h"
#include "framework/Graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        BmpImage image = ReadBmp(data, size);
        // What was read must hold together: the writer walks every row.
        std::vector<uint8_t> again = WriteBmp(image);
        ReadBmp(again.data(), again.size());
    } catch (const Exception&) {
    }
    try {
        if (size >= bmpFileHeaderSize)
            BmpFileSize(data, size);
    } catch (const Exception&) {
    }
    try {
        TMemoryStream stream;
        stream.WriteBuffer(data, int(size));
        stream.SetPosition(0);
        TBitmap bitmap;
        bitmap.LoadFromStream(&stream);
        if (bitmap.GetWidth() > 0 && bitmap.GetHeight() > 0)
            bitmap.Canvas()->GetPixel(bitmap.GetWidth() - 1, bitmap.GetHeight() - 1);
    } catch (const Exception&) {
    }
    return 0;
}
