#include "pictures/gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "pictures/gif_structure.h"
#include "pictures/le_bytes.h"

namespace pictures {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint32_t kTransparent = 0x00000000;

// giflib pulls bytes through this; a short read means the file ended early.
struct Input {
  Bytes bytes;
  std::size_t at = 0;
  bool short_read = false;
};

int ReadInput(GifFileType* gif, GifByteType* out, int length) {
  auto* in = static_cast<Input*>(gif->UserData);
  const std::size_t wanted = length > 0 ? static_cast<std::size_t>(length) : 0;
  const std::size_t n = std::min(wanted, in->bytes.size() - in->at);
  if (n > 0) std::memcpy(out, in->bytes.data() + in->at, n);
  in->at += n;
  if (n < wanted) in->short_read = true;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

PictureError FromGiflib(int error, const Input& in) {
  if (in.short_read) return PictureError::Truncated;
  switch (error) {
    case D_GIF_ERR_READ_FAILED:
    case D_GIF_ERR_EOF_TOO_SOON:
    case D_GIF_ERR_NO_SCRN_DSCR:
    case D_GIF_ERR_NO_IMAG_DSCR:
      return PictureError::Truncated;
    case D_GIF_ERR_NOT_GIF_FILE:
      return PictureError::NotAPicture;
    case D_GIF_ERR_NOT_ENOUGH_MEM:
      return PictureError::TooLarge;
    default:  // corrupt compressed data among them
      return PictureError::BadField;
  }
}

PictureError CheckSide(int side) {
  return side > kMaxPictureSide ? PictureError::TooLarge : PictureError::BadField;
}

bool SideOk(int side) { return side > 0 && side <= kMaxPictureSide; }

// Only the graphic control extension matters: it names the transparent index.
std::optional<PictureError> ReadExtension(GifFileType* gif, const Input& in, int& transparent) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return FromGiflib(gif->Error, in);
  if (code == GRAPHICS_EXT_FUNC_CODE) {
    GraphicsControlBlock control{};
    if (block == nullptr || DGifExtensionToGCB(block[0], block + 1, &control) == GIF_ERROR)
      return PictureError::BadField;
    transparent = control.TransparentColor;
  }
  while (block != nullptr)
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return FromGiflib(gif->Error, in);
  return std::nullopt;
}

// Interlaced rows come in four passes: every 8th from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(height);
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
    for (int y = interlaced ? kStart[pass] : 0; y < height; y += interlaced ? kStep[pass] : 1) order.push_back(y);
  return order;
}

PictureResult Compose(const GifFileType& gif, const ColorMapObject& map, const std::vector<GifPixelType>& raster,
                      int transparent) {
  const GifImageDesc& desc = gif.Image;
  Image image{gif.SWidth, gif.SHeight, {}};
  image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, kTransparent);
  for (int y = 0; y < desc.Height; ++y)
    for (int x = 0; x < desc.Width; ++x) {
      const int index = raster[static_cast<std::size_t>(y) * desc.Width + x];
      if (index >= map.ColorCount) return PictureError::BadField;
      if (index == transparent) continue;
      const GifColorType c = map.Colors[index];
      image.pixels[static_cast<std::size_t>(desc.Top + y) * image.width + desc.Left + x] =
          0xFF000000u | static_cast<std::uint32_t>(c.Red) << 16 | static_cast<std::uint32_t>(c.Green) << 8 | c.Blue;
    }
  return image;
}

// The descriptor and code size, checked before giflib sees them: giflib
// does not reliably report a missing or out-of-range code size.
std::optional<PictureError> CheckDescriptor(Bytes b, std::size_t at) {
  if (!Fits(b.size(), at, 9)) return PictureError::Truncated;
  const std::uint8_t packed = b[at + 8];
  at += 9 + ((packed & 0x80) ? 3u << ((packed & 7) + 1) : 0u);
  if (at >= b.size()) return PictureError::Truncated;
  if (b[at] < 2 || b[at] > 8) return PictureError::BadField;
  return std::nullopt;
}

PictureResult ReadFirstImage(GifFileType* gif, const Input& in, int transparent) {
  if (auto e = CheckDescriptor(in.bytes, in.at)) return *e;
  if (DGifGetImageDesc(gif) == GIF_ERROR) return FromGiflib(gif->Error, in);
  const GifImageDesc& desc = gif->Image;
  if (!SideOk(desc.Width)) return CheckSide(desc.Width);
  if (!SideOk(desc.Height)) return CheckSide(desc.Height);
  if (desc.Left + desc.Width > gif->SWidth || desc.Top + desc.Height > gif->SHeight) return PictureError::BadField;
  const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
  if (map == nullptr) return PictureError::BadField;

  std::vector<GifPixelType> raster(static_cast<std::size_t>(desc.Width) * desc.Height);
  for (int y : RowOrder(desc.Height, desc.Interlace))
    if (DGifGetLine(gif, &raster[static_cast<std::size_t>(y) * desc.Width], desc.Width) == GIF_ERROR)
      return FromGiflib(gif->Error, in);
  return Compose(*gif, *map, raster, transparent);
}

}  // namespace

PictureResult DecodeGif(Bytes bytes) {
  if (!IsGif(bytes)) return PictureError::NotAPicture;
  Input in{bytes};
  int error = 0;
  const GifHandle gif(DGifOpen(&in, ReadInput, &error));
  if (gif == nullptr) return FromGiflib(error, in);
  if (!SideOk(gif->SWidth)) return CheckSide(gif->SWidth);
  if (!SideOk(gif->SHeight)) return CheckSide(gif->SHeight);

  int transparent = NO_TRANSPARENT_COLOR;  // the last control extension before the image
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) return FromGiflib(gif->Error, in);
    if (type == TERMINATE_RECORD_TYPE) return PictureError::NotAPicture;  // no image at all
    if (type == EXTENSION_RECORD_TYPE) {
      if (auto e = ReadExtension(gif.get(), in, transparent)) return *e;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return PictureError::BadField;
    PictureResult result = ReadFirstImage(gif.get(), in, transparent);
    if (std::holds_alternative<PictureError>(result)) return result;
    if (auto e = CheckGifBlocksAfterImage(bytes, in.at)) return *e;
    return result;
  }
}

}  // namespace pictures
