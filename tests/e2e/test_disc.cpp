#include "tests/e2e/test_disc.h"

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <stdexcept>

#include "assets/encode.h"
#include "tests/e2e/child_process.h"
#include "tests/support/temp_dir.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using assets::Rgb;

struct PictureRow {
  DiscPicture id;
  std::string_view file;  // as the sample disc spells it
  int width, height;
  Rgb paper, ink;
};

// Button pictures have the buttons' design-time sizes, help pictures the panel's.
// Every paper colour is unique, so one pixel names the picture.
constexpr std::array kPictures = {
    PictureRow{DiscPicture::Help, "Setup/images/help.gif", 377, 73, {40, 90, 200}, {250, 250, 120}},
    PictureRow{DiscPicture::SetupWizardHelp, "Setup/images/setupwizardhelp.gif", 377, 73, {200, 40, 60}, {20, 250, 250}},
    PictureRow{DiscPicture::ManualInstallationHelp, "Setup/images/manualinstallationhelp.gif", 377, 73, {40, 160, 70}, {250, 20, 250}},
    PictureRow{DiscPicture::DocumentationHelp, "Setup/images/documentationhelp.gif", 377, 73, {150, 60, 190}, {250, 250, 20}},
    PictureRow{DiscPicture::SetupWizard, "Setup/images/setupwizard.gif", 110, 24, {230, 150, 20}, {20, 20, 120}},
    PictureRow{DiscPicture::SetupWizardDown, "Setup/images/setupwizarddown.gif", 110, 24, {120, 70, 10}, {200, 200, 255}},
    PictureRow{DiscPicture::ManualInstallation, "Setup/images/manualinstallation.gif", 149, 23, {20, 180, 180}, {120, 0, 0}},
    PictureRow{DiscPicture::ManualInstallationDown, "Setup/images/manualinstallationdown.gif", 149, 23, {10, 90, 90}, {255, 200, 200}},
    PictureRow{DiscPicture::Documentation, "Setup/images/documentation.gif", 118, 25, {240, 90, 160}, {0, 60, 0}},
    PictureRow{DiscPicture::DocumentationDown, "Setup/images/documentationdown.gif", 118, 25, {120, 40, 80}, {200, 255, 200}},
    PictureRow{DiscPicture::Exit, "Setup/images/exit.gif", 44, 24, {90, 200, 30}, {60, 0, 90}},
    PictureRow{DiscPicture::ExitDown, "Setup/images/exitdown.gif", 44, 24, {40, 100, 10}, {255, 220, 255}},
};
constexpr bool InEnumOrder() {
  for (std::size_t i = 0; i < kPictures.size(); ++i)
    if (static_cast<std::size_t>(kPictures[i].id) != i) return false;
  return true;
}
static_assert(InEnumOrder(), "kPictures is indexed by DiscPicture");

constexpr Rgb kCornerMark{255, 128, 0};
constexpr std::uint32_t kBusyJiffies = 20;
constexpr int kBusyFrameCount = 2;
constexpr std::string_view kNotAPicture = "these bytes are neither a picture nor a pointer\n";

const PictureRow& RowOf(DiscPicture id) {
  return kPictures[static_cast<std::size_t>(id)];
}

std::uint32_t Argb(Rgb c) { return 0xFF000000u | std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b; }

// Ink along the top row and left column, a third colour in the bottom-right
// pixel: a shift, flip or crop by one pixel changes what a grab sees.
assets::IndexedImage MarkedPicture(const PictureRow& s) {
  assets::IndexedImage image{s.width, s.height, {}, {s.paper, s.ink, kCornerMark}};
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      image.indices.push_back(x == s.width - 1 && y == s.height - 1 ? 2 : (x == 0 || y == 0) ? 1 : 0);
  return image;
}

pictures::Image Expand(const assets::IndexedImage& indexed) {
  pictures::Image image{indexed.width, indexed.height, {}};
  for (std::uint8_t i : indexed.indices) image.pixels.push_back(Argb(indexed.palette[i]));
  return image;
}

// Diagonal stripes, shifted per frame, with a transparent margin on the top and left.
pictures::Image BusyFrame(int frame) {
  pictures::Image image{kBusySide, kBusySide, {}};
  for (int y = 0; y < kBusySide; ++y)
    for (int x = 0; x < kBusySide; ++x) {
      bool clear = x < 2 || y < 2;
      bool black = (x + y + frame * 4) % 8 < 4;
      image.pixels.push_back(clear ? 0x00000000u : black ? 0xFF000000u : 0xFFFFFFFFu);
    }
  return image;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
  return out;
}

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace

