#include "tests/e2e/x_server.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;
constexpr Millis kServerStart{15000};
constexpr Millis kManagerStart{10000};

// Reads Xvfb's display number from the -displayfd pipe: digits and a newline.
std::string ReadDisplayNumber(int fd, Millis timeout) {
  std::string text;
  auto deadline = Clock::now() + timeout;
  while (text.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    if (left <= 0) return "";
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[32];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return "";  // Xvfb is gone
    text.append(buffer, static_cast<std::size_t>(n));
  }
  text.resize(text.find('\n'));
  return text;
}

Window WindowProperty(Display* dpy, Window w, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Window result = None;
  if (XGetWindowProperty(dpy, w, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
          Success &&
      type == XA_WINDOW && format == 32 && count == 1)
    result = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
  if (data != nullptr) XFree(data);
  return result;
}

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

std::unique_ptr<XServer> XServer::Start(const std::filesystem::path& log_dir, std::string* why) {
  std::unique_ptr<XServer> server(new XServer());
  server->log_dir_ = log_dir;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    *why = "cannot create a pipe for Xvfb";
    return nullptr;
  }
  SpawnRequest request;
  request.argv = {"Xvfb", "-displayfd", "3", "-screen", "0",
               std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24",
               "-nolisten", "tcp", "-noreset"};
  request.env = EnvironmentWith({});
  request.stderr_file = log_dir / "Xvfb.log";
  request.fd3 = fds[1];
  server->server_ = ChildProcess(request);
  ::close(fds[1]);
  std::string number = server->server_.started() ? ReadDisplayNumber(fds[0], kServerStart) : "";
  ::close(fds[0]);
  if (number.empty()) {
    *why = "Xvfb could not be started (" + Describe(server->server_.WaitExit(Millis(100))) +
           "); is the xvfb package installed?";
    return nullptr;
  }
  server->display_ = ":" + number;
  auto deadline = Clock::now() + kServerStart;
  for (;;) {
    if (Display* dpy = XOpenDisplay(server->display_.c_str())) {
      XCloseDisplay(dpy);
      return server;
    }
    if (Clock::now() >= deadline) break;
    std::this_thread::sleep_for(Millis(50));
  }
  *why = "Xvfb announced display " + server->display_ + " but accepts no connection";
  return nullptr;
}

XServer::~XServer() {
  StopWindowManager();
  server_.Terminate(Millis(3000));
}

bool XServer::StartWindowManager(std::string* why) {
  // Openbox runs the --startup command once it handles requests: a window
  // mapped earlier can be lost while it is still starting.
  std::filesystem::path ready_file = log_dir_ / "openbox.ready";
  std::filesystem::remove(ready_file);
  SpawnRequest request;
  request.argv = {"openbox", "--sm-disable", "--startup", "touch '" + ready_file.string() + "'"};
  request.env = EnvironmentWith({"DISPLAY=" + display_});
  request.stderr_file = log_dir_ / "openbox.log";
  wm_ = ChildProcess(request);
  Display* dpy = XOpenDisplay(display_.c_str());
  if (dpy == nullptr) {
    *why = "cannot connect to " + display_;
    return false;
  }
  auto old_handler = XSetErrorHandler(&IgnoreXErrors);
  Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
  auto deadline = Clock::now() + kManagerStart;
  bool ready = false;
  while (!ready && wm_.Running() && Clock::now() < deadline) {
    // The manager names a check window on the root that names itself again.
    Window w = WindowProperty(dpy, DefaultRootWindow(dpy), check);
    ready = w != None && WindowProperty(dpy, w, check) == w && std::filesystem::exists(ready_file);
    if (!ready) std::this_thread::sleep_for(Millis(50));
  }
  XSetErrorHandler(old_handler);
  XCloseDisplay(dpy);
  if (!ready)
    *why = "openbox did not take the screen within " + std::to_string(kManagerStart.count()) + " ms (" +
           Describe(wm_.status()) + "; see " + (log_dir_ / "openbox.log").string() + ")";
  return ready;
}

void XServer::StopWindowManager() { wm_.Terminate(Millis(3000)); }

}  // namespace e2e
