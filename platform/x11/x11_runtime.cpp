#include "platform/x11/x11_runtime.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pictures/cursor_file.h"
#include "platform/disc/posix_disc.h"
#include "platform/disc/process.h"
#include "platform/window/window_core.h"
#include "platform/x11/error_dialog.h"

namespace platform {
namespace {

// The classic arrow, drawn here so the pointer looks the same on every server.
constexpr std::array<std::string_view, 19> kArrowPointer = {
    "#           ", "##          ", "#.#         ", "#..#        ", "#...#       ",
    "#....#      ", "#.....#     ", "#......#    ", "#.......#   ", "#........#  ",
    "#.........# ", "#......#####", "#...#..#    ", "#..##..#    ", "#.#  #..#   ",
    "##   #..#   ", "#     #..#  ", "      #..#  ", "       ##   ",
};

pictures::Image ArrowImage() {
  pictures::Image img{12, 19, std::vector<std::uint32_t>(12 * 19, 0)};
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      char c = kArrowPointer[y][x];
      if (c != ' ') img.pixels[y * img.width + x] = c == '#' ? 0xFF000000 : 0xFFFFFFFF;
    }
  return img;
}

int g_last_x_error = 0;
int RecordXError(Display*, XErrorEvent* event) {
  g_last_x_error = event->error_code;
  return 0;
}
int DisplayLost(Display*) {
  // The session is ending (log-off, server gone): the window is closed for us.
  std::fputs("autorun: the X display connection was closed\n", stderr);
  std::_Exit(0);
}

std::int16_t ShiftOf(unsigned state) {
  return ShiftArgument({(state & ShiftMask) != 0, (state & ControlMask) != 0, (state & Mod1Mask) != 0});
}

// X numbers the buttons left, middle, right.
std::int16_t ButtonFromX(unsigned button) {
  switch (button) {
    case Button1: return kLeftButton;
    case Button2: return kMiddleButton;
    case Button3: return kRightButton;
    default: return 0;  // wheel and extra buttons are not mouse buttons here
  }
}

std::int16_t HeldButtonsOf(unsigned state) {
  return ButtonArgument({(state & Button1Mask) != 0, (state & Button3Mask) != 0, (state & Button2Mask) != 0});
}

Key KeyOf(KeySym sym) {
  switch (sym) {
    case XK_Tab: case XK_ISO_Left_Tab: return Key::Tab;
    case XK_Up: case XK_KP_Up: return Key::Up;
    case XK_Down: case XK_KP_Down: return Key::Down;
    case XK_Left: case XK_KP_Left: return Key::Left;
    case XK_Right: case XK_KP_Right: return Key::Right;
    case XK_space: return Key::Space;
    case XK_Return: case XK_KP_Enter: return Key::Enter;
    default: return Key::Other;
  }
}

// The desktop's scale: GDK_SCALE, else Xft.dpi from the resources the desktop put on the root window.
Scale DesktopScale(Display* dpy) {
  const char* resources = XResourceManagerString(dpy);
  XrmInitialize();
  XrmDatabase database = resources != nullptr ? XrmGetStringDatabase(resources) : nullptr;
  char* type = nullptr;
  XrmValue value{};
  const bool found = database != nullptr && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) &&
                     value.addr != nullptr;
  const std::string xft_dpi = found ? std::string(value.addr, strnlen(value.addr, value.size)) : "";
  if (database != nullptr) XrmDestroyDatabase(database);
  return Scale::FromX11(std::getenv("GDK_SCALE"), found ? xft_dpi.c_str() : nullptr);
}

// An event's state holds the buttons as they were before it.
unsigned ButtonMaskOf(unsigned button) { return button >= Button1 && button <= Button5 ? Button1Mask << (button - 1) : 0; }

class X11Runtime final : public WindowCore {
 public:
  X11Runtime(Display* display, const ProgramDescription& program, Disc& disc);
  ~X11Runtime() override { ReleaseImage(); }

 private:
  // The window, with an input-only child over each image control: the server shows
  // each control's pointer over it, while the input goes to the window itself.
  void BuildWindow() override;
  void SetWindowProperties();
  void CreatePointerRegions();
  Window& PointerRegion(Control c) { return pointer_regions_[static_cast<std::size_t>(c)]; }
  void ControlChanged(Control control) override;
  WindowHandle NativeHandle() override { return static_cast<WindowHandle>(window_); }
  void ShowWindow() override;
  void DestroyWindow() override;

