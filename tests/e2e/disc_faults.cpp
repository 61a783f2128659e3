#include "tests/e2e/disc_faults.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "assets/encode.h"

extern char** environ;

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// An unprivileged user and group that exist on every Linux system ("nobody").
constexpr Credentials kNobody{65534, 65534};

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
         std::uint32_t{b[at + 3]} << 24;
}

void WriteBytes(const fs::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

// Removes whatever stands at `file`: a file, a link (not its target), a pipe, a folder.
void Clear(const fs::path& file) {
  std::error_code ignored;
  fs::remove_all(file, ignored);
}

std::size_t KeptBytes(const Cut& cut, std::size_t size) {
  switch (cut.from) {
    case Cut::From::Start: return std::min(cut.bytes, size);
    case Cut::From::End: return size > cut.bytes ? size - cut.bytes : 0;
    case Cut::From::Middle: return size / 2;
  }
  return size;
}

std::string TopFolder(std::string_view relative) { return std::string(relative.substr(0, relative.find('/'))); }

// The top folder copied under its twin spelling; the file then stays in one of the two.
void MakeTwin(const fs::path& disc, std::string_view relative, bool file_in_twin) {
  fs::path original = disc / TopFolder(relative), twin = disc / TwinSpelling(relative);
  fs::copy(original, twin, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  std::string rest(relative.substr(relative.find('/') + 1));
  fs::remove((file_in_twin ? original : twin) / rest);
}

Bytes GifOf(int screen_width, int screen_height, int image_width, int image_height) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0x80, 0, 0};  // 2-entry global table
  Put16(b, 6, static_cast<std::uint16_t>(screen_width));
  Put16(b, 8, static_cast<std::uint16_t>(screen_height));
  b.insert(b.end(), {0, 0, 0, 255, 255, 255});
  Bytes image = {',', 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(image, 5, static_cast<std::uint16_t>(image_width));
  Put16(image, 7, static_cast<std::uint16_t>(image_height));
  b.insert(b.end(), image.begin(), image.end());
  b.insert(b.end(), {2, 2, 0x44, 0x01, 0, ';'});  // code size 2, one short block, trailer
  return b;
}

// A 40-byte info header of 32 bits per pixel, uncompressed.
Bytes InfoHeader(std::int32_t width, std::int32_t height) {
  Bytes b(40, 0);
  Put32(b, 0, 40);
  Put32(b, 4, static_cast<std::uint32_t>(width));
  Put32(b, 8, static_cast<std::uint32_t>(height));
  Put16(b, 12, 1);
  Put16(b, 14, 32);
  return b;
}

Bytes BusyFrame() {
  pictures::Image frame{32, 32, std::vector<std::uint32_t>(32 * 32, 0xFF000000u)};
  Bytes cur = assets::EncodeCur1(frame, 1, 1);
  if (cur.empty()) throw std::runtime_error("EncodeCur1 refused a 32x32 frame");
  return cur;
}

Bytes Ani(const std::vector<Bytes>& frames) {
  Bytes ani = assets::EncodeAni(frames, 10);
  if (ani.empty()) throw std::runtime_error("EncodeAni refused the frames");
  return ani;
}

}  // namespace

std::string TwinSpelling(std::string_view relative) {
  std::string top = TopFolder(relative);
  if (std::isupper(static_cast<unsigned char>(top.front()))) {
    std::transform(top.begin(), top.end(), top.begin(), [](unsigned char c) { return std::tolower(c); });
  } else {
    top.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(top.front())));
  }
  return top;
}

std::optional<fs::path> RegularFileAt(const TestDisc& disc, std::string_view relative) {
  std::string rest(relative.substr(relative.find('/')));
  for (const fs::path& candidate : {disc.disc() / disc.FileOf(relative), disc.disc() / (TwinSpelling(relative) + rest)}) {
    std::error_code error;
    if (fs::is_regular_file(fs::symlink_status(candidate, error))) return fs::canonical(candidate);
  }
  return std::nullopt;
}

void Apply(const TestDisc& disc, std::string_view relative, const Fault& fault) {
  const fs::path file = disc.disc() / disc.FileOf(relative);
  switch (fault.kind) {
    case FaultKind::Missing: Clear(file); break;
    case FaultKind::Empty: fs::resize_file(file, 0); break;
    case FaultKind::Truncated: fs::resize_file(file, KeptBytes(fault.cut, fs::file_size(file))); break;
    case FaultKind::Folder:
      Clear(file);
      fs::create_directories(file);
      WriteBytes(file / "inside.txt", {'x', '\n'});
      break;
    case FaultKind::Fifo:
      Clear(file);
      if (::mkfifo(file.c_str(), 0644) != 0) throw std::runtime_error("mkfifo failed for " + file.string());
      break;
    case FaultKind::DanglingLink:
      Clear(file);
      fs::create_symlink("no-such-file", file);
      break;
    case FaultKind::LoopingLink: {
      Clear(file);
      fs::path partner = file.parent_path() / "loop-partner";
      fs::create_symlink(file.filename(), partner);
      fs::create_symlink(partner.filename(), file);
      break;
    }
    case FaultKind::Unreadable: fs::permissions(file, fs::perms::none); break;
    case FaultKind::NotExecutable:
      fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);
      break;
    case FaultKind::Oversized: {
      if (!fault.bytes.empty()) {
        std::ofstream(file, std::ios::binary | std::ios::app)
            .write(reinterpret_cast<const char*>(fault.bytes.data()), static_cast<std::streamsize>(fault.bytes.size()));
      }
      fs::resize_file(file, fault.size);  // a hole: no disc space, read back as zeros
      break;
    }
    case FaultKind::Replaced: {
      fs::perms mode = fs::status(file).permissions();
      WriteBytes(file, fault.bytes);
      fs::permissions(file, mode);
      break;
    }
    case FaultKind::TwinWithoutTheFile: MakeTwin(disc.disc(), disc.FileOf(relative), false); break;
    case FaultKind::OnlyInTwin: MakeTwin(disc.disc(), disc.FileOf(relative), true); break;
  }
}

