#include "platform/window/control_surface.h"

#include <memory>
#include <string>

#include "pictures/ole_object.h"
#include "platform/error_text.h"

namespace platform {
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
    if (std::holds_alternative<pictures::PictureError>(bitmap))
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

}  // namespace platform
