#pragma once
// Runs of text on one line, internal to platform/: decoding, layout and drawing shared by
// TextOutA and DrawTextA.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/FontCache.h"
#include "platform/GdiObjects.h"

// Code page 1252: Latin-1 with printable characters in 0x80 to 0x9F.
uint32_t codePointOf1252(unsigned char c);
std::vector<uint32_t> decodeText(const char* text, size_t count);

// Pen position of each character from the run's start, kerning included; one more entry
// than characters, the last being the run's width. A tab moves to the next multiple of
// tabWidth when tabWidth is positive.
std::vector<int> layoutRun(ScaledFont& font, std::span<const uint32_t> chars, int tabWidth = 0);

// Draws a run with its cell's top-left at (x, y): the background cell in OPAQUE mode, the
// glyphs blended into the surface in the text colour, the font's underline and strike-out,
// and an underline below each character whose entry in marked is non-zero.
void drawRun(DcObject& dc, PixelSurface& surface, ScaledFont& font, const LOGFONTA& logFont,
             std::span<const uint32_t> chars, std::span<const int> offsets, int x, int y,
             std::span<const uint8_t> marked = {});
