#pragma once
// The end-to-end harness: a private Xvfb, the real launcher as a child process
// on a generated disc, XTest input, pixels through XGetImage and the pointer's
// shape through XFixes. The scenarios are written once and compiled twice:
// against the Linux launcher, and with AUTORUN_WINE against the Windows
// launcher under Wine; kPlatform says what differs.
#include <gtest/gtest.h>
// After GoogleTest: X's macros clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "assets/encode.h"
#include "pictures/picture.h"
#include "tests/support/temp_dir.h"

namespace e2e {

namespace fs = std::filesystem;
using Millis = std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using pictures::Image;

struct Platform {
  bool wine;
  Millis exit_deadline;        // a run that ends after a few 60000-count waits
  Millis sequence_deadline;    // the Setup Wizard's 3400000-count wait
  std::string_view guide_prefix;  // what the opener is handed before the guide's path
};
#ifdef AUTORUN_WINE
// Each event-pump call goes through Wine's server: the waits last many times longer.
inline constexpr Platform kPlatform{true, Millis(120000), Millis(900000), "file://"};
#else
inline constexpr Platform kPlatform{false, Millis(20000), Millis(180000), ""};
#endif

// Polls until `done` holds or the deadline passes; the last answer.
inline bool Poll(const std::function<bool()>& done, Millis deadline, Millis step = Millis(20)) {
  for (auto end = Clock::now() + deadline;; std::this_thread::sleep_for(step))
    if (done() || Clock::now() >= end) return done();
}

inline std::string ReadFile(const fs::path& file) {
  std::ostringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
  return lines;
}

// A child in a process group of its own, killed with the test; its output goes to `output`.
// `env`: NAME=value entries put into the test's environment, "NAME=" taking one away.
class Child {
 public:
  Child(std::vector<std::string> argv, const fs::path& cwd, std::vector<std::string> env,
        const fs::path& output = "/dev/null", int fd3 = -1)
      : output_(output) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    if ((pid_ = ::fork()) == 0) {
      ::setpgid(0, 0);
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a test that dies takes its server and launchers with it
      int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      ::dup2(::open("/dev/null", O_RDONLY), 0), ::dup2(out, 1), ::dup2(out, 2);
      if (fd3 >= 0) ::dup2(fd3, 3);
      ::close_range(fd3 >= 0 ? 4 : 3, ~0u, 0);
      for (std::string& e : env) e.back() == '=' ? ::unsetenv(e.substr(0, e.size() - 1).c_str()) : ::putenv(e.data());
      if (::getppid() != parent || ::chdir(cwd.c_str()) != 0) ::_exit(126);
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
    if (pid_ > 0) ::setpgid(pid_, pid_);
  }
  ~Child() {
    if (Running()) ::kill(-pid_, SIGKILL), ::waitpid(pid_, nullptr, 0);
  }
  pid_t pid() const { return pid_; }
  std::string Err() const { return ReadFile(output_); }
  bool Running() {
    int raw = 0;
    if (pid_ <= 0 || status_ || ::waitpid(pid_, &raw, WNOHANG) != pid_) return pid_ > 0 && !status_;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return false;
  }
  // The exit status, or 128 + the signal; nullopt while it still runs at the deadline.
  std::optional<int> Wait(Millis deadline) {
    Poll([&] { return !Running(); }, deadline, Millis(10));
    return status_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  fs::path output_;
};

// Asleep, with no processor time used, for 300 ms on end: it has handled all it was sent.
inline bool Idle(pid_t pid, Millis deadline) {
  auto sample = [pid] {
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(std::min(stat.size(), stat.rfind(')') + 2)));
    std::string f[13];
    for (auto& field : f) fields >> field;
    return f[0] == "S" ? f[11] + "+" + f[12] : "busy";
  };
  std::string last = sample();
  auto quiet = Clock::now();
  return Poll([&] {
    std::string now = sample();
    if (now == "busy" || now != last) quiet = Clock::now();
    last = now;
    return Clock::now() - quiet >= Millis(300);
  }, deadline, Millis(25));
}

// Where the controls stand, in client pixels.
struct Point {
  int x, y;
};
struct Rect {
  const char* name;
  int x, y, w, h;
  Point Centre() const { return {w / 2, h / 2}; }
};
inline constexpr Rect kHelp{"imgHelp", 232, 272, 377, 73};
inline constexpr Rect kExit{"imgExit", 120, 432, 44, 24};
inline constexpr Rect kDocumentation{"imgDocumentation", 32, 384, 118, 25};
inline constexpr Rect kManual{"imgManualInstallation", 8, 334, 149, 23};
inline constexpr Rect kSetup{"imgSetupWizard", 74, 287, 110, 24};
inline constexpr Rect kClient{"client area", 0, 0, 641, 480};
inline constexpr Rect kBackground{"background", 400, 60, 1, 1};  // a point on no control
inline constexpr const char* kCaption = "Print Server Setup Wizard";
inline constexpr const char* kDialogTitle = "autorun";
// A button's picture, "setupwizard" for imgSetupWizard; its pressed one and its help add "down" and "help".
inline std::string PictureName(const Rect& r) {
  std::string name(r.name + 3);
  for (char& c : name) c = static_cast<char>(std::tolower(c));
  return name;
}

inline std::string Launcher() {
  const char* exe = std::getenv("AUTORUN_EXE");
  return exe != nullptr && *exe != '\0' ? exe : AUTORUN_BUILD_DIR "/autorun";
}

// A 32-bit launcher runs through wine32 in a 32-bit prefix, a 64-bit one through
// wine64 in a 64-bit prefix: neither needs the other, so the 64-bit one runs
// whether or not wine32 is installed, and whether or not this machine runs 32-bit code.
inline bool Launcher32Bit() {
  static const bool is32 = [] {
    std::ifstream exe(Launcher(), std::ios::binary);
    char head[64] = {}, pe[6] = {};
    exe.read(head, sizeof head);
    exe.seekg(static_cast<std::uint8_t>(head[0x3C]) | static_cast<std::uint8_t>(head[0x3D]) << 8).read(pe, sizeof pe);
    return pe[4] == 0x4C && pe[5] == 0x01;  // machine i386
  }();
  return is32;
}
// Debian keeps wine64 beside wine's other loaders, out of PATH.
inline std::string WineLoader() {
  return Launcher32Bit() ? "wine" : fs::exists("/usr/lib/wine/wine64") ? "/usr/lib/wine/wine64" : "wine64";
}
inline std::vector<std::string> Wine(std::vector<std::string> argv) { return argv.insert(argv.begin(), WineLoader()), argv; }
#ifdef AUTORUN_WINE
inline std::string SkipReason() {  // why this launcher's scenarios cannot run here, or ""
  static const bool cannot = Launcher32Bit() && Child({AUTORUN_SOURCE_DIR "/tools/runs-32bit-code"}, "/", {}).Wait(Millis(20000)) == 1;
  return cannot ? "skipped: this machine runs no 32-bit code" : "";
}
#else
inline std::string SkipReason() { return ""; }
#endif

inline std::optional<Image> BuildAsset(std::string_view name) {  // a picture the build generated
  std::string bytes = ReadFile(fs::path(AUTORUN_BUILD_DIR) / "assets" / name);
  auto decoded = pictures::DecodePicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (auto* image = std::get_if<Image>(&decoded)) return std::move(*image);
  return std::nullopt;
}

// `blended`: the picture was shown at a fractional scale, which mixes each pixel with its
// neighbours; only pixels like all eight of theirs keep their colour (within rounding).
inline std::string Difference(const Image& actual, const Image& expected, bool blended = false) {
  if (actual.width != expected.width || actual.height != expected.height) return "nothing of that size could be read";
  auto near = [](std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8)
      if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 2) return false;
    return true;
  };
  auto plain = [&](int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (x + dx >= 0 && y + dy >= 0 && x + dx < expected.width && y + dy < expected.height &&
            expected.At(x + dx, y + dy) != expected.At(x, y))
          return false;
    return true;
  };
  std::size_t differ = 0, first = 0;
  for (std::size_t i = expected.pixels.size(); i-- > 0;)
    if (blended ? plain(int(i % expected.width), int(i / expected.width)) && !near(actual.pixels[i], expected.pixels[i])
                : actual.pixels[i] != expected.pixels[i])
      ++differ, first = i;
  return differ == 0 ? "" : std::to_string(differ) + " pixels differ, the first at (" +
                              std::to_string(first % expected.width) + ", " + std::to_string(first / expected.width) + ")";
}

