// The bitmap forms paint programs save besides the plain ones: run-length
// (RLE8, RLE4), the OS/2 header, 16-bit pixels, masked 32-bit pixels, V4 and
// V5 masks, top-down rows. Each is written here from known pixels and read
// back; then the damaged data and masks that must be refused.
// The good forms are also the picture fuzzer's seeds, fuzz/seeds/picture/:
//   AUTORUN_SEED_DIR=fuzz/seeds/picture build/tests/dib_forms_tests
// writes them there.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/picture.h"
#include "platform/runtime.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Masks = std::array<std::uint32_t, 3>;  // red, green, blue
using platform::PictureError;

constexpr int kWidth = 23, kHeight = 9;
constexpr std::uint32_t kNone = 0, kRle8 = 1, kRle4 = 2, kFields = 3;
constexpr Masks k555 = {0x7C00, 0x03E0, 0x001F}, k888 = {0xFF0000, 0xFF00, 0xFF};

struct Form {
  std::string name;
  std::uint32_t header, bits, compression;  // header: 12 (OS/2), 40, 108 or 124
  Masks masks{};                            // how 16, 24 and 32-bit pixels are laid out
  bool top_down = false;
};

// Indices 1 to 15 with every run-length case around them: the top two rows
// and row 4 all 0, a stretch of 0 mid-row, odd rows ending in 0, a repeated
// index, changing ones, a repeated pair.
int IndexAt(int x, int y) {
  if (y < 2 || y == 4 || (x >= 10 && x < 14) || (x >= 20 && y % 2 == 1)) return 0;
  if (x < 5) return y;
  return x < 10 || x >= 20 ? (x * 7 + y) % 15 + 1 : x % 2 == 0 ? 9 : 3;
}

std::uint32_t Colour(int index) { return 0xFF000000u | ((index * 0x10305u + 0x402010u) & 0xFFFFFF); }

// A pixel as stored (an index, or channel values that sweep each channel's
// range with every bit outside the masks set) and as shown, each channel
// rounded to the nearest of 0..255.
std::pair<std::uint32_t, std::uint32_t> Pixel(const Form& f, int x, int y) {
  if (f.bits <= 8) return {IndexAt(x, y), Colour(IndexAt(x, y))};
  std::uint32_t raw = ~0u, shown = 0xFF000000u;
  for (int c = 0; c < 3; ++c) {
    const int shift = std::countr_zero(f.masks[c]);
    const std::uint32_t max = f.masks[c] >> shift, value = (x * 5 + y * 3 + c * 7) % (max + 1);
    raw = (raw & ~f.masks[c]) | value << shift;
    shown |= static_cast<std::uint32_t>(std::lround(value * 255.0 / max)) << (16 - 8 * c);
  }
  return {raw, shown};
}

void Put(Bytes& b, std::initializer_list<std::int64_t> values, int bytes = 4) {
  for (std::int64_t v : values)
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> 8 * i));
}

int Stored(int x, int y) { return x < kWidth ? IndexAt(x, kHeight - 1 - y) : -1; }  // y from the bottom
int Zeros(int x, int y) {
  for (int n = 0;; ++n)
    if (Stored(x + n, y) != 0) return n;
}

// Rows bottom-up: rows of 0 up to the top end the picture, those below a move
// down; 4 or more 0 are a move ahead, 0 to the row's end its end; 3 or more of
// one index (RLE4: of one pair) a run, the rest literal runs.
Bytes EncodeRle(int per_byte) {
  Bytes out;
  const auto pack = [&](int x, int y) { return per_byte == 1 ? Stored(x, y) : Stored(x, y) << 4 | (Stored(x + 1, y) & 15); };
  for (int y = 0; y < kHeight; ++y) {
    int down = 0;
    while (y + down < kHeight && Zeros(0, y + down) == kWidth) ++down;
    if (y + down == kHeight) break;
    if (down > 0) Put(out, {0, 2, 0, down}, 1);
    y += down;
    for (int x = 0, n = 0; x + Zeros(x, y) < kWidth; x += n) {
      if ((n = Zeros(x, y)) >= 4) {
        Put(out, {0, 2, n, 0}, 1);
        continue;
      }
      for (n = 1; Stored(x + n, y) >= 0 && Stored(x + n, y) == Stored(x + n % per_byte, y);) ++n;
      if (n >= 3 || kWidth - x < 3) {
        Put(out, {n, pack(x, y)}, 1);
        continue;
      }
      for (n = 3; Stored(x + n, y) > 0 && Stored(x + n, y) != Stored(x + n - 1, y);) ++n;
      Put(out, {0, n}, 1);
      for (int i = 0; i < n; i += per_byte) Put(out, {pack(x + i, y)}, 1);
      out.resize((out.size() + 1) / 2 * 2);
    }
    Put(out, {0, 0}, 1);
  }
  Put(out, {0, 1}, 1);
  return out;
}

