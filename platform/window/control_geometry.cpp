#include "platform/window/control_geometry.h"

#include <algorithm>
#include <memory>
#include <string>

#include "pictures/ole_object.h"
#include "platform/error_text.h"

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

namespace {

Picture DecodeDesignPicture(const ControlLayout& control, std::span<const std::uint8_t> bytes) {
  auto decoded = pictures::DecodePicture(bytes);
  if (auto* error = std::get_if<pictures::PictureError>(&decoded))
    throw RuntimeError("Load", std::string(control.name), CauseOf(*error));
  return Picture(std::make_shared<const pictures::Image>(std::move(std::get<pictures::Image>(decoded))));
}

}  // namespace

ControlSurface DesignSurface(const ControlLayout& control, std::vector<std::uint8_t>& object_scratch) {
  ControlSurface s;
  s.area = {PixelsFromTwips(control.left), PixelsFromTwips(control.top), PixelsFromTwips(control.width),
            PixelsFromTwips(control.height)};
  if (control.picture == nullptr) return s;
  if (control.kind == ControlKind::OleContainer) {
    auto bitmap = pictures::ExtractObjectBitmap(control.picture(), object_scratch);
    if (std::holds_alternative<pictures::ObjectError>(bitmap))
      throw RuntimeError("Load", std::string(control.name), Cause::DamagedPictureObject);
    auto bytes = std::get<std::span<const std::uint8_t>>(bitmap);
    // The usual 24-bit background is drawn from where it lies, saving a decoded copy.
    s.bitmap = pictures::ViewBmp24(bytes);
    if (!s.bitmap) s.picture = DecodeDesignPicture(control, bytes);
    return s;
  }
  s.picture = DecodeDesignPicture(control, control.picture());
  s.area.w = s.picture.image()->width;
  s.area.h = s.picture.image()->height;
  return s;
}

PixelRect AssignPicture(ControlSurface& control, const Picture& picture) {
  if (control.picture == picture) return {};
  const PixelRect before = control.picture.empty() ? PixelRect{} : control.area;
  control.picture = picture;
  if (const pictures::Image* img = picture.image(); img != nullptr) {
    control.area.w = img->width;
    control.area.h = img->height;
  }
  return before.Union(picture.empty() ? PixelRect{} : control.area);
}

std::int16_t ButtonArgument(const HeldButtons& held) {
  return static_cast<std::int16_t>((held.left ? kLeftButton : 0) | (held.right ? kRightButton : 0) |
                                   (held.middle ? kMiddleButton : 0));
}

std::int16_t ShiftArgument(const HeldKeys& held) {
  return static_cast<std::int16_t>((held.shift ? 1 : 0) | (held.control ? 2 : 0) | (held.alt ? 4 : 0));
}

MouseArgs ArgsAt(int x, int y, std::int16_t button, std::int16_t shift) {
  return MouseArgs{button, shift, TwipsFromPixels(x), TwipsFromPixels(y)};
}

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

}  // namespace platform
