#pragma once
// Installed fonts behind logical fonts, internal to platform/: fontconfig picks a file for a
// LOGFONTA, FreeType renders it. Faces are opened once per file and size and their glyphs
// are kept. FreeType objects are not thread-safe, so one mutex guards all of them.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Fonts.h"

// Pixel metrics of a font at one size; vertical positions are relative to the baseline.
struct FontMetrics
{
    int height = 0;   // ascent + descent: the text cell
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;
    int externalLeading = 0;
    int aveCharWidth = 0;
    int maxCharWidth = 0;
    int weight = FW_NORMAL;
    int underlineOffset = 1;   // downwards from the baseline to the underline's top
    int underlineThickness = 1;
    int strikeoutOffset = 3;   // upwards from the baseline to the strike line's top
    bool fixedPitch = false;
};

// A glyph's coverage (0 to 255) and placement; left and top are from the pen position on
// the baseline, top upwards.
struct GlyphImage
{
    int advance = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    std::vector<uint8_t> coverage;
};

struct FontFace;

// One face at one size with the glyphs rendered so far.
class ScaledFont
{
public:
    ScaledFont(std::shared_ptr<FontFace> face, const FontMetrics& metrics);
    ~ScaledFont();
    const FontMetrics& metrics() const { return metrics_; }
    // The glyph of a Unicode code point; stays valid as long as this font.
    const GlyphImage& glyph(uint32_t codePoint);
    // Grid-fitted kerning between two code points, in pixels.
    int kerning(uint32_t left, uint32_t right);

private:
    std::shared_ptr<FontFace> face_;
    FontMetrics metrics_;
    std::unordered_map<uint32_t, GlyphImage> glyphs_;
};

// The installed font for a logical font; null when no font at all can be found.
std::shared_ptr<ScaledFont> fontFor(const LOGFONTA& logFont);

// Which fonts may be chosen: the system's (nullopt, the default) or only those in the given
// folders (an empty list leaves none). Drops every resolved font.
void setFontFolders(const std::optional<std::vector<std::string>>& folders);
