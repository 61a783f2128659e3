#pragma once
// Test pictures and byte helpers for the reader tests, and a writer for the
// bitmap layouts our own encoders never produce.

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
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

inline pictures::Image Expanded(const assets::IndexedImage& f, int clear_column = -1) {
  pictures::Image image = assets::Expand(f);
  for (std::size_t i = 0; i < image.pixels.size(); ++i)
    if (int(i % f.width) == clear_column) image.pixels[i] = 0;
  return image;
}

inline pictures::Image MakeF(int width, int height) { return assets::Expand(MakeIndexedF(width, height)); }

inline void Put(Bytes& b, std::size_t at, int bytes, std::uint32_t v) {
  for (int i = 0; i < bytes; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> 8 * i);
}
inline Bytes& Add(Bytes& b, std::uint32_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> 8 * i));
  return b;
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Indices 0 to 15 meeting every case of run-length coding: rows of 0 at the
// top and inside, 0 in a stretch and to odd rows' ends, a repeated index,
// changing ones, an alternating pair; colours spread over each channel.
inline assets::IndexedImage MakeMixed(int width, int height) {
  assets::IndexedImage f{width, height, {}, {}};
  for (int i = 0; i < 16; ++i) f.palette.push_back({std::uint8_t(17 * i), std::uint8_t(255 - 15 * i), std::uint8_t(i * i + 3 * i)});
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      f.indices.push_back(y < 2 || y == 4 || (x >= 10 && x < 14) || (x >= 20 && y % 2) ? 0
                          : x < 5                                                  ? y
                          : x < 10 || x >= 20                                      ? (x * 7 + y) % 15 + 1
                                                                                   : 9 - x % 2 * 6);
  return f;
}

// Run-length data of `f`, `per_byte` indices a byte, rows bottom-up: 0 to a
// row's end ends the row, 3 or more inside it are a move, a row of 0 a move up;
// 3 or more repeats (4 bits: of a pair) a run, 3 or more changing indices a
// literal run, else a short run.
inline Bytes EncodeRle(const assets::IndexedImage& f, int per_byte) {
  const auto at = [&](int x, int y) { return x < f.width ? int{f.indices[(f.height - 1 - y) * f.width + x]} : -1; };
  const auto zeros = [&](int x, int y, int n = 0) { while (at(x + n, y) == 0) ++n; return n; };
  const auto pack = [&](int x, int y) { return per_byte == 1 ? at(x, y) : at(x, y) << 4 | (at(x + 1, y) & 15); };
  Bytes b;
  for (int y = 0; y < f.height; ++y) {
    if (zeros(0, y) == f.width) {
      Add(b, 0x01000200);
      continue;
    }
    for (int x = 0, n; x + zeros(x, y) < f.width; x += n) {
      if ((n = zeros(x, y)) >= 3) {
        Add(b, 2 << 8 | n << 16);
        continue;
      }
      for (n = 1; n < 255 && at(x + n, y) >= 0 && at(x + n, y) == at(x + n % per_byte, y);) ++n;
      int changing = 1;
      while (at(x + changing, y) > 0 && at(x + changing, y) != at(x + changing - 1, y)) ++changing;
      if (n >= 3 || changing < 3) {
        Add(b, n | pack(x, y) << 8, 2);
        continue;
      }
      Add(b, (n = changing) << 8, 2);
      for (int i = 0; i < n; i += per_byte) Add(b, pack(x + i, y), 1);
      b.resize(b.size() + b.size() % 2);
    }
    Add(b, 0, 2);
  }
  return Add(b, 1 << 8, 2);
}

using Masks = std::array<std::uint32_t, 3>;  // red, green, blue

// A bitmap of `f` with the full palette for its depth. An icon entry doubles
// the height and sets its mask on the first column; 32 bits carry alpha 255
// there, 0 in the first column, when `alpha` is set.
struct Dib {
  int bits = 8;
  bool top_down = false;
  std::uint32_t header = 40;  // 12: OS/2; 108 and 124 hold masks that count only with bit fields
  Masks masks{};              // bit fields when set; pixels store each channel rounded to its width
  bool alpha = false;
  bool rle = false;  // run-length coded, 8 or 4 bits
};

