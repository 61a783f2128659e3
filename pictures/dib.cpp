#include "pictures/dib.h"

#include <algorithm>

#include "pictures/le_bytes.h"

namespace pictures {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kIconDirBytes = 6;
constexpr std::size_t kIconEntryBytes = 16;
constexpr std::uint32_t kRgb = 0, kBitFields = 3;
constexpr std::uint32_t kTransparent = 0x00000000;

// What the info header says, after every field has been checked.
struct DibInfo {
  int width = 0;
  int height = 0;  // rows of the colour image
  bool top_down = false;
  int bits = 0;
  std::size_t header_bytes = 0;
  std::size_t masks_bytes = 0;      // bit-field masks that follow a 40-byte header
  std::uint32_t palette_count = 0;  // entries present in the file
  std::uint32_t colours = 0;        // entries an index may name
  std::uint64_t stride = 0;         // bytes per row, padded to 4
};

using InfoResult = std::variant<DibInfo, PictureError>;

PictureError HeaderSizeError(std::uint32_t size) {
  return size == 12 || size == 64 ? PictureError::Unsupported : PictureError::BadField;  // OS/2 headers
}

PictureError DepthError(std::uint32_t bits) {
  return bits == 2 || bits == 16 ? PictureError::Unsupported : PictureError::BadField;
}

// Run-length, JPEG, PNG and alpha bit-field compressions exist; we read none.
PictureError CompressionError(std::uint32_t compression) {
  return compression <= 6 ? PictureError::Unsupported : PictureError::BadField;
}

std::uint64_t Stride(std::uint64_t width, int bits) { return (width * bits + 31) / 32 * 4; }

// Bit fields are read only when they describe plain X8R8G8B8.
bool TrivialMasks(Bytes masks) {
  return LoadU32(masks, 0) == 0x00FF0000 && LoadU32(masks, 4) == 0x0000FF00 && LoadU32(masks, 8) == 0x000000FF;
}

std::variant<std::uint32_t, PictureError> CheckCompression(Bytes info, std::size_t header_bytes, int bits,
                                                           bool allow_bitfields) {
  const std::uint32_t compression = LoadU32(info, 16);
  if (compression == kRgb) return std::uint32_t{0};
  if (compression != kBitFields || bits != 32 || !allow_bitfields) return CompressionError(compression);
  // Larger headers hold the masks at the same place; a 40-byte one is followed by them.
  const std::uint32_t trailing = header_bytes > 40 ? 0 : 12;
  if (!Fits(info.size(), 40, 12)) return PictureError::Truncated;
  if (!TrivialMasks(info.subspan(40))) return PictureError::Unsupported;
  return trailing;
}

// Checks the info header at the start of `info` (which runs to the end of the
// file or entry). `rows_factor` is 2 for icon images, whose height counts the mask.
InfoResult ReadInfoHeader(Bytes info, int rows_factor, bool allow_bitfields) {
  if (!Fits(info.size(), 0, 4)) return PictureError::Truncated;
  const std::uint32_t header_bytes = LoadU32(info, 0);
  if (header_bytes != 40 && header_bytes != 108 && header_bytes != 124) return HeaderSizeError(header_bytes);
  if (!Fits(info.size(), 0, header_bytes)) return PictureError::Truncated;

  DibInfo d;
  d.header_bytes = header_bytes;
  const std::int64_t width = LoadI32(info, 4);
  std::int64_t height = LoadI32(info, 8);
  if (LoadU16(info, 12) != 1) return PictureError::BadField;  // planes
  const std::uint32_t bits = LoadU16(info, 14);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return DepthError(bits);
  d.bits = static_cast<int>(bits);
  const auto masks = CheckCompression(info, header_bytes, d.bits, allow_bitfields);
  if (const auto* e = std::get_if<PictureError>(&masks)) return *e;
  d.masks_bytes = std::get<std::uint32_t>(masks);

  if (height < 0 && rows_factor == 1) {
    d.top_down = true;
    height = -height;  // from a 32-bit field, so no overflow in 64 bits
  }
  if (width <= 0 || height <= 0 || height % rows_factor != 0) return PictureError::BadField;
  height /= rows_factor;
  if (width > kMaxPictureSide || height > kMaxPictureSide) return PictureError::TooLarge;
  d.width = static_cast<int>(width);
  d.height = static_cast<int>(height);
  d.stride = Stride(d.width, d.bits);

  const std::uint32_t used = LoadU32(info, 32);
  const std::uint32_t full = d.bits <= 8 ? 1u << d.bits : 0u;
  if (used > (d.bits <= 8 ? full : 256u)) return PictureError::BadField;
  d.palette_count = used != 0 ? used : full;
  d.colours = d.bits <= 8 ? d.palette_count : 0;
  return d;
}

std::uint32_t PaletteColour(Bytes palette, std::uint32_t index) {
  return 0xFF000000u | LoadU32(palette, 4 * static_cast<std::size_t>(index));  // blue, green, red, 0
}

// Decodes the colour image: `pixels` holds exactly stride * height bytes and
// `palette` exactly 4 * d.palette_count. Pixels come out opaque.
PictureResult ReadPixels(const DibInfo& d, Bytes pixels, Bytes palette) {
  Image image{d.width, d.height, {}};
  image.pixels.resize(static_cast<std::size_t>(d.width) * d.height);
  const int per_byte = d.bits < 8 ? 8 / d.bits : 1;
  const std::uint32_t index_mask = (1u << (d.bits < 8 ? d.bits : 8)) - 1;
  for (int row = 0; row < d.height; ++row) {
    const Bytes src = pixels.subspan(static_cast<std::size_t>(row * d.stride), static_cast<std::size_t>(d.stride));
    const int y = d.top_down ? row : d.height - 1 - row;
    std::uint32_t* out = &image.pixels[static_cast<std::size_t>(y) * d.width];
    for (int x = 0; x < d.width; ++x) {
      if (d.bits >= 24) {
        const std::size_t at = static_cast<std::size_t>(x) * (d.bits / 8);
        out[x] = 0xFF000000u | src[at + 2] << 16 | src[at + 1] << 8 | src[at];
        continue;
      }
      const int shift = 8 - d.bits * (x % per_byte + 1);
      const std::uint32_t index = (src[x / per_byte] >> shift) & index_mask;
      if (index >= d.colours) return PictureError::BadField;
      out[x] = PaletteColour(palette, index);
    }
  }
  return image;
}

// A 32-bit icon image with any alpha set uses it; otherwise the AND mask decides.
bool UsesAlpha(const DibInfo& d, Bytes pixels) {
  if (d.bits != 32) return false;
  for (std::size_t at = 3; at < pixels.size(); at += 4)
    if (pixels[at] != 0) return true;
  return false;
}

void ApplyAlpha(const DibInfo& d, Bytes pixels, Image& image) {
  for (int row = 0; row < d.height; ++row)
    for (int x = 0; x < d.width; ++x) {
      const std::size_t at = static_cast<std::size_t>(row * d.stride) + 4 * static_cast<std::size_t>(x) + 3;
      std::uint32_t& p = image.pixels[static_cast<std::size_t>(d.height - 1 - row) * d.width + x];
      if (pixels[at] < 128) p = kTransparent;
    }
}

void ApplyMask(const DibInfo& d, Bytes mask, Image& image) {
  const std::uint64_t stride = Stride(d.width, 1);
  for (int row = 0; row < d.height; ++row)
    for (int x = 0; x < d.width; ++x) {
      const std::uint8_t byte = mask[static_cast<std::size_t>(row * stride) + x / 8];
      std::uint32_t& p = image.pixels[static_cast<std::size_t>(d.height - 1 - row) * d.width + x];
      if (byte & (0x80 >> (x % 8))) p = kTransparent;
    }
}

bool HasPngSignature(Bytes b) {
  static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return b.size() >= 8 && std::equal(kPng, kPng + 8, b.begin());
}

}  // namespace