  // Events, translated for the core.
  void ReadEvents() override;
  void WaitForEvents() override;
  void Translate(const XEvent& event);
  void TranslateKey(const XKeyEvent& event, bool press);

  // Drawing: the core's composed pixels put to the window with MIT-SHM where offered;
  // at another scale than 1 into a pixmap of the client area's size, which RENDER
  // shows enlarged.
  void CreateImage();
  void ReleaseImage();
  void CreateScaledSource();
  void ReleaseScaledSource();
  std::uint32_t* CanvasMemory() override;
  void Present(const PixelRect& area) override;

  // Pointers: made with RENDER, animated by the server.
  std::uintptr_t MakePointer(const PointerFile& file) override;
  Cursor MakeCursor(const pictures::Image& image, int hotspot_x, int hotspot_y);
  Cursor MakeCursor(const pictures::CursorFile& file);
  Cursor CursorOf(std::uintptr_t pointer);
  void PointersChanged() override;

  void ShowError(const ErrorText& text) override { ShowErrorDialog(dpy_, scale().dpi, text.chinese, text.english); }

  Display* dpy_;
  Window window_ = None;
  std::array<Window, kControlCount> pointer_regions_{};  // None for the background control: the window itself
  Atom wm_delete_window_ = None;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  GC gc_ = nullptr;

  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool use_shm_ = false;
  bool direct_ = false;  // the image is the core's canvas: 32-bit xRGB, rows without padding
  Pixmap source_pixmap_ = None;  // at another scale than 1: the client area at its own size
  ::Picture source_ = None, target_ = None;

  std::set<unsigned> keys_down_;  // a press of one of these is its automatic repeat

  bool have_render_ = false;
  Cursor arrow_ = None;
  Cursor blank_ = None;
};

X11Runtime::X11Runtime(Display* display, const ProgramDescription& program, Disc& disc)
    : WindowCore(program, disc), dpy_(display) {
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  have_render_ = XRenderQueryExtension(dpy_, &event_base, &error_base) &&
                 XRenderQueryVersion(dpy_, &major, &minor) && (major > 0 || minor >= 8);
  Bool detectable = False;
  XkbSetDetectableAutoRepeat(dpy_, True, &detectable);  // a held key repeats its press only
  // Without RENDER the picture cannot be enlarged: it stays at its own size.
  if (have_render_) SetScale(DesktopScale(dpy_));
  arrow_ = MakeCursor(ArrowImage(), 0, 0);
  if (arrow_ == None) arrow_ = XCreateFontCursor(dpy_, XC_left_ptr);
}

void X11Runtime::BuildWindow() {
  int screen = DefaultScreen(dpy_);
  visual_ = DefaultVisual(dpy_, screen);
  depth_ = DefaultDepth(dpy_, screen);

  XSetWindowAttributes attrs{};
  attrs.background_pixmap = None;  // painted from the composed image; no flash
  attrs.bit_gravity = NorthWestGravity;
  attrs.cursor = arrow_;
  attrs.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                     PointerMotionMask | KeyPressMask | KeyReleaseMask;
  const PixelRect size = screen_client();
  int x = std::max(0, (DisplayWidth(dpy_, screen) - size.w) / 2);
  int y = std::max(0, (DisplayHeight(dpy_, screen) - size.h) / 2);
  window_ = XCreateWindow(dpy_, RootWindow(dpy_, screen), x, y, size.w, size.h, 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixmap | CWBitGravity | CWCursor | CWEventMask, &attrs);
  gc_ = DefaultGC(dpy_, screen);
  SetWindowProperties();
  CreatePointerRegions();
  CreateImage();
  if (!(scale() == Scale{})) CreateScaledSource();
}

