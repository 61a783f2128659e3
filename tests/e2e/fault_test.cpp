// Damaged and hostile discs: every file the launcher loads or starts, broken in
// every way a disc can break it, gives exactly its outcome (a run-time error
// naming the file, a quiet end, nothing at all, or normal use) and never a
// crash or a hang.
#include <X11/keysym.h>

#include <cstdio>
#include <sstream>
#include <thread>

#include "pictures/picture.h"
#include "tests/e2e/disc_faults.h"
#include "tests/e2e/launcher_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

enum class Kind { Picture, BusyPointer, Program, Guide };
enum class Use { Start, Hover, Press, Release };

struct DiscFile {
  const char* id;
  std::string_view file;     // as the test disc spells it
  std::string_view literal;  // as the launcher names it
  Kind kind;
  Use use;
  const ControlRect* button;  // acted on; none for Start
  DiscPicture picture;        // pictures: what shows when the file is sound...
  const ControlRect* shown_on;  // ...and where
};

// Names the parameter in test listings by its file, not its bytes.
void PrintTo(const DiscFile& f, std::ostream* out) { *out << f.file; }

// Exit is worked at its pixel (2, 2): inside the button, outside its release
// rectangle, so a sound release leaves the window open.
constexpr Point kExitCorner{2, 2};

const DiscFile kDiscFiles[] = {
    {"help_gif", "Setup/images/help.gif", R"(setup\images\help.gif)", Kind::Picture, Use::Start, nullptr,
     DiscPicture::Help, &kHelpPanel},
    {"setupwizarddown_gif", "Setup/images/setupwizarddown.gif", R"(setup\images\setupwizarddown.gif)",
     Kind::Picture, Use::Press, &kSetupWizardButton, DiscPicture::SetupWizardDown, &kSetupWizardButton},
    {"setupwizard_gif", "Setup/images/setupwizard.gif", R"(Setup\images\setupwizard.gif)", Kind::Picture,
     Use::Release, &kSetupWizardButton, DiscPicture::SetupWizard, &kSetupWizardButton},
    {"setupwizardhelp_gif", "Setup/images/setupwizardhelp.gif", R"(setup\images\setupwizardhelp.gif)",
     Kind::Picture, Use::Hover, &kSetupWizardButton, DiscPicture::SetupWizardHelp, &kHelpPanel},
    {"manualinstallationdown_gif", "Setup/images/manualinstallationdown.gif",
     R"(setup\images\manualinstallationdown.gif)", Kind::Picture, Use::Press, &kManualInstallationButton,
     DiscPicture::ManualInstallationDown, &kManualInstallationButton},
    {"manualinstallation_gif", "Setup/images/manualinstallation.gif", R"(setup\images\manualinstallation.gif)",
     Kind::Picture, Use::Release, &kManualInstallationButton, DiscPicture::ManualInstallation,
     &kManualInstallationButton},
    {"manualinstallationhelp_gif", "Setup/images/manualinstallationhelp.gif",
     R"(setup\images\manualinstallationhelp.gif)", Kind::Picture, Use::Hover, &kManualInstallationButton,
     DiscPicture::ManualInstallationHelp, &kHelpPanel},
    {"documentationdown_gif", "Setup/images/documentationdown.gif", R"(setup\images\documentationdown.gif)",
     Kind::Picture, Use::Press, &kDocumentationButton, DiscPicture::DocumentationDown, &kDocumentationButton},
    {"documentation_gif", "Setup/images/documentation.gif", R"(setup\images\documentation.gif)", Kind::Picture,
     Use::Release, &kDocumentationButton, DiscPicture::Documentation, &kDocumentationButton},
    {"documentationhelp_gif", "Setup/images/documentationhelp.gif", R"(setup\images\documentationhelp.gif)",
     Kind::Picture, Use::Hover, &kDocumentationButton, DiscPicture::DocumentationHelp, &kHelpPanel},
    {"exitdown_gif", "Setup/images/exitdown.gif", R"(setup\images\exitdown.gif)", Kind::Picture, Use::Press,
     &kExitButton, DiscPicture::ExitDown, &kExitButton},
    {"exit_gif", "Setup/images/exit.gif", R"(setup\images\exit.gif)", Kind::Picture, Use::Release, &kExitButton,
     DiscPicture::Exit, &kExitButton},
    {"hourglas_ani", kBusyPointerFile, R"(Setup\images\hourglas.ani)", Kind::BusyPointer, Use::Release,
     &kSetupWizardButton, DiscPicture::Help, nullptr},
    {"Setup_exe", kSetupProgramFile, R"(Setup\Setup.exe)", Kind::Program, Use::Release, &kSetupWizardButton,
     DiscPicture::Help, nullptr},
    {"manualinstallation_setup_exe", kManualProgramFile, R"(manualinstallation\setup.exe)", Kind::Program,
     Use::Release, &kManualInstallationButton, DiscPicture::Help, nullptr},
    {"UserGuideEng_html", kGuideFile, R"(Manual\UserGuideEng.html)", Kind::Guide, Use::Release,
     &kDocumentationButton, DiscPicture::Help, nullptr},
};

