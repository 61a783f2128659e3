#pragma once
// The tests' own connection to the X server: finds windows, reads their
// properties and pixels, drives the pointer and keyboard through XTest and
// reads the pointer's shape through XFixes. Every wait has a deadline.

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pictures/picture.h"
#include "tests/e2e/child_process.h"

namespace e2e {

struct Point {
  int x = 0, y = 0;
};

struct Size {
  int width = 0, height = 0;
};

// The pointer's shape as the server shows it. Pixels ARGB (premultiplied, as
// XFixes gives them), rows top-down.
struct CursorShot {
  int width = 0, height = 0;
  int hot_x = 0, hot_y = 0;
  std::vector<std::uint32_t> pixels;
};

struct SizeHints {
  int min_width = 0, min_height = 0, max_width = 0, max_height = 0;
  bool has_min = false, has_max = false;
};

class XClient {
 public:
  // Opens the display; false from ok() with the reason in error() when the
  // display or a needed extension (XTEST, XFIXES) is missing.
  explicit XClient(const std::string& display);
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  bool ok() const { return dpy_ != nullptr && error_.empty(); }
  const std::string& error() const { return error_; }
  Display* dpy() const { return dpy_; }
  Window root() const { return root_; }

  // Windows anywhere below the root (through window-manager frames) that carry
  // the property or name, viewable ones only.
  std::vector<Window> ViewableWindowsOfPid(pid_t pid);
  std::vector<Window> ViewableWindowsNamed(const std::string& wm_name);
  std::optional<Window> WaitForWindowOfPid(pid_t pid, Millis timeout);
  // For failure messages: every window of the process, viewable or not, with its state.
  std::string DescribeWindowsOfPid(pid_t pid);
  std::optional<Window> WaitForWindowNamed(const std::string& wm_name, Millis timeout);

  bool Viewable(Window w);
  bool WaitGone(Window w, Millis timeout);  // destroyed or unmapped

  std::optional<std::string> TextProperty(Window w, const char* property, const char* type);
  std::optional<std::string> WmName(Window w) { return TextProperty(w, "WM_NAME", "STRING"); }
  std::optional<std::string> NetWmName(Window w) { return TextProperty(w, "_NET_WM_NAME", "UTF8_STRING"); }
  std::optional<std::string> WmClass(Window w);  // "instance/class"
  std::optional<long> NetWmPid(Window w);
  std::vector<unsigned long> CardinalProperty(Window w, const char* property);
  std::optional<SizeHints> NormalHints(Window w);
  Size ClientSize(Window w);
  Point ClientOrigin(Window w);  // in root coordinates
  Window Parent(Window w);

  // Pixels of a rectangle of the window, in window coordinates, as opaque ARGB.
  // An empty image when the window cannot be read (gone or not viewable).
  pictures::Image Grab(Window w, int x, int y, int width, int height);

  // XTest input; each call is synced, so the server has taken it when it returns.
  void MoveTo(Point root_point);
  void Press(unsigned button);
  void Release(unsigned button);
  void Key(unsigned long keysym);
  void ReleaseHeldButtons();  // so a test that stopped halfway leaves no button down

  CursorShot Cursor();
  Window FocusedWindow();
  void SendDeleteWindow(Window w);

  // Top-level windows mapped since this connection was opened (seen from the
  // root's substructure), in order. Without a window manager these are the
  // clients' own windows.
  std::vector<Window> MappedSinceStart();

 private:
  void Drain();
  void Collect(Window w, int depth, std::vector<Window>& out, const std::function<bool(Window)>& keep);

  Display* dpy_ = nullptr;
  Window root_ = None;
  std::string error_;
  std::vector<Window> mapped_;
};

}  // namespace e2e
