#include "Text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <stdexcept>

namespace artgen {

namespace {

std::string findFontFile(const std::string& family) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) throw std::runtime_error("no font for " + family);
  FcChar8* file = nullptr;
  std::string path;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) path = (const char*)file;
  FcPatternDestroy(match);
  if (path.empty()) throw std::runtime_error("no font file for " + family);
  return path;
}

// The FreeType library and the faces opened so far, released at exit (with fontconfig's own
// tables) so a leak checker sees nothing left behind.
class Fonts {
 public:
  Fonts() {
    if (FT_Init_FreeType(&library_)) throw std::runtime_error("FreeType did not start");
  }
  ~Fonts() {
    for (auto& [family, f] : faces_) FT_Done_Face(f);
    FT_Done_FreeType(library_);
    FcFini();
  }
  FT_Face face(const std::string& family) {
    auto it = faces_.find(family);
    if (it != faces_.end()) return it->second;
    FT_Face f;
    if (FT_New_Face(library_, findFontFile(family).c_str(), 0, &f))
      throw std::runtime_error("cannot open the font for " + family);
    faces_[family] = f;
    return f;
  }

 private:
  FT_Library library_ = nullptr;
  std::map<std::string, FT_Face> faces_;
};

FT_Face face(const std::string& family) {
  static Fonts fonts;
  return fonts.face(family);
}

}  // namespace

TextMask renderText(const std::string& family, float pixelSize, const std::string& text,
                    float tracking) {
  FT_Face f = face(family);
  FT_Set_Char_Size(f, 0, FT_F26Dot6(std::lround(pixelSize * 64)), 72, 72);
  struct Glyph {
    int x, y, w, h;
    std::vector<float> cov;
  };
  std::vector<Glyph> glyphs;
  float pen = 0;
  FT_UInt previous = 0;
  int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
  for (unsigned char ch : text) {
    FT_UInt index = FT_Get_Char_Index(f, ch);
    if (previous && FT_HAS_KERNING(f)) {
      FT_Vector k;
      FT_Get_Kerning(f, previous, index, FT_KERNING_DEFAULT, &k);
      pen += k.x / 64.0f;
    }
    previous = index;
    // Fractional pen positions: shift the outline so letters keep even spacing.
    FT_Vector shift{FT_Pos(std::lround((pen - std::floor(pen)) * 64)), 0};
    FT_Set_Transform(f, nullptr, &shift);
    if (FT_Load_Glyph(f, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) continue;
    FT_GlyphSlot g = f->glyph;
    Glyph out{int(std::floor(pen)) + g->bitmap_left, -g->bitmap_top, int(g->bitmap.width),
              int(g->bitmap.rows), {}};
    out.cov.resize(size_t(out.w) * out.h);
    for (int y = 0; y < out.h; ++y)
      for (int x = 0; x < out.w; ++x)
        out.cov[size_t(y) * out.w + x] = g->bitmap.buffer[y * g->bitmap.pitch + x] / 255.0f;
    if (out.w && out.h) {
      minX = std::min(minX, out.x);
      minY = std::min(minY, out.y);
      maxX = std::max(maxX, out.x + out.w);
      maxY = std::max(maxY, out.y + out.h);
    }
    glyphs.push_back(std::move(out));
    pen += g->advance.x / 64.0f + tracking;
  }
  FT_Set_Transform(f, nullptr, nullptr);
  TextMask mask;
  mask.advance = int(std::lround(pen - tracking));
  if (minX == INT_MAX) return mask;
  mask.width = maxX - minX;
  mask.height = maxY - minY;
  mask.originX = -minX;
  mask.ascent = -minY;
  mask.coverage.assign(size_t(mask.width) * mask.height, 0);
  for (const Glyph& g : glyphs)
    for (int y = 0; y < g.h; ++y)
      for (int x = 0; x < g.w; ++x) {
        float& c = mask.coverage[size_t(g.y - minY + y) * mask.width + (g.x - minX + x)];
        c = std::min(1.0f, c + g.cov[size_t(y) * g.w + x]);
      }
  return mask;
}

}  // namespace artgen
