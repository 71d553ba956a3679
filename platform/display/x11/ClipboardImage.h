#pragma once
// Picture files for the clipboard: BMP files read, PNG files written. Xlib-free.
#include <cstddef>
#include <cstdint>
#include <vector>

// Pixels top row first, three bytes (red, green, blue) each.
struct RgbImage
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Reads an uncompressed BMP file (1, 4, 8, 24 or 32 bits, either row order). False on anything
// else, including a truncated or implausible file.
bool decodeBmp(const std::vector<uint8_t>& file, RgbImage& out);
// A PNG file of the image: 8-bit RGB, its zlib stream made of stored (uncompressed) blocks.
std::vector<uint8_t> encodePng(const RgbImage& image);

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t adler32(const uint8_t* data, size_t size);
