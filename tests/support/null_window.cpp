#include "tests/support/null_window.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "assets/encode.h"

namespace testing_support {

void Transcript::Note(std::string_view line) {
  if (pumps_ > 0) text_ += "DoEvents x" + std::to_string(std::exchange(pumps_, 0)) + "; ";
  text_ += std::string(line) + "; ";
}

std::string Transcript::Take() {
  if (pumps_ > 0) Note("");
  const std::string all = std::exchange(text_, {});
  return all.substr(0, all.find_last_not_of("; ") + 1);
}

// --- the disc ------------------------------------------------------------------

std::string MemoryDisc::Key(std::string_view literal) {
  std::string key(literal);
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  return key;
}

void MemoryDisc::AddPicture(std::string_view literal, int width, int height) {
  pictures_.push_back(Key(literal).substr(Key(literal).find_last_of('\\') + 1));
  const std::uint32_t colour = 0xFF000000u | static_cast<std::uint32_t>(pictures_.size() - 1);
  Add(literal, assets::EncodeBmp24({width, height, std::vector<std::uint32_t>(std::size_t(width) * height, colour)}));
}

void MemoryDisc::Add(std::string_view literal, std::vector<std::uint8_t> bytes) { files_[Key(literal)] = std::move(bytes); }

std::string MemoryDisc::NameOf(const pictures::Image& image) const {
  const std::size_t colour = image.pixels.empty() ? pictures_.size() : image.pixels[0] & 0xFFFFFF;
  return colour < pictures_.size() ? pictures_[colour] : "?";
}

std::optional<std::string> MemoryDisc::Resolve(std::string_view literal) {
  if (!files_.contains(Key(literal))) return std::nullopt;
  return Key(literal);
}

FileBytes MemoryDisc::Read(const std::string& path, std::size_t max_bytes) {
  const auto file = files_.find(path);
  if (file == files_.end()) return FileError::NotFound;
  if (file->second.size() > max_bytes) return FileError::TooLarge;
  return file->second;
}

std::int32_t MemoryDisc::Start(const std::string&, std::string_view literal, std::int16_t window_style) {
  transcript_.Note("start " + std::string(literal) + " " + std::to_string(window_style));
  return 1;
}

std::intptr_t MemoryDisc::Open(WindowHandle owner, std::string_view operation, std::string_view literal,
                               std::string_view parameters, std::string_view directory, std::int32_t show) {
  transcript_.Note(std::string(operation) + " " + std::string(literal) + " owner " + std::to_string(owner) + " '" +
                   std::string(parameters) + "' '" + std::string(directory) + "' " + std::to_string(show));
  return 42;
}

// --- the window ----------------------------------------------------------------

NullWindow::NullWindow(const ProgramDescription& program) : WindowCore(program, disc) {}

void NullWindow::Send(const Input& input, std::uint64_t at) {
  if (at == 0)
    steps_.push_back(input);
  else
    at_pump_.emplace(at, input);
}

std::uintptr_t NullWindow::MakePointer(const PointerFile& file) {
  pointers_.push_back(file.disc_path.empty() ? "built-in" : std::string(file.disc_path));
  if (!file.disc_path.empty()) transcript.Note("pointer made from " + pointers_.back());
  return pointers_.size();
}

void NullWindow::ShowWindow() {
  transcript.Take();  // the transcript starts with the window shown
  for (const std::string& file : missing_once_shown) disc.Remove(file);
  for (const ControlState& s : Controls()) seen_[static_cast<std::size_t>(s.layout->id)] = s;
}

void NullWindow::ReadEvents() {
  // A pump inside a procedure counts; the event loop's own takes the next step.
  if (Nesting() == 0) {
    if (!steps_.empty()) Post(steps_.front()), steps_.erase(steps_.begin());
    return;
  }
  transcript.Pump();
  ++pumps_;
  for (auto it = at_pump_.begin(); it != at_pump_.end() && it->first <= pumps_ && WantsInput(); it = at_pump_.begin()) {
    Post(it->second);
    at_pump_.erase(it);
  }
}

void NullWindow::WaitForEvents() {
  if (!steps_.empty()) return;
  script_done_ = true;  // the session ends
  WindowGone();
}

int NullWindow::Play() {
  const int status = Run();
  if (status == 0 && !closed_ && !script_done_) transcript.Note("ended");
  return status;
}

void NullWindow::Present(const PixelRect&) {
  const Canvas screen = canvas();
  pixels_.assign(screen.pixels, screen.pixels + std::size_t(screen.width) * screen.height);
}

void NullWindow::ControlChanged(Control control) {
  ControlSurface& seen = seen_[static_cast<std::size_t>(control)];
  const ControlState& now = State(control);
  if (!(seen.picture == now.picture))
    transcript.Note(Name(control) + "=" + (now.picture.empty() ? "" : disc.NameOf(*now.picture.image())));
  if (seen.enabled != now.enabled) transcript.Note((now.enabled ? "enable " : "disable ") + Name(control));
  seen = now;
}

void NullWindow::PointersChanged() {
  const std::uintptr_t pointer = PointerOf(nullptr);
  transcript.Note("pointer " + (pointer == 0                ? std::string("own")
                                : pointer == kHiddenPointer ? std::string("hidden")
                                                            : pointers_.at(pointer - 1)));
}

}  // namespace testing_support
