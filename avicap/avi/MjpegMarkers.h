#pragma once
// A bounds-checked walk over a JPEG's marker segments, enough to store a camera's own JPEG
// frames: Motion JPEG cameras often leave out the Huffman tables (DHT) and rely on the
// standard ones, which players then need inside the frame.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct JpegLayout
{
    bool hasHuffmanTables = false;
    size_t scanStart = 0;   // offset of the first SOS marker
    int width = 0;
    int height = 0;
};

// Checks that the data is one whole baseline-style JPEG (SOI, a frame header, a scan and an
// EOI after it); on failure says why.
bool parseJpeg(const uint8_t* data, size_t size, JpegLayout& layout, std::string& error);

// Copies a JPEG into out, inserting the standard Huffman tables before the scan when the
// frame has none of its own.
bool completeJpeg(const uint8_t* data, size_t size, std::vector<uint8_t>& out, std::string& error);

// The standard tables as one DHT segment, marker included.
std::vector<uint8_t> standardHuffmanSegment();
