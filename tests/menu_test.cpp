// The window's procedures with the real layout and binding table, driven
// through the scripted runtime: each scenario is a disc, the events sent (at
// once or from inside a wait) and the record of every operation they cause.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "autorun/program.h"
#include "tests/support/fake_runtime.h"

namespace {

using namespace platform;
using testing_support::FakeRuntime;

constexpr Control kSetup = Control::SetupWizard, kManual = Control::ManualInstallation,
                  kDocs = Control::Documentation, kExit = Control::Exit, kBack = Control::Ole1;

struct Step {
  char kind;  // 'D'own, 'M'ove, 'U'p, or 'L'oad
  Control control = kBack;
  float x = 100, y = 100;
  std::int16_t button = 1;
  std::uint64_t at = 0;  // from inside this DoEvents call; 0: sent at once
};
Step D(Control c, float x = 100, float y = 100, std::int16_t b = 1) { return {'D', c, x, y, b}; }
Step M(Control c, float x = 100, float y = 100) { return {'M', c, x, y}; }
Step U(Control c, float x = 100, float y = 100, std::int16_t b = 1) { return {'U', c, x, y, b}; }
Step At(std::uint64_t call, Step s) { return s.at = call, s; }
const Step kLoad{'L'};

// Files present at start-up, then taken away; an error ends its step, not the scenario.
// Steps from inside a wait come first.
std::string Play(const std::vector<std::string>& missing, const std::vector<Step>& steps) {
  FakeRuntime rt(autorun::Program());
  rt.Load();
  rt.TakeRecord();
  rt.missing.insert(missing.begin(), missing.end());
  for (const Step& s : steps) {
    const MouseEvent event = s.kind == 'D' ? MouseEvent::Down : s.kind == 'M' ? MouseEvent::Move : MouseEvent::Up;
    const MouseArgs args{s.button, 0, s.x, s.y};
    if (s.at > 0) {
      rt.queue.emplace(s.at, FakeRuntime::Queued{s.control, event, args});
      continue;
    }
    try {
      s.kind == 'L' ? rt.Load() : rt.Deliver(s.control, event, args);
    } catch (const RuntimeError& e) {
      rt.Note("! " + e.operation() + " " + e.path());
    } catch (const ProgramEnd&) {
    }
  }
  return rt.TakeRecord();
}

#define IMG R"(setup\images\)"
const std::string kGeneral = "imgHelp=" IMG "help.gif", kEmpty = "imgHelp=",
                  kSetupHelp = "imgHelp=" IMG "setupwizardhelp.gif",
                  kManualHelp = "imgHelp=" IMG "manualinstallationhelp.gif",
                  kDocsHelp = "imgHelp=" IMG "documentationhelp.gif",
                  kDocsNormal = "imgDocumentation=" IMG "documentation.gif", kExitNormal = "imgExit=" IMG "exit.gif",
                  kManualNormal = "imgManualInstallation=" IMG "manualinstallation.gif",
                  kDocsUp = "imgDocumentation_MouseUp; " + kDocsNormal, kExitUp = "imgExit_MouseUp; " + kExitNormal,
                  kManualUp = "imgManualInstallation_MouseUp; " + kManualNormal,
                  kOpenGuide = R"(hWnd; ShellExecuteA 1234 open Manual\UserGuideEng.html '' '' 1)",
                  kStartManual = R"(Shell manualinstallation\setup.exe 1)",
                  kSetupStart = R"(imgSetupWizard_MouseUp; LoadCursor Setup\images\hourglas.ani = 256; )"
                                R"(imgSetupWizard=Setup\images\setupwizard.gif; SetCursor 256 = 1; )"
                                R"(Shell Setup\Setup.exe 1; disable imgSetupWizard; disable imgManualInstallation)",
                  kSetupEnd = "enable imgSetupWizard; SetCursor 1 = 256; Unload";

struct Scenario {
  const char* name;
  std::vector<std::string> missing;
  std::vector<Step> steps;
  std::string record;
};

const Scenario kScenarios[] = {
    {"load shows the general help", {}, {kLoad}, kGeneral},
    {"load without the general help fails", {IMG "help.gif"}, {kLoad}, "! LoadPicture " IMG "help.gif"},
    {"a failed load still resets the help state", {IMG "help.gif"}, {M(kDocs), kLoad, M(kBack)},
     "imgDocumentation_MouseMove; " + kDocsHelp + "; ! LoadPicture " IMG "help.gif; OLE1_MouseMove"},
    // Help panel.
    {"each button's help once, the background's once",
     {}, {M(kSetup), M(kSetup), M(kManual), M(kDocs), M(kManual), M(kSetup), M(kDocs), M(kBack), M(kBack)},
     "imgSetupWizard_MouseMove; " + kSetupHelp + "; imgSetupWizard_MouseMove; imgManualInstallation_MouseMove; " +
         kManualHelp + "; imgDocumentation_MouseMove; " + kDocsHelp + "; imgManualInstallation_MouseMove; " +
         kManualHelp + "; imgSetupWizard_MouseMove; " + kSetupHelp + "; imgDocumentation_MouseMove; " + kDocsHelp +
         "; OLE1_MouseMove; " + kGeneral + "; OLE1_MouseMove"},
    {"outside the hover area empties the panel every time and keeps the state",
     {}, {M(kManual), M(kManual, 2200), M(kManual, 2200), M(kManual), M(kBack)},
     "imgManualInstallation_MouseMove; " + kManualHelp + "; imgManualInstallation_MouseMove; " + kEmpty +
         "; imgManualInstallation_MouseMove; " + kEmpty + "; imgManualInstallation_MouseMove; OLE1_MouseMove; " +
         kGeneral},
    {"controls without a procedure", {}, {M(kExit), M(Control::Help), D(Control::Help), U(kBack), D(kBack)}, ""},
    // Presses and releases that no area decides.
    {"exit takes every press", {}, {D(kExit, -5000, -5000, 2)}, "imgExit_MouseDown; imgExit=" IMG "exitdown.gif"},
    {"any button presses", {}, {D(kSetup, 0, 0, 2), D(kDocs, 2170, 410, 4)},
     "imgSetupWizard_MouseDown; imgSetupWizard=" IMG "setupwizarddown.gif; imgDocumentation_MouseDown; "
     "imgDocumentation=" IMG "documentationdown.gif"},
    {"only the left button releases", {}, {U(kExit, 600, 200, 2), U(kDocs, 100, 100, 4), U(kManual, 100, 100, 3)},
     kExitUp + "; DoEvents x60000; " + kDocsUp + "; DoEvents x60000; " + kManualUp},
    {"manual installation starts on every release", {}, {U(kManual), U(kManual)},
     kManualUp + "; " + kStartManual + "; " + kManualUp + "; " + kStartManual},
    {"setup wizard runs on any release anywhere", {}, {U(kSetup, -9000, 9000, 4)},
     kSetupStart + "; DoEvents x3400000; " + kSetupEnd},
    // A disc with files missing.
    {"no busy pointer ends the program at once", {R"(Setup\images\hourglas.ani)"}, {D(kSetup), U(kSetup), M(kDocs)},
     "imgSetupWizard_MouseDown; imgSetupWizard=" IMG "setupwizarddown.gif; imgSetupWizard_MouseUp; "
     R"(LoadCursor Setup\images\hourglas.ani = 0; End)"},
    {"no setup program fails with the busy pointer set", {R"(Setup\Setup.exe)"}, {U(kSetup)},
     kSetupStart.substr(0, kSetupStart.find("; disable")) + R"(; ! Shell Setup\Setup.exe)"},
    {"no manual installation program", {R"(manualinstallation\setup.exe)"}, {U(kManual)},
     kManualUp + "; " + kStartManual + R"(; ! Shell manualinstallation\setup.exe)"},
    {"each picture fails when first needed",
     {IMG "setupwizarddown.gif", R"(Setup\images\setupwizard.gif)", IMG "setupwizardhelp.gif",
      IMG "manualinstallationdown.gif", IMG "manualinstallation.gif", IMG "manualinstallationhelp.gif",
      IMG "documentationdown.gif", IMG "documentation.gif", IMG "documentationhelp.gif", IMG "exitdown.gif",
      IMG "exit.gif"},
     {D(kSetup), U(kSetup), M(kSetup), D(kManual), U(kManual), M(kManual), D(kDocs), U(kDocs), M(kDocs), D(kExit),
      U(kExit)},
     "imgSetupWizard_MouseDown; ! LoadPicture " IMG "setupwizarddown.gif; imgSetupWizard_MouseUp; "
     R"(LoadCursor Setup\images\hourglas.ani = 256; ! LoadPicture Setup\images\setupwizard.gif; )"
     "imgSetupWizard_MouseMove; ! LoadPicture " IMG "setupwizardhelp.gif; imgManualInstallation_MouseDown; "
     "! LoadPicture " IMG "manualinstallationdown.gif; imgManualInstallation_MouseUp; ! LoadPicture " IMG
     "manualinstallation.gif; imgManualInstallation_MouseMove; ! LoadPicture " IMG "manualinstallationhelp.gif; "
     "imgDocumentation_MouseDown; ! LoadPicture " IMG "documentationdown.gif; imgDocumentation_MouseUp; "
     "! LoadPicture " IMG "documentation.gif; imgDocumentation_MouseMove; ! LoadPicture " IMG
     "documentationhelp.gif; imgExit_MouseDown; ! LoadPicture " IMG "exitdown.gif; imgExit_MouseUp; "
     "! LoadPicture " IMG "exit.gif"},
    // Procedures nested inside waits.
    {"end inside a wait ends the waiting procedure too", {R"(Setup\images\hourglas.ani)"}, {At(500, U(kSetup)), U(kDocs)},
     kDocsUp + R"(; DoEvents x500; imgSetupWizard_MouseUp; LoadCursor Setup\images\hourglas.ani = 0; End)"},
    {"documentation inside its own wait opens twice, inner first", {}, {At(100, U(kDocs, 600, 300)), U(kDocs)},
     kDocsUp + "; DoEvents x100; " + kDocsUp + "; DoEvents x60000; " + kOpenGuide + "; DoEvents x59900; " +
         kOpenGuide},
    {"a waiting release tests its own arguments", {}, {At(10, U(kDocs)), U(kDocs, 100, 100, 2)},
     kDocsUp + "; DoEvents x10; " + kDocsUp + "; DoEvents x60000; " + kOpenGuide + "; DoEvents x59990"},
    {"exit inside the documentation wait: the guide opens without an owner", {}, {At(1000, U(kExit, 600, 200)), U(kDocs)},
     kDocsUp + "; DoEvents x1000; " + kExitUp + R"(; DoEvents x60000; Unload; DoEvents x59000; )"
     R"(hWnd; ShellExecuteA 0 open Manual\UserGuideEng.html '' '' 1)"},
    {"exit inside its own wait unloads once", {}, {At(5, U(kExit, 600, 200)), U(kExit, 600, 200)},
     kExitUp + "; DoEvents x5; " + kExitUp + "; DoEvents x60000; Unload; DoEvents x59995; Unload (closed)"},
    {"exit inside the setup wizard wait closes the window",
     {}, {At(10, D(kExit, 600, 200)), At(20, U(kExit, 600, 200)), At(100000, D(kExit, 600, 200)), U(kSetup)},
     kSetupStart + "; DoEvents x10; imgExit_MouseDown; imgExit=" IMG "exitdown.gif; DoEvents x10; " + kExitUp +
         "; DoEvents x60000; Unload; DoEvents x3399980; enable imgSetupWizard; SetCursor 1 = 256; Unload (closed)"},
    {"during the setup wizard wait both installation buttons are dead",
     {}, {At(10, D(kSetup)), At(11, M(kSetup)), At(12, U(kSetup)), At(13, D(kManual)), At(14, M(kManual)),
          At(15, U(kManual)), At(100, M(kDocs)), At(200, U(kDocs)), U(kSetup)},
     kSetupStart + "; DoEvents x100; imgDocumentation_MouseMove; " + kDocsHelp + "; DoEvents x100; " + kDocsUp +
         "; DoEvents x60000; " + kOpenGuide + "; DoEvents x3399800; " + kSetupEnd},
};

TEST(Menu, Scenarios) {
  for (const Scenario& s : kScenarios) EXPECT_EQ(Play(s.missing, s.steps), s.record) << s.name;
}

// Every area as the window is made: closed ranges in twips, tested in single precision.
struct Area {
  Control control;
  char kind;
  float x_low, x_high, y_low, y_high;
  std::string inside, outside;  // what follows the event
};

TEST(Menu, AreasIncludeTheirBoundsAndNothingAFloatStepBeyond) {
  const std::string down = "=" IMG, wait = "; DoEvents x60000";
  const Area kAreas[] = {
      {kSetup, 'D', 0, 2170, 0, 410, "imgSetupWizard" + down + "setupwizarddown.gif", ""},
      {kManual, 'D', 0, 2170, 0, 410, "imgManualInstallation" + down + "manualinstallationdown.gif", ""},
      {kDocs, 'D', 0, 2170, 0, 410, "imgDocumentation" + down + "documentationdown.gif", ""},
      {kManual, 'U', 0, 2170, 0, 410, kManualNormal + "; " + kStartManual, kManualNormal},
      {kDocs, 'U', 0, 2170, 0, 410, kDocsNormal + wait + "; " + kOpenGuide, kDocsNormal + wait},
      {kExit, 'U', 100, 1300, 100, 360, kExitNormal + wait + "; Unload", kExitNormal + wait},
      {kSetup, 'M', 0, 2130, 0, 705, kSetupHelp, kEmpty},
      {kManual, 'M', 0, 2130, 0, 705, kManualHelp, kEmpty},
      {kDocs, 'M', 0, 2170, 0, 410, kDocsHelp, kEmpty},
  };
  for (const Area& a : kAreas) {
    const char* event = a.kind == 'D' ? "_MouseDown" : a.kind == 'M' ? "_MouseMove" : "_MouseUp";
    const std::string name = std::string(FindControl(autorun::Layout(), a.control)->name) + event;
    for (float x : {a.x_low, a.x_high})
      for (float y : {a.y_low, a.y_high}) {
        const float out_x = std::nextafter(x, x == a.x_low ? -INFINITY : INFINITY);
        const float out_y = std::nextafter(y, y == a.y_low ? -INFINITY : INFINITY);
        const float in_x = std::nextafter(x, x == a.x_low ? INFINITY : -INFINITY);
        const float in_y = std::nextafter(y, y == a.y_low ? INFINITY : -INFINITY);
        for (auto [px, py, inside] : {std::tuple{x, y, true}, {in_x, in_y, true}, {out_x, y, false},
                                      {x, out_y, false}}) {
          const std::string& effect = inside ? a.inside : a.outside;
          EXPECT_EQ(Play({}, {Step{a.kind, a.control, px, py}}), name + (effect.empty() ? "" : "; " + effect))
              << "at " << px << ", " << py;
        }
      }
  }
}

}  // namespace
