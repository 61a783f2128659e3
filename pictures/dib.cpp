#include "pictures/dib.h"

#include <algorithm>
#include <array>
#include <bit>

#include "pictures/le_bytes.h"

namespace pictures {
namespace {

using Bytes = std::span<const std::uint8_t>;
using Masks = std::array<std::uint32_t, 3>;  // red, green, blue

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kIconDirBytes = 6;
constexpr std::size_t kIconEntryBytes = 16;
constexpr std::uint32_t kCoreHeaderBytes = 12;  // OS/2 1.x: 16-bit sides, 3-byte palette entries
constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;
constexpr std::uint32_t kTransparent = 0x00000000;

// The compressions a BMP file may name besides none, each on the one depth it fits.
struct Coding {
  std::uint32_t compression;
  int bits;
};
constexpr Coding kCodings[] = {{kRle8, 8}, {kRle4, 4}, {kBitFields, 16}, {kBitFields, 32}};

// What the info header says, after every field has been checked.
struct DibInfo {
  int width = 0;
  int height = 0;  // rows of the colour image
  bool top_down = false;
  int bits = 0;
  std::uint32_t compression = kRgb;
  std::size_t header_bytes = 0;
  std::size_t masks_bytes = 0;      // bit-field masks that follow a 40-byte header
  std::size_t entry_bytes = 4;      // per palette entry
  std::uint32_t palette_count = 0;  // entries present in the file
  std::uint32_t colours = 0;        // entries an index may name
  std::uint32_t image_bytes = 0;    // as announced; 0 when not
  std::uint64_t stride = 0;         // bytes per row, padded to 4
  Masks masks{};                    // of a 16, 24 or 32-bit pixel
};

using InfoResult = std::variant<DibInfo, PictureError>;

bool IsRunLength(const DibInfo& d) { return d.compression == kRle8 || d.compression == kRle4; }

PictureError HeaderSizeError(std::uint32_t size) {
  return size == 12 || size == 64 ? PictureError::Unsupported : PictureError::BadField;  // OS/2 headers
}

PictureError DepthError(std::uint32_t bits) {
  return bits == 2 || bits == 16 || bits == 64 ? PictureError::Unsupported : PictureError::BadField;
}

// JPEG, PNG and alpha bit-field compressions exist, and the others on depths
// they do not fit (or in icons); we read none of them.
PictureError CompressionError(std::uint32_t compression) {
  return compression <= 6 ? PictureError::Unsupported : PictureError::BadField;
}

std::uint64_t Stride(std::uint64_t width, int bits) { return (width * bits + 31) / 32 * 4; }

// Each channel one run of set bits inside the pixel, apart from the others.
// A run wider than a byte (10-bit channels) is a form we do not read.
std::optional<PictureError> CheckMasks(const Masks& masks, int bits) {
  std::uint32_t taken = 0;
  for (const std::uint32_t mask : masks) {
    if (mask == 0 || (mask & taken) != 0 || (bits == 16 && mask >> 16 != 0)) return PictureError::BadField;
    const std::uint32_t run = mask >> std::countr_zero(mask);
    if ((run & (run + 1)) != 0) return PictureError::BadField;
    if (run > 0xFF) return PictureError::Unsupported;
    taken |= mask;
  }
  return std::nullopt;
}

// Checks the info header at the start of `info` (which runs to the end of the
// file or entry). `rows_factor` is 2 for icon images, whose height counts the
// mask; only a BMP `file` may use the OS/2 header, 16 bits or compression.
InfoResult ReadInfoHeader(Bytes info, int rows_factor, bool file) {
  if (!Fits(info.size(), 0, 4)) return PictureError::Truncated;
  const std::uint32_t header_bytes = LoadU32(info, 0);
  const bool core = file && header_bytes == kCoreHeaderBytes;
  if (!core && header_bytes != 40 && header_bytes != 108 && header_bytes != 124) return HeaderSizeError(header_bytes);
  if (!Fits(info.size(), 0, header_bytes)) return PictureError::Truncated;

  DibInfo d;
  d.header_bytes = header_bytes;
  d.entry_bytes = core ? 3 : 4;
  const std::int64_t width = core ? LoadU16(info, 4) : LoadI32(info, 4);
  std::int64_t height = core ? LoadU16(info, 6) : LoadI32(info, 8);
  if (LoadU16(info, core ? 8 : 12) != 1) return PictureError::BadField;  // planes
  const std::uint32_t bits = LoadU16(info, core ? 10 : 14);
  if (bits != 1 && bits != 4 && bits != 8 && (bits != 16 || !file) && bits != 24 && bits != 32)
    return DepthError(bits);
  d.bits = static_cast<int>(bits);
  d.compression = core ? kRgb : LoadU32(info, 16);
  const auto fits = [&](Coding c) { return c.compression == d.compression && c.bits == d.bits; };
  if (d.compression != kRgb && !(file && std::ranges::any_of(kCodings, fits))) return CompressionError(d.compression);

  d.masks = d.bits == 16 ? Masks{0x7C00, 0x03E0, 0x001F} : Masks{0x00FF0000, 0x0000FF00, 0x000000FF};
  if (d.compression == kBitFields) {
    // Larger headers hold the masks at the same place; a 40-byte one is followed by them.
    if (!Fits(info.size(), 40, 12)) return PictureError::Truncated;
    d.masks_bytes = header_bytes == 40 ? 12 : 0;
    d.masks = {LoadU32(info, 40), LoadU32(info, 44), LoadU32(info, 48)};
    if (const auto error = CheckMasks(d.masks, d.bits)) return *error;
  }

  if (height < 0 && rows_factor == 1) {
    d.top_down = true;
    height = -height;  // from a 32-bit field, so no overflow in 64 bits
  }
  if (d.top_down && IsRunLength(d)) return PictureError::BadField;  // run-length rows go bottom-up only
  if (width <= 0 || height <= 0 || height % rows_factor != 0) return PictureError::BadField;
  height /= rows_factor;
  if (width > kMaxPictureSide || height > kMaxPictureSide) return PictureError::TooLarge;
  d.width = static_cast<int>(width);
  d.height = static_cast<int>(height);
  d.stride = Stride(d.width, d.bits);

  const std::uint32_t used = core ? 0 : LoadU32(info, 32);
  const std::uint32_t full = d.bits <= 8 ? 1u << d.bits : 0u;
  if (used > (d.bits <= 8 ? full : 256u)) return PictureError::BadField;
  d.palette_count = used != 0 ? used : full;
  d.colours = d.bits <= 8 ? d.palette_count : 0;
  d.image_bytes = core ? 0 : LoadU32(info, 20);
  return d;
}

// The colours an index may name, opaque.
struct Palette {
  std::array<std::uint32_t, 256> argb{};
  std::uint32_t count = 0;
};

// `entries` holds exactly d.entry_bytes * d.palette_count bytes: blue, green, red (, 0).
Palette ReadPalette(const DibInfo& d, Bytes entries) {
  Palette p;
  p.count = d.colours;
  for (std::uint32_t i = 0; i < d.colours; ++i) {
    const std::size_t at = i * d.entry_bytes;
    p.argb[i] = 0xFF000000u | entries[at + 2] << 16 | entries[at + 1] << 8 | entries[at];
  }
  return p;
}

// The channels of a 16, 24 or 32-bit pixel, each scaled to 8 bits as
// (v * 255 + max / 2) / max, looked up rather than divided per pixel.
struct Channels {
  std::array<int, 3> shift{};
  std::array<std::uint32_t, 3> max{};
  std::array<std::array<std::uint8_t, 256>, 3> scale{};