constexpr std::uint64_t kPictureCap = pictures::kMaxPictureFileBytes;
constexpr std::uint64_t kCursorCap = 4u << 20;
constexpr std::uint64_t kHugeProgram = 1ull << 30;  // a hole: costs no disc space

// The button and help pictures: GIF files of about 1 to 3 KiB, a 768-byte
// colour table from byte 13, the image descriptor at 789.
const std::vector<FaultRow>& PictureFaults() {
  using F = FaultKind;
  using C = Cut::From;
  static const std::vector<FaultRow> rows = {
      {"missing", Of(F::Missing), Outcome::RuntimeError, "file not found"},
      {"empty", Of(F::Empty), Outcome::RuntimeError, "empty file"},
      {"cut inside its signature (3 bytes)", Truncated(C::Start, 3), Outcome::RuntimeError, "not a picture"},
      {"cut after its signature (6 bytes)", Truncated(C::Start, 6), Outcome::RuntimeError, "truncated picture"},
      {"cut inside the screen descriptor (10 bytes)", Truncated(C::Start, 10), Outcome::RuntimeError, "truncated picture"},
      {"cut inside the colour table (400 bytes)", Truncated(C::Start, 400), Outcome::RuntimeError, "truncated picture"},
      {"cut inside the image descriptor (795 bytes)", Truncated(C::Start, 795), Outcome::RuntimeError, "truncated picture"},
      {"cut in the middle of the image data", Truncated(C::Middle), Outcome::RuntimeError, "truncated picture"},
      {"cut 3 bytes short, inside the last data block", Truncated(C::End, 3), Outcome::RuntimeError, "truncated picture"},
      {"cut 1 byte short, no trailer", Truncated(C::End, 1), Outcome::RuntimeError, "truncated picture"},
      {"a folder", Of(F::Folder), Outcome::RuntimeError, "file not found"},
      {"a FIFO", Of(F::Fifo), Outcome::RuntimeError, "file not found"},
      {"a dangling symbolic link", Of(F::DanglingLink), Outcome::RuntimeError, "file not found"},
      {"a looping symbolic link", Of(F::LoopingLink), Outcome::RuntimeError, "file not found"},
      {"unreadable (mode 000)", Of(F::Unreadable), Outcome::RuntimeError, "file cannot be read"},
      {"one byte over the 16 MiB file cap", Grown(kPictureCap + 1), Outcome::RuntimeError, "file too large"},
      {"exactly the 16 MiB file cap, zeros after the trailer", Grown(kPictureCap), Outcome::Used, ""},
      {"a GIF announcing 65535 x 65535", Replaced(GifWithScreen(65535, 65535)), Outcome::RuntimeError,
       "picture too large"},
      {"a 1 x 1 GIF screen holding a 65535 x 65535 image", Replaced(GifWithImage(65535, 65535)),
       Outcome::RuntimeError, "picture too large"},
      {"a GIF one pixel over the 4096 side cap", Replaced(GifWithScreen(pictures::kMaxPictureSide + 1, 1)),
       Outcome::RuntimeError, "picture too large"},
      {"a BMP announcing 100000 x 100000", Replaced(BmpAnnouncing(100000, 100000)), Outcome::RuntimeError,
       "picture too large"},
      {"a top-down BMP announcing 100000 x -100000", Replaced(BmpAnnouncing(100000, -100000)),
       Outcome::RuntimeError, "picture too large"},
      {"an ICO announcing 100000 x 100000", Replaced(IcoAnnouncing(100000, 100000)), Outcome::RuntimeError,
       "picture too large"},
      {"only in a twin of its folder spelled in the other case", Of(F::OnlyInTwin), Outcome::Used, ""},
      {"beside a twin of its folder, spelled in the other case, without it", Of(F::TwinWithoutTheFile),
       Outcome::Used, ""},
  };
  return rows;
}

