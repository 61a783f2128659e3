// The window's procedures with the real layout and binding table, on the real
// window core over a disc in memory: each scenario is a disc, the input a user
// gives (at once, or from inside a wait) and the transcript of what follows.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "assets/encode.h"
#include "autorun/program.h"
#include "tests/support/null_window.h"

namespace {

using namespace platform;
using testing_support::NullWindow;

constexpr Control kSetup = Control::SetupWizard, kManual = Control::ManualInstallation,
                  kDocs = Control::Documentation, kExit = Control::Exit, kBack = Control::Ole1, kHelp = Control::Help;

PixelRect DesignArea(Control c) {
  const ControlLayout& l = *FindControl(autorun::Layout(), c);
  return {PixelsFromTwips(l.left), PixelsFromTwips(l.top), PixelsFromTwips(l.width), PixelsFromTwips(l.height)};
}

// Input at a pixel of a control's design-time place; `at` 0: once the previous step is handled.
struct Step {
  InputKind kind;
  Control control;
  int x, y;
  std::int16_t button = 1;
  std::uint64_t at = 0;
  Key key = Key::Other;
  std::int16_t shift = 0;
  bool repeat = false;
};
Step D(Control c, int x = 10, int y = 10, std::int16_t b = 1) { return {InputKind::Press, c, x, y, b}; }
Step M(Control c, int x = 10, int y = 10) { return {InputKind::Motion, c, x, y, 0}; }
Step U(Control c, int x = 10, int y = 10, std::int16_t b = 1) { return {InputKind::Release, c, x, y, b}; }
Step At(std::uint64_t pump, Step s) { return s.at = pump, s; }
Step KeyDown(Key k, std::int16_t shift = 0, bool repeat = false) {
  return {InputKind::KeyDown, kBack, 0, 0, 0, 0, k, shift, repeat};
}
Step KeyUp(Key k) { return {InputKind::KeyUp, kBack, 0, 0, 0, 0, k}; }
std::vector<Step> Keys(Key k, int times = 1) {
  std::vector<Step> keys;
  for (int i = 0; i < times; ++i) keys.insert(keys.end(), {KeyDown(k), KeyUp(k)});
  return keys;
}
std::vector<Step> Click(Control c, int x = 10, int y = 10, std::int16_t b = 1) { return {D(c, x, y, b), U(c, x, y, b)}; }

#define IMG R"(setup\images\)"
const char* const kPictures[] = {IMG "help.gif", IMG "setupwizardhelp.gif", IMG "manualinstallationhelp.gif",
                                 IMG "documentationhelp.gif", IMG "setupwizard.gif", IMG "setupwizarddown.gif",
                                 IMG "manualinstallation.gif", IMG "manualinstallationdown.gif", IMG "documentation.gif",
                                 IMG "documentationdown.gif", IMG "exit.gif", IMG "exitdown.gif"};

// A disc with every file, each picture the size of its control's own; `missing` taken away once
// the window shows (or before it opens, with `from_start`). Returns what happened after the window
// showed, "ended" when the program stopped with input still to come, and the exit status if not 0.
std::string Play(const std::vector<std::string>& missing, const std::vector<Step>& steps, bool from_start = false) {
  NullWindow w(autorun::Program());
  for (std::string_view path : kPictures) {
    const Control c = path.find("help") != path.npos ? kHelp : path.find("setup") != path.npos ? kSetup
                      : path.find("manual") != path.npos ? kManual : path.find("doc") != path.npos ? kDocs : kExit;
    w.disc.AddPicture(path, DesignArea(c).w, DesignArea(c).h);
  }
  const pictures::Image dot{1, 1, {0xFF000000}};
  w.disc.Add(R"(Setup\images\hourglas.ani)", assets::EncodeCur1(dot, 0, 0));
  for (const char* file : {R"(Setup\Setup.exe)", R"(manualinstallation\setup.exe)", R"(Manual\UserGuideEng.html)"})
    w.disc.Add(file, {'x'});
  for (const std::string& file : missing) from_start ? w.disc.Remove(file) : void(w.missing_once_shown.insert(file));
  for (const Step& s : steps) {
    const PixelRect area = DesignArea(s.control);
    const bool press = s.kind == InputKind::Press;
    w.Send({s.kind, area.x + s.x, area.y + s.y, s.button, press ? s.button : std::int16_t{0}, s.shift, s.key, s.repeat},
           s.at);
  }
  const int status = w.Play();
  const std::string record = w.transcript.Take();
  return status == 0 ? record : record + "; status " + std::to_string(status);
}

std::string Fails(const std::string& operation, const std::string& path) {
  return "window closed; error: Run-time error: " + operation + " \"" + path + "\": file not found; status 1";
}

const std::string kPointer = R"(Setup\images\hourglas.ani)";
const std::string kGeneral = "imgHelp=help.gif", kEmpty = "imgHelp=", kSetupHelp = "imgHelp=setupwizardhelp.gif",
                  kManualHelp = "imgHelp=manualinstallationhelp.gif", kDocsHelp = "imgHelp=documentationhelp.gif",
                  kDocsClick = "imgDocumentation=documentationdown.gif; imgDocumentation=documentation.gif",
                  kExitClick = "imgExit=exitdown.gif; imgExit=exit.gif",
                  kManualClick = "imgManualInstallation=manualinstallationdown.gif; "
                                 "imgManualInstallation=manualinstallation.gif",
                  kOpenGuide = R"(open Manual\UserGuideEng.html owner 1234 '' '' 1)",
                  kStartManual = R"(start manualinstallation\setup.exe 1)",
                  kSetupPressed = "imgSetupWizard=setupwizarddown.gif",
                  kSetupBusy = kSetupPressed + "; pointer made from " + kPointer +
                               "; imgSetupWizard=setupwizard.gif; pointer " + kPointer,
                  kSetupStart = kSetupBusy + R"(; start Setup\Setup.exe 1; disable imgSetupWizard; )"
                                             "disable imgManualInstallation",
                  kSetupEnd = "enable imgSetupWizard; pointer own; window closed";

template <typename... Parts>
std::vector<Step> Steps(Parts... parts) {
  std::vector<Step> all;
  (all.insert(all.end(), std::begin(parts), std::end(parts)), ...);
  return all;
}
std::vector<Step> One(Step s) { return {s}; }

struct Scenario {
  const char* name;
  std::vector<std::string> missing;
  std::vector<Step> steps;
  std::string record;
};

const Scenario kScenarios[] = {
    // The help panel.
    {"each button's help once, the background's once", {},
     {M(kSetup), M(kSetup, 11), M(kManual), M(kDocs), M(kManual), M(kSetup), M(kDocs), M(kBack), M(kBack, 11)},
     kSetupHelp + "; " + kManualHelp + "; " + kDocsHelp + "; " + kManualHelp + "; " + kSetupHelp + "; " + kDocsHelp +
         "; " + kGeneral},
    {"outside the hover area the panel empties and the state stays", {},
     {M(kManual), M(kManual, 143), M(kManual, 148), M(kManual), M(kBack)},
     kManualHelp + "; " + kEmpty + "; " + kGeneral},
    {"controls without a procedure", {}, {M(kExit), M(kHelp), D(kHelp), U(kBack), D(kBack), U(kBack)}, ""},
    // Presses, and releases that no area decides.
    {"exit takes a press anywhere on it, with any button", {}, {D(kExit, 43, 23, 2)}, "imgExit=exitdown.gif"},
    {"any button presses", {}, {D(kDocs, 0, 0, 4)}, "imgDocumentation=documentationdown.gif"},
    {"only the left button releases", {},
     Steps(Click(kExit, 40, 13, 2), Click(kDocs, 10, 10, 4), Click(kManual, 10, 10, 2)),
     kExitClick + "; DoEvents x60000; " + kDocsClick + "; DoEvents x60000; " + kManualClick},
    {"manual installation starts on every release", {}, Steps(Click(kManual), Click(kManual)),
     kManualClick + "; " + kStartManual + "; " + kManualClick + "; " + kStartManual},
    {"setup wizard runs on any release anywhere", {}, {D(kSetup, 10, 10, 4), U(kSetup, -600, 600, 4)},
     kSetupStart + "; DoEvents x3400000; " + kSetupEnd},
    // A disc with files missing.
    {"no busy pointer ends the program at once", {kPointer}, Steps(Click(kSetup), One(M(kDocs))),
     kSetupPressed + "; ended"},
    {"no setup program fails with the busy pointer set", {R"(Setup\Setup.exe)"}, Click(kSetup),
     kSetupBusy + "; " + Fails("Shell", R"(Setup\Setup.exe)")},
    {"no manual installation program", {R"(manualinstallation\setup.exe)"}, Click(kManual),
     kManualClick + "; " + Fails("Shell", R"(manualinstallation\setup.exe)")},
    {"no user guide: nothing from the launcher", {R"(Manual\UserGuideEng.html)"}, Click(kDocs),
     kDocsClick + "; DoEvents x60000; " + kOpenGuide},
    // Procedures nested inside waits.
    {"end inside a wait ends the waiting procedure too", {kPointer}, Steps(Click(kDocs), One(At(500, U(kSetup)))),
     kDocsClick + "; DoEvents x500; ended"},
    {"documentation inside its own wait opens twice, inner first", {},
     Steps(Click(kDocs, 40, 20), One(At(100, D(kDocs))), One(At(100, U(kDocs)))),
     kDocsClick + "; DoEvents x100; " + kDocsClick + "; DoEvents x60000; " + kOpenGuide + "; DoEvents x59900; " +
         kOpenGuide},
    {"a waiting release tests its own arguments", {},
     Steps(Click(kDocs, 10, 10, 2), One(At(10, D(kDocs))), One(At(10, U(kDocs)))),
     kDocsClick + "; DoEvents x10; " + kDocsClick + "; DoEvents x60000; " + kOpenGuide + "; DoEvents x59990"},
    {"exit inside the documentation wait: the guide opens without an owner", {},
     Steps(Click(kDocs), One(At(1000, D(kExit, 40, 13))), One(At(1000, U(kExit, 40, 13)))),
     kDocsClick + "; DoEvents x1000; " + kExitClick + "; DoEvents x60000; window closed; DoEvents x59000; " +
         R"(open Manual\UserGuideEng.html owner 0 '' '' 1)"},
    {"exit inside its own wait closes the window once", {},
     Steps(Click(kExit, 40, 13), One(At(5, D(kExit, 40, 13))), One(At(5, U(kExit, 40, 13)))),
     kExitClick + "; DoEvents x5; " + kExitClick + "; DoEvents x60000; window closed; DoEvents x59995"},
    {"exit inside the setup wizard wait: the rest of the sequence changes nothing", {},
     Steps(Click(kSetup), One(At(10, D(kExit, 40, 13))), One(At(20, U(kExit, 40, 13))), One(At(100000, D(kExit)))),
     kSetupStart + "; DoEvents x10; imgExit=exitdown.gif; DoEvents x10; imgExit=exit.gif; DoEvents x60000; "
                   "window closed; DoEvents x3399980"},
    {"during the setup wizard wait both installation buttons let input through", {},
     Steps(Click(kSetup), One(At(10, D(kSetup))), One(At(11, M(kSetup, 12))), One(At(12, U(kSetup))),
           One(At(13, D(kManual))), One(At(14, M(kManual))), One(At(15, U(kManual))), One(At(100, M(kDocs))),
           One(At(200, D(kDocs))), One(At(200, U(kDocs)))),
     kSetupStart + "; DoEvents x100; " + kDocsHelp + "; DoEvents x100; " + kDocsClick + "; DoEvents x60000; " +
         kOpenGuide + "; DoEvents x3399800; " + kSetupEnd},
};

TEST(Menu, Scenarios) {
  for (const Scenario& s : kScenarios) EXPECT_EQ(Play(s.missing, s.steps), s.record) << s.name;
}

// Keys do what the mouse does at the centre of the focused button; the Exit button has no help.
const Scenario kKeyboard[] = {
    {"tab walks the buttons in order, round again", {}, Keys(Key::Tab, 5),
     kSetupHelp + "; " + kManualHelp + "; " + kDocsHelp + "; " + kSetupHelp},
    {"shift+tab and the arrows go back and forth", {},
     Steps(One(KeyDown(Key::Tab, 1)), Keys(Key::Up), Keys(Key::Left), Keys(Key::Down), Keys(Key::Right), Keys(Key::Down)),
     kDocsHelp + "; " + kManualHelp + "; " + kDocsHelp + "; " + kSetupHelp},
    {"enter is a click at the centre", {}, Steps(Keys(Key::Tab, 3), Keys(Key::Enter)),
     kSetupHelp + "; " + kManualHelp + "; " + kDocsHelp + "; " + kDocsClick + "; DoEvents x60000; " + kOpenGuide},
    {"space too, and its repeat does nothing more", {},
     Steps(Keys(Key::Tab, 4), One(KeyDown(Key::Space)), One(KeyDown(Key::Space, 0, true)), One(KeyDown(Key::Enter)),
           One(KeyUp(Key::Enter)), One(KeyUp(Key::Space))),
     kSetupHelp + "; " + kManualHelp + "; " + kDocsHelp + "; " + kExitClick + "; DoEvents x60000; window closed"},
    {"a release without its press, of another key, or after the focus moved, does nothing", {},
     Steps(One(KeyUp(Key::Space)), One(KeyDown(Key::Enter)), Keys(Key::Tab), One(KeyDown(Key::Space)),
           One(KeyUp(Key::Enter)), Keys(Key::Tab), One(KeyUp(Key::Space)), Keys(Key::Other)),
     kSetupHelp + "; " + kSetupPressed + "; " + kManualHelp},
    {"disabled buttons are skipped; focus leaves a button as it is disabled", {},
     Steps(Keys(Key::Tab), Keys(Key::Enter), One(At(10, KeyDown(Key::Tab))), One(At(20, KeyDown(Key::Tab))),
           One(At(30, KeyDown(Key::Enter))), One(At(30, KeyUp(Key::Enter)))),
     kSetupHelp + "; " + kSetupStart + "; DoEvents x1; " + kDocsHelp + "; DoEvents x29; " + kDocsClick +
         "; DoEvents x60000; " + kOpenGuide + "; DoEvents x3399970; " + kSetupEnd},
    {"keys keep their place among the mouse's input", {},
     Steps(Click(kDocs), One(At(10, M(kManual))), One(At(10, KeyDown(Key::Tab))), One(At(20, KeyDown(Key::Tab))),
           One(At(20, M(kDocs)))),
     kDocsClick + "; DoEvents x10; " + kManualHelp + "; " + kSetupHelp + "; DoEvents x10; " + kManualHelp + "; " +
         kDocsHelp + "; DoEvents x59980; " + kOpenGuide},
};

TEST(Menu, Keyboard) {
  for (const Scenario& s : kKeyboard) EXPECT_EQ(Play(s.missing, s.steps), s.record) << s.name;
}

// Every area as the window is made: closed ranges in twips, tested in single precision. No pixel
// gives these arguments, so the procedures are called as the core calls them.
struct Area {
  Control control;
  MouseEvent event;
  float x_low, x_high, y_low, y_high;
  std::string inside, outside;  // what follows the event
};

std::string Call(Control control, MouseEvent event, float x, float y) {
  NullWindow w(autorun::Program());
  for (std::string_view path : kPictures) w.disc.AddPicture(path, 20, 20);
  for (const char* file : {R"(manualinstallation\setup.exe)", R"(Manual\UserGuideEng.html)"}) w.disc.Add(file, {'x'});
  w.Open();
  w.transcript.Take();
  w.RunProcedure(control, event, MouseArgs{1, 0, x, y});
  return w.transcript.Take();
}

TEST(Menu, AreasIncludeTheirBoundsAndNothingAFloatStepBeyond) {
  const std::string wait = "; DoEvents x60000";
  const Area kAreas[] = {
      {kSetup, MouseEvent::Down, 0, 2170, 0, 410, kSetupPressed, ""},
      {kManual, MouseEvent::Down, 0, 2170, 0, 410, "imgManualInstallation=manualinstallationdown.gif", ""},
      {kDocs, MouseEvent::Down, 0, 2170, 0, 410, "imgDocumentation=documentationdown.gif", ""},
      {kManual, MouseEvent::Up, 0, 2170, 0, 410, "imgManualInstallation=manualinstallation.gif; " + kStartManual,
       "imgManualInstallation=manualinstallation.gif"},
      {kDocs, MouseEvent::Up, 0, 2170, 0, 410, "imgDocumentation=documentation.gif" + wait + "; " + kOpenGuide,
       "imgDocumentation=documentation.gif" + wait},
      {kExit, MouseEvent::Up, 100, 1300, 100, 360, "imgExit=exit.gif" + wait + "; window closed", "imgExit=exit.gif" + wait},
      {kSetup, MouseEvent::Move, 0, 2130, 0, 705, kSetupHelp, kEmpty},
      {kManual, MouseEvent::Move, 0, 2130, 0, 705, kManualHelp, kEmpty},
      {kDocs, MouseEvent::Move, 0, 2170, 0, 410, kDocsHelp, kEmpty},
  };
  for (const Area& a : kAreas)
    for (float x : {a.x_low, a.x_high})
      for (float y : {a.y_low, a.y_high}) {
        const float out_x = std::nextafter(x, x == a.x_low ? -INFINITY : INFINITY);
        const float out_y = std::nextafter(y, y == a.y_low ? -INFINITY : INFINITY);
        const float in_x = std::nextafter(x, x == a.x_low ? INFINITY : -INFINITY);
        const float in_y = std::nextafter(y, y == a.y_low ? INFINITY : -INFINITY);
        for (auto [px, py, inside] : {std::tuple{x, y, true}, {in_x, in_y, true}, {out_x, y, false}, {x, out_y, false}})
          EXPECT_EQ(Call(a.control, a.event, px, py), inside ? a.inside : a.outside)
              << FindControl(autorun::Layout(), a.control)->name << " " << int(a.event) << " at " << px << ", " << py;
      }
}

}  // namespace
