#include "platform/dib.h"
#include "platform/gif.h"
#include "platform/gif_structure.h"
#include "platform/picture.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>
#include <string>

#include "assets/encode.h"
#include "platform/cursor_file.h"
#include "tests/picture_test_util.h"

namespace {

using namespace picture_test;
using platform::DecodePicture;
using platform::Image;
using platform::PictureError;

constexpr std::uint32_t kClear = 0x00000000;  // how every reader returns a transparent pixel

std::optional<PictureError> ErrorOf(const platform::PictureResult& r) {
  if (const auto* e = std::get_if<PictureError>(&r)) return *e;
  return std::nullopt;
}

void ExpectImage(const platform::PictureResult& result, const Image& expected) {
  ASSERT_EQ(ErrorOf(result), std::nullopt) << platform::Describe(std::get<PictureError>(result));
  const Image& got = std::get<Image>(result);
  ASSERT_EQ(got.width, expected.width);
  ASSERT_EQ(got.height, expected.height);
  for (int y = 0; y < expected.height; ++y)
    for (int x = 0; x < expected.width; ++x)
      ASSERT_EQ(got.At(x, y), expected.At(x, y)) << "at (" << x << ", " << y << ")";
}

// One field of a good file overwritten; nullopt expects the file still to decode.
struct Patch {
  const char* name;
  std::size_t offset;
  int bytes;  // 1, 2 or 4
  std::uint32_t value;
  std::optional<PictureError> expected;
};

Bytes Apply(Bytes file, const Patch& p) {
  if (p.bytes == 1) file.at(p.offset) = static_cast<std::uint8_t>(p.value);
  if (p.bytes == 2) PutU16(file, p.offset, p.value);
  if (p.bytes == 4) PutU32(file, p.offset, p.value);
  return file;
}

void ExpectPatches(const Bytes& good, std::span<const Patch> patches) {
  for (const Patch& p : patches) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(ErrorOf(DecodePicture(Apply(good, p))), p.expected);
  }
}

// The block walk that guards the system's decoder on Windows: a file it lets
// through reaches a decoder that is not ours, so its verdict must be the host
// reader's for every file.
std::optional<PictureError> WalkError(const Bytes& b) {
  auto r = platform::ReadGifStructure(b);
  if (auto* e = std::get_if<PictureError>(&r)) return *e;
  return std::nullopt;
}

// ---- Dispatch ---------------------------------------------------------------------

TEST(DecodePicture, TellsTheFormatByContent) {
  Bytes oversized(platform::kMaxPictureFileBytes + 1, 0);
  oversized[0] = 'B';
  oversized[1] = 'M';
  struct Row {
    const char* name;
    Bytes bytes;
    PictureError expected;
  };
  const Row kRows[] = {
      {"empty", {}, PictureError::Empty},
      {"one byte", {'B'}, PictureError::NotAPicture},
      {"text", {'h', 'e', 'l', 'l', 'o', '!', '!'}, PictureError::NotAPicture},
      {"unknown gif version", {'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, PictureError::NotAPicture},
      {"icon directory of type 3", {0, 0, 3, 0, 1, 0}, PictureError::NotAPicture},
      {"icon directory with reserved 1", {1, 0, 1, 0, 1, 0}, PictureError::NotAPicture},
      {"over the file cap", oversized, PictureError::TooLarge},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ErrorOf(DecodePicture(r.bytes)), r.expected);
  }
}

TEST(DecodePicture, EveryErrorHasItsOwnDescription) {
  std::set<std::string_view> seen;
  for (auto e : {PictureError::Empty, PictureError::NotAPicture, PictureError::Truncated, PictureError::BadField,
                 PictureError::TooLarge, PictureError::Unsupported})
    EXPECT_TRUE(seen.insert(platform::Describe(e)).second);
}

// ---- BMP ------------------------------------------------------------------------

TEST(DecodeBmp, ReadsBackTheEncoder) {
  for (auto [w, h] : {std::pair{6, 5}, {1, 1}, {2, 3}, {3, 2}, {4, 7}, {5, 3}, {641, 480}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const Image f = MakeF(w, h);
    ExpectImage(DecodePicture(assets::EncodeBmp24(f)), f);
  }
}

TEST(DecodeBmp, ReadsEveryDepthAndRowOrder) {
  for (int bits : {1, 4, 8, 24, 32})
    for (bool top_down : {false, true})
      for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 17, 33}) {
        SCOPED_TRACE("bits " + std::to_string(bits) + (top_down ? " top-down" : " bottom-up") + " width " +
                     std::to_string(width));
        const Image image = bits == 1 ? MakeF(width, 5) : Expand(MakeIndexedF(width, 5));
        ExpectImage(DecodePicture(WriteBmp(image, {.bits = bits, .top_down = top_down})), image);
      }
}

