#pragma once
// BMP files byte by byte, apart from any bitmap class: what a file holds, normalised to the
// three pixel formats the framework keeps (1, 8 and 24 bits, bottom-up rows).
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int bmpMaxDimension = 32768;
constexpr int64_t bmpMaxPixelBytes = int64_t(1) << 30;
constexpr size_t bmpFileHeaderSize = 14;

struct BmpImage
{
    int Width = 0;
    int Height = 0;                // always positive: rows are stored bottom-up
    int BitCount = 24;             // 1, 8 or 24
    std::vector<uint32_t> Palette; // 0x00RRGGBB; every pixel index is below its size
    std::vector<uint8_t> Pixels;   // last picture row first, each Stride() bytes

    // Rows are padded to whole 32-bit words.
    int Stride() const;
};

// Checks the 14-byte file header and answers the file size it states, so a stream reader
// knows how much to read. Raises EInvalidGraphic for a header that cannot start a BMP file.
uint32_t BmpFileSize(const uint8_t* header, size_t size);

// Decodes a whole file. Anything malformed or unsupported raises EInvalidGraphic.
BmpImage ReadBmp(const uint8_t* data, size_t size);

// Encodes an image as an uncompressed bottom-up file with a 40-byte info header.
std::vector<uint8_t> WriteBmp(const BmpImage& image);
