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

void ReportErrorOnWin32(const ErrorText& text) {
  // A program started from a console (or under a test harness) has a standard
  // error; one started from the desktop has none, and this writes nothing.
  if (HANDLE err = GetStdHandle(STD_ERROR_HANDLE); err != nullptr && err != INVALID_HANDLE_VALUE) {
    const std::string line = "autorun: " + text.chinese + "\nautorun: " + text.english + "\n";
    DWORD written = 0;
    WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  // The message box's text: Chinese, a blank line, English.
  const std::wstring message = WideFromUtf8(text.chinese) + L"\r\n\r\n" + WideFromUtf8(text.english);
  MessageBoxW(nullptr, message.c_str(), L"autorun", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace platform
