#include "tests/e2e/harness.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "assets/encode.h"

extern char** environ;

namespace e2e {

#ifdef AUTORUN_WINE
// Each event-pump call goes through Wine's server: the waits last many times longer.
const Platform kPlatform{true, false, Millis(120000), Millis(900000), "file://"};
#else
const Platform kPlatform{false, true, Millis(20000), Millis(180000), ""};
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr Millis kWindowDeadline{20000};

fs::path TempFolder(const char* what) {
  std::string pattern = (fs::temp_directory_path() / ("autorun-" + std::string(what) + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
  return pattern;
}

std::string Launcher() {
  const char* exe = std::getenv("AUTORUN_EXE");
  return exe != nullptr && *exe != '\0' ? exe : AUTORUN_BUILD_DIR "/autorun";
}

// One X server for the whole test program (Wine's desktop process is bound to it).
struct Server {
  std::unique_ptr<Child> xvfb, openbox;
  std::string display, why_not;
  fs::path folder;
  std::vector<std::string> env;  // what every launcher gets besides DISPLAY
};

#ifdef AUTORUN_WINE
// A fresh Wine prefix, whose "open" on an HTML file runs winebrowser, and so the first xdg-open on PATH.
void MakePrefix(Server& s) {
  s.env = {"WINEPREFIX=" + (s.folder / "prefix").string(), "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=d",
           "AUTORUN_TEST_LOG=", "DISPLAY="};
  auto run = [&](std::vector<std::string> argv) {
    return Child(argv, s.folder, Environment(s.env), s.folder / "wine").Wait(Millis(300000)) == 0;
  };
  if (!run({"wineboot", "-i"}) || !run({"wine", "reg", "add", "HKCR\\.html", "/ve", "/d", "htmlfile", "/f"}) ||
      !run({"wine", "reg", "add", "HKCR\\htmlfile\\shell\\open\\command", "/ve", "/d", "winebrowser \"%1\"", "/f"}))
    s.why_not = "Wine could not make a prefix: " + ReadFile(s.folder / "wine.err");
  run({"wineserver", "-k"});  // its desktop process has no display; the launcher's will
  s.env.pop_back();
}
#endif

Server& Shared() {
  static Server s = [] {
    Server s;
    s.folder = TempFolder("e2e-x");
#ifdef AUTORUN_WINE
    MakePrefix(s);
#endif
    int fds[2];
    if (::pipe(fds) != 0) return s;
    s.xvfb = std::make_unique<Child>(
        std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
        s.folder, Environment({}), s.folder / "Xvfb", fds[1]);
    ::close(fds[1]);
    std::string number;
    char c;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 15000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (number.empty()) s.why_not = "Xvfb did not start: " + s.xvfb->Err();
    s.display = ":" + number;
    return s;
  }();
  return s;
}

struct Cleanup : ::testing::Environment {
  void TearDown() override {
    Server& s = Shared();
#ifdef AUTORUN_WINE
    Child({"wineserver", "-k"}, s.folder, Environment(s.env)).Wait(Millis(30000));
#endif
    s.openbox.reset();
    s.xvfb.reset();
    fs::remove_all(s.folder);
  }
};
[[maybe_unused]] auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new Cleanup);

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

std::uint32_t Argb(assets::Rgb c) { return 0xFF000000u | c.r << 16 | c.g << 8 | c.b; }

// The disc's pictures at their controls' sizes; every paper colour is unique.
struct PictureRow {
  const char* name;
  int w, h;
  assets::Rgb paper, ink;
};
constexpr PictureRow kPictures[] = {
    {"help", 377, 73, {40, 90, 200}, {250, 250, 120}},
    {"setupwizardhelp", 377, 73, {200, 40, 60}, {20, 250, 250}},
    {"manualinstallationhelp", 377, 73, {40, 160, 70}, {250, 20, 250}},
    {"documentationhelp", 377, 73, {150, 60, 190}, {250, 250, 20}},
    {"setupwizard", 110, 24, {230, 150, 20}, {20, 20, 120}},
    {"setupwizarddown", 110, 24, {120, 70, 10}, {200, 200, 255}},
    {"manualinstallation", 149, 23, {20, 180, 180}, {120, 0, 0}},
    {"manualinstallationdown", 149, 23, {10, 90, 90}, {255, 200, 200}},
    {"documentation", 118, 25, {240, 90, 160}, {0, 60, 0}},
    {"documentationdown", 118, 25, {120, 40, 80}, {200, 255, 200}},
    {"exit", 44, 24, {90, 200, 30}, {60, 0, 90}},
    {"exitdown", 44, 24, {40, 100, 10}, {255, 220, 255}},
};

// Diagonal stripes moving with the frame, a clear margin at the top and left.
Image BusyFrame(int frame) {
  Image image{32, 32, {}};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      image.pixels.push_back(x < 2 || y < 2 ? 0 : (x + y + frame * 4) % 8 < 4 ? 0xFF000000u : 0xFFFFFFFFu);
  return image;
}

}  // namespace

bool Poll(const std::function<bool()>& done, Millis deadline, Millis step) {
  for (auto end = Clock::now() + deadline;; std::this_thread::sleep_for(step))
    if (done() || Clock::now() >= end) return done();
}

std::string ReadFile(const fs::path& file) {
  std::ostringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  return text.str();
}

std::vector<std::string> ReadLines(const fs::path& file) {
  std::istringstream in(ReadFile(file));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
  return lines;
}

void WriteFile(const fs::path& file, std::string_view bytes, bool executable) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (executable) fs::permissions(file, fs::perms(0111), fs::perm_options::add);
}