void X11Runtime::SetWindowProperties() {
  const WindowLayout& layout = this->layout();
  std::string caption(layout.caption);
  char* caption_ptr = caption.data();
  XTextProperty name{};
  XStringListToTextProperty(&caption_ptr, 1, &name);
  XSizeHints* size = XAllocSizeHints();
  size->flags = PPosition | PSize | PMinSize | PMaxSize;
  size->min_width = size->max_width = size->width = screen_client().w;
  size->min_height = size->max_height = size->height = screen_client().h;
  XWMHints* hints = XAllocWMHints();
  hints->flags = InputHint | StateHint;
  hints->input = True;
  hints->initial_state = NormalState;
  XClassHint* klass = XAllocClassHint();
  std::string res_name(layout.name), res_class = "Autorun";
  klass->res_name = res_name.data();
  klass->res_class = res_class.data();
  XSetWMProperties(dpy_, window_, &name, &name, nullptr, 0, size, hints, klass);
  XFree(name.value);
  XFree(size);
  XFree(hints);
  XFree(klass);

  // One round trip for every atom instead of one each.
  enum { kUtf8String, kNetWmName, kNetWmPid, kWmProtocols, kWmDeleteWindow, kNetWmIcon, kAtomCount };
  char* names[kAtomCount] = {const_cast<char*>("UTF8_STRING"), const_cast<char*>("_NET_WM_NAME"),
                             const_cast<char*>("_NET_WM_PID"), const_cast<char*>("WM_PROTOCOLS"),
                             const_cast<char*>("WM_DELETE_WINDOW"), const_cast<char*>("_NET_WM_ICON")};
  Atom atoms[kAtomCount];
  XInternAtoms(dpy_, names, kAtomCount, False, atoms);
  wm_delete_window_ = atoms[kWmDeleteWindow];
  XChangeProperty(dpy_, window_, atoms[kNetWmName], atoms[kUtf8String], 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(caption.data()), static_cast<int>(caption.size()));
  long pid = static_cast<long>(::getpid());
  XChangeProperty(dpy_, window_, atoms[kNetWmPid], XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
  XChangeProperty(dpy_, window_, atoms[kWmProtocols], XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&wm_delete_window_), 1);

  if (layout.icon != nullptr) {
    auto icon = pictures::DecodePicture(layout.icon());
    if (const pictures::Image* img = std::get_if<pictures::Image>(&icon)) {
      // _NET_WM_ICON is width, height, then ARGB pixels, each in a C long.
      std::vector<long> data{img->width, img->height};
      data.insert(data.end(), img->pixels.begin(), img->pixels.end());
      XChangeProperty(dpy_, window_, atoms[kNetWmIcon], XA_CARDINAL, 32,
                      PropModeReplace, reinterpret_cast<unsigned char*>(data.data()),
                      static_cast<int>(data.size()));
    }
  }
}

void X11Runtime::CreatePointerRegions() {
  // Back to front, as X stacks each new child on top. They select no input: it reaches the window.
  for (const ControlState& s : Controls()) {
    if (s.layout == nullptr || s.layout->kind == ControlKind::OleContainer) continue;
    XSetWindowAttributes attrs{};
    attrs.cursor = CursorOf(PointerOf(&s));
    const PixelRect area = scale().ToScreen(s.area);
    PointerRegion(s.layout->id) = XCreateWindow(dpy_, window_, area.x, area.y, std::max(1, area.w),
                                                std::max(1, area.h), 0, 0, InputOnly, CopyFromParent, CWCursor,
                                                &attrs);
  }
  XMapSubwindows(dpy_, window_);
}

