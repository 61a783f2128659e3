// Benchmarks seen from outside the measured programs, on the X server named by DISPLAY.
//
//   x_harness startup ROUNDS BITMAP DISC FLOOR_PROGRAM [FEH]
//     process start to the window's first picture on screen, and peak resident
//     memory by then, of the launcher at the disc's root (at scale 1 and at
//     GDK_SCALE=2), the bare Xlib floor showing BITMAP and (when given) feh
//     showing BITMAP, interleaved round by round.
//   x_harness motion ID WHO over|across EVENTS ROUNDS BITMAP CWD PROGRAM [ARGS...]
//     EVENTS pointer motions injected with XTest over one button or across the
//     buttons and the background, then a close request; the time until the
//     window is gone, and the program's processor time per event. A program
//     that prints "calls|N|..." also gives procedure calls.
//   x_harness catchup ROUNDS STORM HOVERS BITMAP DISC FLOOR_PROGRAM
//     the launcher against FLOOR_PROGRAM (bench/bare_motion_window.cpp), which
//     only reads motion and shows the Documentation help when the pointer comes
//     onto that button, and the launcher at GDK_SCALE=2, each started in turn
//     each round: the time from the last of
//     STORM motions (each on another control than the last) to the resting
//     picture on screen, and HOVERS times from one motion onto the button to it.
//
// Prints "figure|..." lines (bench/figures.h) and notes on failures to stderr.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "autorun/program.h"
#include "bench/figures.h"
#include "bench/harness.h"
#include "pictures/picture.h"

