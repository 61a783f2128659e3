#include "platform/x11_runtime.h"

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
#include <map>
#include <memory>
#include <vector>

#include "platform/control_geometry.h"
#include "platform/disc_actions.h"
#include "platform/process.h"
#include "platform/x11_error_dialog.h"

namespace platform {
namespace {

// Input held back while kMaxNesting procedures run; past this, reading from the server pauses too.
constexpr std::size_t kMaxDeferredInput = 4096;

// SetCursor's handle for "no override: each control shows its own pointer".
constexpr CursorHandle kControlPointers = 1;

struct ControlState : ControlSurface {
  const ControlLayout* layout = nullptr;
  Window input = None;    // input-only child; the background control is the window itself
  Cursor pointer = None;  // None: the window's arrow shows through
};

// The classic arrow, drawn here so the pointer looks the same on every server.
constexpr std::array<std::string_view, 19> kArrowPointer = {
    "#           ", "##          ", "#.#         ", "#..#        ", "#...#       ",
    "#....#      ", "#.....#     ", "#......#    ", "#.......#   ", "#........#  ",
    "#.........# ", "#......#####", "#...#..#    ", "#..##..#    ", "#.#  #..#   ",
    "##   #..#   ", "#     #..#  ", "      #..#  ", "       ##   ",
};

Image ArrowImage() {
  Image img{12, 19, std::vector<std::uint32_t>(12 * 19, 0)};
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

class X11Runtime final : public Runtime {
 public:
  X11Runtime(Display* display, const ProgramDescription& program)
      : dpy_(display), program_(program), events_(program.bindings) {}
  ~X11Runtime() override { ReleaseImage(); }

  void Create();
  void LoadForm() {
    form_ = program_.create_form(*this);
    program_.form_load(*form_);
  }
  void Show();
  void Loop();
  void DestroyWindow();

  Picture LoadPicture(std::string_view path) override { return LoadPictureFile(path); }
  void SetPicture(Control control, const Picture& picture) override;
  void SetEnabled(Control control, bool enabled) override;
  WindowHandle hWnd() override { return unloaded_ ? 0 : static_cast<WindowHandle>(window_); }
  std::int32_t Shell(std::string_view path, std::int16_t) override { return StartProgram(path); }
  void DoEvents() override;
  void Unload() override;
  [[noreturn]] void End() override { throw ProgramEnd{}; }
  CursorHandle LoadCursorFromFileA(std::string_view path) override;
  CursorHandle SetCursor(CursorHandle cursor) override;
  std::intptr_t ShellExecuteA(WindowHandle, std::string_view operation, std::string_view file,
                              std::string_view, std::string_view, std::int32_t) override {
    return OpenDocument(operation, file);
  }

 private:
  ControlState& State(Control c) { return controls_[static_cast<std::size_t>(c)]; }
  void SetWindowProperties();
  void CreateControls();
  void CreateImage();
  void ReleaseImage();
  void Handle(XEvent& event);
  void HandleOrDefer(XEvent& event);
  void HandleDeferred();
  void OnButton(const XButtonEvent& event, MouseEvent kind);
  void OnMotion(XEvent& event);
  void Dispatch(Window window, MouseEvent kind, const MouseArgs& args);
  void Invalidate(const PixelRect& r) { dirty_ = dirty_.Union(r.Intersect(client_)); }
  void PresentDirty();
  void Compose(const PixelRect& r) { platform::Compose({canvas_, client_.w, client_.h}, back_to_front_, r); }
  void Present(const PixelRect& r);
  void ApplyPointers();
  Cursor MakeCursor(const Image& image, int hotspot_x, int hotspot_y);
  Cursor MakeCursor(const CursorFile& file);
  Cursor CursorFromBytes(std::span<const std::uint8_t> bytes);

  Display* dpy_;
  const ProgramDescription& program_;
  EventTable events_;
  std::shared_ptr<Form> form_;
  Window window_ = None;
  Atom wm_delete_window_ = None;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  GC gc_ = nullptr;
  PixelRect client_;
  std::array<ControlState, kControlCount> controls_{};
  std::vector<const ControlSurface*> back_to_front_;  // the background control is last in the layout
  std::vector<std::uint8_t> object_copy_;  // the background, where its object held it in pieces
  bool unloaded_ = false;
  PixelRect dirty_;
  PixelRect exposed_;  // lost on screen only: the composed image still holds it
  int running_ = 0;  // procedures running, nested in each other's waits
  std::deque<XEvent> deferred_;

  // The client area composed in memory, put to the window with MIT-SHM where offered.
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool use_shm_ = false;
  std::uint32_t* canvas_ = nullptr;  // ARGB pixels, client_.w per row
  std::vector<std::uint32_t> converted_canvas_;  // used when the visual is not 32-bit xRGB

  bool have_render_ = false;
  Cursor arrow_ = None;
  Cursor blank_ = None;
  std::vector<Cursor> cursors_;  // handle h >= 2 is cursors_[h - 2]
  CursorHandle override_ = kControlPointers;
  std::map<const std::uint8_t*, Cursor> embedded_cursors_;
};

void X11Runtime::Create() {
  const WindowLayout& layout = program_.window;
  int screen = DefaultScreen(dpy_);
  visual_ = DefaultVisual(dpy_, screen);
  depth_ = DefaultDepth(dpy_, screen);
  client_ = {0, 0, PixelsFromTwips(layout.client_width), PixelsFromTwips(layout.client_height)};
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  have_render_ = XRenderQueryExtension(dpy_, &event_base, &error_base) &&
                 XRenderQueryVersion(dpy_, &major, &minor) && (major > 0 || minor >= 8);
  arrow_ = MakeCursor(ArrowImage(), 0, 0);
  if (arrow_ == None) arrow_ = XCreateFontCursor(dpy_, XC_left_ptr);

  XSetWindowAttributes attrs{};
  attrs.background_pixmap = None;  // painted from the composed image; no flash
  attrs.bit_gravity = NorthWestGravity;
  attrs.cursor = arrow_;
  attrs.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                     PointerMotionMask;
  int x = std::max(0, (DisplayWidth(dpy_, screen) - client_.w) / 2);
  int y = std::max(0, (DisplayHeight(dpy_, screen) - client_.h) / 2);
  window_ = XCreateWindow(dpy_, RootWindow(dpy_, screen), x, y, client_.w, client_.h, 0,
                          CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixmap | CWBitGravity | CWCursor | CWEventMask, &attrs);
  gc_ = DefaultGC(dpy_, screen);
  SetWindowProperties();
  CreateControls();
  CreateImage();
  Compose(client_);
}

void X11Runtime::SetWindowProperties() {
  const WindowLayout& layout = program_.window;
  std::string caption(layout.caption);
  char* caption_ptr = caption.data();
  XTextProperty name{};
  XStringListToTextProperty(&caption_ptr, 1, &name);
  XSizeHints* size = XAllocSizeHints();
  size->flags = PPosition | PSize | PMinSize | PMaxSize;
  size->min_width = size->max_width = size->width = client_.w;
  size->min_height = size->max_height = size->height = client_.h;
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
    auto icon = DecodePicture(layout.icon());
    if (const Image* img = std::get_if<Image>(&icon)) {
      // _NET_WM_ICON is width, height, then ARGB pixels, each in a C long.
      std::vector<long> data{img->width, img->height};
      data.insert(data.end(), img->pixels.begin(), img->pixels.end());
      XChangeProperty(dpy_, window_, atoms[kNetWmIcon], XA_CARDINAL, 32,
                      PropModeReplace, reinterpret_cast<unsigned char*>(data.data()),
                      static_cast<int>(data.size()));
    }
  }
}

void X11Runtime::CreateControls() {
  const WindowLayout& layout = program_.window;
  // The layout lists controls front to back; X stacks each new child on top.
  for (auto it = layout.controls.rbegin(); it != layout.controls.rend(); ++it) {
    const ControlLayout& c = *it;
    ControlState& s = State(c.id);
    static_cast<ControlSurface&>(s) = DesignSurface(c, object_copy_);
    s.layout = &c;
    back_to_front_.push_back(&s);
    if (c.kind == ControlKind::OleContainer) {
      s.input = None;
      continue;
    }
    if (c.pointer == MousePointer::Custom && c.mouse_icon != nullptr)
      s.pointer = CursorFromBytes(c.mouse_icon());
    XSetWindowAttributes attrs{};
    attrs.event_mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    attrs.cursor = s.pointer;
    s.input = XCreateWindow(dpy_, window_, s.area.x, s.area.y, std::max(1, s.area.w),
                            std::max(1, s.area.h), 0, 0, InputOnly, CopyFromParent,
                            CWEventMask | CWCursor, &attrs);
  }
  XMapSubwindows(dpy_, window_);
}

void X11Runtime::CreateImage() {
  int count = client_.w * client_.h;
  if (XShmQueryExtension(dpy_)) {
    image_ = XShmCreateImage(dpy_, visual_, depth_, ZPixmap, nullptr, &shm_, client_.w, client_.h);
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
    image_ = XCreateImage(dpy_, visual_, depth_, ZPixmap, 0, nullptr, client_.w, client_.h, 32, 0);
    image_->data = static_cast<char*>(std::calloc(image_->bytes_per_line, image_->height));
  }
  bool direct = image_->bits_per_pixel == 32 && visual_->red_mask == 0xFF0000 &&
                visual_->green_mask == 0xFF00 && visual_->blue_mask == 0xFF &&
                image_->byte_order == LSBFirst && image_->bytes_per_line == client_.w * 4;
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

void X11Runtime::Show() {
  XMapRaised(dpy_, window_);
  XFlush(dpy_);
}

void X11Runtime::Loop() {
  XEvent event;
  for (;;) {
    DoEvents();  // held-back input, then all that came meanwhile, then one redraw
    if (unloaded_) break;
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
  if (input && (running_ >= kMaxNesting || !deferred_.empty())) {
    if (event.type == MotionNotify && !deferred_.empty() && deferred_.back().type == MotionNotify)
      deferred_.back() = event;
    else
      deferred_.push_back(event);
  } else {
    Handle(event);
  }
}

void X11Runtime::HandleDeferred() {
  while (!deferred_.empty() && running_ < kMaxNesting) {
    XEvent event = deferred_.front();
    deferred_.pop_front();
    Handle(event);
  }
}

void X11Runtime::Handle(XEvent& event) {
  if (unloaded_) return;
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
      if (event.xdestroywindow.window == window_) {
        unloaded_ = true;
        form_.reset();
      }
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
  for (const ControlState& s : controls_) {
    bool target = s.layout != nullptr && (s.input != None ? s.input == window : window == window_);
    if (!target) continue;
    if (s.enabled) RunBound(events_, s.layout->id, kind, form_, args, running_);
    return;
  }
}

void X11Runtime::SetPicture(Control control, const Picture& picture) {
  if (unloaded_) return;
  ControlState& s = State(control);
  const PixelRect before = s.area;
  const PixelRect changed = AssignPicture(s, picture);
  if (s.input != None && (s.area.w != before.w || s.area.h != before.h))
    XResizeWindow(dpy_, s.input, s.area.w, s.area.h);
  Invalidate(changed);
}

void X11Runtime::SetEnabled(Control control, bool enabled) {
  if (unloaded_) return;
  ControlState& s = State(control);
  if (s.enabled == enabled) return;
  s.enabled = enabled;
  // A disabled control lets the pointer through to what lies beneath it.
  if (s.input != None) enabled ? XMapWindow(dpy_, s.input) : XUnmapWindow(dpy_, s.input);
}

void X11Runtime::Unload() {
  if (unloaded_) return;
  DestroyWindow();
  form_.reset();  // running procedures still hold the window object
}

void X11Runtime::DestroyWindow() {
  unloaded_ = true;
  if (window_ != None) XDestroyWindow(dpy_, window_);
  XFlush(dpy_);
}

void X11Runtime::PresentDirty() {
  if ((dirty_.Empty() && exposed_.Empty()) || unloaded_) return;
  const PixelRect changed = dirty_, shown = dirty_.Union(exposed_);
  dirty_ = exposed_ = {};
  Compose(changed);
  Present(shown);
  XFlush(dpy_);
}

void X11Runtime::Present(const PixelRect& requested) {
  PixelRect r = requested.Intersect(client_);
  if (r.Empty() || unloaded_) return;
  if (canvas_ == converted_canvas_.data()) {
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x) {
        std::uint32_t p = canvas_[y * client_.w + x];
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

Cursor X11Runtime::MakeCursor(const Image& image, int hotspot_x, int hotspot_y) {
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

Cursor X11Runtime::MakeCursor(const CursorFile& file) {
  if (file.frames.empty() || file.steps.empty()) return None;
  std::vector<Cursor> frames;
  for (const CursorFrame& f : file.frames) frames.push_back(MakeCursor(f.image, f.hotspot_x, f.hotspot_y));
  if (frames.front() == None) return XCreateFontCursor(dpy_, XC_watch);
  if (file.steps.size() == 1) return frames[file.steps.front().frame];
  // The server animates it, so the pointer moves on while a procedure is busy.
  std::vector<XAnimCursor> steps;
  for (const CursorStep& s : file.steps)
    steps.push_back({frames[s.frame], static_cast<unsigned long>(s.jiffies) * 1000 / 60});
  Cursor animated = XRenderCreateAnimCursor(dpy_, static_cast<int>(steps.size()), steps.data());
  for (Cursor c : frames) XFreeCursor(dpy_, c);
  return animated;
}

Cursor X11Runtime::CursorFromBytes(std::span<const std::uint8_t> bytes) {
  auto [it, added] = embedded_cursors_.try_emplace(bytes.data(), None);
  if (added) {
    auto decoded = DecodeCursorFile(bytes);
    if (const CursorFile* file = std::get_if<CursorFile>(&decoded)) it->second = MakeCursor(*file);
  }
  return it->second;
}

CursorHandle X11Runtime::LoadCursorFromFileA(std::string_view path) {
  std::optional<CursorFile> file = LoadCursorFile(path);
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
  if (unloaded_) return;
  Cursor forced = None;
  if (override_ == 0) {
    if (blank_ == None) blank_ = MakeCursor(Image{1, 1, {0}}, 0, 0);
    forced = blank_;
  } else if (override_ != kControlPointers) {
    forced = cursors_[override_ - 2];
  }
  XDefineCursor(dpy_, window_, forced != None ? forced : arrow_);
  for (const ControlState& s : controls_)
    if (s.input != None && s.pointer != None)
      XDefineCursor(dpy_, s.input, forced != None ? forced : s.pointer);
  XFlush(dpy_);
}

void ReportError(Display* dpy, const ErrorText& text) {
  std::fprintf(stderr, "autorun: %s\nautorun: %s\n", text.chinese.c_str(), text.english.c_str());
  std::fflush(stderr);
  if (dpy != nullptr) ShowErrorDialog(dpy, text.chinese, text.english);
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
    X11Runtime runtime(dpy, program);
    try {
      runtime.Create();
      runtime.LoadForm();
      runtime.Show();
      runtime.Loop();
    } catch (const ProgramEnd&) {
      status = 0;
    } catch (const RuntimeError& error) {
      runtime.DestroyWindow();
      ReportError(dpy, DescribeRuntimeError(error));
      status = 1;
    } catch (const std::bad_alloc&) {
      runtime.DestroyWindow();
      ReportError(dpy, DescribeRuntimeError(RuntimeError("Run", "autorun", "out of memory")));
      status = 1;
    }
  }
  XCloseDisplay(dpy);
  return status;
}

}  // namespace platform
