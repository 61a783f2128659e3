#include "platform/disc/posix_disc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/disc/disc_path.h"
#include "platform/disc/process.h"

namespace platform {
namespace {

// Values ShellExecuteA reports; only "above 32" means success.
constexpr std::intptr_t kOpenFileNotFound = 2;
constexpr std::intptr_t kOpenNoAssociation = 31;
constexpr std::intptr_t kOpenStarted = 42;

// Why a start failed; Cause::Other where strerror is all there is.
Cause CauseOfSpawnError(int error) {
  switch (error) {
    case ENOENT: return Cause::FileNotFound;
    case EACCES: return Cause::PermissionDenied;
    case ENOEXEC: return Cause::NotAProgram;
    case ENOTDIR: return Cause::FileNotFound;
    case ELOOP: return Cause::FileNotFound;
    case EISDIR: return Cause::IsAFolder;
    case ENOMEM:
    case EAGAIN: return Cause::OutOfResources;
    default: return Cause::Other;
  }
}

}  // namespace

std::optional<std::string> PosixDisc::Resolve(std::string_view literal) { return ResolveDiscPath(literal); }

bool PosixDisc::IsFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

FileBytes PosixDisc::Read(const std::string& path, std::size_t max_bytes) {
  // Checked before opening: opening a device or FIFO can block or have effects.
  if (!IsFile(path)) return FileError::NotFound;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? FileError::NotFound : FileError::Unreadable;
  FileBytes result = FileError::Unreadable;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    result = FileError::NotFound;  // replaced between the two checks
  } else if (static_cast<std::uint64_t>(st.st_size) > max_bytes) {
    result = FileError::TooLarge;
  } else {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    // A file that shrank while read is taken as it is now; one that grows past
    // its size is not read further.
    if (got == bytes.size() || got > 0) {
      bytes.resize(got);
      result = std::move(bytes);
    }
  }
  ::close(fd);
  return result;
}

std::int32_t PosixDisc::Start(const std::string& path, std::string_view literal, std::int16_t) {
  SpawnResult started = SpawnProgram(path);
  if (started.pid > 0) return started.pid;
  // The file is there, so "not found" can only mean its interpreter is missing.
  const Cause cause = started.error == ENOENT ? Cause::InterpreterNotFound : CauseOfSpawnError(started.error);
  throw RuntimeError("Shell", std::string(literal), cause, cause == Cause::Other ? std::strerror(started.error) : "");
}

std::intptr_t PosixDisc::Open(WindowHandle, std::string_view operation, std::string_view literal, std::string_view,
                              std::string_view, std::int32_t) {
  if (operation != "open") return kOpenNoAssociation;
  std::optional<std::string> path = Resolve(literal);
  // A folder or a FIFO under the guide's name is no document: a viewer
  // handed a FIFO would hang on it.
  if (!path || !IsFile(*path)) return kOpenFileNotFound;
  std::unique_ptr<char, decltype(&std::free)> absolute(::realpath(path->c_str(), nullptr), &std::free);
  if (!absolute) return kOpenFileNotFound;
  SpawnResult started = SpawnFromPath("xdg-open", absolute.get());
  return started.pid > 0 ? kOpenStarted : kOpenNoAssociation;
}

}  // namespace platform
