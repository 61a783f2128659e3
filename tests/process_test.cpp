#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/disc/posix_disc.h"
#include "platform/disc/process.h"
#include "platform/runtime.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

platform::PosixDisc g_disc;

// Waits for a file that a started program writes; the program runs on its own.
std::string WaitForFile(const fs::path& file) {
  for (int i = 0; i < 500 && !fs::exists(file); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool IsZombieOrGone(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string all;
  if (!std::getline(stat, all)) return true;
  auto close = all.rfind(')');
  return close != std::string::npos && all.size() > close + 2 && all[close + 2] == 'Z';
}

TEST(StartProgram, RunsTheDiscProgramDetachedInItsOwnSession) {
  TempDir dir;
  dir.Write("Setup/Setup.exe",
            "#!/bin/sh\necho \"$# $(pwd) $(ps -o sid= -p $$)\" > ran.txt\n", true);
  dir.Enter();
  platform::ReapChildrenAutomatically();
  std::int32_t pid = platform::StartProgram(g_disc, "setup\\SETUP.EXE", 1);
  ASSERT_GT(pid, 0);
  std::istringstream ran(WaitForFile(dir.path() / "ran.txt"));
  int argc = -1;
  std::string cwd, sid;
  ran >> argc >> cwd >> sid;
  EXPECT_EQ(argc, 0) << "no arguments are passed";
  EXPECT_EQ(fs::canonical(cwd), fs::canonical(dir.path())) << "the launcher's own directory";
  EXPECT_EQ(sid, std::to_string(pid)) << "the program leads a session of its own";
}

TEST(StartProgram, EndedProgramsAreReaped) {
  TempDir dir;
  dir.Write("quick", "#!/bin/sh\nexit 0\n", true);
  dir.Enter();
  platform::ReapChildrenAutomatically();
  std::int32_t pid = platform::StartProgram(g_disc, "quick", 1);
  bool reaped = false;
  for (int i = 0; i < 500 && !reaped; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    reaped = !fs::exists("/proc/" + std::to_string(pid));
  }
  EXPECT_TRUE(reaped) << "pid " << pid << (IsZombieOrGone(pid) ? " left a zombie" : " still running");
}

TEST(StartProgram, EveryFailureToStartIsARuntimeError) {
  TempDir dir;
  dir.Write("plain.exe", "#!/bin/sh\nexit 0\n");  // not executable
  dir.Write("script.exe", "#!/no/such/interpreter\n", true);
  dir.Write("foreign.exe", std::string("MZ\x90\x00\x03\x00\x00\x00garbage", 16), true);
  fs::create_directories(dir.path() / "folder.exe");
  dir.Enter();
  const struct {
    const char* literal;
    const char* cause;
  } cases[] = {
      {"missing.exe", "file not found"},
      {"folder.exe", "file not found"},
      {"plain.exe", "permission denied"},
      {"script.exe", "program interpreter not found"},
      {"foreign.exe", "not an executable format"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.literal);
    try {
      platform::StartProgram(g_disc, c.literal, 1);
      ADD_FAILURE() << "reported as started";
    } catch (const platform::RuntimeError& e) {
      EXPECT_EQ(e.operation(), "Shell");
      EXPECT_EQ(e.path(), c.literal);
      EXPECT_EQ(e.cause_text(), c.cause);
    }
  }
}

class OpenDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A stand-in for the desktop's opener, first on PATH, that records its argument.
    bin_.Write("xdg-open", "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/opened.txt\"\n", true);
    old_path_ = std::getenv("PATH");
    ::setenv("PATH", (bin_.path().string() + ":" + old_path_).c_str(), 1);
    platform::ReapChildrenAutomatically();
  }
  void TearDown() override { ::setenv("PATH", old_path_.c_str(), 1); }
  TempDir bin_;
  std::string old_path_;
};

TEST_F(OpenDocumentTest, HandsTheGuideToTheDesktopByAbsolutePath) {
  TempDir disc;
  disc.Write("Manual/UserGuideEng.html", "<html></html>");
  disc.Enter();
  EXPECT_GT(g_disc.Open(0, "open", "manual\\userguideeng.html", "", "", 1), 32);
  std::string opened = WaitForFile(bin_.path() / "opened.txt");
  EXPECT_EQ(fs::path(opened.substr(0, opened.find('\n'))),
            fs::canonical(disc.path() / "Manual/UserGuideEng.html"));
}

TEST_F(OpenDocumentTest, NoGuideToOpenStartsNothing) {
  struct Case {
    const char* name;
    void (*make)(const fs::path& guide);
  };
  const Case cases[] = {
      {"missing", [](const fs::path&) {}},
      {"a folder", [](const fs::path& guide) { fs::create_directories(guide); }},
      {"a FIFO", [](const fs::path& guide) { ASSERT_EQ(::mkfifo(guide.c_str(), 0644), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir disc;
    fs::create_directories(disc.path() / "Manual");
    c.make(disc.path() / "Manual/UserGuideEng.html");
    disc.Enter();
    EXPECT_LE(g_disc.Open(0, "open", "Manual\\UserGuideEng.html", "", "", 1), 32);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(bin_.path() / "opened.txt"));
}

}  // namespace
