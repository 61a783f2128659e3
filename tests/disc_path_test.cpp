#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/disc/disc_path.h"
#include "platform/disc/posix_disc.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FileError;
using platform::ReadDiscFile;
using platform::ResolveDiscPath;
using testing_support::TempDir;

platform::PosixDisc g_disc;

struct ResolveCase {
  const char* name;
  std::vector<const char*> files;  // created, with their own name as content
  const char* literal;
  const char* expected;  // nullptr: not found
};

// nullptr: nothing found.
std::optional<std::string> Expected(const char* path) {
  return path == nullptr ? std::nullopt : std::optional<std::string>(path);
}

TEST(ResolveDiscPath, FindsEachSpellingOfTheDiscTree) {
  const ResolveCase cases[] = {
      {"exact spelling", {"setup/images/help.gif"}, "setup\\images\\help.gif", "setup/images/help.gif"},
      {"folder in other case", {"Setup/images/help.gif"}, "setup\\images\\help.gif", "Setup/images/help.gif"},
      {"file in other case", {"setup/images/HELP.GIF"}, "setup\\images\\help.gif", "setup/images/HELP.GIF"},
      {"forward slashes also separate", {"Manual/UserGuideEng.html"}, "Manual/UserGuideEng.html", "Manual/UserGuideEng.html"},
      {"exact spelling wins over a variant", {"Setup/a.gif", "setup/a.gif"}, "setup\\a.gif", "setup/a.gif"},
      {"variants in byte order", {"SETUP/a.gif", "Setup/a.gif"}, "setup\\a.gif", "SETUP/a.gif"},
      {"a colliding folder without the file is passed over",
       {"setup/images/help.gif", "Setup/Setup.exe"}, "Setup\\images\\help.gif", "setup/images/help.gif"},
      {"missing file", {"setup/images/help.gif"}, "setup\\images\\exit.gif", nullptr},
      {"missing folder", {"setup/images/help.gif"}, "manual\\UserGuideEng.html", nullptr},
      {"parent folder is never left", {"a.gif"}, "..\\a.gif", nullptr},
      {"absolute path refused", {"a.gif"}, "\\a.gif", nullptr},
      {"empty path", {"a.gif"}, "", nullptr},
      {"non-ASCII letters are not folded", {"setup/Ä.gif"}, "setup\\ä.gif", nullptr},
  };
  for (const ResolveCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const char* f : c.files) dir.Write(f, f);
    dir.Enter();
    EXPECT_EQ(ResolveDiscPath(c.literal), Expected(c.expected));
  }
}

