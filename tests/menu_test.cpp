// The window's procedures, driven through the scripted runtime with the real
// layout and binding table: start-up, the help panel, presses, releases, the actions and
// what happens when procedures run nested inside a wait.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "autorun/program.h"
#include "menu/autorun_form.h"
#include "platform/fake_runtime.h"


namespace {

using platform::Control;
using platform::FakeRuntime;
using platform::MouseArgs;
using platform::MouseEvent;
using Lines = std::vector<std::string>;

constexpr const char* kDiscPictures[] = {
    R"(setup\images\help.gif)",
    R"(setup\images\setupwizarddown.gif)",
    R"(Setup\images\setupwizard.gif)",
    R"(setup\images\setupwizardhelp.gif)",
    R"(setup\images\manualinstallationdown.gif)",
    R"(setup\images\manualinstallation.gif)",
    R"(setup\images\manualinstallationhelp.gif)",
    R"(setup\images\documentationdown.gif)",
    R"(setup\images\documentation.gif)",
    R"(setup\images\documentationhelp.gif)",
    R"(setup\images\exitdown.gif)",
    R"(setup\images\exit.gif)",
};
constexpr const char* kHourglass = R"(Setup\images\hourglas.ani)";
constexpr const char* kSetupProgram = R"(Setup\Setup.exe)";
constexpr const char* kManualProgram = R"(manualinstallation\setup.exe)";
constexpr platform::CursorHandle kBusy = 0x100;  // the fake's first loaded pointer

// The nearest floats on either side of a bound.
float Above(float v) { return std::nextafter(v, INFINITY); }
float Below(float v) { return std::nextafter(v, -INFINITY); }

MouseArgs Args(std::int16_t button, float x, float y) { return {button, 0, x, y}; }
MouseArgs Left(float x, float y) { return Args(1, x, y); }

struct Step {
  Control control;
  MouseEvent event;
  MouseArgs args;
};

const char* Name(Control c) {
  switch (c) {
    case Control::Help: return "imgHelp";
    case Control::Exit: return "imgExit";
    case Control::Documentation: return "imgDocumentation";
    case Control::ManualInstallation: return "imgManualInstallation";
    case Control::SetupWizard: return "imgSetupWizard";
    case Control::Ole1: return "OLE1";
  }
  return "?";
}

// A runtime with every file of the disc, not yet loaded.
std::unique_ptr<FakeRuntime> WithDisc() {
  auto rt = std::make_unique<FakeRuntime>(autorun::Program());
  for (const char* path : kDiscPictures) rt->AddPicture(path);
  rt->AddCursorFile(kHourglass);
  rt->AddProgram(kSetupProgram);
  rt->AddProgram(kManualProgram);
  return rt;
}

std::int16_t HelpStateOf(const FakeRuntime& rt) {
  return static_cast<const menu::AutorunForm&>(*rt.form()).help_state();
}

bool Send(FakeRuntime& rt, const Step& s) { return rt.Deliver(s.control, s.event, s.args); }

// What one event did, without the line naming the event itself.
Lines Effects(FakeRuntime& rt, const Step& s) {
  rt.ClearTranscript();
  Send(rt, s);
  Lines lines = rt.transcript();
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

class MenuTest : public ::testing::Test {
 protected:
  void Start() {
    rt.Load();
    form = rt.form();
    rt.ClearTranscript();
  }

  menu::AutorunForm& Form() { return static_cast<menu::AutorunForm&>(*form); }
  std::int16_t HelpState() { return Form().help_state(); }
  bool Send(const Step& s) { return ::Send(rt, s); }

  std::unique_ptr<FakeRuntime> disc = WithDisc();
  FakeRuntime& rt = *disc;
  std::shared_ptr<platform::Form> form;  // the test's own hold on the window object
};

// ---- Start-up --------------------------------------------------------------

TEST_F(MenuTest, LoadShowsGeneralHelpAndTouchesNothingElse) {
  rt.Load();
  EXPECT_TRUE(rt.shown_window());
  EXPECT_EQ(rt.transcript(), (Lines{R"(LoadPicture setup\images\help.gif)",
                                    R"(SetPicture imgHelp setup\images\help.gif)"}));
  EXPECT_EQ(static_cast<menu::AutorunForm&>(*rt.form()).help_state(), 0);
  for (Control c : {Control::Exit, Control::Documentation, Control::ManualInstallation, Control::SetupWizard}) {
    EXPECT_EQ(rt.shown(c), "(design-time)");
    EXPECT_TRUE(rt.enabled(c));
  }
  EXPECT_EQ(rt.cursor(), FakeRuntime::kControlPointers);
}

TEST_F(MenuTest, MissingGeneralHelpFailsLoadAndWindowIsNeverShown) {
  rt.RemoveFile(R"(setup\images\help.gif)");
  try {
    rt.Load();
    FAIL() << "Load succeeded without the general help picture";
  } catch (const platform::RuntimeError& e) {
    EXPECT_EQ(e.operation(), "LoadPicture");
    EXPECT_EQ(e.path(), R"(setup\images\help.gif)");
  }
  EXPECT_FALSE(rt.shown_window());
  EXPECT_EQ(rt.shown(Control::Help), "(design-time)");
  EXPECT_FALSE(rt.Deliver(Control::Ole1, MouseEvent::Move, Left(10, 10)));
}

// A reload writes HelpState before loading: even a failed load leaves it 0.
TEST_F(MenuTest, LoadWritesHelpStateBeforeThePicture) {
  Start();
  Send({Control::Documentation, MouseEvent::Move, Left(100, 100)});
  ASSERT_EQ(HelpState(), 3);
  rt.RemoveFile(R"(setup\images\help.gif)");
  EXPECT_THROW(Form().Form_Load(), platform::RuntimeError);
  EXPECT_EQ(HelpState(), 0);
  EXPECT_EQ(rt.shown(Control::Help), R"(setup\images\documentationhelp.gif)");
}

// The disc's file system ignores letter case; the procedures spell one folder two ways.
TEST(MenuDiscTest, DiscInAnotherLetterCaseStillWorks) {
  FakeRuntime rt{autorun::Program()};
  for (const char* path : kDiscPictures) {
    std::string upper = path;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    rt.AddPicture(upper);
  }
  rt.AddCursorFile(R"(SETUP\IMAGES\HOURGLAS.ANI)");
  rt.AddProgram(R"(setup\setup.exe)");
  rt.Load();
  rt.Deliver(Control::SetupWizard, MouseEvent::Down, Left(10, 10));
  rt.Deliver(Control::SetupWizard, MouseEvent::Up, Left(10, 10));
  EXPECT_EQ(rt.shown(Control::SetupWizard), R"(SETUP\IMAGES\SETUPWIZARD.GIF)");
  EXPECT_EQ(rt.started_programs(), Lines{kSetupProgram});
  EXPECT_TRUE(rt.unloaded());
}

// ---- Help panel ------------------------------------------------------------

struct HelpRow {
  const char* name;
  std::vector<Step> before;  // from start-up: panel general help, HelpState 0
  Step event;
  Lines effects;
  const char* panel;  // what imgHelp shows afterwards
  std::int16_t state;
};

const Step kOverSetup = {Control::SetupWizard, MouseEvent::Move, {0, 0, 100, 100}};
const Step kOverManual = {Control::ManualInstallation, MouseEvent::Move, {0, 0, 100, 100}};
const Step kOverDocs = {Control::Documentation, MouseEvent::Move, {0, 0, 100, 100}};
const Step kOverBackground = {Control::Ole1, MouseEvent::Move, {0, 0, 5000, 500}};
const Step kPastManualHover = {Control::ManualInstallation, MouseEvent::Move, {0, 0, 2200, 100}};

Step Move(Control c, float x, float y) { return {c, MouseEvent::Move, {1, 0, x, y}}; }

const Lines kShowsEmpty = {R"(LoadPicture "")", R"(SetPicture imgHelp "")"};
const Lines kShowsGeneral = {R"(LoadPicture setup\images\help.gif)", R"(SetPicture imgHelp setup\images\help.gif)"};
const Lines kShowsSetup = {R"(LoadPicture setup\images\setupwizardhelp.gif)",
                           R"(SetPicture imgHelp setup\images\setupwizardhelp.gif)"};
const Lines kShowsManual = {R"(LoadPicture setup\images\manualinstallationhelp.gif)",
                            R"(SetPicture imgHelp setup\images\manualinstallationhelp.gif)"};
const Lines kShowsDocs = {R"(LoadPicture setup\images\documentationhelp.gif)",
                          R"(SetPicture imgHelp setup\images\documentationhelp.gif)"};

constexpr const char* kGeneral = R"(setup\images\help.gif)";
constexpr const char* kSetupHelp = R"(setup\images\setupwizardhelp.gif)";
constexpr const char* kManualHelp = R"(setup\images\manualinstallationhelp.gif)";
constexpr const char* kDocsHelp = R"(setup\images\documentationhelp.gif)";

const HelpRow kHelpRows[] = {
    // Setup Wizard: hover X 0..2130, Y 0..705.
    {"setup inside from general", {}, kOverSetup, kShowsSetup, kSetupHelp, 1},
    {"setup inside again loads nothing", {kOverSetup}, kOverSetup, {}, kSetupHelp, 1},
    {"setup far corner is inside", {}, Move(Control::SetupWizard, 2130, 705), kShowsSetup, kSetupHelp, 1},
    {"setup origin is inside", {}, Move(Control::SetupWizard, 0, 0), kShowsSetup, kSetupHelp, 1},
    {"setup one twip right is outside", {}, Move(Control::SetupWizard, 2131, 100), kShowsEmpty, "", 0},
    {"setup float above 2130 is outside", {}, Move(Control::SetupWizard, Above(2130), 100), kShowsEmpty, "", 0},
    {"setup float above 705 is outside", {}, Move(Control::SetupWizard, 100, Above(705)), kShowsEmpty, "", 0},
    {"setup negative x is outside", {}, Move(Control::SetupWizard, Below(0), 100), kShowsEmpty, "", 0},
    {"setup outside empties even an empty panel", {kOverSetup, Move(Control::SetupWizard, 3000, 100)},
     Move(Control::SetupWizard, 3000, 100), kShowsEmpty, "", 1},
    {"setup back inside its own state stays empty", {kOverSetup, Move(Control::SetupWizard, 3000, 100)},
     kOverSetup, {}, "", 1},
    {"setup from documentation help directly", {kOverDocs}, kOverSetup, kShowsSetup, kSetupHelp, 1},
    // Manual Installation: hover X 0..2130, Y 0..705, narrower than the button.
    {"manual inside from general", {}, kOverManual, kShowsManual, kManualHelp, 2},
    {"manual inside again loads nothing", {kOverManual}, kOverManual, {}, kManualHelp, 2},
    {"manual strip past 2130 empties, state stays", {kOverManual}, kPastManualHover, kShowsEmpty, "", 2},
    {"manual back left of 2130 stays empty", {kOverManual, kPastManualHover}, kOverManual, {}, "", 2},
    {"manual bottom bound is inside", {}, Move(Control::ManualInstallation, 2130, 705), kShowsManual, kManualHelp, 2},
    {"manual below 705 is outside", {}, Move(Control::ManualInstallation, 100, 706), kShowsEmpty, "", 0},
    // Documentation: hover X 0..2170, Y 0..410.
    {"docs inside from setup help", {kOverSetup}, kOverDocs, kShowsDocs, kDocsHelp, 3},
    {"docs inside again loads nothing", {kOverDocs}, kOverDocs, {}, kDocsHelp, 3},
    {"docs far corner is inside", {}, Move(Control::Documentation, 2170, 410), kShowsDocs, kDocsHelp, 3},
    {"docs right of 2170 is outside", {kOverDocs}, Move(Control::Documentation, 2171, 200), kShowsEmpty, "", 3},
    {"docs float above 410 is outside", {kOverDocs}, Move(Control::Documentation, 100, Above(410)), kShowsEmpty, "", 3},
    {"docs negative y is outside", {kOverDocs}, Move(Control::Documentation, 100, -1), kShowsEmpty, "", 3},
    {"docs dragged far away is outside", {kOverDocs}, Move(Control::Documentation, -9000, 9000), kShowsEmpty, "", 3},
    // Background.
    {"background at general loads nothing", {}, kOverBackground, {}, kGeneral, 0},
    {"background after setup help", {kOverSetup}, kOverBackground, kShowsGeneral, kGeneral, 0},
    {"background after emptied manual", {kOverManual, kPastManualHover}, kOverBackground, kShowsGeneral, kGeneral, 0},
    {"background after docs help", {kOverDocs}, kOverBackground, kShowsGeneral, kGeneral, 0},
    // No procedure: nothing changes, not even an empty panel.
    {"exit changes nothing", {kOverDocs}, Move(Control::Exit, 300, 200), {}, kDocsHelp, 3},
    {"help panel changes nothing", {kOverManual, kPastManualHover}, Move(Control::Help, 300, 200), {}, "", 2},
};

TEST(MenuHelpTest, HelpPanelTransitions) {
  for (const HelpRow& row : kHelpRows) {
    SCOPED_TRACE(row.name);
    auto rt = WithDisc();
    rt->Load();
    for (const Step& s : row.before) Send(*rt, s);
    EXPECT_EQ(Effects(*rt, row.event), row.effects);
    EXPECT_EQ(rt->shown(Control::Help), row.panel);
    EXPECT_EQ(HelpStateOf(*rt), row.state);
  }
}

TEST_F(MenuTest, MovementWithoutProcedureRunsNothing) {
  Start();
  for (const Step& s : {Move(Control::Exit, 300, 200), Move(Control::Help, 0, 0),
                        Step{Control::Help, MouseEvent::Down, Left(0, 0)},
                        Step{Control::Ole1, MouseEvent::Up, Left(0, 0)}}) {
    EXPECT_FALSE(Send(s));
  }
  EXPECT_TRUE(rt.transcript().empty());
}

// ---- Presses ---------------------------------------------------------------

struct PressRow {
  const char* name;
  Control control;
  MouseArgs args;
  bool pressed;
};

const char* DownPicture(Control c) {
  switch (c) {
    case Control::SetupWizard: return R"(setup\images\setupwizarddown.gif)";
    case Control::ManualInstallation: return R"(setup\images\manualinstallationdown.gif)";
    case Control::Documentation: return R"(setup\images\documentationdown.gif)";
    default: return R"(setup\images\exitdown.gif)";
  }
}

std::vector<PressRow> PressRows() {
  std::vector<PressRow> rows;
  // The three rectangle buttons share X 0..2170, Y 0..410.
  for (Control c : {Control::SetupWizard, Control::ManualInstallation, Control::Documentation}) {
    const PressRow shared[] = {
        {"origin", c, Left(0, 0), true},
        {"far corner", c, Left(2170, 410), true},
        {"top right", c, Left(2170, 0), true},
        {"bottom left", c, Left(0, 410), true},
        {"negative zero is on the bound", c, Left(-0.0f, -0.0f), true},
        {"right button inside", c, Args(2, 100, 100), true},
        {"middle button inside", c, Args(4, 100, 100), true},
        {"float right of 2170", c, Left(Above(2170), 100), false},
        {"float below 410", c, Left(100, Above(410)), false},
        {"one twip right", c, Left(2171, 100), false},
        {"one twip down", c, Left(100, 411), false},
        {"float left of 0", c, Left(Below(0), 100), false},
        {"negative y", c, Left(100, -1), false},
        {"far away", c, Left(1e6f, 1e6f), false},
    };
    rows.insert(rows.end(), std::begin(shared), std::end(shared));
  }
  rows.push_back({"manual strip past 2170", Control::ManualInstallation, Left(2200, 100), false});
  // Exit has no press rectangle.
  rows.push_back({"exit inside", Control::Exit, Left(300, 200), true});
  rows.push_back({"exit left strip", Control::Exit, Left(50, 50), true});
  rows.push_back({"exit negative", Control::Exit, Args(2, -5000, -5000), true});
  rows.push_back({"exit far away", Control::Exit, Args(4, 1e6f, 1e6f), true});
  return rows;
}

TEST_F(MenuTest, PressShowsPressedPictureOnlyInsidePressArea) {
  Start();
  for (const PressRow& row : PressRows()) {
    SCOPED_TRACE(std::string(DownPicture(row.control)) + ": " + row.name);
    const std::string before = rt.shown(row.control);
    const Lines effects = Effects(rt, {row.control, MouseEvent::Down, row.args});
    if (row.pressed) {
      EXPECT_EQ(effects, (Lines{std::string("LoadPicture ") + DownPicture(row.control),
                                std::string("SetPicture ") + Name(row.control) + " " + DownPicture(row.control)}));
      EXPECT_EQ(rt.shown(row.control), DownPicture(row.control));
    } else {
      EXPECT_TRUE(effects.empty());
      EXPECT_EQ(rt.shown(row.control), before);
    }
    EXPECT_EQ(HelpState(), 0);
  }
}

// ---- Releases --------------------------------------------------------------

struct ReleaseRow {
  const char* name;
  Control control;
  MouseArgs args;
  bool acts;
};

// Per button: the normal picture, the wait, and the action of a passing release.
Lines Release(Control c, bool acts) {
  switch (c) {
    case Control::Exit: {
      Lines l = {R"(LoadPicture setup\images\exit.gif)", R"(SetPicture imgExit setup\images\exit.gif)",
                 "DoEvents x60000"};
      if (acts) l.push_back("Unload");
      return l;
    }
    case Control::Documentation: {
      Lines l = {R"(LoadPicture setup\images\documentation.gif)",
                 R"(SetPicture imgDocumentation setup\images\documentation.gif)", "DoEvents x60000"};
      if (acts) l.insert(l.end(), {"hWnd 1234", R"(ShellExecuteA 1234 open Manual\UserGuideEng.html "" "" 1)"});
      return l;
    }
    default: {
      Lines l = {R"(LoadPicture setup\images\manualinstallation.gif)",
                 R"(SetPicture imgManualInstallation setup\images\manualinstallation.gif)"};
      if (acts) l.push_back(R"(Shell manualinstallation\setup.exe 1)");
      return l;
    }
  }
}

std::vector<ReleaseRow> ReleaseRows() {
  std::vector<ReleaseRow> rows = {
      // Exit: left button, X 100..1300, Y 100..360.
      {"exit top-left bound", Control::Exit, Left(100, 100), true},
      {"exit bottom edge", Control::Exit, Left(600, 360), true},
      {"exit bottom-right bound", Control::Exit, Left(1300, 360), true},
      {"exit dragged right inside 1300", Control::Exit, Left(1200, 200), true},
      {"exit left strip", Control::Exit, Left(50, 200), false},
      {"exit one twip left", Control::Exit, Left(99, 200), false},
      {"exit float left of 100", Control::Exit, Left(Below(100), 200), false},
      {"exit one twip below", Control::Exit, Left(600, 361), false},
      {"exit float below 360", Control::Exit, Left(600, Above(360)), false},
      {"exit top strip", Control::Exit, Left(600, Below(100)), false},
      {"exit one twip right of 1300", Control::Exit, Left(1301, 200), false},
      {"exit negative", Control::Exit, Left(-600, -200), false},
      {"exit far away", Control::Exit, Left(1e7f, 1e7f), false},
      {"exit right button", Control::Exit, Args(2, 600, 200), false},
      {"exit middle button", Control::Exit, Args(4, 600, 200), false},
      {"exit left and right together", Control::Exit, Args(3, 600, 200), false},
  };
  // Documentation and Manual Installation: left button, X 0..2170, Y 0..410.
  for (Control c : {Control::Documentation, Control::ManualInstallation}) {
    const ReleaseRow shared[] = {
        {"far corner", c, Left(2170, 410), true},
        {"origin", c, Left(0, 0), true},
        {"negative zero", c, Left(-0.0f, -0.0f), true},
        {"dragged past the picture inside 2170", c, Left(2000, 200), true},
        {"one twip right", c, Left(2171, 200), false},
        {"float right of 2170", c, Left(Above(2170), 200), false},
        {"float below 410", c, Left(200, Above(410)), false},
        {"float left of 0", c, Left(Below(0), 200), false},
        {"negative y", c, Left(200, -1), false},
        {"far away", c, Left(-1e7f, 1e7f), false},
        {"right button", c, Args(2, 200, 200), false},
        {"middle button", c, Args(4, 200, 200), false},
    };
    rows.insert(rows.end(), std::begin(shared), std::end(shared));
  }
  rows.push_back({"manual strip past 2170", Control::ManualInstallation, Left(2200, 100), false});
  return rows;
}

TEST(MenuReleaseTest, ReleaseRestoresPictureWaitsAndTestsItsOwnArguments) {
  for (const ReleaseRow& row : ReleaseRows()) {
    SCOPED_TRACE(row.name);
    auto rt = WithDisc();
    rt->Load();
    Send(*rt, {row.control, MouseEvent::Down, row.args});
    const std::uint64_t calls_before = rt->doevents_calls();
    EXPECT_EQ(Effects(*rt, {row.control, MouseEvent::Up, row.args}), Release(row.control, row.acts));
    EXPECT_EQ(rt->doevents_calls() - calls_before, row.control == Control::ManualInstallation ? 0u : 60000u);
    EXPECT_EQ(rt->unloaded(), row.acts && row.control == Control::Exit);
    EXPECT_EQ(rt->started_programs().size(), row.acts && row.control == Control::ManualInstallation ? 1u : 0u);
  }
}

TEST_F(MenuTest, ManualInstallationStartsAgainOnEveryPassingRelease) {
  Start();
  Send({Control::ManualInstallation, MouseEvent::Up, Left(100, 100)});
  Send({Control::ManualInstallation, MouseEvent::Up, Left(100, 100)});
  EXPECT_EQ(rt.started_programs(), (Lines{kManualProgram, kManualProgram}));
  EXPECT_EQ(rt.doevents_calls(), 0u);
  EXPECT_FALSE(rt.unloaded());
}

// ---- Setup Wizard sequence -------------------------------------------------

const Lines kSetupSequence = {
    R"(LoadCursorFromFileA Setup\images\hourglas.ani = 256)",
    R"(LoadPicture Setup\images\setupwizard.gif)",
    R"(SetPicture imgSetupWizard Setup\images\setupwizard.gif)",
    "SetCursor 256 = 1",
    R"(Shell Setup\Setup.exe 1)",
    "SetEnabled imgSetupWizard false",
    "SetEnabled imgManualInstallation false",
    "DoEvents x3400000",
    "SetEnabled imgSetupWizard true",
    "SetCursor 1 = 256",
    "Unload",
};

TEST(MenuSetupTest, SetupWizardRunsWholeSequenceOnEveryRelease) {
  const struct {
    const char* name;
    MouseArgs args;
  } kRows[] = {
      {"left inside", Left(100, 100)},
      {"right button", Args(2, 100, 100)},
      {"middle button dragged far away", Args(4, -9000, 9000)},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    auto rt = WithDisc();
    rt->Load();
    const std::weak_ptr<platform::Form> window = rt->form();
    EXPECT_EQ(Effects(*rt, {Control::SetupWizard, MouseEvent::Up, row.args}), kSetupSequence);
    EXPECT_EQ(rt->started_programs(), Lines{kSetupProgram});
    EXPECT_EQ(rt->cursor(), FakeRuntime::kControlPointers);
    EXPECT_TRUE(rt->unloaded());
    EXPECT_TRUE(window.expired());
    EXPECT_FALSE(rt->Deliver(Control::Exit, MouseEvent::Down, Left(300, 200)));
  }
}

TEST_F(MenuTest, SetupWizardEndsAtOnceWithoutBusyPointer) {
  Start();
  Send({Control::SetupWizard, MouseEvent::Down, Left(100, 100)});
  rt.RemoveFile(kHourglass);
  rt.ClearTranscript();
  EXPECT_THROW(Send({Control::SetupWizard, MouseEvent::Up, Args(2, 100, 100)}), platform::ProgramEnd);
  EXPECT_EQ(rt.transcript(), (Lines{"imgSetupWizard_MouseUp 2 0 100 100",
                                    R"(LoadCursorFromFileA Setup\images\hourglas.ani = 0)", "End"}));
  EXPECT_TRUE(rt.ended());
  EXPECT_TRUE(rt.started_programs().empty());
  EXPECT_EQ(rt.shown(Control::SetupWizard), R"(setup\images\setupwizarddown.gif)");
  EXPECT_EQ(rt.cursor(), FakeRuntime::kControlPointers);
  EXPECT_TRUE(rt.enabled(Control::ManualInstallation));
}

// End inside a wait ends the outer procedure too: no guide is opened.
TEST_F(MenuTest, EndInsideAWaitStopsTheOuterProcedure) {
  Start();
  rt.RemoveFile(kHourglass);
  rt.QueueAfter(500, Control::SetupWizard, MouseEvent::Up, Left(100, 100));
  EXPECT_THROW(Send({Control::Documentation, MouseEvent::Up, Left(100, 100)}), platform::ProgramEnd);
  EXPECT_EQ(rt.doevents_calls(), 500u);
  EXPECT_EQ(rt.transcript().back(), "End");
  EXPECT_EQ(rt.running_procedures(), 0);
}

TEST_F(MenuTest, MissingSetupProgramFailsWithBusyPointerSetAndButtonsEnabled) {
  Start();
  rt.RemoveFile(kSetupProgram);
  try {
    Send({Control::SetupWizard, MouseEvent::Up, Left(100, 100)});
    FAIL() << "the sequence went on without its program";
  } catch (const platform::RuntimeError& e) {
    EXPECT_EQ(e.operation(), "Shell");
    EXPECT_EQ(e.path(), kSetupProgram);
  }
  const Lines expected(kSetupSequence.begin(), kSetupSequence.begin() + 5);
  Lines effects = rt.transcript();
  effects.erase(effects.begin());
  EXPECT_EQ(effects, expected);
  EXPECT_EQ(rt.cursor(), kBusy);
  EXPECT_TRUE(rt.enabled(Control::SetupWizard));
  EXPECT_TRUE(rt.enabled(Control::ManualInstallation));
  EXPECT_EQ(rt.doevents_calls(), 0u);
}

TEST_F(MenuTest, MissingManualProgramFailsAfterTheNormalPicture) {
  Start();
  rt.RemoveFile(kManualProgram);
  EXPECT_THROW(Send({Control::ManualInstallation, MouseEvent::Up, Left(100, 100)}), platform::RuntimeError);
  EXPECT_EQ(rt.shown(Control::ManualInstallation), R"(setup\images\manualinstallation.gif)");
  EXPECT_EQ(rt.transcript().back(), R"(Shell manualinstallation\setup.exe 1)");
}

// ---- Missing pictures ------------------------------------------------------

TEST(MenuDiscTest, MissingPictureFailsWhenFirstNeededAndAssignsNothing) {
  const struct {
    const char* path;
    Step trigger;
  } kRows[] = {
      {R"(setup\images\setupwizarddown.gif)", {Control::SetupWizard, MouseEvent::Down, Left(10, 10)}},
      {R"(Setup\images\setupwizard.gif)", {Control::SetupWizard, MouseEvent::Up, Left(10, 10)}},
      {R"(setup\images\setupwizardhelp.gif)", kOverSetup},
      {R"(setup\images\manualinstallationdown.gif)", {Control::ManualInstallation, MouseEvent::Down, Left(10, 10)}},
      {R"(setup\images\manualinstallation.gif)", {Control::ManualInstallation, MouseEvent::Up, Left(10, 10)}},
      {R"(setup\images\manualinstallationhelp.gif)", kOverManual},
      {R"(setup\images\documentationdown.gif)", {Control::Documentation, MouseEvent::Down, Left(10, 10)}},
      {R"(setup\images\documentation.gif)", {Control::Documentation, MouseEvent::Up, Left(10, 10)}},
      {R"(setup\images\documentationhelp.gif)", kOverDocs},
      {R"(setup\images\exitdown.gif)", {Control::Exit, MouseEvent::Down, Left(300, 200)}},
      {R"(setup\images\exit.gif)", {Control::Exit, MouseEvent::Up, Left(300, 200)}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.path);
    auto rt = WithDisc();
    rt->RemoveFile(row.path);
    rt->Load();  // nothing but the general help is needed to start
    // The other buttons' help works without it.
    for (const Step& other : {kOverSetup, kOverManual, kOverDocs, kOverBackground}) {
      if (other.control != row.trigger.control) Send(*rt, other);
    }
    const std::string panel = rt->shown(Control::Help);
    const std::int16_t state = HelpStateOf(*rt);
    rt->ClearTranscript();
    try {
      Send(*rt, row.trigger);
      ADD_FAILURE() << "no error";
    } catch (const platform::RuntimeError& e) {
      EXPECT_EQ(e.operation(), "LoadPicture");
      EXPECT_EQ(e.path(), row.path);
    }
    EXPECT_EQ(rt->transcript().back(), std::string("LoadPicture ") + row.path);
    EXPECT_EQ(rt->shown(row.trigger.control), "(design-time)");
    EXPECT_EQ(rt->shown(Control::Help), panel);
    EXPECT_EQ(HelpStateOf(*rt), state);
    EXPECT_EQ(rt->cursor(), FakeRuntime::kControlPointers);
    EXPECT_TRUE(rt->started_programs().empty());
    EXPECT_EQ(rt->doevents_calls(), 0u);
  }
}

// ---- Nesting inside waits --------------------------------------------------

TEST_F(MenuTest, DocumentationReleasedInsideItsOwnWaitOpensTwiceInnerFirst) {
  Start();
  rt.QueueAfter(100, Control::Documentation, MouseEvent::Up, Left(600, 300));
  Send({Control::Documentation, MouseEvent::Up, Left(500, 200)});
  EXPECT_EQ(rt.transcript(), (Lines{
                                 "imgDocumentation_MouseUp 1 0 500 200",
                                 R"(LoadPicture setup\images\documentation.gif)",
                                 R"(SetPicture imgDocumentation setup\images\documentation.gif)",
                                 "DoEvents x100",
                                 "imgDocumentation_MouseUp 1 0 600 300",
                                 R"(LoadPicture setup\images\documentation.gif)",
                                 R"(SetPicture imgDocumentation setup\images\documentation.gif)",
                                 "DoEvents x60000",
                                 "hWnd 1234",
                                 R"(ShellExecuteA 1234 open Manual\UserGuideEng.html "" "" 1)",
                                 "DoEvents x59900",
                                 "hWnd 1234",
                                 R"(ShellExecuteA 1234 open Manual\UserGuideEng.html "" "" 1)",
                             }));
  EXPECT_FALSE(rt.unloaded());
}

// The outer release's test reads its own arguments, not the nested release's.
TEST_F(MenuTest, OuterReleaseKeepsItsOwnArgumentsAcrossANestedRelease) {
  Start();
  rt.QueueAfter(10, Control::Documentation, MouseEvent::Up, Left(100, 100));
  Send({Control::Documentation, MouseEvent::Up, Args(2, 100, 100)});
  const Lines lines = rt.transcript();
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       R"(ShellExecuteA 1234 open Manual\UserGuideEng.html "" "" 1)"), 1);
  EXPECT_EQ(lines.back(), "DoEvents x59990");
}