void OpenToEveryone(const TestDisc& disc) {
  fs::permissions(disc.root(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(disc.results(), fs::perms::all);
  // The opener stub and the programs are written executable by their owner only.
  for (const fs::path& program : {disc.bin() / "xdg-open", disc.disc() / disc.FileOf(kSetupProgramFile),
                                  disc.disc() / disc.FileOf(kManualProgramFile)})
    fs::permissions(program, fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
}

std::optional<Credentials> UserWhoCannotReadUnreadableFiles() {
  if (::geteuid() != 0) return std::nullopt;
  return kNobody;
}

Bytes GifWithScreen(int width, int height) { return GifOf(width, height, width, height); }
Bytes GifWithImage(int width, int height) { return GifOf(1, 1, width, height); }

Bytes BmpAnnouncing(std::int32_t width, std::int32_t height) {
  Bytes b(14, 0);
  b[0] = 'B';
  b[1] = 'M';
  Bytes info = InfoHeader(width, height);
  Put16(info, 14, 24);
  b.insert(b.end(), info.begin(), info.end());
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, static_cast<std::uint32_t>(b.size()));
  return b;
}

Bytes IcoAnnouncing(std::int32_t width, std::int32_t height) {
  Bytes b = {0, 0, 1, 0, 1, 0};                                 // icon directory, one entry
  Bytes entry = {0, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // 256x256 in the directory
  Put32(entry, 8, 40);
  Put32(entry, 12, 22);
  b.insert(b.end(), entry.begin(), entry.end());
  Bytes info = InfoHeader(width, 2 * height);  // an icon's height counts its mask too
  b.insert(b.end(), info.begin(), info.end());
  return b;
}

Bytes AniWithFrameAnnouncing(std::int32_t width, std::int32_t height) {
  Bytes frame = BusyFrame();
  std::size_t info = Get32(frame, 18);  // the one directory entry's image offset
  Put32(frame, info + 4, static_cast<std::uint32_t>(width));
  Put32(frame, info + 8, static_cast<std::uint32_t>(2 * height));
  return Ani({frame, BusyFrame()});
}

Bytes AniAnnouncingFrames(std::uint32_t frames) {
  Bytes ani = Ani({BusyFrame(), BusyFrame()});
  static constexpr std::uint8_t kTag[] = {'a', 'n', 'i', 'h'};
  auto at = std::search(ani.begin(), ani.end(), std::begin(kTag), std::end(kTag));
  if (at == ani.end()) throw std::runtime_error("no anih chunk in the encoded pointer");
  std::size_t header = static_cast<std::size_t>(at - ani.begin()) + 8;
  Put32(ani, header + 4, frames);  // frames
  Put32(ani, header + 8, frames);  // steps
  return ani;
}

Bytes WindowsProgram() {
  Bytes b(0x40 + 24, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x40);
  b[0x40] = 'P';
  b[0x41] = 'E';
  Put16(b, 0x44, 0x014C);  // i386
  return b;
}

Bytes ForeignMachineProgram() {
  Bytes b(52, 0);
  b[0] = 0x7F;
  b[1] = 'E';
  b[2] = 'L';
  b[3] = 'F';
  b[4] = 1;   // 32-bit
  b[5] = 2;   // big-endian
  b[6] = 1;   // version
  b[17] = 2;  // executable
  b[19] = 2;  // SPARC
  b[23] = 1;  // version
  b[41] = 52;  // header size
  return b;
}

Bytes NativeProgramHeaderOnly() {
  Bytes self = ReadBytes("/proc/self/exe");
  self.resize(std::min<std::size_t>(self.size(), 64));
  return self;
}

Bytes ScriptFor(std::string_view interpreter) {
  std::string text = "#!" + std::string(interpreter) + "\necho started\n";
  return Bytes(text.begin(), text.end());
}

bool SystemStarts(const Bytes& program) {
  std::string pattern = (fs::temp_directory_path() / "autorun-e2e-program-XXXXXX").string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw std::runtime_error("cannot create a temporary file");
  ::close(fd);
  WriteBytes(pattern, program);
  fs::permissions(pattern, fs::perms::owner_all);
  char* argv[] = {pattern.data(), nullptr};
  pid_t pid = 0;
  int rc = ::posix_spawn(&pid, pattern.c_str(), nullptr, nullptr, argv, environ);
  if (rc == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  fs::remove(pattern);
  return rc == 0;
}

Bytes ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace e2e
