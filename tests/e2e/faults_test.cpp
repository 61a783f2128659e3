// Damaged and hostile discs, end to end: every file the launcher reads or
// starts missing, and on a file of each kind each answer the launcher can give
// (the run-time error naming the file, a quiet end, nothing at all, or normal
// use), never a crash or a hang. Which fault gives which cause, and what a
// picture's bytes hold, are the unit tests' business.
#include "tests/e2e/harness.h"
#include "tests/support/disc_faults.h"

namespace e2e {
namespace {

using namespace testing_support;

enum class Kind { Picture, Pointer, Program, Guide };
enum class Use { Start, Hover, Press, Release };
enum class Outcome { Error, QuietEnd, NotOpened, Used };

struct DiscFile {
  std::string file;     // as the test disc spells it
  std::string literal;  // as the launcher names it
  Kind kind;
  Use use;
  const Rect* button;  // moved onto, pressed or released
  const char* shows;   // a picture in use: which...
  const Rect* on;      // ...and where
};

DiscFile PictureFile(const char* name, Use use, const Rect* button, const Rect* on) {
  const std::string folder = std::string_view(name) == "setupwizard" ? "Setup" : "setup";
  return {Picture(name), folder + "\\images\\" + name + ".gif", Kind::Picture, use, button, name, on};
}

// Exit is worked at its pixel (2, 2), outside its release test, so a sound release leaves the window open.
const DiscFile kFiles[] = {
    PictureFile("help", Use::Start, nullptr, &kHelp),
    PictureFile("setupwizardhelp", Use::Hover, &kSetup, &kHelp),
    PictureFile("manualinstallationhelp", Use::Hover, &kManual, &kHelp),
    PictureFile("documentationhelp", Use::Hover, &kDocumentation, &kHelp),
    PictureFile("setupwizarddown", Use::Press, &kSetup, &kSetup),
    PictureFile("manualinstallationdown", Use::Press, &kManual, &kManual),
    PictureFile("documentationdown", Use::Press, &kDocumentation, &kDocumentation),
    PictureFile("exitdown", Use::Press, &kExit, &kExit),
    PictureFile("setupwizard", Use::Release, &kSetup, &kSetup),
    PictureFile("manualinstallation", Use::Release, &kManual, &kManual),
    PictureFile("documentation", Use::Release, &kDocumentation, &kDocumentation),
    PictureFile("exit", Use::Release, &kExit, &kExit),
    {std::string(kBusyPointer), "Setup\\images\\hourglas.ani", Kind::Pointer, Use::Release, &kSetup, nullptr, nullptr},
    {std::string(kSetupProgram), "Setup\\Setup.exe", Kind::Program, Use::Release, &kSetup, nullptr, nullptr},
    {std::string(kManualProgram), "manualinstallation\\setup.exe", Kind::Program, Use::Release, &kManual, nullptr, nullptr},
    {std::string(kGuide), "Manual\\UserGuideEng.html", Kind::Guide, Use::Release, &kDocumentation, nullptr, nullptr},
};

struct Fault {
  const char* name;
  DiscFault apply;
  Outcome outcome;
  const char* cause;  // of the error; "" takes any
  bool unix_only = false;  // a disc for Windows has no pipes, links, permission bits or folders told apart by case
};

constexpr std::uintmax_t kPictureCap = pictures::kMaxPictureFileBytes, kPointerCap = 4u << 20;

// What the unit tests cannot show: the launcher's answer to a fault, once for each answer a kind of file can get.
// How each cause comes about (folders, pipes, links, empty and damaged files) is theirs.
const std::vector<Fault>& FaultsOf(Kind kind) {
  using O = Outcome;
  static const std::vector<Fault> picture = {
      {"not a picture", Text, O::Error, "not a picture"},
      {"unreadable", Unreadable, O::Error, "file cannot be read", true},
      {"one byte over the file cap", Grow<kPictureCap + 1>, O::Error, "file too large"},
      {"the file cap, zeros after the picture", Grow<kPictureCap>, O::Used, ""},
      {"only in a twin of its folder", Twinned<true>, O::Used, "", true},
      {"beside a twin of its folder", Twinned<false>, O::Used, "", true},
  };
  static const std::vector<Fault> pointer = {
      {"not a pointer", Text, O::QuietEnd, ""},
      {"a folder", Folder, O::QuietEnd, ""},
      {"one byte over the file cap", Grow<kPointerCap + 1>, O::QuietEnd, ""},
      {"the file cap, zeros after the pointer", Grow<kPointerCap>, O::Used, ""},
      {"only in a twin of its folder", Twinned<true>, O::Used, "", true},
  };
  static const std::vector<Fault> program = {
      {"text", Text, O::Error, "not an executable format"},
      {"1 GiB long, never read by the launcher", Grow<1ull << 30>, O::Used, "", true},
      {"only in a twin of its folder", Twinned<true>, O::Used, "", true},
  };
  // The launcher never reads the guide: a file is handed to the opener as it is.
  static const std::vector<Fault> guide = {
      {"a folder", Folder, O::NotOpened, "", true},
      {"unreadable", Unreadable, O::Used, "", true},
      {"only in a twin of its folder", Twinned<true>, O::Used, "", true},
  };
  return kind == Kind::Picture ? picture : kind == Kind::Pointer ? pointer : kind == Kind::Program ? program : guide;
}

class DiscFaults : public LauncherTest {
 protected:
  void Run(const DiscFile& f, const Fault& fault) {
    SCOPED_TRACE(f.file + ": " + fault.name);
    NewDisc();
    fault.apply(disc().disc, f.file);
    // Root reads any file: an unreadable one is tried by an ordinary user.
    const bool as_user = fault.apply == Unreadable && ::geteuid() == 0;
    Child& launcher = Spawn({}, {}, as_user ? 65534 : 0);  // "nobody"
    if (f.use == Use::Start && fault.outcome == Outcome::Error) return Error(launcher, f, fault);
    Session* s = Attach(launcher);
    ASSERT_NE(s, nullptr) << "a fault in a file not used yet stopped the start";
    if (f.use != Use::Start) Move(*s, *f.button, f.button == &kExit ? Point{2, 2} : f.button->Centre());
    if (f.use == Use::Press || f.use == Use::Release) x().Button(1, true);
    if (f.use == Use::Release) x().Button(1, false);
    switch (fault.outcome) {
      case Outcome::Error: return Error(launcher, f, fault);
      case Outcome::QuietEnd:
        EXPECT_EQ(launcher.Wait(kPlatform.exit_deadline), 0);
        EXPECT_EQ(launcher.Err(), "");
        ExpectOnlyMapped("none");
        break;
      case Outcome::NotOpened:
        ASSERT_TRUE(Settled(*s));
        std::this_thread::sleep_for(Millis(300));  // an opener started at the release has written by now
        EXPECT_TRUE(x().Viewable(s->window));
        break;
      case Outcome::Used:
        if (f.kind == Kind::Picture) {
          EXPECT_EQ(Shows(*s, *f.on, f.shows), "");
        } else if (f.kind == Kind::Pointer) {
          EXPECT_TRUE(IsBusy(WaitCursor([&](const X::Shape& c) { return IsBusy(c); })));
        } else if (f.kind == Kind::Guide) {
          ASSERT_TRUE(WaitLog("open", 1));
          fs::path guide = fs::exists(disc().Path(f.file)) ? disc().Path(f.file) : Twin(disc().disc, f.file) / "UserGuideEng.html";
          EXPECT_TRUE(disc().Log().back().starts_with("open " + std::string(kPlatform.guide_prefix) + fs::canonical(guide).string() + " "));
        }
        if (f.kind == Kind::Pointer || f.kind == Kind::Program) {
          EXPECT_TRUE(WaitLog(f.button == &kSetup ? "setup" : "manualinstallation", 1)) << launcher.Err();
        }
        EXPECT_TRUE(launcher.Running());
        EXPECT_EQ(launcher.Err(), "");
    }
    if (f.kind != Kind::Guide || fault.outcome != Outcome::Used) {
      EXPECT_EQ(disc().Count("open"), 0u);
    }
  }

