// Writes the fuzzers' seed corpora into <folder>/picture, cursor and object:
// small files from our own encoders and the reader tests' bitmap writer, and
// every picture the build drew for the sample disc, so that each fuzzer starts
// deep inside its format.
//   make_seeds <folder>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "assets/encode.h"
#include "assets/picture_object.h"
#include "tests/picture_test_util.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Diagonal stripes of three colours: every flip and shift shows.
assets::IndexedImage Stripes(int width, int height) {
  assets::IndexedImage image{width, height, {}, {{0, 0, 255}, {255, 0, 0}, {255, 255, 255}}};
  for (int i = 0; i < width * height; ++i) image.indices.push_back(static_cast<std::uint8_t>((i % width + i / width) % 3));
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return std::fprintf(stderr, "usage: make_seeds <folder>\n"), 2;
  const Bytes cur = assets::EncodeCur1(assets::Expand(Stripes(16, 16)), 3, 5), ico = assets::EncodeIco4(Stripes(16, 16));
  const Bytes small = assets::EncodeBmp24(assets::Expand(Stripes(8, 6))), large = assets::EncodeBmp24(assets::Expand(Stripes(48, 32)));
  std::map<std::string, Bytes> seeds = {
      {"picture/encoded.gif", assets::EncodeGif(Stripes(13, 9))}, {"picture/encoded.bmp", small},
      {"picture/encoded.ico", ico}, {"picture/encoded.cur", cur}, {"cursor/encoded.cur", cur}, {"cursor/still.ico", ico},
      {"cursor/encoded.ani", assets::EncodeAni(std::vector{cur, assets::EncodeCur1(assets::Expand(Stripes(32, 32)), 0, 9)}, 6)},
  };
  for (auto version : {assets::StorageVersion::V3, assets::StorageVersion::V4}) {
    const std::string v = std::to_string(static_cast<int>(version));
    seeds["object/mini_v" + v + ".obj"] = assets::BuildPictureObject(small, 0x01D0'0000'0000'0000, version);
    seeds["object/regular_v" + v + ".obj"] = assets::BuildPictureObject(large, 0x01D0'0000'0000'0000, version);
  }
  for (const auto& [name, form] : picture_test::kBitmapForms)
    seeds["picture/bmp-" + name + ".bmp"] = picture_test::WriteBmp(picture_test::MakeMixed(23, 9), form);
  // The pictures and pointers the build drew for the launcher and its sample disc.
  for (const char* folder : {"disc/Setup/images", "assets"})
    for (const auto& entry : fs::directory_iterator(fs::path(AUTORUN_BUILD_DIR) / folder)) {
      const std::string type = entry.path().extension(), name = entry.path().filename();
      if (type != ".gif" && type != ".ico" && type != ".cur" && type != ".ani") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      seeds[(type == ".ani" || type == ".cur" ? "cursor/" : "picture/") + name] = Bytes(std::istreambuf_iterator<char>(in), {});
    }
  for (const auto& [name, bytes] : seeds) {
    fs::create_directories((fs::path(argv[1]) / name).parent_path());
    std::ofstream out(fs::path(argv[1]) / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (bytes.empty() || !out) return std::fprintf(stderr, "make_seeds: could not write %s\n", name.c_str()), 1;
  }
  std::printf("%zu seeds in %s\n", seeds.size(), argv[1]);
  return 0;
}
