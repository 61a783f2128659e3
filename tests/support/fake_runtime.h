#pragma once
// A scripted runtime for the window's procedures: a disc where every file is
// present unless listed missing, events delivered at once or from inside a
// chosen DoEvents call, and a record of every operation, "; "-separated
// ("DoEvents xN" for a run of them). The window object and the running of its
// procedures are the window core's own (FormHost), as in every runtime.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pictures/picture.h"
#include "platform/window/form_host.h"

namespace testing_support {

using namespace platform;

class FakeRuntime : public Runtime {
 public:
  explicit FakeRuntime(const ProgramDescription& program) : program_(program), host_(program) {}

  std::set<std::string, std::less<>> missing;  // paths as the program spells them
  struct Queued {
    Control control;
    MouseEvent event;
    MouseArgs args;
  };
  std::multimap<std::uint64_t, Queued> queue;  // delivered from inside DoEvents call number N, counted from 1

  // Loading again runs the Load procedure again on the same window object.
  void Load() { host_.form() ? program_.form_load(*host_.form()) : host_.Load(*this); }
  // Nothing runs before the window is loaded, once it is closed or ended, or on a disabled control.
  void Deliver(Control c, MouseEvent event, const MouseArgs& args) {
    if (!host_.form() || ended_ || disabled_[int(c)] || !host_.Binds(c, event)) return;
    Note(Name(c) + std::vector<const char*>{"_MouseDown", "_MouseMove", "_MouseUp"}[int(event)]);
    host_.Run(c, event, args);
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
    if (missing.contains(path)) throw RuntimeError("LoadPicture", std::string(path), Cause::FileNotFound);
    pictures_.emplace_back(path);  // the picture's width names it
    return Picture(std::make_shared<pictures::Image>(pictures::Image{int(pictures_.size() - 1), 1, {}}));
  }
  void SetPicture(Control c, const Picture& p) override { Note(Name(c) + "=" + (p.empty() ? "" : pictures_[p.image()->width])); }
  void SetEnabled(Control c, bool enabled) override {
    disabled_[int(c)] = !enabled;
    Note((enabled ? "enable " : "disable ") + Name(c));
  }
  WindowHandle hWnd() override { return Note("hWnd"), host_.form() ? 1234 : 0; }
  std::int32_t Shell(std::string_view path, std::int16_t style) override {
    Note("Shell " + std::string(path) + " " + std::to_string(style));
    if (missing.contains(path)) throw RuntimeError("Shell", std::string(path), Cause::FileNotFound);
    return 1;
  }
  // Input due while as many procedures run as may nest waits, in order, as in every runtime.
  void DoEvents() override {
    ++calls_, ++run_;
    for (auto it = queue.begin(); it != queue.end() && it->first <= calls_ && host_.MayNest(); it = queue.begin()) {
      const Queued q = it->second;
      queue.erase(it);
      Deliver(q.control, q.event, q.args);
    }
  }
  void Unload() override {
    Note(host_.form() ? "Unload" : "Unload (closed)");
    host_.Release();  // running procedures keep their hold
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
  FormHost host_;  // the window object, none once unloaded
  std::vector<std::string> pictures_;
  std::string record_;
  bool disabled_[kControlCount] = {}, ended_ = false;
  CursorHandle cursor_ = 1;  // each control's own pointer
  std::uint64_t calls_ = 0, run_ = 0;
};

}  // namespace testing_support
