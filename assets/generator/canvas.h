#pragma once
// The drawing surface of the asset generator: floating-point RGBA pixels in
// sRGB, with the few compositing steps every picture is built from.

#include <cstdint>
#include <functional>
#include <vector>

#include "pictures/picture.h"

namespace assets {

// Channels 0..1, straight (not premultiplied) alpha.
struct Rgba {
  float r = 0, g = 0, b = 0, a = 1;
};

// An 8-bit colour written as the designer would: Rgb8(255, 128, 0).
constexpr Rgba Rgb8(int r, int g, int b, float a = 1.0f) {
  return {r / 255.0f, g / 255.0f, b / 255.0f, a};
}

struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;  // rows top-down

  Canvas() = default;
  Canvas(int w, int h, Rgba fill);
  Rgba& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  const Rgba& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Coverage of a pixel, 0..1; one value per pixel, rows top-down.
struct Mask {
  int width = 0;
  int height = 0;
  std::vector<float> values;

  Mask() = default;
  Mask(int w, int h) : width(w), height(h), values(static_cast<std::size_t>(w) * h, 0.0f) {}
  float& at(int x, int y) { return values[static_cast<std::size_t>(y) * width + x]; }
  float at(int x, int y) const { return values[static_cast<std::size_t>(y) * width + x]; }
  // Zero outside the mask, so callers may read past its edges.
  float Sample(int x, int y) const {
    return (x < 0 || y < 0 || x >= width || y >= height) ? 0.0f : at(x, y);
  }
};

// Colour of a paint at the centre of pixel (x, y).
using Paint = std::function<Rgba(float x, float y)>;
Paint Solid(Rgba colour);
// Linear gradient from colour a at (x0, y0) to b at (x1, y1), clamped beyond.
Paint Linear(float x0, float y0, Rgba a, float x1, float y1, Rgba b);
// Radial gradient: a at the centre, b at `radius` and beyond.
Paint Radial(float cx, float cy, float radius, Rgba a, Rgba b);

// Paints the mask's coverage onto the canvas with its top-left at (left, top).
Canvas DrawMask(Canvas canvas, const Mask& mask, int left, int top, const Paint& paint);

// Cuts a rectangle out of a canvas; the rectangle must lie inside it.
Canvas Crop(const Canvas& canvas, int left, int top, int width, int height);

// Multiplies every colour channel by `factor` inside the mask (placed at 0, 0).
Canvas Shade(Canvas canvas, const Mask& mask, float factor);

// 8-bit rounding; alpha below one half becomes transparent.
pictures::Image ToImage(const Canvas& canvas);

}  // namespace assets
