#include "platform/x11/error_dialog.h"

#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <dlfcn.h>

#include <algorithm>
#include <string>

namespace platform {
namespace {

constexpr int kMargin = 18;
constexpr int kLineGap = 8;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 28;
constexpr int kMinWidth = 360;
constexpr int kMaxWidth = 900;
constexpr std::string_view kButtonLabel = "確定 OK";
constexpr std::string_view kPlainButtonLabel = "OK";

// The Chinese line wants a CJK face; without one, fontconfig's fallback still
// draws the English line readably. At another scale than 1 the dots per inch follow it.
constexpr const char* kChineseFont = "sans-serif:lang=zh-tw:size=11";
constexpr const char* kEnglishFont = "sans-serif:size=10";

std::string AtScale(const char* font, int dpi) {
  return dpi == 96 ? font : std::string(font) + ":dpi=" + std::to_string(dpi);
}

// Xft (with fontconfig and FreeType behind it) is loaded only when a message
// must be shown: a launcher that starts normally never maps those libraries.
struct XftLibrary {
  void* handle = nullptr;
  decltype(&XftFontOpenName) FontOpenName = nullptr;
  decltype(&XftFontClose) FontClose = nullptr;
  decltype(&XftTextExtentsUtf8) TextExtentsUtf8 = nullptr;
  decltype(&XftDrawCreate) DrawCreate = nullptr;
  decltype(&XftDrawDestroy) DrawDestroy = nullptr;
  decltype(&XftColorAllocName) ColorAllocName = nullptr;
  decltype(&XftColorFree) ColorFree = nullptr;
  decltype(&XftDrawStringUtf8) DrawStringUtf8 = nullptr;
  decltype(&XftDrawRect) DrawRect = nullptr;

  bool Load() {
    // Never unloaded: Xft hooks the display's closing, which runs at exit.
    handle = ::dlopen("libXft.so.2", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) return false;
    bool all = Bind(FontOpenName, "XftFontOpenName") && Bind(FontClose, "XftFontClose") &&
               Bind(TextExtentsUtf8, "XftTextExtentsUtf8") && Bind(DrawCreate, "XftDrawCreate") &&
               Bind(DrawDestroy, "XftDrawDestroy") && Bind(ColorAllocName, "XftColorAllocName") &&
               Bind(ColorFree, "XftColorFree") && Bind(DrawStringUtf8, "XftDrawStringUtf8") &&
               Bind(DrawRect, "XftDrawRect");
    return all;
  }
 private:
  template <typename F>
  bool Bind(F& function, const char* name) {
    function = reinterpret_cast<F>(::dlsym(handle, name));
    return function != nullptr;
  }
};

// What the dialog draws text with: Xft where it loads, else the server's own fonts.
class TextPainter {
 public:
  virtual ~TextPainter() = default;
  virtual int Width(bool chinese, std::string_view text) = 0;
  virtual int Ascent(bool chinese) = 0;
  virtual int Height(bool chinese) = 0;
  virtual void Draw(bool chinese, int x, int y, std::string_view text) = 0;
  virtual void Button(int x, int y, int w, int h) = 0;
  virtual std::string_view ButtonLabel() const = 0;
};

class XftPainter final : public TextPainter {
 public:
  XftPainter(Display* dpy, int screen, int dpi) : dpy_(dpy), screen_(screen), dpi_(dpi) {}
  ~XftPainter() override {
    Visual* visual = DefaultVisual(dpy_, screen_);
    Colormap colormap = DefaultColormap(dpy_, screen_);
    if (draw_ != nullptr) {
      for (XftColor* c : {&text_, &face_, &shade_}) xft_.ColorFree(dpy_, visual, colormap, c);
      xft_.DrawDestroy(draw_);
    }
    for (XftFont* f : {chinese_, english_})
      if (f != nullptr) xft_.FontClose(dpy_, f);
  }
  bool Open() {
    if (!xft_.Load()) return false;
    chinese_ = xft_.FontOpenName(dpy_, screen_, AtScale(kChineseFont, dpi_).c_str());
    english_ = xft_.FontOpenName(dpy_, screen_, AtScale(kEnglishFont, dpi_).c_str());
    return chinese_ != nullptr && english_ != nullptr;
  }
  void Attach(Window window) {
    Visual* visual = DefaultVisual(dpy_, screen_);
    Colormap colormap = DefaultColormap(dpy_, screen_);
    draw_ = xft_.DrawCreate(dpy_, window, visual, colormap);
    xft_.ColorAllocName(dpy_, visual, colormap, "#202020", &text_);
    xft_.ColorAllocName(dpy_, visual, colormap, "#E1E1E1", &face_);
    xft_.ColorAllocName(dpy_, visual, colormap, "#7A7A7A", &shade_);
  }
  int Width(bool chinese, std::string_view text) override {
    XGlyphInfo extents{};
    xft_.TextExtentsUtf8(dpy_, Font(chinese), reinterpret_cast<const FcChar8*>(text.data()),
                         static_cast<int>(text.size()), &extents);
    return extents.xOff;
  }
  int Ascent(bool chinese) override { return Font(chinese)->ascent; }
  int Height(bool chinese) override { return Font(chinese)->ascent + Font(chinese)->descent; }
  void Draw(bool chinese, int x, int y, std::string_view text) override {
    xft_.DrawStringUtf8(draw_, &text_, Font(chinese), x, y, reinterpret_cast<const FcChar8*>(text.data()),
                        static_cast<int>(text.size()));
  }
  void Button(int x, int y, int w, int h) override {
    xft_.DrawRect(draw_, &shade_, x, y, w, h);
    xft_.DrawRect(draw_, &face_, x + 1, y + 1, w - 2, h - 2);
  }
  std::string_view ButtonLabel() const override { return kButtonLabel; }

