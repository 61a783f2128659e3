// A program for the Windows test disc: each run appends one line to the file
// named like the program plus ".log" ("Setup\Setup.exe.log"), saying how it
// was started, then ends. The tests read the log from the host side.
//
//   started show=<wShowWindow or -1> cwd=<current folder> cmdline=<command line>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

int main() {
  char module[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  const std::string line = "started show=" + std::to_string(show) + " cwd=" + folder +
                           " cmdline=" + GetCommandLineA() + "\n";
  const std::string log = std::string(module, length) + ".log";
  HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
