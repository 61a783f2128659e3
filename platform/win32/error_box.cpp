#include "platform/win32/error_box.h"

#include <windows.h>

namespace platform {

std::wstring WideFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = static_cast<int>(utf8.size());
  const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), wide);
  return out;
}

void ShowErrorBox(const ErrorText& text) {
  // Chinese, a blank line, English.
  const std::wstring message = WideFromUtf8(text.chinese) + L"\r\n\r\n" + WideFromUtf8(text.english);
  MessageBoxW(nullptr, message.c_str(), L"autorun", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace platform