namespace {

using bench::Clock;
using std::chrono::milliseconds;

// Window coordinates of the pixel that tells a frame is on screen: the bottom
// right of the background, away from the buttons and the help panel, so it is
// the background's own colour in every program and is drawn last by any that
// draw top-down.
constexpr int kSpotX = 630, kSpotY = 470;
constexpr std::uint32_t kRootColour = 0x204080;
// What a window shows before its program draws: the root's colour, or black.
constexpr std::uint32_t kUndrawn[] = {kRootColour, 0x000000};
constexpr milliseconds kStartDeadline{10000};
constexpr milliseconds kCloseGrace{3000};

// The bitmap's colour at the spot; false when it cannot tell a drawn window from an undrawn one.
bool SpotColour(const std::string& bitmap, std::uint32_t& rgb) {
  std::string why;
  if (!bench::PicturePixel(bitmap, kSpotX, kSpotY, rgb, why)) {
    std::fprintf(stderr, "x_harness: %s\n", why.c_str());
    return false;
  }
  for (std::uint32_t undrawn : kUndrawn)
    if (rgb == undrawn) {
      std::fprintf(stderr, "x_harness: %s has an undrawn window's colour at the spot watched\n", bitmap.c_str());
      return false;
    }
  return true;
}

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The launcher at scale 2: twice the size, each pixel repeated, so the spots keep their colours.
constexpr int kScaled = 2;
std::vector<std::string> AtScale2(const std::string& program) { return {"/usr/bin/env", "GDK_SCALE=2", program}; }

struct Contender {
  std::string id;
  std::string label;
  std::vector<std::string> argv;
  std::string cwd;
  int scale = 1;
  std::vector<double> millis{};
  std::vector<double> mebibytes{};
  int failures = 0;
};

struct Frame {
  Window window = None;
  double millis = 0;
  long peak_kib = -1;  // resident peak once the picture is on screen
};

// Starts the program and waits for its first picture; None window on failure.
Frame StartAndWatch(bench::Watcher& watcher, const std::vector<std::string>& argv, const std::string& cwd,
                    int scale, std::uint32_t spot_rgb, bench::Child& child) {
  watcher.Drain();
  const auto start = Clock::now();
  child = bench::Spawn(argv, cwd, false);
  if (child.pid <= 0) return {};
  const auto deadline = start + kStartDeadline;
  Window window = watcher.WaitForMap(child.pid, deadline);
  if (window == None || !watcher.WaitForPixel(window, kSpotX * scale, kSpotY * scale, spot_rgb, deadline))
    return {window, 0};
  const double millis = Millis(Clock::now() - start);
  return {window, millis, bench::PeakResidentKib(child.pid)};
}

bool RunOnce(bench::Watcher& watcher, Contender& c, std::uint32_t spot_rgb, bool record) {
  bench::Child child;
  const Frame frame = StartAndWatch(watcher, c.argv, c.cwd, c.scale, spot_rgb, child);
  if (child.pid <= 0) {
    std::fprintf(stderr, "note: %s could not be started\n", c.id.c_str());
    return false;
  }
  if (frame.window != None) watcher.SendDelete(frame.window);
  const bench::Ended ended = watcher.Reap(child.pid, kCloseGrace);
  const bool ok = frame.millis > 0 && frame.peak_kib > 0;
  if (frame.millis <= 0)
    std::fprintf(stderr, "note: %s showed no picture within %lld ms\n", c.id.c_str(),
                 static_cast<long long>(kStartDeadline.count()));
  else if (frame.peak_kib <= 0)
    std::fprintf(stderr, "note: the memory of %s could not be read\n", c.id.c_str());
  if (!ended.exited) std::fprintf(stderr, "note: %s did not close through its frame\n", c.id.c_str());
  if (ok && record) {
    c.millis.push_back(frame.millis);
    c.mebibytes.push_back(static_cast<double>(frame.peak_kib) / 1024.0);
  }
  return ok;
}

std::string AbsolutePath(const std::string& path) { return std::filesystem::absolute(path).string(); }

int Startup(int argc, char** argv) {
  if (argc != 6 && argc != 7) return -1;
  const int rounds = std::atoi(argv[2]);
  const std::string bitmap = AbsolutePath(argv[3]), disc = AbsolutePath(argv[4]);
  if (rounds <= 0) return -1;
  std::uint32_t spot_rgb = 0;
  if (!SpotColour(bitmap, spot_rgb)) return 1;
  std::vector<Contender> contenders = {
      {"floor", "bare Xlib window (floor)", {AbsolutePath(argv[5]), bitmap}, "."},
      {"autorun", "autorun on the sample disc", {disc + "/autorun"}, disc},
      {"autorun.x2", "autorun at scale 2 (GDK_SCALE=2)", AtScale2(disc + "/autorun"), disc, kScaled},
  };
  if (argc == 7) contenders.push_back({"feh", "feh", {argv[6], bitmap}, "."});
  bench::Watcher watcher;
  if (!watcher.Open()) {
    std::fputs("x_harness: cannot open the display\n", stderr);
    return 1;
  }
  watcher.PaintRoot(kRootColour);
  // One untimed round first: the files and libraries come into the page cache.
  for (int round = -1; round < rounds; ++round)
    for (std::size_t i = 0; i < contenders.size(); ++i) {
      // Each round starts with the next contender, so none always follows the same one.
      Contender& c = contenders[(i + static_cast<std::size_t>(round + 1)) % contenders.size()];
      if (!RunOnce(watcher, c, spot_rgb, round >= 0)) ++c.failures;
    }
  int failed = 0;
  for (const Contender& c : contenders) {
    if (c.millis.empty()) continue;
    bench::PrintFigure("startup.time." + c.id, c.label, bench::Summarise(c.millis), "ms");
    bench::PrintFigure("startup.rss." + c.id, c.label, bench::Summarise(c.mebibytes), "MiB");
    failed += c.failures;
  }
  for (const Contender& c : contenders) failed += c.millis.empty() ? 1 : 0;
  return failed == 0 ? 0 : 1;
}

// Pixel rectangles of the window's controls, from the launcher's own layout.
struct Box {
  int x, y, w, h;
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

Box ControlBox(platform::Control id) {
  const platform::ControlLayout* c = platform::FindControl(autorun::Layout(), id);
  return {platform::PixelsFromTwips(c->left), platform::PixelsFromTwips(c->top), platform::PixelsFromTwips(c->width),
          platform::PixelsFromTwips(c->height)};
}

struct Point {
  int x, y;
};

Point Centre(const Box& b) { return {b.x + b.w / 2, b.y + b.h / 2}; }

// Consecutive points always differ, so every injected motion is a real one.
std::vector<Point> MotionPath(const std::string& pattern) {
  using platform::Control;
  if (pattern == "over") {
    const Box b = ControlBox(Control::SetupWizard);
    std::vector<Point> path;
    for (int x = b.x + 2; x < b.x + b.w - 2; ++x) path.push_back({x, b.y + b.h / 2});
    return path;
  }
  // Button, background, next button, ...: each motion lands on another window.
  const Point background_a{300, 150}, background_b{400, 100};
  return {Centre(ControlBox(Control::SetupWizard)), background_a,
          Centre(ControlBox(Control::ManualInstallation)), background_b,
          Centre(ControlBox(Control::Documentation)), background_a,
          Centre(ControlBox(Control::Exit)), background_b};
}

bool PathAvoidsHelpPanel(const std::vector<Point>& path) {
  const Box help = ControlBox(platform::Control::Help);
  for (const Point& p : path)
    if (help.Contains(p.x, p.y)) return false;
  return true;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return text;
}

long CallsReported(const std::string& output) {
  const auto at = output.find("calls|");
  return at == std::string::npos ? -1 : std::atol(output.c_str() + at + 6);
}

struct MotionRun {
  double seconds = 0;
  long calls = -1;
  long peak_kib = -1;  // resident peak once every motion has been sent
};

bool InjectAndClose(bench::Watcher& watcher, Window window, pid_t pid, const std::vector<Point>& path, long events,
                    MotionRun& run) {
  Display* dpy = watcher.display();
  int root_x = 0, root_y = 0;
  Window child_window = None;
  XTranslateCoordinates(dpy, window, watcher.root(), 0, 0, &root_x, &root_y, &child_window);
  const int screen = DefaultScreen(dpy);
  XTestFakeMotionEvent(dpy, screen, 0, 0, CurrentTime);  // outside the window: no event for it
  XSync(dpy, False);
  const auto start = Clock::now();
  for (long i = 0; i < events; ++i) {
    const Point& p = path[static_cast<std::size_t>(i) % path.size()];
    XTestFakeMotionEvent(dpy, screen, root_x + p.x, root_y + p.y, CurrentTime);
  }
  XSync(dpy, False);
  run.peak_kib = bench::PeakResidentKib(pid);
  watcher.SendDelete(window);  // queued behind every motion: handled after them
  // A millisecond an event at most: a flood is handled, however slowly, or the run fails.
  if (!watcher.WaitForDestroy(window, Clock::now() + milliseconds(std::max(120000L, events)))) return false;
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return true;
}

int Motion(int argc, char** argv) {
  if (argc < 10) return -1;
  const std::string id = argv[2], who = argv[3], pattern = argv[4];
  const long events = std::atol(argv[5]);
  const int rounds = std::atoi(argv[6]);
  const std::string bitmap = AbsolutePath(argv[7]), cwd = AbsolutePath(argv[8]);
  std::vector<std::string> program(argv + 9, argv + argc);
  program[0] = AbsolutePath(program[0]);
  if ((pattern != "over" && pattern != "across") || events <= 0 || rounds <= 0) return -1;
  const std::vector<Point> path = MotionPath(pattern);
  if (!PathAvoidsHelpPanel(path)) {
    std::fputs("x_harness: the motion path crosses the help panel\n", stderr);
    return 1;
  }
  std::uint32_t spot_rgb = 0;
  if (!SpotColour(bitmap, spot_rgb)) return 1;
  bench::Watcher watcher;
  if (!watcher.Open()) {
    std::fputs("x_harness: cannot open the display\n", stderr);
    return 1;
  }
  watcher.PaintRoot(kRootColour);
  std::vector<double> event_rates, call_rates, cpu_per_event, peak_mib;
  for (int round = 0; round < rounds; ++round) {
    watcher.Drain();
    bench::Child child = bench::Spawn(program, cwd, true);
    if (child.pid <= 0) {
      std::fprintf(stderr, "note: %s could not be started\n", program[0].c_str());
      return 1;
    }
    const auto deadline = Clock::now() + kStartDeadline;
    const Window window = watcher.WaitForMap(child.pid, deadline);
    MotionRun run;
    const bool ok = window != None && watcher.WaitForPixel(window, kSpotX, kSpotY, spot_rgb, deadline) &&
                    InjectAndClose(watcher, window, child.pid, path, events, run);
    const bench::Ended ended = watcher.Reap(child.pid, kCloseGrace);
    run.calls = child.stdout_fd >= 0 ? CallsReported(ReadAll(child.stdout_fd)) : -1;
    if (!ok || !ended.exited || !WIFEXITED(ended.status) || WEXITSTATUS(ended.status) != 0) {
      std::fprintf(stderr, "note: %s round %d failed\n", id.c_str(), round);
      return 1;
    }
    event_rates.push_back(static_cast<double>(events) / run.seconds);
    cpu_per_event.push_back(ended.cpu_seconds * 1e6 / static_cast<double>(events));
    if (run.peak_kib > 0) peak_mib.push_back(static_cast<double>(run.peak_kib) / 1024.0);
    if (run.calls >= 0) call_rates.push_back(static_cast<double>(run.calls) / run.seconds);
  }
  const std::string where = who + (pattern == "over" ? ", over one button: " : ", across the buttons: ");
  bench::PrintFigure(id + ".events", where + "events handled", bench::Summarise(event_rates), "events/s");
  if (!call_rates.empty())
    bench::PrintFigure(id + ".calls", where + "MouseMove procedures run", bench::Summarise(call_rates), "calls/s");
  // The server's injection paces the rates above; this is what the program itself spent.
  bench::PrintFigure(id + ".cpu", where + "processor time per event", bench::Summarise(cpu_per_event), "us");
  if (!peak_mib.empty()) bench::PrintFigure(id + ".rss", where + "peak resident memory", bench::Summarise(peak_mib), "MiB");
  return 0;
}

// The first pixel of the help panel where `target` differs from every other help
// picture and from the floor's empty window: seeing it there means `target` is shown.
bool TellingSpot(const std::string& disc, const std::string& target, Point& spot, std::uint32_t& rgb) {
  std::vector<pictures::Image> others;
  std::optional<pictures::Image> shown;
  for (const char* name : {"help", "setupwizardhelp", "manualinstallationhelp", "documentationhelp"}) {
    std::ifstream in(disc + "/Setup/images/" + name + ".gif", std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto decoded = pictures::DecodePicture(bytes);
    if (!std::holds_alternative<pictures::Image>(decoded)) return false;
    (name == target ? shown.emplace() : others.emplace_back()) = std::get<pictures::Image>(std::move(decoded));
  }
  const Box help = ControlBox(platform::Control::Help);
  for (int y = 0; shown && y < shown->height; ++y)
    for (int x = 0; x < shown->width; ++x) {
      rgb = shown->At(x, y) & 0xFFFFFF;
      bool telling = rgb != 0;
      for (const pictures::Image& o : others) telling &= x >= o.width || y >= o.height || (o.At(x, y) & 0xFFFFFF) != rgb;
      if (telling) return spot = {help.x + x, help.y + y}, true;
    }
  return false;
}

struct Catchup {
  std::string id, label;
  std::vector<std::string> argv;
  std::string cwd;
  bool draws_background;  // ready once the background is on screen; the floor, once mapped
  int scale = 1;
  std::vector<double> storm_ms{}, whole_ms{}, hover_ms{};
};

// One round of a program: a storm, then hover after hover; false on a failure.
bool CatchupRound(bench::Watcher& watcher, Catchup& c, long storm, int hovers, Point at_1x, std::uint32_t target,
                  std::uint32_t background_rgb) {
  using platform::Control;
  watcher.Drain();
  bench::Child child = bench::Spawn(c.argv, c.cwd, false);
  if (child.pid <= 0) return false;
  Display* dpy = watcher.display();
  const int screen = DefaultScreen(dpy);
  const auto deadline = Clock::now() + kStartDeadline;
  const Window window = watcher.WaitForMap(child.pid, deadline);
  const int n = c.scale;  // window pixels for each of the layout's
  const Point spot{at_1x.x * n, at_1x.y * n};
  bool ok = window != None &&
            (!c.draws_background || watcher.WaitForPixel(window, kSpotX * n, kSpotY * n, background_rgb, deadline));
  int root_x = 0, root_y = 0;
  Window ignored = None;
  XTranslateCoordinates(dpy, window, watcher.root(), 0, 0, &root_x, &root_y, &ignored);
  auto move = [&](Point p) { XTestFakeMotionEvent(dpy, screen, root_x + p.x * n, root_y + p.y * n, CurrentTime); };
  auto spot_rgb = [&] {
    XImage* image = XGetImage(dpy, window, spot.x, spot.y, 1, 1, AllPlanes, ZPixmap);
    const std::uint32_t rgb = image != nullptr ? XGetPixel(image, 0, 0) & 0xFFFFFF : 0;
    if (image != nullptr) XDestroyImage(image);
    return rgb;
  };
  // From the motion handed to the server to the picture seen at the spot; the clock starts first, so
  // that time this harness loses to other processes counts against the measured program, not for it.
  auto timed = [&](Point p, std::vector<double>& into) {
    const auto start = Clock::now();
    move(p);
    XFlush(dpy);
    ok = ok && watcher.WaitForPixel(window, spot.x, spot.y, target, start + kStartDeadline);
    if (ok) into.push_back(Millis(Clock::now() - start));
  };
  // The pointer at rest on the background, the panel showing something else.
  const Point background_a{300, 150}, background_b{400, 100}, onto = Centre(ControlBox(Control::Documentation));
  auto away = [&] {
    move(background_a);
    XSync(dpy, False);
    const auto until = Clock::now() + kStartDeadline;
    while (ok && spot_rgb() == target) {
      ok = Clock::now() < until;
      std::this_thread::sleep_for(milliseconds(1));
    }
  };
  away();
  const Point path[] = {Centre(ControlBox(Control::SetupWizard)), background_b, Centre(ControlBox(Control::ManualInstallation)),
                        background_a};
  const auto storm_start = Clock::now();
  for (long i = 0; ok && i < storm; ++i) move(path[i % 4]);
  XFlush(dpy);
  timed(onto, c.storm_ms);
  if (ok) c.whole_ms.push_back(Millis(Clock::now() - storm_start));
  for (int i = 0; ok && i < hovers; ++i) {
    away();
    timed(onto, c.hover_ms);
  }
  if (window != None) watcher.SendDelete(window);
  const bench::Ended ended = watcher.Reap(child.pid, kCloseGrace);
  return ok && ended.exited;
}

int CatchUp(int argc, char** argv) {
  if (argc != 8) return -1;
  const int rounds = std::atoi(argv[2]), hovers = std::atoi(argv[4]);
  const long storm = std::atol(argv[3]);
  const std::string bitmap = AbsolutePath(argv[5]), disc = AbsolutePath(argv[6]);
  if (rounds <= 0 || storm <= 0 || hovers <= 0) return -1;
  std::uint32_t background_rgb = 0, target = 0;
  Point spot{};
  if (!SpotColour(bitmap, background_rgb)) return 1;
  if (!TellingSpot(disc, "documentationhelp", spot, target)) {
    std::fputs("x_harness: no pixel tells the Documentation help from the other help pictures\n", stderr);
    return 1;
  }
  const Box help = ControlBox(platform::Control::Help), onto = ControlBox(platform::Control::Documentation);
  std::vector<Catchup> contenders = {
      {"floor", "bare client that reads the motion (floor)",
       {AbsolutePath(argv[7]), disc + "/Setup/images/documentationhelp.gif", std::to_string(help.x), std::to_string(help.y),
        std::to_string(onto.x), std::to_string(onto.y), std::to_string(onto.w), std::to_string(onto.h)}, ".", false},
      {"launcher", "the launcher", {disc + "/autorun"}, disc, true},
      {"launcher.x2", "the launcher at scale 2", AtScale2(disc + "/autorun"), disc, true, kScaled},
  };
  bench::Watcher watcher;
  if (!watcher.Open()) {
    std::fputs("x_harness: cannot open the display\n", stderr);
    return 1;
  }
  watcher.PaintRoot(kRootColour);
  for (int round = 0; round < rounds; ++round)
    for (std::size_t i = 0; i < contenders.size(); ++i) {
      Catchup& c = contenders[(i + static_cast<std::size_t>(round)) % contenders.size()];
      if (!CatchupRound(watcher, c, storm, hovers, spot, target, background_rgb)) {
        std::fprintf(stderr, "note: %s, round %d failed\n", c.label.c_str(), round);
        return 1;
      }
    }
  for (const Catchup& c : contenders) {
    bench::PrintFigure("catchup.storm." + c.id, c.label + ": last of the storm to the resting picture",
                       bench::Summarise(c.storm_ms), "ms");
    bench::PrintFigure("catchup.whole." + c.id, c.label + ": first of the storm to the resting picture",
                       bench::Summarise(c.whole_ms), "ms");
    bench::PrintFigure("catchup.hover." + c.id, c.label + ": one motion onto a button to its help",
                       bench::Summarise(c.hover_ms), "ms");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  int status = -1;
  if (mode == "startup") status = Startup(argc, argv);
  if (mode == "motion") status = Motion(argc, argv);
  if (mode == "catchup") status = CatchUp(argc, argv);
  if (status < 0) {
    std::fputs("usage: x_harness startup ROUNDS BITMAP DISC FLOOR_PROGRAM [FEH]\n"
               "       x_harness motion ID WHO over|across EVENTS ROUNDS BITMAP CWD PROGRAM [ARGS...]\n"
               "       x_harness catchup ROUNDS STORM HOVERS BITMAP DISC FLOOR_PROGRAM\n",
               stderr);
    return 2;
  }
  return status;
}
