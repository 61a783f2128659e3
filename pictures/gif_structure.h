#pragma once
// The block structure of a GIF file, walked without decoding its pixels: the
// logical screen, the first image's place, and a check that every block lies
// inside the file and the file runs to its trailer. A picture decoder that
// is not ours (the system's) is only handed files that pass this walk.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

#include "pictures/picture.h"

namespace pictures {

bool IsGif(std::span<const std::uint8_t> bytes);  // "GIF87a" or "GIF89a"

struct GifStructure {
  int screen_width = 0, screen_height = 0;
  int left = 0, top = 0, width = 0, height = 0;  // the first image, inside the screen
  bool interlaced = false;
  int transparent_index = -1;  // from the last control extension before the image; -1: none
};

// NotAPicture: no signature, or no image before the trailer. Truncated: a block
// runs past the end, or no trailer. BadField: an unknown block, a control
// extension not of 4 bytes, an image outside the screen, no colour table, a
// code size outside 2..8. TooLarge: a side over kMaxPictureSide.
std::variant<GifStructure, PictureError> ReadGifStructure(std::span<const std::uint8_t> bytes);

// The blocks after the first image's data, from `at`: structure only, up to
// the trailer, so that a file cut short anywhere is refused rather than shown
// in part. Errors as above.
std::optional<PictureError> CheckGifBlocksAfterImage(std::span<const std::uint8_t> bytes, std::size_t at);

}  // namespace pictures
