#include "platform/fake_runtime.h"

#include <charconv>
#include <stdexcept>
#include <utility>

#include "pictures/picture.h"

namespace platform {
namespace {

constexpr std::string_view kEventNames[kMouseEventCount] = {"MouseDown", "MouseMove", "MouseUp"};

// The disc's file system ignores letter case; only ASCII letters fold.
std::string FoldCase(std::string_view path) {
  std::string folded(path);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

// Empty strings stay visible in a transcript line.
std::string Quoted(std::string_view text) { return text.empty() ? "\"\"" : std::string(text); }

// Shortest text that reads back as the same float, so bounds show exactly.
std::string FloatText(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::size_t Index(Control control) { return static_cast<std::size_t>(control); }

}  // namespace

FakeRuntime::FakeRuntime(const ProgramDescription& program)
    : program_(program), host_(program_) {
  for (std::size_t i = 0; i < kControlCount; ++i) {
    const ControlLayout* layout = FindControl(program_.window, static_cast<Control>(i));
    controls_[i].name = layout ? std::string(layout->name) : "control" + std::to_string(i);
  }
}

void FakeRuntime::AddFile(std::string_view path, FileKind kind, Picture picture) {
  if (!picture.empty()) picture_names_[picture.image()] = std::string(path);
  disc_.insert_or_assign(FoldCase(path), DiscFile{std::string(path), kind, std::move(picture)});
}

void FakeRuntime::AddPicture(std::string_view path) {
  auto image = std::make_shared<pictures::Image>();
  image->width = image->height = 1;
  image->pixels = {0xFF000000u | next_pixel_++};
  AddFile(path, FileKind::Picture, Picture(std::move(image)));
}

void FakeRuntime::AddCursorFile(std::string_view path) { AddFile(path, FileKind::Cursor, {}); }
void FakeRuntime::AddProgram(std::string_view path) { AddFile(path, FileKind::Program, {}); }
void FakeRuntime::RemoveFile(std::string_view path) { disc_.erase(FoldCase(path)); }

const FakeRuntime::DiscFile* FakeRuntime::Find(std::string_view path, FileKind kind) const {
  const auto it = disc_.find(FoldCase(path));
  return it != disc_.end() && it->second.kind == kind ? &it->second : nullptr;
}

void FakeRuntime::Load() {
  if (host_.form() || unloaded_) throw std::logic_error("FakeRuntime::Load: the window was already loaded");
  host_.Load(*this);
  shown_ = true;
}

bool FakeRuntime::Receives(Control control) const {
  return shown_ && !unloaded_ && !ended_ && controls_[Index(control)].enabled;
}

bool FakeRuntime::Deliver(Control control, MouseEvent event, const MouseArgs& args) {
  if (!Receives(control) || !host_.Binds(control, event)) return false;
  Record(controls_[Index(control)].name + "_" + std::string(kEventNames[static_cast<int>(event)]) +
         " " + std::to_string(args.button) + " " + std::to_string(args.shift) + " " +
         FloatText(args.x) + " " + FloatText(args.y));
  host_.Run(control, event, args);
  return true;
}

void FakeRuntime::QueueAt(std::uint64_t call, Control control, MouseEvent event,
                          const MouseArgs& args) {
  queue_.emplace(call, QueuedEvent{control, event, args});
}

void FakeRuntime::QueueAfter(std::uint64_t calls, Control control, MouseEvent event,
                             const MouseArgs& args) {
  QueueAt(doevents_calls_ + calls, control, event, args);
}

void FakeRuntime::Record(std::string line) {
  if (doevents_run_ > 0) transcript_.push_back("DoEvents x" + std::to_string(doevents_run_));
  doevents_run_ = 0;
  transcript_.push_back(std::move(line));
}

std::vector<std::string> FakeRuntime::transcript() const {
  std::vector<std::string> lines = transcript_;
  if (doevents_run_ > 0) lines.push_back("DoEvents x" + std::to_string(doevents_run_));
  return lines;
}

void FakeRuntime::ClearTranscript() {
  transcript_.clear();
  doevents_run_ = 0;
}

std::string FakeRuntime::PictureName(const Picture& picture) const {
  if (picture.empty()) return "";
  const auto it = picture_names_.find(picture.image());
  return it != picture_names_.end() ? it->second : "(not from the disc)";
}

std::string FakeRuntime::shown(Control control) const { return controls_[Index(control)].shown; }
bool FakeRuntime::enabled(Control control) const { return controls_[Index(control)].enabled; }

Picture FakeRuntime::LoadPicture(std::string_view path) {
  Record("LoadPicture " + Quoted(path));
  if (path.empty()) return Picture();
  const DiscFile* file = Find(path, FileKind::Picture);
  if (file == nullptr) throw RuntimeError("LoadPicture", std::string(path), Cause::FileNotFound);
  return file->picture;
}

// On a closed window property changes are recorded and change nothing.
void FakeRuntime::SetPicture(Control control, const Picture& picture) {
  ControlState& state = controls_[Index(control)];
  const std::string name = PictureName(picture);
  Record("SetPicture " + state.name + " " + Quoted(name) + (unloaded_ ? " (closed)" : ""));
  if (!unloaded_) state.shown = name;
}

void FakeRuntime::SetEnabled(Control control, bool enabled) {
  ControlState& state = controls_[Index(control)];
  Record("SetEnabled " + state.name + (enabled ? " true" : " false") + (unloaded_ ? " (closed)" : ""));
  if (!unloaded_) state.enabled = enabled;
}

WindowHandle FakeRuntime::hWnd() {
  const WindowHandle handle = unloaded_ ? 0 : kWindowHandle;
  Record("hWnd " + std::to_string(handle));
  return handle;
}

std::int32_t FakeRuntime::Shell(std::string_view path, std::int16_t window_style) {
  Record("Shell " + Quoted(path) + " " + std::to_string(window_style));
  if (Find(path, FileKind::Program) == nullptr)
    throw RuntimeError("Shell", std::string(path), Cause::FileNotFound);
  started_.emplace_back(path);
  return next_task_++;
}

// Cheap on purpose: waits make millions of calls.
void FakeRuntime::DoEvents() {
  ++doevents_calls_;
  ++doevents_run_;
  while (!queue_.empty() && queue_.begin()->first <= doevents_calls_) {
    const QueuedEvent queued = queue_.begin()->second;
    queue_.erase(queue_.begin());
    Deliver(queued.control, queued.event, queued.args);
  }
}

void FakeRuntime::Unload() {
  if (unloaded_) {
    Record("Unload (closed)");
    return;
  }
  Record("Unload");
  unloaded_ = true;
  host_.Release();  // running procedures still hold their own references
}

void FakeRuntime::End() {
  Record("End");
  ended_ = true;
  throw ProgramEnd{};
}

CursorHandle FakeRuntime::LoadCursorFromFileA(std::string_view path) {
  const CursorHandle handle = Find(path, FileKind::Cursor) ? next_cursor_++ : 0;
  Record("LoadCursorFromFileA " + Quoted(path) + " = " + std::to_string(handle));
  return handle;
}

CursorHandle FakeRuntime::SetCursor(CursorHandle cursor) {
  const CursorHandle previous = std::exchange(cursor_, cursor);
  Record("SetCursor " + std::to_string(cursor) + " = " + std::to_string(previous));
  return previous;
}

std::intptr_t FakeRuntime::ShellExecuteA(WindowHandle owner, std::string_view operation,
                                         std::string_view file, std::string_view parameters,
                                         std::string_view directory, std::int32_t show) {
  Record("ShellExecuteA " + std::to_string(owner) + " " + Quoted(operation) + " " + Quoted(file) +
         " " + Quoted(parameters) + " " + Quoted(directory) + " " + std::to_string(show));
  return 42;  // above 32: success, which the program never looks at
}

}  // namespace platform
