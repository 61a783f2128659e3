#include "bench/harness.h"

#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <thread>
#include <variant>

#include "pictures/picture.h"

extern char** environ;

namespace bench {
namespace {

// Short enough to resolve a frame well under a millisecond, long enough to
// leave the server and the measured program most of the processor.
constexpr auto kPollInterval = std::chrono::microseconds(100);

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

int MillisLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool ChildGone(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

}  // namespace

Child Spawn(const std::vector<std::string>& argv, const std::string& cwd, bool capture_stdout) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int pipe_fds[2] = {-1, -1};
  if (capture_stdout && ::pipe2(pipe_fds, O_CLOEXEC) != 0) return {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  if (capture_stdout)
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  else
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (capture_stdout) ::close(pipe_fds[1]);
  if (pid < 0 && capture_stdout) ::close(pipe_fds[0]);
  return {pid, pid > 0 && capture_stdout ? pipe_fds[0] : -1};
}

bool Watcher::Open() {
  dpy_ = XOpenDisplay(nullptr);
  if (dpy_ == nullptr) return false;
  XSetErrorHandler(&IgnoreXErrors);
  root_ = DefaultRootWindow(dpy_);
  XSelectInput(dpy_, root_, SubstructureNotifyMask);
  XSync(dpy_, False);
  return true;
}

Watcher::~Watcher() {
  if (dpy_ != nullptr) XCloseDisplay(dpy_);
}

void Watcher::PaintRoot(std::uint32_t rgb) {
  XSetWindowBackground(dpy_, root_, rgb);
  XClearWindow(dpy_, root_);
  XSync(dpy_, False);
}

void Watcher::Drain() {
  XSync(dpy_, False);
  while (XPending(dpy_) > 0) {
    XEvent event;
    XNextEvent(dpy_, &event);
  }
}

bool Watcher::NextEvent(XEvent& event, Clock::time_point deadline) {
  while (XPending(dpy_) == 0) {
    int left = MillisLeft(deadline);
    if (left == 0) return false;
    pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
    ::poll(&p, 1, std::min(left, 20));
  }
  XNextEvent(dpy_, &event);
  return true;
}

Window Watcher::WaitForMap(pid_t child, Clock::time_point deadline) {
  XEvent event;
  while (Clock::now() < deadline) {
    if (!NextEvent(event, std::min(deadline, Clock::now() + std::chrono::milliseconds(20)))) {
      if (ChildGone(child)) return None;
      continue;
    }
    if (event.type == MapNotify && event.xmap.event == root_ && !event.xmap.override_redirect)
      return event.xmap.window;
  }
  return None;
}

bool Watcher::WaitForPixel(Window window, int x, int y, std::uint32_t rgb, Clock::time_point deadline) {
  while (Clock::now() < deadline) {
    if (XImage* image = XGetImage(dpy_, window, x, y, 1, 1, AllPlanes, ZPixmap)) {
      const unsigned long pixel = XGetPixel(image, 0, 0);
      XDestroyImage(image);
      if ((pixel & 0xFFFFFF) == rgb) return true;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return false;
}

bool Watcher::WaitForDestroy(Window window, Clock::time_point deadline) {
  XEvent event;
  while (NextEvent(event, deadline))
    if (event.type == DestroyNotify && event.xdestroywindow.window == window) return true;
  return false;
}

void Watcher::SendDelete(Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(dpy_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy_, window, False, NoEventMask, &event);
  XFlush(dpy_);
}

Ended Watcher::Reap(pid_t pid, std::chrono::milliseconds grace) {
  Ended ended;
  rusage usage{};
  const int signals[] = {0, SIGTERM, SIGKILL};
  for (int signal : signals) {
    if (signal != 0) ::kill(pid, signal);
    const auto until = Clock::now() + (signal == SIGKILL ? std::chrono::milliseconds(10000) : grace);
    while (Clock::now() < until) {
      pid_t got = ::wait4(pid, &ended.status, WNOHANG, &usage);
      if (got == pid) {
        ended.exited = signal == 0;
        ended.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
        return ended;
      }
      if (got < 0 && errno != EINTR) return ended;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return ended;
}

long PeakResidentKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long kib = -1;
  while (status >> key) {
    if (key == "VmHWM:") {
      status >> kib;
      return status ? kib : -1;
    }
    status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return -1;
}

bool PicturePixel(const std::string& path, int x, int y, std::uint32_t& rgb, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto decoded = pictures::DecodePicture(bytes);
  if (auto* error = std::get_if<pictures::PictureError>(&decoded)) {
    why = path + ": " + std::string(pictures::Describe(*error));
    return false;
  }
  const pictures::Image& image = std::get<pictures::Image>(decoded);
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
    why = path + ": smaller than the spot watched";
    return false;
  }
  rgb = image.At(x, y) & 0xFFFFFF;
  return true;
}

}  // namespace bench