TEST_F(MenuTest, ExitInsideDocumentationWaitStillOpensGuideWithNoOwner) {
  Start();
  std::weak_ptr<platform::Form> window = rt.form();
  form.reset();
  rt.QueueAfter(1000, Control::Exit, MouseEvent::Up, Left(600, 200));
  rt.QueueAfter(70000, Control::Documentation, MouseEvent::Up, Left(100, 100));  // after the unload
  Send({Control::Documentation, MouseEvent::Up, Left(100, 100)});
  EXPECT_EQ(rt.transcript(), (Lines{
                                 "imgDocumentation_MouseUp 1 0 100 100",
                                 R"(LoadPicture setup\images\documentation.gif)",
                                 R"(SetPicture imgDocumentation setup\images\documentation.gif)",
                                 "DoEvents x1000",
                                 "imgExit_MouseUp 1 0 600 200",
                                 R"(LoadPicture setup\images\exit.gif)",
                                 R"(SetPicture imgExit setup\images\exit.gif)",
                                 "DoEvents x60000",
                                 "Unload",
                                 "DoEvents x59000",
                                 "hWnd 0",
                                 R"(ShellExecuteA 0 open Manual\UserGuideEng.html "" "" 1)",
                             }));
  EXPECT_TRUE(rt.unloaded());
  EXPECT_TRUE(window.expired());
  EXPECT_EQ(rt.running_procedures(), 0);
}

