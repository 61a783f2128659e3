#pragma once
// The runtime's message for a run-time error, in Traditional Chinese with
// English below, and the texts of each cause it names.

#include <string>
#include <string_view>

#include "pictures/picture.h"
#include "platform/runtime.h"

namespace platform {

struct ErrorText {
  std::string chinese;
  std::string english;
};
ErrorText DescribeRuntimeError(const RuntimeError& error);

// A cause's text; Cause::Other has none of its own in either language.
std::string_view EnglishText(Cause cause);
std::string_view ChineseText(Cause cause);

// What a picture reader's refusal means to the user.
Cause CauseOf(pictures::PictureError error);

}  // namespace platform
