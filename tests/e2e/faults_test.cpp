// Damaged discs, end to end: each answer the launcher can give a damaged file
// of each kind (the run-time error naming the file, a quiet end, nothing at
// all, or normal use), an error at the start and while a button is held, its
// message dismissed each way a user can, the file caps as built, never a crash
// or a hang. Which fault gives which cause, and which file each step needs, are
// the unit tests' business.
#include "tests/e2e/harness.h"
#include "tests/support/disc_faults.h"

namespace e2e {
namespace {

using namespace testing_support;

enum class Outcome { Error, QuietEnd, NotOpened, Used };
constexpr std::uintmax_t kPictureCap = pictures::kMaxPictureFileBytes, kPointerCap = 4u << 20;

struct Row {
  const char* file;  // as the test disc spells it
  const char* fault;
  DiscFault apply;
  const Rect* on;  // moved onto, then pressed and released `clicks` halves of a click; nullptr: at the start
  int clicks;
  Outcome outcome;
  const char* error = "";  // the run-time error's message
  bool unix_only = false;  // the Linux launcher's only
  const char* dismiss = "Return";  // how the message goes: a key, its frame ("close") or its button ("button")
};

const Row kRows[] = {
    {"Setup/images/exitdown.gif", "missing", Remove, &kExit, 1, Outcome::Error,
     "LoadPicture \"setup\\images\\exitdown.gif\": file not found", false, "button"},
    {"Setup/images/help.gif", "one byte over the cap", Grow<kPictureCap + 1>, nullptr, 0, Outcome::Error,
     "LoadPicture \"setup\\images\\help.gif\": file too large", false, "Escape"},
    {"Setup/images/help.gif", "text", Text, nullptr, 0, Outcome::Error, "LoadPicture \"setup\\images\\help.gif\": ...", false,
     "close"},
    {kBusyPointer, "missing", Remove, &kSetup, 2, Outcome::QuietEnd},
    {kBusyPointer, "the cap, zeros after the pointer", Grow<kPointerCap>, &kSetup, 2, Outcome::Used},
    {kSetupProgram, "missing", Remove, &kSetup, 2, Outcome::Error, "Shell \"Setup\\Setup.exe\": file not found"},
    {kManualProgram, "text", Text, &kManual, 2, Outcome::Error, "Shell \"manualinstallation\\setup.exe\": not an executable format"},
    {kManualProgram, "1 GiB long, never read by the launcher", Grow<1ull << 30>, &kManual, 2, Outcome::Used, "", true},
    {kGuide, "missing", Remove, &kDocumentation, 2, Outcome::NotOpened},
};

using DiscFaults = LauncherTest;

TEST_F(DiscFaults, EachAnswerToADamagedFile) {
  for (const Row& r : kRows) {
    if (r.unix_only && kPlatform.wine) continue;
    SCOPED_TRACE(std::string(r.file) + ": " + r.fault);
    NewDisc();
    r.apply(disc().disc, r.file);
    Child& launcher = Spawn();
    if (r.on != nullptr || r.outcome != Outcome::Error) {
      Session* s = Attach(launcher);
      ASSERT_NE(s, nullptr) << "a fault in a file not used yet stopped the start";
      Move(*s, r.on ? *r.on : kBackground);
      for (int half = 0; half < r.clicks; ++half) x().Button(1, half == 0);
      if (r.outcome == Outcome::NotOpened) {
        ASSERT_TRUE(Settled(*s));
        std::this_thread::sleep_for(Millis(300));  // an opener started at the release has written by now
        EXPECT_TRUE(x().Viewable(s->window));
      }
    }
    if (r.outcome == Outcome::Error) {
      ExpectError(launcher, r.error, kPlatform.wine ? "Return" : r.dismiss);  // Wine's own message box: a key
      EXPECT_EQ(disc().Count("setup") + disc().Count("manualinstallation"), 0u) << "a program started";
    } else if (r.outcome == Outcome::QuietEnd) {
      EXPECT_EQ(launcher.Wait(kPlatform.exit_deadline), 0);
      for (const std::string& mapped : x().MappedNames()) {
        EXPECT_TRUE(kPlatform.wine && mapped == "?") << mapped << " showed";
      }
    } else if (r.outcome == Outcome::Used) {
      EXPECT_TRUE(r.file != kBusyPointer || IsBusy(Pointer(IsBusy)));
      EXPECT_TRUE(!r.on || WaitLog(r.on == &kSetup ? "setup" : "manualinstallation", 1)) << launcher.Err();
      EXPECT_TRUE(launcher.Running());
    }
    EXPECT_TRUE(r.outcome == Outcome::Error || launcher.Err().empty()) << launcher.Err();
    EXPECT_EQ(disc().Count("open"), 0u);
  }
}

}  // namespace
}  // namespace e2e
