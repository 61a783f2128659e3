// The disc as the launcher meets it: paths spelled as the program writes
// them, files read whole, programs and the guide started, and the message a
// failure shows.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/disc/disc_path.h"
#include "platform/disc/posix_disc.h"
#include "platform/disc/process.h"
#include "platform/error_text.h"
#include "tests/support/disc_faults.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FileError;
using namespace testing_support;

platform::PosixDisc g_disc;

struct Lookup {
  const char* literal;
  const char* found;  // nullptr: nothing
  const char* rename_from = nullptr;  // applied to the disc first
  const char* rename_to = nullptr;
};

// Each case a fresh disc of the listed files, then lookups in order: a folder
// found once must give what a fresh search gives, however the disc changes.
TEST(DiscPath, FindsEachSpellingTheWayAFreshSearchWould) {
  const std::pair<std::vector<const char*>, std::vector<Lookup>> kCases[] = {
      {{"setup/images/help.gif"}, {{"setup\\images\\help.gif", "setup/images/help.gif"}, {"setup\\images\\exit.gif", nullptr},
                                   {"manual\\a.html", nullptr}, {"..\\a.gif", nullptr},
                                   {"\\setup\\images\\help.gif", nullptr}, {"", nullptr}}},
      {{"Setup/images/SETUPWIZARD.GIF"},
       {{"setup\\images\\setupwizard.gif", "Setup/images/SETUPWIZARD.GIF"}, {"setup/./images//setupwizard.gif", "Setup/images/SETUPWIZARD.GIF"}}},
      {{"Setup/a.gif", "setup/a.gif"}, {{"Setup\\a.gif", "Setup/a.gif"}, {"setup\\a.gif", "setup/a.gif"}}},
      {{"setup/Ä.gif"}, {{"setup\\ä.gif", nullptr}}},
      {{"setup/images/help.gif", "Setup/Setup.exe"}, {{"Setup\\images\\help.gif", "setup/images/help.gif"}}},
      {{"Setup/images/a.gif", "Setup/images/b.gif"},
       {{"setup\\images\\a.gif", "Setup/images/a.gif"}, {"setup\\images\\b.gif", "Setup/images/b.gif"},
        {"setup\\images\\c.gif", nullptr}, {"SETUP\\IMAGES\\A.GIF", "Setup/images/a.gif"}}},
      {{"SETUP/a.gif", "Setup/a.gif", "Setup/b.gif"},
       {{"setup\\b.gif", "Setup/b.gif"}, {"setup\\a.gif", "SETUP/a.gif"}, {"setup\\b.gif", "Setup/b.gif"}}},
      {{"Setup/a.gif"},
       {{"setup\\a.gif", "Setup/a.gif"}, {"setup\\a.gif", "SETUP/a.gif", "Setup", "SETUP"},
        {"setup\\a.gif", nullptr, "SETUP", "other"}, {"other\\a.gif", "other/a.gif"}, {"OTHER\\a.gif", "other/a.gif"},
        {"OTHER\\a.gif", "Other/a.gif", "other", "Other"}}},
      {{"Setup/a.gif"}, {{"setup\\a.gif", "Setup/a.gif"}, {"setup\\a.gif", "setup/a.gif", "Setup", "setup"}}},
  };
  for (const auto& [files, lookups] : kCases) {
    TempDir dir;
    for (const char* f : files) dir.Write(f, f);
    dir.Enter();
    for (const Lookup& l : lookups) {
      if (l.rename_from) fs::rename(l.rename_from, l.rename_to);
      EXPECT_EQ(platform::ResolveDiscPath(l.literal).value_or("-"), l.found ? l.found : "-") << l.literal;
    }
  }
  // The same folders below another directory are searched afresh.
  TempDir other;
  other.Write("SETUP/a.gif", ""), other.Write("Setup/a.gif", "");
  other.Enter();
  EXPECT_EQ(platform::ResolveDiscPath("setup\\a.gif").value_or("-"), "SETUP/a.gif");
}

TEST(DiscFile, ReadsRegularFilesWholeAndNothingThatCouldBlock) {
  TempDir dir;
  const auto device = [](const fs::path& d, std::string_view f) { Remove(d, f), fs::create_symlink("/dev/zero", d / f); };
  const auto link = [](const fs::path& d, std::string_view f) { Remove(d, f), fs::create_symlink("images/help.gif", d / f); };
  const std::tuple<const char*, DiscFault, std::string> kCases[] = {
      {"Setup\\Images\\Help.gif", nullptr, "GIF89a-help"}, {"setup\\link.gif", link, "GIF89a-help"},
      {"setup\\empty.gif", Empty, ""}, {"setup\\folder.gif", Folder, "not found"}, {"setup\\fifo.gif", Fifo, "not found"},
      {"setup\\dangling.gif", Dangling, "not found"}, {"setup\\loop.gif", Looping, "not found"},
      {"setup\\device.gif", device, "not found"}, {"setup\\absent.gif", Remove, "not found"},
      {"setup\\cap.gif", Grow<2048>, std::string("GIF89a-help\nexit 0\n").append(2029, '\0')},
      {"setup\\big.gif", Grow<2049>, "too large"},
  };
  for (const auto& [literal, fault, read] : kCases) {
    std::string file = literal;
    for (char& c : file) c = c == '\\' ? '/' : static_cast<char>(std::tolower(c));
    dir.Write(file, "GIF89a-help");
    if (fault) fault(dir.path(), file);
  }
  dir.Enter();
  for (const auto& [literal, fault, read] : kCases) {
    const auto result = platform::ReadDiscFile(g_disc, literal, 2048);
    const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&result);
    EXPECT_EQ(bytes ? std::string(bytes->begin(), bytes->end()) : std::string(platform::EnglishText(platform::CauseOf(std::get<FileError>(result)))).substr(5),
              read)
        << literal;
  }
  // Root reads every file: read as nobody in a child.
  dir.Write("secret.gif", "GIF89a"), Unreadable(dir.path(), "secret.gif");
  fs::permissions(dir.path(), fs::perms::all);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    // A read leaves no file open: the launcher reads a picture at every hover.
    const rlimit few{32, 32};
    ::setrlimit(RLIMIT_NOFILE, &few);
    for (int i = 0; i < 64; ++i)
      if (std::holds_alternative<FileError>(platform::ReadDiscFile(g_disc, "setup\\empty.gif", 1024))) ::_exit(3);
    const auto result = platform::ReadDiscFile(g_disc, "secret.gif", 1024);
    ::_exit(std::holds_alternative<FileError>(result) && std::get<FileError>(result) == FileError::Unreadable ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: an unreadable file was not reported as unreadable; 3: reads left files open";
}

