// The picture readers of the Windows build as a command, for the tests on the
// build machine: decodes each file named on the command line and prints one line
// per file, which the tests compare with the host readers' result.
//
//   ok <width> <height> <FNV-1a 64 of the ARGB pixels, little-endian, in hex>
//   error <cause>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "pictures/picture.h"

namespace {

std::uint64_t Fingerprint(const pictures::Image& image) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (std::uint32_t pixel : image.pixels)
    for (int shift = 0; shift < 32; shift += 8) {
      hash ^= (pixel >> shift) & 0xFF;
      hash *= 0x100000001b3ull;
    }
  return hash;
}

}  // namespace

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto decoded = pictures::DecodePicture(bytes);
    if (auto* error = std::get_if<pictures::PictureError>(&decoded)) {
      std::printf("error %s\n", std::string(pictures::Describe(*error)).c_str());
      continue;
    }
    const pictures::Image& image = std::get<pictures::Image>(decoded);
    std::printf("ok %d %d %016llx\n", image.width, image.height,
                static_cast<unsigned long long>(Fingerprint(image)));
  }
  std::fflush(stdout);
  CoUninitialize();
  return 0;
}
