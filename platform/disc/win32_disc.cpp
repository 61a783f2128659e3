#include "platform/disc/win32_disc.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace {

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

struct StartError {
  DWORD code;
  Cause cause;
};

constexpr StartError kStartErrors[] = {
    {ERROR_FILE_NOT_FOUND,            Cause::FileNotFound},
    {ERROR_PATH_NOT_FOUND,            Cause::FileNotFound},
    {ERROR_ACCESS_DENIED,             Cause::PermissionDenied},
    {ERROR_BAD_FORMAT,                Cause::NotAProgram},
    {ERROR_BAD_EXE_FORMAT,            Cause::NotAProgram},
    {ERROR_INVALID_EXE_SIGNATURE,     Cause::NotAProgram},
    {ERROR_EXE_MARKED_INVALID,        Cause::NotAProgram},
    {ERROR_EXE_MACHINE_TYPE_MISMATCH, Cause::NotAProgram},
    {ERROR_NOT_ENOUGH_MEMORY,         Cause::OutOfMemory},
    {ERROR_OUTOFMEMORY,               Cause::OutOfMemory},
    {ERROR_NO_SYSTEM_RESOURCES,       Cause::OutOfResources},
};

Cause CauseOfStartError(DWORD system_error) {
  for (const StartError& e : kStartErrors)
    if (e.code == system_error) return e.cause;
  return Cause::ProgramNotStarted;
}

// Shell's window styles: 0 hidden, 1 normal with focus, 2 minimised with
// focus, 3 maximised, 4 normal without focus, 6 minimised without focus.
struct WindowStyle {
  std::int16_t style;
  int show;
};

constexpr WindowStyle kWindowStyles[] = {
    {0, SW_HIDE},           {1, SW_SHOWNORMAL},       {2, SW_SHOWMINIMIZED},
    {3, SW_SHOWMAXIMIZED},  {4, SW_SHOWNOACTIVATE},   {6, SW_SHOWMINNOACTIVE},
};

// An unknown style shows normally.
int ShowCommandOf(std::int16_t window_style) {
  for (const WindowStyle& s : kWindowStyles)
    if (s.style == window_style) return s.show;
  return SW_SHOWNORMAL;
}

}  // namespace

bool Win32Disc::IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileBytes Win32Disc::Read(const std::string& path, std::size_t max_bytes) {
  if (!IsFile(path)) return FileError::NotFound;
  HANDLE raw = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileError::NotFound
                                                                           : FileError::Unreadable;
  }
  const FileHandle file(raw);
  if (GetFileType(raw) != FILE_TYPE_DISK) return FileError::NotFound;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(raw, &size) || size.QuadPart < 0) return FileError::Unreadable;
  if (static_cast<unsigned long long>(size.QuadPart) > max_bytes) return FileError::TooLarge;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    if (!ReadFile(raw, bytes.data() + done, want, &got, nullptr) || got == 0) return FileError::Unreadable;
    done += got;
  }
  return bytes;
}

std::int32_t Win32Disc::Start(const std::string& path, std::string_view literal, std::int16_t window_style) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(ShowCommandOf(window_style));
  // The program's own name as its command line, quoted: no arguments, no search path.
  std::string command = "\"" + path + "\"";
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    DWORD error = GetLastError();
    // The program is there: what was not found is what its format needs to run (a DOS program's loader).
    if ((error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) && IsFile(path)) error = ERROR_BAD_FORMAT;
    throw RuntimeError("Shell", std::string(literal), CauseOfStartError(error));
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return static_cast<std::int32_t>(started.dwProcessId);
}

std::intptr_t Win32Disc::Open(WindowHandle owner, std::string_view operation, std::string_view literal,
                              std::string_view parameters, std::string_view directory, std::int32_t show) {
  const std::string op(operation), path(literal), args(parameters), folder(directory);
  HINSTANCE result = ::ShellExecuteA(reinterpret_cast<HWND>(owner), op.c_str(), path.c_str(), args.c_str(),
                                     folder.c_str(), show);
  return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace platform
