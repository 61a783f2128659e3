// The help panel of the real launcher, driven by real pointer movement.
#include <thread>

#include "tests/e2e/launcher_fixture.h"

namespace e2e {
namespace {

class HelpPanel : public BareDisplayTest {
 protected:
  // An empty panel shows what lies beneath it: the background picture when the
  // build has one to compare with, and in any case none of the disc's pictures.
  std::string WaitPanelEmpty(const Session& s) {
    auto background = BuildAsset("background.bmp");
    std::string last;
    for (int tries = 0; tries < 200; ++tries) {
      pictures::Image panel = Grab(s, kHelpPanel);
      std::string shown = Identify(s, kHelpPanel);
      if (shown != "none of the disc's pictures") {
        last = "the panel shows " + shown;
      } else if (background) {
        last = Difference(panel, Crop(*background, kHelpPanel.x, kHelpPanel.y, kHelpPanel.width, kHelpPanel.height));
        if (!last.empty()) last = "the empty panel is not the background beneath it: " + last;
      } else {
        last = "";
      }
      if (last.empty()) return last;
      std::this_thread::sleep_for(Millis(20));
    }
    return last;
  }
};

struct Hover {
  const char* name;
  const ControlRect& button;
  DiscPicture help;
};

const Hover kHovers[] = {
    {"Setup Wizard", kSetupWizardButton, DiscPicture::SetupWizardHelp},
    {"Manual Installation", kManualInstallationButton, DiscPicture::ManualInstallationHelp},
    {"Documentation", kDocumentationButton, DiscPicture::DocumentationHelp},
};

TEST_F(HelpPanel, EachButtonShowsItsHelpAndTheBackgroundTheGeneralHelp) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  for (const Hover& h : kHovers) {
    SCOPED_TRACE(h.name);
    MoveToCentre(*s, h.button);
    EXPECT_EQ(WaitShows(*s, kHelpPanel, h.help), "");
    x().MoveTo(s->At(kClientArea, kOnBackground));
    EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::Help), "");
  }
  // Straight from one button to another, with no background in between.
  MoveToCentre(*s, kSetupWizardButton);
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::SetupWizardHelp), "");
  MoveToCentre(*s, kDocumentationButton);
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::DocumentationHelp), "");
}

struct StillMovement {
  const char* name;
  const ControlRect& over;
};

const StillMovement kStillMovements[] = {
    {"over Exit", kExitButton},
    {"over the help panel", kHelpPanel},
};

TEST_F(HelpPanel, MovementOverExitOrThePanelLeavesItAsItIs) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  for (const StillMovement& m : kStillMovements) {
    SCOPED_TRACE(m.name);
    MoveToCentre(*s, kSetupWizardButton);
    ASSERT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::SetupWizardHelp), "");
    MoveToCentre(*s, m.over);
    MoveTo(*s, m.over, {2, 2});
    ASSERT_TRUE(Settled(*s));
    EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::SetupWizardHelp, Millis(0)), "");
  }
}

// Manual Installation's hover test stops at X 2130 twips (pixel 142) of its 149 pixels.
TEST_F(HelpPanel, ManualInstallationsRightStripEmptiesThePanelUntilTheBackground) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  MoveTo(*s, kManualInstallationButton, {142, 11});  // the last pixel inside: bounds count
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::ManualInstallationHelp), "");
  MoveTo(*s, kManualInstallationButton, {143, 11});
  EXPECT_EQ(WaitPanelEmpty(*s), "") << "after moving past X 2130";
  // Back inside: the state still names this button's help, so nothing is loaded.
  MoveTo(*s, kManualInstallationButton, {50, 11});
  ASSERT_TRUE(Settled(*s));
  EXPECT_EQ(WaitPanelEmpty(*s), "") << "after moving back inside";
  x().MoveTo(s->At(kClientArea, kOnBackground));
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::Help), "");
}

}  // namespace
}  // namespace e2e
