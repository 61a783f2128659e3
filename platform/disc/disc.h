#pragma once
// The disc as the runtime operations see it. Files are named as the program
// writes them: relative to the current directory, backslash-separated, in any
// letter case ("Setup\images\help.gif"). Each system implements the interface
// (posix_disc.h, win32_disc.h); what the operations do with a file's bytes is
// written once, below it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "pictures/cursor_file.h"
#include "platform/runtime.h"

namespace platform {

// Pointer files are a few kilobytes; this bounds what a hostile one costs.
inline constexpr std::size_t kMaxCursorFileBytes = 4u << 20;

enum class FileError { NotFound, Unreadable, TooLarge };
Cause CauseOf(FileError error);

using FileBytes = std::variant<std::vector<std::uint8_t>, FileError>;

class Disc {
 public:
  virtual ~Disc() = default;

  // The system's name for the entry a literal path names, or nothing.
  virtual std::optional<std::string> Resolve(std::string_view literal) = 0;
  // True when a resolved path is a regular file (a link to one counts).
  virtual bool IsFile(const std::string& path) = 0;
  // A regular file read whole, at most `max_bytes` of it; a folder, FIFO or
  // device counts as not found, and nothing is opened that could block.
  virtual FileBytes Read(const std::string& path, std::size_t max_bytes) = 0;
  // Shell for a regular file: starts it in the window style without waiting,
  // returns its task number; a failure throws RuntimeError naming `literal`.
  virtual std::int32_t Start(const std::string& path, std::string_view literal, std::int16_t window_style) = 0;
  // ShellExecuteA: hands the file to the system's action for `operation`.
  // Above 32 when handed over, as the system call reports.
  virtual std::intptr_t Open(WindowHandle owner, std::string_view operation, std::string_view literal,
                             std::string_view parameters, std::string_view directory, std::int32_t show) = 0;
};

// The file a literal names, read whole as Disc::Read reads it.
FileBytes ReadDiscFile(Disc& disc, std::string_view literal, std::size_t max_bytes);

// LoadPicture: "" gives the empty picture; any failure throws RuntimeError.
Picture LoadPictureFile(Disc& disc, std::string_view literal);

// Shell: starts the program, returns its task number; failure throws RuntimeError.
std::int32_t StartProgram(Disc& disc, std::string_view literal, std::int16_t window_style);

// LoadCursorFromFileA: nothing when missing, unreadable or malformed.
std::optional<pictures::CursorFile> LoadCursorFile(Disc& disc, std::string_view literal);

}  // namespace platform
