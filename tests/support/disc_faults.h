#pragma once
// The ways a disc can break a file, made once for the disc's unit tests and the
// end-to-end fault tests. Each takes the disc's root and the file's path below it.

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace testing_support {

namespace fs = std::filesystem;
using DiscFault = void (*)(const fs::path& disc, std::string_view file);

inline void Remove(const fs::path& d, std::string_view f) { fs::remove(d / f); }
inline void Empty(const fs::path& d, std::string_view f) { fs::resize_file(d / f, 0); }
inline void Text(const fs::path& d, std::string_view f) {
  std::ofstream(d / f, std::ios::trunc) << "These bytes are no picture, pointer or program.\n";
}
inline void Folder(const fs::path& d, std::string_view f) { Remove(d, f), fs::create_directories(d / f / "inside"); }
inline void Fifo(const fs::path& d, std::string_view f) { Remove(d, f), ::mkfifo((d / f).c_str(), 0644); }
inline void Dangling(const fs::path& d, std::string_view f) { Remove(d, f), fs::create_symlink("no-such-file", d / f); }
inline void Looping(const fs::path& d, std::string_view f) {
  Remove(d, f);
  fs::create_symlink((d / f).filename().string() + "-loop", d / f);
  fs::create_symlink((d / f).filename(), (d / f).string() + "-loop");
}
inline void Unreadable(const fs::path& d, std::string_view f) { fs::permissions(d / f, fs::perms::none); }
inline void NotExecutable(const fs::path& d, std::string_view f) { fs::permissions(d / f, fs::perms(0644)); }
template <std::uintmax_t kSize>
void Grow(const fs::path& d, std::string_view f) {  // a hole: zeros that take no disc space
  std::ofstream(d / f, std::ios::app) << "\nexit 0\n";
  fs::resize_file(d / f, kSize);
}

}  // namespace testing_support