TEST_F(MenuTest, ExitInsideExitWaitUnloadsOnce) {
  Start();
  rt.QueueAfter(5, Control::Exit, MouseEvent::Up, Left(600, 200));
  Send({Control::Exit, MouseEvent::Up, Left(600, 200)});
  const Lines lines = rt.transcript();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(Lines(lines.end() - 3, lines.end()), (Lines{"Unload", "DoEvents x59995", "Unload (closed)"}));
  EXPECT_EQ(rt.doevents_calls(), 120000u);
}

TEST_F(MenuTest, ExitInsideSetupWizardWaitClosesWindowAndOuterFinishesHarmlessly) {
  Start();
  rt.QueueAfter(10, Control::Exit, MouseEvent::Down, Left(600, 200));
  rt.QueueAfter(20, Control::Exit, MouseEvent::Up, Left(600, 200));
  rt.QueueAfter(100000, Control::Exit, MouseEvent::Down, Left(600, 200));  // window already closed
  Send({Control::SetupWizard, MouseEvent::Up, Left(100, 100)});
  Lines expected(kSetupSequence.begin(), kSetupSequence.begin() + 7);
  expected.insert(expected.begin(), "imgSetupWizard_MouseUp 1 0 100 100");
  expected.insert(expected.end(), {
                                      "DoEvents x10",
                                      "imgExit_MouseDown 1 0 600 200",
                                      R"(LoadPicture setup\images\exitdown.gif)",
                                      R"(SetPicture imgExit setup\images\exitdown.gif)",
                                      "DoEvents x10",
                                      "imgExit_MouseUp 1 0 600 200",
                                      R"(LoadPicture setup\images\exit.gif)",
                                      R"(SetPicture imgExit setup\images\exit.gif)",
                                      "DoEvents x60000",
                                      "Unload",
                                      "DoEvents x3399980",
                                      "SetEnabled imgSetupWizard true (closed)",
                                      "SetCursor 1 = 256",
                                      "Unload (closed)",
                                  });
  EXPECT_EQ(rt.transcript(), expected);
  EXPECT_EQ(rt.doevents_calls(), 3460000u);
  EXPECT_TRUE(rt.unloaded());
  EXPECT_FALSE(rt.enabled(Control::SetupWizard));  // the closed window kept what it had
  EXPECT_EQ(rt.cursor(), FakeRuntime::kControlPointers);
  EXPECT_EQ(rt.started_programs(), Lines{kSetupProgram});
}

