// The readers of disc pictures and pointer files: what they show for every
// layout they accept, the error for each check they make, and a clean error
// for every truncation of a good file.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "fuzz/check.h"
#include "platform/cursor_file.h"
#include "platform/dib.h"
#include "platform/gif.h"
#include "platform/gif_structure.h"
#include "tests/picture_test_util.h"

namespace {

using namespace picture_test;
using platform::Image;
using E = platform::PictureError;
using Error = std::optional<E>;
constexpr std::uint32_t kCap = platform::kMaxPictureSide;

Bytes Patched(Bytes b, std::size_t at, int bytes, std::uint32_t v) { return Put(b, at, bytes, v), b; }
Bytes Cut(const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + n); }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// GIF layouts our encoder never writes, through giflib itself.
struct TestGif {
  int screen_width, screen_height, left = 0, top = 0;
  bool interlaced = false, local_table = false;
  int transparent = -1;
  bool second_image = false;
  assets::IndexedImage f = MakeIndexedF(6, 11);
};

int Append(GifFileType* gif, const GifByteType* data, int n) {
  static_cast<Bytes*>(gif->UserData)->insert(static_cast<Bytes*>(gif->UserData)->end(), data, data + n);
  return n;
}

Bytes WriteGif(const TestGif& t) {
  std::vector<GifColorType> colours(t.f.palette.size() <= 2 ? 2 : 4);
  for (std::size_t i = 0; i < t.f.palette.size(); ++i) colours[i] = {t.f.palette[i].r, t.f.palette[i].g, t.f.palette[i].b};
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, Append, &error);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, t.screen_width, t.screen_height, 8, 0, t.local_table ? nullptr : map);
  const GifByteType control[4] = {t.transparent >= 0, 0, 0, static_cast<GifByteType>(t.transparent)};
  if (t.transparent >= 0) EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
  EGifPutImageDesc(gif, t.left, t.top, t.f.width, t.f.height, t.interlaced, t.local_table ? map : nullptr);
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};  // the four interlace passes
  for (int pass = 0; pass < (t.interlaced ? 4 : 1); ++pass)
    for (int y = t.interlaced ? kStart[pass] : 0; y < t.f.height; y += t.interlaced ? kStep[pass] : 1)
      EGifPutLine(gif, const_cast<GifPixelType*>(&t.f.indices[y * t.f.width]), t.f.width);
  GifPixelType pixel = 1;
  if (t.second_image) EGifPutImageDesc(gif, 0, 0, 1, 1, false, map), EGifPutLine(gif, &pixel, 1);
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// What a TestGif shows: its image at its place on a clear screen.
Image Composed(const TestGif& t) {
  Image image{t.screen_width, t.screen_height, std::vector<std::uint32_t>(t.screen_width * t.screen_height)};
  const Image f = Expand(t.f);
  for (int y = 0; y < t.f.height; ++y)
    for (int x = 0; x < t.f.width; ++x)
      if (t.f.indices[y * t.f.width + x] != t.transparent)
        image.pixels[(t.top + y) * t.screen_width + t.left + x] = f.At(x, y);
  return image;
}

assets::IndexedImage TwoColours(int width, int height) {
  assets::IndexedImage f = MakeIndexedF(width, height);
  for (auto& i : f.indices) i &= 1;
  return f;
}

void ExpectShows(const platform::PictureResult& result, const Image& expected, const std::string& name) {
  ASSERT_EQ(ErrorOf(result), std::nullopt) << name;
  EXPECT_EQ(std::get<Image>(result).width, expected.width) << name;
  EXPECT_EQ(std::get<Image>(result).pixels, expected.pixels) << name;
}

