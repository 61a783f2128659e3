#pragma once
// The window core on a backend with no windowing system, over a disc held in
// memory: what the tests run the procedures on. It draws into memory, and
// keeps a transcript of what a user would notice once the window shows,
// "; "-separated: a control's new picture or state, the pointer ("own": each
// control's), programs and documents started, the window closed, the error
// shown, and "DoEvents xN" for a run of pumps inside procedures. Input comes from a script: each step once the previous one is
// handled, or from inside a chosen pump.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/window_core.h"

namespace testing_support {

using namespace platform;

class Transcript {
 public:
  void Note(std::string_view line);
  void Pump() { ++pumps_; }
  std::string Take();

 private:
  std::string text_;
  std::uint64_t pumps_ = 0;
};

// Files by their literal path, letter case ignored. Each picture is one colour
// no other picture has, at the size it is made with.
class MemoryDisc final : public Disc {
 public:
  explicit MemoryDisc(Transcript& transcript) : transcript_(transcript) {}

  void AddPicture(std::string_view literal, int width, int height);
  void Add(std::string_view literal, std::vector<std::uint8_t> bytes);
  void Remove(std::string_view literal) { files_.erase(Key(literal)); }
  // The name of the picture file an image was read from, or "?".
  std::string NameOf(const pictures::Image& image) const;

  std::optional<std::string> Resolve(std::string_view literal) override;
  bool IsFile(const std::string& path) override { return files_.contains(path); }
  FileBytes Read(const std::string& path, std::size_t max_bytes) override;
  std::int32_t Start(const std::string& path, std::string_view literal, std::int16_t window_style) override;
  std::intptr_t Open(WindowHandle owner, std::string_view operation, std::string_view literal,
                     std::string_view parameters, std::string_view directory, std::int32_t show) override;

 private:
  static std::string Key(std::string_view literal);

  Transcript& transcript_;
  std::map<std::string, std::vector<std::uint8_t>> files_;
  std::vector<std::string> pictures_;  // by colour
};

class NullWindow final : public WindowCore {
 public:
  explicit NullWindow(const ProgramDescription& program);

  Transcript transcript;
  MemoryDisc disc{transcript};
  std::set<std::string> missing_once_shown;  // taken off the disc when the window shows

  // Input the system reports: `at` 0 once every earlier step is handled, else from
  // inside the procedures' pump number `at`, counted from 1.
  void Send(const Input& input, std::uint64_t at = 0);
  // Runs the window until the script is done (the window is then gone, as when the
  // session ends), the program fails, or it ends, which the transcript notes ("ended").
  // Returns the exit status.
  int Play();
  const std::vector<std::uint32_t>& pixels() const { return pixels_; }
  using WindowCore::ControlAt;
  using WindowCore::Open;
  using WindowCore::PointerOf;
  using WindowCore::RunProcedure;
  using WindowCore::WantsInput;
  using WindowCore::Post;
  using WindowCore::SetScale;
  using WindowCore::State;

 private:
  std::uintptr_t MakePointer(const PointerFile& file) override;
  void BuildWindow() override {}
  void ShowWindow() override;
  void DestroyWindow() override { transcript.Note("window closed"), closed_ = true; }
  WindowHandle NativeHandle() override { return 1234; }
  void ReadEvents() override;
  void WaitForEvents() override;
  void Present(const PixelRect& area) override;
  void ControlChanged(Control control) override;
  void PointersChanged() override;
  void ShowError(const ErrorText& text) override { transcript.Note("error: " + text.english); }

  std::string Name(Control control) const { return std::string(FindControl(layout(), control)->name); }

  std::vector<Input> steps_;  // in order
  std::multimap<std::uint64_t, Input> at_pump_;
  std::uint64_t pumps_ = 0;
  bool closed_ = false, script_done_ = false;
  std::array<ControlSurface, kControlCount> seen_{};
  std::vector<std::string> pointers_;  // what each pointer made was made from
  std::vector<std::uint32_t> pixels_;  // the screen
};

}  // namespace testing_support
