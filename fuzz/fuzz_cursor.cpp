// The pointer-file reader on arbitrary bytes: a still CUR or ICO, or an
// animated RIFF "ACON" with its anih, rate, seq and LIST "fram" chunks.

#include <cstdio>
#include <cstdlib>

#include "fuzz/sane_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = fuzz::CursorProblem(pictures::DecodeCursorFile({data, size}));
  if (!problem.empty()) {
    std::fprintf(stderr, "insane cursor: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
