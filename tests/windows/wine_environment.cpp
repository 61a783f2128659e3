#include "tests/windows/wine_environment.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "tests/e2e/child_process.h"
#include "tests/e2e/launcher.h"
#include "tests/support/temp_dir.h"

namespace wine {
namespace {

namespace fs = std::filesystem;
constexpr e2e::Millis kPrefixDeadline{180000};
constexpr e2e::Millis kServerStopDeadline{30000};
// "open" on the user guide: winebrowser, which runs the first xdg-open on PATH
// (the test disc's recording one).
struct RegistryValue {
  const char* key;
  const char* value;
};
constexpr RegistryValue kGuideAction[] = {
    {"HKCR\\.html", "htmlfile"},
    {"HKCR\\htmlfile\\shell\\open\\command", "winebrowser \"%1\""},
};
// No runtime installers are offered in the prefix; nothing here needs them.
constexpr const char* kDllOverrides = "mscoree,mshtml=d";

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string rest = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= rest.size();) {
    std::size_t end = rest.find(':', start);
    if (end == std::string::npos) end = rest.size();
    if (::access((fs::path(rest.substr(start, end - start)) / program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::vector<std::string> WineEnvironment(const Setup& setup, bool with_display) {
  std::vector<std::string> overrides = {"WINEPREFIX=" + (setup.folder / "prefix").string(), "WINEDEBUG=-all",
                                        std::string("WINEDLLOVERRIDES=") + kDllOverrides};
  if (!with_display) overrides.push_back("DISPLAY=");
  return e2e::EnvironmentWith(overrides);
}

void StopWineServer(const Setup& setup) {
  e2e::SpawnRequest stop;
  stop.argv = {"wineserver", "-k"};
  stop.env = WineEnvironment(setup, false);
  e2e::ChildProcess(stop).WaitExit(kServerStopDeadline);
  stop.argv = {"wineserver", "-w"};  // until the server itself has gone
  e2e::ChildProcess(stop).WaitExit(kServerStopDeadline);
}

Setup MakePrefix() {
  Setup setup;
  if (!OnPath("wine") || !OnPath("wineserver")) {
    setup.why_not = "wine is not installed (apt-get install wine wine64)";
    return setup;
  }
  const fs::path exe = WindowsBuild() / "autorun.exe";
  if (!fs::exists(exe)) {
    setup.why_not = exe.string() + " is missing: build with -DAUTORUN_WINDOWS=ON";
    return setup;
  }
  try {
    setup.folder = testing_support::MakeTempFolder("wine");
  } catch (const std::runtime_error& e) {
    setup.why_not = e.what();
    return setup;
  }
  e2e::SpawnRequest boot;
  boot.argv = {"wineboot", "-i"};
  boot.env = WineEnvironment(setup, false);
  boot.stdout_file = setup.folder / "wineboot.out";
  boot.stderr_file = setup.folder / "wineboot.err";
  e2e::ChildProcess process(boot);
  auto status = process.WaitExit(kPrefixDeadline);
  if (status != e2e::Exited(0)) {
    setup.why_not = "wineboot did not make the prefix: " + e2e::Describe(status) + "; " +
                    e2e::ReadFile(boot.stderr_file);
    return setup;
  }
  for (const RegistryValue& v : kGuideAction) {
    e2e::SpawnRequest add;
    add.argv = {"wine", "reg", "add", v.key, "/ve", "/d", v.value, "/f"};
    add.env = WineEnvironment(setup, false);
    if (e2e::ChildProcess(add).WaitExit(kPrefixDeadline) != e2e::Exited(0)) {
      setup.why_not = std::string("cannot write ") + v.key + " in the prefix";
      return setup;
    }
  }
  // wineboot's desktop process runs without a display: the next program must start its own.
  StopWineServer(setup);
  // Keeps the process id: the window's _NET_WM_PID is the launcher's.
  const fs::path script = setup.folder / "autorun.sh";
  std::ofstream(script) << "#!/bin/sh\nexec wine '" << exe.string() << "' \"$@\"\n";
  fs::permissions(script, fs::perms::owner_exec, fs::perm_options::add);
  for (const std::string& entry : WineEnvironment(setup, true)) {
    const std::size_t eq = entry.find('=');
    if (entry.starts_with("WINE")) ::setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
  }
  ::setenv("AUTORUN_EXE", script.c_str(), 1);
  setup.ready = true;
  return setup;
}

Setup& Shared() {
  static Setup setup = MakePrefix();
  return setup;
}

bool g_prepared = false;

// Removes the prefix once every test has run.
class PrefixCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    if (!g_prepared || Shared().folder.empty()) return;
    StopServer();
    std::error_code ignored;
    fs::remove_all(Shared().folder, ignored);
  }
};
[[maybe_unused]] ::testing::Environment* const kCleanup = ::testing::AddGlobalTestEnvironment(new PrefixCleanup);

}  // namespace

const Setup& Prepare() {
  g_prepared = true;
  return Shared();
}

void StopServer() {
  if (g_prepared && Shared().ready) StopWineServer(Shared());
}

fs::path WindowsBuild() { return e2e::BuildDir() / "win64"; }

std::vector<std::string> RunProgram(const fs::path& exe, const std::vector<std::string>& arguments,
                                    std::chrono::milliseconds deadline) {
  const Setup& setup = Prepare();
  if (!setup.ready) return {};
  static int serial = 0;
  e2e::SpawnRequest run;
  run.argv = {"wine", exe.string()};
  run.argv.insert(run.argv.end(), arguments.begin(), arguments.end());
  run.env = WineEnvironment(setup, false);
  run.stdout_file = setup.folder / ("run-" + std::to_string(++serial) + ".out");
  e2e::ChildProcess process(run);
  if (process.WaitExit(deadline) != e2e::Exited(0)) return {};
  std::vector<std::string> lines = e2e::ReadLines(run.stdout_file);
  for (std::string& line : lines)
    if (line.ends_with('\r')) line.pop_back();  // a Windows program's text output
  return lines;
}

}  // namespace wine
