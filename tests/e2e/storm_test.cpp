// Floods of input through the real launcher: a million pointer movements, and
// thousands of clicks nested inside one Setup Wizard wait. The launcher keeps
// up, acts on every passing release exactly once, and never crashes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

// After GoogleTest, whose names X's macros would clash with.
#include "tests/e2e/launcher_fixture.h"

#include <X11/extensions/XTest.h>

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;
using Storms = BareDisplayTest;

// Generous bounds for the storms; each wait ends as soon as its condition holds.
constexpr Millis kDrainDeadline{180000};
constexpr Millis kStormExitDeadline{600000};
constexpr int kFlushEvery = 512;  // requests between flushes: Xlib flushes a full buffer anyway

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::optional<long> StatusField(pid_t pid, const char* field) {
  std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
  std::string wanted = std::string(field) + ":";
  for (std::string line; std::getline(status, line);) {
    if (!line.starts_with(wanted)) continue;
    long kib = 0;
    if (std::sscanf(line.c_str() + wanted.size(), "%ld", &kib) == 1) return kib;
  }
  return std::nullopt;
}

// A path through every control and the background, in 3-pixel steps, as
// client points; it ends where it starts.
std::vector<Point> Tour() {
  const Point stops[] = {
      kOnBackground,
      {kSetupWizardButton.x + 55, kSetupWizardButton.y + 12},
      {kManualInstallationButton.x + 20, kManualInstallationButton.y + 11},
      {kManualInstallationButton.x + 146, kManualInstallationButton.y + 11},  // right of its hover rectangle
      {kDocumentationButton.x + 59, kDocumentationButton.y + 12},
      {kExitButton.x + 22, kExitButton.y + 12},
      {kHelpPanel.x + 188, kHelpPanel.y + 36},
      {600, 450},  // background, bottom right
  };
  constexpr int kStep = 3;
  std::vector<Point> tour;
  const std::size_t n = std::size(stops);
  for (std::size_t i = 0; i < n; ++i) {
    Point a = stops[i], b = stops[(i + 1) % n];
    int steps = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)) / kStep + 1;
    for (int s = 0; s < steps; ++s)
      tour.push_back({a.x + (b.x - a.x) * s / steps, a.y + (b.y - a.y) * s / steps});
  }
  return tour;
}

class MotionStorm : public BareDisplayTest {
 protected:
  // Sends `count` movements along the tour, then one onto `end`; returns the seconds taken to inject them.
  double Storm(const Session& s, long count, Point end) {
    static const std::vector<Point> tour = Tour();
    Display* dpy = x().dpy();
    const int screen = DefaultScreen(dpy);
    auto started = Clock::now();
    for (long i = 0; i < count; ++i) {
      const Point p = tour[static_cast<std::size_t>(i) % tour.size()];
      XTestFakeMotionEvent(dpy, screen, s.origin.x + p.x, s.origin.y + p.y, CurrentTime);
      if (i % kFlushEvery == 0) XFlush(dpy);
    }
    XTestFakeMotionEvent(dpy, screen, s.origin.x + end.x, s.origin.y + end.y, CurrentTime);
    XSync(dpy, False);
    return Seconds(Clock::now() - started);
  }
};

struct MotionPhase {
  const char* name;
  long events;
  const ControlRect& end_on;
  Point end_at;
  DiscPicture panel;         // what the panel shows once the launcher has caught up
  const ControlRect& probe;  // one more movement, which only a correct HelpState answers...
  Point probe_at;
  DiscPicture panel_after;   // ...with this
};

const MotionPhase kMotionPhases[] = {
    {"ends over Documentation", 500000, kDocumentationButton, {40, 10}, DiscPicture::DocumentationHelp, kClientArea,
     kOnBackground, DiscPicture::Help},
    {"ends over the background", 500000, kClientArea, {500, 100}, DiscPicture::Help, kSetupWizardButton, {30, 8},
     DiscPicture::SetupWizardHelp},
};

TEST_F(MotionStorm, AMillionMovementsLeaveThePanelWhereThePointerEnds) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  long total = 0;
  double injecting = 0, catching_up = 0;
  for (const MotionPhase& phase : kMotionPhases) {
    SCOPED_TRACE(phase.name);
    const Point end{phase.end_on.x + phase.end_at.x, phase.end_on.y + phase.end_at.y};
    injecting += Storm(*s, phase.events, end);
    total += phase.events + 1;
    auto caught = Clock::now();
    EXPECT_EQ(WaitShows(*s, kHelpPanel, phase.panel, kDrainDeadline), "");
    ASSERT_TRUE(Settled(*s));
    catching_up += Seconds(Clock::now() - caught);
    ASSERT_TRUE(s->process->Running()) << Describe(s->process->WaitExit(Millis(0)));
    MoveTo(*s, phase.probe, phase.probe_at);
    EXPECT_EQ(WaitShows(*s, kHelpPanel, phase.panel_after), "") << "the panel and HelpState disagree";
  }
  std::printf("[ FIGURES  ] %ld movements injected in %.1f s; the launcher caught up %.1f s later; peak memory %ld KiB\n",
              total, injecting, catching_up, StatusField(s->process->pid(), "VmHWM").value_or(-1));
  EXPECT_EQ(s->process->Stderr(), "");
  Click(*s, kExitButton, kExitButton.Centre());
  auto status = s->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
}