TEST(Pictures, ShowWhatEveryAcceptedLayoutHolds) {
  std::vector<std::tuple<std::string, Bytes, Image>> rows;
  for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {5, 3}, {641, 480}})
    rows.push_back({"encoded bmp " + std::to_string(w), assets::EncodeBmp24(MakeF(w, h)), MakeF(w, h)});
  for (auto [w, h] : {std::pair{1, 1}, {6, 5}, {149, 23}, {641, 3}})
    rows.push_back({"encoded gif " + std::to_string(w), assets::EncodeGif(MakeIndexedF(w, h)), MakeF(w, h)});
  for (auto [w, h] : {std::pair{1, 1}, {9, 3}, {32, 32}, {256, 256}})
    rows.push_back({"encoded ico " + std::to_string(w), assets::EncodeIco4(MakeIndexedF(w, h)), MakeF(w, h)});
  for (int bits : {1, 4, 8, 24, 32})
    for (int w : {1, 2, 3, 5, 7, 8, 9, 17, 33}) {
      const assets::IndexedImage f = bits == 1 ? TwoColours(w, 5) : MakeIndexedF(w, 5);
      const std::string name = std::to_string(bits) + " bits, width " + std::to_string(w);
      rows.push_back({"bmp " + name, WriteBmp(f, {.bits = bits}), Expand(f)});
      rows.push_back({"top-down bmp " + name, WriteBmp(f, {.bits = bits, .top_down = true}), Expand(f)});
      rows.push_back({"ico " + name, WriteIcon({{f, {.bits = bits}}}), Expand(f, 0)});
    }
  const assets::IndexedImage f = MakeIndexedF(6, 5);
  rows.push_back({"v4 header", WriteBmp(f, {.header = 108}), Expand(f)});
  rows.push_back({"v5 header, top-down", WriteBmp(f, {.bits = 4, .top_down = true, .header = 124}), Expand(f)});
  rows.push_back({"bit fields", WriteBmp(f, {.bits = 32, .masks = true}), Expand(f)});
  rows.push_back({"bit fields in a v5 header", WriteBmp(f, {.bits = 32, .header = 124, .masks = true}), Expand(f)});
  rows.push_back({"32-bit bmp ignores alpha", WriteBmp(f, {.bits = 32, .alpha = true}), Expand(f)});
  rows.push_back({"bytes after a bmp", Cat({assets::EncodeBmp24(MakeF(6, 5)), Bytes(10)}), MakeF(6, 5)});
  rows.push_back({"bytes after a gif", Cat({assets::EncodeGif(f), Bytes(1, 0xAA)}), MakeF(6, 5)});
  const Bytes alpha = WriteIcon({{f, {.bits = 32, .alpha = true}}});
  Bytes mask_set = alpha;
  std::fill(mask_set.end() - 20, mask_set.end(), 0xFF);
  rows.push_back({"alpha decides over the mask", mask_set, Expand(f, 0)});
  Bytes half = alpha;
  half[22 + 40 + 3 + 4 * 2] = 128;  // bottom row, x = 2: still opaque
  rows.push_back({"alpha 128 is opaque", half, Expand(f, 0)});
  half[22 + 40 + 3 + 4 * 2] = 127;
  Image clear = Expand(f, 0);
  clear.pixels[4 * 6 + 2] = 0;
  rows.push_back({"alpha 127 is clear", half, clear});
  const auto entry = [](int w, int h, bool chosen = false) {
    assets::IndexedImage e = MakeIndexedF(w, h);
    if (chosen) e.palette[0] = {255, 255, 255};
    return std::pair{e, Dib{.bits = 24}};
  };
  const auto shows = [&](int w, int h) { return Expand(entry(w, h, true).first, 0); };
  rows.push_back({"32x32 among others", WriteIcon({entry(16, 16), entry(48, 48), entry(32, 32, true)}), shows(32, 32)});
  rows.push_back({"first of two 32x32", WriteIcon({entry(32, 32, true), entry(32, 32)}), shows(32, 32)});
  rows.push_back({"else the largest", WriteIcon({entry(16, 16), entry(48, 40, true), entry(24, 24)}), shows(48, 40)});
  rows.push_back({"first of the largest", WriteIcon({entry(40, 40, true), entry(40, 40)}), shows(40, 40)});
  rows.push_back({"256 stored as 0", WriteIcon({entry(64, 64), entry(256, 256, true)}), shows(256, 256)});
  const TestGif kGifs[] = {
      {6, 11}, {6, 11, 0, 0, true}, {6, 1, 0, 0, true, false, -1, false, MakeIndexedF(6, 1)}, {6, 11, 0, 0, false, true},
      {9, 14, 2, 3}, {7, 12, 1, 1}, {6, 11, 0, 0, false, false, 1}, {6, 11, 0, 0, false, false, 3},
      {6, 11, 0, 0, false, false, -1, true},
  };
  for (const TestGif& t : kGifs) rows.push_back({"gif " + std::to_string(&t - kGifs), WriteGif(t), Composed(t)});
  for (const auto& [name, bytes, image] : rows) ExpectShows(platform::DecodePicture(bytes), image, name);
}

