#pragma once
// Face-name mapping, internal to platform/: the layouts name fonts of the original platform,
// which are mapped to installed families before fontconfig chooses a file.
#include <optional>
#include <string>

#include "platform/Fonts.h"

typedef struct _FcConfig FcConfig;

struct FontFile
{
    std::string path;
    int index = 0;
    // Styles asked for that the chosen file lacks, drawn synthetically.
    bool embolden = false;
    bool oblique = false;
    bool condense = false;
};

// fontconfig's choice of an outline font for a logical font; nullopt when there is none.
std::optional<FontFile> matchFont(FcConfig* config, const LOGFONTA& logFont);
