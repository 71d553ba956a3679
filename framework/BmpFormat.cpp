#include "framework/BmpFormat.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "framework/System.h"

namespace {

constexpr uint32_t biRgb = 0;
constexpr uint32_t biBitfields = 3;
constexpr uint32_t coreHeaderSize = 12;
constexpr uint32_t infoHeaderSize = 40;
constexpr size_t masksOffset = bmpFileHeaderSize + infoHeaderSize;
constexpr uint32_t pixelsPerMetre = 2835; // 72 dots per inch

[[noreturn]] void invalid(const std::string& what)
{
    throw EInvalidGraphic("Bitmap image is not valid: " + what);
}

std::string needsHas(uint64_t needs, uint64_t has)
{
    return "(needs " + std::to_string(needs) + " bytes, has " + std::to_string(has) + ")";
}

// Every offset handed to these has been checked against the data size first.
uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
int32_t i32(const uint8_t* p) { return int32_t(u32(p)); }

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(v >> shift));
}

uint64_t strideFor(uint64_t width, unsigned bits) { return (width * bits + 31) / 32 * 4; }

std::string compressionName(uint32_t compression)
{
    switch (compression) {
    case 1: return "RLE8";
    case 2: return "RLE4";
    case 4: return "JPEG";
    case 5: return "PNG";
    default: return std::to_string(compression);
    }
}

// What the headers say, once checked.
struct Layout
{
    uint64_t width = 0;
    uint64_t height = 0;
    bool topDown = false;
    unsigned bits = 0;
    size_t pixelOffset = 0;
    std::vector<uint32_t> palette;
};

Layout readLayout(const uint8_t* data, size_t size)
{
    Layout layout;
    const uint32_t offBits = u32(data + 10);
    if (size < bmpFileHeaderSize + 4)
        invalid("truncated info header " + needsHas(bmpFileHeaderSize + 4, size));
    const uint32_t headerSize = u32(data + bmpFileHeaderSize);
    if (headerSize != coreHeaderSize && headerSize != infoHeaderSize && headerSize != 108 && headerSize != 124)
        invalid("unsupported info header size " + std::to_string(headerSize));
    size_t headersEnd = bmpFileHeaderSize + headerSize;
    if (size < headersEnd)
        invalid("truncated info header " + needsHas(headersEnd, size));

    const uint8_t* info = data + bmpFileHeaderSize;
    int64_t width, height;
    uint32_t compression = biRgb, colorsUsed = 0;
    size_t entrySize = 4;
    if (headerSize == coreHeaderSize) {
        width = u16(info + 4);
        height = u16(info + 6);
        layout.bits = u16(info + 10);
        entrySize = 3;
        if (layout.bits == 32)
            invalid("unsupported bit count 32 with the core header");
    } else {
        width = i32(info + 4);
        height = i32(info + 8);
        layout.bits = u16(info + 14);
        compression = u32(info + 16);
        colorsUsed = u32(info + 32);
    }

    if (width <= 0)
        invalid("invalid width " + std::to_string(width));
    if (height == 0)
        invalid("invalid height 0");
    layout.topDown = height < 0;
    layout.width = uint64_t(width);
    layout.height = uint64_t(height < 0 ? -height : height);
    if (layout.width > bmpMaxDimension || layout.height > bmpMaxDimension)
        invalid("size " + std::to_string(layout.width) + " x " + std::to_string(layout.height) +
                " exceeds the limit of " + std::to_string(bmpMaxDimension) + " pixels a side");

    const unsigned bits = layout.bits;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        invalid("unsupported bit count " + std::to_string(bits));
    if (layout.topDown && compression != biRgb && compression != biBitfields)
        invalid("a top-down bitmap cannot be compressed");
    if (compression == biBitfields) {
        if (bits != 32)
            invalid("unsupported bit fields with " + std::to_string(bits) + " bits");
        if (headerSize == infoHeaderSize)
            headersEnd += 12;
        if (size < headersEnd)
            invalid("truncated colour masks " + needsHas(headersEnd, size));
        const uint8_t* masks = data + masksOffset;
        if (u32(masks) != 0x00FF0000 || u32(masks + 4) != 0x0000FF00 || u32(masks + 8) != 0x000000FF)
            invalid("unsupported colour masks");
    } else if (compression != biRgb) {
        invalid("unsupported compression " + compressionName(compression));
    }

    if (bits <= 8) {
        // A short table is allowed; entries past 2^bits could never be used.
        const uint32_t maxEntries = 1u << bits;
        const uint32_t entries = colorsUsed ? std::min(colorsUsed, maxEntries) : maxEntries;
        const uint64_t tableEnd = headersEnd + uint64_t(entries) * entrySize;
        if (tableEnd > size)
            invalid("truncated colour table " + needsHas(tableEnd, size));
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* e = data + headersEnd + i * entrySize;
            layout.palette.push_back((uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0]);
        }
    }

    if (offBits < headersEnd)
        invalid("pixel data offset " + std::to_string(offBits) + " points inside the headers");
    if (offBits > size)
        invalid("pixel data offset " + std::to_string(offBits) + " is past the end of the file (" +
                std::to_string(size) + " bytes)");
    layout.pixelOffset = offBits;
    return layout;
}