// The GIF block walk that guards the system's decoder on Windows.
TEST(Pictures, GifWalkFindsTheScreenAndTheFirstImage) {
  const TestGif kGifs[] = {{6, 11}, {20, 14, 9, 3}, {6, 11, 0, 0, true, true, 2}, {8, 12, 2, 1, false, false, -1, true}};
  for (const TestGif& t : kGifs) {
    const auto read = platform::ReadGifStructure(WriteGif(t));
    ASSERT_EQ(ErrorOf(read), std::nullopt);
    const platform::GifStructure& g = std::get<platform::GifStructure>(read);
    EXPECT_EQ((std::vector{g.screen_width, g.screen_height, g.left, g.top, g.width, g.height, int{g.interlaced},
                           g.transparent_index}),
              (std::vector{t.screen_width, t.screen_height, t.left, t.top, 6, 11, int{t.interlaced}, t.transparent}));
  }
}

TEST(Pictures, RefuseEachBrokenRule) {
  const Bytes bmp = WriteBmp(MakeIndexedF(6, 5), {});  // pixels at 1078, 5 rows of 8 bytes, 1118 bytes
  const Bytes bmp24 = assets::EncodeBmp24(MakeF(6, 5));
  const Bytes masks = WriteBmp(MakeIndexedF(6, 5), {.bits = 32, .masks = true});
  // Screen at 6, flags at 10, control extension at 781, image descriptor at 789, code size at 799.
  const Bytes gif = assets::EncodeGif(MakeIndexedF(6, 5));
  // Entry at 6 (size at 14, offset at 18), image at 22: 744 bytes of header, 16 colours, pixels, mask.
  const Bytes ico = assets::EncodeIco4(MakeIndexedF(32, 32));
  assets::IndexedImage two = MakeIndexedF(6, 5);
  two.palette.resize(2);
  Bytes no_table = gif;
  no_table.erase(no_table.begin() + 13, no_table.begin() + 781);
  no_table[10] = 0x70;
  Bytes png = ico;
  std::copy_n("\x89PNG\r\n\x1A\n", 8, png.begin() + 22);
  const std::vector<std::tuple<const char*, Bytes, Error>> rows = {
      {"empty", {}, E::Empty},
      {"text", {'h', 'e', 'l', 'l', 'o', '!', '!'}, E::NotAPicture},
      {"unknown gif version", Patched(gif, 3, 1, '7'), E::NotAPicture},
      {"icon directory of type 3", {0, 0, 3, 0, 1, 0}, E::NotAPicture},
      {"icon directory with reserved 1", {1, 0, 1, 0, 1, 0}, E::NotAPicture},
      {"over the file cap", Patched(Bytes(platform::kMaxPictureFileBytes + 1), 0, 2, 'B' | 'M' << 8), E::TooLarge},
      {"bmp file size 13", Patched(bmp, 2, 4, 13), E::BadField},
      {"bmp file size one short", Patched(bmp, 2, 4, 1117), E::Truncated},
      {"bmp file size one long", Patched(bmp, 2, 4, 1119), E::Truncated},
      {"bmp pixels inside the palette", Patched(bmp, 10, 4, 1077), E::BadField},
      {"bmp pixels one late", Patched(bmp, 10, 4, 1079), E::Truncated},
      {"bmp pixels far off", Patched(bmp, 10, 4, 0xFFFFFFFF), E::Truncated},
      {"bmp header size 41", Patched(bmp, 14, 4, 41), E::BadField},
      {"bmp header size 12", Patched(bmp, 14, 4, 12), E::Unsupported},
      {"bmp header past the file", Patched(bmp, 14, 4, 124), E::BadField},
      {"bmp width 0", Patched(bmp, 18, 4, 0), E::BadField},
      {"bmp width -6", Patched(bmp, 18, 4, -6), E::BadField},
      {"bmp width 9", Patched(bmp, 18, 4, 9), E::Truncated},
      {"bmp width over the cap", Patched(bmp, 18, 4, kCap + 1), E::TooLarge},
      {"bmp height 0", Patched(bmp, 22, 4, 0), E::BadField},
      {"bmp height 6", Patched(bmp, 22, 4, 6), E::Truncated},
      {"bmp height over the cap", Patched(bmp, 22, 4, kCap + 1), E::TooLarge},
      {"bmp height under minus the cap", Patched(bmp, 22, 4, -kCap - 1), E::TooLarge},
      {"bmp planes 2", Patched(bmp, 26, 2, 2), E::BadField},
      {"bmp bits 7", Patched(bmp, 28, 2, 7), E::BadField},
      {"bmp bits 16", Patched(bmp, 28, 2, 16), E::Unsupported},
      {"bmp run-length", Patched(bmp, 30, 4, 1), E::Unsupported},
      {"bmp bit fields on 8 bits", Patched(bmp, 30, 4, 3), E::Unsupported},
      {"bmp compression 7", Patched(bmp, 30, 4, 7), E::BadField},
      {"bmp image size exact", Patched(bmp, 34, 4, 40), std::nullopt},
      {"bmp image size 1", Patched(bmp, 34, 4, 1), E::BadField},
      {"bmp image size one long", Patched(bmp, 34, 4, 41), E::Truncated},
      {"bmp colours used 3", Patched(bmp, 46, 4, 3), std::nullopt},
      {"bmp index past the colours used", Patched(bmp, 46, 4, 2), E::BadField},
      {"bmp colours used 257", Patched(bmp, 46, 4, 257), E::BadField},
      {"24-bit bmp palette over the pixels", Patched(bmp24, 46, 4, 1), E::BadField},
      {"24-bit bmp colours used 257", Patched(bmp24, 46, 4, 257), E::BadField},
      {"bit fields over the pixels", Patched(masks, 10, 4, 60), E::BadField},
      {"swapped bit fields", Patched(masks, 54, 4, 0xFF), E::Unsupported},
      {"gif screen width 0", Patched(gif, 6, 2, 0), E::BadField},
      {"gif screen width over the cap", Patched(gif, 6, 2, kCap + 1), E::TooLarge},
      {"gif screen height 0", Patched(gif, 8, 2, 0), E::BadField},
      {"gif screen height 0xFFFF", Patched(gif, 8, 2, 0xFFFF), E::TooLarge},
      {"gif image off the screen", Patched(gif, 790, 2, 1), E::BadField},
      {"gif image top 0xFFFF", Patched(gif, 792, 2, 0xFFFF), E::BadField},
      {"gif image width 0", Patched(gif, 794, 2, 0), E::BadField},
      {"gif image wider than the screen", Patched(gif, 794, 2, 7), E::BadField},
      {"gif image height over the cap", Patched(gif, 796, 2, kCap + 1), E::TooLarge},
      {"gif code size 1", Patched(gif, 799, 1, 1), E::BadField},
      {"gif code size 12", Patched(gif, 799, 1, 12), E::BadField},
      {"gif control extension of 3 bytes", Patched(gif, 783, 1, 3), E::BadField},
      {"gif unknown record", Patched(gif, 789, 1, 0x2D), E::BadField},
      {"gif trailer replaced", Patched(gif, gif.size() - 1, 1, 0), E::BadField},
      {"gif data block past the end", Patched(gif, 800, 1, 0xFF), E::Truncated},
      {"gif without an image", Cat({Cut(gif, 789), {0x3B}}), E::NotAPicture},
      {"gif without a colour table", no_table, E::BadField},
      {"index past a gif's colour table", WriteGif({6, 5, 0, 0, false, false, -1, false, two}), E::BadField},
      {"gif later control extension of 5 bytes", Cat({Cut(gif, gif.size() - 1), {0x21, 0xF9, 5, 0, 0, 0, 0, 0, 0, 0x3B}}),
       E::BadField},
      {"gif later control extension of 4 bytes", Cat({Cut(gif, gif.size() - 1), {0x21, 0xF9, 4, 0, 0, 0, 0, 0, 0x3B}}),
       std::nullopt},
      {"ico count 0", Patched(ico, 4, 2, 0), E::NotAPicture},
      {"ico count 2", Patched(ico, 4, 2, 2), E::BadField},
      {"ico count 0xFFFF", Patched(ico, 4, 2, 0xFFFF), E::Truncated},
      {"ico entry width disagrees", Patched(ico, 6, 1, 16), E::BadField},
      {"ico entry height 0 means 256", Patched(ico, 7, 1, 0), E::BadField},
      {"ico entry size 39", Patched(ico, 14, 4, 39), E::BadField},
      {"ico entry size one short", Patched(ico, 14, 4, 743), E::Truncated},
      {"ico entry size one long", Patched(ico, 14, 4, 745), E::Truncated},
      {"ico entry inside the directory", Patched(ico, 18, 4, 21), E::BadField},
      {"ico entry one late", Patched(ico, 18, 4, 23), E::Truncated},
      {"ico image width over the cap", Patched(ico, 26, 4, kCap + 1), E::TooLarge},
      {"ico image height not doubled", Patched(ico, 30, 4, 32), E::BadField},
      {"ico image height odd", Patched(ico, 30, 4, 63), E::BadField},
      {"ico image height negative", Patched(ico, 30, 4, -64), E::BadField},
      {"ico bits 8 needs more bytes", Patched(ico, 36, 2, 8), E::Truncated},
      {"ico bit fields", Patched(ico, 38, 4, 3), E::Unsupported},
      {"ico colours used 1", Patched(ico, 54, 4, 1), E::BadField},
      {"ico colours used 17", Patched(ico, 54, 4, 17), E::BadField},
      {"ico png entry", png, E::Unsupported},
  };
  for (const auto& [name, bytes, error] : rows) {
    EXPECT_EQ(ErrorOf(platform::DecodePicture(bytes)), error) << name;
    if (std::string(name).starts_with("gif")) {
      EXPECT_EQ(ErrorOf(platform::ReadGifStructure(bytes)), error) << name;
    }
  }
}

