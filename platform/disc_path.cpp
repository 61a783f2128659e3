#include "platform/disc_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>

namespace platform {
namespace {

// A hostile disc could hold every case variant of every folder; this bounds
// how many spellings one lookup tries.
constexpr int kMaxCandidates = 256;

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

std::vector<std::string_view> SplitComponents(std::string_view literal) {
  std::vector<std::string_view> parts;
  while (!literal.empty()) {
    std::size_t cut = literal.find_first_of("\\/");
    std::string_view part = literal.substr(0, cut);
    if (!part.empty() && part != ".") parts.push_back(part);
    if (cut == std::string_view::npos) break;
    literal.remove_prefix(cut + 1);
  }
  return parts;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& dir, std::string_view name) {
  return dir.empty() ? std::string(name) : dir + "/" + std::string(name);
}

// The other spellings of `name` present in `dir`, equal to it ignoring case,
// in byte order.
std::vector<std::string> CaseVariants(const std::string& dir, std::string_view name) {
  std::vector<std::string> found;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return found;
  while (const dirent* entry = ::readdir(d)) {
    std::string_view entry_name = entry->d_name;
    if (entry_name != name && EqualsIgnoringAsciiCase(entry_name, name)) found.emplace_back(entry_name);
  }
  ::closedir(d);
  std::sort(found.begin(), found.end());
  return found;
}

bool Search(const std::string& dir, std::span<const std::string_view> rest, int& budget,
            std::string& result) {
  auto descend = [&](const std::string& path) {
    if (--budget < 0) return false;
    if (rest.size() == 1) {
      result = path;
      return true;
    }
    return Search(path, rest.subspan(1), budget, result);
  };
  // The exact spelling first: a folder is listed only when it fails.
  std::string exact = Join(dir, rest.front());
  if (Exists(exact) && descend(exact)) return true;
  for (const std::string& variant : CaseVariants(dir, rest.front()))
    if (descend(Join(dir, variant))) return true;
  return false;
}

}  // namespace

std::optional<std::string> ResolveDiscPath(std::string_view literal) {
  std::vector<std::string_view> parts = SplitComponents(literal);
  // Only paths below the current directory name disc files.
  if (parts.empty() || literal.front() == '\\' || literal.front() == '/' ||
      std::find(parts.begin(), parts.end(), "..") != parts.end())
    return std::nullopt;
  // A disc spelled exactly as the program writes it costs one look-up.
  std::string result;
  for (std::string_view part : parts) result = Join(result, part);
  if (Exists(result)) return result;
  int budget = kMaxCandidates;
  if (!Search("", parts, budget, result)) return std::nullopt;
  return result;
}

std::string_view Describe(FileError error) {
  switch (error) {
    case FileError::NotFound: return "file not found";
    case FileError::Unreadable: return "file cannot be read";
    case FileError::TooLarge: return "file too large";
  }
  return "file error";
}

std::variant<std::vector<std::uint8_t>, FileError> ReadDiscFile(std::string_view literal,
                                                                std::size_t max_bytes) {
  std::optional<std::string> path = ResolveDiscPath(literal);
  if (!path) return FileError::NotFound;
  // Checked before opening: opening a device or FIFO can block or have effects.
  struct stat st;
  if (::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FileError::NotFound;
  int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? FileError::NotFound : FileError::Unreadable;
  std::variant<std::vector<std::uint8_t>, FileError> result = FileError::Unreadable;
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

}  // namespace platform