namespace {

// A BMP file whose headers passed every check: where its palette and pixels lie.
struct BmpLayout {
  DibInfo info;
  Bytes palette;
  Bytes pixels;
};

std::variant<BmpLayout, PictureError> ReadBmpLayout(Bytes bytes) {
  if (!HasTag(bytes, 0, "BM")) return PictureError::NotAPicture;
  if (!Fits(bytes.size(), 0, kFileHeaderBytes)) return PictureError::Truncated;
  const std::uint32_t file_bytes = LoadU32(bytes, 2);
  const std::uint32_t pixel_offset = LoadU32(bytes, 10);
  // Bytes past the announced size are ignored: a BMP may sit in a padded container.
  if (file_bytes > bytes.size()) return PictureError::Truncated;
  if (file_bytes < kFileHeaderBytes) return PictureError::BadField;
  const Bytes file = bytes.first(file_bytes);

  const InfoResult info = ReadInfoHeader(file.subspan(kFileHeaderBytes), 1, true);
  if (const auto* e = std::get_if<PictureError>(&info)) return *e;
  const DibInfo& d = std::get<DibInfo>(info);

  const std::uint64_t palette_at = kFileHeaderBytes + d.header_bytes + d.masks_bytes;
  const std::uint64_t palette_bytes = 4ull * d.palette_count;
  const std::uint64_t image_bytes = d.stride * static_cast<std::uint64_t>(d.height);
  const std::uint32_t announced_image = LoadU32(file, kFileHeaderBytes + 20);
  if (pixel_offset < palette_at + palette_bytes) return PictureError::BadField;
  if (announced_image != 0 && announced_image < image_bytes) return PictureError::BadField;
  if (!Fits(file.size(), pixel_offset, announced_image)) return PictureError::Truncated;
  if (!Fits(file.size(), pixel_offset, image_bytes)) return PictureError::Truncated;
  return BmpLayout{d, file.subspan(static_cast<std::size_t>(palette_at), palette_bytes),
                   file.subspan(pixel_offset, image_bytes)};
}

}  // namespace

