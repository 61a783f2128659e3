#include "platform/win32/win32_runtime.h"

#include <windows.h>

#include <objbase.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
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

Key KeyOf(WPARAM virtual_key) {
  switch (virtual_key) {
    case VK_TAB: return Key::Tab;
    case VK_UP: return Key::Up;
    case VK_DOWN: return Key::Down;
    case VK_LEFT: return Key::Left;
    case VK_RIGHT: return Key::Right;
    case VK_SPACE: return Key::Space;
    case VK_RETURN: return Key::Enter;
    default: return Key::Other;
  }
}

RECT RectOf(const PixelRect& r) { return RECT{r.x, r.y, r.x + r.w, r.y + r.h}; }

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
  // The window: one system window; the core draws the controls and hit-tests them.
  void BuildWindow() override;
  void SetIcons();
  WindowHandle NativeHandle() override { return reinterpret_cast<WindowHandle>(hwnd_); }
  void ShowWindow() override;
  void DestroyWindow() override;

  // Messages, translated for the core. No procedure runs inside the window procedure.
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void ReadEvents() override;
  void WaitForEvents() override { WaitMessage(); }
  void PostMouse(InputKind kind, std::int16_t button, WPARAM keys, LPARAM position);
  void CaptureChanged(bool captured) override { captured ? (void)SetCapture(hwnd_) : (void)ReleaseCapture(); }

  // Drawing: the core's composed pixels, put to the window on paint.
  void Present(const PixelRect& area) override;
  void Paint();

  // Pointers: the system's, shown on WM_SETCURSOR.
  std::uintptr_t MakePointer(const PointerFile& file) override;
  void PointersChanged() override;
  bool ShowPointer();

  void ShowError(const ErrorText& text) override { ShowErrorBox(text); }

  HWND hwnd_ = nullptr;
  bool class_registered_ = false;
  HICON icon_ = nullptr, small_icon_ = nullptr;
  HCURSOR arrow_ = nullptr;
  std::vector<HCURSOR> made_pointers_;
};

Win32Runtime::~Win32Runtime() {
  DestroyWindow();
  for (HCURSOR cursor : made_pointers_) DestroyCursor(cursor);
  if (icon_ != nullptr) DestroyIcon(icon_);
  if (small_icon_ != nullptr) DestroyIcon(small_icon_);
  if (class_registered_) UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
}

void Win32Runtime::BuildWindow() {
  arrow_ = LoadCursorA(nullptr, IDC_ARROW);
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

void Win32Runtime::SetIcons() {
  const EmbeddedBytes icon = layout().icon;
  if (icon == nullptr) return;
  icon_ = IconFromFileBytes(icon(), 0, 0);
  small_icon_ = IconFromFileBytes(icon(), GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
}

std::uintptr_t Win32Runtime::MakePointer(const PointerFile& file) {
  // The system's loader reads a pointer file on the disc, animated ones included; our reader has accepted it.
  if (!file.disc_path.empty()) {
    const std::string path(file.disc_path);
    return reinterpret_cast<std::uintptr_t>(::LoadCursorFromFileA(path.c_str()));
  }
  const HCURSOR cursor = static_cast<HCURSOR>(IconFromFileBytes(file.built_in, 0, 0));
  if (cursor != nullptr) made_pointers_.push_back(cursor);
  return reinterpret_cast<std::uintptr_t>(cursor);
}

void Win32Runtime::ShowWindow() {
  // A window appearing under a resting pointer is not a movement of it.
  POINT resting{};
  if (GetCursorPos(&resting) && ScreenToClient(hwnd_, &resting)) PointerRestsAt(resting.x, resting.y);
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
}

void Win32Runtime::ReadEvents() {
  MSG message;
  while (WantsInput() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for whoever owns it
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
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
  return self->Handle(message, wparam, lparam);
}

LRESULT Win32Runtime::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the picture covers everything
    case WM_SETCURSOR:
      if (LOWORD(lparam) != HTCLIENT || !ShowPointer()) break;
      return TRUE;
    case WM_LBUTTONDOWN: PostMouse(InputKind::Press, kLeftButton, wparam, lparam); return 0;
    case WM_RBUTTONDOWN: PostMouse(InputKind::Press, kRightButton, wparam, lparam); return 0;
    case WM_MBUTTONDOWN: PostMouse(InputKind::Press, kMiddleButton, wparam, lparam); return 0;
    case WM_LBUTTONUP: PostMouse(InputKind::Release, kLeftButton, wparam, lparam); return 0;
    case WM_RBUTTONUP: PostMouse(InputKind::Release, kRightButton, wparam, lparam); return 0;
    case WM_MBUTTONUP: PostMouse(InputKind::Release, kMiddleButton, wparam, lparam); return 0;
    case WM_MOUSEMOVE: PostMouse(InputKind::Motion, 0, wparam, lparam); return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
      // Bit 30 of a key-down: the key was down already, this is its automatic repeat.
      Post({message == WM_KEYDOWN ? InputKind::KeyDown : InputKind::KeyUp, 0, 0, 0, 0,
            ShiftArgument({GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0}),
            KeyOf(wparam), message == WM_KEYDOWN && (lparam & (1 << 30)) != 0});
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != hwnd_) CaptureLost();  // taken away from us
      return 0;
    case WM_CLOSE:
      CloseRequested();
      return 0;
    case WM_DESTROY:
      WindowGone();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void Win32Runtime::PostMouse(InputKind kind, std::int16_t button, WPARAM keys, LPARAM position) {
  Post({kind, GET_X_LPARAM(position), GET_Y_LPARAM(position), button, HeldButtonsOf(keys), ShiftStateOf(keys)});
}

void Win32Runtime::DestroyWindow() {
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

void Win32Runtime::Present(const PixelRect& area) {
  const RECT r = RectOf(area);
  if (hwnd_ != nullptr) InvalidateRect(hwnd_, &r, FALSE);
}

void Win32Runtime::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  const Canvas canvas = this->canvas();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = canvas.width;
  info.bmiHeader.biHeight = -canvas.height;  // rows top-down, as the canvas holds them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, 0, 0, canvas.width, canvas.height, 0, 0, 0, canvas.height, canvas.pixels, &info,
                    DIB_RGB_COLORS);
  EndPaint(hwnd_, &paint);
}

bool Win32Runtime::ShowPointer() {
  if (unloaded()) return false;
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(hwnd_, &p);
  const std::uintptr_t pointer = PointerAt(p.x, p.y);
  ::SetCursor(pointer == 0 ? arrow_ : pointer == kHiddenPointer ? nullptr : reinterpret_cast<HCURSOR>(pointer));
  return true;
}

void Win32Runtime::PointersChanged() {
  // At once where the pointer is over the window; elsewhere at its next WM_SETCURSOR.
  POINT p{};
  if (GetCursorPos(&p) && WindowFromPoint(p) == hwnd_ && ScreenToClient(hwnd_, &p) && screen_client().Contains(p.x, p.y))
    ShowPointer();
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
