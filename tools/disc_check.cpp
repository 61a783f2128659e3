// disc-check DISC-FOLDER
// Looks up every file the launcher opens or starts, spelled and found exactly
// as the launcher finds it, and reads each one as the launcher would: pictures
// and the busy pointer through its own readers, programs by their headers. It
// names each program's system, checks the launchers on the disc (autorun for
// Linux, autorun.exe for Windows, at least one) and Windows' autorun.inf, and
// warns of each program that a launcher on the disc cannot start: the disc's
// maker decides which systems its programs serve.
// Prints one line per file, then the warnings; exits 0 when every file passes
// (warnings or not), 1 otherwise.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>
#include <variant>
#include <vector>

#include "menu/disc_paths.h"
#include "pictures/cursor_file.h"
#include "pictures/picture.h"
#include "platform/disc/posix_disc.h"
#include "platform/error_text.h"

namespace {

enum class Kind { Picture, HelpPicture, Pointer, Program, Document };

struct Entry {
  std::string_view literal;
  Kind kind;
};

//  path as the launcher writes it              what must stand there
constexpr Entry kEntries[] = {
    {menu::kHelpPicture,                         Kind::HelpPicture},
    {menu::kSetupWizardHelpPicture,              Kind::HelpPicture},
    {menu::kManualInstallationHelpPicture,       Kind::HelpPicture},
    {menu::kDocumentationHelpPicture,            Kind::HelpPicture},
    {menu::kSetupWizardPicture,                  Kind::Picture},
    {menu::kSetupWizardDownPicture,              Kind::Picture},
    {menu::kManualInstallationPicture,           Kind::Picture},
    {menu::kManualInstallationDownPicture,       Kind::Picture},
    {menu::kDocumentationPicture,                Kind::Picture},
    {menu::kDocumentationDownPicture,            Kind::Picture},
    {menu::kExitPicture,                         Kind::Picture},
    {menu::kExitDownPicture,                     Kind::Picture},
    {menu::kBusyPointer,                         Kind::Pointer},
    {menu::kSetupProgram,                        Kind::Program},
    {menu::kManualInstallationProgram,           Kind::Program},
    {menu::kUserGuide,                           Kind::Document},
};

// The help panel's size; a larger help picture spills over the background.
constexpr int kHelpWidth = 377;
constexpr int kHelpHeight = 73;
constexpr std::size_t kDocumentMaxBytes = 64u << 20;
constexpr std::size_t kInfMaxBytes = 64u << 10;

struct Verdict {
  bool ok = true;
  std::string detail;
};

Verdict Fail(std::string why) { return {false, std::move(why)}; }

using Bytes = std::vector<std::uint8_t>;

Verdict CheckPicture(const Bytes& bytes, bool help) {
  pictures::PictureResult decoded = pictures::DecodePicture(bytes);
  if (const auto* error = std::get_if<pictures::PictureError>(&decoded))
    return Fail(std::string(pictures::Describe(*error)));
  const pictures::Image& image = std::get<pictures::Image>(decoded);
  std::string detail = std::to_string(image.width) + "x" + std::to_string(image.height);
  if (help && (image.width > kHelpWidth || image.height > kHelpHeight))
    detail += " (larger than the " + std::to_string(kHelpWidth) + "x" + std::to_string(kHelpHeight) +
              " help panel: it will cover part of the background)";
  return {true, detail};
}

Verdict CheckPointer(const Bytes& bytes) {
  pictures::CursorResult decoded = pictures::DecodeCursorFile(bytes);
  if (const auto* error = std::get_if<pictures::PictureError>(&decoded))
    return Fail(std::string(pictures::Describe(*error)));
  const pictures::CursorFile& file = std::get<pictures::CursorFile>(decoded);
  return {true, std::to_string(file.frames.size()) + " frame(s)"};
}

// What a program file is, read from its header.
enum class System { None, Linux, Windows };
struct Program {
  System system = System::None;
  int bits = 0;          // 0: a script, for any machine
  std::string machine;   // "x86-64", "32-bit x86", ...
  std::string Describe() const {
    if (system == System::Windows)
      return "Windows program, " + std::to_string(bits) + "-bit" + (machine.find("x86") == std::string::npos ? " (" + machine + ")" : "");
    return bits == 0 ? "Linux program, a #! script" : "Linux program, ELF " + machine;
  }
};

unsigned Little(const std::uint8_t* p, int n) {
  unsigned value = 0;
  for (int i = n; i-- > 0;) value = value << 8 | p[i];
  return value;
}

std::string MachineName(unsigned machine, bool pe) {
  //  ELF        PE        name
  struct Name { unsigned elf, pe; const char* name; };
  static constexpr Name kNames[] = {
      {62, 0x8664, "x86-64"}, {3, 0x14C, "32-bit x86"}, {183, 0xAA64, "ARM64"}, {40, 0x1C4, "32-bit ARM"}};
  for (const Name& n : kNames)
    if ((pe ? n.pe : n.elf) == machine) return n.name;
  return "machine " + std::to_string(machine);
}

// An ELF file or a #! script is a Linux program; a PE file (MZ, then PE at the offset it names) a Windows one.
Program Identify(std::FILE* f) {
  std::uint8_t head[64] = {};
  const std::size_t got = std::fread(head, 1, sizeof head, f);
  Program p;
  if (got >= 20 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F' && (head[4] == 1 || head[4] == 2) &&
      head[5] == 1) {  // little-endian: the machines the launcher is built for
    p = {System::Linux, head[4] == 1 ? 32 : 64, MachineName(Little(head + 18, 2), false)};
  } else if (got >= 2 && head[0] == '#' && head[1] == '!') {
    p = {System::Linux, 0, ""};
  } else if (got == sizeof head && head[0] == 'M' && head[1] == 'Z') {
    std::uint8_t pe[26] = {};
    if (std::fseek(f, static_cast<long>(Little(head + 0x3C, 4)), SEEK_SET) == 0 && std::fread(pe, 1, sizeof pe, f) == sizeof pe &&
        pe[0] == 'P' && pe[1] == 'E' && pe[2] == 0 && pe[3] == 0) {
      const unsigned magic = Little(pe + 24, 2);  // the optional header's: PE32 or PE32+
      if (magic == 0x10B || magic == 0x20B) p = {System::Windows, magic == 0x10B ? 32 : 64, MachineName(Little(pe + 4, 2), true)};
    }
  }
  return p;
}

// What a launcher on the disc cannot start, or starts only on some machines:
// one warning each, "<path> is <what>".
struct Mismatch {
  System launcher, program;
  bool (*when)(const Program& launcher, const Program& program);
  std::string (*what)(const Program& launcher, const Program& program);
};
const Mismatch kMismatches[] = {
    {System::Linux, System::Windows, [](const Program&, const Program&) { return true; },
     [](const Program&, const Program&) { return std::string("a Windows program: the Linux launcher cannot start it"); }},
    {System::Linux, System::Linux,
     [](const Program& l, const Program& p) { return p.bits != 0 && l.bits != 0 && p.machine != l.machine; },
     [](const Program& l, const Program& p) {
       return "a Linux program for " + p.machine + ": a machine that runs the Linux launcher (" + l.machine +
              ") may not start it";
     }},
    {System::Windows, System::Linux, [](const Program&, const Program&) { return true; },
     [](const Program&, const Program&) { return std::string("a Linux program: the Windows launcher cannot start it"); }},
    {System::Windows, System::Windows, [](const Program& l, const Program& p) { return p.bits > l.bits; },
     [](const Program& l, const Program&) {
       return "a 64-bit Windows program: " + std::to_string(l.bits) + "-bit Windows, which runs the launcher, cannot start it";
     }},
};

struct Launchers {
  std::optional<Program> linux_launcher, windows_launcher;
};

std::vector<std::string> Warnings(const Launchers& on_disc, const std::string& path, const Program& program) {
  std::vector<std::string> out;
  for (const Mismatch& m : kMismatches) {
    const std::optional<Program>& launcher = m.launcher == System::Linux ? on_disc.linux_launcher : on_disc.windows_launcher;
    if (launcher && program.system == m.program && m.when(*launcher, program))
      out.push_back(path + " is " + m.what(*launcher, program));
  }
  return out;
}

// A program the launcher starts directly: a Linux one must also carry the execute permission.
Verdict CheckProgram(const std::string& path, Program& program) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Fail("unreadable");
  program = Identify(f);
  std::fclose(f);
  if (program.system == System::None)
    return Fail("not a program Linux or Windows can start (neither ELF, a #! script nor a Windows program)");
  if (program.system == System::Linux && ::access(path.c_str(), X_OK) != 0) return Fail("not executable (chmod +x)");
  return {true, program.Describe()};
}