// Pointer files: RIFF chunks of an animated cursor.
Bytes Chunk(std::string_view tag, const Bytes& data) {
  Bytes out(tag.begin(), tag.end());
  Add(out, data.size()).insert(out.end(), data.begin(), data.end());
  if (data.size() % 2) out.push_back(0);
  return out;
}
Bytes Words(std::initializer_list<std::uint32_t> words) {
  Bytes out;
  for (std::uint32_t w : words) Add(out, w);
  return out;
}
Bytes List(std::string_view type, const Bytes& chunks) { return Chunk("LIST", Cat({Bytes(type.begin(), type.end()), chunks})); }
Bytes Riff(std::initializer_list<Bytes> chunks) {
  const Bytes body = Cat(chunks);
  Bytes size;
  return Cat({{'R', 'I', 'F', 'F'}, Add(size, 4 + body.size()), {'A', 'C', 'O', 'N'}, body});
}
Bytes Anih(std::uint32_t frames, std::uint32_t steps, std::uint32_t jiffies, std::uint32_t flags = 1) {
  return Chunk("anih", Words({36, frames, steps, 0, 0, 0, 0, jiffies, flags}));
}
// A white "F" on black, clear in the first column.
Image Mono(int w, int h) {
  assets::IndexedImage f = MakeIndexedF(w, h);
  f.palette = {{0, 0, 0}, {255, 255, 255}, {255, 255, 255}};
  return Expand(f, 0);
}
// Frame i: 32x32, 16x9 or 7x5 with its own hotspot.
Bytes Pointer(int i) {
  const int w[] = {32, 16, 7}, h[] = {32, 9, 5};
  return assets::EncodeCur1(Mono(w[i], h[i]), w[i] - 1, i);
}
Bytes Icons(int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) out = Cat({out, Chunk("icon", Pointer(i % 3))});
  return out;
}