Child::Child(const std::vector<std::string>& argv, const fs::path& cwd, const std::vector<std::string>& env,
             const fs::path& output, int fd3, uid_t user)
    : output_(output.empty() ? "/dev/null" : output) {
  std::vector<std::string> strings = argv, vars = env;
  std::vector<char*> args, envp;
  for (auto& s : strings) args.push_back(s.data());
  for (auto& s : vars) envp.push_back(s.data());
  args.push_back(nullptr);
  envp.push_back(nullptr);
  const std::string out = output.empty() ? "/dev/null" : output_.string() + ".out";
  const std::string err = output.empty() ? "/dev/null" : output_.string() + ".err";
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ == 0) {
    // A test that dies takes its server and launchers with it.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent || ::chdir(cwd.c_str()) != 0) ::_exit(126);
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644), e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(::open("/dev/null", O_RDONLY), 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    if (fd3 >= 0) ::dup2(fd3, 3);
    if (user != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0)) ::_exit(126);
    ::close_range(fd3 >= 0 ? 4 : 3, ~0u, 0);
    ::execvpe(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  if (pid_ > 0) ::setpgid(pid_, pid_);
}

bool Child::Running() {
  int raw = 0;
  if (pid_ <= 0 || status_) return false;
  if (::waitpid(pid_, &raw, WNOHANG) != pid_) return true;
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return false;
}

std::optional<int> Child::Wait(Millis deadline) {
  Poll([&] { return !Running(); }, deadline, Millis(10));
  return status_;
}

void Child::Kill() {
  if (!Running()) return;
  ::kill(-pid_, SIGKILL);
  ::kill(pid_, SIGKILL);
  int raw = 0;
  ::waitpid(pid_, &raw, 0);
  status_ = 128 + SIGKILL;
}

std::string Describe(const std::optional<int>& status) {
  return !status ? "still running" : *status > 128 ? "killed by signal " + std::to_string(*status - 128)
                                                    : "exit status " + std::to_string(*status);
}

std::vector<std::string> Environment(const std::vector<std::string>& overrides) {
  std::map<std::string, std::string> env;  // by name with its "="; a later entry wins
  for (char** e = environ; *e != nullptr; ++e) env[std::string(*e).substr(0, std::string(*e).find('=') + 1)] = *e;
  for (const std::string& o : overrides) env[o.substr(0, o.find('=') + 1)] = o;
  std::vector<std::string> out;
  for (const auto& [name, entry] : env)
    if (entry != name) out.push_back(entry);
  return out;
}

