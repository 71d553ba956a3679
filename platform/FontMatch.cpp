#include "platform/FontMatch.h"
#include "platform/TextCase.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

enum class Generic { None, Sans, Condensed, Mono, Serif };

// Face names compare without case, as on the original platform.
std::string trimmedLower(const char* name)
{
    std::string s(name, strnlen(name, LF_FACESIZE));
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
    s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
    return asciiLower(s);
}

Generic genericFor(const std::string& name, BYTE pitchAndFamily)
{
    static constexpr std::array<std::string_view, 8> sans{
        "ms sans serif", "microsoft sans serif", "tahoma", "arial", "segoe ui",
        "ms shell dlg", "ms shell dlg 2", "system"};
    static constexpr std::array<std::string_view, 5> mono{
        "courier new", "courier", "lucida console", "fixedsys", "terminal"};
    auto in = [&](const auto& list) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    if (name.empty()) {
        if ((pitchAndFamily & 3) == FIXED_PITCH || (pitchAndFamily & 0xF0) == FF_MODERN)
            return Generic::Mono;
        return (pitchAndFamily & 0xF0) == FF_ROMAN ? Generic::Serif : Generic::Sans;
    }
    if (in(sans))
        return Generic::Sans;
    if (name == "agency fb")
        return Generic::Condensed;
    if (in(mono))
        return Generic::Mono;
    if (name == "ms serif")
        return Generic::Serif;
    return Generic::None;
}

void addFamily(FcPattern* p, const char* family)
{
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
}

struct PatternDeleter
{
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetDeleter
{
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

}  // namespace

std::optional<FontFile> matchFont(FcConfig* config, const LOGFONTA& lf)
{
    std::string name = trimmedLower(lf.lfFaceName);
    Generic generic = genericFor(name, lf.lfPitchAndFamily);
    std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
    FcPattern* p = pattern.get();
    switch (generic) {
    case Generic::Sans:
        addFamily(p, "sans-serif");
        break;
    case Generic::Condensed:
        addFamily(p, "sans-serif");
        FcPatternAddInteger(p, FC_WIDTH, FC_WIDTH_CONDENSED);
        break;
    case Generic::Mono:
        addFamily(p, "monospace");
        break;
    case Generic::Serif:
        addFamily(p, "serif");
        break;
    case Generic::None: {
        std::string face(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
        addFamily(p, face.c_str());
        addFamily(p, "sans-serif");   // an unknown name falls back to sans-serif
        break;
    }
    }
    int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::min<int>(lf.lfWeight, 1000);
    FcPatternAddInteger(p, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(p, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    // Outline fonts first: bitmap fonts cannot be scaled to the asked height.
    FcPatternAddBool(p, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, p, FcMatchPattern);
    FcDefaultSubstitute(p);

    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcFontSet, FontSetDeleter> fonts(FcFontSort(config, p, FcFalse, nullptr,
                                                                &result));
    if (!fonts)
        return std::nullopt;
    for (int i = 0; i < fonts->nfont; ++i) {
        FcPattern* font = fonts->fonts[i];
        FcBool outline = FcFalse;
        FcChar8* file = nullptr;
        if (FcPatternGetBool(font, FC_OUTLINE, 0, &outline) != FcResultMatch || !outline ||
            FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch)
            continue;
        FontFile chosen;
        chosen.path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(font, FC_INDEX, 0, &chosen.index);
        int fontWeight = 0, slant = 0, width = 0;
        if (FcPatternGetInteger(font, FC_WEIGHT, 0, &fontWeight) == FcResultMatch)
            chosen.embolden = weight >= FW_SEMIBOLD && fontWeight < FC_WEIGHT_DEMIBOLD;
        if (FcPatternGetInteger(font, FC_SLANT, 0, &slant) == FcResultMatch)
            chosen.oblique = lf.lfItalic && slant == FC_SLANT_ROMAN;
        if (FcPatternGetInteger(font, FC_WIDTH, 0, &width) == FcResultMatch)
            chosen.condense = generic == Generic::Condensed && width > FC_WIDTH_SEMICONDENSED;
        return chosen;
    }
    return std::nullopt;
}
