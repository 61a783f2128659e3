// The launcher's disc operations against the least that does the same job:
// a button picture load (path lookup, read, giflib decode, pixels) against a
// plain read and DGifSlurp of the same file; the help picture saved as RLE8
// and as 16-bit bitmaps against the same picture as an 8-bit bitmap; a program
// start against a bare posix_spawn of the same executable.
//
//   disc_bench --disc=DISC --program=EXECUTABLE [--starts=N] [benchmark flags]
//
// The picture loads run under Google Benchmark; besides its own report it
// prints "figure|..." lines (bench/figures.h) for the median, minimum and 90th
// percentile of the repetitions. The N program starts (500 unless given) are
// timed call by call, alternating with the floor.

#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "menu/disc_paths.h"
#include "pictures/picture.h"
#include "platform/disc/posix_disc.h"
#include "platform/runtime.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Options {
  std::string disc;
  std::string program;
  std::string temp_disc;  // holds the program as the manual installation program
};
Options g_options;
platform::PosixDisc g_disc;

// The sample disc stores "Setup/images/exit.gif"; the launcher writes
// "setup\images\exit.gif", so its lookup folds the folder's letter case.
constexpr const char* kExitFile = "Setup/images/exit.gif";
constexpr std::string_view kExitExact = R"(Setup\images\exit.gif)";
// The help picture's bitmap forms, written onto the temporary disc.
const std::pair<const char*, const char*> kHelpForms[] = {
    {"disc.help.bmp8", "help8.bmp"}, {"disc.help.rle8", "helprle8.bmp"}, {"disc.help.bmp16", "help16.bmp"}};

std::vector<GifByteType> ReadWhole(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<GifByteType>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Memory {
  const std::vector<GifByteType>* bytes;
  std::size_t at = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* out, int length) {
  auto* m = static_cast<Memory*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), m->bytes->size() - m->at);
  std::memcpy(out, m->bytes->data() + m->at, n);
  m->at += n;
  return static_cast<int>(n);
}

void ChangeTo(const std::string& dir, benchmark::State& state) {
  if (::chdir(dir.c_str()) != 0) state.SkipWithError(("cannot enter " + dir).c_str());
}

void LoadPicture(benchmark::State& state, const std::string& disc, std::string_view literal) {
  ChangeTo(disc, state);
  for (auto _ : state) {
    try {
      platform::Picture picture = platform::LoadPictureFile(g_disc, literal);
      benchmark::DoNotOptimize(picture);
    } catch (const platform::RuntimeError& error) {
      state.SkipWithError(error.what());
      break;
    }
  }
}

void FloorReadAndSlurp(benchmark::State& state) {
  ChangeTo(g_options.disc, state);
  for (auto _ : state) {
    std::vector<GifByteType> bytes = ReadWhole(kExitFile);
    Memory memory{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&memory, ReadMemory, &error);
    const bool read = gif != nullptr && DGifSlurp(gif) == GIF_OK;
    if (gif != nullptr) {
      benchmark::DoNotOptimize(gif->SavedImages);
      DGifCloseFile(gif, &error);
    }
    if (!read) {
      state.SkipWithError("giflib cannot read the button picture");
      break;
    }
  }
}

