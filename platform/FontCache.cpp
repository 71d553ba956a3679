#include "platform/FontCache.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/FontMatch.h"

// An open FreeType face at one size, with the styles it has to synthesise.
struct FontFace
{
    std::shared_ptr<FT_LibraryRec_> library;   // outlives every face opened with it
    FT_Face face = nullptr;
    bool embolden = false;
    bool oblique = false;
    ~FontFace()
    {
        if (face)
            FT_Done_Face(face);
    }
};

namespace {

// Resolved fonts are few in practice; a runaway caller only costs a re-resolve.
constexpr size_t kMaxCached = 256;
// Sizes beyond this are refused instead of rendering huge glyph bitmaps.
constexpr double kMaxEm = 2048;
// The cell height of a font asked for with height 0.
constexpr int kDefaultCell = 16;

struct FontState
{
    std::mutex mutex;
    std::shared_ptr<FT_LibraryRec_> library;
    bool configChosen = false;
    FcConfig* config = nullptr;
    std::map<std::string, std::shared_ptr<ScaledFont>> byLogFont;   // null: nothing found
    std::map<std::string, std::shared_ptr<FontFace>> faces;   // by file and size

    ~FontState()
    {
        byLogFont.clear();
        faces.clear();
        if (config)
            FcConfigDestroy(config);
    }
};

FontState& state()
{
    static FontState s;
    return s;
}

std::string logFontKey(const LOGFONTA& lf)
{
    std::string key(reinterpret_cast<const char*>(&lf), offsetof(LOGFONTA, lfFaceName));
    key.append(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    return key;
}

// Vertical design metrics: the classic cell is the OS/2 Windows ascent and descent.
struct DesignMetrics
{
    double upem = 2048, ascent = 0, descent = 0, avgWidth = 0, lineGap = 0;
    double strikeout = 0;
};

DesignMetrics designMetrics(FT_Face face)
{
    DesignMetrics d;
    d.upem = face->units_per_EM ? face->units_per_EM : 2048;
    d.ascent = face->ascender;
    d.descent = -face->descender;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            d.ascent = os2->usWinAscent;
            d.descent = os2->usWinDescent;
        }
        d.avgWidth = os2->xAvgCharWidth;
        d.strikeout = os2->yStrikeoutPosition;
    }
    if (d.ascent + d.descent <= 0) {
        d.ascent = d.upem * 0.8;
        d.descent = d.upem * 0.2;
    }
    if (auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA)))
        d.lineGap = hhea->Line_Gap - ((d.ascent + d.descent) - (hhea->Ascender - hhea->Descender));
    if (d.strikeout <= 0)
        d.strikeout = d.ascent / 3;
    return d;
}

FontMetrics pixelMetrics(FT_Face face, const DesignMetrics& d, const LOGFONTA& lf, double em,
                         double hEm)
{
    double scale = em / d.upem;
    FontMetrics m;
    m.ascent = int(std::lround(d.ascent * scale));
    m.descent = int(std::lround(d.descent * scale));
    int cell = lf.lfHeight > 0 ? lf.lfHeight : lf.lfHeight == 0 ? kDefaultCell : 0;
    if (cell >= m.ascent)
        m.descent = cell - m.ascent;   // a positive height is the cell, exactly
    m.height = m.ascent + m.descent;
    m.internalLeading = std::max(0, m.height - int(std::lround(em)));
    m.externalLeading = std::max(0, int(std::lround(d.lineGap * scale)));
    m.aveCharWidth = int(std::lround(d.avgWidth * hEm / d.upem));
    // Fonts without an OS/2 average width use the width of 'x', as the original platform.
    if (m.aveCharWidth <= 0 && FT_Load_Char(face, 'x', FT_LOAD_DEFAULT) == 0)
        m.aveCharWidth = int((face->glyph->advance.x + 32) >> 6);
    m.maxCharWidth = int(std::lround(face->max_advance_width * hEm / d.upem));
    m.weight = lf.lfWeight <= 0 ? FW_NORMAL : std::min<int>(lf.lfWeight, 1000);
    m.underlineThickness = std::max(1, int(std::lround(face->underline_thickness * scale)));
    // FreeType gives the underline's centre; keep it inside the cell.
    int top = int(std::lround(-face->underline_position * scale - m.underlineThickness / 2.0));
    m.underlineOffset = std::clamp(top, 1, std::max(1, m.descent - m.underlineThickness));
    m.strikeoutOffset = std::max(1, int(std::lround(d.strikeout * scale)));
    m.fixedPitch = FT_IS_FIXED_WIDTH(face);
    return m;
}

bool ensureSetUp(FontState& s)
{
    if (!s.library) {
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0)
            return false;
        s.library.reset(library, [](FT_Library l) { FT_Done_FreeType(l); });
    }
    if (!s.configChosen) {
        s.config = FcInitLoadConfigAndFonts();
        s.configChosen = true;
    }
    return s.config != nullptr;
}

