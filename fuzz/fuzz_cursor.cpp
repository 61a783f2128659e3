// libFuzzer entry: the pointer-file reader (CUR, ICO, animated) on arbitrary bytes; an insane pointer aborts.

#include <cstdio>
#include <cstdlib>

#include "fuzz/check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const std::string problem = fuzz::CursorProblem({data, size}); !problem.empty()) {
    std::fprintf(stderr, "insane cursor: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
