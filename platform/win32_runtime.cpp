#include "platform/win32_runtime.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/control_geometry.h"
#include "platform/dib.h"
#include "platform/win32_disc.h"
#include "platform/win32_error_box.h"

namespace platform {
namespace {

constexpr wchar_t kWindowClass[] = L"AutorunWindow";
// A fixed frame: caption, close and minimise; no sizing border, no maximise.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kResourceVersion = 0x00030000;  // icon and cursor resource format

struct ControlState : ControlSurface {
  const ControlLayout* layout = nullptr;
  HCURSOR pointer = nullptr;  // null: the arrow
};

// Windows gives the held buttons and keys as flags; alt is not among them.
std::int16_t HeldButtonsOf(WPARAM keys) {
  return ButtonArgument({(keys & MK_LBUTTON) != 0, (keys & MK_RBUTTON) != 0, (keys & MK_MBUTTON) != 0});
}

std::int16_t ShiftStateOf(WPARAM keys) {
  return ShiftArgument({(keys & MK_SHIFT) != 0, (keys & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0});
}

POINT PointOf(LPARAM position) { return POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)}; }
RECT RectOf(const PixelRect& r) { return RECT{r.x, r.y, r.x + r.w, r.y + r.h}; }

// A user handle fits 32 bits on 64-bit Windows too; it widens with its sign.
CursorHandle HandleOf(HCURSOR cursor) {
  return static_cast<CursorHandle>(reinterpret_cast<std::uintptr_t>(cursor));
}
HCURSOR CursorOf(CursorHandle handle) {
  return reinterpret_cast<HCURSOR>(static_cast<std::intptr_t>(static_cast<std::int32_t>(handle)));
}

// One entry of an icon or cursor file as a system icon or cursor, after our
// own reader has accepted its image.
HICON IconFromFileBytes(std::span<const std::uint8_t> bytes, int width, int height) {
  auto read = ReadIconDirectory(bytes);
  const IconDirectory* directory = std::get_if<IconDirectory>(&read);
  if (directory == nullptr) return nullptr;
  const IconEntry& entry = directory->entries[PreferredIconEntry(*directory)];
  if (std::holds_alternative<PictureError>(DecodeIconEntry(bytes, entry))) return nullptr;
  const bool is_icon = directory->kind == IconKind::Icon;
  // A cursor resource starts with its hot spot; an icon shown as a pointer has it in the centre.
  const std::size_t hotspot_bytes = is_icon ? 0 : 4;
  std::vector<std::uint8_t> resource(hotspot_bytes + entry.size);
  if (!is_icon) {
    resource[0] = static_cast<std::uint8_t>(entry.planes_or_hotspot_x & 0xFF);
    resource[1] = static_cast<std::uint8_t>(entry.planes_or_hotspot_x >> 8);
    resource[2] = static_cast<std::uint8_t>(entry.bits_or_hotspot_y & 0xFF);
    resource[3] = static_cast<std::uint8_t>(entry.bits_or_hotspot_y >> 8);
  }
  std::copy_n(bytes.begin() + entry.offset, entry.size, resource.begin() + static_cast<std::ptrdiff_t>(hotspot_bytes));
  return CreateIconFromResourceEx(resource.data(), static_cast<DWORD>(resource.size()), is_icon, kResourceVersion,
                                  width > 0 ? width : entry.width, height > 0 ? height : entry.height,
                                  LR_DEFAULTCOLOR);
}

class Win32Runtime final : public Runtime {
 public:
  explicit Win32Runtime(const ProgramDescription& program) : program_(program), events_(program.bindings) {}
  ~Win32Runtime() override;

  void Create();
  void LoadForm() {
    form_ = program_.create_form(*this);
    program_.form_load(*form_);
  }
  void Show();
  void Loop();
  void DestroyWindow();

  Picture LoadPicture(std::string_view path) override { return LoadPictureOnWin32(path); }
  void SetPicture(Control control, const Picture& picture) override;
  void SetEnabled(Control control, bool enabled) override;
  WindowHandle hWnd() override { return unloaded_ ? 0 : reinterpret_cast<WindowHandle>(hwnd_); }
  std::int32_t Shell(std::string_view path, std::int16_t window_style) override {
    return StartProgramOnWin32(path, window_style);
  }
  void DoEvents() override;
  void Unload() override;
  [[noreturn]] void End() override { throw ProgramEnd{}; }
  CursorHandle LoadCursorFromFileA(std::string_view path) override;
  CursorHandle SetCursor(CursorHandle cursor) override;
  std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                              std::string_view parameters, std::string_view directory, std::int32_t show) override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  ControlState& State(Control c) { return controls_[static_cast<std::size_t>(c)]; }
  void CreateControls();
  void CreateCanvas();
  void SetIcons();
  void RethrowPending();
  bool TakePendingMessage(MSG& message);
  void OnButtonDown(std::int16_t button, WPARAM keys, LPARAM position);
  void OnButtonUp(std::int16_t button, WPARAM keys, LPARAM position);
  void OnMouseMove(WPARAM keys, LPARAM position);
  ControlState* HitTest(POINT p);
  void Dispatch(ControlState* target, MouseEvent kind, POINT p, std::int16_t button, WPARAM keys);
  void ShowPointer();
  void Redraw(const PixelRect& r);
  void Paint();
  HCURSOR EmbeddedCursor(std::span<const std::uint8_t> bytes);

