#include <algorithm>
#include <cmath>
#include <iterator>

#include "Artwork.h"
#include "Theme.h"

namespace artgen {

using namespace theme;

namespace {

// The icon of a disabled cell: each colour drained toward its own grey and sunk toward the
// face, so the shape still reads but plainly without light. A lamp colour (the red of a
// recording, the blue of sound on) keeps more of its colour and light than grey ink does: it
// tells a state, not an action.
void drainToUnavailable(Canvas& glyph, Rgb face) {
  for (int y = 0; y < glyph.height(); ++y)
    for (int x = 0; x < glyph.width(); ++x) {
      Pixel& p = glyph.at(x, y);
      if (p.a <= 0) continue;
      Rgb c{p.r / p.a, p.g / p.a, p.b / p.a};
      const float grey = 0.30f * c.r + 0.59f * c.g + 0.11f * c.b;
      const float chroma = std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b});
      const float lamp = std::clamp(chroma / 0.5f, 0.0f, 1.0f);
      c = mix(mix(Rgb{grey, grey, grey}, c, lamp * kDisabledKeepColour), face,
              kDisabledSink + (kDisabledLampSink - kDisabledSink) * lamp);
      p.r = c.r * p.a, p.g = c.g * p.a, p.b = c.b * p.a;
    }
}

}  // namespace

Canvas buttonCell(int w, int h, State state, const Icon& icon, bool on, Rgb lamp) {
  Canvas c(w, h);
  const float r = h >= 30 ? 7.0f : 6.0f;
  // The face sits one pixel in from the cell so its rounded corners are cut away cleanly.
  const float x0 = 1, y0 = 1, x1 = w - 1.0f, y1 = h - 1.0f;
  const bool disabled = state == State::Disabled;
  Rgb top = kFaceTop, bottom = kFaceBottom;
  if (state == State::Hover) top = kFaceHoverTop, bottom = kFaceHoverBottom;
  if (state == State::Pressed) top = kFacePressedTop, bottom = kFacePressedBottom;
  if (disabled) top = kFaceDisabledTop, bottom = kFaceDisabledBottom;
  c.fill(roundRect(x0, y0, x1, y1, r), solid(kFaceEdge));
  c.fill(roundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1), vertical(y0, top, y1, bottom));
  if (state == State::Normal || state == State::Hover)  // light falls on a raised face's rim
    c.fill(minus(roundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1),
                 roundRect(x0 + 1, y0 + 2, x1 - 1, y1 - 1, r - 1)),
           solid(kPanelHighlight), state == State::Hover ? 0.9f : 0.6f);
  if (state == State::Hover)
    c.fill(minus(roundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1),
                 roundRect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, r - 2)),
           solid(kAccent), 0.35f);
  // A disabled cell's icon and lamp are drawn apart and drained before they go on the face.
  Canvas glyph(disabled ? w : 0, disabled ? h : 0);
  Canvas& ink = disabled ? glyph : c;
  Rgb colour = state == State::Hover ? kIconHover : state == State::Pressed ? kAccent : kIcon;
  if (on) {
    // The switched-on row carries a lit bar along its bottom edge.
    ink.fill(roundRect(w / 2.0f - 7, y1 - 4.5f, w / 2.0f + 7, y1 - 2.5f, 1), solid(lamp),
             state == State::Pressed ? 0.7f : 1.0f);
  }
  const float dy = state == State::Pressed ? 1.0f : 0.0f;
  const float cy = (on ? h / 2.0f - 1.5f : h / 2.0f) + dy;
  icon(ink, w / 2.0f, cy, solid(colour), on);
  if (disabled) {
    const Rgb face = mix(top, bottom, 0.5f);
    drainToUnavailable(glyph, face);
    c.draw(glyph, 0, 0);
  }
  return c;
}

Picture buttonStrip(int w, int h, const Icon& icon, Rgb key, const Picture& backdrop, int atX,
                    int atY, const StripLayout& layout) {
  const int rows = layout.isSwitch ? 2 : 1;
  std::vector<State> columns(std::begin(kStates), std::end(kStates));
  if (layout.disabledColumn) columns.push_back(State::Disabled);
  Picture strip;
  strip.width = w * int(columns.size());
  strip.height = h * rows;
  strip.bgr.assign(size_t(strip.width) * strip.height * 3, 0);
  for (int row = 0; row < rows; ++row)
    for (size_t col = 0; col < columns.size(); ++col) {
      Canvas cell = buttonCell(w, h, columns[col], icon, row == 1, layout.lamp);
      strip.paste(flatten(cell, key, &backdrop, atX, atY), int(col) * w, row * h);
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