std::shared_ptr<ScaledFont> resolve(FontState& s, const LOGFONTA& lf)
{
    if (!ensureSetUp(s))
        return nullptr;
    std::optional<FontFile> file = matchFont(s.config, lf);
    if (!file)
        return nullptr;
    auto face = std::make_shared<FontFace>();
    face->library = s.library;
    face->embolden = file->embolden;
    face->oblique = file->oblique;
    if (FT_New_Face(s.library.get(), file->path.c_str(), file->index, &face->face) != 0 ||
        !FT_IS_SCALABLE(face->face))
        return nullptr;

    DesignMetrics d = designMetrics(face->face);
    double cellRatio = (d.ascent + d.descent) / d.upem;
    double em = lf.lfHeight < 0   ? -double(lf.lfHeight)
                : lf.lfHeight > 0 ? lf.lfHeight / cellRatio
                                  : kDefaultCell / cellRatio;
    if (em > kMaxEm)
        return nullptr;
    double hEm = em;
    if (lf.lfWidth > 0 && d.avgWidth > 0)
        hEm = std::min(kMaxEm, lf.lfWidth * d.upem / d.avgWidth);
    else if (file->condense)
        hEm = em * 0.8;   // no condensed face installed: narrow the regular one
    FT_F26Dot6 height26 = std::max<FT_F26Dot6>(64, std::lround(em * 64));
    FT_F26Dot6 width26 = std::max<FT_F26Dot6>(64, std::lround(hEm * 64));

    std::string faceKey = file->path + '\n' + std::to_string(file->index) + '/' +
                          std::to_string(width26) + 'x' + std::to_string(height26) +
                          (file->embolden ? "b" : "") + (file->oblique ? "i" : "");
    if (auto it = s.faces.find(faceKey); it != s.faces.end()) {
        face = it->second;   // the new one closes here
    } else {
        if (FT_Set_Char_Size(face->face, width26, height26, 72, 72) != 0)
            return nullptr;
        if (s.faces.size() >= kMaxCached)
            s.faces.clear();
        s.faces.emplace(faceKey, face);
    }
    return std::make_shared<ScaledFont>(face, pixelMetrics(face->face, d, lf, em, hEm));
}

void copyBitmap(const FT_Bitmap& bitmap, GlyphImage& g)
{
    g.width = int(bitmap.width);
    g.rows = int(bitmap.rows);
    g.coverage.assign(size_t(g.width) * size_t(g.rows), 0);
    int pitch = std::abs(bitmap.pitch);
    for (int y = 0; y < g.rows; ++y) {
        const uint8_t* src = bitmap.buffer + size_t(bitmap.pitch < 0 ? g.rows - 1 - y : y) * pitch;
        uint8_t* dst = g.coverage.data() + size_t(y) * size_t(g.width);
        for (int x = 0; x < g.width; ++x) {
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
            else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                dst[x] = bitmap.num_grays == 256 ? src[x]
                                                 : uint8_t(src[x] * 255 / std::max(1, bitmap.num_grays - 1));
        }
    }
}

}  // namespace

ScaledFont::ScaledFont(std::shared_ptr<FontFace> face, const FontMetrics& metrics)
    : face_(std::move(face)), metrics_(metrics)
{
}

ScaledFont::~ScaledFont() = default;

const GlyphImage& ScaledFont::glyph(uint32_t codePoint)
{
    std::lock_guard lock(state().mutex);
    auto [it, inserted] = glyphs_.try_emplace(codePoint);
    GlyphImage& g = it->second;
    if (!inserted)
        return g;
    FT_Face face = face_->face;
    FT_UInt index = FT_Get_Char_Index(face, codePoint);   // 0: the font's missing-glyph box
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP) != 0)
        return g;
    FT_GlyphSlot slot = face->glyph;
    if (face_->embolden)
        FT_GlyphSlot_Embolden(slot);
    if (face_->oblique)
        FT_GlyphSlot_Oblique(slot);
    g.advance = int((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return g;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    copyBitmap(slot->bitmap, g);
    return g;
}

int ScaledFont::kerning(uint32_t left, uint32_t right)
{
    std::lock_guard lock(state().mutex);
    FT_Face face = face_->face;
    if (!FT_HAS_KERNING(face))
        return 0;
    FT_Vector delta{0, 0};
    if (FT_Get_Kerning(face, FT_Get_Char_Index(face, left), FT_Get_Char_Index(face, right),
                       FT_KERNING_DEFAULT, &delta) != 0)
        return 0;
    return int((delta.x + 32) >> 6);
}

std::shared_ptr<ScaledFont> fontFor(const LOGFONTA& logFont)
{
    FontState& s = state();
    std::lock_guard lock(s.mutex);
    std::string key = logFontKey(logFont);
    if (auto it = s.byLogFont.find(key); it != s.byLogFont.end())
        return it->second;
    std::shared_ptr<ScaledFont> font = resolve(s, logFont);
    if (s.byLogFont.size() >= kMaxCached)
        s.byLogFont.clear();
    s.byLogFont.emplace(key, font);
    return font;
}

void setFontFolders(const std::optional<std::vector<std::string>>& folders)
{
    FontState& s = state();
    std::lock_guard lock(s.mutex);
    s.byLogFont.clear();
    s.faces.clear();
    if (s.config)
        FcConfigDestroy(s.config);
    s.config = nullptr;
    s.configChosen = false;
    if (!folders)
        return;
    s.config = FcConfigCreate();
    s.configChosen = true;
    // File by file: adding a folder would try to write a font cache this config has no
    // place for.
    std::error_code error;
    for (const std::string& folder : *folders)
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
            if (entry.is_regular_file(error))
                FcConfigAppFontAddFile(s.config,
                                       reinterpret_cast<const FcChar8*>(entry.path().c_str()));
}