  const ProgramDescription& program_;
  EventTable events_;
  std::shared_ptr<Form> form_;
  HWND hwnd_ = nullptr;
  PixelRect client_;
  std::array<ControlState, kControlCount> controls_{};
  std::vector<const ControlSurface*> back_to_front_;  // the background control is last in the layout
  std::vector<std::uint8_t> object_copy_;  // the background, where its object held it in pieces
  bool unloaded_ = false;
  bool class_registered_ = false;
  int running_ = 0;  // procedures running, nested in each other's waits
  // A procedure's error or End, caught before it reaches the system's frames
  // and thrown again once control is back in ours.
  std::exception_ptr pending_;

  // The client area composed in memory and put to the window on paint.
  HDC canvas_dc_ = nullptr;
  HBITMAP canvas_bitmap_ = nullptr;
  HGDIOBJ canvas_old_ = nullptr;
  std::uint32_t* canvas_ = nullptr;  // ARGB pixels, client_.w per row, top-down

  // Mouse capture: the control that took the press keeps the events until every button is up.
  ControlState* captured_ = nullptr;
  std::optional<POINT> last_move_;

  HICON icon_ = nullptr, small_icon_ = nullptr;
  HCURSOR arrow_ = nullptr;
  std::map<const std::uint8_t*, HCURSOR> embedded_cursors_;
  // SetCursor's override of the controls' pointers, and what showed before it.
  std::optional<HCURSOR> override_;
  HCURSOR before_override_ = nullptr;
};

Win32Runtime::~Win32Runtime() {
  DestroyWindow();
  if (canvas_dc_ != nullptr) {
    SelectObject(canvas_dc_, canvas_old_);
    DeleteDC(canvas_dc_);
  }
  if (canvas_bitmap_ != nullptr) DeleteObject(canvas_bitmap_);
  for (auto& [bytes, cursor] : embedded_cursors_)
    if (cursor != nullptr) DestroyCursor(cursor);
  if (icon_ != nullptr) DestroyIcon(icon_);
  if (small_icon_ != nullptr) DestroyIcon(small_icon_);
  if (class_registered_) UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
}

void Win32Runtime::Create() {
  const WindowLayout& layout = program_.window;
  client_ = {0, 0, PixelsFromTwips(layout.client_width), PixelsFromTwips(layout.client_height)};
  arrow_ = LoadCursorA(nullptr, IDC_ARROW);
  CreateControls();
  CreateCanvas();
  Redraw(client_);
  SetIcons();

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &WindowProcedure;
  window_class.hInstance = instance;
  window_class.hIcon = icon_;
  window_class.hIconSm = small_icon_;
  window_class.lpszClassName = kWindowClass;
  if (RegisterClassExW(&window_class) == 0) throw RuntimeError("Load", std::string(layout.name), "out of resources");
  class_registered_ = true;

  RECT frame = RectOf(client_);
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = static_cast<int>(work.left) + std::max(0, static_cast<int>(work.right - work.left - width) / 2);
  const int y = static_cast<int>(work.top) + std::max(0, static_cast<int>(work.bottom - work.top - height) / 2);
  const std::wstring caption = WideFromUtf8(layout.caption);
  hwnd_ = CreateWindowExW(0, kWindowClass, caption.c_str(), kWindowStyle, x, y, width, height, nullptr, nullptr,
                          instance, this);
  if (hwnd_ == nullptr) throw RuntimeError("Load", std::string(layout.name), "out of resources");
}

void Win32Runtime::CreateControls() {
  const std::span<const ControlLayout> controls = program_.window.controls;
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    ControlState& s = State(it->id);
    static_cast<ControlSurface&>(s) = DesignSurface(*it, object_copy_);
    s.layout = &*it;
    back_to_front_.push_back(&s);
    if (it->pointer == MousePointer::Custom && it->mouse_icon != nullptr) s.pointer = EmbeddedCursor(it->mouse_icon());
  }
}