inline Image Crop(const Image& image, const Rect& r) {
  Image out{r.w, r.h, {}};
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) out.pixels.push_back(image.At(x, y));
  return out;
}

// Diagonal stripes that move with the frame, a clear margin at the top and left.
inline Image BusyFrame(int frame) {
  Image image{32, 32, {}};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      image.pixels.push_back(x < 2 || y < 2 ? 0 : (x + y + frame * 4) % 8 < 4 ? 0xFF000000u : 0xFFFFFFFFu);
  return image;
}

inline std::string Picture(std::string_view name) { return "Setup/images/" + std::string(name) + ".gif"; }
inline constexpr const char* kBusyPointer = "Setup/images/hourglas.ani";
inline constexpr const char* kSetupProgram = "Setup/Setup.exe";
inline constexpr const char* kManualProgram = "manualinstallation/setup.exe";
inline constexpr const char* kGuide = "Manual/UserGuideEng.html";

// A disc in a temporary folder. Its programs and the opener append one line
// each to one log: "setup ...", "manualinstallation ...", "open <argument> ...".
class Disc {
 public:
  Disc() {
    // Each picture at its control's size in colours of its own; ink along the top row and left
    // column, a third colour in the last pixel: a shift by one shows.
    std::vector<std::pair<std::string, const Rect*>> pictures = {{"help", &kHelp}};
    for (const Rect* r : {&kSetup, &kManual, &kDocumentation, &kExit}) {
      pictures.insert(pictures.end(), {{PictureName(*r), r}, {PictureName(*r) + "down", r}});
      if (r != &kExit) pictures.emplace_back(PictureName(*r) + "help", &kHelp);
    }
    for (int i = 0; const auto& [name, r] : pictures) {
      const assets::Rgb paper{std::uint8_t(40 + 17 * i), std::uint8_t(230 - 19 * i), std::uint8_t(90 * i++)};
      const assets::Rgb ink{std::uint8_t(255 - paper.r), std::uint8_t(255 - paper.g), std::uint8_t(255 - paper.b)};
      assets::IndexedImage image{r->w, r->h, {}, {paper, ink, {255, 128, 0}}};
      for (int y = 0; y < r->h; ++y)
        for (int x = 0; x < r->w; ++x) image.indices.push_back(x == r->w - 1 && y == r->h - 1 ? 2 : x == 0 || y == 0 ? 1 : 0);
      expected[name] = assets::Expand(image);
      Write(Picture(name), assets::EncodeGif(image));
    }
    Write(kBusyPointer, assets::EncodeAni(std::vector{assets::EncodeCur1(BusyFrame(0), 9, 13), assets::EncodeCur1(BusyFrame(1), 9, 13)}, 20));
    Write(kGuide, "<!DOCTYPE html>\n<title>User guide</title>\n");
    dir.Write("results.log", "");
    const std::string append = " >> '" + log.string() + "'\n";
    dir.Write("bin/xdg-open", "#!/bin/sh\necho \"open $* pid=$$\"" + append, true);
#ifdef AUTORUN_WINE
    // A Windows program that logs its start, from the build of the launcher's kind (it may run from an image).
    for (const char* program : {kSetupProgram, kManualProgram}) {
      fs::create_directories(Path(program).parent_path());
      fs::copy_file(fs::path(AUTORUN_BUILD_DIR) / (Launcher32Bit() ? "win32" : "win64") / "recording_program.exe", Path(program));
    }
    return;
#endif
    // The setup program says which session it leads, then whether it outlived the launcher.
    Write(kSetupProgram, "#!/bin/sh\necho \"setup pid=$$ sid=$(cut -d' ' -f6 /proc/$$/stat)\"" + append +
                             "i=0; while kill -0 $PPID 2>/dev/null && [ $i -lt 600 ]; do sleep 0.2; i=$((i+1)); done\n"
                             "echo \"setup outlived the launcher\"" + append, true);
    Write(kManualProgram, "#!/bin/sh\necho \"manualinstallation pid=$$\"" + append, true);
  }
  testing_support::TempDir dir;
  fs::path root = dir.path(), disc = root / "disc", log = root / "results.log";
  fs::path Path(std::string_view file) const { return disc / file; }
  std::map<std::string, Image> expected;  // the pictures written, as shown
  std::vector<std::string> Log() const { return Lines(ReadFile(log)); }
  std::size_t Count(std::string_view program) const {  // the runs of "setup", "manualinstallation" or "open"
    return std::ranges::count_if(Log(), [&](const std::string& l) {
      return l.starts_with(std::string(program) + " ") && !l.ends_with("outlived the launcher");
    });
  }
  void Write(std::string_view file, const std::vector<std::uint8_t>& bytes) { Write(file, std::string(bytes.begin(), bytes.end())); }
  void Write(std::string_view file, const std::string& text, bool executable = false) {
    dir.Write("disc/" + std::string(file), text, executable);
  }
};

