// The real launcher, driven as a user drives it: what it shows, the pointer's
// shapes, the programs it starts, how it ends. Each scenario runs against both
// launchers; the few differences are kPlatform's.
#include "tests/e2e/harness.h"

#include <cstdio>

namespace e2e {
namespace {

using Bare = LauncherTest;

struct Hover {
  const Rect& over;
  Point at;
  bool hand;          // the hand, else the arrow
  const char* panel;  // "": empty, the background beneath shows
};

TEST_F(Bare, OpensCentredWithTheBuiltInPicturesIconAndPointers) {
  Session* s = Start({}, {"--help", "-display", ":99", "/nonexistent"});  // arguments are ignored
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(x().Text(s->window, "WM_NAME"), kCaption);
  EXPECT_EQ(x().Text(s->window, "_NET_WM_NAME", "UTF8_STRING"), kCaption);
  XWindowAttributes attrs{};
  XGetWindowAttributes(x().dpy, s->window, &attrs);
  EXPECT_EQ(std::pair(attrs.width, attrs.height), std::pair(641, 480));
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(x().dpy, s->window, &hints, &supplied));
  EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
  EXPECT_EQ(std::vector<int>({hints.min_width, hints.max_width, hints.min_height, hints.max_height}),
            std::vector<int>({641, 641, 480, 480}));
  if (!kPlatform.wine) {
    XClassHint klass{};
    ASSERT_TRUE(XGetClassHint(x().dpy, s->window, &klass));
    EXPECT_EQ(std::string(klass.res_name) + "/" + klass.res_class, "autorun/Autorun");
    XFree(klass.res_name);
    XFree(klass.res_class);
    // The frame's close button asks, rather than cutting the connection.
    Atom* protocols = nullptr;
    int count = 0;
    XGetWMProtocols(x().dpy, s->window, &protocols, &count);
    EXPECT_TRUE(count == 1 && protocols[0] == XInternAtom(x().dpy, "WM_DELETE_WINDOW", False)) << count;
    XFree(protocols);
    EXPECT_EQ(std::pair(s->origin.x, s->origin.y), std::pair((2048 - 641) / 2, (1536 - 480) / 2));
  }
  // Outside the controls, the background; on the buttons, their built-in pictures.
  std::optional<Image> background = BuildAsset("background.bmp");
  ASSERT_TRUE(background.has_value());
  Image client = x().Grab(s->window, 0, 0, 641, 480);
  for (const Rect* r : {&kHelp, &kSetup, &kManual, &kDocumentation, &kExit})
    for (int y = r->y; y < r->y + r->h; ++y)
      for (int x = r->x; x < r->x + r->w; ++x) client.pixels[y * 641 + x] = background->At(x, y);
  EXPECT_EQ(Difference(client, *background), "");
  for (const Rect* r : {&kSetup, &kManual, &kDocumentation, &kExit}) EXPECT_EQ(Shows(*s, *r, *BuildAsset(PictureName(*r) + ".gif")), "");
  // The window icon: a 32 by 32 picture among those _NET_WM_ICON holds.
  std::optional<Image> icon = BuildAsset("autorun.ico");
  std::vector<unsigned long> property = x().Cardinals(s->window, "_NET_WM_ICON");
  std::string found = "no 32x32 picture";
  for (std::size_t at = 0; at + 2 < property.size() && property[at] * property[at + 1] <= property.size() - at - 2;
       at += 2 + property[at] * property[at + 1])
    if (property[at] == 32 && property[at + 1] == 32) {
      Image shown{32, 32, {}};
      for (std::size_t i = 0; i < 1024; ++i) shown.pixels.push_back(static_cast<std::uint32_t>(property[at + 2 + i]));
      found = Difference(shown, *icon);
    }
  EXPECT_EQ(found, "") << "_NET_WM_ICON";
  // The hand over the buttons, the arrow elsewhere; the help panel follows the pointer.
  const Hover rows[] = {
      {kSetup, kSetup.Centre(), true, "setupwizardhelp"},
      {kBackground, {}, false, "help"},
      {kDocumentation, kDocumentation.Centre(), true, "documentationhelp"},
      {kHelp, kHelp.Centre(), false, "documentationhelp"},  // the panel takes the pointer from the background
      {kExit, kExit.Centre(), true, "documentationhelp"},
  };
  for (const Hover& h : rows) {
    SCOPED_TRACE(std::string(h.over.name) + " at " + std::to_string(h.at.x) + "," + std::to_string(h.at.y));
    Move(*s, h.over, h.at);
    X::Shape c = Pointer(h.hand ? IsHand : IsArrow);
    EXPECT_TRUE(h.hand ? IsHand(c) : IsArrow(c)) << c.w << "x" << c.h;
    ASSERT_TRUE(Settled(*s));  // a panel that should not change has had its chance to
    EXPECT_EQ(Shows(*s, kHelp, h.panel), "");
  }
}

struct Press {
  const Rect& button;
  Point press, release;
  unsigned mouse;
  bool pressed_picture;  // the press shows the button's pressed picture
  const char* panel;     // moves with the button held go to it: the panel at the release point ("": empty)
  const char* program;   // the release starts this ("open", "manualinstallation"), or nothing
};

// Releases that pass or fail each button's test: Exit X 100..1300, Y 100..360
// twips (pixels 7..86, 7..24); Documentation and Manual Installation X 0..2170,
// Y 0..410 (pixels 0..144, 0..27), reaching past their pictures; left button only.
// The wheel and the extra buttons are no mouse buttons to the procedures.
TEST_F(Bare, PressesShowThePressedPictureAndOnlyPassingReleasesAct) {
  const Press rows[] = {
      {kExit, {0, 0}, {0, 0}, 1, true, nullptr, nullptr},
      {kDocumentation, {59, 12}, {133, 12}, 1, true, "documentationhelp", "open"},  // past its picture
      {kDocumentation, {59, 12}, {-52, 5}, 1, true, "", nullptr},  // out of the window
      {kManual, {74, 11}, {74, 11}, 3, true, nullptr, nullptr},
      {kManual, {74, 11}, {74, 11}, 1, true, nullptr, "manualinstallation"},
      {kSetup, {55, 12}, {55, 12}, 4, false, nullptr, nullptr}, {kSetup, {55, 12}, {55, 12}, 5, false, nullptr, nullptr},
      {kSetup, {55, 12}, {55, 12}, 6, false, nullptr, nullptr}, {kSetup, {55, 12}, {55, 12}, 7, false, nullptr, nullptr},
      {kSetup, {55, 12}, {55, 12}, 8, false, nullptr, nullptr}, {kSetup, {55, 12}, {55, 12}, 9, false, nullptr, nullptr},
  };
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  std::map<std::string, std::size_t> started;
  for (const Press& p : rows) {
    SCOPED_TRACE(std::string(p.button.name) + " released at " + std::to_string(p.release.x) + "," +
                 std::to_string(p.release.y) + " with button " + std::to_string(p.mouse));
    const std::string normal = PictureName(p.button);
    Move(*s, p.button, p.press);
    x().Button(p.mouse, true);
    if (p.pressed_picture) {
      EXPECT_EQ(Shows(*s, p.button, normal + "down"), "");
    } else {
      ASSERT_TRUE(Settled(*s));
      EXPECT_NE(Shows(*s, p.button, normal + "down", Millis(0)), "");
    }
    Move(*s, p.button, p.release);
    if (p.panel) {
      EXPECT_EQ(Shows(*s, kHelp, p.panel), "");
    }
    x().Button(p.mouse, false);
    if (p.pressed_picture) {  // the disc's picture once pressed, the built-in one before
      EXPECT_EQ(Shows(*s, p.button, normal), "");
    }
    EXPECT_TRUE(!p.program || WaitLog(p.program, ++started[p.program])) << p.program;
    ASSERT_TRUE(Settled(*s));
    for (const char* program : {"open", "manualinstallation", "setup"})
      EXPECT_EQ(disc().Count(program), started[program]) << program;
    EXPECT_EQ(Shows(*s, kSetup, *BuildAsset("setupwizard.gif"), Millis(0)), "");
    ASSERT_TRUE(x().Viewable(s->window));
  }
  const std::string guide = std::string(kPlatform.guide_prefix) + fs::canonical(disc().Path(kGuide)).string();
  std::string windows_disc = "Z:" + fs::canonical(disc().disc).string();
  std::replace(windows_disc.begin(), windows_disc.end(), '/', '\\');
  for (const std::string& line : disc().Log()) {
    if (line.starts_with("open ")) {
      EXPECT_TRUE(line.starts_with("open " + guide + " pid=")) << line;
    } else if (kPlatform.wine) {  // a normal window with the focus, started in the disc's root
      EXPECT_EQ(line, "manualinstallation show=1 cwd=" + windows_disc);
    }
  }
  x().Close(s->window);  // as the frame's close button asks
  EXPECT_EQ(s->process->Wait(kPlatform.exit_deadline), 0);
}

// 100,000 motions at full speed, each on another control than the last, are one
// movement: the panel shows the resting place's help at once and keeps it; a click
// right behind a storm acts once, where it falls. Then the whole Setup Wizard
// sequence: busy pointer, the setup program in a session of its own, both
// installation buttons disabled through the long wait, which a storm neither
// stalls nor cuts short; Exit inside it closes the window first.
TEST_F(Bare, StormsOfMotionAndTheSetupWizardSequence) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Storm(*s, {&kSetup, &kBackground, &kManual, &kBackground});  // never the resting place's help
  Move(*s, kDocumentation);
  EXPECT_EQ(Shows(*s, kHelp, "documentationhelp", Millis(500)), "");
  ASSERT_TRUE(Settled(*s));
  EXPECT_EQ(Shows(*s, kHelp, "documentationhelp", Millis(0)), "") << "it did not keep it";
  Storm(*s, {&kSetup, &kBackground, &kDocumentation, &kBackground});
  Click(*s, kManual);
  EXPECT_TRUE(WaitLog("manualinstallation", 1));
  ASSERT_TRUE(Settled(*s));
  EXPECT_EQ(disc().Count("manualinstallation"), 1u);
  EXPECT_EQ(Shows(*s, kHelp, "manualinstallationhelp", Millis(0)), "");