 private:
  XftFont* Font(bool chinese) const { return chinese ? chinese_ : english_; }
  Display* dpy_;
  int screen_, dpi_;
  XftLibrary xft_;
  XftFont* chinese_ = nullptr;
  XftFont* english_ = nullptr;
  XftDraw* draw_ = nullptr;
  XftColor text_{}, face_{}, shade_{};
};

// Without Xft: the server's "fixed" font. The Chinese line shows what that
// font has; the English line stays readable.
class CorePainter final : public TextPainter {
 public:
  CorePainter(Display* dpy, int screen, int dpi) : dpy_(dpy), screen_(screen), dpi_(dpi) {}
  ~CorePainter() override {
    if (gc_ != nullptr) XFreeGC(dpy_, gc_);
    if (fontset_ != nullptr) XFreeFontSet(dpy_, fontset_);
  }
  bool Open() {
    char** missing = nullptr;
    int missing_count = 0;
    char* fallback = nullptr;
    const std::string names = "-*-*-medium-r-normal--*-" + std::to_string(120 * dpi_ / 96) + "-*-*-*-*-*-*,fixed";
    fontset_ = XCreateFontSet(dpy_, names.c_str(), &missing, &missing_count, &fallback);
    if (missing != nullptr) XFreeStringList(missing);
    return fontset_ != nullptr;
  }
  void Attach(Window window) {
    window_ = window;
    gc_ = XCreateGC(dpy_, window, 0, nullptr);
  }
  int Width(bool, std::string_view text) override {
    return Xutf8TextEscapement(fontset_, text.data(), static_cast<int>(text.size()));
  }
  int Ascent(bool) override { return -XExtentsOfFontSet(fontset_)->max_logical_extent.y; }
  int Height(bool) override { return XExtentsOfFontSet(fontset_)->max_logical_extent.height; }
  void Draw(bool, int x, int y, std::string_view text) override {
    XSetForeground(dpy_, gc_, BlackPixel(dpy_, screen_));
    Xutf8DrawString(dpy_, window_, fontset_, gc_, x, y, text.data(), static_cast<int>(text.size()));
  }
  void Button(int x, int y, int w, int h) override {
    XSetForeground(dpy_, gc_, BlackPixel(dpy_, screen_));
    XDrawRectangle(dpy_, window_, gc_, x, y, w - 1, h - 1);
  }
  std::string_view ButtonLabel() const override { return kPlainButtonLabel; }

 private:
  Display* dpy_;
  int screen_, dpi_;
  XFontSet fontset_ = nullptr;
  Window window_ = None;
  GC gc_ = nullptr;
};

class Dialog {
 public:
  Dialog(Display* dpy, TextPainter& text, int dpi, std::string_view chinese, std::string_view english)
      : dpy_(dpy), text_(text), chinese_(chinese), english_(english), screen_(DefaultScreen(dpy)),
        margin_(At(kMargin, dpi)), line_gap_(At(kLineGap, dpi)), button_width_(At(kButtonWidth, dpi)),
        button_height_(At(kButtonHeight, dpi)), min_width_(At(kMinWidth, dpi)), max_width_(At(kMaxWidth, dpi)) {}
  ~Dialog() {
    if (window_ != None) XDestroyWindow(dpy_, window_);
    XFlush(dpy_);
  }
  Window Create();
  void Run();

 private:
  void Paint();
  bool InButton(int x, int y) const {
    return x >= button_x_ && x < button_x_ + button_width_ && y >= button_y_ && y < button_y_ + button_height_;
  }
  static int At(int length, int dpi) { return (length * dpi + 48) / 96; }  // the box grows with the letters

