// A program for the Windows test disc: each run appends one line to the file
// that AUTORUN_TEST_LOG names, saying what it stands for (its folder's name in
// lower case), how it was asked to show and where it was started:
//   manualinstallation show=1 cwd=Z:\tmp\...\disc
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <string>

int main() {
  char module[MAX_PATH], folder[MAX_PATH] = "", log[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || GetEnvironmentVariableA("AUTORUN_TEST_LOG", log, MAX_PATH) == 0) return 1;
  std::string name(module, length);
  name.resize(name.rfind('\\'));
  name.erase(0, name.rfind('\\') + 1);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  GetCurrentDirectoryA(MAX_PATH, folder);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  const std::string line = name + " show=" + std::to_string(show) + " cwd=" + folder + "\n";
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
