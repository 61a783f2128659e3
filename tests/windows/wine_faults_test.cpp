// Damaged and hostile discs under the Windows launcher: the faults of the
// Linux build's table that a Windows disc can carry (no pipes, links or
// permission bits), each giving its documented outcome: the run-time error
// message naming the file and its cause, a quiet end, or normal use; never a
// crash or a hang. Each file is broken at the use that reads it first.
#include <algorithm>
#include <initializer_list>

#include "pictures/le_bytes.h"
#include "pictures/picture.h"
#include "tests/e2e/disc_faults.h"
#include "tests/windows/wine_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kPictureCap = pictures::kMaxPictureFileBytes;
constexpr std::uint64_t kCursorCap = 4u << 20;

// The disc's GIF pictures: about 1 to 3 KiB, a 768-byte colour table from byte
// 13, the image descriptor at 789.
std::vector<FaultRow> PictureFaults() {
  using F = FaultKind;
  using C = Cut::From;
  using O = Outcome;
  return {
      {"missing", Of(F::Missing), O::RuntimeError, "file not found"},
      {"empty", Of(F::Empty), O::RuntimeError, "empty file"},
      {"cut inside its signature (3 bytes)", Truncated(C::Start, 3), O::RuntimeError, "not a picture"},
      {"cut after its signature (6 bytes)", Truncated(C::Start, 6), O::RuntimeError, "truncated picture"},
      {"cut inside the colour table (400 bytes)", Truncated(C::Start, 400), O::RuntimeError, "truncated picture"},
      {"cut in the middle of the image data", Truncated(C::Middle), O::RuntimeError, "truncated picture"},
      {"cut 1 byte short, no trailer", Truncated(C::End, 1), O::RuntimeError, "truncated picture"},
      {"a folder", Of(F::Folder), O::RuntimeError, "file not found"},
      {"one byte over the 16 MiB file cap", Grown(kPictureCap + 1), O::RuntimeError, "file too large"},
      {"exactly the 16 MiB file cap, zeros after the trailer", Grown(kPictureCap), O::Used, ""},
      {"a GIF announcing 65535 x 65535", Replaced(GifWithScreen(65535, 65535)), O::RuntimeError,
       "picture too large"},
      {"a 1 x 1 GIF screen holding a 65535 x 65535 image", Replaced(GifWithImage(65535, 65535)), O::RuntimeError,
       "picture too large"},
      {"a BMP announcing 100000 x 100000", Replaced(BmpAnnouncing(100000, 100000)), O::RuntimeError,
       "picture too large"},
      {"an ICO announcing 100000 x 100000", Replaced(IcoAnnouncing(100000, 100000)), O::RuntimeError,
       "picture too large"},
  };
}

// The busy pointer cannot be loaded: End, silently. Its file is about 700 bytes.
std::vector<FaultRow> BusyPointerFaults() {
  using F = FaultKind;
  using C = Cut::From;
  using O = Outcome;
  return {
      {"missing", Of(F::Missing), O::QuietEnd, ""},
      {"empty", Of(F::Empty), O::QuietEnd, ""},
      {"cut after \"RIFF\" (4 bytes)", Truncated(C::Start, 4), O::QuietEnd, ""},
      {"cut inside the header chunk (40 bytes)", Truncated(C::Start, 40), O::QuietEnd, ""},
      {"cut in the middle of the frames", Truncated(C::Middle), O::QuietEnd, ""},
      {"cut 1 byte short", Truncated(C::End, 1), O::QuietEnd, ""},
      {"a folder", Of(F::Folder), O::QuietEnd, ""},
      {"one byte over the 4 MiB file cap", Grown(kCursorCap + 1), O::QuietEnd, ""},
      {"a frame announcing 100000 x 100000", Replaced(AniWithFrameAnnouncing(100000, 100000)), O::QuietEnd, ""},
      {"a header announcing 4294967295 frames", Replaced(AniAnnouncingFrames(0xFFFFFFFFu)), O::QuietEnd, ""},
      {"a GIF picture instead of a pointer", Replaced(GifWithScreen(32, 32)), O::QuietEnd, ""},
      {"exactly the 4 MiB file cap, zeros after the RIFF data", Grown(kCursorCap), O::Used, ""},
  };
}