bool Idle(pid_t pid, Millis deadline) {
  // Asleep, with utime + stime unchanged, for 300 ms on end.
  auto sample = [pid] {
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(std::min(stat.size(), stat.rfind(')') + 2)));
    std::string f[13];
    for (auto& field : f) fields >> field;
    return f[0] == "S" ? f[11] + "+" + f[12] : std::string("busy");
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

std::string Picture(std::string_view name) { return "Setup/images/" + std::string(name) + ".gif"; }

Disc::Disc(bool capitals) : root(TempFolder("e2e")), disc(root / "disc"), log(root / "results.log"), capitals_(capitals) {
  for (const PictureRow& p : kPictures) {
    // Ink along the top row and left column and a third colour in the last pixel: a shift by one shows.
    assets::IndexedImage image{p.w, p.h, {}, {p.paper, p.ink, {255, 128, 0}}};
    Image expected{p.w, p.h, {}};
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        image.indices.push_back(x == p.w - 1 && y == p.h - 1 ? 2 : x == 0 || y == 0 ? 1 : 0);
        expected.pixels.push_back(Argb(image.palette[image.indices.back()]));
      }
    Bytes gif = assets::EncodeGif(image);
    WriteFile(Path(Picture(p.name)), {reinterpret_cast<const char*>(gif.data()), gif.size()});
    expected_.push_back(std::move(expected));
  }
  busy_ = {BusyFrame(0), BusyFrame(1)};
  Bytes ani = Encode(busy_[0], 9, 13, 2);
  WriteFile(Path(kBusyPointer), {reinterpret_cast<const char*>(ani.data()), ani.size()});
  WriteFile(Path(kGuide), "<!DOCTYPE html>\n<title>User guide</title>\n");
  // Open to every user: an ordinary user's launcher tries the unreadable files.
  fs::permissions(root, fs::perms(0755));
  WriteFile(log, "");
  fs::permissions(log, fs::perms(0666));
  const std::string append = " >> '" + log.string() + "'\n";
  WriteFile(root / "bin" / "xdg-open", "#!/bin/sh\necho \"open $*\"" + append, true);
  if (kPlatform.wine) {
    const fs::path recorder = fs::path(Launcher()).parent_path() / "recording_program.exe";
    for (std::string_view program : {kSetupProgram, kManualProgram}) fs::copy_file(recorder, Path(program));
    return;
  }
  // The setup program says which session it leads, then whether it outlived the launcher.
  WriteFile(Path(kSetupProgram),
            "#!/bin/sh\necho \"setup pid=$$ sid=$(cut -d' ' -f6 /proc/$$/stat)\"" + append +
                "i=0; while kill -0 $PPID 2>/dev/null && [ $i -lt 600 ]; do sleep 0.2; i=$((i+1)); done\n"
                "echo \"setup outlived the launcher\"" + append, true);
  WriteFile(Path(kManualProgram), "#!/bin/sh\necho \"manualinstallation pid=$$\"" + append, true);
}

Disc::~Disc() {
  std::error_code ignored;
  fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root, ignored);
}

std::string Disc::Name(std::string_view file) const {
  std::string name(file);
  if (capitals_) std::transform(name.begin(), name.end(), name.begin(), ::toupper);
  return name;
}

const Image& Disc::Expected(std::string_view picture) const {
  for (std::size_t i = 0; i < std::size(kPictures); ++i)
    if (picture == kPictures[i].name) return expected_[i];
  throw std::invalid_argument("no picture " + std::string(picture));
}

std::size_t Disc::Count(std::string_view program) const {
  std::vector<std::string> lines = Log();
  return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.starts_with(std::string(program) + " ") && !l.ends_with("outlived the launcher");
  });
}

std::string Disc::PathVariable() const { return (root / "bin").string() + ":/usr/local/bin:/usr/bin:/bin"; }

X::X(const std::string& display) : dpy(XOpenDisplay(display.c_str())) {
  if (dpy == nullptr) return;
  XSetErrorHandler(&IgnoreErrors);  // windows vanish while the tests look at them
  root = DefaultRootWindow(dpy);
  XSelectInput(dpy, root, SubstructureNotifyMask);
  int event_base, error_base;
  XFixesQueryExtension(dpy, &event_base, &error_base);
}

X::~X() {
  if (dpy != nullptr) XCloseDisplay(dpy);
}

Window X::Find(std::string_view name, const std::vector<Window>& known) {
  std::function<Window(Window, int)> walk = [&](Window w, int depth) -> Window {
    Window root_return, parent, *children = nullptr;
    unsigned count = 0;
    if (depth > 4 || !XQueryTree(dpy, w, &root_return, &parent, &children, &count)) return None;
    std::vector<Window> list(children, children + count);
    if (children != nullptr) XFree(children);
    for (Window c : list) {
      if (Text(c, "WM_NAME") == name && Viewable(c) && std::find(known.begin(), known.end(), c) == known.end()) return c;
      if (Window found = walk(c, depth + 1)) return found;
    }
    return None;
  };
  return walk(root, 1);
}

