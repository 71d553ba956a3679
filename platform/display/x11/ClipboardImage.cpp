#include "platform/display/x11/ClipboardImage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

void putBe32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(v >> shift));
}

void chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data)
{
    putBe32(out, uint32_t(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBe32(out, crc32(out.data() + start, out.size() - start));
}

}  // namespace

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t adler32(const uint8_t* data, size_t size)
{
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

bool decodeBmp(const std::vector<uint8_t>& f, RgbImage& out)
{
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M')
        return false;
    uint32_t offset = le32(&f[10]), headerSize = le32(&f[14]);
    int32_t width = int32_t(le32(&f[18])), height = int32_t(le32(&f[22]));
    uint32_t bits = le16(&f[28]), compression = le32(&f[30]), used = le32(&f[46]);
    bool topDown = height < 0;
    int64_t rows = topDown ? -int64_t(height) : height;
    bool plain = compression == 0 || (compression == 3 && (bits == 32));   // BI_RGB, BI_BITFIELDS
    if (headerSize < 40 || width <= 0 || rows <= 0 || width > 32768 || rows > 32768 || !plain ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
        return false;
    size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
    if (offset > f.size() || f.size() - offset < stride * size_t(rows))
        return false;
    size_t table = 14 + size_t(headerSize);
    if (table > offset)
        return false;
    // Writers disagree on the table's length: trust only the entries that are in the file.
    size_t colors = bits <= 8 ? std::min<size_t>({used ? used : 1u << bits, 256, (offset - table) / 4}) : 0;
    if (bits <= 8 && colors == 0)
        return false;
    out.width = width;
    out.height = int(rows);
    out.rgb.assign(size_t(width) * size_t(rows) * 3, 0);
    for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* row = &f[offset + stride * size_t(topDown ? y : rows - 1 - y)];
        uint8_t* dest = &out.rgb[size_t(y) * size_t(width) * 3];
        for (int x = 0; x < width; ++x, dest += 3) {
            const uint8_t* bgr;
            if (bits >= 24) {
                bgr = row + size_t(x) * (bits / 8);
            } else {
                size_t bit = size_t(x) * bits;
                unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= colors)
                    index = 0;
                bgr = &f[table + index * 4];
            }
            dest[0] = bgr[2], dest[1] = bgr[1], dest[2] = bgr[0];
        }
    }
    return true;
}

std::vector<uint8_t> encodePng(const RgbImage& image)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> out(signature, signature + 8);
    std::vector<uint8_t> header;
    putBe32(header, uint32_t(image.width));
    putBe32(header, uint32_t(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});   // 8 bits, RGB, deflate, no filter, no interlace
    chunk(out, "IHDR", header);

    // Every row starts with filter type 0 (none).
    size_t rowBytes = size_t(image.width) * 3;
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * size_t(image.height));
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        const uint8_t* row = image.rgb.data() + size_t(y) * rowBytes;
        raw.insert(raw.end(), row, row + rowBytes);
    }
    std::vector<uint8_t> zlib = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(raw.size() - pos, 65535);
        bool last = pos + n == raw.size();
        zlib.push_back(last ? 1 : 0);   // BFINAL, BTYPE 00: stored
        zlib.insert(zlib.end(), {uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
        zlib.insert(zlib.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
        pos += n;
    } while (pos < raw.size());
    putBe32(zlib, adler32(raw.data(), raw.size()));
    chunk(out, "IDAT", zlib);
    chunk(out, "IEND", {});
    return out;
}
