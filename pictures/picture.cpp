#include "pictures/picture.h"

#include "pictures/dib.h"
#include "pictures/gif.h"
#include "pictures/le_bytes.h"

namespace pictures {

std::string_view Describe(PictureError error) {
  switch (error) {
    case PictureError::Empty:
      return "empty file";
    case PictureError::NotAPicture:
      return "not a picture";
    case PictureError::Truncated:
      return "truncated picture";
    case PictureError::BadField:
      return "bad picture header";
    case PictureError::TooLarge:
      return "picture too large";
    case PictureError::Unsupported:
      return "unsupported picture format";
    case PictureError::BadData:
      return "bad picture data";
  }
  return "unknown picture error";
}

// No state outside the call: safe to drive from a fuzzer or several threads.
PictureResult DecodePicture(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return PictureError::Empty;
  if (bytes.size() > kMaxPictureFileBytes) return PictureError::TooLarge;
  if (IsGif(bytes)) return DecodeGif(bytes);
  if (HasTag(bytes, 0, "BM")) return DecodeBmp(bytes);
  if (IsIconDirectory(bytes)) return DecodeIcon(bytes);
  return PictureError::NotAPicture;
}

}  // namespace pictures
