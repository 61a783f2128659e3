#pragma once
// Rectangles of client pixels: a control's place, a part to draw afresh.

namespace platform {

// [x, x + w) by [y, y + h); empty when a side is not positive.
struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;

  bool Empty() const { return w <= 0 || h <= 0; }
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
  PixelRect Intersect(const PixelRect& o) const;
  PixelRect Union(const PixelRect& o) const;  // the least rectangle holding both; an empty one adds nothing
  bool operator==(const PixelRect&) const = default;
};

}  // namespace platform
