#include "assets/generator/canvas.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace assets {
namespace {

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

std::uint8_t To8(float v) { return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255.0f)); }

Rgba Mix(const Rgba& a, const Rgba& b, float t) {  // t = 0 gives a, 1 gives b
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// Source-over of one colour onto a pixel, weighted by coverage.
void BlendPixel(Canvas& canvas, int x, int y, const Rgba& colour, float coverage) {
  if (!canvas.Contains(x, y)) return;
  const float src_a = Clamp01(colour.a * coverage);
  if (src_a <= 0.0f) return;
  Rgba& dst = canvas.at(x, y);
  const float out_a = src_a + dst.a * (1.0f - src_a);
  if (out_a <= 0.0f) return;
  const float keep = dst.a * (1.0f - src_a);
  dst.r = (colour.r * src_a + dst.r * keep) / out_a;
  dst.g = (colour.g * src_a + dst.g * keep) / out_a;
  dst.b = (colour.b * src_a + dst.b * keep) / out_a;
  dst.a = out_a;
}

}  // namespace

Canvas::Canvas(int w, int h, Rgba fill)
    : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}

Paint Solid(Rgba colour) {
  return [colour](float, float) { return colour; };
}

Paint Linear(float x0, float y0, Rgba a, float x1, float y1, Rgba b) {
  const float dx = x1 - x0, dy = y1 - y0;
  const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
  return [=](float x, float y) { return Mix(a, b, Clamp01(((x - x0) * dx + (y - y0) * dy) / len2)); };
}

Paint Radial(float cx, float cy, float radius, Rgba a, Rgba b) {
  return [=](float x, float y) { return Mix(a, b, Clamp01(std::hypot(x - cx, y - cy) / radius)); };
}

Canvas DrawMask(Canvas canvas, const Mask& mask, int left, int top, const Paint& paint) {
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      const float cover = mask.at(x, y);
      if (cover <= 0.0f) continue;
      const int cx = left + x, cy = top + y;
      BlendPixel(canvas, cx, cy, paint(cx + 0.5f, cy + 0.5f), cover);
    }
  }
  return canvas;
}

Canvas Crop(const Canvas& canvas, int left, int top, int width, int height) {
  assert(left >= 0 && top >= 0 && left + width <= canvas.width && top + height <= canvas.height &&
         "crop rectangle must lie inside the canvas");
  Canvas out(width, height, Rgba{});
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.at(x, y) = canvas.at(left + x, top + y);
  return out;
}

Canvas Shade(Canvas canvas, const Mask& mask, float factor) {
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const float k = 1.0f + (factor - 1.0f) * mask.Sample(x, y);
      Rgba& p = canvas.at(x, y);
      p.r *= k;
      p.g *= k;
      p.b *= k;
    }
  }
  return canvas;
}

pictures::Image ToImage(const Canvas& canvas) {
  pictures::Image image{canvas.width, canvas.height, {}};
  image.pixels.reserve(canvas.pixels.size());
  for (const Rgba& p : canvas.pixels) {
    const std::uint32_t a = p.a < 0.5f ? 0u : 255u;
    image.pixels.push_back(a << 24 | std::uint32_t{To8(p.r)} << 16 | std::uint32_t{To8(p.g)} << 8 | To8(p.b));
  }
  return image;
}

}  // namespace assets
