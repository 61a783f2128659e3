// The real launcher under a window manager (openbox): its window is framed and
// reparented, and must keep its client area, pictures, input and shutdown.
#include <X11/keysym.h>

#include <thread>

#include "tests/e2e/launcher_fixture.h"

namespace e2e {
namespace {

using UnderWindowManager = ManagedDisplayTest;

TEST_F(UnderWindowManager, FramedWindowKeepsItsClientAreaPicturesAndInput) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  EXPECT_NE(x().Parent(s->window), x().root()) << "the window manager did not frame the window";
  Size size = x().ClientSize(s->window);
  EXPECT_EQ(size.width, 641);
  EXPECT_EQ(size.height, 480);
  EXPECT_EQ(x().WmName(s->window), kCaption);
  MoveToCentre(*s, kSetupWizardButton);
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::SetupWizardHelp), "");
  CursorShot shot = WaitCursor([&](const CursorShot& c) { return IsHand(c); });
  EXPECT_TRUE(IsHand(shot)) << "pointer over Setup Wizard: " << Describe(shot);
  x().MoveTo(s->At(kClientArea, kOnBackground));
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::Help), "");
  Click(*s, kManualInstallationButton, {74, 11});
  EXPECT_TRUE(WaitLogLines(kManualLog, 1)) << "Manual Installation did not start its program";
}

TEST_F(UnderWindowManager, ClosingTheWindowEndsWithStatusZero) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  x().SendDeleteWindow(s->window);
  auto status = s->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_EQ(s->process->Stderr(), "");
}

TEST_F(UnderWindowManager, ExitButtonEndsWithStatusZero) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kExitButton, kExitButton.Centre());
  auto status = s->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
}

TEST_F(UnderWindowManager, ErrorDialogTakesTheKeyboard) {
  disc().Remove(TestDisc::LayoutName(DiscPicture::Help));
  Launcher& launcher = Spawn(disc().disc());
  auto dialog = WaitForDialog();
  ASSERT_TRUE(dialog.has_value()) << "no error dialog; the launcher is " << Describe(launcher.WaitExit(Millis(0)));
  for (int tries = 0; tries < 250 && x().FocusedWindow() != *dialog; ++tries)
    std::this_thread::sleep_for(Millis(20));
  EXPECT_EQ(x().FocusedWindow(), *dialog) << "the dialog never got the keyboard focus";
  x().Key(XK_Return);
  auto status = launcher.WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(1)) << Describe(status);
}

}  // namespace
}  // namespace e2e
