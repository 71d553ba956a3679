// Reading and writing bitmaps as BMP files.
#include <algorithm>
#include <cstring>

#include "framework/BmpFormat.h"
#include "framework/Graphics.h"
#include "platform/PixelSurface.h"

void TGraphic::LoadFromFile(const AnsiString& FileName)
{
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&stream);
}

void TGraphic::SaveToFile(const AnsiString& FileName)
{
    TFileStream stream(FileName, fmCreate);
    SaveToStream(&stream);
}

void TBitmap::LoadFromStream(TStream* Stream)
{
    int64_t remaining = Stream->GetSize() - Stream->GetPosition();
    if (remaining <= 0) {   // what an empty bitmap saves
        Reshape(0, 0, FPixelFormat, FColors, false);
        Changed(this);
        return;
    }
    uint8_t header[bmpFileHeaderSize];
    if (remaining < int64_t(sizeof header))
        throw EInvalidGraphic("Bitmap image is not valid: the stream ends inside the file header");
    Stream->ReadBuffer(header, sizeof header);
    // The stated size is only a hint: files in the wild get it wrong, so read no further
    // than the stream goes.
    int64_t stated = BmpFileSize(header, sizeof header);
    int64_t total = stated >= int64_t(sizeof header) ? std::min<int64_t>(stated, remaining) : remaining;
    if (total > bmpMaxPixelBytes + (int64_t(1) << 20))
        throw EInvalidGraphic("Bitmap image is not valid: the file is too large");
    std::vector<uint8_t> data(static_cast<size_t>(total));
    std::memcpy(data.data(), header, sizeof header);
    Stream->ReadBuffer(data.data() + sizeof header, int(total - int64_t(sizeof header)));

    BmpImage image = ReadBmp(data.data(), data.size());
    std::vector<RGBQUAD> colors;
    for (uint32_t c : image.Palette)
        colors.push_back({BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0});
    TPixelFormat format = image.BitCount == 1 ? pf1bit : image.BitCount == 8 ? pf8bit : pf24bit;
    Reshape(image.Width, image.Height, format, colors, false);
    PixelSurface* s = Surface();
    size_t rowBytes = size_t(image.Stride());
    for (int y = 0; y < image.Height; ++y)   // both are bottom-up: row y of memory is row y
        std::memcpy(s->bits + size_t(y) * size_t(s->stride), image.Pixels.data() + size_t(y) * rowBytes,
                    std::min<size_t>(rowBytes, size_t(s->stride)));
    if (FPalette) {
        DeleteObject(FPalette);
        FPalette = 0;
    }
    Changed(this);
}

void TBitmap::SaveToStream(TStream* Stream)
{
    PixelSurface* s = Surface();
    if (!s)
        return;
    BmpImage image;
    image.Width = FWidth;
    image.Height = FHeight;
    image.BitCount = BitsPerPixel(FPixelFormat);
    for (const RGBQUAD& q : FColors)
        image.Palette.push_back(uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue);
    size_t rowBytes = size_t(image.Stride());
    image.Pixels.resize(rowBytes * size_t(FHeight));
    for (int y = 0; y < FHeight; ++y)
        std::memcpy(image.Pixels.data() + size_t(y) * rowBytes, s->bits + size_t(y) * size_t(s->stride),
                    rowBytes);
    std::vector<uint8_t> bytes = WriteBmp(image);
    Stream->WriteBuffer(bytes.data(), int(bytes.size()));
}