void X11Runtime::CreateImage() {
  if (XShmQueryExtension(dpy_)) {
    image_ = XShmCreateImage(dpy_, visual_, depth_, ZPixmap, nullptr, &shm_, client().w, client().h);
    if (image_ != nullptr) {
      shm_.shmid = ::shmget(IPC_PRIVATE, static_cast<std::size_t>(image_->bytes_per_line) * image_->height,
                            IPC_CREAT | 0600);
      void* addr = shm_.shmid >= 0 ? ::shmat(shm_.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
      if (addr != reinterpret_cast<void*>(-1)) {
        shm_.shmaddr = image_->data = static_cast<char*>(addr);
        shm_.readOnly = False;
        // A remote server refuses to attach; that shows only as an X error.
        g_last_x_error = 0;
        XShmAttach(dpy_, &shm_);
        XSync(dpy_, False);
        use_shm_ = g_last_x_error == 0;
        if (!use_shm_) ::shmdt(addr);
      }
      if (shm_.shmid >= 0) ::shmctl(shm_.shmid, IPC_RMID, nullptr);  // freed once both sides detach
      if (!use_shm_) {
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
      }
    }
  }
  if (image_ == nullptr) {
    image_ = XCreateImage(dpy_, visual_, depth_, ZPixmap, 0, nullptr, client().w, client().h, 32, 0);
    image_->data = static_cast<char*>(std::calloc(image_->bytes_per_line, image_->height));
  }
  direct_ = image_->bits_per_pixel == 32 && visual_->red_mask == 0xFF0000 && visual_->green_mask == 0xFF00 &&
            visual_->blue_mask == 0xFF && image_->byte_order == LSBFirst && image_->bytes_per_line == client().w * 4;
}

// The core composes straight into the image where it has the canvas's layout: no second copy of the picture.
std::uint32_t* X11Runtime::CanvasMemory() {
  return direct_ ? reinterpret_cast<std::uint32_t*>(image_->data) : nullptr;
}

void X11Runtime::CreateScaledSource() {
  source_pixmap_ = XCreatePixmap(dpy_, window_, client().w, client().h, depth_);
  XRenderPictFormat* format = XRenderFindVisualFormat(dpy_, visual_);
  XRenderPictureAttributes attrs{};
  attrs.repeat = RepeatPad;  // the filter at the edges reads the edge pixels again, not black
  source_ = XRenderCreatePicture(dpy_, source_pixmap_, format, CPRepeat, &attrs);
  target_ = XRenderCreatePicture(dpy_, window_, format, 0, nullptr);
  // Screen pixel (x, y) shows the client area at (x / F, y / F): each pixel repeated at a
  // whole F, the neighbours blended otherwise.
  const XFixed inverse = XDoubleToFixed(1.0 / scale().Factor());
  XTransform transform{{{inverse, 0, 0}, {0, inverse, 0}, {0, 0, XDoubleToFixed(1)}}};
  XRenderSetPictureTransform(dpy_, source_, &transform);
  XRenderSetPictureFilter(dpy_, source_, scale().Whole() ? FilterNearest : FilterBilinear, nullptr, 0);
}

void X11Runtime::ReleaseScaledSource() {
  for (::Picture* p : {&source_, &target_})
    if (*p != None) XRenderFreePicture(dpy_, std::exchange(*p, None));
  if (source_pixmap_ != None) XFreePixmap(dpy_, std::exchange(source_pixmap_, None));
}

void X11Runtime::ReleaseImage() {
  if (image_ == nullptr) return;
  if (use_shm_) {
    XShmDetach(dpy_, &shm_);
    ::shmdt(shm_.shmaddr);
    image_->data = nullptr;
  }
  XDestroyImage(image_);
  image_ = nullptr;
}

void X11Runtime::ShowWindow() {
  XMapRaised(dpy_, window_);
  XFlush(dpy_);
}

void X11Runtime::ReadEvents() {
  // What is pending now and no more: input that keeps coming waits for the next call, so a wait
  // still counts its calls.
  XEvent event;
  for (int pending = XPending(dpy_); pending > 0 && WantsInput(); --pending) {
    XNextEvent(dpy_, &event);
    Translate(event);
  }
}

void X11Runtime::WaitForEvents() {
  XEvent event;
  XPeekEvent(dpy_, &event);  // blocks
}

void X11Runtime::Translate(const XEvent& event) {
  switch (event.type) {
    case ButtonPress:
    case ButtonRelease: {
      const XButtonEvent& b = event.xbutton;
      const std::int16_t button = ButtonFromX(b.button);
      if (button == 0 || b.window != window_) break;
      const bool press = event.type == ButtonPress;
      const unsigned held = press ? b.state | ButtonMaskOf(b.button) : b.state & ~ButtonMaskOf(b.button);
      Post({press ? InputKind::Press : InputKind::Release, b.x, b.y, button, HeldButtonsOf(held), ShiftOf(b.state)});
      break;
    }
    case MotionNotify: {
      const XMotionEvent& m = event.xmotion;
      if (m.window == window_) Post({InputKind::Motion, m.x, m.y, 0, HeldButtonsOf(m.state), ShiftOf(m.state)});
      break;
    }
    case KeyPress:
    case KeyRelease:
      if (event.xkey.window == window_) TranslateKey(event.xkey, event.type == KeyPress);
      break;
    case Expose:  // many become one redraw, at the end of the round
      if (event.xexpose.window == window_)
        Exposed({event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height});
      break;
    case ClientMessage:
      if (event.xclient.window == window_ && event.xclient.format == 32 &&
          static_cast<Atom>(event.xclient.data.l[0]) == wm_delete_window_)
        CloseRequested();
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window_) WindowGone();
      break;
    default: break;
  }
}

