#pragma once
// Test pictures and byte helpers for the reader tests, and a writer for the
// bitmap layouts our own encoders never produce.

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "assets/encode.h"

namespace picture_test {

using Bytes = std::vector<std::uint8_t>;

// A red "F" on blue with a green bottom-right pixel: no symmetry, so flips,
// shifted rows and swapped channels all show. Any size from 1x1.
inline assets::IndexedImage MakeIndexedF(int width, int height) {
  assets::IndexedImage f{width, height, {}, {{0, 0, 255}, {255, 0, 0}, {0, 200, 0}}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool ink = x > 0 && y > 0 && x < width - 1 && y < height - 1 && (x == 1 || y == 1 || y == height / 2);
      f.indices.push_back(x == width - 1 && y == height - 1 ? 2 : ink);
    }
  return f;
}

inline pictures::Image Expand(const assets::IndexedImage& f, int clear_column = -1) {
  pictures::Image image{f.width, f.height, {}};
  for (std::size_t i = 0; i < f.indices.size(); ++i) {
    const assets::Rgb c = f.palette[f.indices[i]];
    image.pixels.push_back(int(i % f.width) == clear_column ? 0 : 0xFF000000u | c.r << 16 | c.g << 8 | c.b);
  }
  return image;
}

inline pictures::Image MakeF(int width, int height) { return Expand(MakeIndexedF(width, height)); }

inline void Put(Bytes& b, std::size_t at, int bytes, std::uint32_t v) {
  for (int i = 0; i < bytes; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> 8 * i);
}
inline Bytes& Add(Bytes& b, std::uint32_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> 8 * i));
  return b;
}

// A bitmap of `f` with the full palette for its depth. An icon entry doubles
// the height and sets its mask on the first column; 32 bits carry alpha 255
// there, 0 in the first column, when `alpha` is set.
struct Dib {
  int bits = 8;
  bool top_down = false;
  std::uint32_t header = 40;
  bool masks = false;  // 32-bit X8R8G8B8 bit fields
  bool alpha = false;
};

inline Bytes WriteDib(const assets::IndexedImage& f, const Dib& d, bool icon) {
  Bytes b;
  const std::uint32_t stride = (f.width * d.bits + 31) / 32 * 4, palette = d.bits <= 8 ? 1u << d.bits : 0;
  Add(b, d.header), Add(b, f.width), Add(b, icon ? 2 * f.height : d.top_down ? -f.height : f.height);
  Add(b, 1, 2), Add(b, d.bits, 2), Add(b, d.masks ? 3 : 0);
  b.resize(40);  // image size, resolution, colours used and important: 0
  if (d.masks || d.header > 40) Add(b, 0xFF0000), Add(b, 0xFF00), Add(b, 0xFF);
  b.resize(std::max<std::size_t>(b.size(), d.header));
  for (std::uint32_t i = 0; i < palette; ++i) {
    const assets::Rgb c = i < f.palette.size() ? f.palette[i] : assets::Rgb{};
    Add(b, c.b | c.g << 8 | c.r << 16);
  }
  for (int row = 0; row < f.height; ++row) {
    const int y = d.top_down && !icon ? row : f.height - 1 - row;
    Bytes line(stride, 0);
    for (int x = 0; x < f.width; ++x) {
      const std::uint8_t index = f.indices[y * f.width + x];
      const assets::Rgb c = f.palette[index];
      if (d.bits >= 24) {
        const Bytes bgra = {c.b, c.g, c.r, static_cast<std::uint8_t>(d.alpha && x > 0 ? 255 : 0)};
        std::copy_n(bgra.begin(), d.bits / 8, line.begin() + x * d.bits / 8);
      } else {
        line[x * d.bits / 8] |= index << (8 - d.bits - x * d.bits % 8);
      }
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  for (int row = 0; icon && row < f.height; ++row) Add(b, 0x80, 1), b.resize(b.size() + (f.width + 31) / 32 * 4 - 1);
  return b;
}

inline Bytes WriteBmp(const assets::IndexedImage& f, const Dib& d) {
  const Bytes dib = WriteDib(f, d, false);
  Bytes b = {'B', 'M'};
  Add(b, 14 + dib.size()), Add(b, 0), Add(b, 14 + dib.size() - (f.width * d.bits + 31) / 32 * 4 * f.height);
  b.insert(b.end(), dib.begin(), dib.end());
  return b;
}

// An ICO (type 1) or CUR (type 2) of the given entries, each with hotspot (1, 2).
inline Bytes WriteIcon(const std::vector<std::pair<assets::IndexedImage, Dib>>& entries, int type = 1) {
  Bytes b, images;
  Add(b, 0, 2), Add(b, type, 2), Add(b, entries.size(), 2);
  for (const auto& [f, d] : entries) {
    const Bytes dib = WriteDib(f, d, true);
    Add(b, f.width % 256, 1), Add(b, f.height % 256, 1), Add(b, 0, 2), Add(b, 1, 2), Add(b, 2, 2);
    Add(b, dib.size()), Add(b, 6 + 16 * entries.size() + images.size());
    images.insert(images.end(), dib.begin(), dib.end());
  }
  b.insert(b.end(), images.begin(), images.end());
  return b;
}

// The error a reader's result holds, or nothing.
template <typename Result>
auto ErrorOf(const Result& r) {
  using Error = std::variant_alternative_t<1, Result>;
  return std::holds_alternative<Error>(r) ? std::optional<Error>(std::get<Error>(r)) : std::nullopt;
}

}  // namespace picture_test