// The test's own X connection.
class X {
 public:
  explicit X(const std::string& display) : dpy(XOpenDisplay(display.c_str())) {
    if (dpy == nullptr) return;
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows vanish while the tests look at them
    XSelectInput(dpy, root = DefaultRootWindow(dpy), SubstructureNotifyMask);
    int event_base, error_base;
    XFixesQueryExtension(dpy, &event_base, &error_base);
  }
  ~X() { if (dpy != nullptr) XCloseDisplay(dpy); }
  Display* dpy;
  Window root = None;

  // A viewable window (below any frame) whose WM_NAME is `name`, not among `known`.
  Window Find(std::string_view name, const std::vector<Window>& known = {}, Window from = None, int depth = 0) {
    Window r, parent, *children = nullptr, found = None;
    unsigned count = 0;
    if (depth > 3 || !XQueryTree(dpy, from == None ? root : from, &r, &parent, &children, &count)) return None;
    for (unsigned i = 0; i < count && found == None; ++i)
      if (Text(children[i], "WM_NAME") == name && Viewable(children[i]) &&
          std::find(known.begin(), known.end(), children[i]) == known.end())
        found = children[i];
      else
        found = Find(name, known, children[i], depth + 1);
    if (children != nullptr) XFree(children);
    return found;
  }
  // The names of the top-level windows mapped since the last call (a frame's: its client's), "?" for one gone.
  std::vector<std::string> MappedNames() {
    XSync(dpy, False);
    std::vector<std::string> names;
    for (XEvent e; XPending(dpy) > 0;) {
      if (XNextEvent(dpy, &e), e.type != MapNotify || e.xmap.event != root) continue;
      Window r, parent, *children = nullptr;
      unsigned count = 0;
      std::optional<std::string> name = Text(e.xmap.window, "WM_NAME");
      if (!name && XQueryTree(dpy, e.xmap.window, &r, &parent, &children, &count))
        for (unsigned i = 0; i < count && !name; ++i) name = Text(children[i], "WM_NAME");
      if (children != nullptr) XFree(children);
      names.push_back(name.value_or("?"));
    }
    return names;
  }
  bool Viewable(Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable;
  }
  std::optional<std::string> Text(Window w, const char* property, const char* type = "STRING") {
    auto bytes = Property<char>(w, property, XInternAtom(dpy, type, False));
    return bytes ? std::optional<std::string>(std::string(bytes->begin(), bytes->end())) : std::nullopt;
  }
  std::vector<unsigned long> Cardinals(Window w, const char* property) { return Property<unsigned long>(w, property, XA_CARDINAL).value_or(std::vector<unsigned long>()); }
  Point Origin(Window w) {
    Point p{};
    Window child;
    return XTranslateCoordinates(dpy, w, root, 0, 0, &p.x, &p.y, &child), p;
  }
  Image Grab(Window w, int x, int y, int width, int height) {
    XImage* image = Viewable(w) ? XGetImage(dpy, w, x, y, width, height, AllPlanes, ZPixmap) : nullptr;
    if (image == nullptr) return {};
    Image out{width, height, {}};
    // Each channel widened to 8 bits, whatever the visual holds.
    const auto channel = [](unsigned long p, unsigned long mask) {
      return static_cast<std::uint32_t>((p & mask) / (mask & -mask) * 255 / (mask / (mask & -mask)));
    };
    for (int row = 0; row < height; ++row)
      for (int col = 0; col < width; ++col) {
        const unsigned long p = XGetPixel(image, col, row);
        out.pixels.push_back(0xFF000000u | channel(p, image->red_mask) << 16 | channel(p, image->green_mask) << 8 |
                             channel(p, image->blue_mask));
      }
    XDestroyImage(image);
    return out;
  }
  void Move(Point p) { XTestFakeMotionEvent(dpy, DefaultScreen(dpy), p.x, p.y, CurrentTime), XSync(dpy, False); }
  void Button(unsigned button, bool down) { XTestFakeButtonEvent(dpy, button, down, CurrentTime), XSync(dpy, False); }
  void Key(const char* keysym) {
    for (bool down : {true, false}) XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, XStringToKeysym(keysym)), down, CurrentTime);
    XSync(dpy, False);
  }
  void ReleaseButtons() {
    Window r, c;
    int i;
    unsigned mask = 0;
    XQueryPointer(dpy, root, &r, &c, &i, &i, &i, &i, &mask);
    for (unsigned b = 1; b <= 5; ++b)
      if (mask & (Button1Mask << (b - 1))) Button(b, false);
  }
  struct Shape {
    int w = 0, h = 0, hot_x = 0, hot_y = 0;
    std::vector<std::uint32_t> pixels;
  };
  Shape Cursor() {
    Shape shape;
    if (XFixesCursorImage* c = XFixesGetCursorImage(dpy)) {
      shape = {c->width, c->height, c->xhot, c->yhot, {c->pixels, c->pixels + c->width * c->height}};
      XFree(c);
    }
    return shape;
  }
  void Close(Window w) {  // WM_DELETE_WINDOW, as a frame's close button sends it
    XEvent e{};
    e.xclient = {ClientMessage, 0, True, dpy, w, XInternAtom(dpy, "WM_PROTOCOLS", False), 32, {}};
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    XSendEvent(dpy, w, False, NoEventMask, &e);
    XSync(dpy, False);
  }

 private:
  template <typename T>  // char for 8-bit items, unsigned long for 32-bit ones
  std::optional<std::vector<T>> Property(Window w, const char* name, Atom type) {
    Atom actual;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::optional<std::vector<T>> values;
    if (XGetWindowProperty(dpy, w, XInternAtom(dpy, name, False), 0, 1 << 20, False, type, &actual, &format, &count, &after,
                           &data) == Success && actual == type && format == (sizeof(T) == 1 ? 8 : 32))
      values.emplace(reinterpret_cast<T*>(data), reinterpret_cast<T*>(data) + count);
    if (data != nullptr) XFree(data);
    return values;
  }
};