// The busy pointer cannot be loaded: End, silently. Its file is about 700 bytes.
const std::vector<FaultRow>& BusyPointerFaults() {
  using F = FaultKind;
  using C = Cut::From;
  static const std::vector<FaultRow> rows = {
      {"missing", Of(F::Missing), Outcome::QuietEnd, ""},
      {"empty", Of(F::Empty), Outcome::QuietEnd, ""},
      {"cut after \"RIFF\" (4 bytes)", Truncated(C::Start, 4), Outcome::QuietEnd, ""},
      {"cut after the RIFF header (12 bytes)", Truncated(C::Start, 12), Outcome::QuietEnd, ""},
      {"cut inside the header chunk (40 bytes)", Truncated(C::Start, 40), Outcome::QuietEnd, ""},
      {"cut in the middle of the frames", Truncated(C::Middle), Outcome::QuietEnd, ""},
      {"cut 1 byte short", Truncated(C::End, 1), Outcome::QuietEnd, ""},
      {"a folder", Of(F::Folder), Outcome::QuietEnd, ""},
      {"a FIFO", Of(F::Fifo), Outcome::QuietEnd, ""},
      {"a dangling symbolic link", Of(F::DanglingLink), Outcome::QuietEnd, ""},
      {"a looping symbolic link", Of(F::LoopingLink), Outcome::QuietEnd, ""},
      {"unreadable (mode 000)", Of(F::Unreadable), Outcome::QuietEnd, ""},
      {"one byte over the 4 MiB file cap", Grown(kCursorCap + 1), Outcome::QuietEnd, ""},
      {"exactly the 4 MiB file cap, zeros after the RIFF data", Grown(kCursorCap), Outcome::Used, ""},
      {"a frame announcing 100000 x 100000", Replaced(AniWithFrameAnnouncing(100000, 100000)), Outcome::QuietEnd,
       ""},
      {"a header announcing 4294967295 frames", Replaced(AniAnnouncingFrames(0xFFFFFFFFu)), Outcome::QuietEnd, ""},
      {"a GIF picture instead of a pointer", Replaced(GifWithScreen(32, 32)), Outcome::QuietEnd, ""},
      {"only in a twin of its folder spelled in the other case", Of(F::OnlyInTwin), Outcome::Used, ""},
      {"beside a twin of its folder, spelled in the other case, without it", Of(F::TwinWithoutTheFile),
       Outcome::Used, ""},
  };
  return rows;
}

