#pragma once
// The end-to-end harness: a private Xvfb (and openbox when asked), the real
// launcher as a child process on a generated disc, XTest input, pixels through
// XGetImage and the pointer's shape through XFixes. The scenarios are written
// once and compiled twice: against the Linux launcher, and (AUTORUN_WINE)
// against the Windows launcher under Wine. What differs is kPlatform.
#include <gtest/gtest.h>
// After GoogleTest: X's macros clash with its names.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/picture.h"

namespace e2e {

namespace fs = std::filesystem;
using Millis = std::chrono::milliseconds;
using Bytes = std::vector<std::uint8_t>;
using platform::Image;

struct Platform {
  bool wine;
  bool unix_files;         // its discs can hold pipes, links and permission bits
  Millis exit_deadline;    // a run ending after a few 60000-count waits
  Millis sequence_deadline;  // the Setup Wizard's 3400000-count wait
  std::string_view guide_prefix;  // what the opener is handed before the guide's path
};
extern const Platform kPlatform;

// Polls until `done` holds or the deadline passes; the last answer.
bool Poll(const std::function<bool()>& done, Millis deadline, Millis step = Millis(20));

std::string ReadFile(const fs::path& file);
std::vector<std::string> ReadLines(const fs::path& file);
void WriteFile(const fs::path& file, std::string_view bytes, bool executable = false);

// A child in its own process group, killed with the test; output to files.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const fs::path& cwd, const std::vector<std::string>& env,
        const fs::path& output = {}, int fd3 = -1, uid_t user = 0);
  ~Child() { Kill(); }
  pid_t pid() const { return pid_; }
  bool Running();
  // The exit status, or 128 + the signal; nullopt while it runs at the deadline.
  std::optional<int> Wait(Millis deadline);
  void Kill();
  std::string Err() const { return ReadFile(output_.string() + ".err"); }
  std::vector<std::string> ErrLines() const { return ReadLines(output_.string() + ".err"); }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  fs::path output_;
};
std::string Describe(const std::optional<int>& status);
// The environment with NAME=value entries replaced or added ("NAME=" removes one).
std::vector<std::string> Environment(const std::vector<std::string>& overrides);
// The process has used no processor time for a while and sleeps: it has handled all it was sent.
bool Idle(pid_t pid, Millis deadline);

// Where the controls stand, in client pixels.
struct Rect {
  const char* name;
  int x, y, w, h;
  struct Point {
    int x, y;
  };
  Point Centre() const { return {w / 2, h / 2}; }
};
using Point = Rect::Point;
inline constexpr Rect kHelp{"imgHelp", 232, 272, 377, 73};
inline constexpr Rect kExit{"imgExit", 120, 432, 44, 24};
inline constexpr Rect kDocumentation{"imgDocumentation", 32, 384, 118, 25};
inline constexpr Rect kManual{"imgManualInstallation", 8, 334, 149, 23};
inline constexpr Rect kSetup{"imgSetupWizard", 74, 287, 110, 24};
inline constexpr Rect kClient{"client area", 0, 0, 641, 480};
inline constexpr Point kOnBackground{400, 60};
inline constexpr std::string_view kCaption = "Print Server Setup Wizard";
inline constexpr std::string_view kDialogTitle = "autorun";

// The disc files, as the test disc spells them.
inline constexpr std::string_view kBusyPointer = "Setup/images/hourglas.ani";
inline constexpr std::string_view kSetupProgram = "Setup/Setup.exe";
inline constexpr std::string_view kManualProgram = "manualinstallation/setup.exe";
inline constexpr std::string_view kGuide = "Manual/UserGuideEng.html";
std::string Picture(std::string_view name);  // "exitdown" -> "Setup/images/exitdown.gif"

// A disc in a temporary folder, every picture in colours of its own with a mark
// at its edges, so that a grab tells which picture shows and where. Its
// programs and the opener append a line each to one log: "setup ...",
// "manualinstallation ...", "open <argument>".
class Disc {
 public:
  explicit Disc(bool capitals = false);
  ~Disc();
  fs::path root, disc, log;
  std::string Name(std::string_view file) const;  // as spelled on this disc
  fs::path Path(std::string_view file) const { return disc / Name(file); }
  const Image& Expected(std::string_view picture) const;  // by the picture's file
  const std::vector<Image>& BusyFrames() const { return busy_; }
  std::vector<std::string> Log() const { return ReadLines(log); }
  std::size_t Count(std::string_view program) const;  // log lines of "setup", "manualinstallation" or "open"
  std::string PathVariable() const;