  Move(*s, kSetup);
  ASSERT_EQ(Shows(*s, kHelp, "setupwizardhelp"), "");
  x().Button(1, true);
  EXPECT_EQ(Shows(*s, kSetup, "setupwizarddown"), "");
  x().Button(1, false);
  EXPECT_EQ(Shows(*s, kSetup, "setupwizard"), "");
  X::Shape busy = Pointer(IsBusy);
  EXPECT_TRUE(IsBusy(busy)) << busy.w << "x" << busy.h;
  ASSERT_TRUE(WaitLog("setup", 1)) << "the setup program did not start";
  int pid = 0, sid = 0;
  std::string first = disc().Log().back();
  if (!kPlatform.wine) {
    EXPECT_TRUE(std::sscanf(first.c_str(), "setup pid=%d sid=%d", &pid, &sid) == 2 && pid == sid) << first;
  }
  // The busy pointer stays everywhere; the panel still follows the pointer.
  for (auto [r, panel] : {std::pair{&kBackground, "help"}, {&kDocumentation, "documentationhelp"}}) {
    Move(*s, *r);
    EXPECT_EQ(Shows(*s, kHelp, panel), "");
    EXPECT_TRUE(IsBusy(Pointer(IsBusy))) << r->name;
  }
  // Disabled, Manual Installation lets movement through to the background, and
  // neither it nor Setup Wizard answers a press.
  Move(*s, kManual);
  EXPECT_EQ(Shows(*s, kHelp, "help"), "") << "movement reached the disabled button";
  Click(*s, kManual);
  Click(*s, kSetup);
  Move(*s, kDocumentation);  // handled after the presses
  EXPECT_EQ(Shows(*s, kHelp, "documentationhelp"), "");
  EXPECT_NE(Shows(*s, kManual, "manualinstallationdown", Millis(0)), "");
  EXPECT_EQ(Shows(*s, kSetup, "setupwizard", Millis(0)), "");
  Storm(*s, {&kDocumentation, &kBackground});
  Click(*s, kDocumentation);  // still works inside the wait
  EXPECT_TRUE(WaitLog("open", 1)) << "the storm stalled the launcher";
  ASSERT_TRUE(s->process->Running()) << "the wait ended before the checks: they prove nothing";
  Click(*s, kExit);  // closes the window at once; the process lasts until the wait has run out
  EXPECT_TRUE(Poll([&] { return !x().Viewable(s->window); }, kPlatform.exit_deadline)) << "Exit did not close it";
  EXPECT_TRUE(s->process->Running()) << "the process ended before its wait ran out";
  EXPECT_EQ(s->process->Wait(kPlatform.sequence_deadline), 0);
  EXPECT_EQ(s->process->Err(), "");
  EXPECT_EQ(disc().Count("setup"), 1u);
  EXPECT_EQ(disc().Count("manualinstallation"), 1u);
  if (!kPlatform.wine) {
    EXPECT_TRUE(Poll([&] { return disc().Log().back() == "setup outlived the launcher"; }, Millis(5000)));
  }
}

