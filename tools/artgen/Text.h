// Text for the artwork, rendered with FreeType from an installed face found by fontconfig.
#pragma once
#include <string>
#include <vector>

namespace artgen {

struct TextMask {
  int width = 0, height = 0;  // the mask covers the ink box
  int originX = 0;            // pen start relative to the mask's left edge
  int ascent = 0;             // baseline relative to the mask's top edge
  int advance = 0;            // pen advance of the whole text
  std::vector<float> coverage;
};

// family: a fontconfig pattern such as "DejaVu Sans:bold"; pixelSize: the em size in pixels;
// tracking: extra pixels between letters.
TextMask renderText(const std::string& family, float pixelSize, const std::string& text,
                    float tracking = 0);

}  // namespace artgen
