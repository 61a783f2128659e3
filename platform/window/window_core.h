#pragma once
// The window runtime that every windowing system shares: the controls' state,
// the operations that do not draw (pictures and programs from the disc, the
// window object's Load, Unload and End), the dispatch of mouse events to the
// procedures, and the top-level run with its handling of End, run-time errors
// and exhausted memory. A system's runtime (platform/x11/, platform/win32/)
// derives from it and adds the window itself: its handle, event translation,
// drawing, pointers and the message dialog.

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "platform/disc/disc.h"
#include "platform/error_text.h"
#include "platform/runtime.h"
#include "platform/window/control_geometry.h"
#include "platform/window/form_host.h"
#include "platform/window/program_description.h"

namespace platform {

// A control as every runtime keeps it.
struct ControlState : ControlSurface {
  const ControlLayout* layout = nullptr;
  std::uintptr_t pointer = 0;  // the system's pointer shown over it; 0: the window's own
};

class WindowCore : public Runtime {
 public:
  // Builds the window and its controls, runs Form_Load, shows the window and
  // delivers its events until the window is gone. Returns the exit status: 0
  // when the window was unloaded or closed or the program executed End, 1
  // after a run-time error, which is reported first.
  int Run();

  Picture LoadPicture(std::string_view path) final;
  void SetPicture(Control control, const Picture& picture) final;
  void SetEnabled(Control control, bool enabled) final;
  WindowHandle hWnd() final { return unloaded_ ? 0 : NativeHandle(); }
  std::int32_t Shell(std::string_view path, std::int16_t window_style) final;
  void Unload() final;
  [[noreturn]] void End() final { throw ProgramEnd{}; }
  std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                              std::string_view parameters, std::string_view directory, std::int32_t show) final;

 protected:
  WindowCore(const ProgramDescription& program, Disc& disc);

  // The system's part, from the start of Run() to its end. Every control's
  // state is in place, its pointer made, before BuildWindow.
  // A system pointer for an embedded pointer file; 0 leaves the window's own.
  virtual std::uintptr_t MakePointer(std::span<const std::uint8_t> cursor_file) = 0;
  // The window, hidden, with what the system needs of each control.
  virtual void BuildWindow() = 0;
  virtual void ShowWindow() = 0;
  // Delivers events until the window is unloaded.
  virtual void Loop() = 0;
  // Destroys the window if there is one, at Unload or after a run-time error.
  virtual void DestroyWindow() = 0;
  virtual WindowHandle NativeHandle() = 0;
  virtual void ReportError(const ErrorText& text) = 0;
  // What a property change means on screen: part of the client area shows
  // something else; a control took a new size; it now takes the mouse, or not.
  virtual void Invalidate(const PixelRect& area) = 0;
  virtual void Resized(Control) {}
  virtual void EnabledChanged(Control) {}

  // For the system's event handling.
  // Runs the procedure bound to a control's event when the control takes the mouse.
  void Dispatch(Control control, MouseEvent event, const MouseArgs& args);
  // False while as many procedures run as may nest: input must wait.
  bool MayNest() const { return host_.MayNest(); }
  // The system destroyed the window (closed for us, or by Unload).
  void WindowGone();
  bool unloaded() const { return unloaded_; }

  ControlState& State(Control control) { return controls_[static_cast<std::size_t>(control)]; }
  std::span<ControlState> Controls() { return controls_; }
  std::span<const ControlSurface* const> BackToFront() const { return back_to_front_; }
  const PixelRect& client() const { return client_; }
  const WindowLayout& layout() const { return layout_; }
  Disc& disc() { return disc_; }

 private:
  void CreateControls();
  void Fail(const ErrorText& text);

  const WindowLayout& layout_;
  Disc& disc_;
  FormHost host_;
  const PixelRect client_;
  std::array<ControlState, kControlCount> controls_{};
  std::vector<const ControlSurface*> back_to_front_;  // the background control is last in the layout
  std::vector<std::uint8_t> object_copy_;  // the background, where its object held it in pieces
  std::map<const std::uint8_t*, std::uintptr_t> embedded_pointers_;  // the buttons share one
  bool unloaded_ = false;
};

}  // namespace platform