// A lookup in a folder found before must give what a fresh search would, even
// where a remembered spelling would now lead elsewhere.
TEST(ResolveDiscPath, RepeatedLookupsGiveWhatAFreshSearchGives) {
  struct Step {
    const char* literal;
    const char* expected;  // nullptr: not found
    const char* rename_from = nullptr;  // applied to the disc before the lookup
    const char* rename_to = nullptr;
  };
  struct Case {
    const char* name;
    std::vector<const char*> files;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"other files in a folder found in other case",
       {"Setup/images/a.gif", "Setup/images/b.gif"},
       {{"setup\\images\\a.gif", "Setup/images/a.gif"},
        {"setup\\images\\b.gif", "Setup/images/b.gif"},
        {"setup\\images\\c.gif", nullptr},
        {"SETUP\\IMAGES\\A.GIF", "Setup/images/a.gif"}}},
      {"a folder reached after passing over another is not taken first later",
       {"SETUP/a.gif", "Setup/a.gif", "Setup/b.gif"},
       {{"setup\\b.gif", "Setup/b.gif"}, {"setup\\a.gif", "SETUP/a.gif"}, {"setup\\b.gif", "Setup/b.gif"}}},
      {"a folder renamed on the disc",
       {"Setup/a.gif"},
       {{"setup\\a.gif", "Setup/a.gif"},
        {"setup\\a.gif", "SETUP/a.gif", "Setup", "SETUP"},
        {"setup\\a.gif", nullptr, "SETUP", "other"}}},
      {"the exact spelling appearing later wins",
       {"Setup/a.gif"},
       {{"setup\\a.gif", "Setup/a.gif"}, {"setup\\a.gif", "setup/a.gif", "Setup", "setup"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const char* f : c.files) dir.Write(f, f);
    dir.Enter();
    for (const Step& step : c.steps) {
      SCOPED_TRACE(step.literal);
      if (step.rename_from != nullptr) fs::rename(step.rename_from, step.rename_to);
      EXPECT_EQ(ResolveDiscPath(step.literal), Expected(step.expected));
    }
  }
}

// The same relative folders in another directory are searched afresh.
TEST(ResolveDiscPath, AnotherDirectoryIsSearchedAfresh) {
  TempDir first;
  first.Write("Setup/a.gif", "");
  first.Enter();
  ASSERT_EQ(ResolveDiscPath("setup\\a.gif"), Expected("Setup/a.gif"));
  TempDir second;
  second.Write("SETUP/a.gif", "");
  second.Write("Setup/a.gif", "");
  second.Enter();
  EXPECT_EQ(ResolveDiscPath("setup\\a.gif"), Expected("SETUP/a.gif"));
}

TEST(ResolveDiscPath, ManyCaseVariantsStayBounded) {
  TempDir dir;
  // 2^6 spellings of the folder, none holding the file: the search gives up.
  for (int mask = 0; mask < 64; ++mask) {
    std::string name = "images";
    for (int i = 0; i < 6; ++i)
      if (mask & (1 << i)) name[i] = static_cast<char>(name[i] - 32);
    fs::create_directories(dir.path() / name / "sub");
  }
  dir.Enter();
  EXPECT_FALSE(ResolveDiscPath("images\\sub\\missing.gif").has_value());
}

std::string Text(const std::variant<std::vector<std::uint8_t>, FileError>& result) {
  const auto& bytes = std::get<std::vector<std::uint8_t>>(result);
  return std::string(bytes.begin(), bytes.end());
}

TEST(ReadDiscFile, ReadsRegularFilesAndLinksToThem) {
  TempDir dir;
  dir.Write("setup/images/help.gif", "GIF89a-help");
  dir.Write("setup/empty.gif", "");
  fs::create_symlink("images/help.gif", dir.path() / "setup/link.gif");
  dir.Enter();
  EXPECT_EQ(Text(ReadDiscFile(g_disc, "Setup\\Images\\Help.gif", 1024)), "GIF89a-help");
  EXPECT_EQ(Text(ReadDiscFile(g_disc, "setup\\link.gif", 1024)), "GIF89a-help");
  EXPECT_EQ(Text(ReadDiscFile(g_disc, "setup\\empty.gif", 1024)), "");
}

TEST(ReadDiscFile, RefusesWhatIsNotARegularFileWithoutBlocking) {
  TempDir dir;
  fs::create_directories(dir.path() / "setup/images/help.gif");  // a folder in the file's place
  ASSERT_EQ(::mkfifo((dir.path() / "setup/fifo.gif").c_str(), 0644), 0);
  fs::create_symlink("nowhere.gif", dir.path() / "setup/dangling.gif");
  fs::create_symlink("loop2.gif", dir.path() / "setup/loop1.gif");
  fs::create_symlink("loop1.gif", dir.path() / "setup/loop2.gif");
  fs::create_symlink("/dev/zero", dir.path() / "setup/device.gif");
  dir.Write("setup/big.gif", std::string(2048, 'x'));
  dir.Enter();
  const struct {
    const char* literal;
    FileError expected;
  } cases[] = {
      {"setup\\images\\help.gif", FileError::NotFound}, {"setup\\fifo.gif", FileError::NotFound},
      {"setup\\dangling.gif", FileError::NotFound},     {"setup\\loop1.gif", FileError::NotFound},
      {"setup\\device.gif", FileError::NotFound},       {"setup\\big.gif", FileError::TooLarge},
      {"setup\\absent.gif", FileError::NotFound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.literal);
    auto result = ReadDiscFile(g_disc, c.literal, 1024);
    ASSERT_TRUE(std::holds_alternative<FileError>(result));
    EXPECT_EQ(std::get<FileError>(result), c.expected);
  }
}

TEST(ReadDiscFile, UnreadableFileIsReportedAsSuch) {
  TempDir dir;
  fs::path file = dir.Write("secret.gif", "GIF89a");
  fs::permissions(file, fs::perms::none);
  fs::permissions(dir.path(), fs::perms::all);
  dir.Enter();
  // Root reads every file whatever its permissions: read as nobody in a child.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    auto result = ReadDiscFile(g_disc, "secret.gif", 1024);
    const auto* error = std::get_if<FileError>(&result);
    ::_exit(error != nullptr && *error == FileError::Unreadable ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 2) << "could not become nobody";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "an unreadable file was not reported as unreadable";
}

}  // namespace
