// disc-check DISC-FOLDER
// Looks up every file the launcher opens or starts, spelled and found exactly
// as the launcher finds it, and reads each one as the launcher would: pictures
// and the busy pointer through its own readers, programs by their start bytes.
// Prints one line per file; exits 0 when every file passes, 1 otherwise.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>
#include <vector>

#include "menu/disc_paths.h"
#include "pictures/cursor_file.h"
#include "pictures/picture.h"
#include "platform/disc/posix_disc.h"
#include "platform/error_text.h"

namespace {

enum class Kind { Picture, HelpPicture, Pointer, Program, Document, Launcher };

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
    {"autorun",                                  Kind::Launcher},
};

// The help panel's size; a larger help picture spills over the background.
constexpr int kHelpWidth = 377;
constexpr int kHelpHeight = 73;
// Enough of a program's start to tell what it is.
constexpr std::size_t kProgramHeadBytes = 4;
constexpr std::size_t kDocumentMaxBytes = 64u << 20;

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

// The launcher starts programs directly: only an ELF file or a script with #! will run.
Verdict CheckProgram(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Fail("unreadable");
  Bytes head(kProgramHeadBytes, 0);
  head.resize(std::fread(head.data(), 1, head.size(), f));
  std::fclose(f);
  if (::access(path.c_str(), X_OK) != 0) return Fail("not executable (chmod +x)");
  const bool elf = head.size() >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
  const bool script = head.size() >= 2 && head[0] == '#' && head[1] == '!';
  if (!elf && !script) return Fail("not a program this system can start (neither ELF nor a #! script)");
  return {true, elf ? "ELF program" : "script"};
}

Verdict CheckFile(platform::Disc& disc, const Entry& e, const std::string& found) {
  if (e.kind == Kind::Program || e.kind == Kind::Launcher) return CheckProgram(found);
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
  int failures = 0;
  for (const Entry& e : kEntries) {
    const std::optional<std::string> found = disc.Resolve(e.literal);
    const Verdict v = found ? CheckFile(disc, e, *found) : Fail("missing");
    std::printf("%-5s %-42s %s%s%s\n", v.ok ? "ok" : "FAIL", std::string(e.literal).c_str(),
                found ? found->c_str() : "", found ? ": " : "", v.detail.c_str());
    failures += !v.ok;
  }
  if (failures > 0) std::printf("disc-check: %d of %zu files failed\n", failures, std::size(kEntries));
  return failures > 0 ? 1 : 0;
}
