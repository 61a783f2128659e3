// The Setup Wizard sequence of the real launcher: busy pointer, the setup
// program in its own session, disabled installation buttons, the long wait and
// the close; and the quiet end when the busy pointer cannot be loaded.
#include <cstdio>

#include "tests/e2e/launcher_fixture.h"

namespace e2e {
namespace {

// The 3,400,000-count wait takes seconds to tens of seconds; this only bounds a hang.
constexpr Millis kSetupWizardDeadline{180000};

using SetupWizard = BareDisplayTest;

TEST_F(SetupWizard, BusyPointerSetupProgramDisabledButtonsThenTheWindowCloses) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  MoveToCentre(*s, kSetupWizardButton);
  ASSERT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::SetupWizardHelp), "");
  x().Press(kLeft);
  EXPECT_EQ(WaitShows(*s, kSetupWizardButton, DiscPicture::SetupWizardDown), "") << "after the press";
  x().Release(kLeft);
  EXPECT_EQ(WaitShows(*s, kSetupWizardButton, DiscPicture::SetupWizard), "") << "after the release";

  CursorShot busy = WaitCursor([&](const CursorShot& c) { return IsBusy(c); });
  EXPECT_TRUE(IsBusy(busy)) << "pointer " << Describe(busy) << ", expected a frame of the disc's hourglas.ani (32x32, hot spot ("
                            << kBusyHotX << ", " << kBusyHotY << "))";

  ASSERT_TRUE(WaitLogLines(kSetupLog, 1)) << "the setup program did not start";
  int pid = 0, sid = 0;
  ASSERT_EQ(std::sscanf(disc().Log(kSetupLog).front().c_str(), "started pid=%d sid=%d", &pid, &sid), 2)
      << disc().Log(kSetupLog).front();
  EXPECT_EQ(pid, sid) << "the setup program does not lead a session of its own";

  // The busy pointer covers the whole window; Documentation stays enabled and
  // the panel keeps following the pointer.
  x().MoveTo(s->At(kClientArea, kOnBackground));
  busy = WaitCursor([&](const CursorShot& c) { return IsBusy(c); });
  EXPECT_TRUE(IsBusy(busy)) << "over the background: " << Describe(busy);
  MoveToCentre(*s, kDocumentationButton);
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::DocumentationHelp), "");
  busy = WaitCursor([&](const CursorShot& c) { return IsBusy(c); });
  EXPECT_TRUE(IsBusy(busy)) << "over Documentation: " << Describe(busy);

  // Disabled, Manual Installation lets the pointer through to the background,
  // whose movement brings back the general help; its presses do nothing, and
  // neither do those on the disabled Setup Wizard.
  MoveToCentre(*s, kManualInstallationButton);
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::Help), "") << "movement reached the disabled button";
  for (int i = 0; i < 2; ++i) {
    x().Press(kLeft);
    x().Release(kLeft);
  }
  Click(*s, kSetupWizardButton, kSetupWizardButton.Centre());
  MoveToCentre(*s, kDocumentationButton);  // handled after the presses: a barrier
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::DocumentationHelp), "");
  EXPECT_NE(Difference(Grab(*s, kManualInstallationButton), disc().Expected(DiscPicture::ManualInstallationDown)), "")
      << "the disabled button showed its pressed picture";
  EXPECT_EQ(WaitShows(*s, kSetupWizardButton, DiscPicture::SetupWizard, Millis(0)), "")
      << "the disabled Setup Wizard button changed its picture";
  // Documentation still works inside the wait.
  Click(*s, kDocumentationButton, kDocumentationButton.Centre());
  EXPECT_TRUE(WaitLogLines(kOpenLog, 1)) << "Documentation did not open the guide during the wait";
  ASSERT_TRUE(s->process->Running()) << "the wait ended before the checks ran, so they prove nothing";
  EXPECT_EQ(disc().Log(kSetupLog).size(), 1u);

  x().MoveTo(s->At(kClientArea, kOnBackground));
  auto status = s->process->WaitExit(kSetupWizardDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_FALSE(x().Viewable(s->window));
  EXPECT_EQ(s->process->Stderr(), "");
  EXPECT_TRUE(disc().Log(kManualLog).empty()) << "Manual Installation started while disabled";
  // The setup program goes on after the launcher has gone.
  EXPECT_TRUE(WaitLogLines(kSetupLog, 2)) << "the setup program did not outlive the launcher";
  auto setup = disc().Log(kSetupLog);
  ASSERT_EQ(setup.size(), 2u);
  EXPECT_EQ(setup[1], "outlived launcher");
}

// No release test: a right-button release far off the button runs the whole
// sequence; Exit inside the wait closes the window at once, but the process
// lasts until the wait has run out.
TEST_F(SetupWizard, AnyReleaseRunsTheSequenceAndExitInsideTheWaitClosesTheWindowFirst) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  MoveToCentre(*s, kSetupWizardButton);
  x().Press(kRight);
  EXPECT_EQ(WaitShows(*s, kSetupWizardButton, DiscPicture::SetupWizardDown), "") << "after the press";
  x().MoveTo(s->At(kClientArea, {600, 20}));
  x().Release(kRight);
  ASSERT_TRUE(WaitLogLines(kSetupLog, 1)) << "the setup program did not start";
  CursorShot busy = WaitCursor([&](const CursorShot& c) { return IsBusy(c); });
  EXPECT_TRUE(IsBusy(busy)) << "pointer " << Describe(busy);

  Click(*s, kExitButton, kExitButton.Centre());
  EXPECT_TRUE(x().WaitGone(s->window, kExitDeadline)) << "Exit did not close the window during the wait";
  EXPECT_TRUE(s->process->Running()) << "the process ended with Exit, before the Setup Wizard wait ran out";
  auto status = s->process->WaitExit(kSetupWizardDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_TRUE(x().ViewableWindowsOfPid(s->process->pid()).empty()) << "the window came back";
  EXPECT_EQ(s->process->Stderr(), "");
}

struct UnusableBusyPointer {
  const char* name;
  bool corrupt;  // else missing
};

const UnusableBusyPointer kUnusableBusyPointers[] = {
    {"hourglas.ani missing", false},
    {"hourglas.ani not a pointer file", true},
};

TEST_F(SetupWizard, UnusableBusyPointerEndsTheProgramAtTheReleaseSilently) {
  for (const UnusableBusyPointer& c : kUnusableBusyPointers) {
    SCOPED_TRACE(c.name);
    UseDisc(Spelling::AsLayout);
    if (c.corrupt)
      disc().Corrupt(kBusyPointerFile);
    else
      disc().Remove(kBusyPointerFile);
    std::size_t mapped_before = x().MappedSinceStart().size();
    Session* s = Start();
    ASSERT_NE(s, nullptr);
    Click(*s, kSetupWizardButton, kSetupWizardButton.Centre());
    auto status = s->process->WaitExit(kExitDeadline);
    EXPECT_EQ(status, Exited(0)) << Describe(status);
    EXPECT_EQ(s->process->Stderr(), "");
    std::vector<Window> mapped = x().MappedSinceStart();
    for (std::size_t i = mapped_before; i < mapped.size(); ++i)
      EXPECT_EQ(mapped[i], s->window) << "another window (a message?) was shown";
    EXPECT_TRUE(disc().Log(kSetupLog).empty()) << "the setup program was started";
  }
}

}  // namespace
}  // namespace e2e
