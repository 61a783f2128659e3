#pragma once
// The run-time error message on Windows: a message box titled "autorun" with
// the Traditional Chinese text above the English.

#include <string>
#include <string_view>

#include "platform/error_text.h"

namespace platform {

std::wstring WideFromUtf8(std::string_view utf8);

void ShowErrorBox(const ErrorText& text);

}  // namespace platform