// A BMP file of the form; `rle` replaces the run-length data the encoder writes.
Bytes WriteBmp(const Form& f, const std::optional<Bytes>& rle = {}) {
  const bool core = f.header == 12, compressed = f.compression == kRle8 || f.compression == kRle4;
  Bytes pixels = rle ? *rle : compressed ? EncodeRle(static_cast<int>(8 / f.bits)) : Bytes{};
  const std::size_t stride = (kWidth * f.bits + 31) / 32 * 4;
  for (int row = 0; !compressed && row < kHeight; ++row) {
    pixels.resize(pixels.size() + stride);
    std::uint8_t* line = &pixels[pixels.size() - stride];
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      const std::uint32_t raw = Pixel(f, static_cast<int>(x), f.top_down ? row : kHeight - 1 - row).first;
      if (f.bits < 8) line[x * f.bits / 8] |= static_cast<std::uint8_t>(raw << (8 - f.bits - x * f.bits % 8));
      for (std::uint32_t i = 0; i < f.bits / 8; ++i) line[x * f.bits / 8 + i] = static_cast<std::uint8_t>(raw >> 8 * i);
    }
  }
  const std::uint32_t colours = f.bits > 8 ? 0 : core ? 1u << f.bits : 16;
  const std::uint32_t masks = f.compression == kFields && f.header == 40 ? 12 : 0;
  const std::uint32_t offset = 14 + f.header + masks + colours * (core ? 3 : 4), size = pixels.size();
  Bytes b{'B', 'M'};
  Put(b, {offset + size, 0, offset, f.header});
  if (core) Put(b, {kWidth, kHeight, 1, f.bits}, 2);
  if (!core) Put(b, {kWidth, f.top_down ? -kHeight : kHeight, 1 | f.bits << 16, f.compression, size, 2835, 2835, colours, 0});
  // V4 and V5 headers always hold masks, which count only with bit fields.
  for (std::uint32_t m : f.masks)
    if (masks > 0 || f.header > 40) Put(b, {f.compression == kFields ? m : ~m});
  b.resize(14 + f.header + masks, 0);
  for (int i = 0; i < static_cast<int>(colours); ++i) Put(b, {Colour(i)}, core ? 3 : 4);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

std::optional<PictureError> ErrorOf(const platform::PictureResult& r) {
  if (const auto* e = std::get_if<PictureError>(&r)) return *e;
  return std::nullopt;
}

const Form kRle8Form{"rle8", 40, 8, kRle8}, k565{"16-bit 5-6-5 bit fields", 40, 16, kFields, {0xF800, 0x07E0, 0x001F}};

TEST(BitmapForms, ReadBackPixelForPixel) {
  const Form kForms[] = {
      kRle8Form,
      {"rle4", 40, 4, kRle4},
      {"rle8 in a v5 header", 124, 8, kRle8},
      {"os2 4-bit", 12, 4, kNone},
      {"os2 8-bit", 12, 8, kNone},
      {"os2 24-bit", 12, 24, kNone, k888},
      {"16-bit 5-5-5", 40, 16, kNone, k555},
      {"16-bit 5-5-5 top-down in a v4 header", 108, 16, kNone, k555, true},
      k565,
      {"16-bit 5-6-5 bit fields blue high top-down", 40, 16, kFields, {0x001F, 0x07E0, 0xF800}, true},
      {"16-bit 5-5-5 bit fields in a v4 header", 108, 16, kFields, k555},
      {"32-bit bit fields in the high bytes top-down v5", 124, 32, kFields, {0xFF000000, 0xFF0000, 0xFF00}, true},
      {"32-bit 6-bit channels", 40, 32, kFields, {0x3F000, 0xFC0, 0x3F}},
      {"32-bit without bit fields in a v5 header", 124, 32, kNone, k888},
  };
  const char* seeds = std::getenv("AUTORUN_SEED_DIR");
  for (const Form& f : kForms) {
    SCOPED_TRACE(f.name);
    const Bytes file = WriteBmp(f);
    const auto result = platform::DecodePicture(file);
    ASSERT_EQ(ErrorOf(result), std::nullopt) << platform::Describe(std::get<PictureError>(result));
    std::vector<std::uint32_t> shown;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) shown.push_back(Pixel(f, x, y).second);
    EXPECT_EQ(std::get<platform::Image>(result).pixels, shown);
    std::string name = "bmp-" + f.name + ".bmp";
    std::replace(name.begin(), name.end(), ' ', '-');
    if (seeds != nullptr) std::ofstream(std::string(seeds) + "/" + name, std::ios::binary) << std::string(file.begin(), file.end());
  }
}

