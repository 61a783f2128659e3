// The real X11 runtime, measured from inside through bench forms on the
// launcher's own layout: the runtime is handed a program description as the
// launcher's is, so nothing of its internals is exposed.
//
//   runtime_bench pump CALLS ROUNDS SHORT_WAITS LONG_WAITS PICTURES
//     one DoEvents with nothing pending, against one XPending on a bare
//     connection with a mapped window (the floor); the 60,000- and
//     3,400,000-count waits, each against as many XPending calls; a button
//     picture loaded, set and redrawn. Each measure alternates with its floor.
//     Run it at the root of a disc: the pictures come from there.
//   runtime_bench motion
//     counts the MouseMove procedures run until the window is closed, then
//     prints "calls|TOTAL|OLE1|SetupWizard|ManualInstallation|Documentation|Exit".

#include <X11/Xlib.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "autorun/program.h"
#include "bench/figures.h"
#include "menu/autorun_constants.h"
#include "platform/x11/x11_runtime.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::Control;
using platform::MouseEvent;

constexpr menu::WaitCount kShortWait = menu::kExitWait;
constexpr menu::WaitCount kLongWait = menu::kSetupWizardWait;
// The two pictures of the Exit button, alternated so that every set changes what is shown.
constexpr std::array<std::string_view, 2> kButtonPictures = {"setup\\images\\exitdown.gif",
                                                             "setup\\images\\exit.gif"};

struct PumpPlan {
  int calls = 100000;
  int rounds = 15;
  int short_waits = 10;
  int long_waits = 3;
  int pictures = 500;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <typename F>
double TimeSeconds(F&& f) {
  const auto start = Clock::now();
  f();
  return Seconds(Clock::now() - start);
}

// The floor: a bare connection with a mapped window, its Expose handled.
struct BareConnection {
  Display* dpy = nullptr;
  Window window = None;

  bool Open() {
    dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) return false;
    window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 641, 480, 0, 0, 0);
    XSelectInput(dpy, window, ExposureMask | StructureNotifyMask);
    XMapWindow(dpy, window);
    for (bool exposed = false; !exposed;) {
      XEvent event;
      XNextEvent(dpy, &event);
      exposed = event.type == Expose;
    }
    XSync(dpy, False);
    while (XPending(dpy) > 0) {
      XEvent event;
      XNextEvent(dpy, &event);
    }
    return true;
  }
  ~BareConnection() {
    if (dpy != nullptr) XCloseDisplay(dpy);
  }
};

BareConnection g_bare;
PumpPlan g_plan;
std::array<long, platform::kControlCount> g_moves{};

class BenchForm final : public platform::Form {
 public:
  explicit BenchForm(platform::Runtime& rt) : rt(rt) {}
  platform::Runtime& rt;
};

std::shared_ptr<platform::Form> CreateForm(platform::Runtime& rt) { return std::make_shared<BenchForm>(rt); }

// The runtime shows its window only after Form_Load; the bench maps it itself
// through the window handle so that both sides pump with a mapped window.
void MapAndSettle(platform::Runtime& rt) {
  XMapWindow(g_bare.dpy, static_cast<Window>(rt.hWnd()));
  XSync(g_bare.dpy, False);
  const auto until = Clock::now() + std::chrono::milliseconds(200);
  while (Clock::now() < until) rt.DoEvents();
}

void MeasureCalls(platform::Runtime& rt) {
  std::vector<double> floor_ns, runtime_ns;
  const double per_call = 1e9 / g_plan.calls;
  for (int r = 0; r < g_plan.rounds; ++r) {
    floor_ns.push_back(per_call * TimeSeconds([&] {
      for (int i = 0; i < g_plan.calls; ++i) XPending(g_bare.dpy);
    }));
    runtime_ns.push_back(per_call * TimeSeconds([&] {
      for (int i = 0; i < g_plan.calls; ++i) rt.DoEvents();
    }));
  }
  bench::PrintFigure("pump.xpending", "XPending, bare connection (floor)", bench::Summarise(floor_ns), "ns");
  bench::PrintFigure("pump.doevents", "DoEvents, nothing pending", bench::Summarise(runtime_ns), "ns");
}

