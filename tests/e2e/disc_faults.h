#pragma once
// Ways to break one file of a test disc, as a damaged or hostile disc could:
// each turns the file at one name into something else, in place.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tests/e2e/test_disc.h"

namespace e2e {

enum class FaultKind {
  Missing,             // nothing at the name
  Empty,               // zero bytes
  Truncated,           // cut short where `cut` says
  Folder,              // a folder of that name, not empty
  Fifo,                // a named pipe nobody writes to
  DanglingLink,        // a symbolic link to a name that does not exist
  LoopingLink,         // a symbolic link to a link that points back to it
  Unreadable,          // mode 000: refused to every user but root
  NotExecutable,       // mode 0644
  Oversized,           // `bytes` appended, then a hole up to `size` bytes in all
  Replaced,            // other bytes (`bytes`), same mode
  TwinWithoutTheFile,  // a copy of the top folder spelled in the other case, lacking the file
  OnlyInTwin,          // the same, but the file is only in the copy
};

// Where a truncated file ends.
struct Cut {
  enum class From { Start, End, Middle } from = From::Start;
  std::size_t bytes = 0;  // kept from the start, or dropped from the end; unused for Middle
};

struct Fault {
  FaultKind kind = FaultKind::Missing;
  Cut cut;
  std::uint64_t size = 0;
  std::vector<std::uint8_t> bytes;
};

// Shorthands for the rows of a fault table.
inline Fault Truncated(Cut::From from, std::size_t bytes = 0) { return {FaultKind::Truncated, {from, bytes}, 0, {}}; }
inline Fault Of(FaultKind kind) { return {kind, {}, 0, {}}; }
inline Fault Grown(std::uint64_t size, std::vector<std::uint8_t> tail = {}) {
  return {FaultKind::Oversized, {}, size, std::move(tail)};
}
inline Fault Replaced(std::vector<std::uint8_t> bytes) { return {FaultKind::Replaced, {}, 0, std::move(bytes)}; }

// What the launcher must do about one broken file.
enum class Outcome {
  RuntimeError,  // the runtime's message naming the file and the cause, then status 1
  QuietEnd,      // End: status 0, no message, nothing started
  NotOpened,     // nothing reported, the launcher goes on, the opener is not run
  Used,          // as if nothing were wrong
};

struct FaultRow {
  const char* name;
  Fault fault;
  Outcome outcome;
  std::string_view cause;  // RuntimeError: the exact cause; "" takes any
};

// Breaks `relative` (spelled as the sample disc spells it) on `disc`.
void Apply(const TestDisc& disc, std::string_view relative, const Fault& fault);

// The top folder of `relative` spelled in the other letter case ("Setup" -> "setup").
std::string TwinSpelling(std::string_view relative);
// The regular file at `relative` or at its twin spelling, whichever exists.
std::optional<std::filesystem::path> RegularFileAt(const TestDisc& disc, std::string_view relative);

// Lets another user reach the disc and write the results (for Unreadable as root).
void OpenToEveryone(const TestDisc& disc);
// Who the launcher runs as so that a mode-000 file cannot be read: nothing when
// the test is not root (permissions already apply), else an unprivileged user.
std::optional<Credentials> UserWhoCannotReadUnreadableFiles();

// Pictures whose headers announce absurd sizes; each is only a few bytes long.
std::vector<std::uint8_t> GifWithScreen(int width, int height);   // screen and image both this size
std::vector<std::uint8_t> GifWithImage(int width, int height);    // a 1x1 screen, an image this size
std::vector<std::uint8_t> BmpAnnouncing(std::int32_t width, std::int32_t height);
std::vector<std::uint8_t> IcoAnnouncing(std::int32_t width, std::int32_t height);
// Animated pointers: a valid one whose first frame announces this size, and
// one whose header announces this many frames and steps.
std::vector<std::uint8_t> AniWithFrameAnnouncing(std::int32_t width, std::int32_t height);
std::vector<std::uint8_t> AniAnnouncingFrames(std::uint32_t frames);

// Programs this system cannot run.
std::vector<std::uint8_t> WindowsProgram();         // an "MZ"/"PE" header
std::vector<std::uint8_t> ForeignMachineProgram();  // an ELF header for a big-endian 32-bit SPARC
std::vector<std::uint8_t> NativeProgramHeaderOnly();  // this test's own ELF header, nothing after it
std::vector<std::uint8_t> ScriptFor(std::string_view interpreter);  // "#!<interpreter>" and one command

// Whether this system starts the file (some hosts run foreign formats through
// an emulator): the file is copied aside and run, with no arguments, and killed.
bool SystemStarts(const std::vector<std::uint8_t>& program);

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file);

}  // namespace e2e
