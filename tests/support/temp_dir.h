#pragma once
// Temporary folders for tests: created empty under the system's temporary
// folder ("autorun-<what>-" and six random characters), removed with all they hold.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace testing_support {

inline std::filesystem::path MakeTempFolder(const std::string& what) {
  std::string pattern = (std::filesystem::temp_directory_path() / ("autorun-" + what + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder for " + what);
  return pattern;
}

// A test's own folder, which it may make the current directory.
class TempDir {
 public:
  ~TempDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  void Enter() const { std::filesystem::current_path(path_); }
  // A file below the folder, with its parent folders.
  std::filesystem::path Write(const std::string& relative, const std::string& content, bool executable = false) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    if (executable) std::filesystem::permissions(file, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    return file;
  }

 private:
  const std::filesystem::path path_ = MakeTempFolder("test"), previous_ = std::filesystem::current_path();
};

}  // namespace testing_support
