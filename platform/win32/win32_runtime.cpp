#include "platform/win32/win32_runtime.h"

#include <windows.h>

#include <objbase.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <span>
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

// Windows 10's per-monitor DPI calls, looked up so that older systems still start the program.
template <typename F>
F User32(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// The DPI of the monitor a window is on; before Windows 10 the system's.
UINT DpiOf(HWND hwnd) {
  static const auto for_window = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (for_window != nullptr) return for_window(hwnd);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return static_cast<UINT>(dpi);
}

// The window's outer size for a client area, with the frame drawn at `dpi`.
RECT FrameFor(const PixelRect& client, UINT dpi) {
  static const auto for_dpi = User32<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT frame = RectOf(client);
  if (for_dpi == nullptr || !for_dpi(&frame, kWindowStyle, FALSE, 0, dpi)) AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  return frame;
}

// The window's place, centred in the work area, for a client area with the frame drawn at `dpi`.
RECT CentredFrame(const PixelRect& client, UINT dpi) {
  const RECT frame = FrameFor(client, dpi);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = static_cast<int>(work.left) + std::max(0, static_cast<int>(work.right - work.left - width) / 2);
  const int y = static_cast<int>(work.top) + std::max(0, static_cast<int>(work.bottom - work.top - height) / 2);
  return {x, y, x + width, y + height};
}

// A pointer from an image of our own, each pixel repeated: 32 bits with alpha, no mask.
HCURSOR CursorFromImage(const pictures::Image& image, int hotspot_x, int hotspot_y) {
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = image.width;
  header.bV5Height = -image.height;  // top-down, as the image holds its rows
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  HBITMAP mask = CreateBitmap(image.width, image.height, 1, 1, nullptr);
  HCURSOR cursor = nullptr;
  if (colour != nullptr && mask != nullptr) {
    std::copy(image.pixels.begin(), image.pixels.end(), static_cast<std::uint32_t*>(bits));
    ICONINFO info{FALSE, static_cast<DWORD>(hotspot_x), static_cast<DWORD>(hotspot_y), mask, colour};
    cursor = CreateIconIndirect(&info);
  }
  if (colour != nullptr) DeleteObject(colour);
  if (mask != nullptr) DeleteObject(mask);
  return cursor;
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

  // Pointers: the system's, shown on WM_SETCURSOR, made again for another scale.
  struct Pointer {
    std::span<const std::uint8_t> built_in;
    std::string disc_path;
    pictures::CursorFile decoded;
    HCURSOR cursor = nullptr;
    int factor = 1;  // the scale's whole factor it was made at
  };
  std::uintptr_t MakePointer(const PointerFile& file) override;
  HCURSOR Make(const Pointer& pointer, int factor);
  HCURSOR CursorOf(std::uintptr_t pointer);
  void PointersChanged() override;
  bool ShowPointer();

  void ShowError(const ErrorText& text) override { ShowErrorBox(text); }

  HWND hwnd_ = nullptr;
  bool class_registered_ = false;
  HICON icon_ = nullptr, small_icon_ = nullptr;
  HCURSOR arrow_ = nullptr;
  std::vector<Pointer> pointers_;  // MakePointer's pointer n is pointers_[n - 1]
};

Win32Runtime::~Win32Runtime() {
  DestroyWindow();
  for (const Pointer& p : pointers_)
    if (p.disc_path.empty() || p.factor > 1) DestroyCursor(p.cursor);  // the system's loader shares what it loads
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

  const std::wstring caption = WideFromUtf8(layout().caption);
  RECT place = CentredFrame(client(), 96);
  hwnd_ = CreateWindowExW(0, kWindowClass, caption.c_str(), kWindowStyle, place.left, place.top,
                          place.right - place.left, place.bottom - place.top, nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) throw RuntimeError("Load", std::string(layout().name), Cause::OutOfResources);
  // Hidden still: on a monitor of another scale, sized for it and centred again.
  const UINT dpi = DpiOf(hwnd_);
  SetScale(Scale::FromDpi(dpi));
  if (scale() == Scale{}) return;
  place = CentredFrame(screen_client(), dpi);
  SetWindowPos(hwnd_, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Runtime::SetIcons() {
  const EmbeddedBytes icon = layout().icon;
  if (icon == nullptr) return;
  icon_ = IconFromFileBytes(icon(), 0, 0);
  small_icon_ = IconFromFileBytes(icon(), GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
}

std::uintptr_t Win32Runtime::MakePointer(const PointerFile& file) {
  Pointer pointer{file.built_in, std::string(file.disc_path), file.decoded};
  pointer.factor = scale().PointerFactor();
  pointer.cursor = Make(pointer, pointer.factor);
  if (pointer.cursor == nullptr) return 0;
  pointers_.push_back(std::move(pointer));
  return pointers_.size();
}

HCURSOR Win32Runtime::Make(const Pointer& pointer, int factor) {
  if (pointer.decoded.frames.empty()) factor = 1;
  if (factor > 1 && pointer.decoded.steps.size() <= 1) {
    // One picture: each of its pixels repeated, hot spot included.
    const pictures::CursorFile& file = pointer.decoded;
    const pictures::CursorFrame& shown = file.frames[file.steps.empty() ? 0 : file.steps.front().frame];
    return CursorFromImage(Repeated(shown.image, factor), shown.hotspot_x * factor, shown.hotspot_y * factor);
  }
  // The system's loader reads a pointer file on the disc, animated ones included; our reader has accepted it.
  if (!pointer.disc_path.empty() && factor == 1) return ::LoadCursorFromFileA(pointer.disc_path.c_str());
  if (!pointer.disc_path.empty()) {  // animated: the system enlarges each frame
    const pictures::Image& first = pointer.decoded.frames.front().image;
    return static_cast<HCURSOR>(LoadImageA(nullptr, pointer.disc_path.c_str(), IMAGE_CURSOR, first.width * factor,
                                           first.height * factor, LR_LOADFROMFILE));
  }
  return static_cast<HCURSOR>(IconFromFileBytes(pointer.built_in, 0, 0));
}

HCURSOR Win32Runtime::CursorOf(std::uintptr_t id) {
  if (id == 0) return arrow_;
  if (id == kHiddenPointer) return nullptr;
  Pointer& pointer = pointers_[id - 1];
  // The window moved to a screen of another scale.
  if (const int factor = scale().PointerFactor(); factor != pointer.factor) {
    if (HCURSOR remade = Make(pointer, factor)) {
      if (pointer.disc_path.empty() || pointer.factor > 1) DestroyCursor(pointer.cursor);
      pointer.cursor = remade;
      pointer.factor = factor;
    }
  }
  return pointer.cursor;
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
    case WM_DPICHANGED: {
      // Another monitor, or its scale changed: the new factor, and the size the system suggests.
      SetScale(Scale::FromDpi(HIWORD(wparam)));
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
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
  // Halftone blends each pixel with its neighbours: one more client pixel around.
  const int reach = scale().Whole() ? 0 : 1;
  const RECT r = RectOf(scale().ToScreen({area.x - reach, area.y - reach, area.w + 2 * reach, area.h + 2 * reach}));
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
  if (scale() == Scale{}) {
    SetDIBitsToDevice(dc, 0, 0, canvas.width, canvas.height, 0, 0, 0, canvas.height, canvas.pixels, &info,
                      DIB_RGB_COLORS);
  } else {
    // Each pixel repeated at a whole scale; the system's smooth filter at another.
    SetStretchBltMode(dc, scale().Whole() ? COLORONCOLOR : HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);  // as halftone needs after the mode is set
    const PixelRect shown = screen_client();
    StretchDIBits(dc, 0, 0, shown.w, shown.h, 0, 0, canvas.width, canvas.height, canvas.pixels, &info, DIB_RGB_COLORS,
                  SRCCOPY);
  }
  EndPaint(hwnd_, &paint);
}

bool Win32Runtime::ShowPointer() {
  if (unloaded()) return false;
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(hwnd_, &p);
  ::SetCursor(CursorOf(PointerAt(p.x, p.y)));
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
