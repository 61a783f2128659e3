// The readers of disc pictures and pointer files: what they show for every
// layout they accept, the error for each check they make, and a clean error
// for every truncation of a good file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "fuzz/check.h"
#include "pictures/cursor_file.h"
#include "pictures/dib.h"
#include "pictures/gif.h"
#include "pictures/gif_structure.h"
#include "tests/picture_test_util.h"

namespace {

using namespace picture_test;
using pictures::Image;
using E = pictures::PictureError;
using testing::_;
using testing::VariantWith;
constexpr std::uint32_t kCap = pictures::kMaxPictureSide;

Bytes Patched(Bytes b, std::size_t at, int bytes, std::uint32_t v) { return Put(b, at, bytes, v), b; }
Bytes Cut(const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + n); }

// The encoder's GIF of `f` (screen at 6, control extension at 781, image
// descriptor at 789) reshaped into layouts the encoder never writes.
struct TestGif {
  int screen_width, screen_height, left = 0, top = 0;
  bool interlaced = false;
  int transparent = -1;
  bool second_image = false;
  assets::IndexedImage f = MakeIndexedF(6, 11);
};

Bytes WriteGif(const TestGif& t) {
  assets::IndexedImage stored = t.f;
  if (t.interlaced) {  // rows pass by pass: every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1
    stored.indices.clear();
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
      for (int y = start; y < t.f.height; y += step)
        stored.indices.insert(stored.indices.end(), &t.f.indices[y * t.f.width], &t.f.indices[y * t.f.width] + t.f.width);
  }
  Bytes b = assets::EncodeGif(stored);
  Put(b, 6, 2, t.screen_width), Put(b, 8, 2, t.screen_height), Put(b, 790, 2, t.left), Put(b, 792, 2, t.top);
  b[798] |= t.interlaced ? 0x40 : 0;
  if (t.transparent >= 0) b[784] |= 1, b[787] = static_cast<std::uint8_t>(t.transparent);
  if (t.second_image) b.insert(b.end() - 1, b.begin() + 789, b.end() - 1);
  return b;
}

// Only the first `colours` entries of the GIF's global table kept, or no table at all.
Bytes TableCut(Bytes gif, int colours) {
  gif.erase(gif.begin() + 13 + 3 * colours, gif.begin() + 781);
  return gif[10] = colours ? 0xF0 : 0x70, gif;
}

// The GIF's colours as the image's own table instead of the screen's.
Bytes LocalTable(Bytes gif) {
  const Bytes table(gif.begin() + 13, gif.begin() + 781);
  gif = TableCut(gif, 0);
  gif[30] = 0x87;
  return gif.insert(gif.begin() + 31, table.begin(), table.end()), gif;
}

assets::IndexedImage TwoColours(int width, int height) {
  assets::IndexedImage f = MakeIndexedF(width, height);
  for (auto& i : f.indices) i &= 1;
  return f;
}

// A 6x5 8-bit run-length bitmap of `data`.
Bytes Rle8(const Bytes& data) {
  const Bytes b = Patched(Cat({Cut(WriteBmp(MakeIndexedF(6, 5), {}), 1078), data}), 30, 4, 1);
  return Patched(b, 2, 4, b.size());
}

// What a form shows of `f`: 16 and 32-bit channels as the writer rounds them
// to their masks' widths, widened back to the nearest of 0 to 255.
assets::IndexedImage Shown(assets::IndexedImage f, const Dib& d) {
  const Masks m = MasksOf(d);
  for (assets::Rgb& c : f.palette)
    for (int k = 0; d.bits >= 16 && k < 3; ++k) {
      std::uint8_t& v = k == 0 ? c.r : k == 1 ? c.g : c.b;
      const double max = m[k] >> std::countr_zero(m[k]);
      v = static_cast<std::uint8_t>(std::lround(std::round(v * max / 255) * 255 / max));
    }
  return f;
}

void ExpectShows(const pictures::PictureResult& result, const Image& expected, const std::string& name) {
  EXPECT_THAT(result, VariantWith<Image>(testing::FieldsAre(expected.width, expected.height, expected.pixels))) << name;
}