// The recording program with another machine's number in its header.
std::vector<std::uint8_t> ProgramForAnotherMachine() {
  std::vector<std::uint8_t> program = ReadBytes(wine::WindowsBuild() / "recording_program.exe");
  if (!pictures::Fits(program.size(), 0x3C, 4)) return {};
  const std::uint32_t header = pictures::LoadU32(program, 0x3C);
  if (!pictures::Fits(program.size(), header, 6)) return {};
  program[header + 4] = 0x64;  // 0xAA64: ARM64
  program[header + 5] = 0xAA;
  return program;
}

// The programs are the recording program, a 64-bit Windows program of about half a megabyte.
std::vector<FaultRow> ProgramFaults() {
  using F = FaultKind;
  using C = Cut::From;
  using O = Outcome;
  const std::string text = "This is no program.\r\n";
  return {
      {"missing", Of(F::Missing), O::RuntimeError, "file not found"},
      {"empty", Of(F::Empty), O::RuntimeError, "not an executable format"},
      {"text", Replaced({text.begin(), text.end()}), O::RuntimeError, "not an executable format"},
      {"a folder", Of(F::Folder), O::RuntimeError, "file not found"},
      {"cut to its DOS header (64 bytes)", Truncated(C::Start, 64), O::RuntimeError, "not an executable format"},
      {"cut after its headers (1024 bytes)", Truncated(C::Start, 1024), O::RuntimeError, "not an executable format"},
      {"a program for another machine (ARM64)", Replaced(ProgramForAnotherMachine()), O::RuntimeError,
       "not an executable format"},
  };
}

// Where a file is first read, and how the launcher is driven there.
enum class Use { Start, Press, Release };

struct DiscFile {
  std::string_view file;     // as the test disc spells it
  std::string_view literal;  // as the launcher names it
  std::string_view operation;
  Use use;
  const ControlRect* button;  // pressed or released; none at the start
  DiscPicture shown;          // a picture in use: what shows...
  const ControlRect* shown_on;  // ...and where
};

constexpr DiscFile kHelpPicture{"Setup/images/help.gif", R"(setup\images\help.gif)", "LoadPicture", Use::Start,
                                nullptr, DiscPicture::Help, &kHelpPanel};
constexpr DiscFile kExitPressed{"Setup/images/exitdown.gif", R"(setup\images\exitdown.gif)", "LoadPicture",
                                Use::Press, &kExitButton, DiscPicture::ExitDown, &kExitButton};
constexpr DiscFile kBusyPointer{kBusyPointerFile, R"(Setup\images\hourglas.ani)", "", Use::Release,
                                &kSetupWizardButton, DiscPicture::Help, nullptr};
constexpr DiscFile kSetupProgram{kSetupProgramFile, R"(Setup\Setup.exe)", "Shell", Use::Release,
                                 &kSetupWizardButton, DiscPicture::Help, nullptr};
constexpr DiscFile kManualProgram{kManualProgramFile, R"(manualinstallation\setup.exe)", "Shell", Use::Release,
                                  &kManualInstallationButton, DiscPicture::Help, nullptr};

class WineFaults : public WineLauncher {
 protected:
  void RunAll(const DiscFile& f, const std::vector<FaultRow>& rows) {
    for (const FaultRow& row : rows) {
      SCOPED_TRACE(std::string(f.file) + ": " + row.name);
      RunRow(f, row);
      if (HasFatalFailure()) return;
    }
  }

