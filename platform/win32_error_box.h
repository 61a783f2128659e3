#pragma once
// The run-time error message on Windows: a message box titled "autorun" with
// the Traditional Chinese text above the English, and the same text on
// standard error where the process has one (started from a console).

#include <string>
#include <string_view>

#include "platform/runtime.h"

namespace platform {

std::wstring WideFromUtf8(std::string_view utf8);

// The message box's text: Chinese, a blank line, English.
std::wstring ErrorBoxText(const ErrorText& text);

void ReportErrorOnWin32(const ErrorText& text);

}  // namespace platform
