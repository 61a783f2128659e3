#pragma once
// A temporary folder that a test works in: created empty, made the current
// directory, and removed with everything in it afterwards.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace testing_support {

// A new folder of this user's own under the system's temporary folder, named
// after what it is for ("autorun-<what>-" and six random characters).
inline std::filesystem::path MakeTempFolder(std::string_view what) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / ("autorun-" + std::string(what) + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a temporary folder for " + std::string(what));
  return pattern;
}

class TempDir {
 public:
  TempDir() : path_(MakeTempFolder("test")), previous_(std::filesystem::current_path()) {}
  ~TempDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  void Enter() const { std::filesystem::current_path(path_); }

  // Writes `content` to a file below the folder, creating its parent folders.
  std::filesystem::path Write(std::string_view relative, std::string_view content,
                              bool executable = false) const {
    std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    if (executable)
      std::filesystem::permissions(file, std::filesystem::perms::owner_exec,
                                   std::filesystem::perm_options::add);
    return file;
  }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

}  // namespace testing_support
