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
  std::uint32_t header;  // 12 (OS/2), 40, 108 or 124
  int bits;
  std::uint32_t compression;
  Masks masks{};  // how 16, 24 and 32-bit pixels are laid out
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

// The stored value of a pixel: an index, or channel values that sweep each
// channel's range, with every bit outside the masks set.
std::uint32_t Raw(const Form& f, int x, int y) {
  if (f.bits <= 8) return IndexAt(x, y);
  std::uint32_t raw = f.bits == 16 ? 0xFFFF : 0xFFFFFFFF;
  for (int c = 0; c < 3; ++c) {
    const int shift = std::countr_zero(f.masks[c]);
    raw = (raw & ~f.masks[c]) | (x * 5 + y * 3 + c * 7) % ((f.masks[c] >> shift) + 1) << shift;
  }
  return raw;
}

// What the picture shows: each channel rounded to the nearest of 0..255.
std::uint32_t Expected(const Form& f, int x, int y) {
  if (f.bits <= 8) return Colour(IndexAt(x, y));
  std::uint32_t argb = 0xFF000000u;
  for (int c = 0; c < 3; ++c) {
    const int shift = std::countr_zero(f.masks[c]);
    const double value = (Raw(f, x, y) & f.masks[c]) >> shift;
    argb |= static_cast<std::uint32_t>(std::lround(value * 255 / (f.masks[c] >> shift))) << (16 - 8 * c);
  }
  return argb;
}

void Put(Bytes& b, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> 8 * i));
}

int Stored(int x, int y) { return x < kWidth ? IndexAt(x, kHeight - 1 - y) : -1; }  // y from the bottom
int Zeros(int x, int y) {
  int n = 0;
  while (Stored(x + n, y) == 0) ++n;
  return n;
}

// Rows bottom-up: rows of 0 up to the top end the picture, those below a move
// down; 4 or more 0 are a move ahead, 0 to the row's end its end; 3 or more of
// one index (RLE4: of one pair) a run, the rest literal runs.
Bytes EncodeRle(const Form& f) {
  const int per_byte = 8 / f.bits;
  Bytes out;
  const auto emit = [&](std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
  };
  const auto pack = [&](int x, int y) { return per_byte == 1 ? Stored(x, y) : Stored(x, y) << 4 | (Stored(x + 1, y) & 15); };
  for (int y = 0; y < kHeight; ++y) {
    int down = 0;
    while (y + down < kHeight && Zeros(0, y + down) == kWidth) ++down;
    if (y + down == kHeight) break;
    if (down > 0) emit({0, 2, 0, down});
    y += down;
    for (int x = 0, n = 0; x + Zeros(x, y) < kWidth; x += n) {
      if ((n = Zeros(x, y)) >= 4) {
        emit({0, 2, n, 0});
        continue;
      }
      for (n = 1; Stored(x + n, y) >= 0 && Stored(x + n, y) == Stored(x + n % per_byte, y);) ++n;
      if (n >= 3 || kWidth - x < 3) {
        emit({n, pack(x, y)});
        continue;
      }
      for (n = 3; Stored(x + n, y) > 0 && Stored(x + n, y) != Stored(x + n - 1, y);) ++n;
      emit({0, n});
      for (int i = 0; i < n; i += per_byte) emit({pack(x + i, y)});
      if ((n + per_byte - 1) / per_byte % 2 == 1) emit({0});
    }
    emit({0, 0});
  }
  emit({0, 1});
  return out;
}

// A BMP file of the form; `rle` replaces the run-length data the encoder writes.
Bytes WriteBmp(const Form& f, const std::optional<Bytes>& rle = {}) {
  const bool core = f.header == 12;
  Bytes pixels = rle ? *rle : f.compression == kRle8 || f.compression == kRle4 ? EncodeRle(f) : Bytes{};
  const std::size_t stride = (kWidth * f.bits + 31) / 32 * 4;
  for (int row = 0; f.compression != kRle8 && f.compression != kRle4 && row < kHeight; ++row) {
    const int y = f.top_down ? row : kHeight - 1 - row;
    pixels.resize(pixels.size() + stride);
    std::uint8_t* line = &pixels[pixels.size() - stride];
    for (int x = 0; x < kWidth; ++x) {
      const std::uint32_t raw = Raw(f, x, y);
      if (f.bits < 8) line[x * f.bits / 8] |= static_cast<std::uint8_t>(raw << (8 - f.bits - x * f.bits % 8));
      for (int i = 0; i < f.bits / 8; ++i) line[x * f.bits / 8 + i] = static_cast<std::uint8_t>(raw >> 8 * i);
    }
  }
  const std::uint32_t colours = f.bits > 8 ? 0 : core ? 1u << f.bits : 16;
  const std::uint32_t masks = f.compression == kFields && f.header == 40 ? 12 : 0;
  const std::uint32_t offset = 14 + f.header + masks + colours * (core ? 3 : 4);
  Bytes b{'B', 'M'};
  for (std::uint32_t v : {offset + static_cast<std::uint32_t>(pixels.size()), 0u, offset, f.header}) Put(b, v, 4);
  const int bytes = core ? 2 : 4;
  Put(b, kWidth, bytes);
  Put(b, static_cast<std::uint32_t>(f.top_down ? -kHeight : kHeight), bytes);
  Put(b, 1, 2);
  Put(b, f.bits, 2);
  if (!core)
    for (std::uint32_t v : {f.compression, static_cast<std::uint32_t>(pixels.size()), 2835u, 2835u, colours, 0u})
      Put(b, v, 4);
  // V4 and V5 headers always hold masks, which count only with bit fields.
  for (std::uint32_t m : f.masks)
    if (masks > 0 || f.header > 40) Put(b, f.compression == kFields ? m : ~m, 4);
  b.resize(14 + f.header + masks, 0);
  for (std::uint32_t i = 0; i < colours; ++i) Put(b, Colour(static_cast<int>(i)) & 0xFFFFFF, core ? 3 : 4);
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
      {"16-bit 4-4-4 bit fields blue high top-down", 40, 16, kFields, {0x00F0, 0x000F, 0xF000}, true},
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
    const platform::Image& image = std::get<platform::Image>(result);
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) ASSERT_EQ(image.At(x, y), Expected(f, x, y)) << x << "," << y;
    std::string name = "bmp-" + f.name + ".bmp";
    std::replace(name.begin(), name.end(), ' ', '-');
    if (seeds != nullptr) std::ofstream(std::string(seeds) + "/" + name, std::ios::binary).write(
        reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
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
  Put(file, static_cast<std::uint32_t>(bmp.size() - 14), 4);
  Put(file, 22, 4);
  file.insert(file.end(), bmp.begin() + 14, bmp.end());
  return file;
}

