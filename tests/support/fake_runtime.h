#pragma once
// A scripted runtime for the window's procedures: a disc where every file is
// present unless listed missing, events delivered at once or from inside a
// chosen DoEvents call, and a record of every operation, "; "-separated
// ("DoEvents xN" for a run of them).

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/program.h"

namespace testing_support {

using namespace platform;

class FakeRuntime : public Runtime {
 public:
  explicit FakeRuntime(const ProgramDescription& program) : program_(program), events_(program.bindings) {}

  std::set<std::string, std::less<>> missing;  // paths as the program spells them
  struct Queued {
    Control control;
    MouseEvent event;
    MouseArgs args;
  };
  std::multimap<std::uint64_t, Queued> queue;  // delivered from inside DoEvents call number N, counted from 1

  void Load() {
    if (!form_) form_ = program_.create_form(*this);
    program_.form_load(*form_);
    shown_ = true;
  }
  // Nothing runs before the window is shown, once it is closed or ended, or on a disabled control.
  void Deliver(Control c, MouseEvent event, const MouseArgs& args) {
    const Procedure procedure = events_.Find(c, event);
    if (!shown_ || !form_ || ended_ || disabled_[int(c)] || procedure == nullptr) return;
    Note(Name(c) + std::vector<const char*>{"_MouseDown", "_MouseMove", "_MouseUp"}[int(event)]);
    const std::shared_ptr<Form> hold = form_;  // as every runtime does: Unload cannot free a running window
    procedure(*hold, args);
  }
  void Note(const std::string& line) {
    if (run_ > 0) record_ += "DoEvents x" + std::to_string(std::exchange(run_, 0)) + "; ";
    record_ += line + "; ";
  }
  std::string TakeRecord() {
    if (run_ > 0) Note("");
    const std::string all = std::exchange(record_, {});
    return all.substr(0, all.find_last_not_of("; ") + 1);
  }

  Picture LoadPicture(std::string_view path) override {
    if (path.empty()) return {};
    if (missing.contains(path)) throw RuntimeError("LoadPicture", std::string(path), "file not found");
    pictures_.emplace_back(path);  // the picture's width names it
    return Picture(std::make_shared<Image>(Image{int(pictures_.size() - 1), 1, {}}));
  }
  void SetPicture(Control c, const Picture& p) override { Note(Name(c) + "=" + (p.empty() ? "" : pictures_[p.image()->width])); }
  void SetEnabled(Control c, bool enabled) override {
    disabled_[int(c)] = !enabled;
    Note((enabled ? "enable " : "disable ") + Name(c));
  }
  WindowHandle hWnd() override { return Note("hWnd"), form_ ? 1234 : 0; }
  std::int32_t Shell(std::string_view path, std::int16_t style) override {
    Note("Shell " + std::string(path) + " " + std::to_string(style));
    if (missing.contains(path)) throw RuntimeError("Shell", std::string(path), "file not found");
    return 1;
  }
  void DoEvents() override {
    ++calls_, ++run_;
    for (auto it = queue.begin(); it != queue.end() && it->first <= calls_; it = queue.begin()) {
      const Queued q = it->second;
      queue.erase(it);
      Deliver(q.control, q.event, q.args);
    }
  }
  void Unload() override {
    Note(form_ ? "Unload" : "Unload (closed)");
    form_.reset();
  }
  [[noreturn]] void End() override {
    Note("End");
    ended_ = true;
    throw ProgramEnd{};
  }
  CursorHandle LoadCursorFromFileA(std::string_view path) override {
    Note("LoadCursor " + std::string(path) + (missing.contains(path) ? " = 0" : " = 256"));
    return missing.contains(path) ? 0 : 256;
  }
  CursorHandle SetCursor(CursorHandle cursor) override {
    Note("SetCursor " + std::to_string(cursor) + " = " + std::to_string(cursor_));
    return std::exchange(cursor_, cursor);
  }
  std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                              std::string_view parameters, std::string_view directory, std::int32_t show) override {
    Note("ShellExecuteA " + std::to_string(owner) + " " + std::string(operation) + " " + std::string(file) + " '" +
         std::string(parameters) + "' '" + std::string(directory) + "' " + std::to_string(show));
    return 42;
  }

 private:
  std::string Name(Control c) const { return std::string(FindControl(program_.window, c)->name); }

  const ProgramDescription& program_;
  const EventTable events_;
  std::shared_ptr<Form> form_;  // none once unloaded
  std::vector<std::string> pictures_;
  std::string record_;
  bool disabled_[kControlCount] = {}, shown_ = false, ended_ = false;
  CursorHandle cursor_ = 1;  // each control's own pointer
  std::uint64_t calls_ = 0, run_ = 0;
};

}  // namespace testing_support
