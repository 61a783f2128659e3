#include "platform/disc_actions.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/disc_path.h"
#include "platform/process.h"
#include "platform/runtime.h"

namespace platform {
namespace {

// Pointer files are a few kilobytes; this bounds what a hostile one costs.
constexpr std::size_t kMaxCursorFileBytes = 4u << 20;

// Values ShellExecuteA reports; only "above 32" means success.
constexpr std::intptr_t kOpenFileNotFound = 2;
constexpr std::intptr_t kOpenNoAssociation = 31;
constexpr std::intptr_t kOpenStarted = 42;

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

Picture LoadPictureFile(std::string_view literal) {
  if (literal.empty()) return Picture{};
  auto read = ReadDiscFile(literal, kMaxPictureFileBytes);
  if (auto* error = std::get_if<FileError>(&read))
    throw RuntimeError("LoadPicture", std::string(literal), std::string(Describe(*error)));
  auto decoded = DecodePicture(std::get<std::vector<std::uint8_t>>(read));
  if (auto* error = std::get_if<PictureError>(&decoded))
    throw RuntimeError("LoadPicture", std::string(literal), std::string(Describe(*error)));
  return Picture(std::make_shared<const Image>(std::move(std::get<Image>(decoded))));
}

std::int32_t StartProgram(std::string_view literal) {
  std::optional<std::string> path = ResolveDiscPath(literal);
  if (!path || !IsRegularFile(*path))
    throw RuntimeError("Shell", std::string(literal), "file not found");
  SpawnResult started = SpawnProgram(*path);
  if (started.pid > 0) return started.pid;
  // The file is there, so "not found" can only mean its interpreter is missing.
  std::string cause = started.error == ENOENT ? "program interpreter not found"
                                              : DescribeSpawnError(started.error);
  throw RuntimeError("Shell", std::string(literal), cause);
}

std::intptr_t OpenDocument(std::string_view operation, std::string_view literal) {
  if (operation != "open") return kOpenNoAssociation;
  std::optional<std::string> path = ResolveDiscPath(literal);
  // A folder or a FIFO under the guide's name is no document: a viewer
  // handed a FIFO would hang on it.
  if (!path || !IsRegularFile(*path)) return kOpenFileNotFound;
  std::unique_ptr<char, decltype(&std::free)> absolute(::realpath(path->c_str(), nullptr), &std::free);
  if (!absolute) return kOpenFileNotFound;
  SpawnResult started = SpawnFromPath("xdg-open", absolute.get());
  return started.pid > 0 ? kOpenStarted : kOpenNoAssociation;
}

std::optional<CursorFile> LoadCursorFile(std::string_view literal) {
  auto read = ReadDiscFile(literal, kMaxCursorFileBytes);
  if (!std::holds_alternative<std::vector<std::uint8_t>>(read)) return std::nullopt;
  auto decoded = DecodeCursorFile(std::get<std::vector<std::uint8_t>>(read));
  if (!std::holds_alternative<CursorFile>(decoded)) return std::nullopt;
  return std::move(std::get<CursorFile>(decoded));
}

}  // namespace platform