TEST(BitmapForms, RefuseWhatLeavesThePictureOrBreaksTheRules) {
  const Bytes rows9 = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const auto then = [](Bytes a, std::initializer_list<std::uint8_t> b) { a.insert(a.end(), b); return a; };
  const struct {
    const char* name;
    Bytes file;
    std::optional<PictureError> expected;
  } kRows[] = {
      {"a run that fills the row", Rle8({23, 1, 0, 1}), std::nullopt},
      {"a run past the row's end", Rle8({24, 1, 0, 1}), PictureError::BadData},
      {"a literal run past the row's end", Rle8({20, 1, 0, 4, 1, 1, 1, 1, 0, 1}), PictureError::BadData},
      {"an rle4 run past the row's end", WriteBmp({"", 40, 4, kRle4}, Bytes{24, 0x12, 0, 1}), PictureError::BadData},
      {"a move to the right edge", Rle8({0, 2, 23, 0, 0, 1}), std::nullopt},
      {"a move past the right edge", Rle8({0, 2, 24, 0, 0, 1}), PictureError::BadData},
      {"a move to the top", Rle8({0, 2, 0, 9, 0, 1}), std::nullopt},
      {"a move past the top", Rle8({0, 2, 0, 10, 0, 1}), PictureError::BadData},
      {"a run above the top", Rle8({0, 2, 0, 9, 1, 1, 0, 1}), PictureError::BadData},
      {"every row ended", Rle8(then(rows9, {0, 1})), std::nullopt},
      {"a row ended above the top", Rle8(then(rows9, {0, 0, 0, 1})), PictureError::BadData},
      {"no data", Rle8({}), PictureError::BadData},
      {"no end of picture", Rle8({23, 1}), PictureError::BadData},
      {"a cut literal run", Rle8({0, 5, 1, 1}), PictureError::BadData},
      {"a cut move", Rle8({0, 2, 1}), PictureError::BadData},
      {"a literal cut by the announced size", Patched(Rle8({0, 4, 1, 1, 0xFF, 0xFF, 0, 1}), 34, 4),
       PictureError::BadData},
      {"data to the end of the file", Patched(Rle8({0, 1}), 34, 0), std::nullopt},
      {"a run beyond the palette", Rle8({1, 16, 0, 1}), PictureError::BadField},
      {"a literal beyond the palette", Rle8({0, 3, 1, 16, 1, 0, 0, 1}), PictureError::BadField},
      {"top-down run-length", WriteBmp({"", 40, 8, kRle8, {}, true}), PictureError::BadField},
      {"rle8 on 4 bits", WriteBmp({"", 40, 4, kRle8}, Bytes{0, 1}), PictureError::Unsupported},
      {"bit fields on 24 bits", WriteBmp({"", 40, 24, kFields, k888}), PictureError::Unsupported},
      {"overlapping masks", WriteBmp({"", 40, 16, kFields, {0xF800, 0x0FE0, 0x001F}}), PictureError::BadField},
      {"a mask with a gap", WriteBmp({"", 40, 16, kFields, {0xF800, 0x07A0, 0x001F}}), PictureError::BadField},
      {"an empty mask", WriteBmp({"", 40, 32, kFields, {0xFF0000, 0, 0xFF}}), PictureError::BadField},
      {"a mask past 16 bits", WriteBmp({"", 40, 16, kFields, {0x1F0000, 0x07E0, 0x001F}}), PictureError::BadField},
      {"10-bit channels", WriteBmp({"", 40, 32, kFields, {0x3FF00000, 0xFFC00, 0x3FF}}), PictureError::Unsupported},
      {"masks cut short", Cut(WriteBmp(k565), 62), PictureError::Truncated},
      {"64 bits", Patched(WriteBmp({"", 40, 32, kNone, k888}), 28, 64), PictureError::Unsupported},
      {"an os2 header in an icon", Icon({"", 12, 8, kNone}), PictureError::Unsupported},
      {"16 bits in an icon", Icon({"", 40, 16, kNone, k555}), PictureError::Unsupported},
      {"run-length in an icon", Icon({"", 40, 8, kRle8}), PictureError::Unsupported},
  };
  for (const auto& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ErrorOf(platform::DecodePicture(r.file)), r.expected);
  }
}

TEST(BitmapForms, BadDataHasItsOwnWords) {
  const std::string cause(platform::Describe(PictureError::BadData));
  EXPECT_NE(cause, platform::Describe(PictureError::BadField));
  EXPECT_NE(DescribeRuntimeError(platform::RuntimeError("LoadPicture", "x", cause)).chinese.find("圖片資料錯誤"),
            std::string::npos);
}

}  // namespace
