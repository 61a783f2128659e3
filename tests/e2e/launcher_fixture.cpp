#include "tests/e2e/launcher_fixture.h"

#include <stdlib.h>

#include <cstdio>
#include <stdexcept>
#include <thread>

#include "tests/support/temp_dir.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr Millis kPollStep{20};
constexpr Millis kGoneDeadline{5000};

struct SharedDisplay {
  std::unique_ptr<XServer> server;
  fs::path logs;
  std::string unavailable;      // why there is no X server: the tests are skipped
  std::string manager_failure;  // why the window manager did not start: the tests fail
};

SharedDisplay& Shared() {
  static SharedDisplay shared;
  return shared;
}

std::string Hex(std::uint32_t argb) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", argb & 0xFFFFFFu);
  return text;
}

}  // namespace

std::string Difference(const pictures::Image& actual, const pictures::Image& expected) {
  if (actual.pixels.empty()) return "nothing could be read (window gone or not viewable)";
  if (actual.width != expected.width || actual.height != expected.height)
    return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) + ", expected " +
           std::to_string(expected.width) + "x" + std::to_string(expected.height);
  std::size_t differing = 0;
  std::string first;
  for (int y = 0; y < expected.height; ++y)
    for (int x = 0; x < expected.width; ++x) {
      if (actual.At(x, y) == expected.At(x, y)) continue;
      if (differing++ == 0)
        first = "first at (" + std::to_string(x) + ", " + std::to_string(y) + "): " + Hex(actual.At(x, y)) +
                " instead of " + Hex(expected.At(x, y));
    }
  if (differing == 0) return "";
  return std::to_string(differing) + " of " + std::to_string(expected.pixels.size()) + " pixels differ, " + first;
}

pictures::Image Crop(const pictures::Image& image, int x, int y, int width, int height) {
  pictures::Image out{width, height, {}};
  for (int row = y; row < y + height; ++row)
    for (int col = x; col < x + width; ++col) out.pixels.push_back(image.At(col, row));
  return out;
}

std::string Describe(const CursorShot& cursor) {
  return std::to_string(cursor.width) + "x" + std::to_string(cursor.height) + ", hot spot (" +
         std::to_string(cursor.hot_x) + ", " + std::to_string(cursor.hot_y) + ")";
}

bool SameShape(const CursorShot& cursor, const pictures::Image& frame, int hot_x, int hot_y) {
  if (cursor.width != frame.width || cursor.height != frame.height || cursor.hot_x != hot_x ||
      cursor.hot_y != hot_y || cursor.pixels.size() != frame.pixels.size())
    return false;
  for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
    bool clear = (frame.pixels[i] >> 24) == 0;
    if (clear ? (cursor.pixels[i] >> 24) != 0 : cursor.pixels[i] != frame.pixels[i]) return false;
  }
  return true;
}