TEST(DecodeBmp, HeaderVariants) {
  const Image f = Expand(MakeIndexedF(6, 5));
  struct Row {
    const char* name;
    DibOptions options;
    std::optional<PictureError> expected;
  };
  const Row kRows[] = {
      {"v4 header", {.bits = 8, .header_bytes = 108}, std::nullopt},
      {"v5 header", {.bits = 24, .header_bytes = 124}, std::nullopt},
      {"v5 header top-down", {.bits = 4, .header_bytes = 124, .top_down = true}, std::nullopt},
      {"32-bit plain bit fields", {.bits = 32, .bitfields = true}, std::nullopt},
      {"32-bit plain bit fields in a v5 header", {.bits = 32, .header_bytes = 124, .bitfields = true}, std::nullopt},
      {"32-bit 10-bit bit fields",
       {.bits = 32, .bitfields = true, .masks = {0x3FF00000, 0x000FFC00, 0x000003FF}},
       PictureError::Unsupported},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    const auto result = DecodePicture(WriteBmp(f, r.options));
    EXPECT_EQ(ErrorOf(result), r.expected);
    if (!r.expected) ExpectImage(result, f);
  }
}

TEST(DecodeBmp, ThirtyTwoBitPixelsAreOpaque) {
  Image half_clear = MakeF(6, 5);
  for (auto& p : half_clear.pixels) p = (p & 0xFFFFFF) | 0x01000000;
  const auto result = DecodePicture(WriteBmp(half_clear, {.bits = 32, .alpha_channel = true}));
  ExpectImage(result, MakeF(6, 5));
}

TEST(DecodeBmp, IgnoresBytesPastTheAnnouncedSize) {
  const Image f = MakeF(6, 5);
  Bytes padded = assets::EncodeBmp24(f);
  padded.insert(padded.end(), 10, 0);  // a container's padding after the file
  ExpectImage(DecodePicture(padded), f);
}

// An 8-bit 6x5 picture: 256-entry palette, pixels at 1078, 5 rows of 8 bytes.
Bytes GoodBmp8() { return WriteBmp(Expand(MakeIndexedF(6, 5)), {.bits = 8}); }

