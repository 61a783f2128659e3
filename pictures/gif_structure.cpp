#include "pictures/gif_structure.h"

#include <optional>

#include "pictures/le_bytes.h"

namespace pictures {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kHeaderBytes = 13;  // signature, screen descriptor
constexpr std::size_t kDescriptorBytes = 9;
constexpr std::uint8_t kTrailer = 0x3B, kExtension = 0x21, kImage = 0x2C, kControlLabel = 0xF9;

std::optional<PictureError> CheckSide(int side) {
  if (side <= 0) return PictureError::BadField;
  if (side > kMaxPictureSide) return PictureError::TooLarge;
  return std::nullopt;
}

std::size_t ColourTableBytes(std::uint8_t packed) { return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0u; }

// Data sub-blocks end at a zero length; false when the file ends first.
bool SkipSubBlocks(Bytes b, std::size_t& at) {
  while (at < b.size()) {
    const std::uint8_t n = b[at++];
    if (n == 0) return true;
    if (!Fits(b.size(), at, n)) return false;
    at += n;
  }
  return false;
}

// An extension at `at` (after its introducer): label, then sub-blocks. A
// control extension's first block names the transparent index.
std::optional<PictureError> ReadExtension(Bytes b, std::size_t& at, int& transparent) {
  if (at >= b.size()) return PictureError::Truncated;
  const std::uint8_t label = b[at++];
  if (label == kControlLabel) {
    if (!Fits(b.size(), at, 5)) return PictureError::Truncated;
    if (b[at] != 4) return PictureError::BadField;  // flags, delay, index: exactly four bytes
    transparent = (b[at + 1] & 1) ? b[at + 4] : -1;
  }
  if (!SkipSubBlocks(b, at)) return PictureError::Truncated;
  return std::nullopt;
}

}  // namespace

bool IsGif(Bytes bytes) { return HasTag(bytes, 0, "GIF87a") || HasTag(bytes, 0, "GIF89a"); }

std::optional<PictureError> CheckGifBlocksAfterImage(Bytes b, std::size_t at) {
  int ignored = -1;
  while (at < b.size()) {
    switch (b[at++]) {
      case kTrailer:
        return std::nullopt;
      case kExtension:
        if (auto e = ReadExtension(b, at, ignored)) return e;
        break;
      case kImage:
        if (!Fits(b.size(), at, kDescriptorBytes)) return PictureError::Truncated;
        at += kDescriptorBytes + ColourTableBytes(b[at + 8]);
        if (++at > b.size() || !SkipSubBlocks(b, at)) return PictureError::Truncated;
        break;
      default:
        return PictureError::BadField;
    }
  }
  return PictureError::Truncated;
}

std::variant<GifStructure, PictureError> ReadGifStructure(Bytes b) {
  if (!HasTag(b, 0, "GIF87a") && !HasTag(b, 0, "GIF89a")) return PictureError::NotAPicture;
  if (b.size() < kHeaderBytes) return PictureError::Truncated;
  GifStructure gif;
  gif.screen_width = LoadU16(b, 6);
  gif.screen_height = LoadU16(b, 8);
  if (auto e = CheckSide(gif.screen_width)) return *e;
  if (auto e = CheckSide(gif.screen_height)) return *e;
  const bool global_table = (b[10] & 0x80) != 0;
  std::size_t at = kHeaderBytes + ColourTableBytes(b[10]);
  while (at < b.size()) {
    switch (b[at++]) {
      case kTrailer:
        return PictureError::NotAPicture;  // no image at all
      case kExtension:
        if (auto e = ReadExtension(b, at, gif.transparent_index)) return *e;
        continue;
      case kImage:
        break;
      default:
        return PictureError::BadField;
    }
    if (!Fits(b.size(), at, kDescriptorBytes)) return PictureError::Truncated;
    gif.left = LoadU16(b, at);
    gif.top = LoadU16(b, at + 2);
    gif.width = LoadU16(b, at + 4);
    gif.height = LoadU16(b, at + 6);
    const std::uint8_t packed = b[at + 8];
    if (auto e = CheckSide(gif.width)) return *e;
    if (auto e = CheckSide(gif.height)) return *e;
    if (gif.left + gif.width > gif.screen_width || gif.top + gif.height > gif.screen_height)
      return PictureError::BadField;
    if (!global_table && (packed & 0x80) == 0) return PictureError::BadField;
    gif.interlaced = (packed & 0x40) != 0;
    at += kDescriptorBytes + ColourTableBytes(packed);
    if (at >= b.size()) return PictureError::Truncated;
    if (b[at] < 2 || b[at] > 8) return PictureError::BadField;
    ++at;
    if (!SkipSubBlocks(b, at)) return PictureError::Truncated;
    if (auto e = CheckGifBlocksAfterImage(b, at)) return *e;
    return gif;
  }
  return PictureError::Truncated;
}

}  // namespace pictures