TEST(Pictures, ShowWhatEveryAcceptedLayoutHolds) {
  const assets::IndexedImage f = MakeIndexedF(6, 5);
  std::vector<std::tuple<std::string, Bytes, Image>> rows = {
      {"encoded bmp", assets::EncodeBmp24(MakeF(641, 480)), MakeF(641, 480)},
      {"gif at the side cap", assets::EncodeGif(MakeIndexedF(kCap, 3)), MakeF(kCap, 3)},
      {"bmp at the side cap", WriteBmp(MakeIndexedF(3, kCap), {}), MakeF(3, kCap)},
      {"bmp at the side cap, wide", WriteBmp(MakeIndexedF(kCap, 3), {}), MakeF(kCap, 3)},
      {"ico naming all its colours used", Patched(assets::EncodeIco4(MakeIndexedF(32, 32)), 54, 4, 16), MakeF(32, 32)},
      // One white pixel in 3-bit codes, as small pictures are saved: clear, index 0, end.
      {"gif of the smallest code size", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 255, 255, 255, 0, 0, 0,
                                         0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B}, Image{1, 1, {0xFFFFFFFF}}},
      {"gif filling the file cap", [&] { Bytes g = assets::EncodeGif(f); return g.resize(pictures::kMaxPictureFileBytes), g; }(), MakeF(6, 5)},
      {"encoded ico", assets::EncodeIco4(MakeIndexedF(256, 256)), MakeF(256, 256)},
      {"interlaced gif", WriteGif({6, 11, 0, 0, true}), MakeF(6, 11)},
      {"gif with a local colour table", LocalTable(assets::EncodeGif(MakeIndexedF(6, 5))), MakeF(6, 5)},
      {"gif with a table size but no local table", Patched(assets::EncodeGif(MakeIndexedF(6, 5)), 798, 1, 7), MakeF(6, 5)},
      {"bytes after an icon", Cat({WriteIcon({{f, {.bits = 24}}}), Bytes(24, 0xFF)}), Expanded(f, 0)},
  };
  for (int bits : {1, 4, 8, 24, 32}) {
    const assets::IndexedImage f17 = bits == 1 ? TwoColours(17, 5) : MakeIndexedF(17, 5);
    rows.push_back({std::to_string(bits) + "-bit bmp", WriteBmp(f17, {.bits = bits}), Expanded(f17)});
    rows.push_back({std::to_string(bits) + "-bit top-down bmp", WriteBmp(f17, {.bits = bits, .top_down = true}), Expanded(f17)});
    rows.push_back({std::to_string(bits) + "-bit ico", WriteIcon({{f17, {.bits = bits}}}), Expanded(f17, 0)});
  }
  const assets::IndexedImage mixed = MakeMixed(23, 9);
  for (const auto& [name, d] : kBitmapForms) rows.push_back({name, WriteBmp(mixed, d), Expanded(Shown(mixed, d))});
  assets::IndexedImage blank = f;
  blank.indices.assign(30, 0);
  rows.push_back({"rle8 moving to the right edge, then ending the top row", Rle8({0, 2, 6, 4, 0, 0, 0, 1}), Expanded(blank)});
  Bytes mask_set = WriteIcon({{f, {.bits = 32, .alpha = true}}});
  std::fill(mask_set.end() - 20, mask_set.end(), 0xFF);
  rows.push_back({"alpha decides over the mask", mask_set, Expanded(f, 0)});
  // An icon file shows its first 32x32 entry, else its first largest one.
  const auto entry = [](int w, int h, bool chosen = false) {
    assets::IndexedImage e = MakeIndexedF(w, h);
    if (chosen) e.palette[0] = {255, 255, 255};
    return std::pair{e, Dib{.bits = 24}};
  };
  const auto shows = [&](int w, int h) { return Expanded(entry(w, h, true).first, 0); };
  rows.push_back({"32x32 among others", WriteIcon({entry(16, 16), entry(48, 48), entry(32, 32, true)}), shows(32, 32)});
  rows.push_back({"first of the largest", WriteIcon({entry(40, 40, true), entry(40, 40)}), shows(40, 40)});
  for (const auto& [name, bytes, image] : rows) ExpectShows(pictures::DecodePicture(bytes), image, name);
}

