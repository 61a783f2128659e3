#pragma once
// Anti-aliased shapes as signed distance functions, and the mask operations
// (blur, grow) that shadows and outlines are made of.

#include <functional>
#include <vector>

#include "assets/generator/canvas.h"

namespace assets {

struct Point {
  float x = 0, y = 0;
};

// Signed distance in pixels from a point to a shape's edge: negative inside.
using Sdf = std::function<float(float x, float y)>;

Sdf Box(float left, float top, float right, float bottom, float radius = 0.0f);
Sdf Circle(float cx, float cy, float radius);
Sdf Polygon(std::vector<Point> points);  // any simple polygon, either winding
// Region between two curves y = upper(x) and y = lower(x), upper above lower.
Sdf Band(std::function<float(float)> upper, std::function<float(float)> lower);
// Stroke of width `width` centred on the curve y = f(x).
Sdf CurveStroke(std::function<float(float)> f, float width);

Sdf Union(Sdf a, Sdf b);
Sdf Intersect(Sdf a, Sdf b);
Sdf Subtract(Sdf a, Sdf b);  // a without b

// Coverage of each pixel by the shape, from the distance at its centre.
Mask Rasterise(const Sdf& shape, int width, int height);

Mask Blur(const Mask& mask, float sigma);  // Gaussian, same size; edges fade to zero
Mask Grow(const Mask& mask, float radius);  // anti-aliased dilation by a disc
Mask Shift(const Mask& mask, int dx, int dy);
Mask Scale(Mask mask, float factor);
Mask Subtract(Mask a, const Mask& b);  // a * (1 - b)

// Fills a shape on the canvas with a paint.
Canvas Fill(Canvas canvas, const Sdf& shape, const Paint& paint);

}  // namespace assets