// Frame sizes, hotspots, then (frame, jiffies) per step.
std::vector<int> Shown(const platform::CursorResult& r) {
  if (ErrorOf(r)) return {-1, static_cast<int>(*ErrorOf(r))};
  std::vector<int> out;
  for (const platform::CursorFrame& f : std::get<platform::CursorFile>(r).frames)
    out.insert(out.end(), {f.image.width, f.image.height, f.hotspot_x, f.hotspot_y});
  for (const platform::CursorStep& s : std::get<platform::CursorFile>(r).steps)
    out.insert(out.end(), {static_cast<int>(s.frame), static_cast<int>(s.jiffies)});
  return out;
}

TEST(Pointers, FramesAndStepsOfEveryLayout) {
  const Bytes fram = List("fram", Icons(3));
  const std::vector<int> frames = {32, 32, 31, 0, 16, 9, 15, 1, 7, 5, 6, 2};
  auto with = [&](std::vector<int> steps) { return steps.insert(steps.begin(), frames.begin(), frames.end()), steps; };
  const std::vector<std::tuple<const char*, Bytes, std::vector<int>>> rows = {
      {"still cursor", Pointer(1), {16, 9, 15, 1, 0, 0}},
      {"icon: hotspot at the corner", assets::EncodeIco4(MakeIndexedF(9, 3)), {9, 3, 0, 0, 0, 0}},
      {"encoded animation", assets::EncodeAni(std::vector{Pointer(0), Pointer(1), Pointer(2)}, 7),
       with({0, 7, 1, 7, 2, 7})},
      {"seq reorders and repeats frames",
       Riff({Anih(3, 5, 6, 3), Chunk("rate", Words({1, 2, 3, 4, 5})), Chunk("seq ", Words({2, 0, 1, 0, 2})), fram}),
       with({2, 1, 0, 2, 1, 3, 0, 4, 2, 5})},
      {"chunks in any order", Riff({fram, Chunk("seq ", Words({1, 1})), Anih(3, 2, 9, 3)}), with({1, 9, 1, 9})},
      {"seq without its flag", Riff({Anih(3, 2, 4), Chunk("seq ", Words({2, 1})), fram}), with({2, 4, 1, 4})},
      {"zero rates take the header's", Riff({Anih(3, 3, 6), Chunk("rate", Words({0, 8, 0})), fram}),
       with({0, 6, 1, 8, 2, 6})},
      {"no rate anywhere: one jiffy", Riff({Anih(3, 3, 0), fram}), with({0, 1, 1, 1, 2, 1})},
      {"other chunks and odd sizes", Riff({Chunk("junk", Bytes(5)), Anih(3, 3, 2), List("INFO", Chunk("INAM", Bytes(3))), fram}),
       with({0, 2, 1, 2, 2, 2})},
  };
  for (const auto& [name, bytes, shown] : rows) EXPECT_EQ(Shown(platform::DecodeCursorFile(bytes)), shown) << name;
  const auto still = platform::DecodeCursorFile(Pointer(2));
  EXPECT_EQ(std::get<platform::CursorFile>(still).frames[0].image.pixels, Mono(7, 5).pixels);
}

