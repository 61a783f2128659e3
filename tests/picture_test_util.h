#pragma once
// Shared by the picture, pointer-file and encoder tests: asymmetric test
// pictures and little-endian field access on encoded bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/encode.h"
#include "platform/picture.h"

namespace picture_test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kRed = 0xFFFF0000;
inline constexpr std::uint32_t kBlue = 0xFF0000FF;
inline constexpr std::uint32_t kWhite = 0xFFFFFFFF;
inline constexpr std::uint32_t kBlack = 0xFF000000;

// A red "F" on blue: no symmetry, so flips, transposes and channel swaps show.
// Any size from 3x3 up; the stem is column 1, the arms rows 1 and height/2.
inline bool InF(int x, int y, int width, int height) {
  if (y < 1 || y >= height - 1 || x < 1 || x >= width - 1) return false;
  return x == 1 || y == 1 || (y == height / 2 && x < width - 2);
}

inline platform::Image MakeF(int width, int height, std::uint32_t ink = kRed, std::uint32_t paper = kBlue) {
  platform::Image image{width, height, {}};
  image.pixels.reserve(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.pixels.push_back(InF(x, y, width, height) ? ink : paper);
  return image;
}

// The same "F" as palette indices 1 on 0, with a distinct third colour in the
// bottom-right corner so an off-by-one row or column shows too.
inline assets::IndexedImage MakeIndexedF(int width, int height) {
  assets::IndexedImage image{width, height, {}, {{0, 0, 255}, {255, 0, 0}, {0, 200, 0}}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.indices.push_back(x == width - 1 && y == height - 1 ? 2 : InF(x, y, width, height) ? 1 : 0);
  return image;
}

inline std::uint32_t Argb(assets::Rgb c) {
  return 0xFF000000u | static_cast<std::uint32_t>(c.r) << 16 | static_cast<std::uint32_t>(c.g) << 8 | c.b;
}

// The pixels an indexed picture shows, fully opaque.
inline platform::Image Expand(const assets::IndexedImage& indexed) {
  platform::Image image{indexed.width, indexed.height, {}};
  for (std::uint8_t i : indexed.indices) image.pixels.push_back(Argb(indexed.palette[i]));
  return image;
}

inline std::uint32_t U16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
inline std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }
inline void PutU16(Bytes& b, std::size_t at, std::uint32_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  PutU16(b, at, v);
  PutU16(b, at + 2, v >> 16);
}

}  // namespace picture_test