TestDisc::TestDisc(Spelling spelling) : spelling_(spelling) {
  root_ = testing_support::MakeTempFolder("e2e");
  fs::create_directories(disc());
  fs::create_directories(results());
  fs::create_directories(bin());
  WritePictures();
  WriteBusyPointer();
  WritePrograms();
}

TestDisc::~TestDisc() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string TestDisc::PathVariable() const { return bin().string() + ":/usr/local/bin:/usr/bin:/bin"; }

std::string TestDisc::FileOf(std::string_view layout_name) const {
  return spelling_ == Spelling::UpperCase ? Upper(layout_name) : std::string(layout_name);
}

std::string TestDisc::FileOf(DiscPicture picture) const { return FileOf(RowOf(picture).file); }

const pictures::Image& TestDisc::Expected(DiscPicture picture) const {
  return expected_[static_cast<std::size_t>(picture)];
}

fs::path TestDisc::GuideAbsolutePath() const { return fs::canonical(disc() / FileOf(kGuideFile)); }

void TestDisc::Write(const std::string& relative, const std::vector<std::uint8_t>& bytes, bool executable) const {
  fs::path file = disc() / relative;
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (executable) fs::permissions(file, fs::perms::owner_exec, fs::perm_options::add);
}

void TestDisc::WritePictures() {
  for (const PictureRow& s : kPictures) {
    assets::IndexedImage image = MarkedPicture(s);
    std::vector<std::uint8_t> gif = assets::EncodeGif(image);
    if (gif.empty()) throw std::runtime_error("EncodeGif refused " + std::string(s.file));
    Write(FileOf(s.file), gif);
    expected_.push_back(Expand(image));
  }
}

void TestDisc::WriteBusyPointer() {
  std::vector<std::vector<std::uint8_t>> frames;
  for (int f = 0; f < kBusyFrameCount; ++f) {
    busy_frames_.push_back(BusyFrame(f));
    frames.push_back(assets::EncodeCur1(busy_frames_.back(), kBusyHotX, kBusyHotY));
    if (frames.back().empty()) throw std::runtime_error("EncodeCur1 refused a busy pointer frame");
  }
  std::vector<std::uint8_t> ani = assets::EncodeAni(frames, kBusyJiffies);
  if (ani.empty()) throw std::runtime_error("EncodeAni refused the busy pointer");
  Write(FileOf(kBusyPointerFile), ani);
}

void TestDisc::WritePrograms() {
  const std::string results_dir = results().string();
  // The setup program records its session, then waits for the launcher to be
  // gone (bounded, so it never outlives a broken test by much) and says so.
  std::string setup = "#!/bin/sh\n"
                      "log='" + results_dir + "/" + std::string(kSetupLog) + "'\n"
                      "launcher=$PPID\n"
                      "echo \"started pid=$$ sid=$(cut -d' ' -f6 /proc/$$/stat)\" >> \"$log\"\n"
                      "i=0\n"
                      "while kill -0 \"$launcher\" 2>/dev/null && [ \"$i\" -lt 900 ]; do sleep 0.2; i=$((i + 1)); done\n"
                      "echo \"outlived launcher\" >> \"$log\"\n";
  Write(FileOf(kSetupProgramFile), Bytes(setup), true);
  std::string manual = "#!/bin/sh\necho \"manual pid=$$\" >> '" + results_dir + "/" + std::string(kManualLog) + "'\n";
  Write(FileOf(kManualProgramFile), Bytes(manual), true);
  Write(FileOf(kGuideFile), Bytes("<!DOCTYPE html>\n<title>User guide</title>\n<p>Test guide.</p>\n"));

  fs::path opener = bin() / "xdg-open";
  std::ofstream(opener) << "#!/bin/sh\necho \"$# $1\" >> '" << results_dir << "/" << kOpenLog << "'\n";
  fs::permissions(opener, fs::perms::owner_exec, fs::perm_options::add);
}

void TestDisc::Remove(std::string_view relative) const { fs::remove(disc() / FileOf(relative)); }

void TestDisc::Corrupt(std::string_view relative) const { Write(FileOf(relative), Bytes(kNotAPicture)); }

std::string_view TestDisc::LayoutName(DiscPicture picture) { return RowOf(picture).file; }

std::vector<std::string> TestDisc::Log(std::string_view name) const { return ReadLines(results() / name); }

}  // namespace e2e