TEST_F(MenuTest, DuringSetupWizardWaitOnlyDocumentationExitAndPanelWork) {
  Start();
  const Step dead[] = {
      {Control::SetupWizard, MouseEvent::Down, Left(100, 100)},
      {Control::SetupWizard, MouseEvent::Move, Left(100, 100)},
      {Control::SetupWizard, MouseEvent::Up, Left(100, 100)},
      {Control::ManualInstallation, MouseEvent::Down, Left(100, 100)},
      {Control::ManualInstallation, MouseEvent::Move, Left(100, 100)},
      {Control::ManualInstallation, MouseEvent::Up, Left(100, 100)},
  };
  std::uint64_t at = 10;
  for (const Step& s : dead) rt.QueueAfter(at++, s.control, s.event, s.args);
  rt.QueueAfter(100, Control::Documentation, MouseEvent::Move, Left(100, 100));
  rt.QueueAfter(200, Control::Documentation, MouseEvent::Up, Left(100, 100));
  Send({Control::SetupWizard, MouseEvent::Up, Left(100, 100)});
  Lines expected(kSetupSequence.begin(), kSetupSequence.begin() + 7);
  expected.insert(expected.begin(), "imgSetupWizard_MouseUp 1 0 100 100");
  expected.insert(expected.end(), {
                                      "DoEvents x100",
                                      "imgDocumentation_MouseMove 1 0 100 100",
                                      R"(LoadPicture setup\images\documentationhelp.gif)",
                                      R"(SetPicture imgHelp setup\images\documentationhelp.gif)",
                                      "DoEvents x100",
                                      "imgDocumentation_MouseUp 1 0 100 100",
                                      R"(LoadPicture setup\images\documentation.gif)",
                                      R"(SetPicture imgDocumentation setup\images\documentation.gif)",
                                      "DoEvents x60000",
                                      "hWnd 1234",
                                      R"(ShellExecuteA 1234 open Manual\UserGuideEng.html "" "" 1)",
                                      "DoEvents x3399800",
                                      "SetEnabled imgSetupWizard true",
                                      "SetCursor 1 = 256",
                                      "Unload",
                                  });
  EXPECT_EQ(rt.transcript(), expected);
  EXPECT_EQ(rt.started_programs(), Lines{kSetupProgram});
  EXPECT_EQ(HelpState(), 3);
}

// ---- The scripted runtime itself -------------------------------------------

TEST_F(MenuTest, QueuedEventsArriveAtTheirCallEvenAfterEarlierWaits) {
  Start();
  Send({Control::Exit, MouseEvent::Up, Args(2, 600, 200)});  // 60000 calls, window stays
  rt.QueueAt(60003, Control::Ole1, MouseEvent::Move, Left(0, 0));
  rt.QueueAt(60003, Control::Documentation, MouseEvent::Move, Left(0, 0));
  rt.ClearTranscript();
  for (int i = 0; i < 5; ++i) rt.DoEvents();
  EXPECT_EQ(rt.transcript(), (Lines{"DoEvents x3", "OLE1_MouseMove 1 0 0 0", "imgDocumentation_MouseMove 1 0 0 0",
                                    R"(LoadPicture setup\images\documentationhelp.gif)",
                                    R"(SetPicture imgHelp setup\images\documentationhelp.gif)",
                                    "DoEvents x2"}));
}

}  // namespace
