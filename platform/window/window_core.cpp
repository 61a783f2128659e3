#include "platform/window/window_core.h"

#include <cstdio>
#include <new>
#include <utility>

namespace platform {
namespace {

// SetCursor's handles: 0 shows no pointer; this one lets each control show its own.
constexpr CursorHandle kControlPointers = 1;

}  // namespace

WindowCore::WindowCore(const ProgramDescription& program, Disc& disc)
    : layout_(program.window),
      disc_(disc),
      host_(program),
      client_{0, 0, PixelsFromTwips(program.window.client_width), PixelsFromTwips(program.window.client_height)},
      override_(kControlPointers) {}

int WindowCore::Run() {
  try {
    Open();
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

void WindowCore::Open() {
  CreateControls();
  dirty_ = client_;
  BuildWindow();
  canvas_pixels_ = CanvasMemory();
  if (canvas_pixels_ == nullptr) {
    canvas_.assign(static_cast<std::size_t>(client_.w) * client_.h, 0);
    canvas_pixels_ = canvas_.data();
  }
  host_.Load(*this);
  PresentChanges();  // the window appears with its pictures, never without
  if (!unloaded_) ShowWindow();
}

void WindowCore::Loop() {
  for (;;) {
    DoEvents();
    if (unloaded_) break;
    WaitForEvents();  // an idle launcher uses no processor
  }
}

void WindowCore::Fail(const ErrorText& text) {
  unloaded_ = true;
  held_.clear();
  DestroyWindow();
  std::fprintf(stderr, "autorun: %s\nautorun: %s\n", text.chinese.c_str(), text.english.c_str());
  std::fflush(stderr);
  ShowError(text);
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
    auto [pointer, added] = built_in_pointers_.try_emplace(bytes.data(), 0);
    if (added) {
      auto decoded = pictures::DecodeCursorFile(bytes);
      if (const auto* file = std::get_if<pictures::CursorFile>(&decoded)) pointer->second = MakePointer({*file, bytes, {}});
    }
    s.pointer = pointer->second;
  }
}

// --- input -------------------------------------------------------------------

void WindowCore::Post(const Input& on_screen) {
  // The procedures see the positions they would see at F = 1, whatever the scale.
  Input input = on_screen;
  input.x = scale_.Logical(input.x);
  input.y = scale_.Logical(input.y);
  // A run of motion not yet handled is one movement, to its latest position: a pointer
  // reports where it is, not every place it passed.
  if (input.kind == InputKind::Motion && !held_.empty() && held_.back().kind == InputKind::Motion)
    held_.back() = input;
  else
    held_.push_back(input);
}

void WindowCore::SetScale(Scale scale) {
  if (scale == scale_) return;
  scale_ = scale;
  exposed_ = client_;
}

void WindowCore::DoEvents() {
  ReadEvents();
  RunHeld();
  PresentChanges();  // what the procedures changed, once per round
}

void WindowCore::RunHeld() {
  // Older input first, and none while as many procedures run as may nest: it waits, in order.
  while (!held_.empty() && host_.MayNest()) {
    const Input input = held_.front();
    held_.pop_front();
    Deliver(input);
  }
}

void WindowCore::Deliver(const Input& input) {
  ControlState* target = captured_ != nullptr ? captured_ : ControlAt(input.x, input.y);
  switch (input.kind) {
    case InputKind::Press:
      // The control that takes a press keeps the mouse until every button is up.
      if (captured_ == nullptr && target != nullptr) {
        captured_ = target;
        CaptureChanged(true);
      }
      Dispatch(target, MouseEvent::Down, input, input.button);
      break;
    case InputKind::Release:
      // The capture ends before the procedure runs: its wait must leave the other controls usable.
      if (input.held == 0 && captured_ != nullptr) {
        captured_ = nullptr;
        CaptureChanged(false);
      }
      Dispatch(target, MouseEvent::Up, input, input.button);
      break;
    case InputKind::Motion:
      // Systems repeat a move when nothing moved (a window shown, a capture released).
      if (last_motion_ == std::pair{input.x, input.y}) return;
      last_motion_ = {input.x, input.y};
      Dispatch(target, MouseEvent::Move, input, input.held);
      break;
    case InputKind::KeyDown:
    case InputKind::KeyUp:
      OnKey(input);
      break;
    case InputKind::Focused:
      if (focus_) RunProcedure(*focus_, MouseEvent::Move, AtCentre(*focus_, 0));
      break;
  }
}

// --- the keyboard ------------------------------------------------------------

void WindowCore::OnKey(const Input& input) {
  if (input.kind == InputKind::KeyUp) {
    // Only the release of the key whose press acted, on the button it acted on.
    if (!activation_ || activation_->key != input.key) return;
    const Activation done = *std::exchange(activation_, std::nullopt);
    if (focus_ == done.control) RunProcedure(done.control, MouseEvent::Up, done.args);
    return;
  }
  switch (input.key) {
    case Key::Tab: MoveFocus((input.shift & 1) != 0 ? -1 : 1, true); break;
    case Key::Down:
    case Key::Right: MoveFocus(1, true); break;
    case Key::Up:
    case Key::Left: MoveFocus(-1, true); break;
    case Key::Space:
    case Key::Enter:
      if (input.repeat || !focus_ || activation_) return;
      activation_ = Activation{*focus_, input.key, AtCentre(*focus_, kLeftButton)};
      RunProcedure(activation_->control, MouseEvent::Down, activation_->args);
      break;
    case Key::Other: break;
  }
}

void WindowCore::MoveFocus(int step, bool hover_now) {
  const std::span<const Control> order = layout_.focus_order;
  const int count = static_cast<int>(order.size());
  int at = step > 0 ? -1 : count;
  for (int i = 0; focus_ && i < count; ++i)
    if (order[i] == *focus_) at = i;
  std::optional<Control> next;
  for (int n = 1; n <= count && !next; ++n) {
    const Control c = order[((at + step * n) % count + count) % count];
    if (State(c).enabled) next = c;
  }
  if (next == focus_) return;
  dirty_ = dirty_.Union(FocusRing());
  focus_ = next;
  dirty_ = dirty_.Union(FocusRing());
  if (!focus_) return;
  // The help panel explains the focused button as a hover would.
  if (hover_now)
    RunProcedure(*focus_, MouseEvent::Move, AtCentre(*focus_, 0));
  else
    held_.push_back({InputKind::Focused});  // not inside the procedure that disabled a button: after it
}

MouseArgs WindowCore::AtCentre(Control control, std::int16_t button) {
  const PixelRect& area = State(control).area;
  return ArgsAt(area.w / 2, area.h / 2, button, 0);
}

PixelRect WindowCore::FocusRing() const {
  if (!focus_) return {};
  const PixelRect& a = controls_[static_cast<std::size_t>(*focus_)].area;
  return {a.x - 1, a.y - 1, a.w + 2, a.h + 2};
}

void WindowCore::Dispatch(ControlState* target, MouseEvent event, const Input& input, std::int16_t button) {
  if (target != nullptr)
    RunProcedure(target->layout->id, event,
                 ArgsAt(input.x - target->area.x, input.y - target->area.y, button, input.shift));
}

void WindowCore::RunProcedure(Control control, MouseEvent event, const MouseArgs& args) {
  if (!unloaded_ && State(control).enabled) host_.Run(control, event, args);
}

ControlState* WindowCore::ControlAt(int x, int y) {
  // A disabled control lets the pointer through to what lies beneath.
  for (const ControlLayout& c : layout_.controls) {
    ControlState& s = State(c.id);
    if (s.enabled && s.area.Contains(x, y)) return &s;
  }
  return nullptr;
}

// --- drawing -----------------------------------------------------------------

void WindowCore::PresentChanges() {
  if (unloaded_ || (dirty_.Empty() && exposed_.Empty())) return;
  const PixelRect changed = dirty_, shown = dirty_.Union(exposed_);
  dirty_ = exposed_ = {};
  Compose(canvas(), back_to_front_, changed);
  DrawFocusRing(canvas(), FocusRing(), changed);
  Present(shown);
}

Picture WindowCore::LoadPicture(std::string_view path) { return LoadPictureFile(disc_, path); }

void WindowCore::SetPicture(Control control, const Picture& picture) {
  if (unloaded_) return;
  const PixelRect ring_before = focus_ == control ? FocusRing() : PixelRect{};
  const PixelRect changed = AssignPicture(State(control), picture);
  if (changed.Empty()) return;
  dirty_ = dirty_.Union(changed.Intersect(client_)).Union(ring_before);
  if (focus_ == control) dirty_ = dirty_.Union(FocusRing());  // the ring follows the picture's size
  ControlChanged(control);
}

void WindowCore::SetEnabled(Control control, bool enabled) {
  if (unloaded_) return;
  ControlState& s = State(control);
  if (s.enabled == enabled) return;
  s.enabled = enabled;
  // Focus leaves a button as it is disabled, as if Tab had been pressed.
  if (!enabled && focus_ == control) MoveFocus(1, false);
  ControlChanged(control);
}

// --- pointers ----------------------------------------------------------------

CursorHandle WindowCore::LoadCursorFromFileA(std::string_view path) {
  const std::optional<pictures::CursorFile> file = LoadCursorFile(disc_, path);
  if (!file) return 0;
  const std::uintptr_t pointer = MakePointer({*file, {}, path});
  if (pointer == 0) return 0;
  loaded_pointers_.push_back(pointer);
  return static_cast<CursorHandle>(loaded_pointers_.size() + 1);
}

CursorHandle WindowCore::SetCursor(CursorHandle cursor) {
  if (cursor > kControlPointers && cursor - 2 >= loaded_pointers_.size()) return 0;
  // The override holds over every control while the pointer moves, until it is put back.
  const CursorHandle previous = std::exchange(override_, cursor);
  if (!unloaded_) PointersChanged();
  return previous;
}

std::uintptr_t WindowCore::PointerOf(const ControlState* over) const {
  if (override_ == 0) return kHiddenPointer;
  if (override_ != kControlPointers) return loaded_pointers_[override_ - 2];
  return over != nullptr && over->enabled ? over->pointer : 0;
}

// --- programs and the window object ------------------------------------------------

std::int32_t WindowCore::Shell(std::string_view path, std::int16_t window_style) {
  return StartProgram(disc_, path, window_style);
}

std::intptr_t WindowCore::ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                                        std::string_view parameters, std::string_view directory,
                                        std::int32_t show) {
  return disc_.Open(owner, operation, file, parameters, directory, show);
}

void WindowCore::Unload() {
  if (unloaded_) return;
  WindowGone();
  DestroyWindow();
}

void WindowCore::End() {
  unloaded_ = true;  // nothing more happens on the way out
  throw ProgramEnd{};
}

void WindowCore::WindowGone() {
  unloaded_ = true;
  held_.clear();
  captured_ = nullptr;
  activation_.reset();
  host_.Release();  // running procedures still hold the window object
}

}  // namespace platform