std::vector<std::string> X::MappedNames() {
  XSync(dpy, False);
  std::vector<std::string> names;
  for (XEvent e; XPending(dpy) > 0;) {
    XNextEvent(dpy, &e);
    if (e.type == MapNotify && e.xmap.event == root) names.push_back(Text(e.xmap.window, "WM_NAME").value_or("?"));
  }
  return names;
}

bool X::Viewable(Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable;
}

std::optional<std::string> X::Text(Window w, const char* property, const char* type) {
  Atom wanted = XInternAtom(dpy, type, False), actual;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::optional<std::string> text;
  if (XGetWindowProperty(dpy, w, XInternAtom(dpy, property, False), 0, 1024, False, wanted, &actual, &format,
                         &count, &after, &data) == Success && actual == wanted && format == 8)
    text = std::string(reinterpret_cast<char*>(data), count);
  if (data != nullptr) XFree(data);
  return text;
}

std::vector<unsigned long> X::Cardinals(Window w, const char* property) {
  Atom actual;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::vector<unsigned long> values;
  if (XGetWindowProperty(dpy, w, XInternAtom(dpy, property, False), 0, 1 << 20, False, XA_CARDINAL, &actual,
                         &format, &count, &after, &data) == Success && format == 32)
    values.assign(reinterpret_cast<unsigned long*>(data), reinterpret_cast<unsigned long*>(data) + count);
  if (data != nullptr) XFree(data);
  return values;
}

Point X::Origin(Window w) {
  Point p{};
  Window child;
  XTranslateCoordinates(dpy, w, root, 0, 0, &p.x, &p.y, &child);
  return p;
}

Image X::Grab(Window w, int x, int y, int width, int height) {
  XWindowAttributes a;
  XImage* image = Viewable(w) && XGetWindowAttributes(dpy, w, &a) ? XGetImage(dpy, w, x, y, width, height, AllPlanes, ZPixmap) : nullptr;
  if (image == nullptr) return {};
  Image out{width, height, {}};
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) out.pixels.push_back(0xFF000000u | (XGetPixel(image, col, row) & 0xFFFFFF));
  XDestroyImage(image);
  return out;
}

void X::Move(Point p) {
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), p.x, p.y, CurrentTime);
  XSync(dpy, False);
}

void X::Button(unsigned button, bool down) {
  XTestFakeButtonEvent(dpy, button, down, CurrentTime);
  XSync(dpy, False);
}

void X::Key(const char* keysym) {
  KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(keysym));
  XTestFakeKeyEvent(dpy, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, False, CurrentTime);
  XSync(dpy, False);
}

void X::ReleaseButtons() {
  Window r, c;
  int i;
  unsigned mask = 0;
  XQueryPointer(dpy, root, &r, &c, &i, &i, &i, &i, &mask);
  for (unsigned b = 1; b <= 5; ++b)
    if (mask & (Button1Mask << (b - 1))) Button(b, false);
}

X::Shape X::Cursor() {
  Shape shape;
  if (XFixesCursorImage* c = XFixesGetCursorImage(dpy)) {
    shape = {c->width, c->height, c->xhot, c->yhot, {c->pixels, c->pixels + c->width * c->height}};
    XFree(c);
  }
  return shape;
}

void X::Close(Window w) {
  XEvent e{};
  e.xclient = {ClientMessage, 0, True, dpy, w, XInternAtom(dpy, "WM_PROTOCOLS", False), 32, {}};
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  XSendEvent(dpy, w, False, NoEventMask, &e);
  XSync(dpy, False);
}

bool LauncherTest::managed_ = false;

void LauncherTest::SetUpTestSuite() {
  Server& s = Shared();
  if (!managed_ || !s.why_not.empty()) return;
  // Openbox runs its --startup command once it handles requests: a window mapped before would be lost.
  const fs::path ready = s.folder / "openbox.ready";
  s.openbox = std::make_unique<Child>(std::vector<std::string>{"openbox", "--sm-disable", "--startup", "touch " + ready.string()},
                                      s.folder, Environment({"DISPLAY=" + s.display}), s.folder / "openbox");
  if (!Poll([&] { return fs::exists(ready); }, Millis(15000))) s.why_not = "openbox did not start: " + s.openbox->Err();
}

void LauncherTest::TearDownTestSuite() {
  Shared().openbox.reset();
  fs::remove(Shared().folder / "openbox.ready");
}