PictureResult DecodeBmp(Bytes bytes) {
  auto layout = ReadBmpLayout(bytes);
  if (const auto* e = std::get_if<PictureError>(&layout)) return *e;
  const BmpLayout& l = std::get<BmpLayout>(layout);
  return ReadPixels(l.info, l.pixels, l.palette);
}

std::optional<Bmp24View> ViewBmp24(Bytes bytes) {
  auto layout = ReadBmpLayout(bytes);
  const BmpLayout* l = std::get_if<BmpLayout>(&layout);
  if (l == nullptr || l->info.bits != 24 || l->info.masks_bytes != 0) return std::nullopt;
  Bmp24View view;
  view.width = l->info.width;
  view.height = l->info.height;
  view.stride = static_cast<std::size_t>(l->info.stride);
  view.top_down = l->info.top_down;
  view.pixels = l->pixels;
  return view;
}

void Bmp24View::CopyRow(int y, int x, int count, std::uint32_t* out) const {
  const std::size_t row = static_cast<std::size_t>(top_down ? y : height - 1 - y);
  const std::uint8_t* bgr = pixels.data() + row * stride + static_cast<std::size_t>(x) * 3;
  for (int i = 0; i < count; ++i, bgr += 3)
    out[i] = 0xFF000000u | std::uint32_t{bgr[2]} << 16 | std::uint32_t{bgr[1]} << 8 | bgr[0];
}