  explicit Channels(const Masks& masks) {
    for (std::size_t c = 0; c < 3; ++c) {
      shift[c] = std::countr_zero(masks[c]);
      max[c] = masks[c] >> shift[c];
      for (std::uint32_t v = 0; v <= max[c]; ++v)
        scale[c][v] = static_cast<std::uint8_t>((v * 255 + max[c] / 2) / max[c]);
    }
  }
  std::uint32_t Argb(std::uint32_t v) const {
    return 0xFF000000u | std::uint32_t{scale[0][v >> shift[0] & max[0]]} << 16 |
           std::uint32_t{scale[1][v >> shift[1] & max[1]]} << 8 | scale[2][v >> shift[2] & max[2]];
  }
};

// One stored row of little-endian pixels of `kBytes` bytes each.
template <int kBytes>
void DirectRow(const Channels& channels, const std::uint8_t* src, std::uint32_t* out, int width) {
  for (int x = 0; x < width; ++x, src += kBytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < kBytes; ++i) v |= std::uint32_t{src[i]} << (8 * i);
    out[x] = channels.Argb(v);
  }
}

// One stored row of packed indices; false when one lies beyond the palette.
bool IndexedRow(const DibInfo& d, const Palette& palette, const std::uint8_t* src, std::uint32_t* out) {
  const int per_byte = 8 / d.bits;
  const std::uint32_t index_mask = (1u << d.bits) - 1;
  for (int x = 0; x < d.width; ++x) {
    const int shift = 8 - d.bits * (x % per_byte + 1);
    const std::uint32_t index = (src[x / per_byte] >> shift) & index_mask;
    if (index >= palette.count) return false;
    out[x] = palette.argb[index];
  }
  return true;
}

// Decodes an uncompressed colour image: `pixels` holds exactly stride * height
// bytes. Pixels come out opaque.
PictureResult ReadPixels(const DibInfo& d, Bytes pixels, const Palette& palette) {
  Image image{d.width, d.height, {}};
  image.pixels.resize(static_cast<std::size_t>(d.width) * d.height);
  std::optional<Channels> channels;
  if (d.bits > 8) channels.emplace(d.masks);
  for (int row = 0; row < d.height; ++row) {
    const std::uint8_t* src = pixels.data() + static_cast<std::size_t>(row * d.stride);
    const int y = d.top_down ? row : d.height - 1 - row;
    std::uint32_t* out = &image.pixels[static_cast<std::size_t>(y) * d.width];
    if (d.bits == 16) DirectRow<2>(*channels, src, out, d.width);
    if (d.bits == 24) DirectRow<3>(*channels, src, out, d.width);
    if (d.bits == 32) DirectRow<4>(*channels, src, out, d.width);
    if (d.bits <= 8 && !IndexedRow(d, palette, src, out)) return PictureError::BadField;
  }
  return image;
}

// Run-length data, rows bottom-up: a count and an index (in RLE4 two indices
// that alternate), or an escape: 0 0 ends the row, 0 1 the picture, 0 2 dx dy
// moves ahead, 0 n starts n literal indices padded to an even byte count.
// Pixels no run reaches keep index 0. A run or move past the picture's edge,
// or data that ends before the end of the picture, is BadData.
PictureResult ReadRunLength(const DibInfo& d, Bytes data, const Palette& palette) {
  Image image{d.width, d.height, std::vector<std::uint32_t>(static_cast<std::size_t>(d.width) * d.height,
                                                            palette.argb[0])};
  const int per_byte = 8 / d.bits;
  int x = 0, y = 0;  // y counts rows from the bottom
  // `count` indices from `src`: from one byte repeated, or from consecutive `literal` bytes.
  const auto run = [&](const std::uint8_t* src, bool literal, int count) -> std::optional<PictureError> {
    if (y >= d.height || count > d.width - x) return PictureError::BadData;
    std::uint32_t* out = &image.pixels[static_cast<std::size_t>(d.height - 1 - y) * d.width + x];
    for (int i = 0; i < count; ++i) {
      const std::uint8_t byte = src[literal ? i / per_byte : 0];
      const std::uint32_t index = per_byte == 1 ? byte : i % 2 == 0 ? byte >> 4 : byte & 0x0Fu;
      if (index >= palette.count) return PictureError::BadField;
      out[i] = palette.argb[index];
    }
    x += count;
    return std::nullopt;
  };
  std::size_t at = 0;
  while (Fits(data.size(), at, 2)) {
    const int count = data[at], code = data[at + 1];
    at += 2;
    std::optional<PictureError> error;
    if (count > 0) {
      error = run(&data[at - 1], false, count);
    } else if (code == 0) {  // end of row
      x = 0;
      if (++y > d.height) return PictureError::BadData;
    } else if (code == 1) {  // end of picture
      return image;
    } else {  // a move ahead takes two more bytes, a literal run its indices' bytes
      const std::size_t bytes = code == 2 ? 2 : static_cast<std::size_t>(code + per_byte - 1) / per_byte;
      if (!Fits(data.size(), at, bytes)) return PictureError::BadData;
      if (code == 2) {
        x += data[at];
        y += data[at + 1];
        if (x > d.width || y > d.height) return PictureError::BadData;
      } else {
        error = run(&data[at], true, code);
      }
      at += bytes + bytes % 2;  // literal runs are padded to an even byte count
    }
    if (error) return *error;
  }
  return PictureError::BadData;
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
  const std::uint64_t palette_bytes = d.entry_bytes * d.palette_count;
  std::uint64_t image_bytes = d.stride * static_cast<std::uint64_t>(d.height);
  if (pixel_offset < palette_at + palette_bytes) return PictureError::BadField;
  if (!IsRunLength(d) && d.image_bytes != 0 && d.image_bytes < image_bytes) return PictureError::BadField;
  if (!Fits(file.size(), pixel_offset, d.image_bytes)) return PictureError::Truncated;
  // Run-length data runs to its announced size, or when none is, to the end of the file.
  if (IsRunLength(d)) image_bytes = d.image_bytes != 0 ? d.image_bytes : file.size() - pixel_offset;
  if (!Fits(file.size(), pixel_offset, image_bytes)) return PictureError::Truncated;
  return BmpLayout{d, file.subspan(static_cast<std::size_t>(palette_at), palette_bytes),
                   file.subspan(pixel_offset, image_bytes)};
}

}  // namespace

PictureResult DecodeBmp(Bytes bytes) {
  auto layout = ReadBmpLayout(bytes);
  if (const auto* e = std::get_if<PictureError>(&layout)) return *e;
  const BmpLayout& l = std::get<BmpLayout>(layout);
  const Palette palette = ReadPalette(l.info, l.palette);
  return IsRunLength(l.info) ? ReadRunLength(l.info, l.pixels, palette) : ReadPixels(l.info, l.pixels, palette);
}

std::optional<Bmp24View> ViewBmp24(Bytes bytes) {
  auto layout = ReadBmpLayout(bytes);
  const BmpLayout* l = std::get_if<BmpLayout>(&layout);
  if (l == nullptr || l->info.bits != 24) return std::nullopt;
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

  PictureResult result = ReadPixels(d, colour, ReadPalette(d, data.subspan(d.header_bytes, palette_bytes)));
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