void Win32Runtime::CreateCanvas() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = client_.w;
  info.bmiHeader.biHeight = -client_.h;  // rows top-down, as the pictures are
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  canvas_bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  canvas_dc_ = CreateCompatibleDC(nullptr);
  if (canvas_bitmap_ == nullptr || canvas_dc_ == nullptr || bits == nullptr)
    throw RuntimeError("Load", std::string(program_.window.name), "out of resources");
  canvas_old_ = SelectObject(canvas_dc_, canvas_bitmap_);
  canvas_ = static_cast<std::uint32_t*>(bits);
}

void Win32Runtime::SetIcons() {
  const EmbeddedBytes icon = program_.window.icon;
  if (icon == nullptr) return;
  icon_ = IconFromFileBytes(icon(), 0, 0);
  small_icon_ = IconFromFileBytes(icon(), GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
}

HCURSOR Win32Runtime::EmbeddedCursor(std::span<const std::uint8_t> bytes) {
  // The four buttons carry the same pointer: one system cursor for all of them.
  auto [it, added] = embedded_cursors_.try_emplace(bytes.data(), nullptr);
  if (added) it->second = static_cast<HCURSOR>(IconFromFileBytes(bytes, 0, 0));
  return it->second;
}

void Win32Runtime::Show() {
  // A window appearing under a resting pointer is not a movement of it.
  POINT resting{};
  if (GetCursorPos(&resting) && ScreenToClient(hwnd_, &resting)) last_move_ = resting;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  RethrowPending();
}

void Win32Runtime::Loop() {
  MSG message;
  while (!unloaded_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
    RethrowPending();
  }
}

bool Win32Runtime::TakePendingMessage(MSG& message) {
  if (running_ < kMaxNesting) return PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
  return PeekMessageW(&message, nullptr, 0, WM_MOUSEFIRST - 1, PM_REMOVE) ||
         PeekMessageW(&message, nullptr, WM_MOUSELAST + 1, 0xFFFFFFFFu, PM_REMOVE);
}

void Win32Runtime::DoEvents() {
  MSG message;
  while (TakePendingMessage(message)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that owns it
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    RethrowPending();
  }
  RethrowPending();  // also what a message sent to us inside PeekMessage raised
}

void Win32Runtime::RethrowPending() {
  if (!pending_) return;
  std::exception_ptr error = std::exchange(pending_, nullptr);
  std::rethrow_exception(error);
}

LRESULT CALLBACK Win32Runtime::WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<Win32Runtime*>(create->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32Runtime*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  // No exception may cross the system's frames: kept until our code resumes.
  try {
    return self->Handle(message, wparam, lparam);
  } catch (...) {
    if (!self->pending_) self->pending_ = std::current_exception();
    return 0;
  }
}

LRESULT Win32Runtime::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the canvas covers everything
    case WM_SETCURSOR:
      if (LOWORD(lparam) != HTCLIENT || unloaded_) break;
      ShowPointer();
      return TRUE;
    case WM_LBUTTONDOWN: OnButtonDown(kLeftButton, wparam, lparam); return 0;
    case WM_RBUTTONDOWN: OnButtonDown(kRightButton, wparam, lparam); return 0;
    case WM_MBUTTONDOWN: OnButtonDown(kMiddleButton, wparam, lparam); return 0;
    case WM_LBUTTONUP: OnButtonUp(kLeftButton, wparam, lparam); return 0;
    case WM_RBUTTONUP: OnButtonUp(kRightButton, wparam, lparam); return 0;
    case WM_MBUTTONUP: OnButtonUp(kMiddleButton, wparam, lparam); return 0;
    case WM_MOUSEMOVE: OnMouseMove(wparam, lparam); return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != hwnd_) captured_ = nullptr;  // taken away from us
      return 0;
    case WM_CLOSE:
      Unload();  // closing through the frame runs no procedure
      return 0;
    case WM_DESTROY:
      unloaded_ = true;
      form_.reset();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

ControlState* Win32Runtime::HitTest(POINT p) {
  // Front to back; a disabled control lets the pointer through to what lies beneath.
  for (const ControlLayout& c : program_.window.controls) {
    ControlState& s = State(c.id);
    if (s.enabled && s.area.Contains(p.x, p.y)) return &s;
  }
  return nullptr;
}

void Win32Runtime::OnButtonDown(std::int16_t button, WPARAM keys, LPARAM position) {
  const POINT p = PointOf(position);
  if (captured_ == nullptr) {
    captured_ = HitTest(p);
    if (captured_ != nullptr) SetCapture(hwnd_);
  }
  Dispatch(captured_, MouseEvent::Down, p, button, keys);
}