// The GIF block walk that guards the system's decoder on Windows.
TEST(Pictures, GifWalkFindsTheScreenAndTheFirstImage) {
  const TestGif kGifs[] = {{6, 11}, {20, 14, 9, 3}, {6, 11, 0, 0, true, 2}, {8, 12, 2, 1, false, -1, true}};
  for (const TestGif& t : kGifs) {
    const auto read = pictures::ReadGifStructure(WriteGif(t));
    ASSERT_THAT(read, VariantWith<pictures::GifStructure>(_));
    const pictures::GifStructure& g = std::get<pictures::GifStructure>(read);
    EXPECT_EQ((std::vector{g.screen_width, g.screen_height, g.left, g.top, g.width, g.height, int{g.interlaced},
                           g.transparent_index}),
              (std::vector{t.screen_width, t.screen_height, t.left, t.top, 6, 11, int{t.interlaced}, t.transparent}));
  }
}

TEST(Pictures, RefuseEachBrokenRule) {
  const Bytes bmp = WriteBmp(MakeIndexedF(6, 5), {});  // pixels at 1078, 5 rows of 8 bytes, 1118 bytes
  const Bytes masks = WriteBmp(MakeIndexedF(6, 5), {.bits = 32, .masks = {0xFF0000, 0xFF00, 0xFF}});  // pixels at 66
  // Screen at 6, flags at 10, control extension at 781, image descriptor at 789, code size at 799.
  const Bytes gif = assets::EncodeGif(MakeIndexedF(6, 5));
  // Entry at 6 (size at 14), image at 22: 744 bytes of header, 16 colours, pixels, mask.
  const Bytes ico = assets::EncodeIco4(MakeIndexedF(32, 32));
  Bytes png = ico;
  std::copy_n("\x89PNG\r\n\x1A\n", 8, png.begin() + 22);
  const std::vector<std::tuple<const char*, Bytes, E>> rows = {
      {"empty", {}, E::Empty},
      {"over the file cap", Patched(Bytes(pictures::kMaxPictureFileBytes + 1), 0, 2, 'B' | 'M' << 8), E::TooLarge},
      {"icon directory of type 3", {0, 0, 3, 0, 1, 0}, E::NotAPicture},
      {"icon directory with reserved 1", {1, 0, 1, 0, 1, 0}, E::NotAPicture},
      {"bmp file size under its header", Patched(bmp, 2, 4, 13), E::BadField},
      {"bmp pixels one late", Patched(bmp, 10, 4, 1079), E::Truncated},
      {"bmp header size 41", Patched(bmp, 14, 4, 41), E::BadField},
      {"bmp header size 64", Patched(bmp, 14, 4, 64), E::Unsupported},
      {"bmp height 0", Patched(bmp, 22, 4, 0), E::BadField},
      {"bmp height under minus the cap", Patched(bmp, 22, 4, -kCap - 1), E::TooLarge},
      {"bmp width over the cap", Patched(bmp, 18, 4, kCap + 1), E::TooLarge},
      {"bmp planes 2", Patched(bmp, 26, 2, 2), E::BadField},
      {"bmp bits 64", Patched(bmp, 28, 2, 64), E::Unsupported},
      {"bmp compression 7", Patched(bmp, 30, 4, 7), E::BadField},
      {"bmp image size 1", Patched(bmp, 34, 4, 1), E::BadField},
      {"bmp image size one long", Patched(bmp, 34, 4, 41), E::Truncated},
      {"bit fields over the pixels", Patched(masks, 10, 4, 60), E::BadField},
      {"overlapping bit fields", Patched(masks, 54, 4, 0xFF), E::BadField},
      {"empty bit field", Patched(masks, 58, 4, 0), E::BadField},
      {"bit field with a gap", WriteBmp(MakeIndexedF(6, 5), {.bits = 16, .masks = {0xF800, 0x7A0, 0x1F}}), E::BadField},
      {"bit field past 16 bits", WriteBmp(MakeIndexedF(6, 5), {.bits = 16, .masks = {0x10000, 0x7E0, 0x1F}}), E::BadField},
      {"10-bit channels", WriteBmp(MakeIndexedF(6, 5), {.bits = 32, .masks = {0x3FF00000, 0xFFC00, 0x3FF}}), E::Unsupported},
      {"bit fields on 24 bits", WriteBmp(MakeIndexedF(6, 5), {.bits = 24, .masks = {0xFF0000, 0xFF00, 0xFF}}), E::Unsupported},
      {"bit fields cut short", Patched(Cut(masks, 62), 2, 4, 62), E::Truncated},
      {"rle run past a row's end", Rle8({7, 1, 0, 1}), E::BadData},
      {"rle move past the right edge", Rle8({0, 2, 7, 0, 0, 1}), E::BadData},
      {"rle move past the top", Rle8({0, 2, 0, 6, 0, 1}), E::BadData},
      {"rle run above the top", Rle8({0, 2, 0, 5, 1, 1, 0, 1}), E::BadData},
      {"rle row ended above the top", Rle8({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), E::BadData},
      {"rle literal cut short", Rle8({0, 4, 1, 1}), E::BadData},
      {"rle end past the announced size", Patched(Rle8({0, 0, 0, 1}), 34, 4, 3), E::BadData},
      {"rle index past the colours used", Patched(Rle8({1, 3, 0, 1}), 46, 4, 3), E::BadField},
      {"rle top-down", Patched(Rle8({0, 1}), 22, 4, -5), E::BadField},
      {"os2 header in an icon", WriteIcon({{MakeIndexedF(6, 5), {.header = 12}}}), E::Unsupported},
      {"16 bits in an icon", WriteIcon({{MakeIndexedF(6, 5), {.bits = 16}}}), E::Unsupported},
      {"run-length in an icon", WriteIcon({{MakeIndexedF(6, 5), {.rle = true}}}), E::Unsupported},
      {"gif screen width over the cap", Patched(gif, 6, 2, kCap + 1), E::TooLarge},
      {"gif screen height 0xFFFF", Patched(gif, 8, 2, 0xFFFF), E::TooLarge},
      {"gif image width 0", Patched(gif, 794, 2, 0), E::BadField},
      {"gif image wider than the screen", Patched(gif, 794, 2, 7), E::BadField},
      {"gif image below the screen", Patched(gif, 792, 2, 1), E::BadField},
      {"gif image height over the cap", Patched(gif, 796, 2, kCap + 1), E::TooLarge},
      {"gif code size 12", Patched(gif, 799, 1, 12), E::BadField},
      {"gif code size 1", Patched(gif, 799, 1, 1), E::BadField},
      {"gif unknown record", Patched(gif, 789, 1, 0x2D), E::BadField},
      {"gif without an image", Cat({Cut(gif, 789), {0x3B}}), E::NotAPicture},
      {"gif without a colour table", TableCut(gif, 0), E::BadField},
      {"gif later control extension of 5 bytes", Cat({Cut(gif, gif.size() - 1), {0x21, 0xF9, 5, 0, 0, 0, 0, 0, 0, 0x3B}}),
       E::BadField},
      {"index past a gif's colour table", TableCut(gif, 2), E::BadField},
      {"ico count 2", Patched(ico, 4, 2, 2), E::BadField},
      {"ico count 0xFFFF", Patched(ico, 4, 2, 0xFFFF), E::Truncated},
      {"ico entry width disagrees", Patched(ico, 6, 1, 16), E::BadField},
      {"ico entry size one short", Patched(ico, 14, 4, 743), E::Truncated},
      {"ico colours used 1", Patched(ico, 54, 4, 1), E::BadField},
      {"ico colours used 17", Patched(ico, 54, 4, 17), E::BadField},
      {"ico png entry", png, E::Unsupported},
  };
  for (const auto& [name, bytes, error] : rows) {
    EXPECT_THAT(pictures::DecodePicture(bytes), VariantWith<E>(error)) << name;
    if (std::string(name).starts_with("gif")) {
      EXPECT_THAT(pictures::ReadGifStructure(bytes), VariantWith<E>(error)) << name;
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
  return Expanded(f, 0);
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
std::vector<int> Shown(const pictures::CursorResult& r) {
  if (const E* error = std::get_if<E>(&r)) return {-1, static_cast<int>(*error)};
  std::vector<int> out;
  for (const pictures::CursorFrame& f : std::get<pictures::CursorFile>(r).frames)
    out.insert(out.end(), {f.image.width, f.image.height, f.hotspot_x, f.hotspot_y});
  for (const pictures::CursorStep& s : std::get<pictures::CursorFile>(r).steps)
    out.insert(out.end(), {static_cast<int>(s.frame), static_cast<int>(s.jiffies)});
  return out;
}

TEST(Pointers, FramesAndStepsOfEveryLayout) {
  const Bytes fram = List("fram", Icons(3));
  const std::vector<int> frames = {32, 32, 31, 0, 16, 9, 15, 1, 7, 5, 6, 2};
  auto with = [&](std::vector<int> steps) { return steps.insert(steps.begin(), frames.begin(), frames.end()), steps; };
  const std::vector<std::tuple<const char*, Bytes, std::vector<int>>> rows = {
      {"seq reorders and repeats frames",
       Riff({Anih(3, 5, 6, 3), Chunk("rate", Words({1, 2, 3, 4, 5})), Chunk("seq ", Words({2, 0, 1, 0, 2})), fram}),
       with({2, 1, 0, 2, 1, 3, 0, 4, 2, 5})},
      {"no rate anywhere: one jiffy", Riff({Anih(3, 3, 0), fram}), with({0, 1, 1, 1, 2, 1})},
      {"a still pointer filling the file cap", [] { Bytes b = Pointer(2); return b.resize(pictures::kMaxPictureFileBytes), b; }(),
       {7, 5, 6, 2, 0, 0}},
  };
  for (const auto& [name, bytes, shown] : rows) EXPECT_EQ(Shown(pictures::DecodeCursorFile(bytes)), shown) << name;
  const auto still = pictures::DecodeCursorFile(Pointer(2));
  EXPECT_EQ(std::get<pictures::CursorFile>(still).frames[0].image.pixels, Mono(7, 5).pixels);
}

TEST(Pointers, RefuseEachBrokenRule) {
  const Bytes anih = Anih(3, 3, 7), rate = Chunk("rate", Words({7, 7, 7})), fram = List("fram", Icons(3));
  const Bytes good = Riff({anih, rate, fram});
  const std::vector<std::tuple<const char*, Bytes, E>> rows = {
      {"empty", {}, E::Empty},
      {"over the file cap", Bytes(pictures::kMaxPictureFileBytes + 1, 0), E::TooLarge},
      {"hotspot y at the height", Patched(Pointer(2), 12, 2, 5), E::BadField},
      {"pointer image of a bad header size", Patched(Pointer(2), 22, 4, 41), E::BadField},
      {"riff of another form", Patched(good, 8, 4, 'W' | 'A' << 8 | 'V' << 16 | 'E' << 24), E::NotAPicture},
      {"riff header cut short", Cut(good, 11), E::Truncated},
      {"riff size under its form's tag", Patched(good, 4, 4, 3), E::BadField},
      {"riff size cutting the last chunk", Patched(good, 4, 4, good.size() - 9), E::Truncated},
      {"anih of 35 bytes saying 36", Riff({Chunk("anih", Cut(Words({36, 3, 3, 0, 0, 0, 0, 7, 1}), 35)), rate, fram}), E::BadField},
      {"anih saying 35", Riff({Chunk("anih", Words({35, 3, 3, 0, 0, 0, 0, 7, 1})), rate, fram}), E::BadField},
      {"hotspot x at the width", Patched(Pointer(2), 10, 2, 7), E::BadField},
      {"a list among the frames", Riff({anih, rate, List("fram", Cat({List("fram", {}), Icons(3)}))}), E::BadField},
      {"seq a byte short", Riff({Anih(3, 3, 7, 3), rate, Chunk("seq ", Cat({Words({0, 1}), Bytes(3)})), fram}), E::BadField},
      {"no seq, fewer steps than frames", Riff({Anih(3, 2, 7), Chunk("rate", Words({7, 7})), fram}), E::BadField},
      {"steps over the cap", Riff({Anih(3, pictures::kMaxCursorSteps + 1, 7), rate, fram}), E::TooLarge},
      {"frames over the cap", Riff({Anih(pictures::kMaxCursorFrames + 1, 3, 7), rate, fram}), E::TooLarge},
      {"raw bitmap frames", Riff({Anih(3, 3, 7, 0), rate, fram}), E::Unsupported},
      {"sequence flag without seq", Riff({Anih(3, 3, 7, 3), rate, fram}), E::BadField},
      {"rate one short", Riff({anih, Chunk("rate", Words({7, 7})), fram}), E::BadField},
      {"seq names a frame past the last", Riff({anih, Chunk("seq ", Words({0, 1, 3})), fram}), E::BadField},
      {"seq twice", Riff({anih, Chunk("seq ", Words({0, 1, 2})), Chunk("seq ", Words({0, 1, 2})), fram}), E::BadField},
      {"list too short for its type", Riff({anih, rate, Chunk("LIST", {'f', 'r'}), fram}), E::BadField},
      {"fewer icons than frames", Riff({anih, rate, List("fram", Icons(2))}), E::BadField},
      {"an icon chunk past its list", Riff({anih, rate, List("fram", Cat({Icons(3), {'i', 'c', 'o', 'n', 9, 0, 0, 0}}))}),
       E::Truncated},
      {"an icon holding text", Riff({anih, rate, List("fram", Cat({Icons(2), Chunk("icon", Bytes(9, 'a'))}))}),
       E::NotAPicture},
  };
  ASSERT_THAT(pictures::DecodeCursorFile(good), VariantWith<pictures::CursorFile>(_));
  for (const auto& [name, bytes, error] : rows) EXPECT_THAT(pictures::DecodeCursorFile(bytes), VariantWith<E>(error)) << name;
}

// Every strict prefix of a good file is an error, and the GIF walk agrees with the decoder on it.
TEST(Readers, RefuseEveryTruncation) {
  const Bytes pictures[] = {WriteBmp(MakeIndexedF(6, 5), {}), assets::EncodeBmp24(MakeF(5, 3)), assets::EncodeGif(MakeIndexedF(6, 5)),
                            WriteGif({9, 14, 2, 3, true, 1, true}), assets::EncodeIco4(MakeIndexedF(32, 32)),
                            WriteIcon({{MakeIndexedF(7, 5), {.bits = 32, .alpha = true}}, {TwoColours(3, 3), {.bits = 1}}}, 2),
                            WriteBmp(MakeMixed(23, 9), {.bits = 4, .rle = true})};
  const Bytes pointers[] = {Pointer(1), assets::EncodeAni(std::vector{Pointer(1), Pointer(2)}, 3),
                            Riff({Anih(2, 3, 5, 3), Chunk("seq ", Words({1, 0, 1})), List("fram", Icons(2))})};
  for (const Bytes& file : pictures)
    for (std::size_t n = 0; n < file.size(); ++n) {
      const auto shown = pictures::DecodePicture(Cut(file, n));
      ASSERT_THAT(shown, VariantWith<E>(_)) << n << " of " << file.size();
      if (file[0] == 'G') {
        EXPECT_THAT(pictures::ReadGifStructure(Cut(file, n)), VariantWith<E>(std::get<E>(pictures::DecodeGif(Cut(file, n))))) << n;
      }
      EXPECT_FALSE(pictures::ViewBmp24(Cut(file, n))) << n;
      // A bitmap cut short that says so in its size is refused as well.
      if (file[0] == 'B' && n >= 6) {
        EXPECT_THAT(pictures::DecodePicture(Patched(Cut(file, n), 2, 4, n)), VariantWith<E>(_)) << n;
      }
    }
  for (const Bytes& file : pointers)
    for (std::size_t n = 0; n < file.size(); ++n)
      ASSERT_THAT(pictures::DecodeCursorFile(Cut(file, n)), VariantWith<E>(_)) << n << " of " << file.size();
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
      const auto shown = pictures::DecodePicture(bytes);
      if (const E* error = std::get_if<E>(&bomb->second)) {
        EXPECT_THAT(shown, VariantWith<E>(*error)) << bomb->first;
      } else {
        EXPECT_THAT(shown, VariantWith<Image>(testing::Field(&Image::height, std::get<int>(bomb->second)))) << bomb->first;
      }
      ++files;
    }
  EXPECT_EQ(files, 4);
}

}  // namespace
