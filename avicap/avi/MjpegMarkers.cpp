#include "avicap/avi/MjpegMarkers.h"


namespace {

bool standalone(uint8_t m) { return m == 0x01 || (m >= 0xD0 && m <= 0xD9); }

bool frameHeader(uint8_t m)
{
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// After the scan header: entropy-coded data up to an EOI; other markers (restart markers,
// further scans of a progressive frame) may sit in between.
bool findEnd(const uint8_t* p, size_t size, size_t at)
{
    for (size_t i = at; i + 1 < size; ++i) {
        if (p[i] == 0xFF && p[i + 1] == 0xD9)
            return true;
    }
    return false;
}

}  // namespace

bool parseJpeg(const uint8_t* p, size_t size, JpegLayout& layout, std::string& error)
{
    layout = {};
    if (size < 4 || p[0] != 0xFF || p[1] != 0xD8) {
        error = "not a JPEG image (no start-of-image marker)";
        return false;
    }
    bool haveFrame = false;
    size_t i = 2;
    while (true) {
        if (i >= size || p[i] != 0xFF) {
            error = "JPEG marker expected at byte " + std::to_string(i);
            return false;
        }
        while (i < size && p[i] == 0xFF)
            ++i;   // fill bytes
        if (i >= size) {
            error = "JPEG ends inside a marker";
            return false;
        }
        uint8_t m = p[i++];
        if (m == 0xD9 || m == 0xD8 || m == 0x00) {
            error = "JPEG has no image data";
            return false;
        }
        if (standalone(m))
            continue;
        if (i + 2 > size) {
            error = "JPEG ends inside a segment length";
            return false;
        }
        size_t length = size_t(p[i]) << 8 | p[i + 1];
        if (length < 2 || i + length > size) {
            error = "JPEG segment overruns the data at byte " + std::to_string(i);
            return false;
        }
        if (m == 0xC4)
            layout.hasHuffmanTables = true;
        if (frameHeader(m)) {
            if (length < 8) {
                error = "JPEG frame header too short";
                return false;
            }
            layout.height = p[i + 3] << 8 | p[i + 4];
            layout.width = p[i + 5] << 8 | p[i + 6];
            haveFrame = layout.width > 0 && layout.height > 0;
        }
        if (m == 0xDA) {
            if (!haveFrame) {
                error = "JPEG scan before any frame header";
                return false;
            }
            layout.scanStart = i - 2;
            if (!findEnd(p, size, i + length)) {
                error = "JPEG is cut short (no end-of-image marker)";
                return false;
            }
            return true;
        }
        i += length;
    }
}

bool completeJpeg(const uint8_t* data, size_t size, std::vector<uint8_t>& out, std::string& error)
{
    JpegLayout layout;
    if (!parseJpeg(data, size, layout, error))
        return false;
    out.clear();
    if (layout.hasHuffmanTables) {
        out.assign(data, data + size);
        return true;
    }
    static const std::vector<uint8_t> tables = standardHuffmanSegment();
    out.reserve(size + tables.size());
    out.insert(out.end(), data, data + layout.scanStart);
    out.insert(out.end(), tables.begin(), tables.end());
    out.insert(out.end(), data + layout.scanStart, data + size);
    return true;
}
