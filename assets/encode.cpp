#include "assets/encode.h"

#include <gif_lib.h>

#include <cstddef>
#include <string_view>

namespace assets {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Appends little-endian fields, so each header reads as one run of fields.
class Writer {
 public:
  explicit Writer(Bytes& out) : out_(out) {}
  Writer& U8(std::uint32_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  Writer& U16(std::uint32_t v) { return U8(v).U8(v >> 8); }
  Writer& U32(std::uint32_t v) { return U16(v).U16(v >> 16); }
  Writer& Tag(std::string_view tag) {
    out_.insert(out_.end(), tag.begin(), tag.end());
    return *this;
  }
  Writer& Raw(std::span<const std::uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return *this;
  }

 private:
  Bytes& out_;
};

constexpr std::uint32_t kPixelsPerMetre = 3780;  // 96 dots per inch
constexpr std::uint32_t kDibHeaderBytes = 40;
constexpr std::uint32_t kIconDirBytes = 6 + 16;  // ICONDIR with one entry
constexpr int kMaxIconSide = 256;                // a directory entry stores 256 as 0

// Each row padded to a multiple of 4 bytes.
std::uint32_t StrideBytes(int width, int bits_per_pixel) {
  return (static_cast<std::uint32_t>(width) * bits_per_pixel + 31) / 32 * 4;
}

bool ValidImage(const pictures::Image& image, int max_side) {
  return image.width > 0 && image.height > 0 && image.width <= max_side && image.height <= max_side &&
         image.pixels.size() == static_cast<std::size_t>(image.width) * image.height;
}

bool ValidIndexed(const IndexedImage& image, std::size_t max_palette, int max_side) {
  if (image.width <= 0 || image.height <= 0 || image.width > max_side || image.height > max_side) return false;
  if (image.palette.empty() || image.palette.size() > max_palette) return false;
  if (image.indices.size() != static_cast<std::size_t>(image.width) * image.height) return false;
  for (std::uint8_t index : image.indices)
    if (index >= image.palette.size()) return false;
  return true;
}

void PutDibHeader(Writer& w, int width, int height, int bits_per_pixel, std::uint32_t image_bytes,
                  std::uint32_t pixels_per_metre) {
  w.U32(kDibHeaderBytes).U32(width).U32(height).U16(1).U16(bits_per_pixel);  // size, dimensions, planes, depth
  w.U32(0).U32(image_bytes).U32(pixels_per_metre).U32(pixels_per_metre);      // BI_RGB, sizes
  w.U32(0).U32(0);                                                            // colours used, important
}

// One ICONDIR entry: icons store planes and depth, cursors the hotspot.
void PutIconDirectory(Writer& w, int type, int width, int height, int colours, int field4, int field6,
                      std::uint32_t image_bytes) {
  w.U16(0).U16(type).U16(1);
  w.U8(width % kMaxIconSide).U8(height % kMaxIconSide).U8(colours).U8(0);
  w.U16(field4).U16(field6).U32(image_bytes).U32(kIconDirBytes);
}

// Bottom-up AND mask rows; a set bit lets the screen show through.
void PutAndMask(Writer& w, const pictures::Image* image, int width, int height) {
  const std::uint32_t stride = StrideBytes(width, 1);
  for (int y = height - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; image != nullptr && x < width; ++x)
      if ((image->At(x, y) >> 24) == 0) row[x / 8] |= 0x80 >> (x % 8);
    w.Raw(row);
  }
}

// Mid-grey splits the colours of a monochrome cursor.
bool IsWhite(std::uint32_t argb) {
  const std::uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  return r * 299 + g * 587 + b * 114 >= 128 * 1000;
}

int WriteToVector(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

bool WriteGif(GifFileType* gif, const IndexedImage& image, const ColorMapObject& map) {
  static constexpr GifByteType kControl[4] = {0, 0, 0, 0};  // no transparency, delay 0, disposal 0
  EGifSetGifVersion(gif, true);
  if (EGifPutScreenDesc(gif, image.width, image.height, 8, 0, &map) == GIF_ERROR) return false;
  if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, sizeof kControl, kControl) == GIF_ERROR) return false;
  if (EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr) == GIF_ERROR) return false;
  Bytes row(image.width);
  for (int y = 0; y < image.height; ++y) {
    const auto first = image.indices.begin() + static_cast<std::ptrdiff_t>(y) * image.width;
    row.assign(first, first + image.width);
    if (EGifPutLine(gif, row.data(), image.width) == GIF_ERROR) return false;
  }
  return true;
}

}  // namespace

pictures::Image Expand(const IndexedImage& image) {
  pictures::Image out{image.width, image.height, {}};
  out.pixels.reserve(image.indices.size());
  for (std::uint8_t i : image.indices) {
    const Rgb c = image.palette.at(i);
    out.pixels.push_back(0xFF000000u | std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b);
  }
  return out;
}

std::vector<std::uint8_t> EncodeBmp24(const pictures::Image& image) {
  if (!ValidImage(image, pictures::kMaxPictureSide)) return {};
  const std::uint32_t stride = StrideBytes(image.width, 24);
  const std::uint32_t image_bytes = stride * image.height;
  const std::uint32_t offset = 14 + kDibHeaderBytes;
  Bytes out;
  out.reserve(offset + image_bytes);
  Writer w(out);
  w.Tag("BM").U32(offset + image_bytes).U16(0).U16(0).U32(offset);  // file header, 14 bytes
  PutDibHeader(w, image.width, image.height, 24, image_bytes, kPixelsPerMetre);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = image.At(x, y);
      w.U8(p).U8(p >> 8).U8(p >> 16);  // blue, green, red
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(image.width) * 3; pad < stride; ++pad) w.U8(0);
  }
  return out;
}

