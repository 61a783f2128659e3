#include "platform/disc/disc_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <span>
#include <vector>

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

// `first_choices` stays true while every folder on the way was the first
// spelling tried at its level, the one a repeated search would take again.
bool Search(const std::string& dir, std::span<const std::string_view> rest, int& budget,
            std::string& result, bool& first_choices) {
  bool first = true;
  auto descend = [&](const std::string& path) {
    if (--budget < 0) return false;
    if (rest.size() == 1) {
      result = path;
      return true;
    }
    if (!first) first_choices = false;
    first = false;
    return Search(path, rest.subspan(1), budget, result, first_choices);
  };
  // The exact spelling first: a folder is listed only when it fails.
  std::string exact = Join(dir, rest.front());
  if (Exists(exact) && descend(exact)) return true;
  for (const std::string& variant : CaseVariants(dir, rest.front()))
    if (descend(Join(dir, variant))) return true;
  return false;
}

std::string LowerAscii(std::string_view s) {
  std::string lower(s);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return lower;
}

// Folders as the last searches found them, for the directory they were found
// in. The program spells each folder the same way every time, so on a disc
// stored in other letter case the next lookup in that folder is one stat
// instead of a listing. Only first choices are kept, so a hit gives what a
// fresh search would.
class FolderSpellings {
 public:
  std::optional<std::string> Find(const std::string& cwd, const std::string& key) const {
    if (cwd != cwd_) return std::nullopt;
    for (const auto& [k, found] : folders_)
      if (k == key) return found;
    return std::nullopt;
  }
  void Keep(const std::string& cwd, std::string key, std::string found) {
    if (cwd != cwd_ || folders_.size() >= kMaxFolders) {
      cwd_ = cwd;
      folders_.clear();
    }
    folders_.emplace_back(std::move(key), std::move(found));
  }

 private:
  static constexpr std::size_t kMaxFolders = 16;
  std::string cwd_;
  std::vector<std::pair<std::string, std::string>> folders_;
};

FolderSpellings& Spellings() {
  static FolderSpellings spellings;
  return spellings;
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
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
  const std::string_view file = parts.back();
  const std::span<const std::string_view> folders(parts.data(), parts.size() - 1);
  std::string key;
  for (std::string_view part : folders) key = Join(key, LowerAscii(part));
  const std::string cwd = folders.empty() ? std::string() : CurrentDirectory();
  if (!folders.empty() && !cwd.empty()) {
    if (auto folder = Spellings().Find(cwd, key); folder && Exists(Join(*folder, file)))
      return Join(*folder, file);
  }
  int budget = kMaxCandidates;
  bool first_choices = true;
  if (!Search("", parts, budget, result, first_choices)) return std::nullopt;
  if (!folders.empty() && !cwd.empty() && first_choices) {
    // The file's own spelling may differ from the literal's; the folder is what is kept.
    Spellings().Keep(cwd, std::move(key), result.substr(0, result.rfind('/')));
  }
  return result;
}

}  // namespace platform