// Copies one row into the kept format; indexes past a short colour table become 0.
void convertRow(const uint8_t* src, uint8_t* dst, uint64_t width, unsigned bits, size_t paletteSize)
{
    switch (bits) {
    case 1: {
        const size_t bytes = size_t((width + 7) / 8);
        if (paletteSize >= 2)
            std::memcpy(dst, src, bytes);
        // Bits past the last pixel are cleared so equal pictures give equal rows.
        if (width % 8)
            dst[bytes - 1] &= uint8_t(0xFF << (8 - width % 8));
        break;
    }
    case 4:
        for (uint64_t x = 0; x < width; ++x) {
            const uint8_t index = (src[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
            dst[x] = index < paletteSize ? index : 0;
        }
        break;
    case 8:
        for (uint64_t x = 0; x < width; ++x)
            dst[x] = src[x] < paletteSize ? src[x] : 0;
        break;
    case 24:
        std::memcpy(dst, src, size_t(width * 3));
        break;
    case 32:
        for (uint64_t x = 0; x < width; ++x) {
            dst[x * 3] = src[x * 4];
            dst[x * 3 + 1] = src[x * 4 + 1];
            dst[x * 3 + 2] = src[x * 4 + 2];
        }
        break;
    }
}

}  // namespace

int BmpImage::Stride() const
{
    if (Width <= 0 || BitCount <= 0)
        return 0;
    return int(std::min<uint64_t>(strideFor(uint64_t(Width), unsigned(BitCount)), INT_MAX));
}

uint32_t BmpFileSize(const uint8_t* header, size_t size)
{
    if (!header || size < bmpFileHeaderSize)
        invalid("truncated file header " + needsHas(bmpFileHeaderSize, header ? size : 0));
    if (header[0] != 'B' || header[1] != 'M')
        invalid("missing \"BM\" signature");
    const uint32_t fileSize = u32(header + 2);
    // The smallest file has a core header; the largest must still fit an int-sized read.
    if (fileSize < bmpFileHeaderSize + coreHeaderSize)
        invalid("file size " + std::to_string(fileSize) + " is too small");
    if (fileSize > uint32_t(INT_MAX))
        invalid("file size " + std::to_string(fileSize) + " is too large");
    return fileSize;
}

BmpImage ReadBmp(const uint8_t* data, size_t size)
{
    if (!data)
        size = 0;
    if (size < bmpFileHeaderSize)
        invalid("truncated file header " + needsHas(bmpFileHeaderSize, size));
    if (data[0] != 'B' || data[1] != 'M')
        invalid("missing \"BM\" signature");
    // bfSize is often wrong in real files; the data size given is what counts.
    Layout layout = readLayout(data, size);

    BmpImage image;
    image.Width = int(layout.width);
    image.Height = int(layout.height);
    image.BitCount = layout.bits == 1 ? 1 : layout.bits <= 8 ? 8 : 24;
    image.Palette = std::move(layout.palette);

    const uint64_t outStride = strideFor(layout.width, unsigned(image.BitCount));
    if (outStride * layout.height > uint64_t(bmpMaxPixelBytes))
        invalid("size " + std::to_string(layout.width) + " x " + std::to_string(layout.height) +
                " needs more than " + std::to_string(bmpMaxPixelBytes) + " bytes of pixels");
    const uint64_t srcStride = strideFor(layout.width, layout.bits);
    // The last row may lack its padding: only bytes that hold pixels must be there.
    const uint64_t needed = (layout.height - 1) * srcStride + (layout.width * layout.bits + 7) / 8;
    const uint64_t available = size - layout.pixelOffset;
    if (needed > available)
        invalid("truncated pixel data " + needsHas(needed, available));

    image.Pixels.assign(size_t(outStride * layout.height), 0);
    const uint8_t* pixels = data + layout.pixelOffset;
    for (uint64_t y = 0; y < layout.height; ++y) {
        const uint64_t srcRow = layout.topDown ? layout.height - 1 - y : y;
        convertRow(pixels + srcRow * srcStride, image.Pixels.data() + y * outStride, layout.width,
                   layout.bits, image.Palette.size());
    }
    return image;
}

std::vector<uint8_t> WriteBmp(const BmpImage& image)
{
    const int bits = image.BitCount;
    if (bits != 1 && bits != 8 && bits != 24)
        invalid("cannot write bit count " + std::to_string(bits));
    if (image.Width <= 0 || image.Height <= 0 || image.Width > bmpMaxDimension || image.Height > bmpMaxDimension)
        invalid("cannot write size " + std::to_string(image.Width) + " x " + std::to_string(image.Height));
    const uint64_t imageSize = uint64_t(image.Stride()) * uint64_t(image.Height);
    if (imageSize > uint64_t(bmpMaxPixelBytes))
        invalid("cannot write more than " + std::to_string(bmpMaxPixelBytes) + " bytes of pixels");
    if (image.Pixels.size() != imageSize)
        invalid("pixel buffer has " + std::to_string(image.Pixels.size()) + " bytes, needs " +
                std::to_string(imageSize));
    const size_t entries = bits == 24 ? 0 : image.Palette.size();
    if (bits != 24 && (entries == 0 || entries > (size_t(1) << bits)))
        invalid("colour table of " + std::to_string(entries) + " entries for " + std::to_string(bits) + " bits");

    const uint32_t offBits = uint32_t(bmpFileHeaderSize + infoHeaderSize + entries * 4);
    const uint32_t fileSize = offBits + uint32_t(imageSize);
    std::vector<uint8_t> out;
    out.reserve(fileSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, fileSize);
    put32(out, 0);
    put32(out, offBits);

    put32(out, infoHeaderSize);
    put32(out, uint32_t(image.Width));
    put32(out, uint32_t(image.Height));
    put16(out, 1);
    put16(out, uint16_t(bits));
    put32(out, biRgb);
    put32(out, uint32_t(imageSize));
    put32(out, pixelsPerMetre);
    put32(out, pixelsPerMetre);
    put32(out, uint32_t(entries));
    put32(out, 0);

    for (size_t i = 0; i < entries; ++i) {
        const uint32_t rgb = image.Palette[i];
        out.push_back(uint8_t(rgb));
        out.push_back(uint8_t(rgb >> 8));
        out.push_back(uint8_t(rgb >> 16));
        out.push_back(0);
    }
    out.insert(out.end(), image.Pixels.begin(), image.Pixels.end());
    return out;
}
