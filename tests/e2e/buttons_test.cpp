// The picture buttons of the real launcher: pressed and normal pictures, the
// release tests, the actions behind Exit, Documentation and Manual
// Installation, the pointer shapes, and run-time errors at a picture's first use.
#include <X11/keysym.h>

#include <thread>

#include "tests/e2e/launcher_fixture.h"

namespace e2e {
namespace {

using Buttons = BareDisplayTest;

struct PressRelease {
  const char* name;
  const ControlRect& button;
  Point at;
  unsigned mouse_button;
  DiscPicture pressed, normal;
};

// Right-button releases and Exit's top-left corner fail every release test.
const PressRelease kPressReleases[] = {
    {"Exit, left button at its top-left pixel", kExitButton, {0, 0}, kLeft, DiscPicture::ExitDown, DiscPicture::Exit},
    {"Exit, right button", kExitButton, {22, 12}, kRight, DiscPicture::ExitDown, DiscPicture::Exit},
    {"Documentation, right button", kDocumentationButton, {59, 12}, kRight, DiscPicture::DocumentationDown,
     DiscPicture::Documentation},
    {"Manual Installation, right button", kManualInstallationButton, {74, 11}, kRight,
     DiscPicture::ManualInstallationDown, DiscPicture::ManualInstallation},
};

TEST_F(Buttons, PressShowsThePressedPictureAndReleaseTheNormalOneWithoutAction) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  for (const PressRelease& c : kPressReleases) {
    SCOPED_TRACE(c.name);
    MoveTo(*s, c.button, c.at);
    x().Press(c.mouse_button);
    EXPECT_EQ(WaitShows(*s, c.button, c.pressed), "") << "after the press";
    x().Release(c.mouse_button);
    EXPECT_EQ(WaitShows(*s, c.button, c.normal), "") << "after the release";
  }
  ASSERT_TRUE(Settled(*s));
  EXPECT_TRUE(x().Viewable(s->window)) << "a release that fails its test closed the window";
  EXPECT_TRUE(disc().Log(kManualLog).empty()) << "a right-button release started the manual installation";
  EXPECT_TRUE(disc().Log(kOpenLog).empty()) << "a right-button release opened the guide";
  // The same button with the left one does start the program: once, for this click only.
  Click(*s, kManualInstallationButton, {74, 11});
  ASSERT_TRUE(WaitLogLines(kManualLog, 1));
  ASSERT_TRUE(Settled(*s));
  EXPECT_EQ(disc().Log(kManualLog).size(), 1u);
}

TEST_F(Buttons, ManualInstallationStartsItsProgramOnEveryClick) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kManualInstallationButton, {74, 11});
  Click(*s, kManualInstallationButton, {74, 11});
  ASSERT_TRUE(WaitLogLines(kManualLog, 2)) << "runs seen: " << disc().Log(kManualLog).size();
  ASSERT_TRUE(Settled(*s));
  auto runs = disc().Log(kManualLog);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_NE(runs[0], runs[1]) << "one process reported twice";
  EXPECT_TRUE(x().Viewable(s->window));
  EXPECT_EQ(WaitShows(*s, kManualInstallationButton, DiscPicture::ManualInstallation), "");
}

// The press test stops at X 2170 twips: pixel 144 of Manual Installation's 149.
TEST_F(Buttons, PressInManualInstallationsRightStripShowsNoPressedPicture) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  auto design_time = BuildAsset("manualinstallation.gif");
  MoveToCentre(*s, kSetupWizardButton);
  ASSERT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::SetupWizardHelp), "");
  MoveTo(*s, kManualInstallationButton, {145, 11});
  x().Press(kLeft);
  // Moving inside with the button held loads Manual Installation's help: once
  // that shows, the press has been handled.
  MoveTo(*s, kManualInstallationButton, {50, 11});
  ASSERT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::ManualInstallationHelp), "");
  EXPECT_NE(Difference(Grab(*s, kManualInstallationButton), disc().Expected(DiscPicture::ManualInstallationDown)), "")
      << "a press right of X 2170 showed the pressed picture";
  if (design_time) {
    EXPECT_EQ(WaitShows(*s, kManualInstallationButton, *design_time, Millis(0)), "");
  }
  MoveTo(*s, kManualInstallationButton, {145, 11});
  x().Release(kLeft);
  EXPECT_EQ(WaitShows(*s, kManualInstallationButton, DiscPicture::ManualInstallation), "");
  ASSERT_TRUE(Settled(*s));
  EXPECT_TRUE(disc().Log(kManualLog).empty()) << "a release right of X 2170 started the program";
}

struct DocumentationRelease {
  const char* name;
  Point release;  // pressed at the centre
  unsigned mouse_button;
  bool opens;
};

