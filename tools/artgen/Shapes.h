// Inside-tests for the shapes the artwork is drawn from.
#pragma once
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "Canvas.h"

namespace artgen {

struct Point {
  float x, y;
};

// A rectangle from (x0, y0) to (x1, y1) with corners rounded by r (per corner: tl, tr, br, bl).
inline Shape roundRect(float x0, float y0, float x1, float y1, float tl, float tr, float br,
                       float bl) {
  return [=](float x, float y) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    auto outsideCorner = [&](float cx, float cy, float r) {
      return std::hypot(x - cx, y - cy) > r;
    };
    if (tl > 0 && x < x0 + tl && y < y0 + tl) return !outsideCorner(x0 + tl, y0 + tl, tl);
    if (tr > 0 && x > x1 - tr && y < y0 + tr) return !outsideCorner(x1 - tr, y0 + tr, tr);
    if (br > 0 && x > x1 - br && y > y1 - br) return !outsideCorner(x1 - br, y1 - br, br);
    if (bl > 0 && x < x0 + bl && y > y1 - bl) return !outsideCorner(x0 + bl, y1 - bl, bl);
    return true;
  };
}

inline Shape roundRect(float x0, float y0, float x1, float y1, float r) {
  return roundRect(x0, y0, x1, y1, r, r, r, r);
}

inline Shape rect(float x0, float y0, float x1, float y1) { return roundRect(x0, y0, x1, y1, 0); }

inline Shape circle(float cx, float cy, float r) {
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) <= r; };
}

inline Shape ring(float cx, float cy, float inner, float outer) {
  return [=](float x, float y) {
    float d = std::hypot(x - cx, y - cy);
    return d >= inner && d <= outer;
  };
}

// A stroke of width w from a to b with round ends.
inline Shape line(Point a, Point b, float w) {
  return [=](float x, float y) {
    float dx = b.x - a.x, dy = b.y - a.y;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / len2, 0.0f, 1.0f) : 0;
    return std::hypot(x - (a.x + t * dx), y - (a.y + t * dy)) <= w / 2;
  };
}

// A polygon by the even-odd rule.
inline Shape polygon(std::vector<Point> pts) {
  return [pts = std::move(pts)](float x, float y) {
    bool in = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      const Point& a = pts[i];
      const Point& b = pts[j];
      if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
  };
}

// A polygon whose corners are rounded by r: the set of points within r of the polygon shrunk
// by r, approximated by testing the polygon and the distance to its edges.
inline Shape softPolygon(std::vector<Point> pts, float r) {
  Shape inside = polygon(pts);
  return [=](float x, float y) {
    if (!inside(x, y)) return false;
    // Distance to the nearest edge; points nearer than r to two edges meeting at a sharp
    // corner are trimmed so the corner reads rounded.
    int near = 0;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      float dx = pts[i].x - pts[j].x, dy = pts[i].y - pts[j].y;
      float len2 = dx * dx + dy * dy;
      float t = std::clamp(((x - pts[j].x) * dx + (y - pts[j].y) * dy) / len2, 0.0f, 1.0f);
      if (std::hypot(x - (pts[j].x + t * dx), y - (pts[j].y + t * dy)) < r * 0.45f) ++near;
    }
    return near < 2;
  };
}

inline Shape both(Shape a, Shape b) {
  return [=](float x, float y) { return a(x, y) && b(x, y); };
}
inline Shape either(Shape a, Shape b) {
  return [=](float x, float y) { return a(x, y) || b(x, y); };
}
inline Shape minus(Shape a, Shape b) {
  return [=](float x, float y) { return a(x, y) && !b(x, y); };
}
inline Shape moved(Shape a, float dx, float dy) {
  return [=](float x, float y) { return a(x - dx, y - dy); };
}

}  // namespace artgen