TEST(DecodeBmp, RefusesEveryBadHeaderField) {
  const Bytes good = GoodBmp8();
  ASSERT_EQ(good.size(), 1118u);
  const Patch kPatches[] = {
      {"file size 0", 2, 4, 0, PictureError::BadField},
      {"file size 13", 2, 4, 13, PictureError::BadField},
      {"file size one short of the pixels", 2, 4, 1117, PictureError::Truncated},
      {"file size just past the end", 2, 4, 1119, PictureError::Truncated},
      {"file size 0x7FFFFFFF", 2, 4, 0x7FFFFFFF, PictureError::Truncated},
      {"file size 0xFFFFFFFF", 2, 4, 0xFFFFFFFF, PictureError::Truncated},
      {"pixel offset 0", 10, 4, 0, PictureError::BadField},
      {"pixel offset inside the palette", 10, 4, 1077, PictureError::BadField},
      {"pixel offset one past", 10, 4, 1079, PictureError::Truncated},
      {"pixel offset at the end", 10, 4, 1118, PictureError::Truncated},
      {"pixel offset 0x7FFFFFFF", 10, 4, 0x7FFFFFFF, PictureError::Truncated},
      {"pixel offset 0xFFFFFFFF", 10, 4, 0xFFFFFFFF, PictureError::Truncated},
      {"header size 0", 14, 4, 0, PictureError::BadField},
      {"header size 41", 14, 4, 41, PictureError::BadField},
      {"header size 12 (OS/2)", 14, 4, 12, PictureError::BadField},
      {"header size 0xFFFFFFFF", 14, 4, 0xFFFFFFFF, PictureError::BadField},
      {"width 0", 18, 4, 0, PictureError::BadField},
      {"width -6", 18, 4, static_cast<std::uint32_t>(-6), PictureError::BadField},
      {"width 0x80000000", 18, 4, 0x80000000, PictureError::BadField},
      {"width 9 needs more pixels", 18, 4, 9, PictureError::Truncated},
      {"width over the cap", 18, 4, platform::kMaxPictureSide + 1, PictureError::TooLarge},
      {"width 0x7FFFFFFF", 18, 4, 0x7FFFFFFF, PictureError::TooLarge},
      {"height 0", 22, 4, 0, PictureError::BadField},
      {"height 6 needs more pixels", 22, 4, 6, PictureError::Truncated},
      {"height over the cap", 22, 4, platform::kMaxPictureSide + 1, PictureError::TooLarge},
      {"height under minus the cap", 22, 4, static_cast<std::uint32_t>(-platform::kMaxPictureSide - 1),
       PictureError::TooLarge},
      {"height 0x80000000", 22, 4, 0x80000000, PictureError::TooLarge},
      {"planes 0", 26, 2, 0, PictureError::BadField},
      {"planes 2", 26, 2, 2, PictureError::BadField},
      {"bits 0", 28, 2, 0, PictureError::BadField},
      {"bits 7", 28, 2, 7, PictureError::BadField},
      {"bits 16", 28, 2, 16, PictureError::Truncated},
      {"bits 0xFFFF", 28, 2, 0xFFFF, PictureError::BadField},
      {"4-bit run-length on 8 bits", 30, 4, 2, PictureError::Unsupported},
      {"bit fields on 8 bits", 30, 4, 3, PictureError::Unsupported},
      {"compression 0xFFFFFFFF", 30, 4, 0xFFFFFFFF, PictureError::BadField},
      {"image size 0 is allowed", 34, 4, 0, std::nullopt},
      {"image size exact", 34, 4, 40, std::nullopt},
      {"image size 1", 34, 4, 1, PictureError::BadField},
      {"image size just past the end", 34, 4, 41, PictureError::Truncated},
      {"image size 0xFFFFFFFF", 34, 4, 0xFFFFFFFF, PictureError::Truncated},
      {"colours used 3 is enough", 46, 4, 3, std::nullopt},
      {"colours used 2 leaves index 2 outside", 46, 4, 2, PictureError::BadField},
      {"colours used 257", 46, 4, 257, PictureError::BadField},
      {"colours used 0xFFFFFFFF", 46, 4, 0xFFFFFFFF, PictureError::BadField},
  };
  ExpectPatches(good, kPatches);
}

TEST(DecodeBmp, PaletteMustEndBeforeThePixels) {
  const Bytes good = assets::EncodeBmp24(MakeF(6, 5));
  const Patch kPatches[] = {
      {"24-bit with 1 colour used and pixels at 54", 46, 4, 1, PictureError::BadField},
      {"24-bit with 257 colours used", 46, 4, 257, PictureError::BadField},
  };
  ExpectPatches(good, kPatches);
  Bytes bitfields = WriteBmp(MakeF(6, 5), {.bits = 32, .bitfields = true});
  const Patch kMasks[] = {{"bit-field masks overlapping the pixels", 10, 4, 60, PictureError::BadField}};
  ExpectPatches(bitfields, kMasks);
}

TEST(DecodeBmp, EveryTruncationFails) {
  ExpectEveryPrefixFails(GoodBmp8(), DecodePicture);
  ExpectEveryPrefixFails(assets::EncodeBmp24(MakeF(5, 3)), DecodePicture);
}

// ---- GIF ------------------------------------------------------------------------

