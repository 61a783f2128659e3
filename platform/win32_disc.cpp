#include "platform/win32_disc.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/cursor_file.h"
#include "platform/runtime.h"

namespace platform {
namespace {

// Pointer files are a few kilobytes; this bounds what a hostile one costs.
constexpr std::size_t kMaxCursorFileBytes = 4u << 20;

enum class ReadError { NotFound, Unreadable, TooLarge };

std::string_view Describe(ReadError error) {
  switch (error) {
    case ReadError::NotFound: return "file not found";
    case ReadError::Unreadable: return "file cannot be read";
    case ReadError::TooLarge: return "file too large";
  }
  return "file cannot be read";
}

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A regular file read whole; folders, devices and pipes count as not found.
std::variant<std::vector<std::uint8_t>, ReadError> ReadWholeFile(std::string_view literal, std::size_t max_bytes) {
  const std::string path(literal);
  if (!IsFile(path)) return ReadError::NotFound;
  HANDLE raw = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadError::NotFound
                                                                           : ReadError::Unreadable;
  }
  const FileHandle file(raw);
  if (GetFileType(raw) != FILE_TYPE_DISK) return ReadError::NotFound;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(raw, &size) || size.QuadPart < 0) return ReadError::Unreadable;
  if (static_cast<unsigned long long>(size.QuadPart) > max_bytes) return ReadError::TooLarge;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    if (!ReadFile(raw, bytes.data() + done, want, &got, nullptr) || got == 0) return ReadError::Unreadable;
    done += got;
  }
  return bytes;
}

struct StartError {
  DWORD code;
  std::string_view cause;
};

constexpr StartError kStartErrors[] = {
    {ERROR_FILE_NOT_FOUND, "file not found"},
    {ERROR_PATH_NOT_FOUND, "file not found"},
    {ERROR_ACCESS_DENIED, "permission denied"},
    {ERROR_BAD_FORMAT, "not an executable format"},
    {ERROR_BAD_EXE_FORMAT, "not an executable format"},
    {ERROR_INVALID_EXE_SIGNATURE, "not an executable format"},
    {ERROR_EXE_MARKED_INVALID, "not an executable format"},
    {ERROR_EXE_MACHINE_TYPE_MISMATCH, "not an executable format"},
    {ERROR_NOT_ENOUGH_MEMORY, "out of memory"},
    {ERROR_OUTOFMEMORY, "out of memory"},
    {ERROR_NO_SYSTEM_RESOURCES, "out of resources"},
};

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

}  // namespace

std::string_view DescribeStartError(std::uint32_t system_error) {
  for (const StartError& e : kStartErrors)
    if (e.code == system_error) return e.cause;
  return "program cannot be started";
}

int ShowCommandOfWindowStyle(std::int16_t window_style) {
  for (const WindowStyle& s : kWindowStyles)
    if (s.style == window_style) return s.show;
  return SW_SHOWNORMAL;
}

Picture LoadPictureOnWin32(std::string_view literal) {
  if (literal.empty()) return Picture{};
  auto read = ReadWholeFile(literal, kMaxPictureFileBytes);
  if (auto* error = std::get_if<ReadError>(&read))
    throw RuntimeError("LoadPicture", std::string(literal), std::string(Describe(*error)));
  auto decoded = DecodePicture(std::get<std::vector<std::uint8_t>>(read));
  if (auto* error = std::get_if<PictureError>(&decoded))
    throw RuntimeError("LoadPicture", std::string(literal), std::string(Describe(*error)));
  return Picture(std::make_shared<const Image>(std::move(std::get<Image>(decoded))));
}

std::int32_t StartProgramOnWin32(std::string_view literal, std::int16_t window_style) {
  std::string path(literal);
  if (!IsFile(path)) throw RuntimeError("Shell", path, "file not found");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(ShowCommandOfWindowStyle(window_style));
  // The program's own name as its command line, quoted: no arguments, no search path.
  std::string command = "\"" + path + "\"";
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    DWORD error = GetLastError();
    // The program is there: what was not found is what its format needs to run (a DOS program's loader).
    if ((error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) && IsFile(path)) error = ERROR_BAD_FORMAT;
    throw RuntimeError("Shell", path, std::string(DescribeStartError(error)));
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return static_cast<std::int32_t>(started.dwProcessId);
}

bool IsReadablePointerFile(std::string_view literal) {
  auto read = ReadWholeFile(literal, kMaxCursorFileBytes);
  if (!std::holds_alternative<std::vector<std::uint8_t>>(read)) return false;
  return std::holds_alternative<CursorFile>(DecodeCursorFile(std::get<std::vector<std::uint8_t>>(read)));
}

}  // namespace platform
