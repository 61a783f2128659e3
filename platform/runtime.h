#pragma once
// The window runtime and system calls that the window's event procedures use.
//
// Provides:
//  [X] pictures: LoadPicture ("" gives the empty picture), setting a control's Picture
//  [X] the Enabled property of image controls, the window's hWnd
//  [X] Shell (start a program, not waited for), ShellExecuteA (the desktop's "open")
//  [X] DoEvents (handle what is pending, never block), Unload, End
//  [X] LoadCursorFromFileA / SetCursor (the busy pointer)
//  [X] run-time errors: a failing operation throws RuntimeError; nothing in the
//      procedures catches it, the runtime shows it and ends the program
// Leaves out: window creation and event delivery, which each concrete runtime
// does in its own Run() from a ProgramDescription (platform/program.h).

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/picture.h"

namespace platform {

// The window's controls, in the order the layout description stores them.
enum class Control : std::uint8_t { Help, Exit, Documentation, ManualInstallation, SetupWizard, Ole1 };
inline constexpr std::size_t kControlCount = 6;

enum class MouseEvent : std::uint8_t { Down, Move, Up };
inline constexpr std::size_t kMouseEventCount = 3;

// Mouse event arguments: Button 1 left, 2 right, 4 middle (the released or
// pressed one for Down/Up, the held ones for Move); Shift 1 shift, 2 ctrl, 4 alt;
// X and Y in twips from the receiving control's top-left corner.
struct MouseArgs {
  std::int16_t button = 0;
  std::int16_t shift = 0;
  float x = 0.0f;
  float y = 0.0f;
};

using WindowHandle = std::uintptr_t;  // 0 once the window is unloaded
using CursorHandle = std::uint32_t;   // 0 means "no cursor"

// A failed runtime operation. `operation` and `path` are as the program wrote
// them; `cause` is a short English phrase such as "file not found".
class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(std::string operation, std::string path, std::string cause);
  const std::string& operation() const { return operation_; }
  const std::string& path() const { return path_; }
  const std::string& cause() const { return cause_; }

 private:
  std::string operation_, path_, cause_;
};

// The runtime's message for an error: Traditional Chinese first, English below.
struct ErrorText {
  std::string chinese;
  std::string english;
};
ErrorText DescribeRuntimeError(const RuntimeError& error);

// Thrown by End(): unwinds every running procedure without running another step.
struct ProgramEnd {};

class Runtime {
 public:
  virtual ~Runtime() = default;

  virtual Picture LoadPicture(std::string_view path) = 0;
  virtual void SetPicture(Control control, const Picture& picture) = 0;
  virtual void SetEnabled(Control control, bool enabled) = 0;
  virtual WindowHandle hWnd() = 0;

  // Starts the program and returns its task number at once; never waits for it.
  virtual std::int32_t Shell(std::string_view path, std::int16_t window_style) = 0;
  virtual void DoEvents() = 0;
  virtual void Unload() = 0;
  [[noreturn]] virtual void End() = 0;

  virtual CursorHandle LoadCursorFromFileA(std::string_view path) = 0;
  virtual CursorHandle SetCursor(CursorHandle cursor) = 0;
  virtual std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation,
                                      std::string_view file, std::string_view parameters,
                                      std::string_view directory, std::int32_t show) = 0;
};

}  // namespace platform
