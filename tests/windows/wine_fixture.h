#pragma once
// The fixture of the Wine tests: the end-to-end harness of the Linux build
// (private Xvfb, test disc, XTest) with the 64-bit Windows launcher started
// through Wine, the disc's two programs replaced by the recording Windows
// program (tests/windows/recording_program.cpp), and the checks of the ways a
// run can end.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/launcher_fixture.h"
#include "tests/windows/wine_environment.h"

namespace e2e {

// Wine's event pump costs over ten microseconds a call: the Setup Wizard wait
// lasts a minute or more there. These only bound a hang.
inline constexpr Millis kWineExitDeadline{120000};
inline constexpr Millis kSetupWizardDeadline{900000};
inline constexpr Millis kProgramDeadline{30000};

class WineLauncher : public LauncherTest {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  // The test disc's programs are scripts; under Wine they are the recording program.
  void InstallPrograms();
  // A fresh disc for the next row of a table, with the recording programs.
  void FreshDisc(Spelling spelling = Spelling::AsLayout);

  // The recording program's lines for one of the disc's programs, however the disc spells it.
  std::vector<std::string> Runs(std::string_view program);
  bool WaitRuns(std::string_view program, std::size_t count, Millis deadline = kProgramDeadline);
  // The disc's root as a Windows program sees it: Wine's drive Z: is the file system's root.
  std::string WindowsDiscPath();

  // The run-time error message: the box titled "autorun", the same two lines
  // on standard error (Chinese, then `english`, which `english_prefix` begins),
  // and status 1 once Return has dismissed it.
  void ExpectErrorAndEnd(Launcher& launcher, std::string_view english_prefix);
  // The exact English line "Run-time error: <operation> "<literal>": <cause>";
  // an empty cause accepts any.
  void ExpectRuntimeError(Launcher& launcher, std::string_view operation, std::string_view literal,
                          std::string_view cause);
  // End: status 0, nothing on standard error, no window mapped after
  // `mapped_before`, the setup program not started.
  void ExpectQuietEnd(Launcher& launcher, std::size_t mapped_before);
};

// Prints a measured figure and records it in the test's XML output.
void ReportFigure(const std::string& name, double value, const char* unit);

}  // namespace e2e
