#pragma once
// The fixture of the end-to-end tests: one private X server per test suite
// (optionally with a window manager), a fresh test disc and X connection per
// test, and helpers that start the launcher, drive it and read it back.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/picture.h"
#include "tests/e2e/launcher.h"
#include "tests/e2e/test_disc.h"
#include "tests/e2e/x_client.h"
#include "tests/e2e/x_server.h"

namespace e2e {

// Where the controls stand, in client pixels.
struct ControlRect {
  std::string_view name;
  int x, y, width, height;
  Point Centre() const { return {width / 2, height / 2}; }
};
inline constexpr ControlRect kHelpPanel{"imgHelp", 232, 272, 377, 73};
inline constexpr ControlRect kExitButton{"imgExit", 120, 432, 44, 24};
inline constexpr ControlRect kDocumentationButton{"imgDocumentation", 32, 384, 118, 25};
inline constexpr ControlRect kManualInstallationButton{"imgManualInstallation", 8, 334, 149, 23};
inline constexpr ControlRect kSetupWizardButton{"imgSetupWizard", 74, 287, 110, 24};
inline constexpr ControlRect kClientArea{"client area", 0, 0, 641, 480};
inline constexpr Point kOnBackground{400, 60};  // client pixel over the background only

inline constexpr std::string_view kCaption = "Print Server Setup Wizard";
inline constexpr std::string_view kDialogTitle = "autorun";

// X button numbers as XTest takes them.
inline constexpr unsigned kLeft = 1;
inline constexpr unsigned kRight = 3;

// Generous deadlines: waits end as soon as their condition holds.
inline constexpr Millis kWindowDeadline{15000};
inline constexpr Millis kShowDeadline{8000};
inline constexpr Millis kExitDeadline{20000};
inline constexpr Millis kIdleQuiet{300};
inline constexpr Millis kIdleDeadline{20000};

// The hand over the buttons and the launcher's own arrow elsewhere.
inline constexpr int kHandSide = 32, kHandHotX = 5, kHandHotY = 0;
inline constexpr int kArrowWidth = 12, kArrowHeight = 19;

// "" when equal; otherwise how many pixels differ and the first difference.
std::string Difference(const pictures::Image& actual, const pictures::Image& expected);
pictures::Image Crop(const pictures::Image& image, int x, int y, int width, int height);
std::string Describe(const CursorShot& cursor);  // "32x32, hot spot (5, 0)"
bool SameShape(const CursorShot& cursor, const pictures::Image& frame, int hot_x, int hot_y);

// A picture the build produced (build/assets/<name>), decoded; nullopt when absent.
std::optional<pictures::Image> BuildAsset(std::string_view name);

// One launcher and its window.
struct Session {
  std::unique_ptr<Launcher> process;
  Window window = None;
  Point origin;  // client (0, 0) in root coordinates

  Point At(const ControlRect& control, Point offset) const {
    return {origin.x + control.x + offset.x, origin.y + control.y + offset.y};
  }
};

class LauncherTest : public ::testing::Test {
 protected:
  // For SetUpTestSuite / TearDownTestSuite of each suite.
  static void StartDisplay(bool with_window_manager);
  static void StopDisplay();

  void SetUp() override;
  void TearDown() override;

  XClient& x() { return *client_; }
  TestDisc& disc() { return *disc_; }
  void UseDisc(Spelling spelling) { disc_ = std::make_unique<TestDisc>(spelling); }
  static const std::string& display();

  // Launchers started from now on in this test run as `who` (nothing: as the test).
  void RunLaunchersAs(std::optional<Credentials> who) { run_as_ = who; }

  // Starts a launcher without waiting for anything.
  Launcher& Spawn(const std::filesystem::path& folder, std::vector<std::string> arguments = {},
                  bool with_display = true);
  // Starts a launcher on this test's disc and waits for its window to show the
  // general help; nullptr (after recording a failure) when it does not.
  Session* Start(std::vector<std::string> arguments = {});

  void MoveTo(const Session& s, const ControlRect& control, Point offset) { x().MoveTo(s.At(control, offset)); }
  void MoveToCentre(const Session& s, const ControlRect& control) { MoveTo(s, control, control.Centre()); }
  void Click(const Session& s, const ControlRect& control, Point offset, unsigned button = kLeft);

  pictures::Image Grab(const Session& s, const ControlRect& control);
  pictures::Image Grab(const Session& s, const ControlRect& control, int width, int height);
  // Polls until the control shows `expected`; "" on success, else the last difference.
  std::string WaitShows(const Session& s, const ControlRect& control, const pictures::Image& expected,
                        Millis deadline = kShowDeadline);
  std::string WaitShows(const Session& s, const ControlRect& control, DiscPicture picture,
                        Millis deadline = kShowDeadline);
  // Names the disc picture that the control shows, for messages.
  std::string Identify(const Session& s, const ControlRect& control);

  // Polls the pointer shape until `accept` holds; the last shape seen.
  CursorShot WaitCursor(const std::function<bool(const CursorShot&)>& accept, Millis deadline = kShowDeadline);
  bool IsHand(const CursorShot& c) const;
  bool IsArrow(const CursorShot& c) const;
  bool IsBusy(const CursorShot& c) const;

  // The launcher has handled everything sent to it so far.
  ::testing::AssertionResult Settled(const Session& s);
  // The run-time error dialog, once it is shown.
  std::optional<Window> WaitForDialog(Millis deadline = kWindowDeadline);

  // True when the results log has at least `lines` lines before the deadline.
  bool WaitLogLines(std::string_view log, std::size_t lines, Millis deadline = kShowDeadline);

 private:
  std::unique_ptr<XClient> client_;
  std::unique_ptr<TestDisc> disc_;
  std::vector<std::unique_ptr<Session>> sessions_;
  std::vector<std::unique_ptr<Launcher>> bare_;
  std::optional<Credentials> run_as_;
};

// One bare X server per test suite: no window manager, so windows stay where
// their program puts them.
class BareDisplayTest : public LauncherTest {
 protected:
  static void SetUpTestSuite() { StartDisplay(false); }
  static void TearDownTestSuite() { StopDisplay(); }
};

// One X server with openbox per test suite: windows are framed and reparented.
class ManagedDisplayTest : public LauncherTest {
 protected:
  static void SetUpTestSuite() { StartDisplay(true); }
  static void TearDownTestSuite() { StopDisplay(); }
};

}  // namespace e2e