  void Error(Child& launcher, const DiscFile& f, const Fault& fault) {
    const std::string call = f.kind == Kind::Program ? "Shell" : "LoadPicture";
    const std::string cause = *fault.cause ? fault.cause : "...";
    ExpectError(launcher, call + "「" + f.literal + "」", call + " \"" + f.literal + "\": " + cause);
    EXPECT_EQ(disc().Count("setup") + disc().Count("manualinstallation"), 0u) << "a program started";
  }
};

const Fault kMissing[] = {
    {"missing", Remove, Outcome::Error, "file not found"},
    {"missing", Remove, Outcome::QuietEnd, ""},
    {"missing", Remove, Outcome::NotOpened, ""},
};

TEST_F(DiscFaults, AnyFileMissing) {
  for (const DiscFile& f : kFiles)
    Run(f, kMissing[f.kind == Kind::Pointer ? 1 : f.kind == Kind::Guide ? 2 : 0]);
}

class EachFault : public DiscFaults, public ::testing::WithParamInterface<Kind> {};

TEST_P(EachFault, GivesItsOutcome) {
  // help.gif at the start, the busy pointer, the manual installation program, the guide.
  const DiscFile& f = kFiles[std::vector<int>{0, 12, 14, 15}[static_cast<int>(GetParam())]];
  for (const Fault& fault : FaultsOf(GetParam()))
    if (!fault.unix_only || kPlatform.unix_files) Run(f, fault);
}

std::string KindName(const ::testing::TestParamInfo<Kind>& info) {
  const char* const names[] = {"Picture", "BusyPointer", "Program", "Guide"};
  return names[static_cast<int>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(File, EachFault, ::testing::Values(Kind::Picture, Kind::Pointer, Kind::Program, Kind::Guide),
                         KindName);

}  // namespace
}  // namespace e2e