Bytes Rle8(Bytes data) { return WriteBmp(kRle8Form, data); }

Bytes Patched(Bytes file, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) file.at(at + i) = static_cast<std::uint8_t>(value >> 8 * i);
  return file;
}

// A file cut inside its headers, with the size field saying so.
Bytes Cut(Bytes file, std::size_t size) {
  file.resize(size);
  return Patched(file, 2, static_cast<std::uint32_t>(size));
}

// An icon file around the image of a form; only its header is ever reached.
Bytes Icon(const Form& f) {
  const Bytes bmp = WriteBmp(f);
  Bytes file{0, 0, 1, 0, 1, 0, kWidth, kHeight, 0, 0, 1, 0, static_cast<std::uint8_t>(f.bits), 0};
  Put(file, {static_cast<std::int64_t>(bmp.size()) - 14, 22});
  file.insert(file.end(), bmp.begin() + 14, bmp.end());
  return file;
}

TEST(BitmapForms, RefuseWhatLeavesThePictureOrBreaksTheRules) {
  const auto nine_rows_then = [](Bytes tail) { tail.insert(tail.begin(), 18, 0); return tail; };
  const struct {
    const char* name;
    Bytes file;
    std::optional<PictureError> expected;
  } kRows[] = {
      {"a run past the row's end", Rle8({24, 1, 0, 1}), PictureError::BadData},
      {"a move to the right edge", Rle8({0, 2, 23, 0, 0, 1}), std::nullopt},
      {"a move past the right edge", Rle8({0, 2, 24, 0, 0, 1}), PictureError::BadData},
      {"a move to the top", Rle8({0, 2, 0, 9, 0, 1}), std::nullopt},
      {"a move past the top", Rle8({0, 2, 0, 10, 0, 1}), PictureError::BadData},
      {"a run above the top", Rle8({0, 2, 0, 9, 1, 1, 0, 1}), PictureError::BadData},
      {"every row ended", Rle8(nine_rows_then({0, 1})), std::nullopt},
      {"a row ended above the top", Rle8(nine_rows_then({0, 0, 0, 1})), PictureError::BadData},
      {"no end of picture", Rle8({23, 1}), PictureError::BadData},
      {"an end of picture cut by the announced size", Patched(Rle8({0, 0, 0, 1}), 34, 3), PictureError::BadData},
      {"a literal cut by the announced size", Patched(Rle8({0, 4, 1, 1, 0xFF, 0xFF, 0, 1}), 34, 4),
       PictureError::BadData},
      {"a run beyond the palette", Rle8({1, 16, 0, 1}), PictureError::BadField},
      {"top-down run-length", WriteBmp({"", 40, 8, kRle8, {}, true}), PictureError::BadField},
      {"bit fields on 24 bits", WriteBmp({"", 40, 24, kFields, k888}), PictureError::Unsupported},
      {"overlapping masks", WriteBmp({"", 40, 16, kFields, {0xF800, 0x0FE0, 0x001F}}), PictureError::BadField},
      {"a mask with a gap", WriteBmp({"", 40, 16, kFields, {0xF800, 0x07A0, 0x001F}}), PictureError::BadField},
      {"an empty mask", Patched(WriteBmp(k565), 58, 0), PictureError::BadField},
      {"a mask past 16 bits", WriteBmp({"", 40, 16, kFields, {0x10000, 0x07E0, 0x001F}}), PictureError::BadField},
      {"10-bit channels", WriteBmp({"", 40, 32, kFields, {0x3FF00000, 0xFFC00, 0x3FF}}), PictureError::Unsupported},
      {"masks cut short", Cut(WriteBmp(k565), 62), PictureError::Truncated},
      {"pixels inside the masks", Patched(Cut(WriteBmp(k565), 66), 10, 65), PictureError::BadField},
      {"64 bits", Patched(WriteBmp({"", 40, 32, kNone, k888}), 28, 64), PictureError::Unsupported},
      {"an os2 header in an icon", Icon({"", 12, 8, kNone}), PictureError::Unsupported},
      {"16 bits in an icon", Icon({"", 40, 16, kNone, k555}), PictureError::Unsupported},
  };
  for (const auto& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ErrorOf(platform::DecodePicture(r.file)), r.expected);
  }
}

TEST(BitmapForms, BadDataHasItsOwnWords) {
  const platform::RuntimeError error("LoadPicture", "x", std::string(platform::Describe(PictureError::BadData)));
  EXPECT_NE(error.cause(), platform::Describe(PictureError::BadField));
  EXPECT_NE(DescribeRuntimeError(error).chinese.find("圖片資料錯誤"), std::string::npos);
}

}  // namespace
