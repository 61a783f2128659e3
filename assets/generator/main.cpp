// asset_generator BUILD-DIR BOLD-FONT REGULAR-FONT
// Draws every picture and writes the embedded pictures to BUILD-DIR/assets and
// the sample disc's pictures to BUILD-DIR/disc.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

#include "assets/generator/generator.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !ec && out.good();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s BUILD-DIR BOLD-FONT REGULAR-FONT\n", argv[0]);
    return 2;
  }
  try {
    const assets::Fonts fonts{assets::Font(argv[2]), assets::Font(argv[3])};
    for (const assets::GeneratedFile& f : assets::GenerateAll(fonts)) {
      const std::filesystem::path path = std::filesystem::path(argv[1]) / f.path;
      if (!WriteFile(path, f.bytes)) {
        std::fprintf(stderr, "asset_generator: cannot write %s\n", path.c_str());
        return 1;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "asset_generator: %s\n", e.what());
    return 1;
  }
  return 0;
}