// Program starts alternate call by call with their floor: a start takes a
// few hundred microseconds, long enough for other work on the machine to
// land on one side only if each side ran its repetitions apart.
bool MeasureProgramStarts(int starts) {
  if (::chdir(g_options.temp_disc.c_str()) != 0) return false;
  std::string file = "manualinstallation/setup.exe";
  char* argv[] = {file.data(), nullptr};
  std::vector<double> floor_us, start_us;
  for (int i = 0; i < starts; ++i) {
    auto begin = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (::posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    floor_us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
    ::waitpid(pid, nullptr, 0);
    begin = std::chrono::steady_clock::now();
    try {
      pid = platform::StartProgram(g_disc, menu::kManualInstallationProgram, 1);
    } catch (const platform::RuntimeError& error) {
      std::fprintf(stderr, "disc_bench: %s\n", error.what());
      return false;
    }
    start_us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
    ::waitpid(pid, nullptr, 0);
  }
  bench::PrintFigure("disc.program.floor", "posix_spawn of a tiny executable (floor)", bench::Summarise(floor_us), "us");
  bench::PrintFigure("disc.program.start", "StartProgram of the same executable", bench::Summarise(start_us), "us");
  return true;
}

// Each benchmark's name is its figure id; the label is what the report shows.
const std::map<std::string, std::string>& Labels() {
  static const std::map<std::string, std::string> labels = {
      {"disc.picture.folded", "LoadPictureFile, button GIF, path spelled in another case"},
      {"disc.picture.exact", "LoadPictureFile, button GIF, path spelled as stored"},
      {"disc.picture.floor", "read and DGifSlurp of the same GIF (floor)"},
      {"disc.help.bmp8", "LoadPictureFile, help picture as an 8-bit BMP (floor)"},
      {"disc.help.rle8", "LoadPictureFile, help picture as an RLE8 BMP"},
      {"disc.help.bmp16", "LoadPictureFile, help picture as a 16-bit (5-5-5) BMP"},
  };
  return labels;
}

// Collects each benchmark's aggregates while the console shows them as usual.
class FigureReporter : public benchmark::ConsoleReporter {
 public:
  // Plain text: the figure lines must start their lines for tools/bench to find them.
  FigureReporter() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate) continue;
      const double us = run.GetAdjustedRealTime() * 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      bench::Summary& s = figures_[run.run_name.function_name];
      if (run.aggregate_name == "median") s.median = us;
      if (run.aggregate_name == "min") s.min = us;
      if (run.aggregate_name == "p90") s.p90 = us;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::fflush(stdout);
    for (const auto& [id, s] : figures_) bench::PrintFigure(id, Labels().at(id), s, "us");
  }

 private:
  std::map<std::string, bench::Summary> figures_;
};

double Min(const std::vector<double>& v) { return bench::Summarise(v).min; }
double P90(const std::vector<double>& v) { return bench::Summarise(v).p90; }

template <typename F>
void Register(const char* id, F&& f) {
  benchmark::RegisterBenchmark(id, std::forward<F>(f))
      ->Unit(benchmark::kMicrosecond)
      ->ComputeStatistics("min", &Min)
      ->ComputeStatistics("p90", &P90);
}

void RegisterAll() {
  Register("disc.picture.folded", [](benchmark::State& s) { LoadPicture(s, g_options.disc, menu::kExitPicture); });
  Register("disc.picture.exact", [](benchmark::State& s) { LoadPicture(s, g_options.disc, kExitExact); });
  Register("disc.picture.floor", &FloorReadAndSlurp);
  for (const auto& [id, file] : kHelpForms)
    Register(id, [file](benchmark::State& s) { LoadPicture(s, g_options.temp_disc, file); });
}

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> 8 * i));
}

