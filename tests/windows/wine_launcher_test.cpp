// The Windows launcher (64-bit build) under Wine on a private Xvfb, driven
// like the Linux one: the window, its pictures, the help panel, the buttons,
// the programs they start, the busy pointer and the run-time error message.
// The disc's programs are a recording Windows program that logs each start.
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/e2e/disc_faults.h"
#include "tests/windows/wine_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kExitWaitCounts = 60000;
constexpr std::size_t kSetupWizardWaitCounts = 3400000;
constexpr int kTimedPumpCalls = 20000;

// Records how long the launcher took per event-pump call in a wait of `counts`.
void ReportPumpCost(const char* wait, std::size_t counts, Clock::duration elapsed) {
  const double seconds = std::chrono::duration<double>(elapsed).count();
  std::printf("[ figures  ] %s: %zu event-pump calls in %.1f s under Wine\n", wait, counts, seconds);
  ReportFigure(std::string(wait) + "_seconds", seconds, "s");
  ReportFigure(std::string(wait) + "_us_per_call", seconds * 1e6 / static_cast<double>(counts), "us");
}

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
  const pictures::Image client = Grab(*s, kClientArea);
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
    std::optional<pictures::Image> hand = BuildAsset("hand.cur");
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

// The window icon as the system hands it to the X server: the 32 by 32
// picture built into the program, fully opaque.
TEST_F(WineLauncher, WindowCarriesTheBuiltInIcon) {
  const std::optional<pictures::Image> icon = BuildAsset("autorun.ico");
  ASSERT_TRUE(icon.has_value());
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  const std::vector<unsigned long> property = x().CardinalProperty(s->window, "_NET_WM_ICON");
  // Width, height, then the pixels, for each size the window carries.
  std::vector<std::string> sizes;
  for (std::size_t at = 0; at + 2 <= property.size();) {
    const unsigned long width = property[at], height = property[at + 1];
    if (width == 0 || height == 0 || width * height > property.size() - at - 2) break;
    sizes.push_back(std::to_string(width) + "x" + std::to_string(height));
    if (width == 32 && height == 32) {
      pictures::Image shown{32, 32, {}};
      for (std::size_t i = 0; i < 32 * 32; ++i)
        shown.pixels.push_back(static_cast<std::uint32_t>(property[at + 2 + i]));
      EXPECT_EQ(Difference(shown, *icon), "");
      return;
    }
    at += 2 + width * height;
  }
  ADD_FAILURE() << "no 32x32 picture in _NET_WM_ICON; sizes found: " << ::testing::PrintToString(sizes);
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

// Coordinates reach the procedures relative to the control: a press on Manual
// Installation 146 pixels (2190 twips) from its left edge lies beyond the
// press rectangle's 2170 and shows no pressed picture; the release there fails
// the release test too.
TEST_F(WineLauncher, PressBeyondThePressRectangleShowsNoPressedPicture) {
  const std::optional<pictures::Image> built_in = BuildAsset("manualinstallation.gif");
  ASSERT_TRUE(built_in.has_value());
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  MoveTo(*s, kManualInstallationButton, {146, 11});
  x().Press(kLeft);
  ASSERT_TRUE(Settled(*s));
  EXPECT_EQ(WaitShows(*s, kManualInstallationButton, *built_in), "") << "the press changed the picture";
  x().Release(kLeft);
  EXPECT_EQ(WaitShows(*s, kManualInstallationButton, DiscPicture::ManualInstallation), "");
  ASSERT_TRUE(Settled(*s));
  EXPECT_TRUE(Runs(kManualProgramFile).empty()) << "a release beyond the release rectangle started the program";
}

// The button pressed keeps the mouse (SetCapture): moves and the release reach
// it wherever the pointer goes, with coordinates relative to it.
TEST_F(WineLauncher, ThePressedButtonKeepsTheMouseUntilTheRelease) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  const std::optional<pictures::Image> background = BuildAsset("background.bmp");
  ASSERT_TRUE(background.has_value());
  const pictures::Image empty_panel =
      Crop(*background, kHelpPanel.x, kHelpPanel.y, kHelpPanel.width, kHelpPanel.height);

  // Pressed, dragged right of the button onto the background but inside the
  // release rectangle (133 pixels: 1995 of its 2170 twips), released: the guide opens.
  MoveToCentre(*s, kDocumentationButton);
  ASSERT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::DocumentationHelp), "");
  x().Press(kLeft);
  ASSERT_EQ(WaitShows(*s, kDocumentationButton, DiscPicture::DocumentationDown), "");
  MoveTo(*s, kDocumentationButton, {133, 12});
  ASSERT_TRUE(Settled(*s));
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::DocumentationHelp), "")
      << "the move went to the background, not to the pressed button";
  x().Release(kLeft);
  EXPECT_TRUE(WaitLogLines(kOpenLog, 1, kWineExitDeadline)) << "the release did not reach the pressed button";
  EXPECT_EQ(WaitShows(*s, kDocumentationButton, DiscPicture::Documentation), "");
  ASSERT_TRUE(Settled(*s));

  // Pressed, dragged out of the window to its left: the moves arrive with
  // negative X, outside the hover rectangle, so the panel empties; the
  // release there fails the release test.
  MoveToCentre(*s, kDocumentationButton);
  x().Press(kLeft);
  ASSERT_EQ(WaitShows(*s, kDocumentationButton, DiscPicture::DocumentationDown), "");
  x().MoveTo({s->origin.x - 20, s->origin.y + kDocumentationButton.y + 5});
  EXPECT_EQ(WaitShows(*s, kHelpPanel, empty_panel), "") << "the moves outside the window did not reach the button";
  x().Release(kLeft);
  EXPECT_EQ(WaitShows(*s, kDocumentationButton, DiscPicture::Documentation), "");
  ASSERT_TRUE(Settled(*s));
  EXPECT_EQ(disc().Log(kOpenLog).size(), 1u) << "the release outside opened the guide";
  EXPECT_TRUE(x().Viewable(s->window));
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

