// libFuzzer entry: the background's picture object on arbitrary bytes, shown as the runtime shows it.

#include <cstdio>
#include <cstdlib>

#include "fuzz/check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const std::string problem = fuzz::ObjectProblem({data, size}); !problem.empty()) {
    std::fprintf(stderr, "insane object: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
