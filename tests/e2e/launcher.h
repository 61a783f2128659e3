#pragma once
// The real `autorun` executable as a child process of a test.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

namespace e2e {

// The build's output folder: $AUTORUN_BUILD_DIR, else the folder this test was built in.
std::filesystem::path BuildDir();
// $AUTORUN_EXE, else <build dir>/autorun.
std::filesystem::path LauncherExecutable();

struct LaunchOptions {
  std::filesystem::path folder;       // current directory: the disc's root
  std::string display;                // empty: DISPLAY is removed from the environment
  std::string path_variable;          // PATH
  std::vector<std::string> arguments;  // after argv[0]
  std::filesystem::path output_dir;   // where stdout and stderr are kept
  std::optional<Credentials> run_as;  // empty: as the test's own user
};

class Launcher {
 public:
  explicit Launcher(const LaunchOptions& options);

  bool started() const { return process_.started(); }
  pid_t pid() const { return process_.pid(); }
  bool Running() { return process_.Running(); }
  std::optional<ExitStatus> WaitExit(Millis timeout) { return process_.WaitExit(timeout); }
  void Kill() { process_.Kill(); }

  std::string Stdout() const { return ReadFile(stdout_file_); }
  std::string Stderr() const { return ReadFile(stderr_file_); }
  std::vector<std::string> StderrLines() const { return ReadLines(stderr_file_); }

 private:
  std::filesystem::path stdout_file_, stderr_file_;
  ChildProcess process_;
};

}  // namespace e2e