// A bottom-up BMP with a 40-byte header around `data`.
Bytes Bmp(const pictures::Image& image, int bits, std::uint32_t compression, const std::vector<std::uint32_t>& palette,
          const Bytes& data) {
  const auto offset = static_cast<std::uint32_t>(54 + 4 * palette.size());
  Bytes b{'B', 'M'};
  for (std::uint32_t v : {offset + static_cast<std::uint32_t>(data.size()), 0u, offset, 40u,
                          static_cast<std::uint32_t>(image.width), static_cast<std::uint32_t>(image.height),
                          1u | static_cast<std::uint32_t>(bits) << 16, compression,
                          static_cast<std::uint32_t>(data.size()), 2835u, 2835u,
                          static_cast<std::uint32_t>(palette.size()), 0u})
    Put(b, v);
  for (std::uint32_t colour : palette) Put(b, colour & 0xFFFFFF);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// The help picture (a GIF, so 256 colours at most) as a paint program saves
// it: 8-bit uncompressed, RLE8 (runs of two or more, literal stretches of
// three or more between them) and 16-bit 5-5-5.
bool WriteHelpForms(const fs::path& folder) {
  std::vector<std::uint8_t> gif = ReadWhole((fs::path(g_options.disc) / "Setup/images/help.gif").c_str());
  const pictures::PictureResult decoded = pictures::DecodePicture(gif);
  const auto* image = std::get_if<pictures::Image>(&decoded);
  if (image == nullptr) return false;
  std::vector<std::uint32_t> palette;
  Bytes plain, rle, direct;
  for (int y = image->height - 1; y >= 0; --y) {
    Bytes line;
    for (int x = 0; x < image->width; ++x) {
      const std::uint32_t c = image->At(x, y);
      auto at = std::find(palette.begin(), palette.end(), c);
      if (at == palette.end()) at = palette.insert(palette.end(), c);
      line.push_back(static_cast<std::uint8_t>(at - palette.begin()));
      const std::uint32_t v = (c >> 19 & 0x1F) << 10 | (c >> 11 & 0x1F) << 5 | (c >> 3 & 0x1F);
      direct.insert(direct.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    }
    direct.resize((direct.size() + 3) / 4 * 4);
    plain.insert(plain.end(), line.begin(), line.end());
    plain.resize((plain.size() + 3) / 4 * 4);
    const int w = image->width;
    for (int x = 0, n = 1; x < w; x += n, n = 1) {
      while (x + n < w && n < 255 && line[x + n] == line[x]) ++n;
      if (n >= 2 || w - x < 3) {
        rle.insert(rle.end(), {static_cast<std::uint8_t>(n), line[x]});
        continue;
      }
      for (n = 3; x + n < w && n < 255 && line[x + n] != line[x + n - 1];) ++n;
      rle.insert(rle.end(), {0, static_cast<std::uint8_t>(n)});
      rle.insert(rle.end(), line.begin() + x, line.begin() + x + n);
      if (n % 2 == 1) rle.push_back(0);
    }
    rle.insert(rle.end(), {0, 0});
  }
  rle.back() = 1;  // the last end of row becomes the end of the picture
  const Bytes files[] = {Bmp(*image, 8, 0, palette, plain), Bmp(*image, 8, 1, palette, rle), Bmp(*image, 16, 0, {}, direct)};
  for (std::size_t i = 0; i < std::size(files); ++i) {
    std::ofstream out(folder / kHelpForms[i].second, std::ios::binary);
    out.write(reinterpret_cast<const char*>(files[i].data()), static_cast<std::streamsize>(files[i].size()));
    if (!out) return false;
  }
  return true;
}

bool PrepareTempDisc() {
  std::error_code error;
  std::string pattern = (fs::temp_directory_path(error) / "autorun-bench-XXXXXX").string();
  if (error || ::mkdtemp(pattern.data()) == nullptr) return false;
  g_options.temp_disc = pattern;
  const fs::path target = fs::path(pattern) / "manualinstallation" / "setup.exe";
  fs::create_directories(target.parent_path(), error);
  fs::copy_file(g_options.program, target, error);
  return !error && ::chmod(target.c_str(), 0755) == 0 && WriteHelpForms(pattern);
}

bool TakeOption(char* arg, const char* prefix, std::string& value) {
  const std::size_t n = std::strlen(prefix);
  if (std::strncmp(arg, prefix, n) != 0) return false;
  value = arg + n;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  std::string starts = "500";
  for (int i = 0; i < argc; ++i)
    if (i == 0 || !(TakeOption(argv[i], "--disc=", g_options.disc) ||
                    TakeOption(argv[i], "--program=", g_options.program) ||
                    TakeOption(argv[i], "--starts=", starts)))
      rest.push_back(argv[i]);
  const int start_count = std::atoi(starts.c_str());
  if (g_options.disc.empty() || g_options.program.empty() || start_count < 0) {
    std::fputs("usage: disc_bench --disc=DISC --program=EXECUTABLE [--starts=N] [benchmark flags]\n", stderr);
    return 2;
  }
  g_options.disc = fs::absolute(g_options.disc).string();
  g_options.program = fs::absolute(g_options.program).string();
  if (!PrepareTempDisc()) {
    std::fputs("disc_bench: cannot lay out the temporary disc\n", stderr);
    return 1;
  }
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(rest_count, rest.data())) return 2;
  RegisterAll();
  FigureReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const bool started = start_count == 0 || MeasureProgramStarts(start_count);
  std::error_code error;
  fs::remove_all(g_options.temp_disc, error);
  return started ? 0 : 1;
}
