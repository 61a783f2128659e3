#include "platform/window/window_core.h"

#include <new>

namespace platform {

WindowCore::WindowCore(const ProgramDescription& program, Disc& disc)
    : layout_(program.window),
      disc_(disc),
      host_(program),
      client_{0, 0, PixelsFromTwips(program.window.client_width), PixelsFromTwips(program.window.client_height)} {}

int WindowCore::Run() {
  try {
    CreateControls();
    BuildWindow();
    host_.Load(*this);
    ShowWindow();
    Loop();
    return 0;
  } catch (const ProgramEnd&) {
    return 0;
  } catch (const RuntimeError& error) {
    Fail(DescribeRuntimeError(error));
  } catch (const std::bad_alloc&) {
    Fail(DescribeRuntimeError(RuntimeError("Run", "autorun", Cause::OutOfMemory)));
  }
  return 1;
}

void WindowCore::Fail(const ErrorText& text) {
  unloaded_ = true;
  DestroyWindow();
  ReportError(text);
}

void WindowCore::CreateControls() {
  // The layout lists controls front to back.
  for (auto it = layout_.controls.rbegin(); it != layout_.controls.rend(); ++it) {
    ControlState& s = State(it->id);
    static_cast<ControlSurface&>(s) = DesignSurface(*it, object_copy_);
    s.layout = &*it;
    back_to_front_.push_back(&s);
    if (it->pointer != MousePointer::Custom || it->mouse_icon == nullptr) continue;
    const std::span<const std::uint8_t> bytes = it->mouse_icon();
    auto [pointer, added] = embedded_pointers_.try_emplace(bytes.data(), 0);
    if (added) pointer->second = MakePointer(bytes);
    s.pointer = pointer->second;
  }
}

Picture WindowCore::LoadPicture(std::string_view path) { return LoadPictureFile(disc_, path); }

void WindowCore::SetPicture(Control control, const Picture& picture) {
  if (unloaded_) return;
  ControlState& s = State(control);
  const PixelRect before = s.area;
  Invalidate(AssignPicture(s, picture));
  if (s.area.w != before.w || s.area.h != before.h) Resized(control);
}

void WindowCore::SetEnabled(Control control, bool enabled) {
  if (unloaded_) return;
  ControlState& s = State(control);
  if (s.enabled == enabled) return;
  s.enabled = enabled;
  EnabledChanged(control);
}

std::int32_t WindowCore::Shell(std::string_view path, std::int16_t window_style) {
  return StartProgram(disc_, path, window_style);
}

void WindowCore::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  DestroyWindow();
  host_.Release();  // running procedures still hold the window object
}

std::intptr_t WindowCore::ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                                        std::string_view parameters, std::string_view directory,
                                        std::int32_t show) {
  return disc_.Open(owner, operation, file, parameters, directory, show);
}

void WindowCore::Dispatch(Control control, MouseEvent event, const MouseArgs& args) {
  if (!unloaded_ && State(control).enabled) host_.Run(control, event, args);
}

void WindowCore::WindowGone() {
  unloaded_ = true;
  host_.Release();
}

}  // namespace platform
