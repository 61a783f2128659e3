#pragma once
// Decoded pictures and the reader that turns a file's bytes into one.
// The format is told by the content, never by the file name.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

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

// A loaded picture, shared and immutable. The default value is the empty
// picture, which shows nothing.
class Picture {
 public:
  Picture() = default;
  explicit Picture(std::shared_ptr<const Image> image) : image_(std::move(image)) {}
  bool empty() const { return image_ == nullptr; }
  const Image* image() const { return image_.get(); }
  bool operator==(const Picture&) const = default;

 private:
  std::shared_ptr<const Image> image_;
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

}  // namespace platform
