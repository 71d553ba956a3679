// A small anti-aliased painter for the program's artwork: shapes are inside-tests sampled on
// a sub-pixel grid, painted in order onto a premultiplied RGBA picture.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace artgen {

struct Rgb {
  float r = 0, g = 0, b = 0;
};
Rgb rgb(int r, int g, int b);
Rgb mix(Rgb a, Rgb b, float t);
Rgb lighter(Rgb c, float amount);

// Where a point lies: true inside the shape.
using Shape = std::function<bool(float x, float y)>;
// The colour of a paint at a point (plain colours and gradients).
using Paint = std::function<Rgb(float x, float y)>;

Paint solid(Rgb c);
Paint vertical(float y0, Rgb top, float y1, Rgb bottom);
Paint radial(float cx, float cy, float r, Rgb centre, Rgb edge);

struct Pixel {
  float r = 0, g = 0, b = 0, a = 0;  // premultiplied
};

class Canvas {
 public:
  Canvas(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }

  // Paints a shape with a paint; opacity scales its coverage.
  void fill(const Shape& shape, const Paint& paint, float opacity = 1.0f);
  // Paints a coverage mask (0..1 per pixel) at an offset.
  void fillMask(const std::vector<float>& mask, int maskWidth, int maskHeight, int x, int y,
                const Paint& paint, float opacity = 1.0f);
  // Draws another canvas over this one at an offset.
  void draw(const Canvas& other, int x, int y, float opacity = 1.0f);

  const Pixel& at(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
  Pixel& at(int x, int y) { return pixels_[size_t(y) * width_ + x]; }

 private:
  void blend(int x, int y, Rgb c, float coverage);
  int width_, height_;
  std::vector<Pixel> pixels_;
};

// A finished 24-bit picture in blue, green, red byte order, top row first.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;
  void set(int x, int y, Rgb c);
  Rgb get(int x, int y) const;
  void paste(const Picture& cell, int x, int y);
};

// Flattens a canvas: pixels the shape does not reach become the key colour (cut away by the
// control's outline); partly covered edge pixels are smoothed against what lies beneath them
// (the backdrop, a picture of the parent at the control's place), never against the key.
Picture flatten(const Canvas& canvas, Rgb key, const Picture* backdrop = nullptr, int backdropX = 0,
                int backdropY = 0, float cutBelow = 0.02f);
// Flattens over an opaque picture (no key colour at all).
Picture flattenOver(const Canvas& canvas, const Picture& backdrop, int backdropX, int backdropY);

void writeBmp(const Picture& picture, const std::string& path);

}  // namespace artgen
