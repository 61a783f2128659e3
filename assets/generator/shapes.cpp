#include "assets/generator/shapes.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace assets {
namespace {

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Distance from p to the segment a-b.
float SegmentDistance(Point p, Point a, Point b) {
  const float dx = b.x - a.x, dy = b.y - a.y;
  const float len2 = dx * dx + dy * dy;
  const float t = len2 > 0 ? Clamp01(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2) : 0.0f;
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Slope of a curve, for turning a vertical distance into a perpendicular one.
float Slope(const std::function<float(float)>& f, float x) { return (f(x + 0.5f) - f(x - 0.5f)); }

std::vector<float> GaussianKernel(float sigma) {
  const int radius = std::max(1, static_cast<int>(std::ceil(sigma * 3.0f)));
  std::vector<float> k(2 * radius + 1);
  float sum = 0;
  for (int i = -radius; i <= radius; ++i) sum += k[i + radius] = std::exp(-(i * i) / (2 * sigma * sigma));
  for (float& v : k) v /= sum;
  return k;
}

}  // namespace

Sdf Box(float left, float top, float right, float bottom, float radius) {
  const float cx = (left + right) / 2, cy = (top + bottom) / 2;
  const float hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
  return [=](float x, float y) {
    const float qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
  };
}

Sdf Circle(float cx, float cy, float radius) {
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) - radius; };
}

Sdf Polygon(std::vector<Point> points) {
  return [pts = std::move(points)](float x, float y) {
    const Point p{x, y};
    float best = 1e30f;
    bool inside = false;
    for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      best = std::min(best, SegmentDistance(p, pts[j], pts[i]));
      // Even-odd crossing test on a ray to the right.
      if ((pts[i].y > y) != (pts[j].y > y) &&
          x < (pts[j].x - pts[i].x) * (y - pts[i].y) / (pts[j].y - pts[i].y) + pts[i].x)
        inside = !inside;
    }
    return inside ? -best : best;
  };
}

Sdf Band(std::function<float(float)> upper, std::function<float(float)> lower) {
  return [=](float x, float y) {
    const float du = (upper(x) - y) / std::sqrt(1 + Slope(upper, x) * Slope(upper, x));
    const float dl = (y - lower(x)) / std::sqrt(1 + Slope(lower, x) * Slope(lower, x));
    return std::max(du, dl);
  };
}

Sdf CurveStroke(std::function<float(float)> f, float width) {
  return [=](float x, float y) {
    const float s = Slope(f, x);
    return std::abs(y - f(x)) / std::sqrt(1 + s * s) - width / 2;
  };
}

Sdf Union(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}
Sdf Intersect(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}
Sdf Subtract(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Mask Rasterise(const Sdf& shape, int width, int height) {
  Mask m(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) m.at(x, y) = Clamp01(0.5f - shape(x + 0.5f, y + 0.5f));
  return m;
}

Mask Blur(const Mask& mask, float sigma) {
  const std::vector<float> k = GaussianKernel(sigma);
  const int r = static_cast<int>(k.size() / 2);
  Mask across(mask.width, mask.height), out(mask.width, mask.height);
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) {
      float s = 0;
      for (int i = -r; i <= r; ++i) s += k[i + r] * mask.Sample(x + i, y);
      across.at(x, y) = s;
    }
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) {
      float s = 0;
      for (int i = -r; i <= r; ++i) s += k[i + r] * across.Sample(x, y + i);
      out.at(x, y) = s;
    }
  return out;
}

Mask Grow(const Mask& mask, float radius) {
  const int r = static_cast<int>(std::ceil(radius + 0.5f));
  Mask out(mask.width, mask.height);
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) {
      float v = 0;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
          const float reach = Clamp01(radius + 0.5f - std::hypot(static_cast<float>(dx), static_cast<float>(dy)));
          v = std::max(v, mask.Sample(x + dx, y + dy) * reach);
        }
      out.at(x, y) = v;
    }
  return out;
}

Mask Shift(const Mask& mask, int dx, int dy) {
  Mask out(mask.width, mask.height);
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) out.at(x, y) = mask.Sample(x - dx, y - dy);
  return out;
}

Mask Scale(Mask mask, float factor) {
  for (float& v : mask.values) v = Clamp01(v * factor);
  return mask;
}

Mask Subtract(Mask a, const Mask& b) {
  for (std::size_t i = 0; i < a.values.size() && i < b.values.size(); ++i) a.values[i] *= 1.0f - b.values[i];
  return a;
}

Canvas Fill(Canvas canvas, const Sdf& shape, const Paint& paint) {
  const Mask mask = Rasterise(shape, canvas.width, canvas.height);
  return DrawMask(std::move(canvas), mask, 0, 0, paint);
}

}  // namespace assets
