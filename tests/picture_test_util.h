#pragma once
// Shared by the picture, pointer-file and encoder tests: asymmetric test
// pictures, little-endian field access, and writers for the bitmap variants
// the encoders do not produce.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "assets/encode.h"
#include "pictures/picture.h"

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

inline pictures::Image MakeF(int width, int height, std::uint32_t ink = kRed, std::uint32_t paper = kBlue) {
  pictures::Image image{width, height, {}};
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
inline pictures::Image Expand(const assets::IndexedImage& indexed) {
  pictures::Image image{indexed.width, indexed.height, {}};
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


inline void Append(Bytes& out, std::string_view tag) { out.insert(out.end(), tag.begin(), tag.end()); }
inline void AppendU16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void AppendU32(Bytes& out, std::uint32_t v) {
  AppendU16(out, v);
  AppendU16(out, v >> 16);
}

// A test-only writer for the bitmap variants the encoders do not produce.
struct DibOptions {
  int bits = 8;
  std::uint32_t header_bytes = 40;
  bool top_down = false;
  bool bitfields = false;       // 32-bit only: writes the masks below
  std::uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
  bool alpha_channel = false;   // 32-bit icon entries: alpha byte 255 or 0
};

// Distinct colours in order of first appearance; transparent pixels count as black.
inline std::vector<std::uint32_t> PaletteOf(const pictures::Image& image) {
  std::vector<std::uint32_t> palette;
  for (std::uint32_t p : image.pixels) {
    const std::uint32_t rgb = (p >> 24) == 0 ? 0 : p & 0xFFFFFF;
    if (std::find(palette.begin(), palette.end(), rgb) == palette.end()) palette.push_back(rgb);
  }
  return palette;
}

inline std::size_t StrideOf(int width, int bits) { return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4; }

// Info header, masks, palette (full 2^bits entries) and colour image; for an
// icon entry the height is doubled and the AND mask follows.
inline Bytes WriteDib(const pictures::Image& image, const DibOptions& options, bool icon) {
  Bytes out;
  const std::vector<std::uint32_t> palette = PaletteOf(image);
  const int rows = icon ? image.height * 2 : (options.top_down ? -image.height : image.height);
  AppendU32(out, options.header_bytes);
  AppendU32(out, image.width);
  AppendU32(out, static_cast<std::uint32_t>(rows));
  AppendU16(out, 1);
  AppendU16(out, options.bits);
  AppendU32(out, options.bitfields ? 3 : 0);
  for (int i = 0; i < 5; ++i) AppendU32(out, 0);  // image size, resolution, colours used, important
  for (std::uint32_t m : options.masks)
    if (options.bitfields || options.header_bytes > 40) AppendU32(out, m);
  out.resize(options.header_bytes + (options.bitfields && options.header_bytes == 40 ? 12 : 0), 0);
  if (options.bits <= 8)
    for (std::size_t i = 0; i < (1u << options.bits); ++i) AppendU32(out, i < palette.size() ? palette[i] : 0);
  const std::size_t stride = StrideOf(image.width, options.bits);
  for (int row = 0; row < image.height; ++row) {
    const int y = options.top_down && !icon ? row : image.height - 1 - row;
    Bytes line(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = image.At(x, y);
      const std::uint32_t rgb = (p >> 24) == 0 ? 0 : p & 0xFFFFFF;
      if (options.bits >= 24) {
        const std::size_t at = static_cast<std::size_t>(x) * (options.bits / 8);
        line[at] = rgb & 0xFF;
        line[at + 1] = (rgb >> 8) & 0xFF;
        line[at + 2] = (rgb >> 16) & 0xFF;
        if (options.bits == 32) line[at + 3] = options.alpha_channel ? static_cast<std::uint8_t>(p >> 24) : 0;
        continue;
      }
      const std::uint32_t index = std::find(palette.begin(), palette.end(), rgb) - palette.begin();
      const int per_byte = 8 / options.bits;
      line[x / per_byte] |= index << (8 - options.bits * (x % per_byte + 1));
    }
    out.insert(out.end(), line.begin(), line.end());
  }
  if (icon)
    for (int row = 0; row < image.height; ++row) {
      Bytes line(StrideOf(image.width, 1), 0);
      for (int x = 0; x < image.width; ++x)
        if ((image.At(x, image.height - 1 - row) >> 24) == 0) line[x / 8] |= 0x80 >> (x % 8);
      out.insert(out.end(), line.begin(), line.end());
    }
  return out;
}

inline Bytes WriteBmp(const pictures::Image& image, const DibOptions& options) {
  const Bytes dib = WriteDib(image, options, false);
  const std::size_t palette_end = options.header_bytes + (options.bitfields && options.header_bytes == 40 ? 12 : 0) +
                                  (options.bits <= 8 ? 4u << options.bits : 0);
  Bytes out{'B', 'M'};
  AppendU32(out, static_cast<std::uint32_t>(14 + dib.size()));
  AppendU32(out, 0);
  AppendU32(out, static_cast<std::uint32_t>(14 + palette_end));
  out.insert(out.end(), dib.begin(), dib.end());
  return out;
}

struct TestIcon {
  pictures::Image image;
  DibOptions dib;
  int hotspot_x = 0, hotspot_y = 0;
};

// An ICO (type 1) or CUR (type 2) holding every entry in order.
inline Bytes WriteIconFile(const std::vector<TestIcon>& entries, int type) {
  Bytes out;
  AppendU16(out, 0);
  AppendU16(out, type);
  AppendU16(out, static_cast<std::uint32_t>(entries.size()));
  std::vector<Bytes> images;
  std::size_t offset = 6 + 16 * entries.size();
  for (const TestIcon& e : entries) {
    images.push_back(WriteDib(e.image, e.dib, true));
    out.push_back(static_cast<std::uint8_t>(e.image.width % 256));
    out.push_back(static_cast<std::uint8_t>(e.image.height % 256));
    out.push_back(0);
    out.push_back(0);
    AppendU16(out, type == 2 ? e.hotspot_x : 1);
    AppendU16(out, type == 2 ? e.hotspot_y : e.dib.bits);
    AppendU32(out, static_cast<std::uint32_t>(images.back().size()));
    AppendU32(out, static_cast<std::uint32_t>(offset));
    offset += images.back().size();
  }
  for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

// Every strict prefix of a good file must fail.
template <typename Decode>
void ExpectEveryPrefixFails(const Bytes& file, Decode decode) {
  for (std::size_t n = 0; n < file.size(); ++n) {
    const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
    const auto result = decode(prefix);
    ASSERT_EQ(result.index(), 1u) << "a prefix of " << n << " of " << file.size() << " bytes decoded";
  }
}

}  // namespace picture_test
