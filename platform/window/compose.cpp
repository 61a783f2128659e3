#include "platform/window/compose.h"

#include <algorithm>

namespace platform {
namespace {

void Fill(Canvas canvas, const PixelRect& r, std::uint32_t colour) {
  for (int y = r.y; y < r.y + r.h; ++y)
    std::fill_n(canvas.pixels + static_cast<std::ptrdiff_t>(y) * canvas.width + r.x, r.w, colour);
}

void DrawControl(Canvas canvas, const ControlSurface& c, const PixelRect& r) {
  const pictures::Image* img = c.picture.image();
  if (img == nullptr && c.bitmap) {
    const PixelRect area = PixelRect{c.area.x, c.area.y, c.bitmap->width, c.bitmap->height}.Intersect(r);
    for (int y = area.y; y < area.y + area.h; ++y)
      c.bitmap->CopyRow(y - c.area.y, area.x - c.area.x, area.w,
                        canvas.pixels + static_cast<std::ptrdiff_t>(y) * canvas.width + area.x);
    return;
  }
  if (img == nullptr) return;
  const PixelRect area = PixelRect{c.area.x, c.area.y, img->width, img->height}.Intersect(r);
  for (int y = area.y; y < area.y + area.h; ++y) {
    const std::uint32_t* src =
        img->pixels.data() + static_cast<std::ptrdiff_t>(y - c.area.y) * img->width + (area.x - c.area.x);
    std::uint32_t* dst = canvas.pixels + static_cast<std::ptrdiff_t>(y) * canvas.width + area.x;
    for (int x = 0; x < area.w; ++x)
      if (src[x] >> 24) dst[x] = src[x];
  }
}

}  // namespace

void Compose(Canvas canvas, std::span<const ControlSurface* const> back_to_front, const PixelRect& requested) {
  const PixelRect r = requested.Intersect({0, 0, canvas.width, canvas.height});
  if (r.Empty()) return;
  bool covered = false;
  for (const ControlSurface* c : back_to_front)
    if (c->bitmap && c->picture.empty())
      covered |= PixelRect{c->area.x, c->area.y, c->bitmap->width, c->bitmap->height}.Intersect(r) == r;
  if (!covered) Fill(canvas, r, kWindowColour);
  for (const ControlSurface* c : back_to_front) DrawControl(canvas, *c, r);
}

void DrawFocusRing(Canvas canvas, const PixelRect& ring, const PixelRect& requested) {
  const PixelRect r = requested.Intersect(ring).Intersect({0, 0, canvas.width, canvas.height});
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) {
      const bool edge = x == ring.x || y == ring.y || x == ring.x + ring.w - 1 || y == ring.y + ring.h - 1;
      if (!edge || (x + y) % 2 != 0) continue;
      std::uint32_t& p = canvas.pixels[static_cast<std::ptrdiff_t>(y) * canvas.width + x];
      const std::uint32_t luma = ((p >> 16 & 0xFF) * 299 + (p >> 8 & 0xFF) * 587 + (p & 0xFF) * 114) / 1000;
      p = luma >= 128 ? 0xFF000000 : 0xFFFFFFFF;
    }
}

}  // namespace platform