// One X server for the whole test program (Wine's desktop process is bound to it), with room for
// a window three times as large.
struct Server {
  std::unique_ptr<Child> xvfb;
  std::string display, why_not;
  fs::path folder = testing_support::MakeTempFolder("e2e-x");
  std::vector<std::string> env;  // what every launcher gets besides DISPLAY and PATH

  // `prefix`: what runs the server, as `unshare` puts it apart.
  explicit Server(std::vector<std::string> prefix = {}, const char* screen = "2048x1536x24") {
#ifdef AUTORUN_WINE
    // A fresh prefix, whose "open" of an HTML file runs winebrowser, and so the first xdg-open on PATH.
    // wine64 starts Wine's new processes itself, as Debian's wine does where it is the only loader.
    env = {"WINEPREFIX=" + (folder / "prefix").string(), Launcher32Bit() ? "WINEARCH=win32" : "WINEARCH=win64",
           Launcher32Bit() ? "WINELOADER=" : "WINELOADER=" + WineLoader(), "WINEDEBUG=-all",
           "WINEDLLOVERRIDES=mscoree,mshtml=d", "DISPLAY="};
    auto run = [&](std::vector<std::string> argv) { return Child(Wine(argv), folder, env, folder / "wine").Wait(Millis(300000)) == 0; };
    if (!run({"wineboot", "-i"}) || !run({"reg", "add", "HKCR\\.html", "/ve", "/d", "htmlfile", "/f"}) ||
        !run({"reg", "add", "HKCR\\htmlfile\\shell\\open\\command", "/ve", "/d", "winebrowser \"%1\"", "/f"}))
      why_not = "Wine could not make a prefix: " + ReadFile(folder / "wine");
    Child({"wineserver", "-k"}, folder, env).Wait(Millis(30000));  // its desktop process has no display; the launcher's will
    env.pop_back();
#endif
    int fds[2];
    if (::pipe(fds) != 0) return;
    prefix.insert(prefix.end(), {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"});
    xvfb = std::make_unique<Child>(prefix, folder, std::vector<std::string>{}, folder / "Xvfb", fds[1]);
    ::close(fds[1]);
    char c;
    pollfd p{fds[0], POLLIN, 0};
    for (display = ":"; ::poll(&p, 1, 15000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n';) display += c;
    ::close(fds[0]);
    if (display == ":") why_not += "Xvfb did not start: " + xvfb->Err();
    env.push_back("DISPLAY=" + display);
  }
  ~Server() {
#ifdef AUTORUN_WINE
    Child({"wineserver", "-k"}, folder, env).Wait(Millis(30000));
#endif
    xvfb.reset();
    fs::remove_all(folder);
  }
  static Server& Shared() {
    static Server server;
    return server;
  }
};

// One launcher and its window.
struct Session {
  std::unique_ptr<Child> process;
  Window window = None;
  Point origin{};
  pid_t owner = 0;  // the process that owns the window: under Wine not always the one started
  int dpi = 96;     // its scale: dpi / 96 screen pixels a client pixel
  int Screen(int x) const { return x >= 0 ? (x * dpi + 95) / 96 : x * dpi / 96; }  // the first screen pixel of client pixel x
};

class LauncherTest : public ::testing::Test {
 protected:
  int dpi_ = 96;  // the scale the desktop gives the launchers started next
  void SetUp() override {
    if (!SkipReason().empty()) GTEST_SKIP() << SkipReason();
    ASSERT_EQ(Server::Shared().why_not, "");
    ASSERT_TRUE(Poll([&] { return (x_ = std::make_unique<X>(Server::Shared().display))->dpy != nullptr; }, Millis(10000)));
    NewDisc();
  }

  X& x() { return *x_; }
  Disc& disc() { return *disc_; }
  void NewDisc() {
    sessions_.clear();
    children_.clear();
    x().ReleaseButtons();
    x().Move({0, 0});  // off every launcher window, which opens centred
    Poll([&] { return x().Find(kCaption) == None && x().Find(kDialogTitle) == None; }, Millis(5000));
    disc_ = std::make_unique<Disc>();
    x().MappedNames();
  }

  // Starts a launcher without waiting for anything; in the disc's root unless `where` says otherwise.
  Child& Spawn(const fs::path& where = {}, std::vector<std::string> env = {}, const std::vector<std::string>& arguments = {}) {
    std::vector<std::string> argv = kPlatform.wine ? Wine({Launcher()}) : std::vector{Launcher()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string log = "Z:" + disc().log.string();  // the recording program's, as Windows names it
    std::replace(log.begin(), log.end(), '/', '\\');
    env.insert(env.begin(), {"PATH=" + (disc().root / "bin").string() + ":/usr/local/bin:/usr/bin:/bin", "AUTORUN_TEST_LOG=" + log});
    env.insert(env.begin(), Server::Shared().env.begin(), Server::Shared().env.end());
    return *children_.emplace_back(std::make_unique<Child>(argv, where.empty() ? disc().disc : where, env,
                                                           disc().root / ("launcher-" + std::to_string(children_.size()))));
  }
  // Starts a launcher and waits for its window to show the general help; nullptr after a failure.
  Session* Start(const std::vector<std::string>& env = {}, const std::vector<std::string>& arguments = {}) {
    return Attach(Spawn({}, env, arguments));
  }
  Session* Attach(Child& launcher) {
    auto owned = std::find_if(children_.begin(), children_.end(), [&](const auto& c) { return c.get() == &launcher; });
    auto s = std::make_unique<Session>(Session{std::move(*owned)});
    children_.erase(owned);
    std::vector<Window> known;
    for (const auto& other : sessions_)  // the server hands an ended client's window numbers out again
      if (other->process->Running()) known.push_back(other->window);
    Poll([&] { return (s->window = x().Find(kCaption, known)) != None || !s->process->Running(); }, Millis(20000));
    if (s->window == None) {
      ADD_FAILURE() << "no launcher window; it has " << s->process->Wait(Millis(0)).value_or(-1) << ": " << s->process->Err();
      return nullptr;
    }
    s->origin = x().Origin(s->window);
    s->dpi = dpi_;
    std::vector<unsigned long> pid = x().Cardinals(s->window, "_NET_WM_PID");
    s->owner = pid.size() == 1 ? static_cast<pid_t>(pid[0]) : s->process->pid();
    x().MappedNames();  // from here on, any window mapped is another one
    Session* session = sessions_.emplace_back(std::move(s)).get();
    if (std::string diff = Shows(*session, kHelp, "help"); !diff.empty()) {
      ADD_FAILURE() << "the help panel never showed help.gif: " << diff;
      return nullptr;
    }
    return session;
  }

  Point At(const Session& s, const Rect& r, Point offset) const {
    return {s.origin.x + s.Screen(r.x + offset.x), s.origin.y + s.Screen(r.y + offset.y)};
  }
  // The part `r` of the window's client area as shown: at another scale than 1, each client
  // pixel read where the screen shows its centre.
  Image Seen(const Session& s, const Rect& r, int w, int h) {
    if (s.dpi == 96) return x().Grab(s.window, r.x, r.y, w, h);
    const int x0 = r.x * s.dpi / 96, y0 = r.y * s.dpi / 96;
    const Image screen = x().Grab(s.window, x0, y0, s.Screen(r.x + w) - x0, s.Screen(r.y + h) - y0);
    if (screen.pixels.empty()) return {};
    Image out{w, h, {}};
    for (int y = r.y; y < r.y + h; ++y)
      for (int x = r.x; x < r.x + w; ++x) out.pixels.push_back(screen.At((2 * x + 1) * s.dpi / 192 - x0, (2 * y + 1) * s.dpi / 192 - y0));
    return out;
  }
  void Move(const Session& s, const Rect& r, std::optional<Point> at = {}) { x().Move(At(s, r, at.value_or(r.Centre()))); }
  void Click(const Session& s, const Rect& r, std::optional<Point> at = {}, unsigned button = 1) {
    Move(s, r, at);
    x().Button(button, true);
    x().Button(button, false);
  }
  // "" once the control shows `expected` within the deadline, else how it differs.
  std::string Shows(const Session& s, const Rect& r, const Image& expected, Millis deadline = Millis(8000)) {
    std::string diff;
    Poll([&] { return (diff = Difference(Seen(s, r, expected.width, expected.height), expected, s.dpi % 96 != 0)).empty(); },
         deadline);
    return diff.empty() ? diff : std::string(r.name) + ": " + diff;
  }
  // A picture of the disc's, or "" for the background beneath.
  std::string Shows(const Session& s, const Rect& r, const std::string& picture, Millis deadline = Millis(8000)) {
    return Shows(s, r, picture.empty() ? Crop(*BuildAsset("background.bmp"), r) : disc().expected.at(picture), deadline);
  }
  // The pointer's shape once `ok` holds of it, or the last one seen.
  X::Shape Pointer(const std::function<bool(const X::Shape&)>& ok) {
    X::Shape shape;
    Poll([&] { return ok(shape = x().Cursor()); }, Millis(8000));
    return shape;
  }
  static bool IsHand(const X::Shape& c) {  // the built-in hand
    static const std::optional<Image> hand = BuildAsset("hand.cur");
    return c.hot_x == 5 && c.hot_y == 0 && Matches(c, *hand);
  }
  static bool IsArrow(const X::Shape& c) {
    // Ours: its tip black, white inside, clear beside it. Wine's own differs with its setup: any but the hand.
    return kPlatform.wine ? c.w > 0 && !IsHand(c)
                          : c.w == 12 && c.h == 19 && c.hot_x == 0 && c.hot_y == 0 && c.pixels[0] == 0xFF000000u &&
                                c.pixels[2 * 12 + 1] == 0xFFFFFFFFu && c.pixels[11] == 0;
  }
  static bool IsBusy(const X::Shape& c) {
    return c.hot_x == 9 && c.hot_y == 13 && (Matches(c, BusyFrame(0)) || Matches(c, BusyFrame(1)));
  }
  static bool Matches(const X::Shape& c, const Image& image) {  // transparent where it is, its colours elsewhere
    if (c.w != image.width || c.h != image.height) return false;
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
      if ((image.pixels[i] >> 24 == 0) ? (c.pixels[i] >> 24 != 0) : (c.pixels[i] & 0xFFFFFFFFu) != image.pixels[i]) return false;
    return true;
  }
  bool Settled(const Session& s) { return Idle(s.owner, Millis(20000)); }  // it has handled all it was sent
  bool WaitLog(std::string_view program, std::size_t lines, Millis deadline = kPlatform.exit_deadline) {
    return Poll([&] { return disc().Count(program) >= lines; }, deadline);
  }
  // 100,000 motions at full speed, round `path` again and again.
  void Storm(const Session& s, std::initializer_list<const Rect*> path) {
    for (int i = 0; i < 100000; ++i) {
      const Point p = At(s, *path.begin()[i % path.size()], path.begin()[i % path.size()]->Centre());
      XTestFakeMotionEvent(x().dpy, DefaultScreen(x().dpy), p.x, p.y, CurrentTime);
    }
  }

  // The run-time error: a message titled "autorun" and no other window, two lines on
  // standard error, status 1 once the message is dismissed with a key (Return, Escape),
  // by its frame ("close") or its button ("button"). `message`, as `Call "file": cause`, is
  // the second line after "autorun: Run-time error: ", or its beginning when it ends in
  // "..."; the first names the call and the file.
  void ExpectError(Child& launcher, const std::string& message, const char* dismiss = "Return") {
    Window dialog = None;
    Poll([&] { return (dialog = x().Find(kDialogTitle)) != None || !launcher.Running(); }, Millis(20000));
    x().ReleaseButtons();
    ASSERT_NE(dialog, None) << "no error message; it has " << launcher.Wait(Millis(0)).value_or(-1) << ": " << launcher.Err();
    EXPECT_EQ(x().Find(kCaption), None) << "the window shows behind the message";
    for (const std::string& mapped : x().MappedNames())  // Wine maps helpers of its own, unnamed
      EXPECT_TRUE((kPlatform.wine && mapped == "?") || mapped == kDialogTitle) << mapped << ": another window showed";
    std::vector<std::string> lines;
    Poll([&] { return (lines = Lines(launcher.Err())).size() >= 2; }, Millis(5000));
    ASSERT_EQ(lines.size(), 2u) << launcher.Err();
    const std::size_t quote = message.find('"'), end = message.find('"', quote + 1);
    const std::string named = message.substr(0, quote - 1) + "「" + message.substr(quote + 1, end - quote - 1) + "」";
    EXPECT_TRUE(lines[0].starts_with("autorun: ") && lines[0].find(named) != std::string::npos) << lines[0] << ": not " << named;
    const std::string expected = "autorun: Run-time error: " + message, start = expected.substr(0, expected.size() - 3);
    EXPECT_TRUE(expected.ends_with("...") ? lines[1].starts_with(start) && lines[1].size() > start.size() : lines[1] == expected)
        << lines[1] << " is not " << expected;
    EXPECT_TRUE(launcher.Running()) << "it ended before the message was dismissed";
    const Point corner = x().Origin(dialog);
    x().Move(corner);  // out of the message's way
    if (dismiss == std::string_view("close")) x().Close(dialog);
    XWindowAttributes a{};
    if (dismiss == std::string_view("button")) Poll([&] {  // the button: the first wide run of its face colour, once painted
      XGetWindowAttributes(x().dpy, dialog, &a);
      Image face = x().Grab(dialog, 0, 0, a.width, a.height);
      for (int i = 0, run = 0; i < static_cast<int>(face.pixels.size()); ++i)
        if ((run = face.pixels[i] == 0xFFE1E1E1 && run <= i % a.width ? run + 1 : 0) == 20)
          return Click(Session{nullptr, None, corner}, kClient, Point{i % a.width - 10, i / a.width}), true;
      return false;
    }, Millis(5000));
    // Wine's message may take the keyboard a while after it shows: the key until it goes.
    Poll([&] { return (*dismiss < 'a' && (x().Key(dismiss), true)), launcher.Wait(Millis(500)).has_value(); },
         kPlatform.exit_deadline, Millis(0));
    EXPECT_EQ(launcher.Wait(Millis(0)), 1) << launcher.Err();
    EXPECT_TRUE(Poll([&] { return !x().Viewable(dialog); }, Millis(5000))) << "the message stays";
  }

  std::unique_ptr<X> x_;
  std::unique_ptr<Disc> disc_;
  // Declared last, so ended first: no launcher outlives its disc.
  std::vector<std::unique_ptr<Session>> sessions_;
  std::vector<std::unique_ptr<Child>> children_;
};

}  // namespace e2e