void LauncherTest::SetUp() {
  ASSERT_EQ(Shared().why_not, "");
  x_ = std::make_unique<X>(Shared().display);
  ASSERT_NE(x_->dpy, nullptr);
  NewDisc();
}

void LauncherTest::NewDisc(bool capitals) {
  sessions_.clear();
  children_.clear();
  x().ReleaseButtons();
  x().Move({0, 0});  // off every launcher window, which opens centred
  Poll([&] { return x().Find(kCaption) == None && x().Find(kDialogTitle) == None; }, Millis(5000));
  disc_ = std::make_unique<Disc>(capitals);
  x().MappedNames();
}

void LauncherTest::TearDown() {
  sessions_.clear();
  children_.clear();
  if (x_) x().ReleaseButtons();
}

Child& LauncherTest::Spawn(std::vector<std::string> arguments, const fs::path& where,
                           const std::vector<std::string>& env, uid_t user) {
  std::vector<std::string> argv = {Launcher()};
  if (kPlatform.wine) argv.insert(argv.begin(), "wine");
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<std::string> overrides = Shared().env;
  overrides.push_back("DISPLAY=" + Shared().display);
  overrides.push_back("PATH=" + disc().PathVariable());
  if (kPlatform.wine) {
    std::string log = "Z:" + disc().log.string();
    std::replace(log.begin(), log.end(), '/', '\\');
    overrides.push_back("AUTORUN_TEST_LOG=" + log);
  }
  overrides.insert(overrides.end(), env.begin(), env.end());
  children_.push_back(std::make_unique<Child>(argv, where.empty() ? disc().disc : where, Environment(overrides),
                                              disc().root / ("launcher-" + std::to_string(children_.size())), -1, user));
  return *children_.back();
}

Session* LauncherTest::Start(std::vector<std::string> arguments, const std::vector<std::string>& env) {
  return Attach(Spawn(std::move(arguments), {}, env));
}

Session* LauncherTest::Attach(Child& launcher) {
  auto owned = std::find_if(children_.begin(), children_.end(), [&](const auto& c) { return c.get() == &launcher; });
  std::unique_ptr<Child> process = std::move(*owned);
  children_.erase(owned);
  std::vector<Window> known;
  for (const auto& s : sessions_)  // the server hands an ended client's window numbers out again
    if (s->process->Running()) known.push_back(s->window);
  Window w = None;
  Poll([&] { return (w = x().Find(kCaption, known)) != None || !process->Running(); }, kWindowDeadline);
  if (w == None) {
    ADD_FAILURE() << "no launcher window; it is " << Describe(process->Wait(Millis(0))) << ", stderr: " << process->Err();
    return nullptr;
  }
  std::vector<unsigned long> pid = x().Cardinals(w, "_NET_WM_PID");
  x().MappedNames();  // from here on, any window mapped is another one
  sessions_.push_back(std::make_unique<Session>(
      Session{std::move(process), w, x().Origin(w), pid.size() == 1 ? static_cast<pid_t>(pid[0]) : 0}));
  Session* s = sessions_.back().get();
  if (std::string diff = Shows(*s, kHelp, "help"); !diff.empty()) {
    ADD_FAILURE() << "the help panel never showed help.gif: " << diff;
    return nullptr;
  }
  return s;
}

void LauncherTest::Click(const Session& s, const Rect& r, std::optional<Point> at, unsigned button) {
  Move(s, r, at);
  x().Button(button, true);
  x().Button(button, false);
}

std::string LauncherTest::Shows(const Session& s, const Rect& r, const Image& expected, Millis deadline) {
  std::string diff;
  Poll([&] { return (diff = Difference(x().Grab(s.window, r.x, r.y, expected.width, expected.height), expected)).empty(); },
       deadline);
  return diff.empty() ? diff : std::string(r.name) + ": " + diff + " (it shows " + Identify(s, r) + ")";
}

std::string LauncherTest::Identify(const Session& s, const Rect& r) {
  for (const PictureRow& p : kPictures)
    if (p.w <= kClient.w - r.x && p.h <= kClient.h - r.y &&
        Difference(x().Grab(s.window, r.x, r.y, p.w, p.h), disc().Expected(p.name)).empty())
      return p.name;
  return "none of the disc's pictures";
}

X::Shape LauncherTest::WaitCursor(const std::function<bool(const X::Shape&)>& ok) {
  X::Shape shape;
  Poll([&] { return ok(shape = x().Cursor()); }, Millis(8000));
  return shape;
}

