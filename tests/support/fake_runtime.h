#pragma once
// A scripted runtime for the window's procedures: a disc where every file is
// present unless removed, events delivered at once or from a chosen DoEvents
// call, and one line of record per operation ("DoEvents xN" for a run of them).

#include <cstdint>
#include <map>
#include <utility>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/program.h"

namespace testing_support {

using namespace platform;

class FakeRuntime : public Runtime {
 public:
  explicit FakeRuntime(const ProgramDescription& program) : program_(program), events_(program.bindings) {}

  std::set<std::string, std::less<>> missing;  // paths as the program spells them

  // Every operation since the last call, "; "-separated.
  std::string TakeRecord();
  void Note(std::string line);

  // Runs the Load procedure, creating the window object the first time.
  void Load();
  // Runs the bound procedure now, unless the window is not shown, closed or ended, or the control is disabled.
  void Deliver(Control control, MouseEvent event, const MouseArgs& args);
  // Delivers from inside DoEvents call number `call`, counted from 1 over the runtime's life.
  void QueueAt(std::uint64_t call, Control control, MouseEvent event, const MouseArgs& args) {
    queue_.emplace(call, Queued{control, event, args});
  }

  Picture LoadPicture(std::string_view path) override;
  void SetPicture(Control control, const Picture& picture) override;
  void SetEnabled(Control control, bool enabled) override;
  WindowHandle hWnd() override { return Note("hWnd"), unloaded_ ? 0 : 1234; }
  std::int32_t Shell(std::string_view path, std::int16_t window_style) override;
  void DoEvents() override;
  void Unload() override;
  [[noreturn]] void End() override;
  CursorHandle LoadCursorFromFileA(std::string_view path) override;
  CursorHandle SetCursor(CursorHandle cursor) override;
  std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                              std::string_view parameters, std::string_view directory, std::int32_t show) override;

 private:
  struct Queued {
    Control control;
    MouseEvent event;
    MouseArgs args;
  };
  std::string Name(Control control) const { return std::string(FindControl(program_.window, control)->name); }

  const ProgramDescription& program_;
  const EventTable events_;
  std::multimap<std::uint64_t, Queued> queue_;
  std::shared_ptr<Form> form_;
  std::string record_;
  std::vector<std::string> pictures_;  // a picture's width is its index here
  bool disabled_[kControlCount] = {};
  bool shown_ = false, unloaded_ = false, ended_ = false;
  CursorHandle cursor_ = 1;  // each control's own pointer
  std::uint64_t calls_ = 0, run_ = 0;
};

}  // namespace testing_support
