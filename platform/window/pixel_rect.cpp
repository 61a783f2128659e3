#include "platform/window/pixel_rect.h"

#include <algorithm>

namespace platform {

PixelRect PixelRect::Intersect(const PixelRect& o) const {
  const int x0 = std::max(x, o.x), y0 = std::max(y, o.y);
  const int x1 = std::min(x + w, o.x + o.w), y1 = std::min(y + h, o.y + o.h);
  return x1 > x0 && y1 > y0 ? PixelRect{x0, y0, x1 - x0, y1 - y0} : PixelRect{};
}

PixelRect PixelRect::Union(const PixelRect& o) const {
  if (Empty()) return o.Empty() ? PixelRect{} : o;
  if (o.Empty()) return *this;
  const int x0 = std::min(x, o.x), y0 = std::min(y, o.y);
  const int x1 = std::max(x + w, o.x + o.w), y1 = std::max(y + h, o.y + o.h);
  return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace platform
