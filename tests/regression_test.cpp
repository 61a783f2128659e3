// Hostile inputs kept under tests/regressions/<reader>/: what the fuzzers
// caught and the decode bombs. Each file goes through the same reader the
// launcher uses and must give a clean error or a sane picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/sane_picture.h"
#include "pictures/dib.h"
#include "pictures/ole_object.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using pictures::PictureError;

const fs::path kRoot = AUTORUN_REGRESSION_DIR;
constexpr const char* kReaders[] = {"picture", "cursor", "object"};

struct Case {
  std::string reader;  // the folder: which reader the file was caught in
  fs::path file;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.reader << "/" << c.file.filename().string(); }

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const char* reader : kReaders) {
    if (!fs::is_directory(kRoot / reader)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(kRoot / reader))
      if (entry.is_regular_file()) cases.push_back({reader, entry.path()});
  }
  std::sort(cases.begin(), cases.end(), [](const Case& a, const Case& b) { return a.file < b.file; });
  return cases;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The launcher's own path for each reader; the object's bitmap is decoded as
// the runtime does before showing the background.
std::string ProblemWith(const std::string& reader, const Bytes& bytes) {
  if (reader == "picture") return fuzz::PictureProblem(pictures::DecodePicture(bytes));
  if (reader == "cursor") return fuzz::CursorProblem(pictures::DecodeCursorFile(bytes));
  Bytes scratch;
  const auto bitmap = pictures::ExtractObjectBitmap(bytes, scratch);
  const auto* extracted = std::get_if<std::span<const std::uint8_t>>(&bitmap);
  if (extracted == nullptr) return {};
  if (extracted->size() > bytes.size()) return "the bitmap outgrew the object";
  if (auto view = pictures::ViewBmp24(*extracted)) {
    std::vector<std::uint32_t> row(static_cast<std::size_t>(view->width));
    for (int y = 0; y < view->height; ++y) view->CopyRow(y, 0, view->width, row.data());
    return {};
  }
  return fuzz::PictureProblem(pictures::DecodePicture(*extracted));
}

class Regression : public testing::TestWithParam<Case> {};

TEST_P(Regression, GivesACleanErrorOrASanePicture) {
  const Bytes bytes = ReadFile(GetParam().file);
  ASSERT_FALSE(bytes.empty()) << "unreadable: " << GetParam().file;
  EXPECT_EQ(ProblemWith(GetParam().reader, bytes), "");
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  std::string name = info.param.reader + "_" + info.param.file.filename().string();
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Files, Regression, testing::ValuesIn(AllCases()), CaseName);

TEST(Regressions, EveryFileSitsInAReadersFolder) {
  ASSERT_TRUE(fs::is_directory(kRoot)) << kRoot;
  EXPECT_FALSE(AllCases().empty());
  for (const fs::directory_entry& entry : fs::directory_iterator(kRoot)) {
    SCOPED_TRACE(entry.path().string());
    EXPECT_TRUE(entry.is_directory());
    EXPECT_NE(std::find(std::begin(kReaders), std::end(kReaders), entry.path().filename()), std::end(kReaders));
  }
}

// The check every regression file and every fuzz input goes through must itself
// catch each broken promise.
TEST(SanePicture, NamesEachBrokenPromise) {
  struct Row {
    const char* name;
    pictures::Image image;
    bool sane;
  };
  const Row kRows[] = {
      {"opaque and transparent pixels", {2, 1, {0xFF102030, 0x00000000}}, true},
      {"the largest side allowed", {pictures::kMaxPictureSide, 1, std::vector<std::uint32_t>(pictures::kMaxPictureSide)}, true},
      {"half-transparent pixel", {2, 1, {0xFF102030, 0x80102030}}, false},
      {"transparent pixel with colour", {1, 1, {0x00102030}}, false},
      {"fewer pixels than the size", {2, 2, {0, 0, 0}}, false},
      {"zero width", {0, 1, {}}, false},
      {"negative height", {1, -1, {}}, false},
      {"one past the side cap", {pictures::kMaxPictureSide + 1, 1, std::vector<std::uint32_t>(pictures::kMaxPictureSide + 1)},
       false},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(fuzz::ImageProblem(r.image, pictures::kMaxPictureSide).empty(), r.sane);
  }
}

TEST(SaneCursor, NamesEachBrokenPromise) {
  const pictures::CursorFrame frame{{2, 2, std::vector<std::uint32_t>(4, 0xFF000000)}, 1, 1};
  struct Row {
    const char* name;
    pictures::CursorFile file;
    bool sane;
  };
  const Row kRows[] = {
      {"one still frame", {{frame}, {{0, 0}}}, true},
      {"no frame", {{}, {{0, 0}}}, false},
      {"no step", {{frame}, {}}, false},
      {"a step past the frames", {{frame}, {{0, 1}, {1, 1}}}, false},
      {"hotspot outside the frame", {{{frame.image, 2, 0}}, {{0, 0}}}, false},
      {"frame over the cursor cap", {{{{pictures::kMaxCursorSide + 1, 1,
                                          std::vector<std::uint32_t>(pictures::kMaxCursorSide + 1)}}},
                                     {{0, 0}}},
       false},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(fuzz::CursorProblem(pictures::CursorResult{r.file}).empty(), r.sane);
  }
}

// Small files that announce the largest pictures: each must decode to exactly
// what it announces or be refused by the side cap, never more.
struct Bomb {
  const char* name;
  const char* file;
  int side;                              // what the file announces
  std::optional<PictureError> refusal;   // when the file is bad whatever the cap
};

constexpr Bomb kBombs[] = {
    {"14 KB of LZW for 16M pixels", "gif-4096x4096-uniform-lzw-bomb.gif", 4096, std::nullopt},
    {"a 1x1 image on a 4096x4096 screen", "gif-4096x4096-screen-1x1-image.gif", 4096, std::nullopt},
    {"one past the side cap", "gif-4097-wide.gif", 4097, std::nullopt},
    {"clear codes and no pixel", "gif-4096x4096-clear-codes-only.gif", 4096, PictureError::BadField},
};

TEST(DecodeBomb, DecodesWhatItAnnouncesOrIsRefused) {
  for (const Bomb& b : kBombs) {
    SCOPED_TRACE(b.name);
    const pictures::PictureResult result = pictures::DecodePicture(ReadFile(kRoot / "picture" / b.file));
    if (b.side > pictures::kMaxPictureSide || b.refusal) {
      const auto* error = std::get_if<PictureError>(&result);
      ASSERT_NE(error, nullptr);
      EXPECT_EQ(*error, b.side > pictures::kMaxPictureSide ? PictureError::TooLarge : *b.refusal);
    } else {
      ASSERT_TRUE(std::holds_alternative<pictures::Image>(result)) << pictures::Describe(std::get<PictureError>(result));
      const pictures::Image& image = std::get<pictures::Image>(result);
      EXPECT_EQ(image.width, b.side);
      EXPECT_EQ(image.height, b.side);
      EXPECT_EQ(fuzz::ImageProblem(image, pictures::kMaxPictureSide), "");
    }
  }
}

}  // namespace