void X11Runtime::TranslateKey(const XKeyEvent& key, bool press) {
  if (!press) {
    // Without detectable repeat a held key comes as a release and a press at the same moment.
    XEvent next;
    if (XEventsQueued(dpy_, QueuedAlready) > 0 && (XPeekEvent(dpy_, &next), next.type == KeyPress) &&
        next.xkey.keycode == key.keycode && next.xkey.time == key.time)
      return;
    keys_down_.erase(key.keycode);
  }
  const bool repeat = press && !keys_down_.insert(key.keycode).second;
  XKeyEvent copy = key;
  Post({press ? InputKind::KeyDown : InputKind::KeyUp, 0, 0, 0, 0, ShiftOf(key.state), KeyOf(XLookupKeysym(&copy, 0)),
        repeat});
}

void X11Runtime::ControlChanged(Control control) {
  // A disabled control lets the pointer through to what lies beneath it.
  const Window child = PointerRegion(control);
  if (child == None) return;
  const ControlState& s = State(control);
  const PixelRect area = scale().ToScreen(s.area);
  XResizeWindow(dpy_, child, std::max(1, area.w), std::max(1, area.h));
  s.enabled ? XMapWindow(dpy_, child) : XUnmapWindow(dpy_, child);
}

void X11Runtime::DestroyWindow() {
  ReleaseScaledSource();
  if (window_ != None) XDestroyWindow(dpy_, window_);
  XFlush(dpy_);
}

void X11Runtime::Present(const PixelRect& requested) {
  const PixelRect r = requested.Intersect(client());
  if (r.Empty()) return;
  const Canvas canvas = this->canvas();
  for (int y = r.y; y < r.y + r.h && !direct_; ++y) {
    const std::uint32_t* row = canvas.pixels + static_cast<std::ptrdiff_t>(y) * canvas.width;
    for (int x = r.x; x < r.x + r.w; ++x) {
      const std::uint32_t p = row[x];
      auto channel = [](std::uint32_t v, unsigned long mask) {
        if (mask == 0) return 0ul;
        int shift = __builtin_ctzl(mask);
        unsigned long max = mask >> shift;
        return ((v * max + 127) / 255) << shift;
      };
      XPutPixel(image_, x, y,
                channel((p >> 16) & 0xFF, visual_->red_mask) | channel((p >> 8) & 0xFF, visual_->green_mask) |
                    channel(p & 0xFF, visual_->blue_mask));
    }
  }
  const Drawable to = source_ != None ? source_pixmap_ : window_;
  if (use_shm_)
    XShmPutImage(dpy_, to, gc_, image_, r.x, r.y, r.x, r.y, r.w, r.h, False);
  else
    XPutImage(dpy_, to, gc_, image_, r.x, r.y, r.x, r.y, r.w, r.h);
  if (source_ != None) {
    // Blending reaches one client pixel further on each side.
    const int reach = scale().Whole() ? 0 : 1;
    const PixelRect on_screen =
        scale().ToScreen({r.x - reach, r.y - reach, r.w + 2 * reach, r.h + 2 * reach}).Intersect(screen_client());
    XRenderComposite(dpy_, PictOpSrc, source_, None, target_, on_screen.x, on_screen.y, 0, 0, on_screen.x,
                     on_screen.y, on_screen.w, on_screen.h);
  }
  XFlush(dpy_);
}