  Display* dpy_;
  TextPainter& text_;
  std::string_view chinese_, english_;
  int screen_;
  const int margin_, line_gap_, button_width_, button_height_, min_width_, max_width_;
  Window window_ = None;
  int width_ = 0, height_ = 0, button_x_ = 0, button_y_ = 0;
  Atom delete_window_ = None;
};

Window Dialog::Create() {
  int text_width = std::max(text_.Width(true, chinese_), text_.Width(false, english_));
  width_ = std::clamp(text_width + 2 * margin_, min_width_, max_width_);
  height_ = margin_ + text_.Height(true) + line_gap_ + text_.Height(false) + margin_ + button_height_ + margin_;
  button_x_ = width_ - margin_ - button_width_;
  button_y_ = height_ - margin_ - button_height_;

  XSetWindowAttributes attrs{};
  attrs.background_pixel = 0xF0F0F0;
  attrs.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
  int x = std::max(0, (DisplayWidth(dpy_, screen_) - width_) / 2);
  int y = std::max(0, (DisplayHeight(dpy_, screen_) - height_) / 2);
  window_ = XCreateWindow(dpy_, RootWindow(dpy_, screen_), x, y, width_, height_, 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attrs);
  std::string title = "autorun";
  XStoreName(dpy_, window_, title.c_str());
  XChangeProperty(dpy_, window_, XInternAtom(dpy_, "_NET_WM_NAME", False), XInternAtom(dpy_, "UTF8_STRING", False),
                  8, PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  Atom type = XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(dpy_, window_, XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&type), 1);
  XSizeHints* size = XAllocSizeHints();
  size->flags = PPosition | PMinSize | PMaxSize;
  size->min_width = size->max_width = width_;
  size->min_height = size->max_height = height_;
  XSetWMNormalHints(dpy_, window_, size);
  XFree(size);
  XWMHints* hints = XAllocWMHints();
  hints->flags = InputHint;
  hints->input = True;
  XSetWMHints(dpy_, window_, hints);
  XFree(hints);
  delete_window_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(dpy_, window_, &delete_window_, 1);
  return window_;
}

void Dialog::Paint() {
  int y1 = margin_ + text_.Ascent(true);
  text_.Draw(true, margin_, y1, chinese_);
  int y2 = margin_ + text_.Height(true) + line_gap_ + text_.Ascent(false);
  text_.Draw(false, margin_, y2, english_);
  text_.Button(button_x_, button_y_, button_width_, button_height_);
  std::string_view label = text_.ButtonLabel();
  int label_x = button_x_ + (button_width_ - text_.Width(true, label)) / 2;
  int label_y = button_y_ + (button_height_ - text_.Height(true)) / 2 + text_.Ascent(true);
  text_.Draw(true, label_x, label_y, label);
}

void Dialog::Run() {
  XMapRaised(dpy_, window_);
  bool pressed_on_button = false;
  for (;;) {
    XEvent event;
    XNextEvent(dpy_, &event);
    if (event.xany.window != window_) continue;
    switch (event.type) {
      case MapNotify:
        // Without a window manager nobody else gives the dialog the keyboard.
        XSetInputFocus(dpy_, window_, RevertToPointerRoot, CurrentTime);
        break;
      case Expose:
        if (event.xexpose.count == 0) Paint();
        break;
      case KeyPress: {
        KeySym key = XLookupKeysym(&event.xkey, 0);
        if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space) return;
        break;
      }
      case ButtonPress:
        pressed_on_button = event.xbutton.button == Button1 && InButton(event.xbutton.x, event.xbutton.y);
        break;
      case ButtonRelease:
        if (pressed_on_button && InButton(event.xbutton.x, event.xbutton.y)) return;
        pressed_on_button = false;
        break;
      case ClientMessage:
        if (static_cast<Atom>(event.xclient.data.l[0]) == delete_window_) return;
        break;
      case DestroyNotify:
        window_ = None;
        return;
      default: break;
    }
  }
}

template <typename Painter>
bool ShowWith(Display* display, int dpi, std::string_view chinese, std::string_view english) {
  Painter painter(display, DefaultScreen(display), dpi);
  if (!painter.Open()) return false;
  Dialog dialog(display, painter, dpi, chinese, english);
  painter.Attach(dialog.Create());
  dialog.Run();
  return true;
}

}  // namespace

void ShowErrorDialog(Display* display, int dpi, std::string_view chinese, std::string_view english) {
  if (!ShowWith<XftPainter>(display, dpi, chinese, english)) ShowWith<CorePainter>(display, dpi, chinese, english);
}

}  // namespace platform
