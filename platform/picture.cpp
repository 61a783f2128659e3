#include "platform/picture.h"

#include "platform/dib.h"
#include "platform/gif.h"
#include "platform/le_bytes.h"

namespace platform {

std::string_view Describe(PictureError error) {
  switch (error) {
    case PictureError::Empty:
      return "the file is empty";
    case PictureError::NotAPicture:
      return "the file is not a picture in a format this program reads";
    case PictureError::Truncated:
      return "the file ends before the data it announces";
    case PictureError::BadField:
      return "the file holds a header field outside its allowed values";
    case PictureError::TooLarge:
      return "the picture is larger than this program accepts";
    case PictureError::Unsupported:
      return "the picture uses a variant of its format this program does not read";
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

}  // namespace platform
