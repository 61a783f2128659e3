#include "tests/windows/wine_fixture.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <thread>

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

}  // namespace

void WineLauncher::SetUpTestSuite() {
  wine::StopServer();  // a desktop process left by an earlier program has no display, or another one
  StartDisplay(false);
}

void WineLauncher::TearDownTestSuite() {
  wine::StopServer();  // its desktop process belongs to this suite's X server
  StopDisplay();
}

void WineLauncher::SetUp() {
  const wine::Setup& wine = wine::Prepare();
  if (!wine.ready) GTEST_SKIP() << wine.why_not;
  LauncherTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  InstallPrograms();
}

void WineLauncher::InstallPrograms() {
  const fs::path recorder = wine::WindowsBuild() / "recording_program.exe";
  ASSERT_TRUE(fs::exists(recorder)) << recorder;
  for (std::string_view program : {kSetupProgramFile, kManualProgramFile})
    fs::copy_file(recorder, disc().disc() / disc().FileOf(program), fs::copy_options::overwrite_existing);
}

void WineLauncher::FreshDisc(Spelling spelling) {
  UseDisc(spelling);
  InstallPrograms();
  x().ReleaseHeldButtons();
  x().MoveTo({0, 0});  // off the next window, as at the start of every test
}

std::vector<std::string> WineLauncher::Runs(std::string_view program) {
  // The recording program names its log after itself as the launcher spelled it,
  // which may differ in letter case from the disc.
  const fs::path file = disc().disc() / disc().FileOf(program);
  const std::string wanted = Lower(file.filename().string() + ".log");
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(file.parent_path(), error))
    if (Lower(entry.path().filename().string()) == wanted) return ReadLines(entry.path());
  return {};
}

bool WineLauncher::WaitRuns(std::string_view program, std::size_t count, Millis deadline) {
  const auto end = Clock::now() + deadline;
  while (Runs(program).size() < count) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(Millis(50));
  }
  return true;
}

std::string WineLauncher::WindowsDiscPath() {
  std::string path = "Z:" + fs::canonical(disc().disc()).string();
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

void WineLauncher::ExpectErrorAndEnd(Launcher& launcher, std::string_view english_prefix) {
  auto dialog = WaitForDialog(kWindowDeadline);
  x().ReleaseHeldButtons();
  ASSERT_TRUE(dialog.has_value()) << "no message box; launcher " << Describe(launcher.WaitExit(Millis(0)))
                                  << ", stderr: " << launcher.Stderr();
  x().MoveTo(x().ClientOrigin(*dialog));  // the box has the focus; the pointer is out of the way
  std::vector<std::string> lines = launcher.StderrLines();
  for (int tries = 0; lines.size() < 2 && tries < 100; ++tries) {
    std::this_thread::sleep_for(Millis(50));
    lines = launcher.StderrLines();
  }
  EXPECT_TRUE(x().ViewableWindowsNamed(std::string(kCaption)).empty()) << "the window shows behind the message";
  ASSERT_EQ(lines.size(), 2u) << launcher.Stderr();
  EXPECT_TRUE(lines[0].starts_with("autorun: 執行階段錯誤：")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with(english_prefix)) << lines[1];
  x().Key(XK_Return);
  auto status = launcher.WaitExit(kWineExitDeadline);
  EXPECT_EQ(status, Exited(1)) << Describe(status);
  EXPECT_TRUE(x().WaitGone(*dialog, kShowDeadline));
}

void WineLauncher::ExpectRuntimeError(Launcher& launcher, std::string_view operation, std::string_view literal,
                                      std::string_view cause) {
  const std::string prefix =
      "autorun: Run-time error: " + std::string(operation) + " \"" + std::string(literal) + "\": ";
  ExpectErrorAndEnd(launcher, prefix + std::string(cause));
  const std::vector<std::string> lines = launcher.StderrLines();
  if (lines.size() != 2) return;  // already reported
  if (cause.empty()) {
    EXPECT_GT(lines[1].size(), prefix.size()) << "no cause: " << lines[1];
  } else {
    EXPECT_EQ(lines[1], prefix + std::string(cause));
  }
  EXPECT_NE(lines[0].find(std::string(operation) + "「" + std::string(literal) + "」"), std::string::npos) << lines[0];
  EXPECT_TRUE(Runs(kSetupProgramFile).empty()) << "the setup program was started";
  EXPECT_TRUE(Runs(kManualProgramFile).empty()) << "the manual installation was started";
}

void WineLauncher::ExpectQuietEnd(Launcher& launcher, std::size_t mapped_before) {
  auto status = launcher.WaitExit(kWineExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_EQ(launcher.Stderr(), "");
  const std::vector<Window> mapped = x().MappedSinceStart();
  for (std::size_t i = mapped_before; i < mapped.size(); ++i)
    EXPECT_NE(x().WmName(mapped[i]), std::optional<std::string>(std::string(kDialogTitle))) << "a message was shown";
  EXPECT_TRUE(Runs(kSetupProgramFile).empty()) << "the setup program was started";
}

void ReportFigure(const std::string& name, double value, const char* unit) {
  std::printf("[ figures  ] %s: %.2f %s\n", name.c_str(), value, unit);
  ::testing::Test::RecordProperty(name, std::to_string(value));
}

}  // namespace e2e