inline Masks MasksOf(const Dib& d) {
  return d.masks[0] ? d.masks : d.bits == 16 ? Masks{0x7C00, 0x3E0, 0x1F} : Masks{0xFF0000, 0xFF00, 0xFF};
}

inline Bytes WriteDib(const assets::IndexedImage& f, const Dib& d, bool icon, std::size_t* pixels_at = nullptr) {
  Bytes b;
  const std::uint32_t stride = (f.width * d.bits + 31) / 32 * 4, palette = d.bits <= 8 ? 1u << d.bits : 0;
  const int side = d.header == 12 ? 2 : 4, height = icon ? 2 * f.height : d.top_down ? -f.height : f.height;
  const Masks m = MasksOf(d);
  Add(b, d.header), Add(b, f.width, side), Add(b, height, side), Add(b, 1, 2), Add(b, d.bits, 2);
  if (d.header > 12) Add(b, d.rle ? (d.bits == 8 ? 1 : 2) : d.masks[0] ? 3 : 0), b.resize(40);  // sizes, resolution, colours: 0
  if (d.masks[0] || d.header > 40) Add(b, m[0] ^ (d.masks[0] ? 0 : ~0u)), Add(b, m[1]), Add(b, m[2]);
  b.resize(std::max<std::size_t>(b.size(), d.header));
  for (std::uint32_t i = 0; i < palette; ++i) {
    const assets::Rgb c = i < f.palette.size() ? f.palette[i] : assets::Rgb{};
    Add(b, c.b | c.g << 8 | c.r << 16, d.header == 12 ? 3 : 4);
  }
  if (pixels_at) *pixels_at = b.size();
  if (d.rle) return Cat({b, EncodeRle(f, 8 / d.bits)});
  for (int row = 0; row < f.height; ++row) {
    const int y = d.top_down && !icon ? row : f.height - 1 - row;
    Bytes line(stride, 0);
    for (int x = 0; x < f.width; ++x) {
      const std::uint8_t index = f.indices[y * f.width + x];
      const assets::Rgb c = f.palette[index];
      // Bits outside the masks set, as nothing but the masks may count.
      std::uint32_t v = d.masks[0] || d.bits == 16 ? ~(m[0] | m[1] | m[2]) : d.alpha && x > 0 ? 0xFF000000u : 0;
      for (int k = 0; k < 3; ++k) {
        const std::uint32_t max = m[k] >> std::countr_zero(m[k]);
        v |= ((k == 0 ? c.r : k == 1 ? c.g : c.b) * max + 127) / 255 << std::countr_zero(m[k]);
      }
      for (int i = 0; d.bits >= 16 && i < d.bits / 8; ++i) line[x * d.bits / 8 + i] = static_cast<std::uint8_t>(v >> 8 * i);
      if (d.bits <= 8) line[x * d.bits / 8] |= index << (8 - d.bits - x * d.bits % 8);
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  for (int row = 0; icon && row < f.height; ++row) Add(b, 0x80, 1), b.resize(b.size() + (f.width + 31) / 32 * 4 - 1);
  return b;
}

inline Bytes WriteBmp(const assets::IndexedImage& f, const Dib& d) {
  std::size_t pixels_at = 0;
  const Bytes dib = WriteDib(f, d, false, &pixels_at);
  Bytes b = {'B', 'M'};
  Add(b, 14 + dib.size()), Add(b, 0), Add(b, 14 + pixels_at);
  return Cat({b, dib});
}

// The bitmap forms besides plain 1 to 32 bits, as paint programs save them.
inline const std::vector<std::pair<std::string, Dib>> kBitmapForms = {
    {"rle8", {.rle = true}},
    {"rle4", {.bits = 4, .rle = true}},
    {"os2-4-bit", {.bits = 4, .header = 12}},
    {"16-bit", {.bits = 16}},
    {"16-bit-5-6-5", {.bits = 16, .masks = {0xF800, 0x7E0, 0x1F}}},
    {"32-bit-high-bytes-top-down-v5", {.bits = 32, .top_down = true, .header = 124, .masks = {0xFF000000, 0xFF0000, 0xFF00}}},
    {"32-bit-v5", {.bits = 32, .header = 124}},
};

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

}  // namespace picture_test