bool IsIconDirectory(Bytes bytes) {
  if (!Fits(bytes.size(), 0, kIconDirBytes) || LoadU16(bytes, 0) != 0) return false;
  const std::uint16_t type = LoadU16(bytes, 2);
  return (type == 1 || type == 2) && LoadU16(bytes, 4) > 0;
}

IconDirectoryResult ReadIconDirectory(Bytes bytes) {
  if (!IsIconDirectory(bytes)) return PictureError::NotAPicture;
  const std::uint16_t count = LoadU16(bytes, 4);
  const std::uint64_t entries_end = kIconDirBytes + kIconEntryBytes * count;
  if (!Fits(bytes.size(), 0, entries_end)) return PictureError::Truncated;
  IconDirectory dir;
  dir.kind = static_cast<IconKind>(LoadU16(bytes, 2));
  dir.entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kIconDirBytes + kIconEntryBytes * i;
    IconEntry e;
    e.width = bytes[at] == 0 ? 256 : bytes[at];
    e.height = bytes[at + 1] == 0 ? 256 : bytes[at + 1];
    e.planes_or_hotspot_x = LoadU16(bytes, at + 4);
    e.bits_or_hotspot_y = LoadU16(bytes, at + 6);
    e.size = LoadU32(bytes, at + 8);
    e.offset = LoadU32(bytes, at + 12);
    if (e.size < 40 || e.offset < entries_end) return PictureError::BadField;
    if (!Fits(bytes.size(), e.offset, e.size)) return PictureError::Truncated;
    dir.entries.push_back(e);
  }
  return dir;
}

std::size_t PreferredIconEntry(const IconDirectory& directory) {
  std::size_t best = 0;
  for (std::size_t i = 0; i < directory.entries.size(); ++i) {
    const IconEntry& e = directory.entries[i];
    if (e.width == 32 && e.height == 32) return i;
    const IconEntry& b = directory.entries[best];
    if (e.width * e.height > b.width * b.height) best = i;
  }
  return best;
}

PictureResult DecodeIconEntry(Bytes bytes, const IconEntry& entry) {
  if (!Fits(bytes.size(), entry.offset, entry.size)) return PictureError::Truncated;
  const Bytes data = bytes.subspan(entry.offset, entry.size);
  if (HasPngSignature(data)) return PictureError::Unsupported;
  const InfoResult info = ReadInfoHeader(data, 2, false);
  if (const auto* e = std::get_if<PictureError>(&info)) return *e;
  const DibInfo& d = std::get<DibInfo>(info);
  if (d.width != entry.width || d.height != entry.height) return PictureError::BadField;

  const std::uint64_t palette_bytes = 4ull * d.palette_count;
  const std::uint64_t colour_bytes = d.stride * static_cast<std::uint64_t>(d.height);
  const std::uint64_t mask_bytes = Stride(d.width, 1) * static_cast<std::uint64_t>(d.height);
  const std::uint64_t colour_at = d.header_bytes + palette_bytes;
  if (!Fits(data.size(), colour_at, colour_bytes + mask_bytes)) return PictureError::Truncated;
  const Bytes colour = data.subspan(static_cast<std::size_t>(colour_at), colour_bytes);
  const Bytes mask = data.subspan(static_cast<std::size_t>(colour_at + colour_bytes), mask_bytes);

  PictureResult result = ReadPixels(d, colour, data.subspan(d.header_bytes, palette_bytes));
  if (Image* image = std::get_if<Image>(&result)) {
    if (UsesAlpha(d, colour))
      ApplyAlpha(d, colour, *image);
    else
      ApplyMask(d, mask, *image);
  }
  return result;
}

PictureResult DecodeIcon(Bytes bytes) {
  const IconDirectoryResult dir = ReadIconDirectory(bytes);
  if (const auto* e = std::get_if<PictureError>(&dir)) return *e;
  const IconDirectory& d = std::get<IconDirectory>(dir);
  return DecodeIconEntry(bytes, d.entries[PreferredIconEntry(d)]);
}

}  // namespace pictures