TEST(DecodeGif, ReadsBackTheEncoder) {
  for (auto [w, h] : {std::pair{6, 5}, {1, 1}, {110, 24}, {149, 23}, {118, 25}, {44, 24}, {641, 3}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const assets::IndexedImage f = MakeIndexedF(w, h);
    ExpectImage(DecodePicture(assets::EncodeGif(f)), Expand(f));
  }
}

struct TestGif {
  int screen_width = 0, screen_height = 0;
  int left = 0, top = 0;
  assets::IndexedImage image;
  bool interlace = false;
  bool local_map = false;
  int transparent = -1;
  bool second_image = false;
};

int AppendGif(GifFileType* gif, const GifByteType* data, int n) {
  static_cast<Bytes*>(gif->UserData)->insert(static_cast<Bytes*>(gif->UserData)->end(), data, data + n);
  return n;
}

// Written with giflib itself, for the variants our encoder never makes.
Bytes WriteTestGif(const TestGif& t) {
  std::vector<GifColorType> colours;
  for (const assets::Rgb& c : t.image.palette) colours.push_back({c.r, c.g, c.b});
  colours.resize(std::size_t{1} << GifBitSize(static_cast<int>(colours.size())));
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendGif, &error);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, t.screen_width, t.screen_height, 8, 0, t.local_map ? nullptr : map);
  if (t.transparent >= 0) {
    const GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(t.transparent)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
  }
  EGifPutImageDesc(gif, t.left, t.top, t.image.width, t.image.height, t.interlace, t.local_map ? map : nullptr);
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < (t.interlace ? 4 : 1); ++pass)
    for (int y = t.interlace ? kStart[pass] : 0; y < t.image.height; y += t.interlace ? kStep[pass] : 1) {
      Bytes row(t.image.indices.begin() + y * t.image.width, t.image.indices.begin() + (y + 1) * t.image.width);
      EGifPutLine(gif, row.data(), t.image.width);
    }
  if (t.second_image) {
    EGifPutImageDesc(gif, 0, 0, 1, 1, false, map);
    GifPixelType pixel = 1;
    EGifPutLine(gif, &pixel, 1);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// The picture a TestGif should show: the image at its place, clear elsewhere.
Image Composed(const TestGif& t) {
  Image image{t.screen_width, t.screen_height,
              std::vector<std::uint32_t>(static_cast<std::size_t>(t.screen_width) * t.screen_height, kClear)};
  for (int y = 0; y < t.image.height; ++y)
    for (int x = 0; x < t.image.width; ++x) {
      const int index = t.image.indices[static_cast<std::size_t>(y) * t.image.width + x];
      if (index != t.transparent)
        image.pixels[static_cast<std::size_t>(t.top + y) * t.screen_width + t.left + x] = Argb(t.image.palette[index]);
    }
  return image;
}

TEST(DecodeGif, ComposesTheFirstImageOnItsScreen) {
  const assets::IndexedImage f = MakeIndexedF(6, 11);
  struct Row {
    const char* name;
    TestGif gif;
  };
  const Row kRows[] = {
      {"plain", {6, 11, 0, 0, f}},
      {"interlaced, odd height", {6, 11, 0, 0, f, true}},
      {"interlaced, one row", {6, 1, 0, 0, MakeIndexedF(6, 1), true}},
      {"local colour table", {6, 11, 0, 0, f, false, true}},
      {"offset on a larger screen", {9, 14, 2, 3, f}},
      {"offset to the far corner", {7, 12, 1, 1, f}},
      {"transparent ink", {6, 11, 0, 0, f, false, false, 1}},
      {"transparent index not used", {6, 11, 0, 0, f, false, false, 3}},
      {"a second image is not drawn", {6, 11, 0, 0, f, false, false, -1, true}},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    ExpectImage(DecodePicture(WriteTestGif(r.gif)), Composed(r.gif));
  }
}

TEST(DecodeGif, IndexBeyondTheColourTableIsRefused) {
  assets::IndexedImage two_colours = MakeIndexedF(6, 5);
  two_colours.palette.resize(2);  // the corner still uses index 2
  EXPECT_EQ(ErrorOf(DecodePicture(WriteTestGif({6, 5, 0, 0, two_colours}))), PictureError::BadField);
}

// EncodeGif's layout: screen at 6, flags at 10, table at 13, control
// extension at 781, image descriptor at 789, code size at 799.
Bytes GoodGif() { return assets::EncodeGif(MakeIndexedF(6, 5)); }

TEST(DecodeGif, RefusesEveryBadField) {
  const Bytes good = GoodGif();
  const Patch kPatches[] = {
      {"screen width 0", 6, 2, 0, PictureError::BadField},
      {"screen width over the cap", 6, 2, platform::kMaxPictureSide + 1, PictureError::TooLarge},
      {"screen height 0", 8, 2, 0, PictureError::BadField},
      {"screen height 0xFFFF", 8, 2, 0xFFFF, PictureError::TooLarge},
      {"image left 1 pushes it off the screen", 790, 2, 1, PictureError::BadField},
      {"image top 0xFFFF", 792, 2, 0xFFFF, PictureError::BadField},
      {"image width 0", 794, 2, 0, PictureError::BadField},
      {"image wider than the screen", 794, 2, 7, PictureError::BadField},
      {"image height over the cap", 796, 2, platform::kMaxPictureSide + 1, PictureError::TooLarge},
      {"image height 0xFFFF", 796, 2, 0xFFFF, PictureError::TooLarge},
      {"code size 0", 799, 1, 0, PictureError::BadField},
      {"code size 1", 799, 1, 1, PictureError::BadField},
      {"code size 12", 799, 1, 12, PictureError::BadField},
      {"control extension of 3 bytes", 783, 1, 3, PictureError::BadField},
      {"unknown record", 789, 1, 0x2D, PictureError::BadField},
      {"trailer replaced", good.size() - 1, 1, 0x00, PictureError::BadField},
      {"unknown version", 3, 1, '7', PictureError::NotAPicture},
      {"a data block longer than the file", 800, 1, 0xFF, PictureError::Truncated},
  };
  ExpectPatches(good, kPatches);
  for (const Patch& p : kPatches) {
    SCOPED_TRACE(std::string("walk: ") + p.name);
    EXPECT_EQ(WalkError(Apply(good, p)), p.expected);
  }
}

TEST(DecodeGif, RefusesFilesWithoutAnImageOrColours) {
  const Bytes good = GoodGif();
  Bytes no_image(good.begin(), good.begin() + 789);
  no_image.push_back(0x3B);
  Bytes no_table = good;
  no_table.erase(no_table.begin() + 13, no_table.begin() + 13 + 768);
  no_table[10] = 0x70;  // no global table
  Bytes extra_after_trailer = good;
  extra_after_trailer.push_back(0xAA);
  // After the first image a control extension must still be of four bytes.
  Bytes odd_later_control = good;
  const std::uint8_t kFiveByteControl[] = {0x21, 0xF9, 5, 0, 0, 0, 0, 0, 0};
  odd_later_control.insert(odd_later_control.end() - 1, std::begin(kFiveByteControl), std::end(kFiveByteControl));
  Bytes sound_later_control = good;
  const std::uint8_t kFourByteControl[] = {0x21, 0xF9, 4, 0, 0, 0, 0, 0};
  sound_later_control.insert(sound_later_control.end() - 1, std::begin(kFourByteControl), std::end(kFourByteControl));
  struct Row {
    const char* name;
    Bytes bytes;
    std::optional<PictureError> expected;
  };
  const Row kRows[] = {
      {"no image before the trailer", no_image, PictureError::NotAPicture},
      {"no colour table at all", no_table, PictureError::BadField},
      {"bytes after the trailer are ignored", extra_after_trailer, std::nullopt},
      {"a later control extension of five bytes", odd_later_control, PictureError::BadField},
      {"a later control extension of four bytes", sound_later_control, std::nullopt},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ErrorOf(DecodePicture(r.bytes)), r.expected);
    EXPECT_EQ(WalkError(r.bytes), r.expected) << "the walk disagrees";
  }
}

