// The Windows executables as files: what they import (nothing beyond the
// system's own libraries, so they run from a disc with nothing installed),
// their version record and their icon resources, read back from the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "pictures/le_bytes.h"
#include "tests/windows/pe_file.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

fs::path BuildDir() {
  if (const char* dir = std::getenv("AUTORUN_BUILD_DIR"); dir != nullptr && *dir != '\0') return dir;
  return AUTORUN_TEST_BUILD_DIR;
}

struct Variant {
  const char* name;
  std::uint16_t machine;
  const char* objdump;  // the binutils of its mingw-w64 tool chain
};

const Variant kVariants[] = {
    {"win32", pe::kMachineI386, "i686-w64-mingw32-objdump"},
    {"win64", pe::kMachineAmd64, "x86_64-w64-mingw32-objdump"},
};

// A command's standard output; nullopt when it cannot be run or fails.
std::optional<std::string> Output(const std::string& command) {
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  return ::pclose(pipe) == 0 ? std::optional<std::string>(out) : std::nullopt;
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Libraries every Windows has; anything else would have to be installed.
const char* const kSystemLibraries[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll",
                                        "ole32.dll",    "oleaut32.dll", "msvcrt.dll"};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

class WindowsExecutable : public ::testing::Test {
 protected:
  // The executable of a variant, read; a failure is recorded when it cannot be.
  std::optional<pe::Executable> Load(const Variant& v) {
    const fs::path exe = BuildDir() / v.name / "autorun.exe";
    const Bytes bytes = ReadAll(exe);
    if (bytes.empty()) {
      ADD_FAILURE() << exe << " is missing: build with -DAUTORUN_WINDOWS=ON";
      return std::nullopt;
    }
    auto read = pe::Read(bytes);
    if (auto* error = std::get_if<std::string>(&read)) {
      ADD_FAILURE() << exe << ": " << *error;
      return std::nullopt;
    }
    return std::get<pe::Executable>(std::move(read));
  }

  static std::vector<const pe::Resource*> OfType(const pe::Executable& exe, std::uint32_t type) {
    std::vector<const pe::Resource*> out;
    for (const pe::Resource& r : exe.resources)
      if (r.type == type) out.push_back(&r);
    return out;
  }
};

TEST_F(WindowsExecutable, IsAWindowsProgramThatNeedsOnlySystemLibraries) {
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    auto exe = Load(v);
    if (!exe) continue;
    EXPECT_EQ(exe->machine, v.machine);
    EXPECT_EQ(exe->subsystem, pe::kSubsystemGui) << "a console would open beside the window";
    for (const std::string& library : exe->imports)
      EXPECT_NE(std::find(std::begin(kSystemLibraries), std::end(kSystemLibraries), Lower(library)),
                std::end(kSystemLibraries))
          << library << " is not part of Windows: link it statically";
  }
}

TEST_F(WindowsExecutable, VersionRecordHasOneTraditionalChineseStringBlock) {
  const std::map<std::string, std::string> kStrings = {
      {"FileVersion", "1.00"},      {"ProductVersion", "1.00"},          {"ProductName", "autorun"},
      {"InternalName", "autorun"},  {"OriginalFilename", "autorun.exe"},
  };
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    auto exe = Load(v);
    if (!exe) continue;
    auto records = OfType(*exe, pe::kTypeVersion);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->name, 1u);
    auto read = pe::ReadVersion(records[0]->data);
    ASSERT_TRUE(std::holds_alternative<pe::VersionNode>(read)) << std::get<std::string>(read);
    const pe::VersionNode& root = std::get<pe::VersionNode>(read);
    EXPECT_EQ(root.key, "VS_VERSION_INFO");

    // The fixed part: signature, then file and product versions 1.0.0.0.
    ASSERT_EQ(root.value.size(), 52u);
    EXPECT_EQ(pictures::LoadU32(root.value, 0), 0xFEEF04BDu);
    for (std::size_t at : {8u, 12u, 16u, 20u}) {
      SCOPED_TRACE("fixed field at " + std::to_string(at));
      EXPECT_EQ(pictures::LoadU32(root.value, at), at == 8 || at == 16 ? 0x00010000u : 0u);
    }

    const pe::VersionNode* strings = root.Child("StringFileInfo");
    ASSERT_NE(strings, nullptr);
    ASSERT_EQ(strings->children.size(), 1u) << "exactly one string block";
    const pe::VersionNode& block = strings->children[0];
    EXPECT_EQ(block.key, "040404B0");
    for (const auto& [key, value] : kStrings) {
      SCOPED_TRACE(key);
      const pe::VersionNode* entry = block.Child(key);
      ASSERT_NE(entry, nullptr);
      EXPECT_TRUE(entry->text);
      EXPECT_EQ(entry->TextValue(), value);
    }
    const pe::VersionNode* company = block.Child("CompanyName");
    ASSERT_NE(company, nullptr);
    EXPECT_FALSE(company->TextValue().empty());

    const pe::VersionNode* vars = root.Child("VarFileInfo");
    ASSERT_NE(vars, nullptr);
    const pe::VersionNode* translation = vars->Child("Translation");
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(translation->value.size(), 4u);
    EXPECT_EQ(pictures::LoadU16(translation->value, 0), 0x0404);
    EXPECT_EQ(pictures::LoadU16(translation->value, 2), 1200);
  }
}

