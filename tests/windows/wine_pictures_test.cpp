// The Windows build's picture reading (GIF through the system's decoder, the
// rest through our readers) against the host's (giflib): the same files must
// give the same pixels or the same refusal. Run under Wine in one go.
#include <gtest/gtest.h>
#include <gif_lib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assets/encode.h"
#include "pictures/picture.h"
#include "tests/e2e/launcher.h"
#include "tests/picture_test_util.h"
#include "tests/windows/wine_environment.h"

namespace {

namespace fs = std::filesystem;
using picture_test::Bytes;
using picture_test::MakeF;
using picture_test::MakeIndexedF;

constexpr std::chrono::milliseconds kRunDeadline{120000};

// What decode_pictures.exe prints for a file, computed here with the host's readers.
std::string HostVerdict(const Bytes& bytes) {
  auto decoded = pictures::DecodePicture(bytes);
  if (auto* error = std::get_if<pictures::PictureError>(&decoded))
    return "error " + std::string(pictures::Describe(*error));
  const pictures::Image& image = std::get<pictures::Image>(decoded);
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (std::uint32_t pixel : image.pixels)
    for (int shift = 0; shift < 32; shift += 8) {
      hash ^= (pixel >> shift) & 0xFF;
      hash *= 0x100000001b3ull;
    }
  char text[64];
  std::snprintf(text, sizeof text, "ok %d %d %016llx", image.width, image.height,
                static_cast<unsigned long long>(hash));
  return text;
}

int AppendGif(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

// A GIF our encoder never makes: the F placed on a larger screen, optionally
// interlaced and with a transparent index.
Bytes PlacedGif(int screen_width, int screen_height, int left, int top, bool interlaced, int transparent) {
  const assets::IndexedImage f = MakeIndexedF(7, 9);
  std::vector<GifColorType> colours(4);
  for (std::size_t i = 0; i < f.palette.size(); ++i) colours[i] = {f.palette[i].r, f.palette[i].g, f.palette[i].b};
  ColorMapObject* map = GifMakeMapObject(4, colours.data());
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendGif, &error);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, screen_width, screen_height, 8, 0, map);
  if (transparent >= 0) {
    const GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(transparent)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
  }
  EGifPutImageDesc(gif, left, top, f.width, f.height, interlaced, nullptr);
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
    for (int y = interlaced ? kStart[pass] : 0; y < f.height; y += interlaced ? kStep[pass] : 1) {
      std::vector<GifPixelType> row(f.indices.begin() + y * f.width, f.indices.begin() + (y + 1) * f.width);
      EGifPutLine(gif, row.data(), f.width);
    }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Sample {
  std::string name;
  Bytes bytes;
  bool same_verdict;  // else only: refused, or read without a crash
};

std::vector<Sample> Samples() {
  const Bytes gif = assets::EncodeGif(MakeIndexedF(6, 5));
  Bytes corrupt_data = gif;
  for (std::size_t i = 801; i + 1 < corrupt_data.size(); ++i) corrupt_data[i] ^= 0x5A;
  Bytes cut_mid_data(gif.begin(), gif.begin() + 805);
  Bytes wide_screen = gif;
  wide_screen[6] = 0x89, wide_screen[7] = 0x13;  // 5001 pixels
  Bytes no_image(gif.begin(), gif.begin() + 789);
  no_image.push_back(0x3B);

  std::vector<Sample> samples = {
      {"encoder's GIF", gif, true},
      {"image placed on a larger screen", PlacedGif(20, 15, 9, 4, false, -1), true},
      {"interlaced", PlacedGif(7, 9, 0, 0, true, -1), true},
      {"transparent index on a larger screen", PlacedGif(12, 12, 2, 3, false, 1), true},
      {"BMP", assets::EncodeBmp24(MakeF(13, 7)), true},
      {"ICO", assets::EncodeIco4(MakeIndexedF(32, 32)), true},
      {"GIF cut inside its data", cut_mid_data, true},
      {"GIF screen over the cap", wide_screen, true},
      {"GIF without an image", no_image, true},
      {"not a picture", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, true},
      {"empty", Bytes{}, true},
      {"GIF with scrambled compressed data", corrupt_data, false},
  };
  // The generated pictures of the sample disc and the embedded buttons.
  const fs::path build = e2e::BuildDir();
  for (const fs::path& folder : {build / "disc" / "Setup" / "images", build / "assets"})
    if (fs::exists(folder))
      for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".gif" || entry.path().extension() == ".bmp")
          samples.push_back({entry.path().filename().string(), ReadAll(entry.path()), true});
  return samples;
}

TEST(WinePictures, WindowsReadersAgreeWithTheHostReaders) {
  const wine::Setup& setup = wine::Prepare();
  if (!setup.ready) GTEST_SKIP() << setup.why_not;
  const std::vector<Sample> samples = Samples();
  const fs::path folder = setup.folder / "pictures";
  fs::create_directories(folder);
  std::vector<std::string> arguments;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const fs::path file = folder / ("sample-" + std::to_string(i));
    const Bytes& bytes = samples[i].bytes;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    arguments.push_back("Z:" + file.string());
  }
  const std::vector<std::string> verdicts =
      wine::RunProgram(wine::WindowsBuild() / "decode_pictures.exe", arguments, kRunDeadline);
  ASSERT_EQ(verdicts.size(), samples.size()) << "decode_pictures.exe crashed or hung";
  for (std::size_t i = 0; i < samples.size(); ++i) {
    SCOPED_TRACE(samples[i].name);
    const std::string host = HostVerdict(samples[i].bytes);
    if (samples[i].same_verdict)
      EXPECT_EQ(verdicts[i], host);
    else
      EXPECT_TRUE(verdicts[i].starts_with("error ") || verdicts[i].starts_with("ok ")) << verdicts[i];
  }
}

}  // namespace