// What a started program wrote, once it has.
std::string WrittenBy(const fs::path& file) {
  for (int i = 0; i < 500 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::stringstream text;
  return text << std::ifstream(file).rdbuf(), text.str();
}

TEST(Programs, StartDetachedInTheirOwnSessionAndAreReaped) {
  TempDir dir;
  dir.Write("Setup/Setup.exe", "#!/bin/sh\necho \"$# $(pwd) $(ps -o sid= -p $$)\" > ran.txt\n", true);
  dir.Enter();
  platform::ReapChildrenAutomatically();
  const std::int32_t pid = platform::StartProgram(g_disc, "setup\\SETUP.EXE", 1);
  std::istringstream ran(WrittenBy(dir.path() / "ran.txt"));
  std::string argc, cwd, sid;
  ran >> argc >> cwd >> sid;
  EXPECT_EQ(argc + " " + fs::canonical(cwd).string() + " " + sid,
            "0 " + fs::canonical(dir.path()).string() + " " + std::to_string(pid));
  bool reaped = false;
  for (int i = 0; i < 500 && !reaped; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    reaped = !fs::exists("/proc/" + std::to_string(pid));
  }
  EXPECT_TRUE(reaped) << "pid " << pid << " left a zombie";
}

TEST(Programs, EveryFailureToStartIsARuntimeError) {
  TempDir dir;
  const std::tuple<const char*, const char*, DiscFault, const char*> kCases[] = {
      {"missing.exe", "", Remove, "file not found"}, {"folder.exe", "", Folder, "file not found"},
      {"fifo.exe", "", Fifo, "file not found"}, {"dangling.exe", "", Dangling, "file not found"},
      {"loop.exe", "", Looping, "file not found"}, {"empty.exe", "", Empty, "not an executable format"},
      {"text.exe", "", Text, "not an executable format"}, {"plain.exe", "", NotExecutable, "permission denied"},
      {"unreadable.exe", "", Unreadable, "permission denied"},
      {"script.exe", "#!/no/such/interpreter\n", nullptr, "program interpreter not found"},
      {"foreign.exe", "MZ\x90\x01\x03garbage", nullptr, "not an executable format"},
      {"busy.exe", "", nullptr, "Text file busy"},
  };
  for (const auto& [literal, content, fault, cause] : kCases) {
    dir.Write(literal, *content ? content : "#!/bin/sh\n", true);
    if (fault) fault(dir.path(), literal);
  }
  std::ofstream busy(dir.path() / "busy.exe", std::ios::app);  // open for writing: not runnable
  dir.Enter();
  for (const auto& [literal, content, fault, cause] : kCases) {
    try {
      platform::StartProgram(g_disc, literal, 1);
      ADD_FAILURE() << literal << " started";
    } catch (const platform::RuntimeError& e) {
      EXPECT_EQ(e.what(), "Shell \"" + std::string(literal) + "\": " + cause);
    }
  }
}

TEST(Programs, TheGuideGoesToTheDesktopByItsAbsolutePathWhenItIsAFile) {
  TempDir bin, disc;
  bin.Write("xdg-open", "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/opened.txt\"\n", true);
  const std::string path = std::getenv("PATH");
  ::setenv("PATH", (bin.path().string() + ":" + path).c_str(), 1);
  disc.Write("Manual/UserGuideEng.html", "<html></html>");
  fs::create_directories(disc.path() / "Other/UserGuideEng.html");
  ASSERT_EQ(::mkfifo((disc.path() / "Other/fifo.html").c_str(), 0644), 0);
  disc.Enter();
  platform::ReapChildrenAutomatically();
  EXPECT_EQ(g_disc.Open(0, "edit", "manual\\userguideeng.html", "", "", 1), 31);
  for (const char* literal : {"Missing\\UserGuideEng.html", "Other\\UserGuideEng.html", "Other\\fifo.html"})
    EXPECT_EQ(g_disc.Open(0, "open", literal, "", "", 1), 2) << literal;
  EXPECT_EQ(g_disc.Open(0, "open", "manual\\userguideeng.html", "", "", 1), 42);
  EXPECT_EQ(WrittenBy(bin.path() / "opened.txt"), fs::canonical("Manual/UserGuideEng.html").string() + "\n");
  ::setenv("PATH", path.c_str(), 1);
}

}  // namespace