TEST(Pointers, RefuseEachBrokenRule) {
  const Bytes anih = Anih(3, 3, 7), rate = Chunk("rate", Words({7, 7, 7})), fram = List("fram", Icons(3));
  const Bytes good = Riff({anih, rate, fram});
  const std::vector<std::tuple<const char*, Bytes, E>> rows = {
      {"empty", {}, E::Empty},
      {"a bmp", assets::EncodeBmp24(MakeF(6, 5)), E::NotAPicture},
      {"over the file cap", Bytes(platform::kMaxPictureFileBytes + 1), E::TooLarge},
      {"hotspot x at the width", Patched(Pointer(2), 10, 2, 7), E::BadField},
      {"hotspot y at the height", Patched(Pointer(2), 12, 2, 5), E::BadField},
      {"riff of another form", Patched(good, 8, 4, 'W' | 'A' << 8 | 'V' << 16 | 'E' << 24), E::NotAPicture},
      {"riff header cut short", Cut(good, 11), E::Truncated},
      {"riff size 3", Patched(good, 4, 4, 3), E::BadField},
      {"riff size one long", Patched(good, 4, 4, good.size() - 7), E::Truncated},
      {"riff size cutting the last chunk", Patched(good, 4, 4, good.size() - 9), E::Truncated},
      {"no anih", Riff({rate, fram}), E::BadField},
      {"anih twice", Riff({anih, anih, rate, fram}), E::BadField},
      {"anih of 35 bytes", Riff({Chunk("anih", Bytes(35)), rate, fram}), E::BadField},
      {"anih declaring 0 bytes", Riff({Patched(anih, 8, 4, 0), rate, fram}), E::BadField},
      {"chunk size past the end", Riff({Patched(anih, 4, 4, 0xFFFFFFFF), rate, fram}), E::Truncated},
      {"chunk header cut short", Riff({anih, rate, fram, {'j', 'u', 'n', 'k', 1, 0, 0}}), E::Truncated},
      {"0 frames", Riff({Anih(0, 3, 7), rate, fram}), E::BadField},
      {"0 steps", Riff({Anih(3, 0, 7), rate, fram}), E::BadField},
      {"frames over the cap", Riff({Anih(platform::kMaxCursorFrames + 1, 3, 7), rate, fram}), E::TooLarge},
      {"steps over the cap", Riff({Anih(3, platform::kMaxCursorSteps + 1, 7), rate, fram}), E::TooLarge},
      {"raw bitmap frames", Riff({Anih(3, 3, 7, 0), rate, fram}), E::Unsupported},
      {"sequence flag without seq", Riff({Anih(3, 3, 7, 3), rate, fram}), E::BadField},
      {"more steps than frames without seq", Riff({Anih(3, 4, 7), Chunk("rate", Words({1, 2, 3, 4})), fram}), E::BadField},
      {"rate one short", Riff({anih, Chunk("rate", Words({7, 7})), fram}), E::BadField},
      {"rate twice", Riff({anih, rate, rate, fram}), E::BadField},
      {"seq names a frame past the last", Riff({anih, Chunk("seq ", Words({0, 1, 3})), fram}), E::BadField},
      {"seq one short", Riff({anih, Chunk("seq ", Words({0, 1})), fram}), E::BadField},
      {"seq twice", Riff({anih, Chunk("seq ", Words({0, 1, 2})), Chunk("seq ", Words({0, 1, 2})), fram}), E::BadField},
      {"no frame list", Riff({anih, rate}), E::BadField},
      {"frame list twice", Riff({anih, rate, fram, fram}), E::BadField},
      {"list too short for its type", Riff({anih, rate, Chunk("LIST", {'f', 'r'}), fram}), E::BadField},
      {"fewer icons than frames", Riff({anih, rate, List("fram", Icons(2))}), E::BadField},
      {"more icons than frames", Riff({anih, rate, List("fram", Icons(4))}), E::BadField},
      {"a list inside the frame list", Riff({anih, rate, List("fram", Cat({Icons(2), fram}))}), E::BadField},
      {"an icon holding text", Riff({anih, rate, List("fram", Cat({Icons(2), Chunk("icon", Bytes(9, 'a'))}))}),
       E::NotAPicture},
      {"an icon holding a cut cursor", Riff({anih, rate, List("fram", Cat({Icons(2), Chunk("icon", Cut(Pointer(2), 90))}))}),
       E::Truncated},
  };
  ASSERT_EQ(ErrorOf(platform::DecodeCursorFile(good)), std::nullopt);
  for (const auto& [name, bytes, error] : rows) EXPECT_EQ(ErrorOf(platform::DecodeCursorFile(bytes)), error) << name;
}

