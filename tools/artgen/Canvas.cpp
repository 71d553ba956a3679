#include "Canvas.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace artgen {

namespace {
// 5 x 5 samples a pixel: 26 levels of coverage, enough for edges that look smooth at 1:1.
constexpr int kSamples = 5;

uint8_t toByte(float v) { return uint8_t(std::clamp(std::lround(v * 255.0f), 0L, 255L)); }
}  // namespace

Rgb rgb(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

Rgb mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb lighter(Rgb c, float amount) { return mix(c, Rgb{1, 1, 1}, amount); }

Paint solid(Rgb c) {
  return [c](float, float) { return c; };
}

Paint vertical(float y0, Rgb top, float y1, Rgb bottom) {
  return [=](float, float y) {
    float t = y1 == y0 ? 0.0f : std::clamp((y - y0) / (y1 - y0), 0.0f, 1.0f);
    return mix(top, bottom, t);
  };
}

Paint radial(float cx, float cy, float r, Rgb centre, Rgb edge) {
  return [=](float x, float y) {
    float t = std::clamp(std::hypot(x - cx, y - cy) / r, 0.0f, 1.0f);
    return mix(centre, edge, t);
  };
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(size_t(width) * height) {}

void Canvas::blend(int x, int y, Rgb c, float coverage) {
  if (coverage <= 0) return;
  Pixel& p = at(x, y);
  float k = 1.0f - coverage;
  p.r = c.r * coverage + p.r * k;
  p.g = c.g * coverage + p.g * k;
  p.b = c.b * coverage + p.b * k;
  p.a = coverage + p.a * k;
}

void Canvas::fill(const Shape& shape, const Paint& paint, float opacity) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      int hits = 0;
      for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx)
          if (shape(x + (sx + 0.5f) / kSamples, y + (sy + 0.5f) / kSamples)) ++hits;
      if (hits)
        blend(x, y, paint(x + 0.5f, y + 0.5f), opacity * hits / float(kSamples * kSamples));
    }
}

void Canvas::fillMask(const std::vector<float>& mask, int maskWidth, int maskHeight, int x, int y,
                      const Paint& paint, float opacity) {
  for (int my = 0; my < maskHeight; ++my)
    for (int mx = 0; mx < maskWidth; ++mx) {
      int px = x + mx, py = y + my;
      if (px < 0 || py < 0 || px >= width_ || py >= height_) continue;
      float c = mask[size_t(my) * maskWidth + mx];
      if (c > 0) blend(px, py, paint(px + 0.5f, py + 0.5f), c * opacity);
    }
}

void Canvas::draw(const Canvas& other, int x, int y, float opacity) {
  for (int oy = 0; oy < other.height(); ++oy)
    for (int ox = 0; ox < other.width(); ++ox) {
      int px = x + ox, py = y + oy;
      if (px < 0 || py < 0 || px >= width_ || py >= height_) continue;
      const Pixel& s = other.at(ox, oy);
      if (s.a <= 0) continue;
      blend(px, py, Rgb{s.r / s.a, s.g / s.a, s.b / s.a}, s.a * opacity);
    }
}

void Picture::set(int x, int y, Rgb c) {
  uint8_t* p = &bgr[(size_t(y) * width + x) * 3];
  p[0] = toByte(c.b);
  p[1] = toByte(c.g);
  p[2] = toByte(c.r);
}

Rgb Picture::get(int x, int y) const {
  const uint8_t* p = &bgr[(size_t(y) * width + x) * 3];
  return rgb(p[2], p[1], p[0]);
}

void Picture::paste(const Picture& cell, int x, int y) {
  for (int cy = 0; cy < cell.height; ++cy)
    std::copy_n(&cell.bgr[size_t(cy) * cell.width * 3], cell.width * 3,
                &bgr[(size_t(y + cy) * width + x) * 3]);
}

static Picture blank(int w, int h) {
  Picture p;
  p.width = w;
  p.height = h;
  p.bgr.assign(size_t(w) * h * 3, 0);
  return p;
}

// A painted pixel that happens to equal the key colour would be cut away: move it one level.
static void avoidKey(Picture& p, int x, int y, Rgb key) {
  uint8_t* px = &p.bgr[(size_t(y) * p.width + x) * 3];
  if (px[0] == toByte(key.b) && px[1] == toByte(key.g) && px[2] == toByte(key.r))
    px[1] = px[1] > 0 ? px[1] - 1 : 1;
}

Picture flatten(const Canvas& canvas, Rgb key, const Picture* backdrop, int backdropX,
                int backdropY, float cutBelow) {
  Picture out = blank(canvas.width(), canvas.height());
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const Pixel& p = canvas.at(x, y);
      if (p.a < cutBelow) {
        out.set(x, y, key);
        continue;
      }
      Rgb own{p.r / p.a, p.g / p.a, p.b / p.a};
      // Over a known backdrop the edge is smoothed against it; a window's own outline has no
      // such backdrop (the desktop), so its edge pixels take the shape's own colour.
      Rgb c = backdrop ? mix(backdrop->get(backdropX + x, backdropY + y), own, p.a) : own;
      out.set(x, y, c);
      avoidKey(out, x, y, key);
    }
  return out;
}

Picture flattenOver(const Canvas& canvas, const Picture& backdrop, int backdropX, int backdropY) {
  Picture out = blank(canvas.width(), canvas.height());
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const Pixel& p = canvas.at(x, y);
      Rgb under = backdrop.get(backdropX + x, backdropY + y);
      Rgb own = p.a > 0 ? Rgb{p.r / p.a, p.g / p.a, p.b / p.a} : under;
      out.set(x, y, mix(under, own, p.a));
    }
  return out;
}

void writeBmp(const Picture& picture, const std::string& path) {
  const int rowBytes = (picture.width * 3 + 3) & ~3;
  const uint32_t imageSize = uint32_t(rowBytes) * picture.height;
  std::vector<uint8_t> file(54 + imageSize, 0);
  auto put16 = [&](size_t at, uint16_t v) { file[at] = v & 0xff; file[at + 1] = v >> 8; };
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = (v >> (8 * i)) & 0xff;
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, uint32_t(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(picture.width));
  put32(22, uint32_t(picture.height));  // bottom-up rows
  put16(26, 1);
  put16(28, 24);
  put32(34, imageSize);
  put32(38, 2835);
  put32(42, 2835);
  for (int y = 0; y < picture.height; ++y)
    std::copy_n(&picture.bgr[size_t(y) * picture.width * 3], picture.width * 3,
                &file[54 + size_t(picture.height - 1 - y) * rowBytes]);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace artgen