// The programs are shell scripts, "#!/bin/sh" on their first line.
const std::vector<FaultRow>& ProgramFaults() {
  using F = FaultKind;
  using C = Cut::From;
  static const std::string kExit = "\nexit 0\n";
  static const std::vector<FaultRow> rows = {
      {"missing", Of(F::Missing), Outcome::RuntimeError, "file not found"},
      {"empty", Of(F::Empty), Outcome::RuntimeError, "not an executable format"},
      {"cut to \"#\" (1 byte)", Truncated(C::Start, 1), Outcome::RuntimeError, "not an executable format"},
      // The kernel's answer to an empty interpreter name differs between versions.
      {"cut to \"#!\" (2 bytes)", Truncated(C::Start, 2), Outcome::RuntimeError, ""},
      {"cut inside the interpreter's name (\"#!/bin/s\")", Truncated(C::Start, 8), Outcome::RuntimeError,
       "program interpreter not found"},
      {"a folder", Of(F::Folder), Outcome::RuntimeError, "file not found"},
      {"a FIFO", Of(F::Fifo), Outcome::RuntimeError, "file not found"},
      {"a dangling symbolic link", Of(F::DanglingLink), Outcome::RuntimeError, "file not found"},
      {"a looping symbolic link", Of(F::LoopingLink), Outcome::RuntimeError, "file not found"},
      {"unreadable (mode 000)", Of(F::Unreadable), Outcome::RuntimeError, "permission denied"},
      {"not executable (mode 0644)", Of(F::NotExecutable), Outcome::RuntimeError, "permission denied"},
      {"a script whose interpreter is missing", Replaced(ScriptFor("/nonexistent/interpreter")),
       Outcome::RuntimeError, "program interpreter not found"},
      {"a Windows program", Replaced(WindowsProgram()), Outcome::RuntimeError, "not an executable format"},
      {"a program for another machine (SPARC)", Replaced(ForeignMachineProgram()), Outcome::RuntimeError,
       "not an executable format"},
      {"a native program cut after its ELF header", Replaced(NativeProgramHeaderOnly()), Outcome::RuntimeError, ""},
      {"1 GiB long: never read by the launcher", Grown(kHugeProgram, {kExit.begin(), kExit.end()}), Outcome::Used,
       ""},
      {"only in a twin of its folder spelled in the other case", Of(F::OnlyInTwin), Outcome::Used, ""},
      {"beside a twin of its folder, spelled in the other case, without it", Of(F::TwinWithoutTheFile),
       Outcome::Used, ""},
  };
  return rows;
}

// The launcher never reads the guide: what is a file is handed to the opener
// as it is; what cannot be a document is not.
const std::vector<FaultRow>& GuideFaults() {
  using F = FaultKind;
  static const std::vector<FaultRow> rows = {
      {"missing", Of(F::Missing), Outcome::NotOpened, ""},
      {"a folder", Of(F::Folder), Outcome::NotOpened, ""},
      {"a FIFO", Of(F::Fifo), Outcome::NotOpened, ""},
      {"a dangling symbolic link", Of(F::DanglingLink), Outcome::NotOpened, ""},
      {"a looping symbolic link", Of(F::LoopingLink), Outcome::NotOpened, ""},
      {"empty", Of(F::Empty), Outcome::Used, ""},
      {"cut in the middle", Truncated(Cut::From::Middle), Outcome::Used, ""},
      {"unreadable (mode 000)", Of(F::Unreadable), Outcome::Used, ""},
      {"1 GiB long", Grown(kHugeProgram), Outcome::Used, ""},
      {"only in a twin of its folder spelled in the other case", Of(F::OnlyInTwin), Outcome::Used, ""},
      {"beside a twin of its folder, spelled in the other case, without it", Of(F::TwinWithoutTheFile),
       Outcome::Used, ""},
  };
  return rows;
}

const std::vector<FaultRow>& FaultsFor(Kind kind) {
  switch (kind) {
    case Kind::Picture: return PictureFaults();
    case Kind::BusyPointer: return BusyPointerFaults();
    case Kind::Program: return ProgramFaults();
    case Kind::Guide: return GuideFaults();
  }
  return PictureFaults();
}

