#pragma once
// Decoded pictures and the reader that turns a file's bytes into one.
// The format is told by the content, never by the file name. Everything in
// this folder takes bytes and gives pixels: no files, no windows.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

namespace pictures {

// Largest picture side accepted from any file; a disc's pictures are a few
// hundred pixels, so anything beyond this is refused before allocating.
inline constexpr int kMaxPictureSide = 4096;
// Largest picture file read at all.
inline constexpr std::size_t kMaxPictureFileBytes = 16u << 20;

// Pixels as 0xAARRGGBB, rows top-down. Alpha is 0 (transparent) or 255.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

enum class PictureError {
  Empty,         // zero bytes
  NotAPicture,   // no known signature
  Truncated,     // the file ends before the data it announces
  BadField,      // a header field outside its allowed set
  TooLarge,      // dimensions or file size over the caps
  Unsupported,   // a known format in a variant we do not read (compression, PNG icons)
  BadData,       // compressed pixel data that leaves the picture or ends before its end mark
};
std::string_view Describe(PictureError error);

using PictureResult = std::variant<Image, PictureError>;

// GIF (first image, composed on its logical screen), BMP, ICO and CUR.
PictureResult DecodePicture(std::span<const std::uint8_t> bytes);

}  // namespace pictures