bool LauncherTest::IsBusy(const X::Shape& c) const {
  if (c.w != 32 || c.h != 32 || c.hot_x != 9 || c.hot_y != 13) return false;
  return std::any_of(disc_->BusyFrames().begin(), disc_->BusyFrames().end(), [&](const Image& frame) {
    for (std::size_t i = 0; i < frame.pixels.size(); ++i)
      if ((frame.pixels[i] >> 24 == 0) ? (c.pixels[i] >> 24 != 0) : (c.pixels[i] & 0xFFFFFFFFu) != frame.pixels[i])
        return false;
    return true;
  });
}

::testing::AssertionResult LauncherTest::Settled(const Session& s) {
  if (Idle(s.owner > 0 ? s.owner : s.process->pid(), Millis(20000))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the launcher did not come to rest (" << Describe(s.process->Wait(Millis(0))) << ")";
}

void LauncherTest::ExpectError(Child& launcher, std::string_view call, std::string_view english) {
  Window dialog = None;
  Poll([&] { return (dialog = x().Find(kDialogTitle)) != None || !launcher.Running(); }, kWindowDeadline);
  x().ReleaseButtons();
  ASSERT_NE(dialog, None) << "no error message; the launcher is " << Describe(launcher.Wait(Millis(0)))
                          << ", stderr: " << launcher.Err();
  EXPECT_EQ(x().Find(kCaption), None) << "the window shows behind the message";
  std::vector<std::string> lines;
  Poll([&] { return (lines = launcher.ErrLines()).size() >= 2; }, Millis(5000));
  ASSERT_EQ(lines.size(), 2u) << launcher.Err();
  EXPECT_TRUE(lines[0].starts_with("autorun: ") && lines[0].find(call) != std::string::npos) << lines[0];
  const std::string expected = "autorun: Run-time error: " + std::string(english);
  if (expected.ends_with("..."))
    EXPECT_TRUE(lines[1].starts_with(expected.substr(0, expected.size() - 3)) && lines[1].size() > expected.size() - 3) << lines[1];
  else
    EXPECT_EQ(lines[1], expected);
  for (const std::string& name : x().MappedNames()) EXPECT_EQ(name, kDialogTitle) << "another window showed";
  x().Move(x().Origin(dialog));  // the message has the keyboard; the pointer stays out of its way
  x().Key("Return");
  EXPECT_EQ(launcher.Wait(kPlatform.exit_deadline), 1) << launcher.Err();
  EXPECT_TRUE(Poll([&] { return !x().Viewable(dialog); }, Millis(5000))) << "the message stays";
}

bool LauncherTest::WaitLog(std::string_view program, std::size_t lines, Millis deadline) {
  return Poll([&] { return disc().Count(program) >= lines; }, deadline);
}

std::optional<Image> BuildAsset(std::string_view name) {
  std::string bytes = ReadFile(fs::path(AUTORUN_BUILD_DIR) / "assets" / name);
  auto decoded = platform::DecodePicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (auto* image = std::get_if<Image>(&decoded)) return std::move(*image);
  return std::nullopt;
}

std::string Difference(const Image& actual, const Image& expected) {
  if (actual.pixels.empty()) return "nothing could be read";
  if (actual.width != expected.width || actual.height != expected.height) return "another size";
  std::size_t differ = 0, first = 0;
  for (std::size_t i = expected.pixels.size(); i-- > 0;)
    if (actual.pixels[i] != expected.pixels[i]) ++differ, first = i;
  if (differ == 0) return "";
  char text[128];
  std::snprintf(text, sizeof text, "%zu pixels differ, first at (%zu, %zu): #%06X for #%06X", differ,
                first % expected.width, first / expected.width, actual.pixels[first] & 0xFFFFFF,
                expected.pixels[first] & 0xFFFFFF);
  return text;
}

Image Crop(const Image& image, const Rect& r) {
  Image out{r.w, r.h, {}};
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) out.pixels.push_back(image.At(x, y));
  return out;
}

Bytes Encode(const Image& frame, int hot_x, int hot_y, int frames) {
  std::vector<Bytes> files;
  for (int f = 0; f < frames; ++f) files.push_back(assets::EncodeCur1(f == 0 ? frame : BusyFrame(f), hot_x, hot_y));
  return assets::EncodeAni(files, 20);
}

}  // namespace e2e