// Tab puts a dotted ring round the next button and shows its help; Enter and Space click the focused one.
TEST_F(Bare, TheKeyboardFocusesAndClicksTheButtons) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Move(*s, kBackground);  // without a window manager the keys go to the window under the pointer
  ASSERT_TRUE(Settled(*s));
  const Image before = x().Grab(s->window, 0, 0, 641, 480);
  x().Key("Tab");
  EXPECT_EQ(Shows(*s, kHelp, "setupwizardhelp"), "");
  const Image after = x().Grab(s->window, 0, 0, 641, 480);
  int wrong = 0;
  for (int y = kSetup.y - 1; y <= kSetup.y + kSetup.h; ++y)
    for (int x = kSetup.x - 1; x <= kSetup.x + kSetup.w; ++x) {
      if (x >= kSetup.x && x < kSetup.x + kSetup.w && y >= kSetup.y && y < kSetup.y + kSetup.h) continue;
      const std::uint32_t p = before.At(x, y);
      const bool light = ((p >> 16 & 0xFF) * 299 + (p >> 8 & 0xFF) * 587 + (p & 0xFF) * 114) / 1000 >= 128;
      wrong += after.At(x, y) != ((x + y) % 2 != 0 ? p : light ? 0xFF000000u : 0xFFFFFFFFu);
    }
  EXPECT_EQ(wrong, 0) << "pixels of the focus ring";
  x().Key("Tab");
  x().Key("Tab");
  EXPECT_EQ(Shows(*s, kHelp, "documentationhelp"), "");
  x().Key("Return");
  EXPECT_TRUE(WaitLog("open", 1));
  x().Key("Tab");
  x().Key("space");
  EXPECT_EQ(s->process->Wait(kPlatform.exit_deadline), 0);
  EXPECT_FALSE(x().Viewable(s->window));
  EXPECT_EQ(s->process->Err(), "");
}

