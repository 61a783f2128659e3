#pragma once
// Watching programs from outside on the benchmark's X server: start one,
// catch its top-level window mapping, poll a pixel of it until a picture is on
// screen, close it through its frame and reap it with its resource usage.

#include <X11/Xlib.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

struct Child {
  pid_t pid = 0;
  int stdout_fd = -1;  // read end of the child's standard output when captured
};

// Starts argv[0] (a path, not looked up) in `cwd`; -1 pid on failure.
Child Spawn(const std::vector<std::string>& argv, const std::string& cwd, bool capture_stdout);

struct Ended {
  bool exited = false;     // ended by itself after the close request
  int status = 0;          // wait status
  double cpu_seconds = 0;  // user and system time the program used
};

// The running program's peak resident memory so far (VmHWM), in KiB; -1 when
// unknown. Not wait4's ru_maxrss: the kernel carries the pre-exec memory's
// peak across exec, so a child's ru_maxrss is never below the harness's own
// resident size at the spawn, which swamps a small program's figure.
long PeakResidentKib(pid_t pid);

// One connection that sees every top-level window of the screen come and go.
class Watcher {
 public:
  bool Open();
  ~Watcher();
  Display* display() const { return dpy_; }
  Window root() const { return root_; }

  // Paints the root a colour that no benchmark picture has at the spot, so a
  // pixel read through an unpainted window never matches by chance.
  void PaintRoot(std::uint32_t rgb);
  // Drops any window notifications left over from an earlier program.
  void Drain();
  // The next top-level window mapped, or None when `child` ends or the deadline passes.
  Window WaitForMap(pid_t child, Clock::time_point deadline);
  // Polls the pixel at (x, y) of `window` until it is `rgb`; false at the deadline.
  bool WaitForPixel(Window window, int x, int y, std::uint32_t rgb, Clock::time_point deadline);
  // True once `window` is destroyed (by its program or with it).
  bool WaitForDestroy(Window window, Clock::time_point deadline);
  // Asks the window's program to close it, as a window manager's close button does.
  void SendDelete(Window window);
  // Reaps `pid`, asking it to end with SIGTERM and then SIGKILL if it does not by itself.
  Ended Reap(pid_t pid, std::chrono::milliseconds grace);

 private:
  bool NextEvent(XEvent& event, Clock::time_point deadline);

  Display* dpy_ = nullptr;
  Window root_ = None;
};

// The pixel of an uncompressed picture file (read with the launcher's own reader) as 0xRRGGBB.
bool PicturePixel(const std::string& path, int x, int y, std::uint32_t& rgb, std::string& why);

}  // namespace bench