// The launcher's peak resident memory while it shows the message, against the
// same with the file missing: an oversized file or a huge picture is refused
// before it is read or anything is allocated for it (the file cap is 16 MiB).
constexpr long kPeakMemorySlackKiB = 8 * 1024;
constexpr Millis kGoneDeadline{5000};
constexpr Millis kOpenerGrace{300};

std::optional<long> PeakMemoryKiB(pid_t pid) {
  std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    long kib = 0;
    if (std::sscanf(line.c_str(), "VmHWM: %ld kB", &kib) == 1) return kib;
  }
  return std::nullopt;
}

class DiscFaults : public BareDisplayTest, public ::testing::WithParamInterface<DiscFile> {
 protected:
  // One fault on a fresh disc; every launcher it started is gone afterwards.
  void RunRow(const DiscFile& f, const FaultRow& row) {
    UseDisc(Spelling::AsLayout);
    // Root reads any file: an unreadable file is tried by an ordinary user's launcher.
    std::optional<Credentials> reader;
    if (row.fault.kind == FaultKind::Unreadable) reader = UserWhoCannotReadUnreadableFiles();
    if (reader) OpenToEveryone(disc());
    RunLaunchersAs(reader);
    Apply(disc(), f.file, row.fault);
    x().MoveTo({0, 0});  // off the window, so moving onto a button is a movement
    mapped_before_ = x().MappedSinceStart().size();
    launcher_ = &Spawn(disc().disc());
    Check(f, row);
    Finish();
  }

 private:
  void Check(const DiscFile& f, const FaultRow& row) {
    if (f.use == Use::Start && row.outcome == Outcome::RuntimeError) return ExpectRuntimeError(f, row);
    ASSERT_NO_FATAL_FAILURE(WaitStarted());
    Act(f);
    switch (row.outcome) {
      case Outcome::RuntimeError: return ExpectRuntimeError(f, row);
      case Outcome::QuietEnd: return ExpectQuietEnd();
      case Outcome::NotOpened: return ExpectNotOpened();
      case Outcome::Used: return ExpectUsed(f);
    }
  }

  void WaitStarted() {
    auto window = x().WaitForWindowOfPid(launcher_->pid(), kWindowDeadline);
    ASSERT_TRUE(window.has_value()) << "no window; the launcher is " << Describe(launcher_->WaitExit(Millis(0)))
                                    << ", stderr: " << launcher_->Stderr();
    view_ = Session{nullptr, *window, x().ClientOrigin(*window)};
    ASSERT_EQ(WaitShows(view_, kHelpPanel, DiscPicture::Help), "") << "a fault in a file not yet used stopped the start";
  }

  void Act(const DiscFile& f) {
    if (f.use == Use::Start) return;
    const ControlRect& button = *f.button;
    MoveTo(view_, button, &button == &kExitButton ? kExitCorner : button.Centre());
    if (f.use == Use::Hover) return;
    x().Press(kLeft);
    if (f.use == Use::Release) x().Release(kLeft);
  }