 private:
  bool capitals_;
  std::vector<Image> expected_, busy_;
};

// The test's own X connection.
class X {
 public:
  explicit X(const std::string& display);
  ~X();
  Display* dpy = nullptr;
  Window root = None;
  // A viewable window (below any frame) whose WM_NAME is `name`, not among `known`.
  Window Find(std::string_view name, const std::vector<Window>& known = {});
  std::vector<std::string> MappedNames();  // of the top-level windows mapped since the last call
  bool Viewable(Window w);
  std::optional<std::string> Text(Window w, const char* property, const char* type = "STRING");
  std::vector<unsigned long> Cardinals(Window w, const char* property);
  Point Origin(Window w);
  Image Grab(Window w, int x, int y, int width, int height);
  void Move(Point root_point);
  void Button(unsigned button, bool down);
  void Key(const char* keysym);
  void ReleaseButtons();
  struct Shape {
    int w = 0, h = 0, hot_x = 0, hot_y = 0;
    std::vector<std::uint32_t> pixels;
  };
  Shape Cursor();
  void Close(Window w);  // WM_DELETE_WINDOW, as a frame's close button sends it

 private:
  std::vector<Window> mapped_;
};

// One launcher and its window.
struct Session {
  std::unique_ptr<Child> process;
  Window window = None;
  Point origin{};
  pid_t owner = 0;  // the process that owns the window: under Wine not always the one started
};

class LauncherTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  static bool managed_;  // suites under openbox set it before SetUpTestSuite
  void SetUp() override;
  void TearDown() override;

  X& x() { return *x_; }
  Disc& disc() { return *disc_; }
  void NewDisc(bool capitals = false);

  // Starts a launcher without waiting for anything; `where` defaults to the disc.
  Child& Spawn(std::vector<std::string> arguments = {}, const fs::path& where = {},
               const std::vector<std::string>& env = {}, uid_t user = 0);
  // Starts a launcher and waits for its window showing the general help; nullptr after a failure.
  Session* Start(std::vector<std::string> arguments = {}, const std::vector<std::string>& env = {});
  // The window of a launcher already started, showing the general help.
  Session* Attach(Child& launcher);

  Point At(const Session& s, const Rect& r, Point offset) const {
    return {s.origin.x + r.x + offset.x, s.origin.y + r.y + offset.y};
  }
  void Move(const Session& s, const Rect& r, std::optional<Point> at = {}) {
    x().Move(At(s, r, at.value_or(r.Centre())));
  }
  void Click(const Session& s, const Rect& r, std::optional<Point> at = {}, unsigned button = 1);
  // "" once the control shows `expected` within the deadline, else what it showed.
  std::string Shows(const Session& s, const Rect& r, const Image& expected, Millis deadline = Millis(8000));
  std::string Shows(const Session& s, const Rect& r, std::string_view picture, Millis deadline = Millis(8000)) {
    return Shows(s, r, disc().Expected(picture), deadline);
  }
  std::string Identify(const Session& s, const Rect& r);
  X::Shape WaitCursor(const std::function<bool(const X::Shape&)>& ok);
  bool IsHand(const X::Shape& c) const { return c.w == 32 && c.h == 32 && c.hot_x == 5 && c.hot_y == 0; }
  bool IsBusy(const X::Shape& c) const;
  ::testing::AssertionResult Settled(const Session& s);
  // The run-time error: a dialog titled "autorun" with the message, the same two
  // lines on standard error, status 1 once Return dismisses it; `english` is the
  // second line after "autorun: Run-time error: ", or its beginning when it ends in "...".
  void ExpectError(Child& launcher, std::string_view chinese, std::string_view english);
  bool WaitLog(std::string_view program, std::size_t lines, Millis deadline = Millis(8000));

  std::vector<std::unique_ptr<Session>> sessions_;
  std::vector<std::unique_ptr<Child>> children_;

 private:
  std::unique_ptr<X> x_;
  std::unique_ptr<Disc> disc_;
};

// A picture file the build generated (build/assets/<name>), decoded.
std::optional<Image> BuildAsset(std::string_view name);
std::string Difference(const Image& actual, const Image& expected);
Image Crop(const Image& image, const Rect& r);
Bytes Encode(const Image& frame, int hot_x, int hot_y, int frames);  // an animated pointer

}  // namespace e2e
