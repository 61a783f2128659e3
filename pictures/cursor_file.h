#pragma once
// Reader for pointer files: a plain cursor (.cur, also an .ico) or an
// animated cursor (RIFF "ACON": anih, optional rate and seq chunks, LIST "fram").

#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "pictures/picture.h"

namespace pictures {

// More frames or steps than any real pointer has; a file announcing more is refused.
inline constexpr std::uint32_t kMaxCursorFrames = 256;
inline constexpr std::uint32_t kMaxCursorSteps = 1024;
inline constexpr int kMaxCursorSide = 256;

struct CursorFrame {
  Image image;  // alpha 0 where the AND mask is set
  int hotspot_x = 0;
  int hotspot_y = 0;
};

struct CursorStep {
  std::uint32_t frame = 0;    // index into CursorFile::frames
  std::uint32_t jiffies = 0;  // display time in 1/60 s
};

struct CursorFile {
  std::vector<CursorFrame> frames;
  std::vector<CursorStep> steps;  // a still cursor has one step, of 0 jiffies
};

using CursorResult = std::variant<CursorFile, PictureError>;

CursorResult DecodeCursorFile(std::span<const std::uint8_t> bytes);

}  // namespace pictures