// Clicks inside the Setup Wizard wait: Documentation pairs (every tenth with
// the right button, which opens nothing) and Exit pairs at the button's corner,
// outside its release rectangle, so none of them closes the window.
constexpr int kDocumentationPairs = 1500;
constexpr int kRightButtonEvery = 10;
constexpr int kExitEvery = 3;  // one Exit pair after every third Documentation pair
constexpr Point kExitCorner{2, 2};

TEST_F(Storms, ThousandsOfClicksInsideTheSetupWizardWaitActOnEveryPassingReleaseOnce) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kSetupWizardButton, kSetupWizardButton.Centre());
  ASSERT_TRUE(WaitLogLines(kSetupLog, 1)) << "the Setup Wizard sequence did not start";
  const pid_t pid = s->process->pid();
  const long stack_before = StatusField(pid, "VmStk").value_or(-1);

  Display* dpy = x().dpy();
  const int screen = DefaultScreen(dpy);
  const Point documentation = s->At(kDocumentationButton, kDocumentationButton.Centre());
  const Point exit = s->At(kExitButton, kExitCorner);
  int passing = 0, exits = 0, events = 0;
  auto move = [&](Point p) {
    XTestFakeMotionEvent(dpy, screen, p.x, p.y, CurrentTime);
    ++events;
  };
  auto button = [&](unsigned b, bool down) {
    XTestFakeButtonEvent(dpy, b, down, CurrentTime);
    ++events;
  };
  auto started = Clock::now();
  for (int i = 1; i <= kDocumentationPairs; ++i) {
    const unsigned b = i % kRightButtonEvery == 0 ? kRight : kLeft;
    move(documentation);
    button(b, true);
    move({documentation.x + 1, documentation.y});  // a held button's movement, inside the rectangles
    button(b, false);
    passing += b == kLeft;
    if (i % kExitEvery == 0) {
      move(exit);
      button(kLeft, true);
      button(kLeft, false);
      ++exits;
    }
    XFlush(dpy);
  }
  XSync(dpy, False);
  const double injecting = Seconds(Clock::now() - started);

  // Nothing passing went to Exit: the window stays until the sequence's own end.
  EXPECT_TRUE(s->process->Running()) << Describe(s->process->WaitExit(Millis(0)));
  EXPECT_TRUE(x().Viewable(s->window)) << "a release outside Exit's rectangle closed the window";

  // Until the launcher exits, watch its stack: nesting is bounded, so it stays small.
  long stack_peak = stack_before;
  bool panel_checked = false;
  std::string panel;
  auto deadline = Clock::now() + kStormExitDeadline;
  while (s->process->Running() && Clock::now() < deadline) {
    stack_peak = std::max(stack_peak, StatusField(pid, "VmStk").value_or(stack_peak));
    // Once every passing release has been acted on, only the outer wait is
    // left: the panel still shows what the last movement asked for.
    if (!panel_checked && disc().Log(kOpenLog).size() == static_cast<std::size_t>(passing)) {
      std::string seen = WaitShows(*s, kHelpPanel, DiscPicture::DocumentationHelp, Millis(0));
      if (x().Viewable(s->window)) {
        panel_checked = true;
        panel = seen;
      }
    }
    std::this_thread::sleep_for(Millis(20));
  }
  const double total = Seconds(Clock::now() - started);
  auto status = s->process->WaitExit(Millis(0));
  ASSERT_TRUE(status.has_value()) << "the launcher was still running after " << kStormExitDeadline.count() << " ms";
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_EQ(s->process->Stderr(), "");
  EXPECT_EQ(panel, "") << "the panel after the storm";

  // Openers started last may still be writing.
  WaitLogLines(kOpenLog, static_cast<std::size_t>(passing), Millis(30000));
  std::this_thread::sleep_for(Millis(500));
  const std::vector<std::string> opens = disc().Log(kOpenLog);
  EXPECT_EQ(opens.size(), static_cast<std::size_t>(passing)) << "guide opens against passing releases";
  const std::string expected = "1 " + disc().GuideAbsolutePath().string();
  std::size_t wrong = 0;
  for (const std::string& line : opens) wrong += line != expected;
  EXPECT_EQ(wrong, 0u) << "openers called with something other than the guide";
  const std::vector<std::string> setup = disc().Log(kSetupLog);
  ASSERT_FALSE(setup.empty());
  EXPECT_TRUE(setup.front().starts_with("started")) << setup.front();
  std::printf("[ FIGURES  ] %d events (%d Documentation pairs, %d passing; %d Exit pairs) injected in %.2f s; "
              "launcher ended after %.1f s; %zu guide opens; stack %ld KiB before, %ld KiB at most\n",
              events, kDocumentationPairs, passing, exits, injecting, total, opens.size(), stack_before, stack_peak);
}

}  // namespace
}  // namespace e2e
