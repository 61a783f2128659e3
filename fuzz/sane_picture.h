#pragma once
// What the readers promise about everything they return, checked by the fuzz
// targets and by the regression tests alike: sides within the caps, one pixel
// per position, alpha 0 or 255 with transparent pixels all zero, hotspots and
// animation steps inside their frames. An empty string means sane.

#include <cstddef>
#include <string>

#include "pictures/cursor_file.h"
#include "pictures/picture.h"

namespace fuzz {

inline std::string ImageProblem(const pictures::Image& image, int max_side) {
  if (image.width <= 0 || image.height <= 0 || image.width > max_side || image.height > max_side)
    return "size " + std::to_string(image.width) + "x" + std::to_string(image.height) + " outside the cap";
  if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
    return "pixel count " + std::to_string(image.pixels.size()) + " does not match the size";
  for (std::uint32_t p : image.pixels) {
    const std::uint32_t alpha = p >> 24;
    if (alpha != 0 && alpha != 255) return "alpha " + std::to_string(alpha) + " is neither 0 nor 255";
    if (alpha == 0 && p != 0) return "a transparent pixel carries colour";
  }
  return {};
}

inline std::string PictureProblem(const pictures::PictureResult& result) {
  const auto* image = std::get_if<pictures::Image>(&result);
  return image != nullptr ? ImageProblem(*image, pictures::kMaxPictureSide) : std::string{};
}

inline std::string CursorProblem(const pictures::CursorResult& result) {
  const auto* file = std::get_if<pictures::CursorFile>(&result);
  if (file == nullptr) return {};
  if (file->frames.empty() || file->frames.size() > pictures::kMaxCursorFrames) return "frame count out of range";
  if (file->steps.empty() || file->steps.size() > pictures::kMaxCursorSteps) return "step count out of range";
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

}  // namespace fuzz