  void ExpectRuntimeError(const DiscFile& f, const FaultRow& row) {
    auto dialog = WaitForDialog();
    x().ReleaseHeldButtons();
    ASSERT_TRUE(dialog.has_value()) << "no error message; the launcher is "
                                    << Describe(launcher_->WaitExit(Millis(0))) << ", stderr: " << launcher_->Stderr();
    EXPECT_TRUE(x().ViewableWindowsOfPid(launcher_->pid()).empty()) << "the window shows behind the message";
    if (f.use == Use::Start) {
      std::vector<Window> mapped = x().MappedSinceStart();
      for (std::size_t i = mapped_before_; i < mapped.size(); ++i)
        EXPECT_EQ(mapped[i], *dialog) << "a window other than the message was shown";
    }
    if (auto peak = PeakMemoryKiB(launcher_->pid())) {
      if (row.fault.kind == FaultKind::Missing) missing_file_peak_ = *peak;
      if (missing_file_peak_) {
        EXPECT_LT(*peak, *missing_file_peak_ + kPeakMemorySlackKiB)
            << "peak resident memory in KiB, against " << *missing_file_peak_ << " when the file is missing";
      }
    }
    std::vector<std::string> lines = launcher_->StderrLines();
    ASSERT_EQ(lines.size(), 2u) << "stderr: " << launcher_->Stderr();
    std::string operation = f.kind == Kind::Program ? "Shell" : "LoadPicture";
    EXPECT_NE(lines[0].find(operation + "「" + std::string(f.literal) + "」"), std::string::npos) << lines[0];
    std::string prefix = "autorun: Run-time error: " + operation + " \"" + std::string(f.literal) + "\": ";
    if (row.cause.empty()) {
      EXPECT_TRUE(lines[1].starts_with(prefix) && lines[1].size() > prefix.size()) << lines[1];
    } else {
      EXPECT_EQ(lines[1], prefix + std::string(row.cause));
    }
    for (int tries = 0; tries < 250 && x().FocusedWindow() != *dialog; ++tries) std::this_thread::sleep_for(Millis(20));
    x().Key(XK_Return);
    auto status = launcher_->WaitExit(kExitDeadline);
    EXPECT_EQ(status, Exited(1)) << Describe(status);
    EXPECT_TRUE(disc().Log(kSetupLog).empty()) << "the setup program was reported started";
    EXPECT_TRUE(disc().Log(kManualLog).empty()) << "the manual installation was reported started";
  }

  void ExpectQuietEnd() {
    auto status = launcher_->WaitExit(kExitDeadline);
    EXPECT_EQ(status, Exited(0)) << Describe(status);
    EXPECT_EQ(launcher_->Stderr(), "");
    std::vector<Window> mapped = x().MappedSinceStart();
    for (std::size_t i = mapped_before_; i < mapped.size(); ++i)
      EXPECT_EQ(mapped[i], view_.window) << "another window (a message?) was shown";
    EXPECT_TRUE(disc().Log(kSetupLog).empty()) << "the setup program was started";
  }

  void ExpectNotOpened() {
    ASSERT_TRUE(WaitIdle(launcher_->pid(), kIdleQuiet, kIdleDeadline))
        << "the launcher did not come to rest; it is " << Describe(launcher_->WaitExit(Millis(0)));
    EXPECT_TRUE(launcher_->Running()) << Describe(launcher_->WaitExit(Millis(0)));
    EXPECT_TRUE(x().Viewable(view_.window)) << "the window closed";
    Click(view_, kExitButton, kExitButton.Centre());
    auto status = launcher_->WaitExit(kExitDeadline);
    EXPECT_EQ(status, Exited(0)) << Describe(status);
    EXPECT_EQ(launcher_->Stderr(), "");
    std::this_thread::sleep_for(kOpenerGrace);  // an opener started at the release would have written by now
    EXPECT_TRUE(disc().Log(kOpenLog).empty()) << "the opener ran: " << disc().Log(kOpenLog).front();
  }

