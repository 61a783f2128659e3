// The Windows launcher (64-bit build) under Wine on a private Xvfb, driven
// like the Linux one: the window, its pictures, the help panel, the buttons,
// the programs they start, the busy pointer and the run-time error message.
// The disc's programs are a recording Windows program that logs each start.
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/e2e/launcher_fixture.h"
#include "tests/windows/wine_environment.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kExitWaitCounts = 60000;
constexpr std::size_t kSetupWizardWaitCounts = 3400000;
// Wine's event pump costs tens of microseconds a call: the Setup Wizard wait
// lasts minutes there. These only bound a hang.
constexpr Millis kWineExitDeadline{120000};
constexpr Millis kSetupWizardDeadline{900000};
constexpr Millis kProgramDeadline{30000};

constexpr std::string_view kHelpMissing =
    R"(autorun: Run-time error: LoadPicture "setup\images\help.gif": file not found)";

class WineLauncher : public LauncherTest {
 protected:
  static void SetUpTestSuite() {
    wine::StopServer();  // a desktop process left by an earlier program has no display, or another one
    StartDisplay(false);
  }
  static void TearDownTestSuite() {
    wine::StopServer();  // its desktop process belongs to this suite's X server
    StopDisplay();
  }

  void SetUp() override {
    const wine::Setup& wine = wine::Prepare();
    if (!wine.ready) GTEST_SKIP() << wine.why_not;
    LauncherTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    InstallPrograms();
  }

  // The test disc's programs are scripts; under Wine they are the recording program.
  void InstallPrograms() {
    const fs::path recorder = wine::WindowsBuild() / "recording_program.exe";
    ASSERT_TRUE(fs::exists(recorder)) << recorder;
    for (std::string_view program : {kSetupProgramFile, kManualProgramFile})
      fs::copy_file(recorder, disc().disc() / disc().FileOf(program), fs::copy_options::overwrite_existing);
  }

  std::vector<std::string> Runs(std::string_view program) {
    return ReadLines(disc().disc() / (disc().FileOf(program) + ".log"));
  }

  bool WaitRuns(std::string_view program, std::size_t count, Millis deadline = kProgramDeadline) {
    const auto end = Clock::now() + deadline;
    while (Runs(program).size() < count) {
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(Millis(50));
    }
    return true;
  }

  // The disc's root as the recording program sees it: Wine's drive Z: is the file system's root.
  std::string WindowsDiscPath() {
    std::string path = "Z:" + fs::canonical(disc().disc()).string();
    for (char& c : path)
      if (c == '/') c = '\\';
    return path;
  }

  bool OverAnyButtonIsHand(const Session& s) {
    MoveToCentre(s, kExitButton);
    return IsHand(WaitCursor([&](const CursorShot& c) { return IsHand(c); }));
  }

  // Records how long the launcher took per event-pump call in a wait of `counts`.
  static void ReportPumpCost(const char* wait, std::size_t counts, Clock::duration elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    const double per_call_us = seconds * 1e6 / static_cast<double>(counts);
    std::printf("[ figures  ] %s: %zu event-pump calls in %.1f s under Wine: %.1f us per call\n", wait, counts,
                seconds, per_call_us);
    ::testing::Test::RecordProperty(std::string(wait) + "_us_per_call", std::to_string(per_call_us));
  }
};

