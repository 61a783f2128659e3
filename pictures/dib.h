#pragma once
// Strict reader of device-independent bitmaps: BMP files and the images inside
// icon and cursor files. Every field is checked against its allowed set and
// every size and offset against the bytes present before anything is allocated.
//
// BMP: the 12-byte OS/2 header or an info header of 40, 108 or 124 bytes;
// 1, 4, 8, 16, 24 or 32 bits per pixel; uncompressed, run-length (8 and 4 bits,
// bottom-up only), or bit fields on 16 and 32 bits: each channel one run of at
// most 8 bits, scaled to 8. 16 bits without bit fields are 5-5-5. Pixels are
// opaque (alpha is ignored). A pixel index beyond the palette is a BadField;
// run-length data that leaves the picture or ends before its end is BadData.
// ICO/CUR: an entry's image is header, palette, colour image, then the AND mask
// (set bit: transparent). A 32-bit entry whose alpha channel is not all zero
// uses it instead of the mask (alpha 128 and up is opaque). PNG entries are
// Unsupported. Transparent pixels are 0x00000000.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "pictures/picture.h"

namespace pictures {

PictureResult DecodeBmp(std::span<const std::uint8_t> bytes);

// An uncompressed 24-bit BMP read where it lies, a row at a time, for a
// picture too large to keep a decoded copy of. Checked as DecodeBmp checks.
struct Bmp24View {
  int width = 0;
  int height = 0;
  bool top_down = false;
  std::size_t stride = 0;
  std::span<const std::uint8_t> pixels;  // the stored rows, within the file

  // Pixels [x, x + count) of row y (top-down) as opaque 0xAARRGGBB; the caller
  // keeps the range within the picture.
  void CopyRow(int y, int x, int count, std::uint32_t* out) const;
};
std::optional<Bmp24View> ViewBmp24(std::span<const std::uint8_t> bytes);

enum class IconKind : std::uint16_t { Icon = 1, Cursor = 2 };

// One directory entry. A cursor keeps its hotspot where an icon keeps its
// planes and bit count.
struct IconEntry {
  int width = 0;  // 1..256 (stored as 0 for 256)
  int height = 0;
  std::uint16_t planes_or_hotspot_x = 0;
  std::uint16_t bits_or_hotspot_y = 0;
  std::uint32_t size = 0;    // bytes of the entry's image
  std::uint32_t offset = 0;  // from the start of the file
};

struct IconDirectory {
  IconKind kind = IconKind::Icon;
  std::vector<IconEntry> entries;  // each one's image lies inside the file
};

using IconDirectoryResult = std::variant<IconDirectory, PictureError>;

// Reserved 0, type icon or cursor, at least one entry: the signature of both.
bool IsIconDirectory(std::span<const std::uint8_t> bytes);

IconDirectoryResult ReadIconDirectory(std::span<const std::uint8_t> bytes);

// The first 32x32 entry, else the first of the largest; never fails on a
// directory from ReadIconDirectory.
std::size_t PreferredIconEntry(const IconDirectory& directory);

// The image of one entry of a directory read from the same bytes.
PictureResult DecodeIconEntry(std::span<const std::uint8_t> bytes, const IconEntry& entry);

// An ICO or CUR file shown as its preferred entry.
PictureResult DecodeIcon(std::span<const std::uint8_t> bytes);

}  // namespace pictures
