// Start-up and shutdown of the real launcher on a bare X server: the window,
// what it shows first, the ways it ends, and the run-time error dialog.
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <thread>

#include "tests/e2e/launcher_fixture.h"

namespace e2e {
namespace {

constexpr std::string_view kHelpMissing =
    R"(autorun: Run-time error: LoadPicture "setup\images\help.gif": file not found)";
constexpr std::string_view kHelpErrorPrefix = R"(autorun: Run-time error: LoadPicture "setup\images\help.gif": )";

using Startup = BareDisplayTest;

bool Inside(const ControlRect& r, int x, int y) {
  return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

TEST_F(Startup, OpensCentredWithCaptionClassAndFixedClientSize) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(x().WmName(s->window), kCaption);
  EXPECT_EQ(x().NetWmName(s->window), kCaption);
  EXPECT_EQ(x().WmClass(s->window), "autorun/Autorun");
  Size size = x().ClientSize(s->window);
  EXPECT_EQ(size.width, 641);
  EXPECT_EQ(size.height, 480);
  auto hints = x().NormalHints(s->window);
  ASSERT_TRUE(hints.has_value()) << "no WM_NORMAL_HINTS";
  EXPECT_TRUE(hints->has_min && hints->has_max) << "the size is not fixed for a window manager";
  EXPECT_EQ(hints->min_width, 641);
  EXPECT_EQ(hints->max_width, 641);
  EXPECT_EQ(hints->min_height, 480);
  EXPECT_EQ(hints->max_height, 480);
  // Nobody moves it without a window manager: where it stands is where it put itself.
  EXPECT_NEAR(s->origin.x, (kScreenWidth - 641) / 2, 1);
  EXPECT_NEAR(s->origin.y, (kScreenHeight - 480) / 2, 1);
}

TEST_F(Startup, ShowsTheBuiltInPicturesWithTheDiscsHelpOverThem) {
  struct Embedded {
    const ControlRect& control;
    std::string_view file;
  };
  const std::array<Embedded, 4> buttons = {{{kSetupWizardButton, "setupwizard.gif"},
                                            {kManualInstallationButton, "manualinstallation.gif"},
                                            {kDocumentationButton, "documentation.gif"},
                                            {kExitButton, "exit.gif"}}};
  auto background = BuildAsset("background.bmp");
  if (!background) GTEST_SKIP() << "no background.bmp in " << (BuildDir() / "assets") << ": assets not generated";
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  for (const Embedded& b : buttons) {
    SCOPED_TRACE(b.control.name);
    auto picture = BuildAsset(b.file);
    ASSERT_TRUE(picture.has_value()) << b.file << " missing from the build's assets";
    EXPECT_EQ(picture->width, b.control.width);
    EXPECT_EQ(picture->height, b.control.height);
    EXPECT_EQ(WaitShows(*s, b.control, *picture), "");
  }
  ASSERT_EQ(background->width, 641);
  ASSERT_EQ(background->height, 480);
  pictures::Image client = Grab(*s, kClientArea);
  ASSERT_EQ(client.pixels.size(), background->pixels.size()) << "the client area could not be read";
  std::size_t differing = 0;
  std::string first;
  for (int row = 0; row < 480; ++row)
    for (int col = 0; col < 641; ++col) {
      bool covered = Inside(kHelpPanel, col, row) || Inside(kSetupWizardButton, col, row) ||
                     Inside(kManualInstallationButton, col, row) || Inside(kDocumentationButton, col, row) ||
                     Inside(kExitButton, col, row);
      if (covered || client.At(col, row) == background->At(col, row)) continue;
      if (differing++ == 0) first = "(" + std::to_string(col) + ", " + std::to_string(row) + ")";
    }
  EXPECT_EQ(differing, 0u) << "background pixels differ from background.bmp, first at " << first;

  // The window icon is the built-in one.
  auto icon = BuildAsset("autorun.ico");
  ASSERT_TRUE(icon.has_value()) << "autorun.ico missing from the build's assets";
  std::vector<unsigned long> property = x().CardinalProperty(s->window, "_NET_WM_ICON");
  ASSERT_EQ(property.size(), 2u + icon->pixels.size()) << "_NET_WM_ICON is not one 32x32 picture";
  EXPECT_EQ(property[0], 32u);
  EXPECT_EQ(property[1], 32u);
  std::size_t icon_differs = 0;
  for (std::size_t i = 0; i < icon->pixels.size(); ++i)
    icon_differs += (property[2 + i] & 0xFFFFFFFFu) != icon->pixels[i];
  EXPECT_EQ(icon_differs, 0u) << "pixels of _NET_WM_ICON differ from autorun.ico";
}

TEST_F(Startup, ArgumentsAreIgnored) {
  Session* s = Start({"--help", "-display", ":99", "setup\\images\\exit.gif", "/nonexistent"});
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(x().WmName(s->window), kCaption);
  x().SendDeleteWindow(s->window);
  auto status = s->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
}

TEST_F(Startup, ClosingTheWindowEndsWithStatusZero) {
  Session* s = Start();
  ASSERT_NE(s, nullptr);
  x().SendDeleteWindow(s->window);
  auto status = s->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_TRUE(x().WaitGone(s->window, kShowDeadline));
  EXPECT_EQ(s->process->Stderr(), "");
}

TEST_F(Startup, SecondCopyOpensItsOwnWindow) {
  Session* first = Start();
  ASSERT_NE(first, nullptr);
  Session* second = Start();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first->window, second->window);
  x().SendDeleteWindow(second->window);
  auto status = second->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
  EXPECT_TRUE(first->process->Running()) << "closing the second copy ended the first";
  EXPECT_TRUE(x().Viewable(first->window));
  x().SendDeleteWindow(first->window);
  status = first->process->WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(0)) << Describe(status);
}