TEST_F(WineLauncher, OpensWithCaptionFixedClientSizeAndTheBuiltInPictures) {
  auto background = BuildAsset("background.bmp");
  ASSERT_TRUE(background.has_value()) << "no background.bmp in the host build's assets";
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(x().WmName(s->window), kCaption);
  EXPECT_EQ(x().NetWmName(s->window), kCaption);
  const Size size = x().ClientSize(s->window);
  EXPECT_EQ(size.width, 641);
  EXPECT_EQ(size.height, 480);
  auto hints = x().NormalHints(s->window);
  ASSERT_TRUE(hints.has_value()) << "no WM_NORMAL_HINTS: the frame is not fixed";
  EXPECT_TRUE(hints->has_min && hints->has_max);
  EXPECT_EQ(hints->min_width, 641);
  EXPECT_EQ(hints->max_width, 641);
  EXPECT_EQ(hints->min_height, 480);
  EXPECT_EQ(hints->max_height, 480);

  struct Embedded {
    const ControlRect& control;
    std::string_view file;
  };
  const Embedded kButtons[] = {{kSetupWizardButton, "setupwizard.gif"},
                               {kManualInstallationButton, "manualinstallation.gif"},
                               {kDocumentationButton, "documentation.gif"},
                               {kExitButton, "exit.gif"}};
  for (const Embedded& b : kButtons) {
    SCOPED_TRACE(b.control.name);
    auto picture = BuildAsset(b.file);
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(WaitShows(*s, b.control, *picture), "");
  }
  // Outside the five image controls the background shows, pixel for pixel.
  const platform::Image client = Grab(*s, kClientArea);
  ASSERT_EQ(client.pixels.size(), background->pixels.size()) << "the client area could not be read";
  std::size_t differing = 0;
  for (int row = 0; row < 480; ++row)
    for (int col = 0; col < 641; ++col) {
      bool covered = false;
      for (const ControlRect* r : {&kHelpPanel, &kSetupWizardButton, &kManualInstallationButton,
                                   &kDocumentationButton, &kExitButton})
        covered |= col >= r->x && col < r->x + r->width && row >= r->y && row < r->y + r->height;
      differing += !covered && client.At(col, row) != background->At(col, row);
    }
  EXPECT_EQ(differing, 0u) << "background pixels differ from background.bmp";
}

TEST_F(WineLauncher, HelpPanelFollowsThePointer) {
  struct Hover {
    const char* name;
    const ControlRect& over;
    Point at;
    DiscPicture shown;
  };
  const Hover kHovers[] = {
      {"Setup Wizard", kSetupWizardButton, kSetupWizardButton.Centre(), DiscPicture::SetupWizardHelp},
      {"the background", kClientArea, kOnBackground, DiscPicture::Help},
      {"Manual Installation", kManualInstallationButton, kManualInstallationButton.Centre(),
       DiscPicture::ManualInstallationHelp},
      {"Exit leaves the panel as it is", kExitButton, kExitButton.Centre(), DiscPicture::ManualInstallationHelp},
      {"Documentation", kDocumentationButton, kDocumentationButton.Centre(), DiscPicture::DocumentationHelp},
      {"the help panel leaves it as it is", kHelpPanel, kHelpPanel.Centre(), DiscPicture::DocumentationHelp},
      {"back to the background", kClientArea, kOnBackground, DiscPicture::Help},
  };
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  for (const Hover& h : kHovers) {
    SCOPED_TRACE(h.name);
    MoveTo(*s, h.over, h.at);
    ASSERT_TRUE(Settled(*s));
    EXPECT_EQ(WaitShows(*s, kHelpPanel, h.shown), "");
  }
}

TEST_F(WineLauncher, HandOverTheButtonsOnly) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  for (const ControlRect* button :
       {&kSetupWizardButton, &kManualInstallationButton, &kDocumentationButton, &kExitButton}) {
    SCOPED_TRACE(button->name);
    MoveToCentre(*s, *button);
    const CursorShot over = WaitCursor([&](const CursorShot& c) { return IsHand(c); });
    EXPECT_TRUE(IsHand(over)) << Describe(over);
    std::optional<platform::Image> hand = BuildAsset("hand.cur");
    ASSERT_TRUE(hand.has_value());
    EXPECT_TRUE(SameShape(over, *hand, kHandHotX, kHandHotY)) << "not the built-in hand's pixels";
  }
  for (const ControlRect* plain : {&kHelpPanel, &kClientArea}) {
    SCOPED_TRACE(plain->name);
    MoveTo(*s, *plain, plain == &kClientArea ? kOnBackground : plain->Centre());
    const CursorShot shot = WaitCursor([&](const CursorShot& c) { return !IsHand(c); });
    EXPECT_FALSE(IsHand(shot)) << Describe(shot);
  }
}