TEST(DecodeGif, EveryTruncationFailsAlikeInTheWalk) {
  const assets::IndexedImage f = MakeIndexedF(6, 11);
  for (const Bytes& file : {GoodGif(), WriteTestGif({9, 14, 2, 3, f, true, true, 1, true})}) {
    ExpectEveryPrefixFails(file, DecodePicture);
    for (std::size_t n = 0; n < file.size(); ++n) {
      const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
      ASSERT_EQ(WalkError(prefix), ErrorOf(platform::DecodeGif(prefix))) << "prefix of " << n << " bytes";
    }
  }
}

TEST(GifStructure, FindsTheScreenAndTheFirstImage) {
  const assets::IndexedImage f = MakeIndexedF(6, 5);
  struct Row {
    const char* name;
    TestGif gif;
  };
  const Row kRows[] = {
      {"image filling the screen", {6, 5, 0, 0, f}},
      {"image placed inside a larger screen", {20, 11, 9, 4, f}},
      {"interlaced, local table, transparent index 2", {6, 5, 0, 0, f, true, true, 2}},
      {"a second image after the first", {8, 8, 2, 3, f, false, false, 0, true}},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    const Bytes file = WriteTestGif(r.gif);
    ASSERT_EQ(ErrorOf(DecodePicture(file)), std::nullopt) << "the host reader must accept the sample";
    auto read = platform::ReadGifStructure(file);
    ASSERT_TRUE(std::holds_alternative<platform::GifStructure>(read));
    const platform::GifStructure& g = std::get<platform::GifStructure>(read);
    EXPECT_EQ(g.screen_width, r.gif.screen_width);
    EXPECT_EQ(g.screen_height, r.gif.screen_height);
    EXPECT_EQ(g.left, r.gif.left);
    EXPECT_EQ(g.top, r.gif.top);
    EXPECT_EQ(g.width, 6);
    EXPECT_EQ(g.height, 5);
    EXPECT_EQ(g.interlaced, r.gif.interlace);
    EXPECT_EQ(g.transparent_index, r.gif.transparent);
  }
}

