// libFuzzer entry for one reader of disc bytes (READER: Picture, Cursor or
// Object), fed as the launcher feeds it; a result that breaks its promises aborts.

#include <cstdio>
#include <cstdlib>

#include "fuzz/check.h"

#define PROBLEM_OF(reader) PROBLEM_OF_(reader)
#define PROBLEM_OF_(reader) fuzz::reader##Problem

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const std::string problem = PROBLEM_OF(READER)({data, size}); !problem.empty()) {
    std::fprintf(stderr, "insane result: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
