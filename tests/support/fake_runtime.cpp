#include "tests/support/fake_runtime.h"

namespace testing_support {

void FakeRuntime::Load() {
  if (!form_) form_ = program_.create_form(*this);
  program_.form_load(*form_);
  shown_ = true;
}

void FakeRuntime::Deliver(Control control, MouseEvent event, const MouseArgs& args) {
  const Procedure procedure = events_.Find(control, event);
  if (!shown_ || unloaded_ || ended_ || disabled_[static_cast<int>(control)] || procedure == nullptr) return;
  static const char* const kEvents[] = {"_MouseDown", "_MouseMove", "_MouseUp"};
  Note(Name(control) + kEvents[static_cast<int>(event)]);
  const std::shared_ptr<Form> hold = form_;  // as the runtime does: Unload cannot free a running window
  procedure(*hold, args);
}

void FakeRuntime::Note(std::string line) {
  if (run_ > 0) record_ += "DoEvents x" + std::to_string(run_) + "; ";
  run_ = 0;
  record_ += line + "; ";
}

std::string FakeRuntime::TakeRecord() {
  if (run_ > 0) Note("");
  std::string all = std::exchange(record_, {});
  return all.substr(0, all.find_last_not_of("; ") + 1);
}

Picture FakeRuntime::LoadPicture(std::string_view path) {
  if (path.empty()) return {};
  if (missing.contains(path)) throw RuntimeError("LoadPicture", std::string(path), "file not found");
  pictures_.emplace_back(path);
  return Picture(std::make_shared<Image>(Image{static_cast<int>(pictures_.size() - 1), 1, {}}));
}

void FakeRuntime::SetPicture(Control control, const Picture& picture) {
  Note(Name(control) + "=" + (picture.empty() ? "" : pictures_.at(picture.image()->width)));
}

void FakeRuntime::SetEnabled(Control control, bool enabled) {
  disabled_[static_cast<int>(control)] = !enabled;
  Note((enabled ? "enable " : "disable ") + Name(control));
}

std::int32_t FakeRuntime::Shell(std::string_view path, std::int16_t window_style) {
  Note("Shell " + std::string(path) + " " + std::to_string(window_style));
  if (missing.contains(path)) throw RuntimeError("Shell", std::string(path), "file not found");
  return 1;
}

void FakeRuntime::DoEvents() {
  ++calls_, ++run_;
  for (auto it = queue_.begin(); it != queue_.end() && it->first <= calls_; it = queue_.begin()) {
    const Queued q = it->second;
    queue_.erase(it);
    Deliver(q.control, q.event, q.args);
  }
}

void FakeRuntime::Unload() {
  Note(unloaded_ ? "Unload (closed)" : "Unload");
  unloaded_ = true;
  form_.reset();
}

void FakeRuntime::End() {
  Note("End");
  ended_ = true;
  throw ProgramEnd{};
}

CursorHandle FakeRuntime::LoadCursorFromFileA(std::string_view path) {
  const CursorHandle handle = missing.contains(path) ? 0 : 256;
  Note("LoadCursor " + std::string(path) + " = " + std::to_string(handle));
  return handle;
}

CursorHandle FakeRuntime::SetCursor(CursorHandle cursor) {
  Note("SetCursor " + std::to_string(cursor) + " = " + std::to_string(cursor_));
  return std::exchange(cursor_, cursor);
}

std::intptr_t FakeRuntime::ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                                         std::string_view parameters, std::string_view directory,
                                         std::int32_t show) {
  Note("ShellExecuteA " + std::to_string(owner) + " " + std::string(operation) + " " + std::string(file) + " '" +
         std::string(parameters) + "' '" + std::string(directory) + "' " + std::to_string(show));
  return 42;
}

}  // namespace testing_support