Cursor X11Runtime::MakeCursor(const pictures::Image& drawn, int hotspot_x, int hotspot_y) {
  if (!have_render_ || drawn.width <= 0 || drawn.height <= 0) return None;
  // As large as the window's pictures, each pixel repeated: a sharp pointer.
  const int n = scale().PointerFactor();
  const pictures::Image image = Repeated(drawn, n);
  hotspot_x *= n;
  hotspot_y *= n;
  Window root = DefaultRootWindow(dpy_);
  Pixmap pixmap = XCreatePixmap(dpy_, root, image.width, image.height, 32);
  std::vector<std::uint32_t> argb(image.pixels);
  for (std::uint32_t& p : argb)
    if ((p >> 24) == 0) p = 0;  // premultiplied: transparent pixels carry no colour
  XImage ximage{};
  ximage.width = image.width;
  ximage.height = image.height;
  ximage.format = ZPixmap;
  ximage.data = reinterpret_cast<char*>(argb.data());
  ximage.byte_order = LSBFirst;
  ximage.bitmap_unit = 32;
  ximage.bitmap_bit_order = LSBFirst;
  ximage.bitmap_pad = 32;
  ximage.depth = 32;
  ximage.bits_per_pixel = 32;
  ximage.bytes_per_line = image.width * 4;
  ximage.red_mask = 0xFF0000;
  ximage.green_mask = 0xFF00;
  ximage.blue_mask = 0xFF;
  XInitImage(&ximage);
  GC gc = XCreateGC(dpy_, pixmap, 0, nullptr);
  XPutImage(dpy_, pixmap, gc, &ximage, 0, 0, 0, 0, image.width, image.height);
  XFreeGC(dpy_, gc);
  XRenderPictFormat* format = XRenderFindStandardFormat(dpy_, PictStandardARGB32);
  ::Picture picture = XRenderCreatePicture(dpy_, pixmap, format, 0, nullptr);
  Cursor cursor = XRenderCreateCursor(dpy_, picture, std::clamp(hotspot_x, 0, image.width - 1),
                                      std::clamp(hotspot_y, 0, image.height - 1));
  XRenderFreePicture(dpy_, picture);
  XFreePixmap(dpy_, pixmap);
  return cursor;
}

Cursor X11Runtime::MakeCursor(const pictures::CursorFile& file) {
  if (file.frames.empty() || file.steps.empty()) return None;
  std::vector<Cursor> frames;
  for (const pictures::CursorFrame& f : file.frames) frames.push_back(MakeCursor(f.image, f.hotspot_x, f.hotspot_y));
  if (frames.front() == None) return XCreateFontCursor(dpy_, XC_watch);
  if (file.steps.size() == 1) return frames[file.steps.front().frame];
  // The server animates it, so the pointer moves on while a procedure is busy.
  std::vector<XAnimCursor> steps;
  for (const pictures::CursorStep& s : file.steps)
    steps.push_back({frames[s.frame], static_cast<unsigned long>(s.jiffies) * 1000 / 60});
  Cursor animated = XRenderCreateAnimCursor(dpy_, static_cast<int>(steps.size()), steps.data());
  for (Cursor c : frames) XFreeCursor(dpy_, c);
  return animated;
}

std::uintptr_t X11Runtime::MakePointer(const PointerFile& file) { return MakeCursor(file.decoded); }

Cursor X11Runtime::CursorOf(std::uintptr_t pointer) {
  if (pointer == 0) return arrow_;
  if (pointer != kHiddenPointer) return static_cast<Cursor>(pointer);
  if (blank_ == None) blank_ = MakeCursor(pictures::Image{1, 1, {0}}, 0, 0);
  return blank_;
}

void X11Runtime::PointersChanged() {
  XDefineCursor(dpy_, window_, CursorOf(PointerOf(nullptr)));
  for (const ControlState& s : Controls())
    if (s.layout != nullptr && PointerRegion(s.layout->id) != None)
      XDefineCursor(dpy_, PointerRegion(s.layout->id), CursorOf(PointerOf(&s)));
  XFlush(dpy_);
}

}  // namespace

int RunOnX11(const ProgramDescription& program) {
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fputs("autorun: cannot open the X display; set DISPLAY to run the launcher\n", stderr);
    return 1;
  }
  XSetErrorHandler(&RecordXError);
  XSetIOErrorHandler(&DisplayLost);
  ReapChildrenAutomatically();
  int status = 0;
  {
    PosixDisc disc;
    X11Runtime runtime(dpy, program, disc);
    status = runtime.Run();
  }
  XCloseDisplay(dpy);
  return status;
}

}  // namespace platform
