#include "platform/x11/x11_runtime.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
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
#include <deque>
#include <memory>
#include <vector>

#include "pictures/cursor_file.h"
#include "platform/disc/posix_disc.h"
#include "platform/disc/process.h"
#include "platform/window/window_core.h"
#include "platform/x11/error_dialog.h"

namespace platform {
namespace {

// Input held back while kMaxNesting procedures run; past this, reading from the server pauses too.
constexpr std::size_t kMaxDeferredInput = 4096;

// SetCursor's handle for "no override: each control shows its own pointer".
constexpr CursorHandle kControlPointers = 1;

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

MouseArgs ArgsFrom(int x, int y, unsigned state, std::int16_t button) {
  const HeldKeys keys{(state & ShiftMask) != 0, (state & ControlMask) != 0, (state & Mod1Mask) != 0};
  return ArgsAt(x, y, button, ShiftArgument(keys));
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

class X11Runtime final : public WindowCore {
 public:
  X11Runtime(Display* display, const ProgramDescription& program, Disc& disc);
  ~X11Runtime() override { ReleaseImage(); }

 private:
  // The window, with an input-only child over each image control.
  void BuildWindow() override;
  void SetWindowProperties();
  void CreateInputWindows();
  Window& Input(Control c) { return inputs_[static_cast<std::size_t>(c)]; }
  void Resized(Control control) override;
  void EnabledChanged(Control control) override;
  WindowHandle NativeHandle() override { return static_cast<WindowHandle>(window_); }
  void ShowWindow() override;
  void DestroyWindow() override;

  // Events, held back in order while as many procedures run as may nest.
  void Loop() override;
  void DoEvents() override;
  void HandleOrDefer(XEvent& event);
  void HandleDeferred();
  void Handle(XEvent& event);
  void OnButton(const XButtonEvent& event, MouseEvent kind);
  void OnMotion(XEvent& event);
  void Dispatch(Window window, MouseEvent kind, const MouseArgs& args);

  // Drawing: what changed gathers in dirty_ and is composed and put once per round of events.
  void CreateImage();
  void ReleaseImage();
  void Invalidate(const PixelRect& r) override { dirty_ = dirty_.Union(r.Intersect(client())); }
  void PresentDirty();
  void Compose(const PixelRect& r) { platform::Compose({canvas_, client().w, client().h}, BackToFront(), r); }
  void Present(const PixelRect& r);

  // Pointers: made with RENDER, animated by the server.
  std::uintptr_t MakePointer(std::span<const std::uint8_t> cursor_file) override;
  Cursor MakeCursor(const pictures::Image& image, int hotspot_x, int hotspot_y);
  Cursor MakeCursor(const pictures::CursorFile& file);
  CursorHandle LoadCursorFromFileA(std::string_view path) override;
  CursorHandle SetCursor(CursorHandle cursor) override;
  void ApplyPointers();

  void ReportError(const ErrorText& text) override;

  Display* dpy_;
  Window window_ = None;
  std::array<Window, kControlCount> inputs_{};  // None for the background control: the window itself
  Atom wm_delete_window_ = None;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  GC gc_ = nullptr;
  PixelRect dirty_;
  PixelRect exposed_;  // lost on screen only: the composed image still holds it
  std::deque<XEvent> deferred_;

  // The client area composed in memory, put to the window with MIT-SHM where offered.
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool use_shm_ = false;
  std::uint32_t* canvas_ = nullptr;  // ARGB pixels, client().w per row
  std::vector<std::uint32_t> converted_canvas_;  // used when the visual is not 32-bit xRGB

  bool have_render_ = false;
  Cursor arrow_ = None;
  Cursor blank_ = None;
  std::vector<Cursor> cursors_;  // handle h >= 2 is cursors_[h - 2]
  CursorHandle override_ = kControlPointers;
};

X11Runtime::X11Runtime(Display* display, const ProgramDescription& program, Disc& disc)
    : WindowCore(program, disc), dpy_(display) {
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  have_render_ = XRenderQueryExtension(dpy_, &event_base, &error_base) &&
                 XRenderQueryVersion(dpy_, &major, &minor) && (major > 0 || minor >= 8);
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
                     PointerMotionMask;
  int x = std::max(0, (DisplayWidth(dpy_, screen) - client().w) / 2);
  int y = std::max(0, (DisplayHeight(dpy_, screen) - client().h) / 2);
  window_ = XCreateWindow(dpy_, RootWindow(dpy_, screen), x, y, client().w, client().h, 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixmap | CWBitGravity | CWCursor | CWEventMask, &attrs);
  gc_ = DefaultGC(dpy_, screen);
  SetWindowProperties();
  CreateInputWindows();
  CreateImage();
  Compose(client());
}

void X11Runtime::SetWindowProperties() {
  const WindowLayout& layout = this->layout();
  std::string caption(layout.caption);
  char* caption_ptr = caption.data();
  XTextProperty name{};
  XStringListToTextProperty(&caption_ptr, 1, &name);
  XSizeHints* size = XAllocSizeHints();
  size->flags = PPosition | PSize | PMinSize | PMaxSize;
  size->min_width = size->max_width = size->width = client().w;
  size->min_height = size->max_height = size->height = client().h;
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

void X11Runtime::CreateInputWindows() {
  // Back to front, as X stacks each new child on top.
  for (const ControlSurface* surface : BackToFront()) {
    const ControlState& s = static_cast<const ControlState&>(*surface);
    if (s.layout->kind == ControlKind::OleContainer) continue;
    XSetWindowAttributes attrs{};
    attrs.event_mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    attrs.cursor = static_cast<Cursor>(s.pointer);
    Input(s.layout->id) = XCreateWindow(dpy_, window_, s.area.x, s.area.y, std::max(1, s.area.w),
                                        std::max(1, s.area.h), 0, 0, InputOnly, CopyFromParent,
                                        CWEventMask | CWCursor, &attrs);
  }
  XMapSubwindows(dpy_, window_);
}

void X11Runtime::CreateImage() {
  int count = client().w * client().h;
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
  bool direct = image_->bits_per_pixel == 32 && visual_->red_mask == 0xFF0000 &&
                visual_->green_mask == 0xFF00 && visual_->blue_mask == 0xFF &&
                image_->byte_order == LSBFirst && image_->bytes_per_line == client().w * 4;
  if (direct) {
    canvas_ = reinterpret_cast<std::uint32_t*>(image_->data);
  } else {
    converted_canvas_.assign(count, 0);
    canvas_ = converted_canvas_.data();
  }
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

void X11Runtime::Loop() {
  XEvent event;
  for (;;) {
    DoEvents();  // held-back input, then all that came meanwhile, then one redraw
    if (unloaded()) break;
    XPeekEvent(dpy_, &event);  // blocks: an idle launcher uses no processor
  }
  XFlush(dpy_);
}

void X11Runtime::DoEvents() {
  HandleDeferred();
  // What is pending now and no more: input that keeps coming waits for the next call, so a wait still
  // counts its calls. Nested calls take from the same queue, hence the second test.
  XEvent event;
  for (int pending = XPending(dpy_); pending > 0 && deferred_.size() < kMaxDeferredInput &&
                                     XEventsQueued(dpy_, QueuedAlready) > 0; --pending) {
    XNextEvent(dpy_, &event);
    HandleOrDefer(event);
  }
  PresentDirty();
}

void X11Runtime::HandleOrDefer(XEvent& event) {
  bool input = event.type == ButtonPress || event.type == ButtonRelease || event.type == MotionNotify;
  // Held-back input keeps its order: newer input queues behind it; motion behind motion only moves it on.
  if (input && (!MayNest() || !deferred_.empty())) {
    if (event.type == MotionNotify && !deferred_.empty() && deferred_.back().type == MotionNotify)
      deferred_.back() = event;
    else
      deferred_.push_back(event);
  } else {
    Handle(event);
  }
}

void X11Runtime::HandleDeferred() {
  while (!deferred_.empty() && MayNest()) {
    XEvent event = deferred_.front();
    deferred_.pop_front();
    Handle(event);
  }
}

void X11Runtime::Handle(XEvent& event) {
  if (unloaded()) return;
  switch (event.type) {
    case Expose:  // many become one redraw, at the end of the batch
      if (event.xexpose.window == window_)
        exposed_ = exposed_.Union({event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height});
      break;
    case ButtonPress: OnButton(event.xbutton, MouseEvent::Down); break;
    case ButtonRelease: OnButton(event.xbutton, MouseEvent::Up); break;
    case MotionNotify: OnMotion(event); break;
    case ClientMessage:
      if (event.xclient.window == window_ && event.xclient.format == 32 &&
          static_cast<Atom>(event.xclient.data.l[0]) == wm_delete_window_)
        Unload();  // closing through the frame runs no procedure
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window_) WindowGone();
      break;
    default: break;
  }
}

void X11Runtime::OnButton(const XButtonEvent& event, MouseEvent kind) {
  std::int16_t button = ButtonFromX(event.button);
  if (button == 0) return;
  Dispatch(event.window, kind, ArgsFrom(event.x, event.y, event.state, button));
}

void X11Runtime::OnMotion(XEvent& event) {
  // A run of queued motion is one movement, delivered at its latest position to the window under it (the
  // holder of the mouse during a press): a pointer reports where it is, not every place it passed. The
  // run ends at any other event; it never reaches past held-back input, which is older.
  XEvent next;
  while (deferred_.empty() && XEventsQueued(dpy_, QueuedAlready) > 0 &&
         (XPeekEvent(dpy_, &next), next.type == MotionNotify))
    XNextEvent(dpy_, &event);
  const XMotionEvent& m = event.xmotion;
  Dispatch(m.window, MouseEvent::Move, ArgsFrom(m.x, m.y, m.state, HeldButtonsOf(m.state)));
}

void X11Runtime::Dispatch(Window window, MouseEvent kind, const MouseArgs& args) {
  for (const ControlState& s : Controls()) {
    if (s.layout == nullptr) continue;
    const Window input = Input(s.layout->id);
    if (input != None ? input != window : window != window_) continue;
    WindowCore::Dispatch(s.layout->id, kind, args);
    return;
  }
}

void X11Runtime::Resized(Control control) {
  const ControlState& s = State(control);
  if (Input(control) != None) XResizeWindow(dpy_, Input(control), s.area.w, s.area.h);
}

void X11Runtime::EnabledChanged(Control control) {
  // A disabled control lets the pointer through to what lies beneath it.
  const Window input = Input(control);
  if (input != None) State(control).enabled ? XMapWindow(dpy_, input) : XUnmapWindow(dpy_, input);
}

void X11Runtime::DestroyWindow() {
  if (window_ != None) XDestroyWindow(dpy_, window_);
  XFlush(dpy_);
}

void X11Runtime::PresentDirty() {
  if ((dirty_.Empty() && exposed_.Empty()) || unloaded()) return;
  const PixelRect changed = dirty_, shown = dirty_.Union(exposed_);
  dirty_ = exposed_ = {};
  Compose(changed);
  Present(shown);
  XFlush(dpy_);
}

void X11Runtime::Present(const PixelRect& requested) {
  PixelRect r = requested.Intersect(client());
  if (r.Empty() || unloaded()) return;
  if (canvas_ == converted_canvas_.data()) {
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) {
        std::uint32_t p = canvas_[y * client().w + x];
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
  if (use_shm_)
    XShmPutImage(dpy_, window_, gc_, image_, r.x, r.y, r.x, r.y, r.w, r.h, False);
  else
    XPutImage(dpy_, window_, gc_, image_, r.x, r.y, r.x, r.y, r.w, r.h);
}

Cursor X11Runtime::MakeCursor(const pictures::Image& image, int hotspot_x, int hotspot_y) {
  if (!have_render_ || image.width <= 0 || image.height <= 0) return None;
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

std::uintptr_t X11Runtime::MakePointer(std::span<const std::uint8_t> cursor_file) {
  auto decoded = pictures::DecodeCursorFile(cursor_file);
  const pictures::CursorFile* file = std::get_if<pictures::CursorFile>(&decoded);
  return file != nullptr ? MakeCursor(*file) : None;
}

CursorHandle X11Runtime::LoadCursorFromFileA(std::string_view path) {
  std::optional<pictures::CursorFile> file = LoadCursorFile(disc(), path);
  if (!file) return 0;
  Cursor cursor = MakeCursor(*file);
  if (cursor == None) return 0;
  cursors_.push_back(cursor);
  return static_cast<CursorHandle>(cursors_.size() + 1);
}

CursorHandle X11Runtime::SetCursor(CursorHandle cursor) {
  if (cursor != 0 && cursor != kControlPointers && cursor - 2 >= cursors_.size()) return 0;
  CursorHandle previous = override_;
  override_ = cursor;
  ApplyPointers();
  return previous;
}

void X11Runtime::ApplyPointers() {
  if (unloaded()) return;
  Cursor forced = None;
  if (override_ == 0) {
    if (blank_ == None) blank_ = MakeCursor(pictures::Image{1, 1, {0}}, 0, 0);
    forced = blank_;
  } else if (override_ != kControlPointers) {
    forced = cursors_[override_ - 2];
  }
  XDefineCursor(dpy_, window_, forced != None ? forced : arrow_);
  for (const ControlState& s : Controls())
    if (s.layout != nullptr && Input(s.layout->id) != None && s.pointer != None)
      XDefineCursor(dpy_, Input(s.layout->id), forced != None ? forced : static_cast<Cursor>(s.pointer));
  XFlush(dpy_);
}

void X11Runtime::ReportError(const ErrorText& text) {
  std::fprintf(stderr, "autorun: %s\nautorun: %s\n", text.chinese.c_str(), text.english.c_str());
  std::fflush(stderr);
  ShowErrorDialog(dpy_, text.chinese, text.english);
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