// ---- ICO and CUR as pictures ---------------------------------------------------------

TEST(DecodeIcon, ReadsBackTheEncoder) {
  for (auto [w, h] : {std::pair{32, 32}, {6, 5}, {1, 1}, {9, 3}, {256, 256}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const assets::IndexedImage f = MakeIndexedF(w, h);
    ExpectImage(DecodePicture(assets::EncodeIco4(f)), Expand(f));
  }
}

// The F with a clear bottom-left corner and a clear first column.
Image WithHoles(Image image) {
  for (int y = 0; y < image.height; ++y) image.pixels[static_cast<std::size_t>(y) * image.width] = kClear;
  image.pixels[static_cast<std::size_t>(image.height - 1) * image.width + 1] = kClear;
  return image;
}

TEST(DecodeIcon, ReadsEveryDepthWithItsMask) {
  for (int bits : {1, 4, 8, 24, 32})
    for (int width : {2, 3, 5, 7, 8, 9, 17, 33}) {
      SCOPED_TRACE("bits " + std::to_string(bits) + " width " + std::to_string(width));
      // A 1-bit palette has room for black (the clear pixels) and one colour.
      const Image image = WithHoles(bits == 1 ? MakeF(width, 5, kBlack, kWhite) : MakeF(width, 5));
      ExpectImage(DecodePicture(WriteIconFile({{image, {.bits = bits}}}, 1)), image);
    }
}

TEST(DecodeIcon, ThirtyTwoBitAlphaOverridesTheMask) {
  Image image = WithHoles(MakeF(7, 5));
  const Bytes file = WriteIconFile({{image, {.bits = 32, .alpha_channel = true}}}, 1);
  Bytes mask_all_set = file;
  // Set every AND-mask bit: the alpha channel must still decide.
  const std::size_t mask_at = file.size() - 5 * 4;
  std::fill(mask_all_set.begin() + static_cast<std::ptrdiff_t>(mask_at), mask_all_set.end(), 0xFF);
  ExpectImage(DecodePicture(mask_all_set), image);
  // Half alpha counts as opaque from 128 up.
  Bytes half = file;
  const std::size_t first_pixel_alpha = 22 + 40 + 3 + 4 * 2;  // bottom row, x = 2 (ink or paper)
  half[first_pixel_alpha] = 128;
  ExpectImage(DecodePicture(half), image);
  half[first_pixel_alpha] = 127;
  Image expected = image;
  expected.pixels[4 * 7 + 2] = kClear;
  ExpectImage(DecodePicture(half), expected);
}

TEST(DecodeIcon, PicksThirtyTwoSquareElseTheLargest) {
  auto sized = [](int w, int h, std::uint32_t ink) { return TestIcon{MakeF(w, h, ink), {.bits = 24}}; };
  struct Row {
    const char* name;
    std::vector<TestIcon> entries;
    std::size_t expected;
  };
  const Row kRows[] = {
      {"32x32 among others", {sized(16, 16, kRed), sized(48, 48, kRed), sized(32, 32, kWhite)}, 2},
      {"first of two 32x32", {sized(32, 32, kWhite), sized(32, 32, kRed)}, 0},
      {"largest when none is 32x32", {sized(16, 16, kRed), sized(48, 40, kWhite), sized(24, 24, kRed)}, 1},
      {"first of equal largest", {sized(40, 40, kWhite), sized(40, 40, kRed)}, 0},
      {"256 stored as 0 is the largest", {sized(64, 64, kRed), sized(256, 256, kWhite)}, 1},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    ExpectImage(DecodePicture(WriteIconFile(r.entries, 1)), r.entries[r.expected].image);
  }
}

// EncodeIco4's 32x32 layout: entry at 6, image at 22 (header, 16 colours,
// 512 bytes of colour image, 128 of mask).
Bytes GoodIco() { return assets::EncodeIco4(MakeIndexedF(32, 32)); }

TEST(DecodeIcon, RefusesEveryBadField) {
  const Bytes good = GoodIco();
  const Patch kPatches[] = {
      {"count 0", 4, 2, 0, PictureError::NotAPicture},
      {"count 2 reads the image as an entry", 4, 2, 2, PictureError::BadField},
      {"count 0xFFFF", 4, 2, 0xFFFF, PictureError::Truncated},
      {"entry width 16 disagrees", 6, 1, 16, PictureError::BadField},
      {"entry height 0 means 256", 7, 1, 0, PictureError::BadField},
      {"entry size 0", 14, 4, 0, PictureError::BadField},
      {"entry size 39", 14, 4, 39, PictureError::BadField},
      {"entry size one short", 14, 4, 743, PictureError::Truncated},
      {"entry size just past the end", 14, 4, 745, PictureError::Truncated},
      {"entry size 0x7FFFFFFF", 14, 4, 0x7FFFFFFF, PictureError::Truncated},
      {"entry size 0xFFFFFFFF", 14, 4, 0xFFFFFFFF, PictureError::Truncated},
      {"entry offset 0", 18, 4, 0, PictureError::BadField},
      {"entry offset inside the directory", 18, 4, 21, PictureError::BadField},
      {"entry offset one past", 18, 4, 23, PictureError::Truncated},
      {"entry offset 0xFFFFFFFF", 18, 4, 0xFFFFFFFF, PictureError::Truncated},
      {"image header size 0", 22, 4, 0, PictureError::BadField},
      {"image header size 0xFFFFFFFF", 22, 4, 0xFFFFFFFF, PictureError::BadField},
      {"image width 0", 26, 4, 0, PictureError::BadField},
      {"image width -32", 26, 4, static_cast<std::uint32_t>(-32), PictureError::BadField},
      {"image width over the cap", 26, 4, platform::kMaxPictureSide + 1, PictureError::TooLarge},
      {"image height not doubled", 30, 4, 32, PictureError::BadField},
      {"image height odd", 30, 4, 63, PictureError::BadField},
      {"image height negative", 30, 4, static_cast<std::uint32_t>(-64), PictureError::BadField},
      {"image height 0", 30, 4, 0, PictureError::BadField},
      {"planes 0", 34, 2, 0, PictureError::BadField},
      {"bits 3", 36, 2, 3, PictureError::BadField},
      {"bits 16", 36, 2, 16, PictureError::Unsupported},
      {"bits 8 needs more bytes", 36, 2, 8, PictureError::Truncated},
      {"run-length compression", 38, 4, 2, PictureError::Unsupported},
      {"bit fields", 38, 4, 3, PictureError::Unsupported},
      {"colours used 1 leaves indices outside", 54, 4, 1, PictureError::BadField},
      {"colours used 17", 54, 4, 17, PictureError::BadField},
      {"colours used 0xFFFFFFFF", 54, 4, 0xFFFFFFFF, PictureError::BadField},
  };
  ExpectPatches(good, kPatches);
}

TEST(DecodeIcon, PngEntriesAreUnsupported) {
  Bytes png = GoodIco();
  const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::copy(std::begin(kSignature), std::end(kSignature), png.begin() + 22);
  EXPECT_EQ(ErrorOf(DecodePicture(png)), PictureError::Unsupported);
}

TEST(DecodeIcon, EveryTruncationFails) {
  ExpectEveryPrefixFails(GoodIco(), DecodePicture);
  ExpectEveryPrefixFails(WriteIconFile({{WithHoles(MakeF(7, 5)), {.bits = 32, .alpha_channel = true}},
                                        {MakeF(3, 3), {.bits = 1}}},
                                       2),
                         DecodePicture);
}

// ---- Seeded byte mutations of good files -------------------------------------------

// Whatever a reader returns for a damaged file must be a sound picture.
void ExpectSound(const Image& image, int max_side) {
  ASSERT_GT(image.width, 0);
  ASSERT_GT(image.height, 0);
  ASSERT_LE(image.width, max_side);
  ASSERT_LE(image.height, max_side);
  ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * image.height);
  for (std::uint32_t p : image.pixels) ASSERT_TRUE((p >> 24) == 0xFF || p == kClear) << std::hex << p;
}

