#include "platform/x11_error_dialog.h"

#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

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

// The Chinese line wants a CJK face; without one, fontconfig's fallback still
// draws the English line readably.
constexpr const char* kChineseFont = "sans-serif:lang=zh-tw:size=11";
constexpr const char* kEnglishFont = "sans-serif:size=10";

struct Fonts {
  XftFont* chinese = nullptr;
  XftFont* english = nullptr;
};

int TextWidth(Display* dpy, XftFont* font, std::string_view text) {
  XGlyphInfo extents{};
  XftTextExtentsUtf8(dpy, font, reinterpret_cast<const FcChar8*>(text.data()),
                     static_cast<int>(text.size()), &extents);
  return extents.xOff;
}

class Dialog {
 public:
  Dialog(Display* dpy, std::string_view chinese, std::string_view english)
      : dpy_(dpy), chinese_(chinese), english_(english), screen_(DefaultScreen(dpy)) {}
  ~Dialog();
  bool Open();
  void Run();

 private:
  void Paint();
  bool InButton(int x, int y) const {
    return x >= button_x_ && x < button_x_ + kButtonWidth && y >= button_y_ && y < button_y_ + kButtonHeight;
  }

  Display* dpy_;
  std::string_view chinese_, english_;
  int screen_;
  Fonts fonts_;
  Window window_ = None;
  XftDraw* draw_ = nullptr;
  XftColor text_{}, face_{}, shade_{};
  int width_ = 0, height_ = 0, button_x_ = 0, button_y_ = 0;
  Atom delete_window_ = None;
};

bool Dialog::Open() {
  fonts_.chinese = XftFontOpenName(dpy_, screen_, kChineseFont);
  fonts_.english = XftFontOpenName(dpy_, screen_, kEnglishFont);
  if (fonts_.chinese == nullptr || fonts_.english == nullptr) return false;
  int text_width = std::max(TextWidth(dpy_, fonts_.chinese, chinese_), TextWidth(dpy_, fonts_.english, english_));
  width_ = std::clamp(text_width + 2 * kMargin, kMinWidth, kMaxWidth);
  int line1 = fonts_.chinese->ascent + fonts_.chinese->descent;
  int line2 = fonts_.english->ascent + fonts_.english->descent;
  height_ = kMargin + line1 + kLineGap + line2 + kMargin + kButtonHeight + kMargin;
  button_x_ = width_ - kMargin - kButtonWidth;
  button_y_ = height_ - kMargin - kButtonHeight;

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

  Visual* visual = DefaultVisual(dpy_, screen_);
  Colormap colormap = DefaultColormap(dpy_, screen_);
  draw_ = XftDrawCreate(dpy_, window_, visual, colormap);
  XftColorAllocName(dpy_, visual, colormap, "#202020", &text_);
  XftColorAllocName(dpy_, visual, colormap, "#E1E1E1", &face_);
  XftColorAllocName(dpy_, visual, colormap, "#7A7A7A", &shade_);
  XMapRaised(dpy_, window_);
  return true;
}

Dialog::~Dialog() {
  Visual* visual = DefaultVisual(dpy_, screen_);
  Colormap colormap = DefaultColormap(dpy_, screen_);
  if (draw_ != nullptr) {
    XftColorFree(dpy_, visual, colormap, &text_);
    XftColorFree(dpy_, visual, colormap, &face_);
    XftColorFree(dpy_, visual, colormap, &shade_);
    XftDrawDestroy(draw_);
  }
  if (window_ != None) XDestroyWindow(dpy_, window_);
  if (fonts_.chinese != nullptr) XftFontClose(dpy_, fonts_.chinese);
  if (fonts_.english != nullptr) XftFontClose(dpy_, fonts_.english);
  XFlush(dpy_);
}

void Dialog::Paint() {
  auto draw = [&](XftFont* font, int x, int y, std::string_view text) {
    XftDrawStringUtf8(draw_, &text_, font, x, y, reinterpret_cast<const FcChar8*>(text.data()),
                      static_cast<int>(text.size()));
  };
  int y1 = kMargin + fonts_.chinese->ascent;
  draw(fonts_.chinese, kMargin, y1, chinese_);
  int y2 = y1 + fonts_.chinese->descent + kLineGap + fonts_.english->ascent;
  draw(fonts_.english, kMargin, y2, english_);
  XftDrawRect(draw_, &shade_, button_x_, button_y_, kButtonWidth, kButtonHeight);
  XftDrawRect(draw_, &face_, button_x_ + 1, button_y_ + 1, kButtonWidth - 2, kButtonHeight - 2);
  int label_x = button_x_ + (kButtonWidth - TextWidth(dpy_, fonts_.chinese, kButtonLabel)) / 2;
  int label_y = button_y_ + (kButtonHeight + fonts_.chinese->ascent - fonts_.chinese->descent) / 2;
  draw(fonts_.chinese, label_x, label_y, kButtonLabel);
}

void Dialog::Run() {
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

}  // namespace

void ShowErrorDialog(Display* display, std::string_view chinese, std::string_view english) {
  Dialog dialog(display, chinese, english);
  if (dialog.Open()) dialog.Run();
}

}  // namespace platform
