#pragma once
// A private X server (Xvfb on a free display number) and, optionally, a window
// manager on it, for the end-to-end tests.

#include <filesystem>
#include <memory>
#include <string>

#include "tests/e2e/child_process.h"

namespace e2e {

inline constexpr int kScreenWidth = 1024;
inline constexpr int kScreenHeight = 768;

class XServer {
 public:
  // Starts Xvfb and waits until it accepts connections. nullptr, with the
  // reason in *why, when it cannot be started.
  static std::unique_ptr<XServer> Start(const std::filesystem::path& log_dir, std::string* why);
  ~XServer();

  const std::string& display() const { return display_; }  // ":N"

  // Starts openbox and waits until it has taken the screen (its check window
  // on the root) and finished starting (its --startup command has run). False,
  // with the reason in *why, if it does not within the deadline.
  bool StartWindowManager(std::string* why);
  void StopWindowManager();

 private:
  XServer() = default;

  std::string display_;
  std::filesystem::path log_dir_;
  ChildProcess server_;
  ChildProcess wm_;
};

}  // namespace e2e