TEST(DecodePicture, MutatedFilesNeverYieldUnsoundPictures) {
  const std::vector<Bytes> files{GoodBmp8(), GoodGif(), GoodIco(),
                                 WriteTestGif({9, 14, 2, 3, MakeIndexedF(6, 11), true, true, 1, true}),
                                 WriteIconFile({{WithHoles(MakeF(7, 5)), {.bits = 32, .alpha_channel = true}}}, 2),
                                 assets::EncodeAni(std::vector<Bytes>{assets::EncodeCur1(MakeF(5, 4), 1, 1)}, 4)};
  std::mt19937 random(20240601);  // fixed: a failure must reproduce
  for (std::size_t f = 0; f < files.size(); ++f)
    for (int round = 0; round < 1500; ++round) {
      Bytes bytes = files[f];
      const int flips = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < flips; ++i) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
      SCOPED_TRACE("file " + std::to_string(f) + " round " + std::to_string(round));
      const platform::PictureResult picture = DecodePicture(bytes);
      if (const auto* image = std::get_if<Image>(&picture)) ExpectSound(*image, platform::kMaxPictureSide);
      const platform::CursorResult cursor = platform::DecodeCursorFile(bytes);
      if (const auto* file = std::get_if<platform::CursorFile>(&cursor)) {
        ASSERT_FALSE(file->steps.empty());
        for (const auto& step : file->steps) ASSERT_LT(step.frame, file->frames.size());
        for (const auto& frame : file->frames) ExpectSound(frame.image, platform::kMaxCursorSide);
      }
    }
}

}  // namespace

