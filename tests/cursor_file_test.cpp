#include "pictures/cursor_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "assets/encode.h"
#include "tests/picture_test_util.h"

namespace {

using namespace picture_test;
using pictures::CursorFile;
using pictures::CursorStep;
using pictures::DecodeCursorFile;
using pictures::Image;
using pictures::PictureError;

constexpr std::uint32_t kClear = 0x00000000;

std::optional<PictureError> ErrorOf(const pictures::CursorResult& r) {
  if (const auto* e = std::get_if<PictureError>(&r)) return *e;
  return std::nullopt;
}

CursorFile Decoded(pictures::CursorResult r) {
  EXPECT_EQ(ErrorOf(r), std::nullopt);
  auto* file = std::get_if<CursorFile>(&r);
  return file != nullptr ? std::move(*file) : CursorFile{};
}

// A monochrome pointer picture: the "F" in white on black, clear first column
// and bottom-left corner. EncodeCur1 stores exactly these three colours.
Image Pointer(int width, int height) {
  Image image = MakeF(width, height, kWhite, kBlack);
  for (int y = 0; y < height; ++y) image.pixels[static_cast<std::size_t>(y) * width] = kClear;
  image.pixels[static_cast<std::size_t>(height - 1) * width + 1] = kClear;
  return image;
}

void ExpectSameImage(const Image& got, const Image& expected) {
  ASSERT_EQ(got.width, expected.width);
  ASSERT_EQ(got.height, expected.height);
  EXPECT_EQ(got.pixels, expected.pixels);
}

// ---- RIFF building blocks --------------------------------------------------------

Bytes Chunk(std::string_view tag, const Bytes& data) {
  Bytes out(tag.begin(), tag.end());
  AppendU32(out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) out.push_back(0);
  return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes List(std::string_view type, const Bytes& chunks) {
  Bytes data(type.begin(), type.end());
  data.insert(data.end(), chunks.begin(), chunks.end());
  return Chunk("LIST", data);
}

Bytes Riff(const Bytes& body) {
  Bytes out{'R', 'I', 'F', 'F'};
  AppendU32(out, static_cast<std::uint32_t>(4 + body.size()));
  Append(out, "ACON");
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Words(std::initializer_list<std::uint32_t> values) {
  Bytes out;
  for (std::uint32_t v : values) AppendU32(out, v);
  return out;
}

constexpr std::uint32_t kIconFlag = 1, kSequenceFlag = 2;

Bytes Anih(std::uint32_t frames, std::uint32_t steps, std::uint32_t jiffies, std::uint32_t flags = kIconFlag) {
  return Chunk("anih", Words({36, frames, steps, 0, 0, 0, 0, jiffies, flags}));
}

// Three frames of different sizes and hotspots.
struct TestFrame {
  int width, height, hotspot_x, hotspot_y;
};
constexpr TestFrame kFrames[3] = {{32, 32, 5, 0}, {16, 9, 1, 2}, {7, 5, 6, 4}};

Bytes CursorOf(int i) {
  const TestFrame& f = kFrames[i];
  return assets::EncodeCur1(Pointer(f.width, f.height), f.hotspot_x, f.hotspot_y);
}

Bytes Icons(int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    const Bytes c = Chunk("icon", CursorOf(i % 3));
    out.insert(out.end(), c.begin(), c.end());
  }
  return out;
}

// ---- Still pointers ----------------------------------------------------------------

TEST(DecodeCursorFile, PlainCursorIsOneFrameWithItsHotspot) {
  const CursorFile file = Decoded(DecodeCursorFile(CursorOf(0)));
  ASSERT_EQ(file.frames.size(), 1u);
  ExpectSameImage(file.frames[0].image, Pointer(32, 32));
  EXPECT_EQ(file.frames[0].hotspot_x, 5);
  EXPECT_EQ(file.frames[0].hotspot_y, 0);
  ASSERT_EQ(file.steps.size(), 1u);
  EXPECT_EQ(file.steps[0].frame, 0u);
  EXPECT_EQ(file.steps[0].jiffies, 0u);
}

TEST(DecodeCursorFile, IconServesAsAPointerWithHotspotAtTheCorner) {
  const assets::IndexedImage f = MakeIndexedF(32, 32);
  const CursorFile file = Decoded(DecodeCursorFile(assets::EncodeIco4(f)));
  ASSERT_EQ(file.frames.size(), 1u);
  ExpectSameImage(file.frames[0].image, Expand(f));
  EXPECT_EQ(file.frames[0].hotspot_x, 0);
  EXPECT_EQ(file.frames[0].hotspot_y, 0);
}

TEST(DecodeCursorFile, RefusesBadStillPointers) {
  const Bytes good = CursorOf(2);  // 7x5, hotspot (6, 4); directory entry at 6
  auto patched = [&](std::size_t at, std::uint32_t v) {
    Bytes b = good;
    PutU16(b, at, v);
    return b;
  };
  struct Row {
    const char* name;
    Bytes bytes;
    PictureError expected;
  };
  const Row kRows[] = {
      {"empty", {}, PictureError::Empty},
      {"a BMP", assets::EncodeBmp24(MakeF(6, 5)), PictureError::NotAPicture},
      {"a GIF", assets::EncodeGif(MakeIndexedF(6, 5)), PictureError::NotAPicture},
      {"hotspot x at the width", patched(10, 7), PictureError::BadField},
      {"hotspot y at the height", patched(12, 5), PictureError::BadField},
      {"hotspot 0xFFFF", patched(10, 0xFFFF), PictureError::BadField},
      {"oversized file", Bytes(pictures::kMaxPictureFileBytes + 1, 0), PictureError::TooLarge},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ErrorOf(DecodeCursorFile(r.bytes)), r.expected);
  }
}

TEST(DecodeCursorFile, EveryTruncationOfAStillPointerFails) {
  ExpectEveryPrefixFails(CursorOf(1), DecodeCursorFile);
}

// ---- Animated pointers ---------------------------------------------------------------

TEST(DecodeCursorFile, ReadsBackTheAnimatedEncoder) {
  const std::vector<Bytes> files{CursorOf(0), CursorOf(1), CursorOf(2)};
  const CursorFile file = Decoded(DecodeCursorFile(assets::EncodeAni(files, 7)));
  ASSERT_EQ(file.frames.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ExpectSameImage(file.frames[i].image, Pointer(kFrames[i].width, kFrames[i].height));
    EXPECT_EQ(file.frames[i].hotspot_x, kFrames[i].hotspot_x);
    EXPECT_EQ(file.frames[i].hotspot_y, kFrames[i].hotspot_y);
  }
  ASSERT_EQ(file.steps.size(), 3u);
  for (std::uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(file.steps[i].frame, i);
    EXPECT_EQ(file.steps[i].jiffies, 7u);
  }
}

TEST(DecodeCursorFile, BuildsStepsFromSeqAndRate) {
  struct Row {
    const char* name;
    Bytes file;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> steps;  // frame, jiffies
  };
  const Bytes fram = List("fram", Icons(3));
  const Row kRows[] = {
      {"seq reorders and repeats frames",
       Riff(Join({Anih(3, 5, 6, kIconFlag | kSequenceFlag), Chunk("rate", Words({1, 2, 3, 4, 5})),
                  Chunk("seq ", Words({2, 0, 1, 0, 2})), fram})),
       {{2, 1}, {0, 2}, {1, 3}, {0, 4}, {2, 5}}},
      {"chunks in any order",
       Riff(Join({fram, Chunk("seq ", Words({1, 1})), Anih(3, 2, 9, kIconFlag | kSequenceFlag)})),
       {{1, 9}, {1, 9}}},
      {"seq without its flag is still used", Riff(Join({Anih(3, 2, 4), Chunk("seq ", Words({2, 1})), fram})),
       {{2, 4}, {1, 4}}},
      {"zero rates take the header rate", Riff(Join({Anih(3, 3, 6), Chunk("rate", Words({0, 8, 0})), fram})),
       {{0, 6}, {1, 8}, {2, 6}}},
      {"no rate chunk takes the header rate", Riff(Join({Anih(3, 3, 10), fram})), {{0, 10}, {1, 10}, {2, 10}}},
      {"zero everywhere gives one jiffy", Riff(Join({Anih(3, 3, 0), fram})), {{0, 1}, {1, 1}, {2, 1}}},
      {"unknown chunks and odd sizes are skipped",
       Riff(Join({Chunk("junk", Bytes(5, 0xEE)), Anih(3, 3, 2), List("INFO", Chunk("INAM", Bytes(3, 'x'))), fram})),
       {{0, 2}, {1, 2}, {2, 2}}},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    const CursorFile file = Decoded(DecodeCursorFile(r.file));
    EXPECT_EQ(file.frames.size(), 3u);
    ASSERT_EQ(file.steps.size(), r.steps.size());
    for (std::size_t i = 0; i < r.steps.size(); ++i) {
      EXPECT_EQ(file.steps[i].frame, r.steps[i].first) << "step " << i;
      EXPECT_EQ(file.steps[i].jiffies, r.steps[i].second) << "step " << i;
    }
  }
}

TEST(DecodeCursorFile, RefusesEveryInconsistentAnimation) {
  const Bytes anih = Anih(3, 3, 7);
  const Bytes rate = Chunk("rate", Words({7, 7, 7}));
  const Bytes fram = List("fram", Icons(3));
  const Bytes good = Riff(Join({anih, rate, fram}));
  auto riff_size = [&](std::uint32_t v) {
    Bytes b = good;
    PutU32(b, 4, v);
    return b;
  };
  Bytes lying_icon = List("fram", Join({Icons(2), Bytes{'i', 'c', 'o', 'n', 0xFF, 0xFF, 0xFF, 0xFF}, CursorOf(2)}));
  Bytes odd_anih = Chunk("anih", Join({Words({36, 3, 3, 0, 0, 0, 0, 7, 1}), Bytes{0}}));
  Bytes truncated_cursor = CursorOf(2);
  truncated_cursor.resize(truncated_cursor.size() - 2);
  struct Row {
    const char* name;
    Bytes file;
    PictureError expected;
  };
  const Row kRows[] = {
      {"riff of another form", Join({Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}, Bytes{'W', 'A', 'V', 'E'}}),
       PictureError::NotAPicture},
      {"riff header cut short", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}, PictureError::Truncated},
      {"riff size 0", riff_size(0), PictureError::BadField},
      {"riff size 3", riff_size(3), PictureError::BadField},
      {"riff size just past the end", riff_size(static_cast<std::uint32_t>(good.size() - 7)),
       PictureError::Truncated},
      {"riff size 0x7FFFFFFF", riff_size(0x7FFFFFFF), PictureError::Truncated},
      {"riff size 0xFFFFFFFF", riff_size(0xFFFFFFFF), PictureError::Truncated},
      {"riff size cutting the last chunk", riff_size(static_cast<std::uint32_t>(good.size() - 9)),
       PictureError::Truncated},
      {"no anih", Riff(Join({rate, fram})), PictureError::BadField},
      {"anih twice", Riff(Join({anih, anih, rate, fram})), PictureError::BadField},
      {"anih of 35 bytes", Riff(Join({Chunk("anih", Bytes(35, 0)), rate, fram})), PictureError::BadField},
      {"anih of 37 bytes", Riff(Join({odd_anih, rate, fram})), PictureError::BadField},
      {"anih declaring 0 bytes", Riff(Join({Chunk("anih", Words({0, 3, 3, 0, 0, 0, 0, 7, 1})), rate, fram})),
       PictureError::BadField},
      {"anih size 0xFFFFFFFF", Riff(Join({Bytes{'a', 'n', 'i', 'h', 0xFF, 0xFF, 0xFF, 0xFF}, rate, fram})),
       PictureError::Truncated},
      {"chunk header cut short", Riff(Join({anih, rate, fram, Bytes{'j', 'u', 'n', 'k', 1, 0, 0}})),
       PictureError::Truncated},
      {"0 frames", Riff(Join({Anih(0, 3, 7), rate, fram})), PictureError::BadField},
      {"0 steps", Riff(Join({Anih(3, 0, 7), rate, fram})), PictureError::BadField},
      {"frames over the cap", Riff(Join({Anih(pictures::kMaxCursorFrames + 1, 3, 7), rate, fram})),
       PictureError::TooLarge},
      {"frames 0xFFFFFFFF", Riff(Join({Anih(0xFFFFFFFF, 3, 7), rate, fram})), PictureError::TooLarge},
      {"steps over the cap", Riff(Join({Anih(3, pictures::kMaxCursorSteps + 1, 7), rate, fram})),
       PictureError::TooLarge},
      {"steps 0xFFFFFFFF", Riff(Join({Anih(3, 0xFFFFFFFF, 7), rate, fram})), PictureError::TooLarge},
      {"raw bitmap frames", Riff(Join({Anih(3, 3, 7, 0), rate, fram})), PictureError::Unsupported},
      {"sequence flag without seq", Riff(Join({Anih(3, 3, 7, kIconFlag | kSequenceFlag), rate, fram})),
       PictureError::BadField},
      {"steps differ from frames without seq", Riff(Join({Anih(3, 4, 7), Chunk("rate", Words({1, 2, 3, 4})), fram})),
       PictureError::BadField},
      {"rate one entry short", Riff(Join({anih, Chunk("rate", Words({7, 7})), fram})), PictureError::BadField},
      {"rate one entry long", Riff(Join({anih, Chunk("rate", Words({7, 7, 7, 7})), fram})), PictureError::BadField},
      {"rate twice", Riff(Join({anih, rate, rate, fram})), PictureError::BadField},
      {"seq index equal to the frame count", Riff(Join({anih, Chunk("seq ", Words({0, 1, 3})), fram})),
       PictureError::BadField},
      {"seq index 0xFFFFFFFF", Riff(Join({anih, Chunk("seq ", Words({0xFFFFFFFF, 1, 2})), fram})),
       PictureError::BadField},
      {"seq one entry short", Riff(Join({anih, Chunk("seq ", Words({0, 1})), fram})), PictureError::BadField},
      {"seq twice", Riff(Join({anih, Chunk("seq ", Words({0, 1, 2})), Chunk("seq ", Words({0, 1, 2})), fram})),
       PictureError::BadField},
      {"no frame list", Riff(Join({anih, rate})), PictureError::BadField},
      {"frame list twice", Riff(Join({anih, rate, fram, fram})), PictureError::BadField},
      {"list too short for its type", Riff(Join({anih, rate, Chunk("LIST", Bytes{'f', 'r'}), fram})),
       PictureError::BadField},
      {"empty frame list", Riff(Join({anih, rate, List("fram", {})})), PictureError::BadField},
      {"fewer icons than frames", Riff(Join({anih, rate, List("fram", Icons(2))})), PictureError::BadField},
      {"more icons than frames", Riff(Join({anih, rate, List("fram", Icons(4))})), PictureError::BadField},
      {"list nested in the frame list", Riff(Join({anih, rate, List("fram", Join({Icons(2), fram}))})),
       PictureError::BadField},
      {"icon size 0xFFFFFFFF", Riff(Join({anih, rate, lying_icon})), PictureError::Truncated},
      {"icon holding text", Riff(Join({anih, rate, List("fram", Join({Icons(2), Chunk("icon", Bytes(9, 'a'))}))})),
       PictureError::NotAPicture},
      {"icon holding a truncated cursor",
       Riff(Join({anih, rate, List("fram", Join({Icons(2), Chunk("icon", truncated_cursor)}))})),
       PictureError::Truncated},
      {"icon holding a BMP",
       Riff(Join({anih, rate, List("fram", Join({Icons(2), Chunk("icon", assets::EncodeBmp24(MakeF(3, 3)))}))})),
       PictureError::NotAPicture},
  };
  ASSERT_EQ(ErrorOf(DecodeCursorFile(good)), std::nullopt);
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ErrorOf(DecodeCursorFile(r.file)), r.expected);
  }
}

TEST(DecodeCursorFile, EveryTruncationOfAnAnimationFails) {
  const std::vector<Bytes> files{CursorOf(1), CursorOf(2)};
  ExpectEveryPrefixFails(assets::EncodeAni(files, 3), DecodeCursorFile);
  ExpectEveryPrefixFails(
      Riff(Join({Anih(2, 3, 5, kIconFlag | kSequenceFlag), Chunk("seq ", Words({1, 0, 1})), List("fram", Icons(2))})),
      DecodeCursorFile);
}

}  // namespace