Verdict CheckFile(platform::Disc& disc, const Entry& e, const std::string& found) {
  auto read = disc.Read(found, e.kind == Kind::Document ? kDocumentMaxBytes : pictures::kMaxPictureFileBytes);
  if (const auto* error = std::get_if<platform::FileError>(&read))
    return Fail(std::string(platform::EnglishText(platform::CauseOf(*error))));
  const Bytes& bytes = std::get<Bytes>(read);
  switch (e.kind) {
    case Kind::Pointer:
      return CheckPointer(bytes);
    case Kind::Document:
      return bytes.empty() ? Fail("empty") : Verdict{true, std::to_string(bytes.size()) + " bytes"};
    default:
      return CheckPicture(bytes, e.kind == Kind::HelpPicture);
  }
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
  return first == std::string_view::npos ? "" : std::string(text.substr(first, last - first + 1));
}

// Windows' autorun.inf: ASCII; in its [autorun] section, open= names the
// program to start and icon= a picture of the disc (an icon file, or a
// program's icon after a comma), both on the disc; label= and action= are text.
Verdict CheckInf(platform::Disc& disc, const std::string& found) {
  auto read = disc.Read(found, kInfMaxBytes);
  if (const auto* error = std::get_if<platform::FileError>(&read))
    return Fail(std::string(platform::EnglishText(platform::CauseOf(*error))));
  const Bytes& bytes = std::get<Bytes>(read);
  if (std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x7F || (b < 0x20 && b != '\r' && b != '\n' && b != '\t'); }))
    return Fail("not plain ASCII text: Windows would read it garbled");
  std::map<std::string, std::string> keys;
  bool in_autorun = false, seen = false;
  std::istringstream text(std::string(bytes.begin(), bytes.end()));
  for (std::string line; std::getline(text, line);) {
    line = Trim(line.substr(0, line.find_last_not_of('\r') + 1));
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      in_autorun = Lower(line) == "[autorun]";
      seen |= in_autorun;
    } else if (const auto equals = line.find('='); in_autorun && equals != std::string::npos) {
      keys.try_emplace(Lower(Trim(line.substr(0, equals))), Trim(line.substr(equals + 1)));
    }
  }
  if (!seen) return Fail("no [autorun] section");
  if (!keys.contains("open")) return Fail("no open= in [autorun]: Windows starts nothing");
  std::string detail;
  for (const char* key : {"open", "icon", "label", "action"}) {
    if (!keys.contains(key)) continue;
    detail += std::string(detail.empty() ? "" : ", ") + key + "=" + keys[key];
    if (key == std::string_view("label") || key == std::string_view("action")) continue;
    std::string file = keys[key];
    if (const auto comma = file.rfind(','); key == std::string_view("icon") && comma != std::string::npos &&
                                            file.find_first_not_of("-0123456789", comma + 1) == std::string::npos)
      file.resize(comma);  // a program's icon by its number
    const std::optional<std::string> path = disc.Resolve(file);
    if (!path || !disc.IsFile(*path)) return Fail(std::string(key) + "=" + keys[key] + ": no such file on the disc");
    if (key == std::string_view("icon") && !Lower(file).ends_with(".exe") && !Lower(file).ends_with(".dll")) {
      auto icon = disc.Read(*path, pictures::kMaxPictureFileBytes);
      const auto* icon_bytes = std::get_if<Bytes>(&icon);
      pictures::PictureResult decoded = icon_bytes ? pictures::DecodePicture(*icon_bytes) : pictures::PictureError{};
      if (const auto* error = std::get_if<pictures::PictureError>(&decoded))
        return Fail("icon=" + keys[key] + ": " + std::string(icon_bytes ? pictures::Describe(*error) : "unreadable"));
      const pictures::Image& image = std::get<pictures::Image>(decoded);
      detail += " (" + std::to_string(image.width) + "x" + std::to_string(image.height) + ")";
    }
  }
  return {true, detail};
}

