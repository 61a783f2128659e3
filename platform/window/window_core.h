#pragma once
// The window runtime that every windowing system shares, with every rule it
// follows: the controls and their drawing; input held back in order while
// procedures nest, with queued motion merged; which control takes the mouse
// (the hit test, the capture of a press, disabled controls); the pointer each
// place shows and the busy pointer's override; the window object's Load,
// Unload and End; the run-time error's report.
//
// A system's runtime (platform/x11/, platform/win32/) derives from it and only
// translates: its events into Input at screen pixels of the window, the
// composed picture onto the screen at the scale the core keeps, the pointer the
// core names into the system's, and the error box.

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/disc/disc.h"
#include "platform/error_text.h"
#include "platform/runtime.h"
#include "platform/window/compose.h"
#include "platform/window/control_surface.h"
#include "platform/window/form_host.h"
#include "platform/window/mouse_args.h"
#include "platform/window/program_description.h"
#include "platform/window/scale.h"

namespace platform {

// Input from the system: the mouse at a position in the window's screen pixels, or a key.
enum class InputKind : std::uint8_t {
  Press, Release, Motion, KeyDown, KeyUp,
  Focused,  // the core's own: the focus moved on by itself, the new button's MouseMove is due
};
enum class Key : std::uint8_t { Other, Tab, Up, Down, Left, Right, Space, Enter };
struct Input {
  InputKind kind = InputKind::Motion;
  int x = 0, y = 0;
  std::int16_t button = 0;  // the one pressed or released, numbered as the procedures number them
  std::int16_t held = 0;    // the buttons still held once the event is over
  std::int16_t shift = 0;   // the modifier keys held
  Key key = Key::Other;
  bool repeat = false;  // a held key's automatic repeat
};

// A control as every runtime keeps it.
struct ControlState : ControlSurface {
  const ControlLayout* layout = nullptr;
  std::uintptr_t pointer = 0;  // the system's pointer shown over it; 0: the window's own
};

// A pointer file our reader accepted: one built into the program, or one on the disc.
struct PointerFile {
  const pictures::CursorFile& decoded;
  std::span<const std::uint8_t> built_in;  // its bytes; empty for a file on the disc
  std::string_view disc_path;              // as the program wrote it; empty for a built-in one
};

// Input held back beyond this stops reading from the system until procedures return.
inline constexpr std::size_t kMaxHeldInput = 4096;

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
  void DoEvents() final;
  void Unload() final;
  [[noreturn]] void End() final;
  CursorHandle LoadCursorFromFileA(std::string_view path) final;
  CursorHandle SetCursor(CursorHandle cursor) final;
  std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                              std::string_view parameters, std::string_view directory, std::int32_t show) final;

  // What PointerOf gives where no pointer shows at all.
  static constexpr std::uintptr_t kHiddenPointer = ~std::uintptr_t{0};

 protected:
  WindowCore(const ProgramDescription& program, Disc& disc);

  // The system's part. A system pointer for a pointer file; 0 when it cannot make one.
  virtual std::uintptr_t MakePointer(const PointerFile& file) = 0;
  // The window, hidden, with what the system needs of each control.
  virtual void BuildWindow() = 0;
  virtual void ShowWindow() = 0;
  // Destroys the window if there is one, at Unload or after a run-time error.
  virtual void DestroyWindow() = 0;
  virtual WindowHandle NativeHandle() = 0;
  // Translates what the system has pending now, and no more, calling Post,
  // Exposed, CloseRequested and WindowGone; stops reading while !WantsInput().
  virtual void ReadEvents() = 0;
  // Waits until the system has something for ReadEvents.
  virtual void WaitForEvents() = 0;
  // Puts a part of the composed client area (canvas()) on screen, at scale().
  virtual void Present(const PixelRect& area) = 0;
  // Memory for the composed client area, client().w * client().h pixels a row
  // after row, that the system shows from without a copy; nullptr: the core's own.
  // Asked for once, after BuildWindow.
  virtual std::uint32_t* CanvasMemory() { return nullptr; }
  // A control shows another picture, took another size, or was enabled or disabled.
  virtual void ControlChanged(Control) {}
  // What PointerOf gives has changed.
  virtual void PointersChanged() {}
  // A press made a control hold the mouse until its release, or the release ended that.
  virtual void CaptureChanged(bool) {}
  virtual void ShowError(const ErrorText& text) = 0;

  // For the system's event translation; positions and areas in the window's screen pixels.
  void Post(const Input& input);
  bool WantsInput() const { return held_.size() < kMaxHeldInput; }
  void Exposed(const PixelRect& area) { exposed_ = exposed_.Union(scale_.ToLogical(area).Intersect(client_)); }
  void CloseRequested() { Unload(); }  // closing through the frame runs no procedure
  void WindowGone();                   // the system destroyed the window
  void CaptureLost() { captured_ = nullptr; }
  // Where the pointer rests when the window appears: not a movement.
  void PointerRestsAt(int x, int y) { last_motion_ = {scale_.Logical(x), scale_.Logical(y)}; }
  // The system pointer to show at a point of the window.
  std::uintptr_t PointerAt(int x, int y) { return PointerOf(ControlAt(scale_.Logical(x), scale_.Logical(y))); }
  // The desktop's scale: before the controls are made, and again when it changes (the
  // window moved to another screen); the whole window is then shown again.
  void SetScale(Scale scale);
  const Scale& scale() const { return scale_; }
  // The client area on screen.
  PixelRect screen_client() const { return {0, 0, scale_.Length(client_.w), scale_.Length(client_.h)}; }

  // For the system's drawing and pointers.
  // The enabled control under a client point, front to back; nullptr outside every control.
  ControlState* ControlAt(int x, int y);
  // The system pointer to show over a control (nullptr: the window itself); 0 is the window's own arrow.
  std::uintptr_t PointerOf(const ControlState* over) const;
  ControlState& State(Control control) { return controls_[static_cast<std::size_t>(control)]; }
  std::span<ControlState> Controls() { return controls_; }
  Canvas canvas() { return {canvas_pixels_, client_.w, client_.h}; }
  const PixelRect& client() const { return client_; }
  const WindowLayout& layout() const { return layout_; }
  bool unloaded() const { return unloaded_; }

  // Run's two halves: up to the window shown, then its events until it is gone.
  void Open();
  void Loop();
  int Nesting() const { return host_.running(); }
  // Runs the procedure bound to a control's event, when the control takes the mouse.
  void RunProcedure(Control control, MouseEvent event, const MouseArgs& args);

 private:
  void CreateControls();
  void RunHeld();
  void Deliver(const Input& input);
  void Dispatch(ControlState* target, MouseEvent event, const Input& input, std::int16_t button);
  // The keyboard: a key does what a click at the centre of the focused button does.
  void OnKey(const Input& input);
  void MoveFocus(int step, bool hover_now);
  MouseArgs AtCentre(Control control, std::int16_t button);
  PixelRect FocusRing() const;
  void PresentChanges();
  void Fail(const ErrorText& text);

  const WindowLayout& layout_;
  Disc& disc_;
  FormHost host_;
  const PixelRect client_;
  std::array<ControlState, kControlCount> controls_{};
  std::vector<const ControlSurface*> back_to_front_;  // the background control is last in the layout
  std::vector<std::uint8_t> object_copy_;  // the background, where its object held it in pieces
  std::map<const std::uint8_t*, std::uintptr_t> built_in_pointers_;  // the buttons share one
  std::vector<std::uint32_t> canvas_;  // unless the system gave memory of its own
  std::uint32_t* canvas_pixels_ = nullptr;
  Scale scale_;
  PixelRect dirty_, exposed_;  // to compose and show; only to show again
  std::deque<Input> held_;
  ControlState* captured_ = nullptr;
  std::optional<std::pair<int, int>> last_motion_;
  std::vector<std::uintptr_t> loaded_pointers_;  // SetCursor's handle h >= 2 is loaded_pointers_[h - 2]
  CursorHandle override_;
  std::optional<Control> focus_;  // none until the first key that moves it
  struct Activation {
    Control control;
    Key key;
    MouseArgs args;
  };
  std::optional<Activation> activation_;  // Space or Enter held on a button
  bool unloaded_ = false;
};

}  // namespace platform