 private:
  void RunRow(const DiscFile& f, const FaultRow& row) {
    FreshDisc();
    Apply(disc(), f.file, row.fault);
    const std::size_t mapped_before = x().MappedSinceStart().size();
    Launcher& launcher = Spawn(disc().disc());
    if (f.use == Use::Start && row.outcome == Outcome::RuntimeError) {
      ExpectRuntimeError(launcher, f.operation, f.literal, row.cause);
      EXPECT_TRUE(x().ViewableWindowsNamed(std::string(kCaption)).empty()) << "the window was shown";
      return Finish(launcher);
    }
    auto window = x().WaitForWindowOfPid(launcher.pid(), kWindowDeadline);
    ASSERT_TRUE(window.has_value()) << "no window; launcher " << Describe(launcher.WaitExit(Millis(0)))
                                    << ", stderr: " << launcher.Stderr();
    const Session view{nullptr, *window, x().ClientOrigin(*window)};
    if (f.use != Use::Start) {
      ASSERT_EQ(WaitShows(view, kHelpPanel, DiscPicture::Help), "") << "a file not yet used stopped the start";
      MoveToCentre(view, *f.button);
      x().Press(kLeft);
      if (f.use == Use::Release) x().Release(kLeft);
    }
    switch (row.outcome) {
      case Outcome::RuntimeError: ExpectRuntimeError(launcher, f.operation, f.literal, row.cause); break;
      case Outcome::QuietEnd: ExpectQuietEnd(launcher, mapped_before); break;
      case Outcome::Used: ExpectUsed(f, view, launcher); break;
      case Outcome::NotOpened: ADD_FAILURE() << "the guide is not among the files broken here"; break;
    }
    Finish(launcher);
  }

  void ExpectUsed(const DiscFile& f, const Session& view, Launcher& launcher) {
    if (f.shown_on != nullptr) {
      EXPECT_EQ(WaitShows(view, *f.shown_on, f.shown), "");
    } else {
      const CursorShot busy = WaitCursor([&](const CursorShot& c) { return IsBusy(c); });
      EXPECT_TRUE(IsBusy(busy)) << "pointer " << Describe(busy) << ", expected the disc's busy pointer";
      EXPECT_TRUE(WaitRuns(kSetupProgramFile, 1)) << "the setup program did not start";
    }
    EXPECT_TRUE(launcher.Running()) << Describe(launcher.WaitExit(Millis(0)));
    EXPECT_EQ(launcher.Stderr(), "");
  }

  // Whatever still runs is ended, so the next row finds no window of this one.
  void Finish(Launcher& launcher) {
    x().ReleaseHeldButtons();
    launcher.Kill();
    for (const std::string& name : {std::string(kCaption), std::string(kDialogTitle)})
      for (Window w : x().ViewableWindowsNamed(name)) x().WaitGone(w, kShowDeadline);
  }
};

// The rows of a table with these names, in the table's order.
std::vector<FaultRow> Pick(const std::vector<FaultRow>& all, std::initializer_list<std::string_view> names) {
  std::vector<FaultRow> picked;
  for (const FaultRow& row : all)
    if (std::find(names.begin(), names.end(), row.name) != names.end()) picked.push_back(row);
  EXPECT_EQ(picked.size(), names.size()) << "a row name is not in the table";
  return picked;
}

TEST_F(WineFaults, GeneralHelpPictureAtStart) { RunAll(kHelpPicture, PictureFaults()); }

// The same reader as at the start: a few rows show that the error comes mid-run too.
TEST_F(WineFaults, PressedPictureAtTheFirstPress) {
  RunAll(kExitPressed, Pick(PictureFaults(), {"missing", "cut in the middle of the image data", "a folder",
                                              "exactly the 16 MiB file cap, zeros after the trailer"}));
}

TEST_F(WineFaults, BusyPointerAtTheSetupWizardRelease) { RunAll(kBusyPointer, BusyPointerFaults()); }

// Shell fails with the busy pointer already showing.
TEST_F(WineFaults, SetupProgramAtTheSetupWizardRelease) {
  RunAll(kSetupProgram, Pick(ProgramFaults(), {"missing", "text"}));
}

TEST_F(WineFaults, ManualInstallationProgramAtItsRelease) {
  ASSERT_FALSE(ProgramForAnotherMachine().empty()) << "recording_program.exe is missing or not a program";
  RunAll(kManualProgram, ProgramFaults());
}

}  // namespace
}  // namespace e2e
