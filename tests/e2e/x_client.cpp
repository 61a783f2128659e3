#include "tests/e2e/x_client.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#include <iterator>
#include <thread>

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;
constexpr Millis kPollStep{20};
// Root, window-manager frame and its inner windows, then the client.
constexpr int kMaxTreeDepth = 4;

// Windows vanish while the tests look at them; an error is an answer, not a crash.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

int Shift(unsigned long mask) {
  int s = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++s;
  }
  return s;
}

std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  unsigned long max = mask >> Shift(mask);
  return static_cast<std::uint32_t>(((pixel & mask) >> Shift(mask)) * 255 / max);
}

}  // namespace

XClient::XClient(const std::string& display) {
  XSetErrorHandler(&IgnoreXErrors);
  dpy_ = XOpenDisplay(display.c_str());
  if (dpy_ == nullptr) {
    error_ = "cannot open display " + display;
    return;
  }
  root_ = DefaultRootWindow(dpy_);
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(dpy_, &event_base, &error_base, &major, &minor))
    error_ = "the X server lacks the XTEST extension";
  else if (!XFixesQueryExtension(dpy_, &event_base, &error_base))
    error_ = "the X server lacks the XFIXES extension";
  else
    XFixesQueryVersion(dpy_, &major, &minor);
  XSelectInput(dpy_, root_, SubstructureNotifyMask);
  XSync(dpy_, False);
}

XClient::~XClient() {
  if (dpy_ != nullptr) XCloseDisplay(dpy_);
}

void XClient::Drain() {
  while (XPending(dpy_) > 0) {
    XEvent event;
    XNextEvent(dpy_, &event);
    if (event.type == MapNotify && event.xmap.event == root_) mapped_.push_back(event.xmap.window);
  }
}

std::vector<Window> XClient::MappedSinceStart() {
  XSync(dpy_, False);
  Drain();
  return mapped_;
}

void XClient::Collect(Window w, int depth, std::vector<Window>& out, const std::function<bool(Window)>& keep) {
  if (depth > kMaxTreeDepth) return;
  Window root_return = None, parent = None;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(dpy_, w, &root_return, &parent, &children, &count)) return;
  std::vector<Window> list(children, children + count);
  if (children != nullptr) XFree(children);
  for (Window child : list) {
    if (keep(child) && Viewable(child)) out.push_back(child);
    Collect(child, depth + 1, out, keep);
  }
}

std::vector<Window> XClient::ViewableWindowsOfPid(pid_t pid) {
  std::vector<Window> out;
  Collect(root_, 1, out, [&](Window w) { return NetWmPid(w) == static_cast<long>(pid); });
  return out;
}

std::vector<Window> XClient::ViewableWindowsNamed(const std::string& wm_name) {
  std::vector<Window> out;
  Collect(root_, 1, out, [&](Window w) { return WmName(w) == wm_name; });
  return out;
}

std::string XClient::DescribeWindowsOfPid(pid_t pid) {
  std::vector<Window> all;
  std::function<void(Window, int)> walk = [&](Window w, int depth) {
    if (depth > kMaxTreeDepth) return;
    Window root_return = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy_, w, &root_return, &parent, &children, &count)) return;
    std::vector<Window> list(children, children + count);
    if (children != nullptr) XFree(children);
    for (Window child : list) {
      if (NetWmPid(child) == static_cast<long>(pid)) all.push_back(child);
      walk(child, depth + 1);
    }
  };
  walk(root_, 1);
  if (all.empty()) return "no window carries _NET_WM_PID " + std::to_string(pid);
  std::string text;
  for (Window w : all) {
    XWindowAttributes attrs{};
    XGetWindowAttributes(dpy_, w, &attrs);
    const char* state = attrs.map_state == IsViewable ? "viewable" : attrs.map_state == IsUnviewable ? "unviewable" : "unmapped";
    text += "window " + std::to_string(w) + " " + state + ", parent " + std::to_string(Parent(w)) + "; ";
  }
  return text;
}

std::optional<Window> XClient::WaitForWindowOfPid(pid_t pid, Millis timeout) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    auto found = ViewableWindowsOfPid(pid);
    if (!found.empty()) return found.front();
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollStep);
  }
}

std::optional<Window> XClient::WaitForWindowNamed(const std::string& wm_name, Millis timeout) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    auto found = ViewableWindowsNamed(wm_name);
    if (!found.empty()) return found.front();
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollStep);
  }
}

bool XClient::Viewable(Window w) {
  XWindowAttributes attrs;
  return XGetWindowAttributes(dpy_, w, &attrs) != 0 && attrs.map_state == IsViewable;
}

bool XClient::WaitGone(Window w, Millis timeout) {
  auto deadline = Clock::now() + timeout;
  while (Viewable(w)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollStep);
  }
  return true;
}

std::optional<std::string> XClient::TextProperty(Window w, const char* property, const char* type) {
  Atom type_return = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::optional<std::string> result;
  if (XGetWindowProperty(dpy_, w, XInternAtom(dpy_, property, False), 0, 1024, False,
                         XInternAtom(dpy_, type, False), &type_return, &format, &count, &after, &data) == Success &&
      type_return == XInternAtom(dpy_, type, False) && format == 8)
    result = std::string(reinterpret_cast<char*>(data), count);
  if (data != nullptr) XFree(data);
  return result;
}