// A disc whose every folder and file name is in capitals, as a plain ISO 9660
// disc shows them: the lookups ignore letter case.
TEST_F(WineLauncher, ADiscSpelledInCapitalsWorks) {
  FreshDisc(Spelling::UpperCase);
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  MoveToCentre(*s, kSetupWizardButton);
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::SetupWizardHelp), "");
  Click(*s, kManualInstallationButton, kManualInstallationButton.Centre());
  EXPECT_EQ(WaitShows(*s, kManualInstallationButton, DiscPicture::ManualInstallation), "");
  EXPECT_TRUE(WaitRuns(kManualProgramFile, 1)) << "MANUALINSTALLATION\\SETUP.EXE did not start";
}

// The Windows sample disc the build lays out: its stand-in programs are
// Windows programs that say what they stand for, and the launcher, which does
// not wait for them, stays live while their message shows.
TEST_F(WineLauncher, SampleDiscStartsItsStandInPrograms) {
  const fs::path sample = wine::WindowsBuild() / "disc";
  ASSERT_TRUE(fs::exists(sample / "autorun.exe")) << sample;
  auto pressed = pictures::DecodePicture(ReadBytes(sample / "Setup" / "images" / "documentationdown.gif"));
  ASSERT_TRUE(std::holds_alternative<pictures::Image>(pressed));
  Launcher& launcher = Spawn(sample);
  auto window = x().WaitForWindowOfPid(launcher.pid(), kWindowDeadline);
  ASSERT_TRUE(window.has_value()) << "no window; launcher " << Describe(launcher.WaitExit(Millis(0)));
  const Session view{nullptr, *window, x().ClientOrigin(*window)};
  struct StandIn {
    const char* title;
    const ControlRect& button;
  };
  const StandIn kStandIns[] = {
      {"Manual Installation (stand-in)", kManualInstallationButton},
      {"Setup Wizard (stand-in)", kSetupWizardButton},  // the launcher then waits; the test ends it
  };
  for (const StandIn& p : kStandIns) {
    SCOPED_TRACE(p.title);
    Click(view, p.button, p.button.Centre());
    auto box = x().WaitForWindowNamed(p.title, kWindowDeadline);
    ASSERT_TRUE(box.has_value()) << "the stand-in did not show its message; launcher "
                                 << Describe(launcher.WaitExit(Millis(0))) << ", stderr: " << launcher.Stderr();
    // A right press on Documentation (no action on release) shows at once.
    MoveToCentre(view, kDocumentationButton);
    x().Press(kRight);
    EXPECT_EQ(WaitShows(view, kDocumentationButton, std::get<pictures::Image>(pressed)), "")
        << "the launcher did not handle a press while the program ran";
    x().Release(kRight);
    // A click on the box's own surface gives it the keyboard, as the user
    // would; the program takes the click in its own time, so the user tries again.
    const Point corner = x().ClientOrigin(*box);
    bool closed = false;
    for (int tries = 0; tries < 5 && !closed; ++tries) {
      x().MoveTo({corner.x + 4, corner.y + 4});
      x().Press(kLeft);
      x().Release(kLeft);
      x().Key(XK_Return);
      closed = x().WaitGone(*box, Millis(2000));
    }
    EXPECT_TRUE(closed) << "the message did not close on Return";
  }
}

// One count of a pumping wait: DoEvents timed call by call inside a procedure,
// with the launcher's window shown and nothing pending (pump_timing.exe).
TEST_F(WineLauncher, FiguresOneEventPumpCall) {
  const fs::path timer = wine::WindowsBuild() / "pump_timing.exe";
  ASSERT_TRUE(fs::exists(timer)) << timer;
  SpawnRequest run;
  run.argv = {"wine", timer.string(), std::to_string(kTimedPumpCalls)};
  run.cwd = disc().disc();
  run.env = EnvironmentWith({"DISPLAY=" + display()});
  run.stdout_file = disc().root() / "pump_timing.out";
  run.stderr_file = disc().root() / "pump_timing.err";
  ChildProcess process(run);
  auto status = process.WaitExit(kWineExitDeadline);
  ASSERT_EQ(status, Exited(0)) << Describe(status) << ": " << ReadFile(run.stderr_file);
  int calls = 0;
  double median = 0, least = 0, p90 = 0;
  const std::string line = ReadFile(run.stdout_file);
  ASSERT_EQ(std::sscanf(line.c_str(), "calls %d median_us %lf min_us %lf p90_us %lf", &calls, &median, &least, &p90),
            4)
      << line;
  EXPECT_EQ(calls, kTimedPumpCalls);
  EXPECT_LE(least, median);
  EXPECT_LE(median, p90);
  ReportFigure("do_events_median_us", median, "us");
  ReportFigure("do_events_min_us", least, "us");
  ReportFigure("do_events_p90_us", p90, "us");
}

}  // namespace
}  // namespace e2e