// The release test is X 0..2170, Y 0..410 twips: pixels 0..144 and 0..27,
// wider and taller than the 118x25 button.
const DocumentationRelease kDocumentationReleases[] = {
    {"centre", {59, 12}, kLeft, true},
    {"dragged right past the button to X 1995", {133, 12}, kLeft, true},
    {"last pixel row inside, Y 405", {59, 27}, kLeft, true},
    {"first pixel right of X 2170", {145, 12}, kLeft, false},
    {"first pixel row below Y 410", {59, 28}, kLeft, false},
    {"dragged left of the button", {-3, 12}, kLeft, false},
    {"right button at the centre", {59, 12}, kRight, false},
};

TEST_F(Buttons, DocumentationOpensTheGuideOnlyForReleasesThatPassItsTest) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  const std::string expected = "1 " + disc().GuideAbsolutePath().string();
  std::size_t opened = 0;
  for (const DocumentationRelease& c : kDocumentationReleases) {
    SCOPED_TRACE(c.name);
    MoveToCentre(*s, kDocumentationButton);
    x().Press(c.mouse_button);
    EXPECT_EQ(WaitShows(*s, kDocumentationButton, DiscPicture::DocumentationDown), "");
    MoveTo(*s, kDocumentationButton, c.release);
    x().Release(c.mouse_button);
    EXPECT_EQ(WaitShows(*s, kDocumentationButton, DiscPicture::Documentation), "");
    opened += c.opens;
    if (c.opens) {
      EXPECT_TRUE(WaitLogLines(kOpenLog, opened)) << "xdg-open never ran";
    }
    ASSERT_TRUE(Settled(*s));
    auto log = disc().Log(kOpenLog);
    ASSERT_EQ(log.size(), opened);
    if (!log.empty()) {
      EXPECT_EQ(log.back(), expected);
    }
    EXPECT_TRUE(x().Viewable(s->window)) << "the launcher closed";
  }
  x().SendDeleteWindow(s->window);
  auto status = s->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
}

// The pressed button keeps the pointer: moves over the background still go to
// it, outside its hover rectangle, so the panel empties instead of showing the general help.
TEST_F(Buttons, DraggingOffDocumentationEmptiesThePanel) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  MoveToCentre(*s, kDocumentationButton);
  ASSERT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::DocumentationHelp), "");
  x().Press(kLeft);
  x().MoveTo(s->At(kClientArea, kOnBackground));
  ASSERT_TRUE(Settled(*s));
  EXPECT_EQ(Identify(*s, kHelpPanel), "none of the disc's pictures") << "the panel did not empty";
  x().Release(kLeft);
  ASSERT_TRUE(Settled(*s));
  EXPECT_TRUE(disc().Log(kOpenLog).empty()) << "a release far off the button opened the guide";
  // Released, the background gets the movement again.
  x().MoveTo(s->At(kClientArea, kOnBackground));
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::Help), "");
}

TEST_F(Buttons, DocumentationWithoutTheGuideOpensNothingAndSaysNothing) {
  disc().Remove(kGuideFile);
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kDocumentationButton, kDocumentationButton.Centre());
  // The program ends only once every procedure has returned, Documentation's included.
  Click(*s, kExitButton, kExitButton.Centre());
  auto status = s->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_TRUE(disc().Log(kOpenLog).empty()) << "xdg-open ran for a missing guide";
  EXPECT_EQ(s->process->Stderr(), "");
}

struct ExitRelease {
  const char* name;
  Point at;
};

// X 100..1300 and Y 100..360 twips: pixels 7..86 and 7..24 of the button.
const ExitRelease kClosingReleases[] = {
    {"centre", {22, 12}},
    {"first pixel inside the release rectangle", {7, 7}},
    {"bottom-right pixel of the button", {43, 23}},
};

TEST_F(Buttons, ExitClosesTheWindowWithStatusZero) {
  for (const ExitRelease& c : kClosingReleases) {
    SCOPED_TRACE(c.name);
    Session* s = Start();
    ASSERT_NE(s, nullptr);
    Click(*s, kExitButton, c.at);
    auto status = s->process->WaitExit(kExitDeadline);
    EXPECT_EQ(status, Exited(0)) << Describe(status);
    EXPECT_FALSE(x().Viewable(s->window));
    EXPECT_EQ(s->process->Stderr(), "");
  }
}

struct KeptOpen {
  const char* name;
  Point press, release;
  unsigned mouse_button;
};

const KeptOpen kKeptOpen[] = {
    {"top-left pixel", {0, 0}, {0, 0}, kLeft},
    {"left of X 100 (pixel 6)", {6, 12}, {6, 12}, kLeft},
    {"above Y 100 (pixel 6)", {22, 6}, {22, 6}, kLeft},
    {"pressed inside, dragged onto the background", {22, 12}, {-60, 12}, kLeft},
    {"right button at the centre", {22, 12}, {22, 12}, kRight},
};