namespace {

// The in-place view of a 24-bit bitmap shows exactly what the decoder shows.
TEST(Bmp24View, RowsMatchTheDecodedPicture) {
  for (bool top_down : {false, true}) {
    for (int width : {5, 6, 7, 8}) {
      SCOPED_TRACE(testing::Message() << (top_down ? "top-down" : "bottom-up") << " width " << width);
      const platform::Image f = MakeF(width, 5);
      const Bytes file = WriteBmp(f, {.bits = 24, .top_down = top_down});
      const auto view = platform::ViewBmp24(file);
      ASSERT_TRUE(view.has_value());
      ASSERT_EQ(view->width, width);
      ASSERT_EQ(view->height, 5);
      std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
      for (int y = 0; y < 5; ++y) {
        view->CopyRow(y, 0, width, row.data());
        for (int x = 0; x < width; ++x) EXPECT_EQ(row[x], f.At(x, y) | 0xFF000000u) << x << "," << y;
      }
      view->CopyRow(2, 1, 2, row.data());  // a part of a row starts where asked
      EXPECT_EQ(row[0], f.At(1, 2) | 0xFF000000u);
    }
  }
}

TEST(Bmp24View, RefusesWhatItCannotShowInPlace) {
  const platform::Image f = MakeF(6, 5);
  const Bytes good = WriteBmp(f, {.bits = 24});
  EXPECT_FALSE(platform::ViewBmp24(WriteBmp(f, {.bits = 8})).has_value());
  EXPECT_FALSE(platform::ViewBmp24(WriteBmp(f, {.bits = 32})).has_value());
  for (std::size_t n = 0; n < good.size(); ++n) {
    const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(platform::ViewBmp24(cut).has_value()) << "length " << n;
  }
}

}  // namespace