// A disc picture larger than its button: the button takes its size, its pointer included. Its
// clear first row shows the background beneath.
TEST_F(Bare, ALargerPictureWidensItsButton) {
  std::vector<std::uint8_t> indices(140 * 30, 1);
  std::fill_n(indices.begin(), 140, 0);
  std::vector<std::uint8_t> gif = assets::EncodeGif({140, 30, indices, {{0, 0, 0}, {90, 200, 30}}});
  gif[784] |= 1, gif[787] = 0;  // the control extension: index 0 clear
  disc().Write(Picture("documentation"), gif);
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  Click(*s, kDocumentation);  // shows the disc's picture
  EXPECT_TRUE(WaitLog("open", 1));
  EXPECT_EQ(Shows(*s, Rect{"the clear row", kDocumentation.x, kDocumentation.y, 140, 1}, ""), "");
  Move(*s, kBackground);
  EXPECT_EQ(Shows(*s, kHelp, "help"), "");
  Move(*s, kDocumentation, Point{130, 27});  // beyond the built-in picture, inside the hover test and the new one
  EXPECT_EQ(Shows(*s, kHelp, "documentationhelp"), "");
  EXPECT_TRUE(IsHand(Pointer(IsHand)));
}

// No display: status 1 and why. A window that another client destroys, or a display that goes away (the
// session ends): the window went with it, status 0. A server of 16 bits a pixel that shares no memory with the
// launcher (in an IPC namespace of its own, as a remote one) gets the picture through the connection, each
// channel rounded to its bits.
TEST_F(Bare, WithoutADisplayOrWhenItGoesAwayItEnds) {
  if (kPlatform.wine) GTEST_SKIP() << "Wine itself needs the display";
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  XDestroyWindow(x().dpy, s->window), XSync(x().dpy, False);
  EXPECT_EQ(s->process->Wait(kPlatform.exit_deadline), 0);
  Child& launcher = Spawn({}, {"DISPLAY="});
  EXPECT_EQ(launcher.Wait(kPlatform.exit_deadline), 1);
  EXPECT_TRUE(launcher.Err().starts_with("autorun: ")) << launcher.Err();
  const bool apart = Child({"unshare", "-r", "-i", "true"}, "/", {}).Wait(Millis(5000)) == 0;
  Server own(apart ? std::vector<std::string>{"unshare", "-r", "-i"} : std::vector<std::string>{}, "1024x768x16");
  ASSERT_EQ(own.why_not, "");
  Child& lost = Spawn({}, {own.env.back()});
  {  // closed before its server goes
    X other(own.display);
    Window w = None;
    ASSERT_TRUE(Poll([&] { return (w = other.Find(kCaption)) != None; }, Millis(20000))) << lost.Err();
    Image help = disc().expected.at("help");
    for (std::uint32_t& p : help.pixels)  // 5, 6 and 5 bits
      for (auto [shift, max] : {std::pair{16u, 31u}, {8u, 63u}, {0u, 31u}})
        p = (p & ~(0xFFu << shift)) | ((p >> shift & 0xFF) * max + 127) / 255 * 255 / max << shift;
    EXPECT_TRUE(Poll([&] { return Difference(other.Grab(w, kHelp.x, kHelp.y, kHelp.w, kHelp.h), help).empty(); }, Millis(8000)));
  }
  own.xvfb.reset();
  EXPECT_EQ(lost.Wait(kPlatform.exit_deadline), 0);
  EXPECT_EQ(lost.Err(), "autorun: the X display connection was closed\n");
  if (!apart) GTEST_SKIP() << "no IPC namespace of its own for a server here: drawing without shared memory untried";
}

// A sample disc image mounted by tests/disc_image_test.sh (AUTORUN_MOUNTED_DISC,
// AUTORUN_EXE the launcher on it), started from its root as a desktop starts
// it: the image's own start-up picture shows, and Exit closes the window.
using Mounted = LauncherTest;
TEST_F(Mounted, StartsFromTheImageAndExits) {
  const char* root = std::getenv("AUTORUN_MOUNTED_DISC");
  if (root == nullptr) GTEST_SKIP() << "tests/disc_image_test.sh runs it on a mounted image";
  const std::string bytes = ReadFile(fs::path(root) / Picture("help"));
  auto help = pictures::DecodePicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  ASSERT_TRUE(std::holds_alternative<Image>(help)) << "the image's help.gif";
  disc().expected["help"] = std::get<Image>(help);
  Session* s = Attach(Spawn(root));
  ASSERT_NE(s, nullptr);
  Click(*s, kExit);
  EXPECT_EQ(s->process->Wait(kPlatform.exit_deadline), 0);
  EXPECT_FALSE(x().Viewable(s->window));
}

}  // namespace
}  // namespace e2e