std::optional<pictures::Image> BuildAsset(std::string_view name) {
  std::string bytes = ReadFile(BuildDir() / "assets" / name);
  if (bytes.empty()) return std::nullopt;
  auto decoded = pictures::DecodePicture(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (auto* image = std::get_if<pictures::Image>(&decoded)) return std::move(*image);
  return std::nullopt;
}

void LauncherTest::StartDisplay(bool with_window_manager) {
  SharedDisplay& shared = Shared();
  try {
    shared.logs = testing_support::MakeTempFolder("e2e-x");
  } catch (const std::runtime_error& e) {
    shared.unavailable = e.what();
    return;
  }
  shared.server = XServer::Start(shared.logs, &shared.unavailable);
  if (shared.server && with_window_manager && !shared.server->StartWindowManager(&shared.manager_failure))
    shared.manager_failure = "window manager: " + shared.manager_failure;
}

void LauncherTest::StopDisplay() {
  SharedDisplay& shared = Shared();
  shared.server.reset();
  std::error_code ignored;
  if (!shared.logs.empty()) fs::remove_all(shared.logs, ignored);
  shared = SharedDisplay{};
}

const std::string& LauncherTest::display() { return Shared().server->display(); }

void LauncherTest::SetUp() {
  const SharedDisplay& shared = Shared();
  if (!shared.server) GTEST_SKIP() << "no X server for the end-to-end tests: " << shared.unavailable;
  ASSERT_TRUE(shared.manager_failure.empty()) << shared.manager_failure;
  ASSERT_TRUE(fs::exists(LauncherExecutable()))
      << "the launcher " << LauncherExecutable() << " is missing: build the autorun target first";
  client_ = std::make_unique<XClient>(display());
  ASSERT_TRUE(client_->ok()) << client_->error();
  disc_ = std::make_unique<TestDisc>();
  x().ReleaseHeldButtons();
  x().MoveTo({0, 0});  // off every launcher window, which opens centred
}

void LauncherTest::TearDown() {
  std::vector<Window> windows;
  for (auto& s : sessions_) windows.push_back(s->window);
  sessions_.clear();  // kills what still runs
  bare_.clear();
  if (!client_) return;
  client_->ReleaseHeldButtons();
  // Leave nothing on the screen for the next test to find.
  for (Window w : windows) client_->WaitGone(w, kGoneDeadline);
  auto deadline = Clock::now() + kGoneDeadline;
  while (!client_->ViewableWindowsNamed(std::string(kDialogTitle)).empty() && Clock::now() < deadline)
    std::this_thread::sleep_for(kPollStep);
}

Launcher& LauncherTest::Spawn(const fs::path& folder, std::vector<std::string> arguments, bool with_display) {
  LaunchOptions options{folder, with_display ? display() : "", disc().PathVariable(), std::move(arguments),
                        disc().root(), run_as_};
  bare_.push_back(std::make_unique<Launcher>(options));
  return *bare_.back();
}

Session* LauncherTest::Start(std::vector<std::string> arguments) {
  LaunchOptions options{disc().disc(), display(), disc().PathVariable(), std::move(arguments), disc().root(),
                        run_as_};
  auto session = std::make_unique<Session>();
  session->process = std::make_unique<Launcher>(options);
  if (!session->process->started()) {
    ADD_FAILURE() << "cannot start " << LauncherExecutable();
    return nullptr;
  }
  auto window = x().WaitForWindowOfPid(session->process->pid(), kWindowDeadline);
  if (!window) {
    ADD_FAILURE() << "no window of the launcher appeared within " << kWindowDeadline.count() << " ms; it is "
                  << Describe(session->process->WaitExit(Millis(0))) << "; " << x().DescribeWindowsOfPid(session->process->pid())
                  << "; stderr: " << session->process->Stderr();
    return nullptr;
  }
  session->window = *window;
  session->origin = x().ClientOrigin(*window);
  sessions_.push_back(std::move(session));
  Session* s = sessions_.back().get();
  if (std::string diff = WaitShows(*s, kHelpPanel, DiscPicture::Help); !diff.empty()) {
    ADD_FAILURE() << "the help panel never showed help.gif after start-up: " << diff;
    return nullptr;
  }
  return s;
}

void LauncherTest::Click(const Session& s, const ControlRect& control, Point offset, unsigned button) {
  MoveTo(s, control, offset);
  x().Press(button);
  x().Release(button);
}

pictures::Image LauncherTest::Grab(const Session& s, const ControlRect& control) {
  return Grab(s, control, control.width, control.height);
}

pictures::Image LauncherTest::Grab(const Session& s, const ControlRect& control, int width, int height) {
  return x().Grab(s.window, control.x, control.y, width, height);
}

std::string LauncherTest::WaitShows(const Session& s, const ControlRect& control, const pictures::Image& expected,
                                    Millis deadline) {
  auto end = Clock::now() + deadline;
  for (;;) {
    std::string diff = Difference(Grab(s, control, expected.width, expected.height), expected);
    if (diff.empty() || Clock::now() >= end)
      return diff.empty() ? diff : std::string(control.name) + ": " + diff + " (it shows " + Identify(s, control) + ")";
    std::this_thread::sleep_for(kPollStep);
  }
}

std::string LauncherTest::WaitShows(const Session& s, const ControlRect& control, DiscPicture picture,
                                    Millis deadline) {
  return WaitShows(s, control, disc().Expected(picture), deadline);
}

std::string LauncherTest::Identify(const Session& s, const ControlRect& control) {
  for (int i = 0; i <= static_cast<int>(DiscPicture::ExitDown); ++i) {
    const pictures::Image& candidate = disc().Expected(static_cast<DiscPicture>(i));
    if (candidate.width > kClientArea.width - control.x || candidate.height > kClientArea.height - control.y)
      continue;
    if (Difference(Grab(s, control, candidate.width, candidate.height), candidate).empty())
      return std::string(TestDisc::LayoutName(static_cast<DiscPicture>(i)));
  }
  return "none of the disc's pictures";
}

CursorShot LauncherTest::WaitCursor(const std::function<bool(const CursorShot&)>& accept, Millis deadline) {
  auto end = Clock::now() + deadline;
  for (;;) {
    CursorShot shot = x().Cursor();
    if (accept(shot) || Clock::now() >= end) return shot;
    std::this_thread::sleep_for(kPollStep);
  }
}

bool LauncherTest::IsHand(const CursorShot& c) const {
  return c.width == kHandSide && c.height == kHandSide && c.hot_x == kHandHotX && c.hot_y == kHandHotY;
}

bool LauncherTest::IsArrow(const CursorShot& c) const {
  return c.width == kArrowWidth && c.height == kArrowHeight && c.hot_x == 0 && c.hot_y == 0;
}

bool LauncherTest::IsBusy(const CursorShot& c) const {
  for (const pictures::Image& frame : disc_->BusyFrames())
    if (SameShape(c, frame, kBusyHotX, kBusyHotY)) return true;
  return false;
}

::testing::AssertionResult LauncherTest::Settled(const Session& s) {
  if (WaitIdle(s.process->pid(), kIdleQuiet, kIdleDeadline)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the launcher did not come to rest within " << kIdleDeadline.count()
                                       << " ms (" << Describe(s.process->WaitExit(Millis(0))) << ")";
}

std::optional<Window> LauncherTest::WaitForDialog(Millis deadline) {
  return x().WaitForWindowNamed(std::string(kDialogTitle), deadline);
}

bool LauncherTest::WaitLogLines(std::string_view log, std::size_t lines, Millis deadline) {
  auto end = Clock::now() + deadline;
  while (disc().Log(log).size() < lines) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(kPollStep);
  }
  return true;
}

}  // namespace e2e