// Every strict prefix of a good file is an error, and the GIF walk agrees with the decoder on it.
TEST(Readers, RefuseEveryTruncation) {
  const Bytes pictures[] = {WriteBmp(MakeIndexedF(6, 5), {}), assets::EncodeBmp24(MakeF(5, 3)), assets::EncodeGif(MakeIndexedF(6, 5)),
                            WriteGif({9, 14, 2, 3, true, true, 1, true}), assets::EncodeIco4(MakeIndexedF(32, 32)),
                            WriteIcon({{MakeIndexedF(7, 5), {.bits = 32, .alpha = true}}, {TwoColours(3, 3), {.bits = 1}}}, 2)};
  const Bytes pointers[] = {Pointer(1), assets::EncodeAni(std::vector{Pointer(1), Pointer(2)}, 3),
                            Riff({Anih(2, 3, 5, 3), Chunk("seq ", Words({1, 0, 1})), List("fram", Icons(2))})};
  for (const Bytes& file : pictures)
    for (std::size_t n = 0; n < file.size(); ++n) {
      const Error error = ErrorOf(platform::DecodePicture(Cut(file, n)));
      ASSERT_NE(error, std::nullopt) << n << " of " << file.size();
      EXPECT_TRUE(file[0] != 'G' || ErrorOf(platform::ReadGifStructure(Cut(file, n))) ==
                                        ErrorOf(platform::DecodeGif(Cut(file, n)))) << n;
      EXPECT_FALSE(platform::ViewBmp24(Cut(file, n))) << n;
    }
  for (const Bytes& file : pointers)
    for (std::size_t n = 0; n < file.size(); ++n)
      ASSERT_NE(ErrorOf(platform::DecodeCursorFile(Cut(file, n))), std::nullopt) << n << " of " << file.size();
}

