#pragma once
// A disc for one test, in a temporary folder that is removed afterwards:
//   <root>/disc     the launcher's current directory: pictures, busy pointer,
//                   two programs (shell scripts) and the user guide
//   <root>/results  what the programs and the xdg-open stub record, one line per run
//   <root>/bin      a stub xdg-open, to be put first on PATH
// Every picture has its own colours and an asymmetric mark, so a screen grab
// tells which picture shows and whether it stands at the right offset.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pictures/picture.h"

namespace e2e {

enum class DiscPicture {
  Help,
  SetupWizardHelp,
  ManualInstallationHelp,
  DocumentationHelp,
  SetupWizard,
  SetupWizardDown,
  ManualInstallation,
  ManualInstallationDown,
  Documentation,
  DocumentationDown,
  Exit,
  ExitDown,
};

// File names on the test disc, relative to its root.
inline constexpr std::string_view kBusyPointerFile = "Setup/images/hourglas.ani";
inline constexpr std::string_view kSetupProgramFile = "Setup/Setup.exe";
inline constexpr std::string_view kManualProgramFile = "manualinstallation/setup.exe";
inline constexpr std::string_view kGuideFile = "Manual/UserGuideEng.html";

// What the stubs write below results/.
inline constexpr std::string_view kSetupLog = "setup.log";    // "started pid=P sid=S", later "outlived launcher"
inline constexpr std::string_view kManualLog = "manual.log";  // "manual pid=P" per run
inline constexpr std::string_view kOpenLog = "xdg-open.log";  // "<argument count> <first argument>" per run

// The busy pointer's frames: 32x32, this hot spot, black/white/transparent.
inline constexpr int kBusySide = 32;
inline constexpr int kBusyHotX = 9;
inline constexpr int kBusyHotY = 13;

enum class Spelling { AsLayout, UpperCase };

class TestDisc {
 public:
  explicit TestDisc(Spelling spelling = Spelling::AsLayout);
  ~TestDisc();
  TestDisc(const TestDisc&) = delete;
  TestDisc& operator=(const TestDisc&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path disc() const { return root_ / "disc"; }
  std::filesystem::path results() const { return root_ / "results"; }
  std::filesystem::path bin() const { return root_ / "bin"; }
  std::string PathVariable() const;  // bin first, then the system's folders

  // The file of a picture, relative to the disc, as spelled on this disc.
  std::string FileOf(DiscPicture picture) const;
  std::string FileOf(std::string_view layout_name) const;  // one of the k...File names
  const pictures::Image& Expected(DiscPicture picture) const;
  const std::vector<pictures::Image>& BusyFrames() const { return busy_frames_; }
  std::filesystem::path GuideAbsolutePath() const;

  // `relative` as the sample disc spells it (kGuideFile, LayoutName(...)); this disc's spelling is applied.
  void Remove(std::string_view relative) const;
  void Corrupt(std::string_view relative) const;  // same name, bytes that are no picture or pointer
  static std::string_view LayoutName(DiscPicture picture);

  std::vector<std::string> Log(std::string_view name) const;

 private:
  void WritePictures();
  void WriteBusyPointer();
  void WritePrograms();
  void Write(const std::string& relative, const std::vector<std::uint8_t>& bytes, bool executable = false) const;

  Spelling spelling_;
  std::filesystem::path root_;
  std::vector<pictures::Image> expected_;
  std::vector<pictures::Image> busy_frames_;
};

}  // namespace e2e
