#include <cmath>

#include "Artwork.h"
#include "Theme.h"

namespace artgen {

using namespace theme;

Canvas buttonCell(int w, int h, State state, const Icon& icon, bool on, Rgb lamp) {
  Canvas c(w, h);
  const float r = h >= 30 ? 7.0f : 6.0f;
  // The face sits one pixel in from the cell so its rounded corners are cut away cleanly.
  const float x0 = 1, y0 = 1, x1 = w - 1.0f, y1 = h - 1.0f;
  Rgb top = kFaceTop, bottom = kFaceBottom;
  if (state == State::Hover) top = kFaceHoverTop, bottom = kFaceHoverBottom;
  if (state == State::Pressed) top = kFacePressedTop, bottom = kFacePressedBottom;
  c.fill(roundRect(x0, y0, x1, y1, r), solid(kFaceEdge));
  c.fill(roundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1), vertical(y0, top, y1, bottom));
  if (state != State::Pressed)  // light falls on the upper rim of a raised face
    c.fill(minus(roundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1),
                 roundRect(x0 + 1, y0 + 2, x1 - 1, y1 - 1, r - 1)),
           solid(kPanelHighlight), state == State::Hover ? 0.9f : 0.6f);
  if (state == State::Hover)
    c.fill(minus(roundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1),
                 roundRect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, r - 2)),
           solid(kAccent), 0.35f);
  Rgb ink = state == State::Normal ? kIcon : state == State::Hover ? kIconHover : kAccent;
  if (on) {
    // The switched-on row carries a lit bar along its bottom edge.
    c.fill(roundRect(w / 2.0f - 7, y1 - 4.5f, w / 2.0f + 7, y1 - 2.5f, 1), solid(lamp),
           state == State::Pressed ? 0.7f : 1.0f);
  }
  const float dy = state == State::Pressed ? 1.0f : 0.0f;
  const float cy = (on ? h / 2.0f - 1.5f : h / 2.0f) + dy;
  icon(c, w / 2.0f, cy, solid(ink), on);
  return c;
}

Picture buttonStrip(int w, int h, const Icon& icon, Rgb key, const Picture& backdrop, int atX,
                    int atY, bool isSwitch, Rgb lamp) {
  const int rows = isSwitch ? 2 : 1;
  Picture strip;
  strip.width = w * 3;
  strip.height = h * rows;
  strip.bgr.assign(size_t(strip.width) * strip.height * 3, 0);
  for (int row = 0; row < rows; ++row)
    for (int col = 0; col < 3; ++col) {
      Canvas cell = buttonCell(w, h, kStates[col], icon, row == 1, lamp);
      strip.paste(flatten(cell, key, &backdrop, atX, atY), col * w, row * h);
    }
  return strip;
}

Canvas panelBody(int w, int h, float tl, float tr, float br, float bl) {
  Canvas c(w, h);
  c.fill(roundRect(0, 0, float(w), float(h), tl, tr, br, bl), solid(kPanelEdge));
  c.fill(roundRect(1, 1, w - 1.0f, h - 1.0f, std::max(tl - 1, 0.0f), std::max(tr - 1, 0.0f),
                   std::max(br - 1, 0.0f), std::max(bl - 1, 0.0f)),
         vertical(0, kPanelTop, float(h), kPanelBottom));
  if (tl > 0 || tr > 0)
    c.fill(minus(roundRect(1, 1, w - 1.0f, h - 1.0f, std::max(tl - 1, 0.0f),
                           std::max(tr - 1, 0.0f), 0, 0),
                 roundRect(1, 2, w - 1.0f, h - 1.0f, std::max(tl - 1, 0.0f),
                           std::max(tr - 1, 0.0f), 0, 0)),
           solid(kPanelHighlight), 0.8f);
  return c;
}

// A darker tray behind a row of buttons, so the row reads as one group.
void tray(Canvas& c, float x0, float y0, float x1, float y1, float r) {
  c.fill(roundRect(x0, y0, x1, y1, r), solid(rgb(24, 26, 31)), 0.55f);
  c.fill(minus(roundRect(x0, y0, x1, y1, r), roundRect(x0, y0 + 1, x1, y1, r)),
         solid(kPanelEdge), 0.8f);
  c.fill(minus(roundRect(x0, y0, x1, y1, r), roundRect(x0, y0, x1, y1 - 1, r)),
         solid(kPanelHighlight), 0.35f);
}

void drawText(Canvas& c, const std::string& family, float size, const std::string& text, float cx,
              float baselineY, const Paint& ink, float tracking, float opacity) {
  TextMask m = renderText(family, size, text, tracking);
  int x = int(std::lround(cx - m.advance / 2.0f)) - m.originX;
  int y = int(std::lround(baselineY)) - m.ascent;
  c.fillMask(m.coverage, m.width, m.height, x, y, ink, opacity);
}

void drawTextLeft(Canvas& c, const std::string& family, float size, const std::string& text,
                  float x, float baselineY, const Paint& ink, float tracking) {
  TextMask m = renderText(family, size, text, tracking);
  c.fillMask(m.coverage, m.width, m.height, int(std::lround(x)) - m.originX,
             int(std::lround(baselineY)) - m.ascent, ink);
}

void drawLens(Canvas& c, float cx, float cy, float r) {
  // Metal barrel, dark glass with a blue sheen, and a glint: a camera seen from the front.
  c.fill(circle(cx, cy, r), solid(kPanelEdge));
  c.fill(circle(cx, cy, r - 1), vertical(cy - r, rgb(120, 128, 140), cy + r, rgb(48, 52, 60)));
  c.fill(circle(cx, cy, r * 0.74f), solid(rgb(14, 16, 20)));
  c.fill(circle(cx, cy, r * 0.62f),
         radial(cx - r * 0.12f, cy - r * 0.12f, r * 0.62f, rgb(40, 92, 150), rgb(8, 14, 28)));
  c.fill(circle(cx, cy, r * 0.26f), solid(rgb(6, 8, 14)));
  c.fill(ring(cx, cy, r * 0.30f, r * 0.36f), solid(kAccent), 0.55f);
  c.fill(circle(cx - r * 0.25f, cy - r * 0.27f, r * 0.12f), solid(rgb(235, 242, 250)), 0.9f);
  c.fill(circle(cx + r * 0.14f, cy + r * 0.12f, r * 0.05f), solid(rgb(200, 220, 245)), 0.5f);
}

}  // namespace artgen
