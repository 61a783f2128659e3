// Times the Windows runtime's DoEvents one call at a time, from inside a
// procedure, with the launcher's own window shown and nothing pending: the
// cost of each count of a pumping wait. The window's Load procedure posts
// itself a movement over the background; that procedure times the calls,
// prints one line and unloads the window.
//
//   pump_timing.exe [calls, default 20000]
//   calls <n> median_us <m> min_us <a> p90_us <b>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "autorun/program.h"
#include "platform/win32/win32_runtime.h"

namespace {

constexpr int kDefaultCalls = 20000;
constexpr int kMaxCalls = 10000000;
constexpr LPARAM kOverBackground = MAKELPARAM(401, 61);  // client pixel on the background only

int g_calls = kDefaultCalls;

class TimingForm : public platform::Form {
 public:
  explicit TimingForm(platform::Runtime& runtime) : runtime_(runtime) {}

  void Load() {
    PostMessageW(reinterpret_cast<HWND>(runtime_.hWnd()), WM_MOUSEMOVE, 0, kOverBackground);
  }

  void TimePump() {
    if (done_) return;  // a real movement may come first; one run is enough
    done_ = true;
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> us(static_cast<std::size_t>(g_calls));
    for (double& call : us) {
      QueryPerformanceCounter(&before);
      runtime_.DoEvents();
      QueryPerformanceCounter(&after);
      call = static_cast<double>(after.QuadPart - before.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
    }
    std::sort(us.begin(), us.end());
    std::printf("calls %zu median_us %.2f min_us %.2f p90_us %.2f\n", us.size(), us[us.size() / 2], us.front(),
                us[us.size() * 9 / 10]);
    std::fflush(stdout);
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
  const platform::ProgramDescription program{autorun::Layout(), kBindings, &CreateForm, &FormLoad};
  return platform::RunOnWin32(program);
}
