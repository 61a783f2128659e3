#pragma once
// The window runtime and system calls that the window's event procedures use:
// the one header of platform/ that menu/ sees.
//
// Provides:
//  [X] pictures: LoadPicture ("" gives the empty picture), setting a control's Picture
//  [X] the Enabled property of image controls, the window's hWnd
//  [X] Shell (start a program, not waited for), ShellExecuteA (the desktop's "open")
//  [X] DoEvents (handle what is pending, never block), Unload, End
//  [X] LoadCursorFromFileA / SetCursor (the busy pointer)
//  [X] run-time errors: a failing operation throws RuntimeError; nothing in the
//      procedures catches it, the runtime shows it and ends the program
// Leaves out: window creation and event delivery, which each runtime does from
// a ProgramDescription (platform/window/program_description.h).

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pictures {
struct Image;
}

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

// A loaded picture, shared and immutable; the procedures only pass it on. The
// default value is the empty picture, which shows nothing.
class Picture {
 public:
  Picture() = default;
  explicit Picture(std::shared_ptr<const pictures::Image> image) : image_(std::move(image)) {}
  bool empty() const { return image_ == nullptr; }
  const pictures::Image* image() const { return image_.get(); }
  bool operator==(const Picture&) const = default;

 private:
  std::shared_ptr<const pictures::Image> image_;
};

// Why an operation failed. Each cause has its text in both languages of the
// runtime's message (platform/error_text.h).
enum class Cause : std::uint8_t {
  FileNotFound, FileUnreadable, FileTooLarge,
  EmptyFile, NotAPicture, TruncatedPicture, BadPictureHeader, PictureTooLarge, UnsupportedPicture,
  BadPictureData,
  DamagedPictureObject,
  PermissionDenied, NotAProgram, InterpreterNotFound, ProgramNotStarted, IsAFolder,
  OutOfResources, OutOfMemory,
  Other,  // the system's own description, which has no translation
};
inline constexpr std::size_t kCauseCount = static_cast<std::size_t>(Cause::Other) + 1;

// A failed runtime operation. `operation` and `path` are as the program wrote
// them; `system_text` describes a failure of Cause::Other.
class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(std::string operation, std::string path, Cause cause, std::string system_text = {});
  const std::string& operation() const { return operation_; }
  const std::string& path() const { return path_; }
  Cause cause() const { return cause_; }
  // The cause as the English message gives it.
  const std::string& cause_text() const { return cause_text_; }

 private:
  std::string operation_, path_;
  Cause cause_;
  std::string cause_text_;
};

// Thrown by End(): unwinds every running procedure without running another step.
struct ProgramEnd {};

// The loaded window object. Every running procedure holds a reference to it,
// so it outlives an Unload that happens while a procedure waits.
class Form {
 public:
  virtual ~Form() = default;
};

using Procedure = void (*)(Form&, const MouseArgs&);

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
