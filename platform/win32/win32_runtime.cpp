#include "platform/win32/win32_runtime.h"

#include <windows.h>

#include <objbase.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pictures/dib.h"
#include "platform/disc/win32_disc.h"
#include "platform/win32/error_box.h"
#include "platform/window/window_core.h"

namespace platform {
namespace {

constexpr wchar_t kWindowClass[] = L"AutorunWindow";
// A fixed frame: caption, close and minimise; no sizing border, no maximise.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kResourceVersion = 0x00030000;  // icon and cursor resource format

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
  auto read = pictures::ReadIconDirectory(bytes);
  const pictures::IconDirectory* directory = std::get_if<pictures::IconDirectory>(&read);
  if (directory == nullptr) return nullptr;
  const pictures::IconEntry& entry = directory->entries[pictures::PreferredIconEntry(*directory)];
  if (std::holds_alternative<pictures::PictureError>(pictures::DecodeIconEntry(bytes, entry))) return nullptr;
  const bool is_icon = directory->kind == pictures::IconKind::Icon;
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

class Win32Runtime final : public WindowCore {
 public:
  Win32Runtime(const ProgramDescription& program, Disc& disc) : WindowCore(program, disc) {}
  ~Win32Runtime() override;

 private:
  // The window: one system window; the controls are drawn into it and hit-tested here.
  void BuildWindow() override;
  void SetIcons();
  WindowHandle NativeHandle() override { return reinterpret_cast<WindowHandle>(hwnd_); }
  void ShowWindow() override;
  void DestroyWindow() override;
  ControlState* HitTest(POINT p);

  // Messages. A procedure's error or End must not cross the system's frames:
  // it waits in pending_ until control is back in ours.
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Loop() override;
  void DoEvents() override;
  bool TakePendingMessage(MSG& message);
  void RethrowPending();
  void OnButtonDown(std::int16_t button, WPARAM keys, LPARAM position);
  void OnButtonUp(std::int16_t button, WPARAM keys, LPARAM position);
  void OnMouseMove(WPARAM keys, LPARAM position);
  void Dispatch(ControlState* target, MouseEvent kind, POINT p, std::int16_t button, WPARAM keys);

  // Drawing: composed at once into the canvas, put to the window on paint.
  void CreateCanvas();
  void Invalidate(const PixelRect& r) override;
  void Paint();

  // Pointers: the system's, shown on WM_SETCURSOR.
  std::uintptr_t MakePointer(std::span<const std::uint8_t> cursor_file) override;
  CursorHandle LoadCursorFromFileA(std::string_view path) override;
  CursorHandle SetCursor(CursorHandle cursor) override;
  void ShowPointer();

  void ReportError(const ErrorText& text) override { ReportErrorOnWin32(text); }

  HWND hwnd_ = nullptr;
  bool class_registered_ = false;
  std::exception_ptr pending_;

  // The client area composed in memory and put to the window on paint.
  HDC canvas_dc_ = nullptr;
  HBITMAP canvas_bitmap_ = nullptr;
  HGDIOBJ canvas_old_ = nullptr;
  std::uint32_t* canvas_ = nullptr;  // ARGB pixels, client().w per row, top-down

  // Mouse capture: the control that took the press keeps the events until every button is up.
  ControlState* captured_ = nullptr;
  std::optional<POINT> last_move_;