TEST_F(WindowsExecutable, IconResourceIsTheWindowIconsImage) {
  const Bytes ico = ReadAll(BuildDir() / "assets" / "autorun.ico");
  ASSERT_EQ(ico.size(), 766u) << "the generated window icon";
  const Bytes image(ico.begin() + 22, ico.end());
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    auto exe = Load(v);
    if (!exe) continue;
    auto icons = OfType(*exe, pe::kTypeIcon);
    ASSERT_EQ(icons.size(), 1u) << "one icon image";
    EXPECT_EQ(icons[0]->name, 30001u);
    EXPECT_EQ(icons[0]->data.size(), 744u);
    EXPECT_TRUE(icons[0]->data == image) << "icon 30001 differs from the window icon's image";

    auto groups = OfType(*exe, pe::kTypeGroupIcon);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]->name, 1u);
    const Bytes& g = groups[0]->data;
    ASSERT_EQ(g.size(), 6u + 14u) << "a group of one";
    struct Field {
      const char* name;
      std::size_t at;
      int width;  // bytes
      std::uint32_t expected;
    };
    const Field kGroup[] = {
        {"reserved", 0, 2, 0},    {"type icon", 2, 2, 1}, {"count", 4, 2, 1},    {"width", 6, 1, 32},
        {"height", 7, 1, 32},     {"colours", 8, 1, 16},  {"reserved", 9, 1, 0}, {"planes", 10, 2, 1},
        {"bits", 12, 2, 4},       {"bytes", 14, 4, 744},  {"icon id", 18, 2, 30001},
    };
    for (const Field& f : kGroup) {
      SCOPED_TRACE(f.name);
      const std::uint32_t value = f.width == 1 ? g[f.at] : f.width == 2 ? pictures::LoadU16(g, f.at)
                                                                         : pictures::LoadU32(g, f.at);
      EXPECT_EQ(value, f.expected);
    }
  }
}

// The same files read back by the standard tools (binutils' objdump, icoutils'
// wrestool): the libraries imported, and the resources with their numbers,
// language and bytes, against the window icon and against our own reader.
TEST_F(WindowsExecutable, StandardToolsReadBackTheImportsAndResources) {
  ASSERT_TRUE(Output("wrestool --version").has_value()) << "wrestool is missing: apt-get install icoutils";
  const Bytes ico = ReadAll(BuildDir() / "assets" / "autorun.ico");
  ASSERT_EQ(ico.size(), 766u) << "the generated window icon";
  // Icon group 1: the icon file's directory, the entry's image offset replaced by the icon's number 30001.
  Bytes group(ico.begin(), ico.begin() + 6 + 12);
  group.push_back(0x31);
  group.push_back(0x75);
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    const fs::path exe = BuildDir() / v.name / "autorun.exe";
    auto ours = Load(v);
    if (!ours) continue;

    const std::optional<std::string> dump = Output(std::string(v.objdump) + " -p " + Quoted(exe));
    ASSERT_TRUE(dump.has_value()) << v.objdump << " could not read " << exe;
    std::vector<std::string> imported;
    for (const std::string& line : Lines(*dump))
      if (auto at = line.find("DLL Name: "); at != std::string::npos) imported.push_back(Lower(line.substr(at + 10)));
    std::vector<std::string> read;
    for (const std::string& library : ours->imports) read.push_back(Lower(library));
    std::sort(imported.begin(), imported.end());
    std::sort(read.begin(), read.end());
    EXPECT_EQ(imported, read) << "our reader and objdump disagree on the imports";

    const std::optional<std::string> listing = Output("wrestool -l " + Quoted(exe));
    ASSERT_TRUE(listing.has_value());
    const std::vector<std::string> resources = Lines(*listing);
    ASSERT_EQ(resources.size(), 3u) << *listing;
    struct Listed {
      const char* prefix;  // wrestool's own words for the resource
      const char* size;
    };
    const std::string version_size = "size=" + std::to_string(OfType(*ours, pe::kTypeVersion).at(0)->data.size()) + "]";
    const Listed kListed[] = {
        {"--type=3 --name=30001 --language=1028 [type=icon ", "size=744]"},
        {"--type=14 --name=1 --language=1028 [type=group_icon ", "size=20]"},
        {"--type=16 --name=1 --language=1028 [type=version ", version_size.c_str()},
    };
    for (std::size_t i = 0; i < std::size(kListed); ++i) {
      SCOPED_TRACE(resources[i]);
      EXPECT_TRUE(resources[i].starts_with(kListed[i].prefix));
      EXPECT_TRUE(resources[i].ends_with(kListed[i].size));
    }

    struct Extracted {
      const char* name;
      std::string arguments;
      Bytes expected;
    };
    const Extracted kExtracted[] = {
        {"icon 30001: the icon file's image", "--raw --type=3 --name=30001", Bytes(ico.begin() + 22, ico.end())},
        {"icon group 1", "--raw --type=14 --name=1", group},
        {"the version record as our reader found it", "--raw --type=16 --name=1",
         OfType(*ours, pe::kTypeVersion).at(0)->data},
    };
    for (const Extracted& e : kExtracted) {
      SCOPED_TRACE(e.name);
      const std::optional<std::string> bytes = Output("wrestool -x " + e.arguments + " " + Quoted(exe));
      ASSERT_TRUE(bytes.has_value());
      EXPECT_TRUE(AsBytes(*bytes) == e.expected) << bytes->size() << " bytes, expected " << e.expected.size();
    }
    // The icon file wrestool puts together from group and image starts as the window icon's file.
    const std::optional<std::string> rebuilt = Output("wrestool -x --type=14 --name=1 " + Quoted(exe));
    ASSERT_TRUE(rebuilt.has_value());
    ASSERT_GE(rebuilt->size(), ico.size());
    EXPECT_TRUE(std::equal(ico.begin(), ico.end(), rebuilt->begin(), [](std::uint8_t a, char b) {
      return a == static_cast<std::uint8_t>(b);
    })) << "the program file's icon is not the window icon";
  }
}

}  // namespace