TEST_F(Startup, DiscSpelledInCapitalsWorks) {
  UseDisc(Spelling::UpperCase);
  Session* s = Start();  // finds SETUP/IMAGES/HELP.GIF for "setup\images\help.gif"
  ASSERT_NE(s, nullptr);
  MoveToCentre(*s, kSetupWizardButton);
  EXPECT_EQ(WaitShows(*s, kHelpPanel, DiscPicture::SetupWizardHelp), "");
  Click(*s, kDocumentationButton, kDocumentationButton.Centre());
  ASSERT_TRUE(WaitLogLines(kOpenLog, 1)) << "the guide was not opened";
  EXPECT_EQ(disc().Log(kOpenLog).front(), "1 " + disc().GuideAbsolutePath().string());
}

TEST_F(Startup, WithoutADisplayEndsWithStatusOne) {
  Launcher& launcher = Spawn(disc().disc(), {}, false);
  auto status = launcher.WaitExit(kExitDeadline);
  EXPECT_EQ(status, Exited(1)) << Describe(status);
  EXPECT_TRUE(launcher.Stderr().starts_with("autorun: ")) << "stderr: " << launcher.Stderr();
}

enum class Dismiss { Return, Escape, CloseMessage, ClickOk };

struct StartUpFailure {
  const char* name;
  enum { RemoveHelp, CorruptHelp, OutsideTheDisc } setup;
  std::string_view message;  // exact second line, or its beginning when `prefix_only`
  bool prefix_only;
  Dismiss dismiss;
};

constexpr StartUpFailure kStartUpFailures[] = {
    {"help.gif missing, dismissed with Return", StartUpFailure::RemoveHelp, kHelpMissing, false, Dismiss::Return},
    {"started outside the disc's root, dismissed with Escape", StartUpFailure::OutsideTheDisc, kHelpMissing, false,
     Dismiss::Escape},
    {"help.gif not a picture, dialog closed by its frame", StartUpFailure::CorruptHelp, kHelpErrorPrefix, true,
     Dismiss::CloseMessage},
    {"help.gif missing, OK clicked", StartUpFailure::RemoveHelp, kHelpMissing, false, Dismiss::ClickOk},
};

