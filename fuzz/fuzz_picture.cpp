// libFuzzer entry: the picture loader on arbitrary bytes, as LoadPicture calls it; an insane picture aborts.

#include <cstdio>
#include <cstdlib>

#include "fuzz/check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const std::string problem = fuzz::PictureProblem({data, size}); !problem.empty()) {
    std::fprintf(stderr, "insane picture: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