TEST_F(WineLauncher, PressShowsThePressedPictureAndReleaseTheNormalOne) {
  struct PressRelease {
    const char* name;
    const ControlRect& button;
    unsigned mouse_button;
    DiscPicture pressed, normal;
  };
  // Right-button releases fail every release test: nothing starts, nothing closes.
  const PressRelease kRows[] = {
      {"Exit", kExitButton, kRight, DiscPicture::ExitDown, DiscPicture::Exit},
      {"Documentation", kDocumentationButton, kRight, DiscPicture::DocumentationDown, DiscPicture::Documentation},
      {"Manual Installation", kManualInstallationButton, kRight, DiscPicture::ManualInstallationDown,
       DiscPicture::ManualInstallation},
  };
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  for (const PressRelease& r : kRows) {
    SCOPED_TRACE(r.name);
    MoveToCentre(*s, r.button);
    x().Press(r.mouse_button);
    EXPECT_EQ(WaitShows(*s, r.button, r.pressed), "") << "after the press";
    x().Release(r.mouse_button);
    EXPECT_EQ(WaitShows(*s, r.button, r.normal, kWineExitDeadline), "") << "after the release";
  }
  ASSERT_TRUE(Settled(*s));
  EXPECT_TRUE(x().Viewable(s->window)) << "a right-button release closed the window";
  EXPECT_TRUE(Runs(kManualProgramFile).empty()) << "a right-button release started the program";
}

TEST_F(WineLauncher, ManualInstallationStartsItsProgramOnEveryClickInANormalWindow) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kManualInstallationButton, {74, 11});
  ASSERT_TRUE(WaitRuns(kManualProgramFile, 1));
  Click(*s, kManualInstallationButton, {74, 11});
  ASSERT_TRUE(WaitRuns(kManualProgramFile, 2)) << "runs seen: " << Runs(kManualProgramFile).size();
  for (const std::string& run : Runs(kManualProgramFile)) {
    SCOPED_TRACE(run);
    EXPECT_TRUE(run.starts_with("started show=1 ")) << "not started in a normal window with the focus";
    EXPECT_NE(run.find(" cwd=" + WindowsDiscPath() + " "), std::string::npos) << "not started from the disc's root";
  }
  EXPECT_TRUE(x().Viewable(s->window));
  EXPECT_EQ(WaitShows(*s, kManualInstallationButton, DiscPicture::ManualInstallation), "");
}

TEST_F(WineLauncher, ExitClosesTheWindowAfterItsWait) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  MoveToCentre(*s, kExitButton);
  x().Press(kLeft);
  EXPECT_EQ(WaitShows(*s, kExitButton, DiscPicture::ExitDown), "");
  const auto released = Clock::now();
  x().Release(kLeft);
  auto status = s->process->WaitExit(kWineExitDeadline);
  const auto elapsed = Clock::now() - released;
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_FALSE(x().Viewable(s->window));
  if (status == Exited(0)) ReportPumpCost("exit_wait", kExitWaitCounts, elapsed);
}

// A second Exit released inside the first one's wait: the window closes at the
// end of the inner wait, the process only once the outer procedure has returned.
TEST_F(WineLauncher, ExitInsideExitsWaitClosesTheWindowThenEndsAfterTheOuterWait) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kExitButton, kExitButton.Centre(), kRight);  // fails its test, but waits
  Click(*s, kExitButton, kExitButton.Centre(), kLeft);
  ASSERT_TRUE(x().WaitGone(s->window, kWineExitDeadline)) << "the inner Exit did not close the window";
  EXPECT_TRUE(s->process->Running()) << "the process ended before the outer wait had run out";
  auto status = s->process->WaitExit(kWineExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_TRUE(x().ViewableWindowsNamed(std::string(kCaption)).empty()) << "the window came back";
}

TEST_F(WineLauncher, DocumentationOpensTheGuideForALeftReleaseAndStaysOpen) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kDocumentationButton, kDocumentationButton.Centre(), kRight);
  Click(*s, kDocumentationButton, kDocumentationButton.Centre(), kLeft);
  ASSERT_TRUE(WaitLogLines(kOpenLog, 1, kWineExitDeadline)) << "the guide was not opened";
  ASSERT_TRUE(Settled(*s));
  const std::vector<std::string> opened = disc().Log(kOpenLog);
  ASSERT_EQ(opened.size(), 1u) << "the right-button release opened the guide too";
  EXPECT_EQ(opened.front(), "1 file://" + disc().GuideAbsolutePath().string());
  EXPECT_TRUE(x().Viewable(s->window));
  EXPECT_EQ(WaitShows(*s, kDocumentationButton, DiscPicture::Documentation), "");
}