std::vector<std::uint8_t> EncodeGif(const IndexedImage& image) {
  if (!ValidIndexed(image, 256, pictures::kMaxPictureSide)) return {};
  GifColorType colours[256] = {};  // padded with black
  for (std::size_t i = 0; i < image.palette.size(); ++i)
    colours[i] = {image.palette[i].r, image.palette[i].g, image.palette[i].b};
  ColorMapObject map{};
  map.ColorCount = 256;
  map.BitsPerPixel = 8;
  map.SortFlag = false;
  map.Colors = colours;

  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
  if (gif == nullptr) return {};
  const bool written = WriteGif(gif, image, map);
  // Closing writes the trailer and frees the handle on every path.
  if (EGifCloseFile(gif, &error) == GIF_ERROR || !written) return {};
  return out;
}

std::vector<std::uint8_t> EncodeIco4(const IndexedImage& image) {
  if (!ValidIndexed(image, 16, kMaxIconSide)) return {};
  const std::uint32_t xor_bytes = StrideBytes(image.width, 4) * image.height;
  const std::uint32_t and_bytes = StrideBytes(image.width, 1) * image.height;
  const std::uint32_t image_bytes = kDibHeaderBytes + 16 * 4 + xor_bytes + and_bytes;
  Bytes out;
  Writer w(out);
  PutIconDirectory(w, 1, image.width, image.height, 16, 1, 4, image_bytes);  // icon: 1 plane, 4 bits
  PutDibHeader(w, image.width, image.height * 2, 4, xor_bytes + and_bytes, 0);
  for (std::size_t i = 0; i < 16; ++i) {
    const Rgb c = i < image.palette.size() ? image.palette[i] : Rgb{};
    w.U8(c.b).U8(c.g).U8(c.r).U8(0);
  }
  const std::uint32_t stride = StrideBytes(image.width, 4);
  for (int y = image.height - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; x < image.width; ++x)
      row[x / 2] |= image.indices[static_cast<std::size_t>(y) * image.width + x] << (x % 2 == 0 ? 4 : 0);
    w.Raw(row);
  }
  PutAndMask(w, nullptr, image.width, image.height);
  return out;
}

std::vector<std::uint8_t> EncodeCur1(const pictures::Image& image, int hotspot_x, int hotspot_y) {
  if (!ValidImage(image, kMaxIconSide)) return {};
  if (hotspot_x < 0 || hotspot_y < 0 || hotspot_x >= image.width || hotspot_y >= image.height) return {};
  const std::uint32_t stride = StrideBytes(image.width, 1);
  const std::uint32_t mask_bytes = stride * image.height;
  const std::uint32_t image_bytes = kDibHeaderBytes + 2 * 4 + 2 * mask_bytes;
  Bytes out;
  Writer w(out);
  PutIconDirectory(w, 2, image.width, image.height, 2, hotspot_x, hotspot_y, image_bytes);
  PutDibHeader(w, image.width, image.height * 2, 1, 2 * mask_bytes, 0);
  w.U32(0x000000).U32(0xFFFFFF);  // palette: black, white
  for (int y = image.height - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = image.At(x, y);
      if ((p >> 24) != 0 && IsWhite(p)) row[x / 8] |= 0x80 >> (x % 8);
    }
    w.Raw(row);
  }
  PutAndMask(w, &image, image.width, image.height);
  return out;
}

std::vector<std::uint8_t> EncodeAni(std::span<const std::vector<std::uint8_t>> cursor_files,
                                    std::uint32_t jiffies_per_frame) {
  constexpr std::uint32_t kAniHeaderBytes = 36;
  constexpr std::uint32_t kIconFrames = 1;  // AF_ICON: frames are complete cursor files
  constexpr std::size_t kMaxFrames = 256;
  if (cursor_files.empty() || cursor_files.size() > kMaxFrames) return {};
  const auto frames = static_cast<std::uint32_t>(cursor_files.size());
  std::uint64_t list_bytes = 4;  // "fram"
  for (const auto& file : cursor_files) {
    if (file.empty()) return {};
    list_bytes += 8 + file.size() + file.size() % 2;
  }
  const std::uint64_t riff_bytes = 4 + (8 + kAniHeaderBytes) + (8 + 4 * frames) + (8 + list_bytes);
  if (riff_bytes > 0xFFFFFFFFu - 8) return {};

  Bytes out;
  out.reserve(8 + riff_bytes);
  Writer w(out);
  w.Tag("RIFF").U32(riff_bytes).Tag("ACON");
  w.Tag("anih").U32(kAniHeaderBytes).U32(kAniHeaderBytes).U32(frames).U32(frames);  // size, frames, steps
  w.U32(0).U32(0).U32(0).U32(0).U32(jiffies_per_frame).U32(kIconFrames);  // cx, cy, bits, planes, rate, flags
  w.Tag("rate").U32(4 * frames);
  for (std::uint32_t i = 0; i < frames; ++i) w.U32(jiffies_per_frame);
  w.Tag("LIST").U32(list_bytes).Tag("fram");
  for (const auto& file : cursor_files) {
    w.Tag("icon").U32(file.size()).Raw(file);
    if (file.size() % 2 != 0) w.U8(0);  // chunks start on even offsets
  }
  return out;
}

}  // namespace assets