// A 24-bit bitmap too large to copy is drawn from where it lies, as the decoder shows it.
TEST(Readers, Bmp24ViewShowsWhatTheDecoderShows) {
  for (bool top_down : {false, true})
    for (int width : {5, 6, 7, 8}) {
      const assets::IndexedImage f = MakeIndexedF(width, 5);
      const auto view = platform::ViewBmp24(WriteBmp(f, {.bits = 24, .top_down = top_down}));
      ASSERT_TRUE(view);
      std::vector<std::uint32_t> rows(width * 5);
      for (int y = 0; y < 5; ++y) view->CopyRow(y, 0, width, &rows[y * width]);
      EXPECT_EQ(rows, Expand(f).pixels);
      view->CopyRow(2, 1, 2, rows.data());
      EXPECT_EQ(rows[0], Expand(f).At(1, 2));
    }
  EXPECT_FALSE(platform::ViewBmp24(WriteBmp(MakeIndexedF(6, 5), {.bits = 8})));
  EXPECT_FALSE(platform::ViewBmp24(WriteBmp(MakeIndexedF(6, 5), {.bits = 32})));
}

// Inputs kept under tests/regressions/<reader>/ (what the fuzzers caught, and
// decode bombs) pass the fuzzers' own checks; a bomb shows all it announces or
// is refused.
TEST(Readers, KeptHostileInputsStaySane) {
  const std::map<std::string, std::string (*)(fuzz::Bytes)> kChecks = {
      {"picture", &fuzz::PictureProblem}, {"cursor", &fuzz::CursorProblem}, {"object", &fuzz::ObjectProblem}};
  const std::map<std::string, std::variant<int, E>> kBombs = {
      {"gif-4096x4096-uniform-lzw-bomb.gif", 4096}, {"gif-4096x4096-screen-1x1-image.gif", 4096},
      {"gif-4097-wide.gif", E::TooLarge}, {"gif-4096x4096-clear-codes-only.gif", E::BadField}};
  int files = 0;
  for (const auto& folder : std::filesystem::directory_iterator(AUTORUN_REGRESSION_DIR))
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
      std::ifstream in(file.path(), std::ios::binary);
      const Bytes bytes(std::istreambuf_iterator<char>(in), {});
      EXPECT_EQ(kChecks.at(folder.path().filename())(bytes), "") << file.path();
      const auto bomb = kBombs.find(file.path().filename());
      if (bomb == kBombs.end()) continue;
      const auto shown = platform::DecodePicture(bytes);
      EXPECT_EQ(ErrorOf(shown), std::holds_alternative<E>(bomb->second) ? Error(std::get<E>(bomb->second)) : std::nullopt);
      EXPECT_TRUE(ErrorOf(shown) || std::get<Image>(shown).height == std::get<int>(bomb->second)) << bomb->first;
      ++files;
    }
  EXPECT_EQ(files, 4);
}

}  // namespace