void Win32Runtime::OnButtonUp(std::int16_t button, WPARAM keys, LPARAM position) {
  const POINT p = PointOf(position);
  ControlState* target = captured_ != nullptr ? captured_ : HitTest(p);
  // The capture ends with the last button, before the procedure runs: its wait
  // must leave the other controls usable.
  if (HeldButtonsOf(keys) == 0 && captured_ != nullptr) {
    captured_ = nullptr;
    ReleaseCapture();
  }
  Dispatch(target, MouseEvent::Up, p, button, keys);
}

void Win32Runtime::OnMouseMove(WPARAM keys, LPARAM position) {
  const POINT p = PointOf(position);
  ControlState* target = captured_ != nullptr ? captured_ : HitTest(p);
  // The system repeats a move when nothing moved (a window shown, a capture
  // released); only real movement reaches a procedure.
  if (last_move_ && last_move_->x == p.x && last_move_->y == p.y) return;
  last_move_ = p;
  Dispatch(target, MouseEvent::Move, p, HeldButtonsOf(keys), keys);
}

void Win32Runtime::Dispatch(ControlState* target, MouseEvent kind, POINT p, std::int16_t button, WPARAM keys) {
  if (target == nullptr || unloaded_ || pending_ || !target->enabled) return;
  const MouseArgs args = ArgsAt(p.x - target->area.x, p.y - target->area.y, button, ShiftStateOf(keys));
  RunBound(events_, target->layout->id, kind, form_, args, running_);
}

void Win32Runtime::SetPicture(Control control, const Picture& picture) {
  if (unloaded_) return;
  Redraw(AssignPicture(State(control), picture));
}

void Win32Runtime::SetEnabled(Control control, bool enabled) {
  if (unloaded_) return;
  State(control).enabled = enabled;
}

void Win32Runtime::Unload() {
  if (unloaded_) return;
  DestroyWindow();
  form_.reset();  // running procedures still hold the window object
}

void Win32Runtime::DestroyWindow() {
  unloaded_ = true;
  captured_ = nullptr;
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

void Win32Runtime::Redraw(const PixelRect& requested) {
  const PixelRect r = requested.Intersect(client_);
  if (r.Empty()) return;
  GdiFlush();  // no drawing from the canvas may still be queued while it changes
  Compose({canvas_, client_.w, client_.h}, back_to_front_, r);
  const RECT area = RectOf(r);
  if (hwnd_ != nullptr) InvalidateRect(hwnd_, &area, FALSE);
}

void Win32Runtime::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  const RECT& r = paint.rcPaint;
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, canvas_dc_, r.left, r.top, SRCCOPY);
  EndPaint(hwnd_, &paint);
}

void Win32Runtime::ShowPointer() {
  if (override_) {
    ::SetCursor(*override_);
    return;
  }
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(hwnd_, &p);
  const ControlState* over = HitTest(p);
  ::SetCursor(over != nullptr && over->pointer != nullptr ? over->pointer : arrow_);
}

CursorHandle Win32Runtime::LoadCursorFromFileA(std::string_view path) {
  if (!IsReadablePointerFile(path)) return 0;
  const std::string file(path);
  return HandleOf(::LoadCursorFromFileA(file.c_str()));
}

CursorHandle Win32Runtime::SetCursor(CursorHandle cursor) {
  const HCURSOR wanted = CursorOf(cursor);
  const HCURSOR previous = ::SetCursor(wanted);
  // The override holds while the pointer moves, until what showed before it is put back.
  if (!unloaded_) {
    if (override_ && wanted == before_override_) {
      override_.reset();
    } else {
      if (!override_) before_override_ = previous;
      override_ = wanted;
    }
  }
  return HandleOf(previous);
}

std::intptr_t Win32Runtime::ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                                          std::string_view parameters, std::string_view directory,
                                          std::int32_t show) {
  const std::string op(operation), path(file), args(parameters), folder(directory);
  HINSTANCE result = ::ShellExecuteA(reinterpret_cast<HWND>(owner), op.c_str(), path.c_str(), args.c_str(),
                                     folder.c_str(), show);
  return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace

int RunOnWin32(const ProgramDescription& program) {
  // Picture loading and the shell's "open" want COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  int status = 0;
  {
    Win32Runtime runtime(program);
    try {
      runtime.Create();
      runtime.LoadForm();
      runtime.Show();
      runtime.Loop();
    } catch (const ProgramEnd&) {
      status = 0;
    } catch (const RuntimeError& error) {
      runtime.DestroyWindow();
      ReportErrorOnWin32(DescribeRuntimeError(error));
      status = 1;
    } catch (const std::bad_alloc&) {
      runtime.DestroyWindow();
      ReportErrorOnWin32(DescribeRuntimeError(RuntimeError("Run", "autorun", "out of memory")));
      status = 1;
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}

}  // namespace platform
