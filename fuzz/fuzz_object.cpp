// The embedded picture object on arbitrary bytes: the object record, the
// compound file behind it, then the bitmap it yields decoded as the runtime
// does before showing the background.

#include <cstdio>
#include <cstdlib>

#include "fuzz/sane_picture.h"
#include "platform/ole_object.h"

namespace {

[[noreturn]] void Fail(const std::string& problem) {
  std::fprintf(stderr, "insane object: %s\n", problem.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bitmap = platform::ExtractObjectBitmap({data, size});
  const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&bitmap);
  if (bytes == nullptr) return 0;
  // The bitmap is copied out of the object's own sectors, so it can never outgrow them.
  if (bytes->size() > size) Fail("bitmap of " + std::to_string(bytes->size()) + " bytes from a smaller object");
  if (std::string problem = fuzz::PictureProblem(platform::DecodePicture(*bytes)); !problem.empty()) Fail(problem);
  return 0;
}