TEST_F(WineLauncher, DocumentationWithoutTheGuideSaysNothingAndStaysOpen) {
  disc().Remove(kGuideFile);
  const std::size_t mapped_before = x().MappedSinceStart().size();
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kDocumentationButton, kDocumentationButton.Centre());
  EXPECT_EQ(WaitShows(*s, kDocumentationButton, DiscPicture::Documentation), "");
  ASSERT_TRUE(Settled(*s));  // the wait has run out and the procedure has returned
  EXPECT_TRUE(x().Viewable(s->window));
  EXPECT_TRUE(disc().Log(kOpenLog).empty());
  EXPECT_EQ(s->process->Stderr(), "");
  const std::vector<Window> mapped = x().MappedSinceStart();
  for (std::size_t i = mapped_before; i < mapped.size(); ++i)
    EXPECT_NE(x().WmName(mapped[i]), std::optional<std::string>(std::string(kDialogTitle))) << "a message was shown";
}

TEST_F(WineLauncher, ClosingTheWindowEndsWithStatusZero) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  x().SendDeleteWindow(s->window);
  auto status = s->process->WaitExit(kWineExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_TRUE(x().WaitGone(s->window, kShowDeadline));
}

TEST_F(WineLauncher, SetupWizardShowsTheBusyPointerStartsSetupAndCloses) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  MoveToCentre(*s, kSetupWizardButton);
  ASSERT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::SetupWizardHelp), "");
  x().Press(kLeft);
  EXPECT_EQ(WaitShows(*s, kSetupWizardButton, DiscPicture::SetupWizardDown), "") << "after the press";
  const auto released = Clock::now();
  x().Release(kLeft);
  EXPECT_EQ(WaitShows(*s, kSetupWizardButton, DiscPicture::SetupWizard), "") << "after the release";
  CursorShot busy = WaitCursor([&](const CursorShot& c) { return IsBusy(c); });
  EXPECT_TRUE(IsBusy(busy)) << "pointer " << Describe(busy) << ", expected a frame of the disc's hourglas.ani";
  ASSERT_TRUE(WaitRuns(kSetupProgramFile, 1)) << "the setup program did not start";
  EXPECT_TRUE(Runs(kSetupProgramFile).front().starts_with("started show=1 "));

  // The busy pointer stays while the pointer moves; the disabled Manual
  // Installation lets movement through to the background and ignores presses.
  x().MoveTo(s->At(kClientArea, kOnBackground));
  busy = WaitCursor([&](const CursorShot& c) { return IsBusy(c); });
  EXPECT_TRUE(IsBusy(busy)) << "over the background: " << Describe(busy);
  MoveToCentre(*s, kDocumentationButton);
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::DocumentationHelp), "");
  MoveToCentre(*s, kManualInstallationButton);
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::Help), "") << "movement reached the disabled button";
  x().Press(kLeft);
  x().Release(kLeft);
  MoveToCentre(*s, kDocumentationButton);  // handled after the press: a barrier
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::DocumentationHelp), "");
  EXPECT_NE(Difference(Grab(*s, kManualInstallationButton), disc().Expected(DiscPicture::ManualInstallationDown)), "")
      << "the disabled button showed its pressed picture";
  ASSERT_TRUE(s->process->Running()) << "the wait ended before the checks ran, so they prove nothing";

  x().MoveTo(s->At(kClientArea, kOnBackground));
  auto status = s->process->WaitExit(kSetupWizardDeadline);
  const auto elapsed = Clock::now() - released;
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_FALSE(x().Viewable(s->window));
  EXPECT_TRUE(Runs(kManualProgramFile).empty()) << "Manual Installation started while disabled";
  EXPECT_EQ(Runs(kSetupProgramFile).size(), 1u);
  if (status == Exited(0)) ReportPumpCost("setup_wizard_wait", kSetupWizardWaitCounts, elapsed);
}

TEST_F(WineLauncher, UnusableBusyPointerEndsTheProgramAtTheReleaseSilently) {
  struct Row {
    const char* name;
    bool corrupt;  // else missing
  };
  for (const Row& r : {Row{"hourglas.ani missing", false}, Row{"hourglas.ani not a pointer file", true}}) {
    SCOPED_TRACE(r.name);
    UseDisc(Spelling::AsLayout);
    InstallPrograms();
    r.corrupt ? disc().Corrupt(kBusyPointerFile) : disc().Remove(kBusyPointerFile);
    x().MoveTo({0, 0});  // off the next window, as at the start of every test
    const std::size_t mapped_before = x().MappedSinceStart().size();
    Session* s = Start();
    ASSERT_NE(s, nullptr);
    Click(*s, kSetupWizardButton, kSetupWizardButton.Centre());
    auto status = s->process->WaitExit(kWineExitDeadline);
    EXPECT_EQ(status, Exited(0)) << Describe(status);
    EXPECT_EQ(s->process->Stderr(), "");
    const std::vector<Window> mapped = x().MappedSinceStart();
    for (std::size_t i = mapped_before; i < mapped.size(); ++i)
      EXPECT_NE(x().WmName(mapped[i]), std::optional<std::string>(std::string(kDialogTitle))) << "a message was shown";
    EXPECT_TRUE(Runs(kSetupProgramFile).empty()) << "the setup program was started";
  }
}

