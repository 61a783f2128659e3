// The GIF walk that guards the system's decoder on Windows, run here against
// the host's own GIF reader (giflib): for every file both must give the same
// verdict, since a file the walk lets through reaches a decoder that is not ours.
#include <gtest/gtest.h>
#include <gif_lib.h>

#include <optional>
#include <vector>

#include "assets/encode.h"
#include "platform/gif.h"
#include "platform/gif_structure.h"
#include "tests/picture_test_util.h"

namespace {

using picture_test::Bytes;
using picture_test::MakeIndexedF;
using platform::GifStructure;
using platform::PictureError;

std::optional<PictureError> WalkError(const Bytes& b) {
  auto r = platform::ReadGifStructure(b);
  if (auto* e = std::get_if<PictureError>(&r)) return *e;
  return std::nullopt;
}

std::optional<PictureError> HostError(const Bytes& b) {
  auto r = platform::DecodeGif(b);
  if (auto* e = std::get_if<PictureError>(&r)) return *e;
  return std::nullopt;
}

// EncodeGif's layout: screen at 6, flags at 10, table at 13, control
// extension at 781, image descriptor at 789, code size at 799.
Bytes GoodGif() { return assets::EncodeGif(MakeIndexedF(6, 5)); }

int AppendGif(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

struct Placed {
  int screen_width, screen_height, left, top;
  bool interlaced;
  int transparent;  // -1: no control extension
  bool second_image;
};

// Written with giflib, for the layouts our encoder never makes.
Bytes WritePlaced(const Placed& p) {
  const assets::IndexedImage f = MakeIndexedF(6, 5);
  std::vector<GifColorType> colours(4);
  for (std::size_t i = 0; i < f.palette.size(); ++i) colours[i] = {f.palette[i].r, f.palette[i].g, f.palette[i].b};
  ColorMapObject* map = GifMakeMapObject(4, colours.data());
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendGif, &error);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, p.screen_width, p.screen_height, 8, 0, map);
  if (p.transparent >= 0) {
    const GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(p.transparent)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
  }
  EGifPutImageDesc(gif, p.left, p.top, f.width, f.height, p.interlaced, nullptr);
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < (p.interlaced ? 4 : 1); ++pass)
    for (int y = p.interlaced ? kStart[pass] : 0; y < f.height; y += p.interlaced ? kStep[pass] : 1) {
      std::vector<GifPixelType> row(f.indices.begin() + y * f.width, f.indices.begin() + (y + 1) * f.width);
      EGifPutLine(gif, row.data(), f.width);
    }
  if (p.second_image) {
    EGifPutImageDesc(gif, 0, 0, 1, 1, false, nullptr);
    GifPixelType pixel = 1;
    EGifPutLine(gif, &pixel, 1);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

TEST(GifStructure, FindsTheScreenAndTheFirstImage) {
  struct Row {
    const char* name;
    Placed placed;
  };
  const Row kRows[] = {
      {"image filling the screen", {6, 5, 0, 0, false, -1, false}},
      {"image placed inside a larger screen", {20, 11, 9, 4, false, -1, false}},
      {"interlaced, transparent index 2", {6, 5, 0, 0, true, 2, false}},
      {"a second image after the first", {8, 8, 2, 3, false, 0, true}},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    const Bytes file = WritePlaced(r.placed);
    ASSERT_EQ(HostError(file), std::nullopt) << "the host reader must accept the sample";
    auto read = platform::ReadGifStructure(file);
    ASSERT_TRUE(std::holds_alternative<GifStructure>(read));
    const GifStructure& g = std::get<GifStructure>(read);
    EXPECT_EQ(g.screen_width, r.placed.screen_width);
    EXPECT_EQ(g.screen_height, r.placed.screen_height);
    EXPECT_EQ(g.left, r.placed.left);
    EXPECT_EQ(g.top, r.placed.top);
    EXPECT_EQ(g.width, 6);
    EXPECT_EQ(g.height, 5);
    EXPECT_EQ(g.interlaced, r.placed.interlaced);
    EXPECT_EQ(g.transparent_index, r.placed.transparent);
  }
}

TEST(GifStructure, RefusesWhatTheHostReaderRefuses) {
  const Bytes good = GoodGif();
  struct Patch {
    const char* name;
    std::size_t at;
    int width;  // bytes, little-endian
    std::uint32_t value;
    PictureError expected;
  };
  const Patch kPatches[] = {
      {"unknown version", 3, 1, '7', PictureError::NotAPicture},
      {"screen width 0", 6, 2, 0, PictureError::BadField},
      {"screen width over the cap", 6, 2, platform::kMaxPictureSide + 1, PictureError::TooLarge},
      {"screen height 0xFFFF", 8, 2, 0xFFFF, PictureError::TooLarge},
      {"image left 1 pushes it off the screen", 790, 2, 1, PictureError::BadField},
      {"image top 0xFFFF", 792, 2, 0xFFFF, PictureError::BadField},
      {"image width 0", 794, 2, 0, PictureError::BadField},
      {"image height over the cap", 796, 2, platform::kMaxPictureSide + 1, PictureError::TooLarge},
      {"code size 1", 799, 1, 1, PictureError::BadField},
      {"code size 12", 799, 1, 12, PictureError::BadField},
      {"control extension of 3 bytes", 783, 1, 3, PictureError::BadField},
      {"unknown record", 789, 1, 0x2D, PictureError::BadField},
      {"trailer replaced", good.size() - 1, 1, 0x00, PictureError::BadField},
      {"a data block longer than the file", 800, 1, 0xFF, PictureError::Truncated},
  };
  for (const Patch& p : kPatches) {
    SCOPED_TRACE(p.name);
    Bytes bad = good;
    for (int i = 0; i < p.width; ++i) bad.at(p.at + i) = static_cast<std::uint8_t>(p.value >> (8 * i));
    EXPECT_EQ(WalkError(bad), p.expected);
    EXPECT_EQ(HostError(bad), p.expected) << "the host reader disagrees: the row is wrong";
  }
}

TEST(GifStructure, RefusesFilesWithoutAnImageOrColours) {
  const Bytes good = GoodGif();
  Bytes no_image(good.begin(), good.begin() + 789);
  no_image.push_back(0x3B);
  Bytes no_table = good;
  no_table.erase(no_table.begin() + 13, no_table.begin() + 13 + 768);
  no_table[10] = 0x70;
  Bytes after_trailer = good;
  after_trailer.push_back(0xAA);
  struct Row {
    const char* name;
    Bytes bytes;
    std::optional<PictureError> expected;
  };
  const Row kRows[] = {
      {"no image before the trailer", no_image, PictureError::NotAPicture},
      {"no colour table at all", no_table, PictureError::BadField},
      {"bytes after the trailer are ignored", after_trailer, std::nullopt},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(WalkError(r.bytes), r.expected);
    EXPECT_EQ(HostError(r.bytes), r.expected);
  }
}

TEST(GifStructure, EveryTruncationGetsTheHostReadersVerdict) {
  for (const Bytes& file : {GoodGif(), WritePlaced({9, 14, 2, 3, true, 1, true})}) {
    for (std::size_t n = 0; n < file.size(); ++n) {
      const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
      const std::optional<PictureError> walk = WalkError(prefix);
      ASSERT_NE(walk, std::nullopt) << "a prefix of " << n << " bytes passed";
      ASSERT_EQ(walk, HostError(prefix)) << "prefix of " << n << " bytes";
    }
  }
}

}  // namespace
