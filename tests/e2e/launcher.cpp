#include "tests/e2e/launcher.h"

#include <atomic>
#include <cstdlib>

namespace e2e {

std::filesystem::path BuildDir() {
  if (const char* dir = std::getenv("AUTORUN_BUILD_DIR"); dir != nullptr && *dir != '\0') return dir;
  return AUTORUN_E2E_BUILD_DIR;
}

std::filesystem::path LauncherExecutable() {
  if (const char* exe = std::getenv("AUTORUN_EXE"); exe != nullptr && *exe != '\0') return exe;
  return BuildDir() / "autorun";
}

Launcher::Launcher(const LaunchOptions& options) {
  static std::atomic<int> serial{0};
  std::string stem = "autorun-" + std::to_string(++serial);
  stdout_file_ = options.output_dir / (stem + ".out");
  stderr_file_ = options.output_dir / (stem + ".err");
  SpawnRequest request;
  request.argv.push_back(LauncherExecutable().string());
  request.argv.insert(request.argv.end(), options.arguments.begin(), options.arguments.end());
  request.cwd = options.folder;
  request.env = EnvironmentWith({"DISPLAY=" + options.display, "PATH=" + options.path_variable});
  request.stdout_file = stdout_file_;
  request.stderr_file = stderr_file_;
  request.run_as = options.run_as;
  process_ = ChildProcess(request);
}

}  // namespace e2e
