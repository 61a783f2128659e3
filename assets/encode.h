#pragma once
// Encoders for the picture formats the launcher reads. Pure: image in, bytes
// out, deterministic (no timestamps, padding always zero). Writing a file is
// the caller's business. An input an encoder cannot represent (empty or
// oversized image, palette too large, index beyond the palette, hotspot
// outside the image) gives an empty vector.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "pictures/picture.h"

namespace assets {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// 8-bit indexed picture with its palette (at most 256 entries).
struct IndexedImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> indices;  // rows top-down
  std::vector<Rgb> palette;
};

// The pixels an indexed picture stands for, opaque: what a reader of any of
// the encodings below gives back.
pictures::Image Expand(const IndexedImage& image);

// 24-bit BMP: 14-byte file header, 40-byte info header, bottom-up rows padded
// to 4 bytes, 3780 pixels per metre. Alpha is ignored.
std::vector<std::uint8_t> EncodeBmp24(const pictures::Image& image);

// GIF89a: logical screen equal to the image, a global table padded to 256
// entries (colour resolution 8, background 0), one graphic control extension
// (no transparency, delay 0, disposal 0), one image at (0, 0), not interlaced.
std::vector<std::uint8_t> EncodeGif(const IndexedImage& image);

// ICO with one 4-bit image: palette of up to 16 entries, all-zero AND mask.
std::vector<std::uint8_t> EncodeIco4(const IndexedImage& image);

// CUR with one 1-bit image. Each pixel is black, white or transparent
// (alpha 0); other colours are taken as black below mid-grey, white above.
std::vector<std::uint8_t> EncodeCur1(const pictures::Image& image, int hotspot_x, int hotspot_y);

// Animated cursor: RIFF "ACON" with anih, rate (one entry per frame) and a
// LIST "fram" of icon chunks, each holding a complete cursor file.
std::vector<std::uint8_t> EncodeAni(std::span<const std::vector<std::uint8_t>> cursor_files,
                                    std::uint32_t jiffies_per_frame);

}  // namespace assets