  HICON icon_ = nullptr, small_icon_ = nullptr;
  HCURSOR arrow_ = nullptr;
  std::vector<HCURSOR> embedded_pointers_;
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
  for (HCURSOR cursor : embedded_pointers_) DestroyCursor(cursor);
  if (icon_ != nullptr) DestroyIcon(icon_);
  if (small_icon_ != nullptr) DestroyIcon(small_icon_);
  if (class_registered_) UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
}

void Win32Runtime::BuildWindow() {
  arrow_ = LoadCursorA(nullptr, IDC_ARROW);
  CreateCanvas();
  Invalidate(client());
  SetIcons();

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &WindowProcedure;
  window_class.hInstance = instance;
  window_class.hIcon = icon_;
  window_class.hIconSm = small_icon_;
  window_class.lpszClassName = kWindowClass;
  if (RegisterClassExW(&window_class) == 0) throw RuntimeError("Load", std::string(layout().name), Cause::OutOfResources);
  class_registered_ = true;

  RECT frame = RectOf(client());
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = static_cast<int>(work.left) + std::max(0, static_cast<int>(work.right - work.left - width) / 2);
  const int y = static_cast<int>(work.top) + std::max(0, static_cast<int>(work.bottom - work.top - height) / 2);
  const std::wstring caption = WideFromUtf8(layout().caption);
  hwnd_ = CreateWindowExW(0, kWindowClass, caption.c_str(), kWindowStyle, x, y, width, height, nullptr, nullptr,
                          instance, this);
  if (hwnd_ == nullptr) throw RuntimeError("Load", std::string(layout().name), Cause::OutOfResources);
}

void Win32Runtime::CreateCanvas() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = client().w;
  info.bmiHeader.biHeight = -client().h;  // rows top-down, as the pictures are
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  canvas_bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  canvas_dc_ = CreateCompatibleDC(nullptr);
  if (canvas_bitmap_ == nullptr || canvas_dc_ == nullptr || bits == nullptr)
    throw RuntimeError("Load", std::string(layout().name), Cause::OutOfResources);
  canvas_old_ = SelectObject(canvas_dc_, canvas_bitmap_);
  canvas_ = static_cast<std::uint32_t*>(bits);
}

void Win32Runtime::SetIcons() {
  const EmbeddedBytes icon = layout().icon;
  if (icon == nullptr) return;
  icon_ = IconFromFileBytes(icon(), 0, 0);
  small_icon_ = IconFromFileBytes(icon(), GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
}

std::uintptr_t Win32Runtime::MakePointer(std::span<const std::uint8_t> cursor_file) {
  const HCURSOR cursor = static_cast<HCURSOR>(IconFromFileBytes(cursor_file, 0, 0));
  if (cursor != nullptr) embedded_pointers_.push_back(cursor);
  return reinterpret_cast<std::uintptr_t>(cursor);
}

void Win32Runtime::ShowWindow() {
  // A window appearing under a resting pointer is not a movement of it.
  POINT resting{};
  if (GetCursorPos(&resting) && ScreenToClient(hwnd_, &resting)) last_move_ = resting;
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  RethrowPending();
}

void Win32Runtime::Loop() {
  MSG message;
  while (!unloaded() && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
    RethrowPending();
  }
}

bool Win32Runtime::TakePendingMessage(MSG& message) {
  if (MayNest()) return PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
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
      if (LOWORD(lparam) != HTCLIENT || unloaded()) break;
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
      WindowGone();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

ControlState* Win32Runtime::HitTest(POINT p) {
  // Front to back; a disabled control lets the pointer through to what lies beneath.
  for (const ControlLayout& c : layout().controls) {
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
  if (target == nullptr || pending_) return;
  const MouseArgs args = ArgsAt(p.x - target->area.x, p.y - target->area.y, button, ShiftStateOf(keys));
  WindowCore::Dispatch(target->layout->id, kind, args);
}

void Win32Runtime::DestroyWindow() {
  captured_ = nullptr;
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

void Win32Runtime::Invalidate(const PixelRect& requested) {
  const PixelRect r = requested.Intersect(client());
  if (r.Empty()) return;
  GdiFlush();  // no drawing from the canvas may still be queued while it changes
  Compose({canvas_, client().w, client().h}, BackToFront(), r);
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
  ::SetCursor(over != nullptr && over->pointer != 0 ? reinterpret_cast<HCURSOR>(over->pointer) : arrow_);
}

CursorHandle Win32Runtime::LoadCursorFromFileA(std::string_view path) {
  // The system's loader is only handed files our own reader accepts.
  if (!LoadCursorFile(disc(), path)) return 0;
  const std::string file(path);
  return HandleOf(::LoadCursorFromFileA(file.c_str()));
}

CursorHandle Win32Runtime::SetCursor(CursorHandle cursor) {
  const HCURSOR wanted = CursorOf(cursor);
  const HCURSOR previous = ::SetCursor(wanted);
  // The override holds while the pointer moves, until what showed before it is put back.
  if (!unloaded()) {
    if (override_ && wanted == before_override_) {
      override_.reset();
    } else {
      if (!override_) before_override_ = previous;
      override_ = wanted;
    }
  }
  return HandleOf(previous);
}

}  // namespace

int RunOnWin32(const ProgramDescription& program) {
  // Picture loading and the shell's "open" want COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  int status = 0;
  {
    Win32Disc disc;
    Win32Runtime runtime(program, disc);
    status = runtime.Run();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}

}  // namespace platform