// End issued by a procedure that runs inside another one's wait unwinds both:
// the program ends at once, quietly, without finishing the outer wait.
TEST_F(WineLauncher, EndInsideAnotherProceduresWaitEndsTheProgramQuietly) {
  disc().Remove(kBusyPointerFile);
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kExitButton, kExitButton.Centre(), kRight);  // fails its test, but waits
  Click(*s, kSetupWizardButton, kSetupWizardButton.Centre());
  auto status = s->process->WaitExit(kWineExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_EQ(s->process->Stderr(), "");
  EXPECT_TRUE(Runs(kSetupProgramFile).empty()) << "the setup program was started";
  EXPECT_FALSE(WaitForDialog(Millis(500)).has_value()) << "a message was shown";
}

// A run-time error: the message box titled "autorun" and, where there is a
// standard error, the same text there; Return dismisses it and the program ends with 1.
class WineErrors : public WineLauncher {
 protected:
  void ExpectErrorAndEnd(Launcher& launcher, std::string_view english_prefix) {
    auto dialog = WaitForDialog(kWindowDeadline);
    ASSERT_TRUE(dialog.has_value()) << "no message box; launcher " << Describe(launcher.WaitExit(Millis(0)));
    x().MoveTo(x().ClientOrigin(*dialog));  // the box has the focus; the pointer is out of the way
    std::vector<std::string> lines = launcher.StderrLines();
    for (int tries = 0; lines.size() < 2 && tries < 100; ++tries) {
      std::this_thread::sleep_for(Millis(50));
      lines = launcher.StderrLines();
    }
    ASSERT_EQ(lines.size(), 2u) << launcher.Stderr();
    EXPECT_TRUE(lines[0].starts_with("autorun: 執行階段錯誤：")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with(english_prefix)) << lines[1];
    x().Key(XK_Return);
    auto status = launcher.WaitExit(kWineExitDeadline);
    EXPECT_EQ(status, Exited(1)) << Describe(status);
    EXPECT_TRUE(x().WaitGone(*dialog, kShowDeadline));
  }
};

TEST_F(WineErrors, MissingHelpPictureReportsTheErrorAndNeverShowsTheWindow) {
  disc().Remove(TestDisc::LayoutName(DiscPicture::Help));
  Launcher& launcher = Spawn(disc().disc());
  ExpectErrorAndEnd(launcher, kHelpMissing);
  EXPECT_TRUE(x().ViewableWindowsNamed(std::string(kCaption)).empty()) << "the window was shown";
}

TEST_F(WineErrors, BrokenPictureAtItsFirstUseReportsTheError) {
  disc().Corrupt(TestDisc::LayoutName(DiscPicture::ExitDown));
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  MoveToCentre(*s, kExitButton);
  x().Press(kLeft);
  ExpectErrorAndEnd(*s->process, R"(autorun: Run-time error: LoadPicture "setup\images\exitdown.gif": )");
}

TEST_F(WineErrors, SetupProgramThatCannotStartReportsTheError) {
  struct Row {
    const char* name;
    bool corrupt;  // else missing
    std::string_view message;  // the English line's beginning
  };
  const Row kRows[] = {
      {"Setup.exe missing", false, R"(autorun: Run-time error: Shell "Setup\Setup.exe": file not found)"},
      {"Setup.exe not a program", true, R"(autorun: Run-time error: Shell "Setup\Setup.exe": )"},
  };
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    UseDisc(Spelling::AsLayout);
    InstallPrograms();
    r.corrupt ? disc().Corrupt(kSetupProgramFile) : disc().Remove(kSetupProgramFile);
    x().MoveTo({0, 0});
    Session* s = Start();
    ASSERT_NE(s, nullptr);
    Click(*s, kSetupWizardButton, kSetupWizardButton.Centre());
    ExpectErrorAndEnd(*s->process, r.message);
  }
}

}  // namespace
}  // namespace e2e
