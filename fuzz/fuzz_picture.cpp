// The picture loader on arbitrary bytes, exactly as LoadPicture calls it on a
// disc file's contents: GIF, BMP, ICO and CUR are told apart by content.

#include <cstdio>
#include <cstdlib>

#include "fuzz/sane_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = fuzz::PictureProblem(pictures::DecodePicture({data, size}));
  if (!problem.empty()) {
    std::fprintf(stderr, "insane picture: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
