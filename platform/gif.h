#pragma once
// GIF reader over a byte span, through giflib. Shows the first image composed
// on its logical screen: pixels the image does not cover and pixels of the
// transparent index are 0x00000000. Strict: the image must lie inside the
// screen and every index inside its colour table (else BadField), and the
// file must run to its trailer (else Truncated).

#include <cstdint>
#include <span>

#include "platform/picture.h"

namespace platform {

bool IsGif(std::span<const std::uint8_t> bytes);  // "GIF87a" or "GIF89a"

PictureResult DecodeGif(std::span<const std::uint8_t> bytes);

}  // namespace platform