void Print(const Verdict& v, std::string_view literal, const std::optional<std::string>& found) {
  std::printf("%-5s %-42s %s%s%s\n", v.ok ? "ok" : "FAIL", std::string(literal).c_str(), found ? found->c_str() : "",
              found ? ": " : "", v.detail.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DISC-FOLDER\n", argv[0]);
    return 2;
  }
  std::error_code ec;
  std::filesystem::current_path(argv[1], ec);
  if (ec) {
    std::fprintf(stderr, "disc-check: cannot enter %s: %s\n", argv[1], ec.message().c_str());
    return 2;
  }
  platform::PosixDisc disc;
  int failures = 0, files = 0;
  std::vector<std::string> warnings;
  auto note = [&](const Verdict& v, std::string_view literal, const std::optional<std::string>& found) {
    Print(v, literal, found);
    failures += !v.ok;
    ++files;
  };

  // The launchers first: the programs' warnings depend on which are there.
  Launchers launchers;
  const std::optional<std::string> linux_path = disc.Resolve("autorun"), windows_path = disc.Resolve("autorun.exe");
  for (const auto& [name, path, system] : {std::tuple{"autorun", &linux_path, System::Linux},
                                           std::tuple{"autorun.exe", &windows_path, System::Windows}}) {
    if (!*path) continue;
    Program program;
    Verdict v = CheckProgram(**path, program);
    if (v.ok && program.system != system)
      v = Fail(std::string("the ") + (system == System::Linux ? "Linux" : "Windows") + " launcher's name, but a " +
               program.Describe());
    if (v.ok) (system == System::Linux ? launchers.linux_launcher : launchers.windows_launcher) = program;
    note(v, name, *path);
  }
  if (!linux_path && !windows_path)
    note(Fail("no launcher: neither autorun (Linux) nor autorun.exe (Windows) at the disc's root"), "autorun", std::nullopt);

  for (const Entry& e : kEntries) {
    const std::optional<std::string> found = disc.Resolve(e.literal);
    Program program;
    const Verdict v = !found ? Fail("missing")
                      : e.kind == Kind::Program ? CheckProgram(*found, program)
                                                : CheckFile(disc, e, *found);
    note(v, e.literal, found);
    if (v.ok && e.kind == Kind::Program)
      for (std::string& w : Warnings(launchers, *found, program)) warnings.push_back(std::move(w));
  }

  if (const std::optional<std::string> inf = disc.Resolve("autorun.inf")) {
    note(CheckInf(disc, *inf), "autorun.inf", inf);
  } else if (windows_path) {
    warnings.push_back("autorun.inf is missing: Windows will not start the menu when the disc goes in");
  }

  for (const std::string& w : warnings) std::printf("warning: %s\n", w.c_str());
  if (failures > 0) std::printf("disc-check: %d of %d files failed\n", failures, files);
  return failures > 0 ? 1 : 0;
}
