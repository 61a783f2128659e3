// Times the Windows runtime's DoEvents one call at a time, from inside a
// procedure, with the launcher's own window shown and nothing pending: the
// cost of each count of a pumping wait; then the Exit button's 60000-count wait
// whole. The window's Load procedure posts itself a movement over the
// background; that procedure times the calls, prints two figure lines
// (bench/figures.h) and unloads the window. tools/bench runs it under Wine.
//
//   pump_timing.exe CALLS ID LABEL

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "autorun/program.h"
#include "bench/figures.h"
#include "menu/autorun_constants.h"
#include "platform/win32/win32_runtime.h"

namespace {

constexpr int kDefaultCalls = 20000;
constexpr int kMaxCalls = 10000000;
constexpr LPARAM kOverBackground = MAKELPARAM(401, 61);  // client pixel on the background only

int g_calls = kDefaultCalls;
std::string g_id = "wine.pump", g_label = "DoEvents under Wine";

class TimingForm : public platform::Form {
 public:
  explicit TimingForm(platform::Runtime& runtime) : runtime_(runtime) {}

  void Load() {
    // The pointer off the window first: where the window opened under it, the system's own
    // movement would join the one posted here and, going nowhere, start nothing.
    SetCursorPos(0, 0);
    PostMessageW(reinterpret_cast<HWND>(runtime_.hWnd()), WM_MOUSEMOVE, 0, kOverBackground);
  }

  void TimePump() {
    if (done_) return;  // a real movement may come first; one run is enough
    done_ = true;
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ns(static_cast<std::size_t>(g_calls));
    for (double& call : ns) {
      QueryPerformanceCounter(&before);
      runtime_.DoEvents();
      QueryPerformanceCounter(&after);
      call = static_cast<double>(after.QuadPart - before.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
    }
    bench::PrintFigure(g_id, g_label + ", one call", bench::Summarise(ns), "ns");
    std::vector<double> waits;
    for (int round = 0; round < 3; ++round) {
      QueryPerformanceCounter(&before);
      menu::PumpingWait(runtime_, menu::kExitWait);
      QueryPerformanceCounter(&after);
      waits.push_back(static_cast<double>(after.QuadPart - before.QuadPart) / static_cast<double>(frequency.QuadPart));
    }
    bench::PrintFigure(g_id + ".60000", g_label + ", the 60000-count wait", bench::Summarise(waits), "s");
    runtime_.Unload();
  }

 private:
  platform::Runtime& runtime_;
  bool done_ = false;
};

std::shared_ptr<platform::Form> CreateForm(platform::Runtime& runtime) {
  return std::make_shared<TimingForm>(runtime);
}
void FormLoad(platform::Form& form) { static_cast<TimingForm&>(form).Load(); }
void OverBackground(platform::Form& form, const platform::MouseArgs&) { static_cast<TimingForm&>(form).TimePump(); }

constexpr platform::Binding kBindings[] = {
    {platform::Control::Ole1, platform::MouseEvent::Move, &OverBackground},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) g_calls = std::clamp(std::atoi(argv[1]), 1, kMaxCalls);
  if (argc > 3) g_id = argv[2], g_label = argv[3];
  const platform::ProgramDescription program{autorun::Layout(), kBindings, &CreateForm, &FormLoad};
  return platform::RunOnWin32(program);
}