TEST_F(Buttons, ExitReleasedOutsideItsTestKeepsTheWindowOpen) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  for (const KeptOpen& c : kKeptOpen) {
    SCOPED_TRACE(c.name);
    MoveTo(*s, kExitButton, c.press);
    x().Press(c.mouse_button);
    EXPECT_EQ(WaitShows(*s, kExitButton, DiscPicture::ExitDown), "");
    MoveTo(*s, kExitButton, c.release);
    x().Release(c.mouse_button);
    EXPECT_EQ(WaitShows(*s, kExitButton, DiscPicture::Exit), "");
    ASSERT_TRUE(Settled(*s));  // past Exit's wait and its release test
    ASSERT_TRUE(x().Viewable(s->window)) << "the window closed";
  }
  Click(*s, kExitButton, kExitButton.Centre());
  auto status = s->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
}

struct PointerOver {
  const char* name;
  const ControlRect& control;
  Point at;
  bool hand;
};

const PointerOver kPointers[] = {
    {"Setup Wizard", kSetupWizardButton, {55, 12}, true},
    {"Manual Installation", kManualInstallationButton, {74, 11}, true},
    {"Documentation", kDocumentationButton, {59, 12}, true},
    {"Exit", kExitButton, {22, 12}, true},
    {"background", kClientArea, kOnBackground, false},
    {"help panel", kHelpPanel, {188, 36}, false},
};

TEST_F(Buttons, HandOverTheButtonsArrowElsewhere) {
  auto hand = BuildAsset("hand.cur");
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  for (const PointerOver& c : kPointers) {
    SCOPED_TRACE(c.name);
    MoveTo(*s, c.control, c.at);
    CursorShot shot = WaitCursor([&](const CursorShot& p) { return c.hand ? IsHand(p) : IsArrow(p); });
    if (c.hand) {
      EXPECT_TRUE(IsHand(shot)) << "pointer " << Describe(shot) << ", expected the 32x32 hand, hot spot (5, 0)";
      if (hand) {
        EXPECT_TRUE(SameShape(shot, *hand, kHandHotX, kHandHotY)) << "not the pixels of hand.cur";
      }
    } else {
      EXPECT_TRUE(IsArrow(shot)) << "pointer " << Describe(shot) << ", expected the 12x19 arrow, hot spot (0, 0)";
    }
  }
}

enum class Use { PressExit, MoveOntoDocumentation, ClickManualInstallation, ClickSetupWizard };

struct FirstUseError {
  const char* name;
  std::string_view removed;
  Use use;
  std::string_view message;
};

const FirstUseError kFirstUseErrors[] = {
    {"exitdown.gif missing: first press on Exit", "Setup/images/exitdown.gif", Use::PressExit,
     R"(autorun: Run-time error: LoadPicture "setup\images\exitdown.gif": file not found)"},
    {"documentationhelp.gif missing: first move onto Documentation", "Setup/images/documentationhelp.gif",
     Use::MoveOntoDocumentation,
     R"(autorun: Run-time error: LoadPicture "setup\images\documentationhelp.gif": file not found)"},
    {"manualinstallation.gif missing: first release on Manual Installation", "Setup/images/manualinstallation.gif",
     Use::ClickManualInstallation,
     R"(autorun: Run-time error: LoadPicture "setup\images\manualinstallation.gif": file not found)"},
    {"Setup.exe missing: Setup Wizard released", kSetupProgramFile, Use::ClickSetupWizard,
     R"(autorun: Run-time error: Shell "Setup\Setup.exe": file not found)"},
};

TEST_F(Buttons, MissingFileEndsWithTheErrorMessageAtItsFirstUse) {
  for (const FirstUseError& c : kFirstUseErrors) {
    SCOPED_TRACE(c.name);
    UseDisc(Spelling::AsLayout);
    disc().Remove(c.removed);
    Session* s = Start();  // starts normally: nothing is loaded before it is needed
    ASSERT_NE(s, nullptr);
    switch (c.use) {
      case Use::PressExit:
        MoveToCentre(*s, kExitButton);
        x().Press(kLeft);
        break;
      case Use::MoveOntoDocumentation: MoveToCentre(*s, kDocumentationButton); break;
      case Use::ClickManualInstallation: Click(*s, kManualInstallationButton, {74, 11}); break;
      case Use::ClickSetupWizard: Click(*s, kSetupWizardButton, kSetupWizardButton.Centre()); break;
    }
    auto dialog = WaitForDialog();
    if (c.use == Use::PressExit) x().Release(kLeft);
    ASSERT_TRUE(dialog.has_value()) << "no error dialog; the launcher is " << Describe(s->process->WaitExit(Millis(0)));
    EXPECT_FALSE(x().Viewable(s->window)) << "the main window stays up behind the error dialog";
    std::vector<std::string> lines = s->process->StderrLines();
    ASSERT_EQ(lines.size(), 2u) << "stderr: " << s->process->Stderr();
    EXPECT_EQ(lines[1], c.message);
    for (int tries = 0; tries < 250 && x().FocusedWindow() != *dialog; ++tries)
      std::this_thread::sleep_for(Millis(20));
    x().Key(XK_Return);
    auto status = s->process->WaitExit(kExitDeadline);
    EXPECT_EQ(status, Exited(1)) << Describe(status);
    EXPECT_TRUE(disc().Log(kSetupLog).empty()) << "a program ran";
  }
}

}  // namespace
}  // namespace e2e
