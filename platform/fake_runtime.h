#pragma once
// A scripted runtime for tests: an in-memory disc, a transcript of every
// operation in order, and mouse events delivered by the test, either at once
// or by a chosen DoEvents call.
//
// Provides:
//  [X] Load(): creates the window object and runs its Load procedure; then the window is shown
//  [X] a disc of pictures, pointer files and programs, looked up ignoring ASCII letter case
//  [X] event dispatch through the program's binding table; disabled controls and a
//      closed window get nothing; a running procedure holds the window object
//  [X] Unload (the window closes, the runtime lets go of the object), End (throws ProgramEnd)
//  [X] state: the picture each control shows, Enabled, the pointer override, the window object
// Leaves out: drawing, pixels of real picture files, mouse capture (a test sends a
// release to the pressed control itself).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime.h"
#include "platform/window/form_host.h"
#include "platform/window/program_description.h"

namespace platform {

class FakeRuntime : public Runtime {
 public:
  // The pointer in force before any SetCursor: each control's own.
  static constexpr CursorHandle kControlPointers = 1;
  static constexpr WindowHandle kWindowHandle = 1234;

  explicit FakeRuntime(const ProgramDescription& program);

  // The disc. Each picture is a 1x1 image whose one pixel tells it apart.
  void AddPicture(std::string_view path);
  void AddCursorFile(std::string_view path);
  void AddProgram(std::string_view path);
  void RemoveFile(std::string_view path);

  // Creates the window object and runs its Load procedure; exceptions propagate
  // and the window is then never shown.
  void Load();

  // Runs the bound procedure now, nested in whatever is running; false when
  // nothing ran (no binding, control disabled, window not shown or closed, program ended).
  bool Deliver(Control control, MouseEvent event, const MouseArgs& args);
  // Delivers the event from inside DoEvents call number `call`, counted over the
  // runtime's whole life from 1. Events for the same call go in the order queued.
  void QueueAt(std::uint64_t call, Control control, MouseEvent event, const MouseArgs& args);
  // The same, `calls` DoEvents calls from now (1 is the next call).
  void QueueAfter(std::uint64_t calls, Control control, MouseEvent event, const MouseArgs& args);

  // One line per operation; runs of DoEvents become one line "DoEvents xN".
  std::vector<std::string> transcript() const;
  void ClearTranscript();
  std::uint64_t doevents_calls() const { return doevents_calls_; }

  // What a control shows: the disc path of its picture as added, "" for the
  // empty picture, "(design-time)" before the program has set one.
  std::string shown(Control control) const;
  bool enabled(Control control) const;
  CursorHandle cursor() const { return cursor_; }
  std::vector<std::string> started_programs() const { return started_; }

  bool shown_window() const { return shown_; }
  bool unloaded() const { return unloaded_; }
  bool ended() const { return ended_; }
  int running_procedures() const { return host_.running(); }
  // The runtime's own reference; empty once the window is unloaded.
  std::shared_ptr<Form> form() const { return host_.form(); }

  // Runtime
  Picture LoadPicture(std::string_view path) override;
  void SetPicture(Control control, const Picture& picture) override;
  void SetEnabled(Control control, bool enabled) override;
  WindowHandle hWnd() override;
  std::int32_t Shell(std::string_view path, std::int16_t window_style) override;
  void DoEvents() override;
  void Unload() override;
  [[noreturn]] void End() override;
  CursorHandle LoadCursorFromFileA(std::string_view path) override;
  CursorHandle SetCursor(CursorHandle cursor) override;
  std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                              std::string_view parameters, std::string_view directory,
                              std::int32_t show) override;

 private:
  enum class FileKind { Picture, Cursor, Program };
  struct DiscFile {
    std::string path;  // as added
    FileKind kind;
    Picture picture;
  };
  struct QueuedEvent {
    Control control;
    MouseEvent event;
    MouseArgs args;
  };
  struct ControlState {
    std::string name;
    std::string shown = "(design-time)";
    bool enabled = true;
  };

  void AddFile(std::string_view path, FileKind kind, Picture picture);
  const DiscFile* Find(std::string_view path, FileKind kind) const;
  bool Receives(Control control) const;
  void Record(std::string line);
  std::string PictureName(const Picture& picture) const;

  const ProgramDescription program_;
  FormHost host_;
  std::map<std::string, DiscFile> disc_;  // by ASCII-lowercased path
  std::map<const pictures::Image*, std::string> picture_names_;  // outlives RemoveFile
  std::multimap<std::uint64_t, QueuedEvent> queue_;
  ControlState controls_[kControlCount];

  bool shown_ = false;
  bool unloaded_ = false;
  bool ended_ = false;

  CursorHandle cursor_ = kControlPointers;
  CursorHandle next_cursor_ = 0x100;
  std::int32_t next_task_ = 1;
  std::uint32_t next_pixel_ = 1;
  std::vector<std::string> started_;

  std::vector<std::string> transcript_;
  std::uint64_t doevents_calls_ = 0;
  std::uint64_t doevents_run_ = 0;  // calls since the last other operation
};

}  // namespace platform
