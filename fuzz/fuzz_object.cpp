// The embedded picture object on arbitrary bytes: the object record, the
// compound file behind it, then the bitmap it yields shown as the runtime
// shows the background: viewed in place when it is a plain 24-bit bitmap,
// otherwise decoded.

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz/sane_picture.h"
#include "pictures/dib.h"
#include "pictures/ole_object.h"

namespace {

[[noreturn]] void Fail(const std::string& problem) {
  std::fprintf(stderr, "insane object: %s\n", problem.c_str());
  std::abort();
}

bool Within(std::span<const std::uint8_t> part, const std::uint8_t* begin, std::size_t size) {
  return part.empty() || (part.data() >= begin && part.data() + part.size() <= begin + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> scratch;
  const auto bitmap = pictures::ExtractObjectBitmap({data, size}, scratch);
  const auto* bytes = std::get_if<std::span<const std::uint8_t>>(&bitmap);
  if (bytes == nullptr) return 0;
  // The bitmap lies in the object's own sectors or in a copy of them, so it can never outgrow them.
  if (!Within(*bytes, data, size) && !Within(*bytes, scratch.data(), scratch.size()))
    Fail("bitmap outside both the object and its copy");
  if (bytes->size() > size) Fail("bitmap of " + std::to_string(bytes->size()) + " bytes from a smaller object");
  if (auto view = pictures::ViewBmp24(*bytes)) {
    if (!Within(view->pixels, bytes->data(), bytes->size())) Fail("rows outside the bitmap");
    if (view->width <= 0 || view->height <= 0 || view->width > pictures::kMaxPictureSide || view->height > pictures::kMaxPictureSide)
      Fail("absurd view of " + std::to_string(view->width) + " by " + std::to_string(view->height));
    // Every pixel the window could draw is read once; the sanitizer catches a stray row.
    std::vector<std::uint32_t> row(static_cast<std::size_t>(view->width));
    for (int y = 0; y < view->height; ++y) view->CopyRow(y, 0, view->width, row.data());
    return 0;
  }
  if (std::string problem = fuzz::PictureProblem(pictures::DecodePicture(*bytes)); !problem.empty()) Fail(problem);
  return 0;
}
