#pragma once
// What the readers promise about everything they return, whatever the bytes:
// sides within the caps, one pixel per position, alpha 0 or 255 with clear
// pixels all zero, hotspots and steps inside their frames; the background's
// bitmap inside the object's bytes. The fuzz targets and the kept regression
// inputs go through the same checks; an empty string means sane.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pictures/cursor_file.h"
#include "pictures/dib.h"
#include "pictures/ole_object.h"

namespace fuzz {

using Bytes = std::span<const std::uint8_t>;

inline std::string ImageProblem(const pictures::Image& image, int max_side) {
  if (image.width <= 0 || image.height <= 0 || image.width > max_side || image.height > max_side)
    return "size " + std::to_string(image.width) + "x" + std::to_string(image.height) + " outside the cap";
  if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) return "pixel count";
  for (std::uint32_t p : image.pixels)
    if ((p >> 24 != 0 && p >> 24 != 255) || (p >> 24 == 0 && p != 0)) return "alpha neither clear nor opaque";
  return {};
}

inline std::string PictureProblem(Bytes bytes) {
  const pictures::PictureResult result = pictures::DecodePicture(bytes);
  const auto* image = std::get_if<pictures::Image>(&result);
  return image != nullptr ? ImageProblem(*image, pictures::kMaxPictureSide) : std::string{};
}

inline std::string CursorProblem(Bytes bytes) {
  const pictures::CursorResult result = pictures::DecodeCursorFile(bytes);
  const auto* file = std::get_if<pictures::CursorFile>(&result);
  if (file == nullptr) return {};
  if (file->frames.empty() || file->steps.empty()) return "no frame or no step";
  for (const pictures::CursorFrame& frame : file->frames) {
    if (std::string p = ImageProblem(frame.image, pictures::kMaxCursorSide); !p.empty()) return "frame: " + p;
    if (frame.hotspot_x < 0 || frame.hotspot_y < 0 || frame.hotspot_x >= frame.image.width ||
        frame.hotspot_y >= frame.image.height)
      return "hotspot outside its frame";
  }
  for (const pictures::CursorStep& step : file->steps)
    if (step.frame >= file->frames.size()) return "a step names a missing frame";
  return {};
}

// The object as the runtime shows the background: its bitmap viewed in place
// when it is a plain 24-bit one, every row read; otherwise decoded.
inline std::string ObjectProblem(Bytes bytes) {
  std::vector<std::uint8_t> scratch;
  const auto bitmap = pictures::ExtractObjectBitmap(bytes, scratch);
  const auto* found = std::get_if<Bytes>(&bitmap);
  if (found == nullptr) return {};
  const auto inside = [&](Bytes part, Bytes whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
  };
  if (!inside(*found, bytes) && !inside(*found, scratch)) return "bitmap outside the object and its copy";
  if (found->size() > bytes.size()) return "bitmap larger than the object";
  if (const auto view = pictures::ViewBmp24(*found)) {
    if (!inside(view->pixels, *found)) return "rows outside the bitmap";
    std::vector<std::uint32_t> row(static_cast<std::size_t>(view->width));
    for (int y = 0; y < view->height; ++y) view->CopyRow(y, 0, view->width, row.data());
    return {};
  }
  return PictureProblem(*found);
}

}  // namespace fuzz
