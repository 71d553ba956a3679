// The button icons, each drawn around a centre point in a box of about 16 pixels.
#include <cmath>
#include <numbers>

#include "Artwork.h"
#include "Theme.h"

namespace artgen::icons {

using theme::kRecord;
using theme::kRecordDim;

void info(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  c.fill(circle(cx, cy - 5.5f, 1.7f), ink);
  c.fill(roundRect(cx - 1.4f, cy - 2.5f, cx + 1.4f, cy + 6.5f, 0.8f), ink);
}

void compact(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  c.fill(softPolygon({{cx - 6, cy - 3.5f}, {cx + 6, cy - 3.5f}, {cx, cy + 4}}, 1.5f), ink);
}

void fullScreen(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  c.fill(softPolygon({{cx - 6, cy + 3.5f}, {cx + 6, cy + 3.5f}, {cx, cy - 4}}, 1.5f), ink);
}

void close(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  c.fill(either(line({cx - 4.5f, cy - 4.5f}, {cx + 4.5f, cy + 4.5f}, 2.4f),
                line({cx + 4.5f, cy - 4.5f}, {cx - 4.5f, cy + 4.5f}, 2.4f)),
         ink);
}

void gear(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  Shape teeth = [=](float x, float y) {
    float a = std::atan2(y - cy, x - cx);
    float d = std::hypot(x - cx, y - cy);
    // Eight teeth: the outline swings between 5.6 and 7.6 pixels from the hub.
    float phase = std::cos(a * 8);
    float edge = phase > 0.25f ? 7.6f : 5.8f;
    return d <= edge;
  };
  c.fill(minus(teeth, circle(cx, cy, 2.6f)), ink);
}

void camera(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  Shape body = roundRect(cx - 8, cy - 4.5f, cx + 8, cy + 6.5f, 2);
  Shape hump = roundRect(cx - 3.5f, cy - 7, cx + 3.5f, cy - 3, 1.2f);
  c.fill(minus(either(body, hump), ring(cx, cy + 1, 2.2f, 3.9f)), ink);
  c.fill(circle(cx + 5.6f, cy - 2.1f, 0.9f), solid(theme::kFaceEdge), 0.8f);
}

void folder(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  Shape tab = roundRect(cx - 8, cy - 6, cx - 1.5f, cy - 2, 1.2f);
  Shape back = roundRect(cx - 8, cy - 4, cx + 8, cy + 6, 1.5f);
  c.fill(either(tab, back), ink, 0.55f);
  c.fill(softPolygon({{cx - 8, cy + 6}, {cx - 5.5f, cy - 1.5f}, {cx + 9.5f, cy - 1.5f},
                      {cx + 7.5f, cy + 6}},
                     1.0f),
         ink);
}

void play(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  c.fill(softPolygon({{cx - 4, cy - 6.5f}, {cx + 6.5f, cy}, {cx - 4, cy + 6.5f}}, 1.6f), ink);
}

void pause(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  c.fill(either(roundRect(cx - 5.5f, cy - 6, cx - 1.5f, cy + 6, 1),
                roundRect(cx + 1.5f, cy - 6, cx + 5.5f, cy + 6, 1)),
         ink);
}

void stop(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  c.fill(roundRect(cx - 5.5f, cy - 5.5f, cx + 5.5f, cy + 5.5f, 1.5f), ink);
}

void speaker(Canvas& c, float cx, float cy, const Paint& ink, bool on) {
  float x = cx - 3;  // the speaker leans left, its sound to the right
  c.fill(either(roundRect(x - 5, cy - 2.8f, x - 1, cy + 2.8f, 0.8f),
                softPolygon({{x - 1.5f, cy - 2.8f}, {x + 4, cy - 7}, {x + 4, cy + 7},
                             {x - 1.5f, cy + 2.8f}},
                            1.0f)),
         ink);
  if (on) {
    auto arc = [=](float r) {
      return both(ring(x + 4, cy, r - 0.9f, r + 0.9f),
                  [=](float px, float py) { return px - (x + 4) > std::fabs(py - cy) * 0.7f; });
    };
    c.fill(either(arc(4.5f), arc(8.0f)), solid(theme::kAccent));
  } else {
    c.fill(either(line({x + 7, cy - 2.5f}, {x + 12, cy + 2.5f}, 1.8f),
                  line({x + 12, cy - 2.5f}, {x + 7, cy + 2.5f}, 1.8f)),
           ink, 0.75f);
  }
}

void record(Canvas& c, float cx, float cy, const Paint& ink, bool on) {
  if (on) {
    c.fill(circle(cx, cy, 8.0f), solid(kRecord), 0.25f);  // a soft glow round the lit mark
    c.fill(circle(cx, cy, 6.0f), radial(cx - 1.5f, cy - 1.5f, 7, rgb(255, 120, 110), kRecord));
  } else {
    c.fill(ring(cx, cy, 4.6f, 6.6f), ink);
    c.fill(circle(cx, cy, 3.4f), solid(kRecordDim));
  }
}

void film(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  Shape strip = roundRect(cx - 6.5f, cy - 8, cx + 6.5f, cy + 8, 1.2f);
  Shape frame = rect(cx - 3, cy - 5, cx + 3, cy + 5);
  Shape holes = [=](float x, float y) {
    float col = std::fabs(x - cx);
    if (col < 4.4f || col > 5.6f) return false;
    float row = std::fmod(y - (cy - 8) + 100, 3.2f);
    return row > 1.0f && row < 2.3f;
  };
  c.fill(minus(minus(strip, frame), holes), ink);
  c.fill(rect(cx - 3, cy - 0.4f, cx + 3, cy + 0.4f), ink, 0.7f);
}

void sliders(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  const float knobs[3] = {-3.0f, 3.5f, -0.5f};
  for (int i = 0; i < 3; ++i) {
    float x = cx - 5.5f + i * 5.5f;
    c.fill(roundRect(x - 0.7f, cy - 7, x + 0.7f, cy + 7, 0.7f), ink, 0.6f);
    c.fill(roundRect(x - 2.4f, cy + knobs[i] - 1.6f, x + 2.4f, cy + knobs[i] + 1.6f, 1), ink);
  }
}

void compress(Canvas& c, float cx, float cy, const Paint& ink, bool) {
  // Two plates pressing down on a block, with the arrow of the press.
  c.fill(roundRect(cx - 7, cy - 8, cx + 7, cy - 6, 0.8f), ink);
  c.fill(either(rect(cx - 1, cy - 6, cx + 1, cy - 1.5f),
                softPolygon({{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 2.5f}}, 0.8f)),
         ink);
  c.fill(roundRect(cx - 7, cy + 4, cx + 7, cy + 8, 1), ink, 0.8f);
}

}  // namespace artgen::icons
