// Stand-in for one of the programs a real disc carries (the setup wizard or the
// manual installation program). It says what it is on standard output and, when
// a display is there, in a small window that closes on a click, Return, Escape
// or the frame's close button. Built twice, once per program (STAND_IN_KIND).

#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Role {
  const char* title;
  const char* lines[3];
};

//  window title                            what the window and standard output say
constexpr Role kRoles[] = {
    {"Setup Wizard (stand-in)",
     {"This program stands in for the disc's setup wizard.",
      "A real disc carries the print server's setup wizard here.",
      "Click or press Return or Escape to close."}},
    {"Manual Installation (stand-in)",
     {"This program stands in for the disc's manual installation program.",
      "A real disc carries the driver and port installer here.",
      "Click or press Return or Escape to close."}},
};

#ifndef STAND_IN_KIND
#define STAND_IN_KIND 0
#endif
static_assert(STAND_IN_KIND >= 0 && STAND_IN_KIND < 2, "STAND_IN_KIND names a row of kRoles");
constexpr const Role& kRole = kRoles[STAND_IN_KIND];

constexpr int kMinWidth = 360;
constexpr int kHeight = 130;
constexpr int kMargin = 20;
constexpr int kLineHeight = 26;

struct StandInWindow {
  Display* display = nullptr;
  ::Window window = 0;
  XftFont* font = nullptr;
  XftFont* bold = nullptr;
  XftDraw* draw = nullptr;
  XftColor ink{}, accent{};
  Atom delete_atom = 0;
  int width = kMinWidth;
};

void SetTitle(StandInWindow& w) {
  XStoreName(w.display, w.window, kRole.title);
  const Atom utf8 = XInternAtom(w.display, "UTF8_STRING", False);
  XChangeProperty(w.display, w.window, XInternAtom(w.display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(kRole.title), static_cast<int>(std::strlen(kRole.title)));
  XSizeHints hints{};
  hints.flags = PMinSize | PMaxSize;
  hints.min_width = hints.max_width = w.width;
  hints.min_height = hints.max_height = kHeight;
  XSetWMNormalHints(w.display, w.window, &hints);
}

// Wide enough for the longest line in the font actually found.
int WindowWidth(const StandInWindow& w) {
  int widest = 0;
  for (int i = 0; i < 3; ++i) {
    XftFont* font = i == 0 ? w.bold : w.font;
    if (!font) continue;
    XGlyphInfo extents{};
    XftTextExtentsUtf8(w.display, font, reinterpret_cast<const FcChar8*>(kRole.lines[i]),
                       static_cast<int>(std::strlen(kRole.lines[i])), &extents);
    widest = std::max(widest, static_cast<int>(extents.xOff));
  }
  return std::max(kMinWidth, widest + 2 * kMargin);
}

bool Open(StandInWindow& w) {
  w.display = XOpenDisplay(nullptr);
  if (!w.display) return false;
  const int screen = DefaultScreen(w.display);
  w.font = XftFontOpenName(w.display, screen, "DejaVu Sans:size=10");
  w.bold = XftFontOpenName(w.display, screen, "DejaVu Sans:bold:size=10");
  w.width = WindowWidth(w);
  w.window = XCreateSimpleWindow(w.display, RootWindow(w.display, screen), 0, 0, w.width, kHeight, 0,
                                 BlackPixel(w.display, screen), WhitePixel(w.display, screen));
  SetTitle(w);
  w.delete_atom = XInternAtom(w.display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(w.display, w.window, &w.delete_atom, 1);
  XSelectInput(w.display, w.window, ExposureMask | KeyPressMask | ButtonPressMask);
  Visual* visual = DefaultVisual(w.display, screen);
  const Colormap colormap = DefaultColormap(w.display, screen);
  w.draw = XftDrawCreate(w.display, w.window, visual, colormap);
  XftColorAllocName(w.display, visual, colormap, "#333333", &w.ink);
  XftColorAllocName(w.display, visual, colormap, "#be4e06", &w.accent);
  XMapWindow(w.display, w.window);
  return true;
}

void Paint(StandInWindow& w) {
  XClearWindow(w.display, w.window);
  for (int i = 0; i < 3; ++i) {
    XftFont* font = i == 0 ? w.bold : w.font;
    if (!font || !w.draw) continue;
    const char* text = kRole.lines[i];
    XftDrawStringUtf8(w.draw, i == 0 ? &w.accent : &w.ink, font, kMargin, kMargin + 14 + i * kLineHeight,
                      reinterpret_cast<const FcChar8*>(text), static_cast<int>(std::strlen(text)));
  }
  XFlush(w.display);
}

bool ClosesWindow(StandInWindow& w, XEvent& e) {
  switch (e.type) {
    case Expose:
      if (e.xexpose.count == 0) Paint(w);
      return false;
    case ButtonPress:
      return true;
    case KeyPress: {
      const KeySym key = XLookupKeysym(&e.xkey, 0);
      return key == XK_Return || key == XK_KP_Enter || key == XK_Escape;
    }
    case ClientMessage:
      return static_cast<Atom>(e.xclient.data.l[0]) == w.delete_atom;
    default:
      return false;
  }
}

void Close(StandInWindow& w) {
  if (w.draw) XftDrawDestroy(w.draw);
  if (w.font) XftFontClose(w.display, w.font);
  if (w.bold) XftFontClose(w.display, w.bold);
  XDestroyWindow(w.display, w.window);
  XCloseDisplay(w.display);
}

}  // namespace

int main() {
  std::printf("%s\n%s\n", kRole.lines[0], kRole.lines[1]);
  std::fflush(stdout);
  StandInWindow w;
  if (!Open(w)) return 0;  // no display: saying it on standard output is enough
  for (XEvent e; XNextEvent(w.display, &e) == 0;)
    if (ClosesWindow(w, e)) break;
  Close(w);
  return 0;
}