// Each wait alternates with as many bare XPending calls: its floor, under the same load.
void MeasureWaits(platform::Runtime& rt) {
  for (auto [n, repeats] : {std::pair{kShortWait, g_plan.short_waits}, std::pair{kLongWait, g_plan.long_waits}}) {
    if (repeats == 0) continue;
    std::vector<double> floor_s, wait_s;
    for (int r = 0; r < repeats; ++r) {
      floor_s.push_back(TimeSeconds([&] {
        for (menu::WaitCount i = 0; i < n; ++i) XPending(g_bare.dpy);
      }));
      wait_s.push_back(TimeSeconds([&] { menu::PumpingWait(rt, n); }));
    }
    const std::string count = std::to_string(n);
    bench::PrintFigure("wait." + count + ".floor", count + " x XPending (floor)", bench::Summarise(floor_s), "s");
    bench::PrintFigure("wait." + count, "pumping wait of " + count + " counts", bench::Summarise(wait_s), "s");
  }
}

void MeasurePictures(platform::Runtime& rt) {
  if (g_plan.pictures == 0) return;
  std::vector<double> micros;
  for (int i = 0; i < g_plan.pictures; ++i)
    micros.push_back(1e6 * TimeSeconds([&] {
      rt.SetPicture(Control::Exit, rt.LoadPicture(kButtonPictures[i % 2]));
      rt.DoEvents();  // composes and puts the changed button
    }));
  bench::PrintFigure("picture.set", "button picture loaded, set and redrawn", bench::Summarise(micros), "us");
}

void PumpLoad(platform::Form& form) {
  platform::Runtime& rt = static_cast<BenchForm&>(form).rt;
  MapAndSettle(rt);
  MeasureCalls(rt);
  MeasurePictures(rt);
  MeasureWaits(rt);
  rt.End();
}

void MotionLoad(platform::Form&) {}

template <Control C>
void CountMove(platform::Form&, const platform::MouseArgs&) {
  ++g_moves[static_cast<std::size_t>(C)];
}

// Every control that can receive movement counts it; the help panel takes none.
constexpr platform::Binding kMotionBindings[] = {
    {Control::Ole1, MouseEvent::Move, &CountMove<Control::Ole1>},
    {Control::SetupWizard, MouseEvent::Move, &CountMove<Control::SetupWizard>},
    {Control::ManualInstallation, MouseEvent::Move, &CountMove<Control::ManualInstallation>},
    {Control::Documentation, MouseEvent::Move, &CountMove<Control::Documentation>},
    {Control::Exit, MouseEvent::Move, &CountMove<Control::Exit>},
};

int Pump(int argc, char** argv) {
  if (argc != 7) return -1;
  g_plan = {std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6])};
  if (g_plan.calls <= 0 || g_plan.rounds <= 0 || g_plan.short_waits < 0 || g_plan.long_waits < 0 ||
      g_plan.pictures < 0)
    return -1;
  if (!g_bare.Open()) {
    std::fputs("runtime_bench: cannot open the display\n", stderr);
    return 1;
  }
  const platform::ProgramDescription program{autorun::Layout(), {}, &CreateForm, &PumpLoad};
  return platform::RunOnX11(program);
}

int Motion() {
  const platform::ProgramDescription program{autorun::Layout(), kMotionBindings, &CreateForm, &MotionLoad};
  const int status = platform::RunOnX11(program);
  long total = 0;
  for (long n : g_moves) total += n;
  std::printf("calls|%ld|%ld|%ld|%ld|%ld|%ld\n", total, g_moves[static_cast<std::size_t>(Control::Ole1)],
              g_moves[static_cast<std::size_t>(Control::SetupWizard)],
              g_moves[static_cast<std::size_t>(Control::ManualInstallation)],
              g_moves[static_cast<std::size_t>(Control::Documentation)],
              g_moves[static_cast<std::size_t>(Control::Exit)]);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  int status = -1;
  if (mode == "pump") status = Pump(argc, argv);
  if (mode == "motion" && argc == 2) status = Motion();
  if (status < 0) {
    std::fputs("usage: runtime_bench pump CALLS ROUNDS SHORT_WAITS LONG_WAITS PICTURES\n"
               "       runtime_bench motion\n",
               stderr);
    return 2;
  }
  return status;
}