std::optional<std::string> XClient::WmClass(Window w) {
  XClassHint hint{};
  if (!XGetClassHint(dpy_, w, &hint)) return std::nullopt;
  std::string text = std::string(hint.res_name ? hint.res_name : "") + "/" + (hint.res_class ? hint.res_class : "");
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return text;
}

std::optional<long> XClient::NetWmPid(Window w) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::optional<long> result;
  if (XGetWindowProperty(dpy_, w, XInternAtom(dpy_, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type,
                         &format, &count, &after, &data) == Success &&
      type == XA_CARDINAL && format == 32 && count == 1)
    result = *reinterpret_cast<long*>(data);
  if (data != nullptr) XFree(data);
  return result;
}

std::vector<unsigned long> XClient::CardinalProperty(Window w, const char* property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> result;
  // Up to 64K longs: a 32x32 icon and more.
  if (XGetWindowProperty(dpy_, w, XInternAtom(dpy_, property, False), 0, 65536, False, XA_CARDINAL, &type,
                         &format, &count, &after, &data) == Success &&
      type == XA_CARDINAL && format == 32) {
    const unsigned long* values = reinterpret_cast<const unsigned long*>(data);
    result.assign(values, values + count);
  }
  if (data != nullptr) XFree(data);
  return result;
}

std::optional<SizeHints> XClient::NormalHints(Window w) {
  XSizeHints hints{};
  long supplied = 0;
  if (!XGetWMNormalHints(dpy_, w, &hints, &supplied)) return std::nullopt;
  SizeHints out;
  out.has_min = (hints.flags & PMinSize) != 0;
  out.has_max = (hints.flags & PMaxSize) != 0;
  out.min_width = hints.min_width;
  out.min_height = hints.min_height;
  out.max_width = hints.max_width;
  out.max_height = hints.max_height;
  return out;
}

Size XClient::ClientSize(Window w) {
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(dpy_, w, &attrs)) return {};
  return {attrs.width, attrs.height};
}

Point XClient::ClientOrigin(Window w) {
  int x = 0, y = 0;
  Window child = None;
  XTranslateCoordinates(dpy_, w, root_, 0, 0, &x, &y, &child);
  return {x, y};
}

Window XClient::Parent(Window w) {
  Window root_return = None, parent = None;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(dpy_, w, &root_return, &parent, &children, &count)) return None;
  if (children != nullptr) XFree(children);
  return parent;
}

pictures::Image XClient::Grab(Window w, int x, int y, int width, int height) {
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(dpy_, w, &attrs) || attrs.map_state != IsViewable) return {};
  XImage* image = XGetImage(dpy_, w, x, y, width, height, AllPlanes, ZPixmap);
  if (image == nullptr) return {};
  const Visual* v = attrs.visual;
  pictures::Image out{width, height, {}};
  out.pixels.reserve(static_cast<std::size_t>(width) * height);
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) {
      unsigned long p = XGetPixel(image, col, row);
      out.pixels.push_back(0xFF000000u | Channel(p, v->red_mask) << 16 | Channel(p, v->green_mask) << 8 |
                           Channel(p, v->blue_mask));
    }
  XDestroyImage(image);
  return out;
}

void XClient::MoveTo(Point p) {
  XTestFakeMotionEvent(dpy_, DefaultScreen(dpy_), p.x, p.y, CurrentTime);
  XSync(dpy_, False);
}

void XClient::Press(unsigned button) {
  XTestFakeButtonEvent(dpy_, button, True, CurrentTime);
  XSync(dpy_, False);
}

void XClient::Release(unsigned button) {
  XTestFakeButtonEvent(dpy_, button, False, CurrentTime);
  XSync(dpy_, False);
}

void XClient::Key(unsigned long keysym) {
  KeyCode code = XKeysymToKeycode(dpy_, keysym);
  XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
  XSync(dpy_, False);
  XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
  XSync(dpy_, False);
}

void XClient::ReleaseHeldButtons() {
  constexpr unsigned kMasks[] = {Button1Mask, Button2Mask, Button3Mask, Button4Mask, Button5Mask};
  Window root_return = None, child = None;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(dpy_, root_, &root_return, &child, &x, &y, &wx, &wy, &mask);
  for (unsigned i = 0; i < std::size(kMasks); ++i)
    if (mask & kMasks[i]) Release(i + 1);
}

CursorShot XClient::Cursor() {
  CursorShot shot;
  XFixesCursorImage* image = XFixesGetCursorImage(dpy_);
  if (image == nullptr) return shot;
  shot.width = image->width;
  shot.height = image->height;
  shot.hot_x = image->xhot;
  shot.hot_y = image->yhot;
  for (int i = 0; i < image->width * image->height; ++i)
    shot.pixels.push_back(static_cast<std::uint32_t>(image->pixels[i]));
  XFree(image);
  return shot;
}

Window XClient::FocusedWindow() {
  Window focus = None;
  int revert = 0;
  XGetInputFocus(dpy_, &focus, &revert);
  return focus;
}

void XClient::SendDeleteWindow(Window w) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = w;
  event.xclient.message_type = XInternAtom(dpy_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy_, w, False, NoEventMask, &event);
  XSync(dpy_, False);
}

}  // namespace e2e