  void ExpectUsed(const DiscFile& f) {
    switch (f.kind) {
      case Kind::Picture:
        EXPECT_EQ(WaitShows(view_, *f.shown_on, f.picture), "");
        break;
      case Kind::BusyPointer: {
        CursorShot busy = WaitCursor([&](const CursorShot& c) { return IsBusy(c); });
        EXPECT_TRUE(IsBusy(busy)) << "pointer " << Describe(busy) << ", expected the disc's busy pointer";
        EXPECT_TRUE(WaitLogLines(kSetupLog, 1)) << "the setup program did not start";
        break;
      }
      case Kind::Program:
        EXPECT_TRUE(WaitLogLines(f.button == &kSetupWizardButton ? kSetupLog : kManualLog, 1))
            << "the program did not start; stderr: " << launcher_->Stderr();
        break;
      case Kind::Guide: {
        auto guide = RegularFileAt(disc(), f.file);
        ASSERT_TRUE(guide.has_value());
        ASSERT_TRUE(WaitLogLines(kOpenLog, 1)) << "the guide was not handed to the opener";
        EXPECT_EQ(disc().Log(kOpenLog), std::vector<std::string>{"1 " + guide->string()});
        break;
      }
    }
    EXPECT_TRUE(launcher_->Running()) << Describe(launcher_->WaitExit(Millis(0)));
    EXPECT_EQ(launcher_->Stderr(), "");
  }

  void Finish() {
    if (launcher_ != nullptr) {
      launcher_->Kill();
      auto deadline = std::chrono::steady_clock::now() + kGoneDeadline;
      while ((!x().ViewableWindowsOfPid(launcher_->pid()).empty() ||
              !x().ViewableWindowsNamed(std::string(kDialogTitle)).empty()) &&
             std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(Millis(10));
    }
    x().ReleaseHeldButtons();
    RunLaunchersAs(std::nullopt);
    launcher_ = nullptr;
  }

  Launcher* launcher_ = nullptr;
  Session view_;
  std::optional<long> missing_file_peak_;  // the first row of each file is "missing"
  std::size_t mapped_before_ = 0;
};

// A foreign program the host can run after all (an emulator registered for
// it) tests nothing about the launcher.
std::optional<std::string> WhyNotApplicable(const DiscFile& f, const FaultRow& row) {
  if (f.kind == Kind::Program && row.fault.kind == FaultKind::Replaced && row.outcome == Outcome::RuntimeError &&
      SystemStarts(row.fault.bytes))
    return "this system runs that format";
  return std::nullopt;
}

TEST_P(DiscFaults, EachFaultGivesItsOutcome) {
  const DiscFile& f = GetParam();
  int run = 0;
  for (const FaultRow& row : FaultsFor(f.kind)) {
    SCOPED_TRACE(std::string(f.file) + ": " + row.name);
    if (auto why = WhyNotApplicable(f, row)) {
      std::printf("[ SKIPPED  ] %s: %s: %s\n", std::string(f.file).c_str(), row.name, why->c_str());
      continue;
    }
    RunRow(f, row);
    ++run;
  }
  RecordProperty("fault_cases", run);
  std::printf("[ CASES    ] %s: %d fault cases\n", std::string(f.file).c_str(), run);
}

INSTANTIATE_TEST_SUITE_P(EveryDiscFile, DiscFaults, ::testing::ValuesIn(kDiscFiles),
                         [](const ::testing::TestParamInfo<DiscFile>& info) { return info.param.id; });

// The crafted files fail for the reason they are named after, not for a
// mistake in their making: the same bytes at a sane size are accepted.
TEST(CraftedFaults, SaneSizesOfTheCraftedHeadersAreAccepted) {
  struct Crafted {
    const char* name;
    std::vector<std::uint8_t> sane, absurd;
  };
  const Crafted cases[] = {
      {"GIF screen", GifWithScreen(1, 1), GifWithScreen(65535, 65535)},
      {"GIF image", GifWithImage(1, 1), GifWithImage(65535, 65535)},
  };
  for (const Crafted& c : cases) {
    SCOPED_TRACE(c.name);
    auto sane = pictures::DecodePicture(c.sane);
    EXPECT_TRUE(std::holds_alternative<pictures::Image>(sane));
    auto absurd = pictures::DecodePicture(c.absurd);
    ASSERT_TRUE(std::holds_alternative<pictures::PictureError>(absurd));
    EXPECT_EQ(std::get<pictures::PictureError>(absurd), pictures::PictureError::TooLarge);
  }
}

}  // namespace
}  // namespace e2e