class StartUpFailures : public BareDisplayTest {
 protected:
  // The OK button is the one wide patch of its face colour in the dialog (text
  // edges may hit that grey too, but only in short runs).
  std::optional<Point> FindOkButton(Window dialog) {
    constexpr std::uint32_t kFace = 0xFFE1E1E1;
    constexpr int kMinRun = 20;
    Size size = x().ClientSize(dialog);
    pictures::Image image = x().Grab(dialog, 0, 0, size.width, size.height);
    for (int row = 0; row < image.height; ++row) {
      int run = 0;
      for (int col = 0; col < image.width; ++col) {
        run = image.At(col, row) == kFace ? run + 1 : 0;
        if (run == kMinRun) {
          Point origin = x().ClientOrigin(dialog);
          return Point{origin.x + col - kMinRun / 2, origin.y + row};
        }
      }
    }
    return std::nullopt;
  }

  void DismissDialog(Window dialog, Dismiss how) {
    if (how == Dismiss::CloseMessage) return x().SendDeleteWindow(dialog);
    if (how == Dismiss::ClickOk) {
      std::optional<Point> ok;
      for (int tries = 0; tries < 100 && !ok; ++tries) {  // painted after it is mapped
        ok = FindOkButton(dialog);
        if (!ok) std::this_thread::sleep_for(Millis(50));
      }
      ASSERT_TRUE(ok.has_value()) << "no OK button found in the dialog";
      x().MoveTo(*ok);
      x().Press(kLeft);
      x().Release(kLeft);
      return;
    }
    // The dialog takes the keyboard itself once it is shown.
    for (int tries = 0; tries < 250 && x().FocusedWindow() != dialog; ++tries)
      std::this_thread::sleep_for(Millis(20));
    ASSERT_EQ(x().FocusedWindow(), dialog) << "the error dialog never got the keyboard focus";
    x().Key(how == Dismiss::Return ? XK_Return : XK_Escape);
  }
};

TEST_F(StartUpFailures, ReportTheErrorAndNeverShowTheWindow) {
  for (const StartUpFailure& c : kStartUpFailures) {
    SCOPED_TRACE(c.name);
    UseDisc(Spelling::AsLayout);
    std::string help = std::string(TestDisc::LayoutName(DiscPicture::Help));
    if (c.setup == StartUpFailure::RemoveHelp) disc().Remove(help);
    if (c.setup == StartUpFailure::CorruptHelp) disc().Corrupt(help);
    std::size_t mapped_before = x().MappedSinceStart().size();
    Launcher& launcher = Spawn(c.setup == StartUpFailure::OutsideTheDisc ? disc().root() : disc().disc());

    auto dialog = WaitForDialog();
    ASSERT_TRUE(dialog.has_value()) << "no dialog titled \"autorun\"; the launcher is "
                                    << Describe(launcher.WaitExit(Millis(0))) << ", stderr: " << launcher.Stderr();
    EXPECT_EQ(x().NetWmName(*dialog), kDialogTitle);
    std::vector<Window> mapped = x().MappedSinceStart();
    for (std::size_t i = mapped_before; i < mapped.size(); ++i)
      EXPECT_EQ(mapped[i], *dialog) << "a window other than the dialog was shown (WM_NAME "
                                    << x().WmName(mapped[i]).value_or("gone") << ")";
    EXPECT_TRUE(x().ViewableWindowsOfPid(launcher.pid()).empty());

    std::vector<std::string> lines = launcher.StderrLines();
    ASSERT_EQ(lines.size(), 2u) << "stderr: " << launcher.Stderr();
    EXPECT_TRUE(lines[0].starts_with("autorun: ")) << lines[0];
    if (c.prefix_only) {
      EXPECT_TRUE(lines[1].starts_with(c.message) && lines[1].size() > c.message.size()) << lines[1];
      EXPECT_EQ(lines[1].find("file not found"), std::string::npos) << "a present file reported missing";
    } else {
      EXPECT_EQ(lines[1], c.message);
    }
    EXPECT_TRUE(launcher.Running()) << "the program ended before the dialog was dismissed";

    ASSERT_NO_FATAL_FAILURE(DismissDialog(*dialog, c.dismiss));
    auto status = launcher.WaitExit(kExitDeadline);
    EXPECT_EQ(status, Exited(1)) << Describe(status);
    EXPECT_TRUE(x().WaitGone(*dialog, kShowDeadline));
  }
}

}  // namespace
}  // namespace e2e
