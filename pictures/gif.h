#pragma once
// GIF reader over a byte span, through giflib; the Windows build decodes the
// pixels with the system's picture loader instead (pictures/win32_gif.cpp)
// and the same contract. Shows the first image composed
// on its logical screen: pixels the image does not cover and pixels of the
// transparent index are 0x00000000. Strict: the image must lie inside the
// screen and every index inside its colour table (else BadField), and the
// file must run to its trailer (else Truncated).

#include <cstdint>
#include <span>

#include "pictures/gif_structure.h"
#include "pictures/picture.h"

namespace pictures {

PictureResult DecodeGif(std::span<const std::uint8_t> bytes);

}  // namespace pictures
