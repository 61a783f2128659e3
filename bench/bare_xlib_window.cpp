// The floor for start-up: the least an Xlib program does to show a 24-bit
// bitmap: read the file, map a window of its size, put the pixels on Expose,
// and end when the window is closed through its frame.
//
//   bare_xlib_window PICTURE.bmp

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kMaxSide = 4096;
constexpr long kMaxFileBytes = 64L << 20;

std::uint32_t Le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

std::vector<unsigned char> ReadFile(const char* path) {
  std::vector<unsigned char> bytes;
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return bytes;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0 && size <= kMaxFileBytes && std::fseek(f, 0, SEEK_SET) == 0) {
      bytes.resize(static_cast<std::size_t>(size));
      if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    }
  }
  std::fclose(f);
  return bytes;
}

// An uncompressed 24-bit bottom-up BMP, turned into 32-bit xRGB rows top-down.
bool DecodeBmp24(const std::vector<unsigned char>& b, int& width, int& height, std::vector<std::uint32_t>& out) {
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
  const std::uint32_t offset = Le(b, 10, 4);
  const auto w = static_cast<std::int32_t>(Le(b, 18, 4)), h = static_cast<std::int32_t>(Le(b, 22, 4));
  if (Le(b, 28, 2) != 24 || Le(b, 30, 4) != 0) return false;
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return false;
  const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
  if (offset > b.size() || stride * static_cast<std::size_t>(h) > b.size() - offset) return false;
  width = w;
  height = h;
  out.resize(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const unsigned char* row = b.data() + offset + static_cast<std::size_t>(h - 1 - y) * stride;
    for (int x = 0; x < w; ++x)
      out[static_cast<std::size_t>(y) * w + x] = std::uint32_t{row[3 * x + 2]} << 16 | row[3 * x + 1] << 8 | row[3 * x];
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: bare_xlib_window PICTURE.bmp\n", stderr);
    return 2;
  }
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  if (!DecodeBmp24(ReadFile(argv[1]), width, height, pixels)) {
    std::fprintf(stderr, "bare_xlib_window: %s is not a readable uncompressed 24-bit BMP\n", argv[1]);
    return 1;
  }
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fputs("bare_xlib_window: cannot open the display\n", stderr);
    return 1;
  }
  const int screen = DefaultScreen(dpy);
  Visual* visual = DefaultVisual(dpy, screen);
  if (DefaultDepth(dpy, screen) != 24 || visual->red_mask != 0xFF0000 || visual->blue_mask != 0xFF) {
    std::fputs("bare_xlib_window: needs a 24-bit TrueColor display\n", stderr);
    return 1;
  }
  XImage* image = XCreateImage(dpy, visual, 24, ZPixmap, 0, reinterpret_cast<char*>(pixels.data()), width,
                               height, 32, width * 4);
  Window window = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, width, height, 0, 0, 0);
  XSelectInput(dpy, window, ExposureMask);
  Atom delete_window = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(dpy, window, &delete_window, 1);
  XStoreName(dpy, window, "bare_xlib_window");
  XMapWindow(dpy, window);
  for (;;) {
    XEvent event;
    XNextEvent(dpy, &event);
    if (event.type == Expose)
      XPutImage(dpy, window, DefaultGC(dpy, screen), image, event.xexpose.x, event.xexpose.y, event.xexpose.x,
                event.xexpose.y, event.xexpose.width, event.xexpose.height);
    else if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == delete_window)
      break;
  }
  image->data = nullptr;  // the vector owns the pixels
  XDestroyImage(image);
  XCloseDisplay(dpy);
  return 0;
}
