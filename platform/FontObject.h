#pragma once
// The font object of the graphics object table, internal to platform/.
#include "platform/Fonts.h"
#include "platform/GdiObjects.h"

struct FontObject final : GdiObject
{
    static constexpr int kType = OBJ_FONT;
    int type() const override { return kType; }
    LOGFONTA logFont{};
};

// The logical font a DC draws with: its selected font, else the default GUI font.
LOGFONTA dcLogFont(const DcObject& dc);
