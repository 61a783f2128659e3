// The floor for pointer motion: the least a client does to follow the pointer.
// It reads every motion and does nothing with it, except that when the pointer
// comes into a rectangle it reads and decodes a GIF (giflib) and puts it to the
// window; when it leaves, that area is cleared again. It stands where the
// launcher stands (centred, 641x480) and ends when closed through its frame.
//
//   bare_motion_window PICTURE.gif PICTURE_X PICTURE_Y RECT_X RECT_Y RECT_W RECT_H

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gif_lib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kWidth = 641, kHeight = 480;

// The first image of the file as xRGB rows; false when giflib cannot read it.
bool ReadGif(const char* path, int& width, int& height, std::vector<std::uint32_t>& pixels) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path, &error);
  if (gif == nullptr) return false;
  bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
  if (ok) {
    const SavedImage& image = gif->SavedImages[0];
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    width = image.ImageDesc.Width;
    height = image.ImageDesc.Height;
    pixels.resize(static_cast<std::size_t>(width) * height);
    ok = map != nullptr;
    for (std::size_t i = 0; ok && i < pixels.size(); ++i) {
      const GifColorType c = map->Colors[image.RasterBits[i] % map->ColorCount];
      pixels[i] = std::uint32_t{c.Red} << 16 | c.Green << 8 | c.Blue;
    }
  }
  DGifCloseFile(gif, &error);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fputs("usage: bare_motion_window PICTURE.gif PICTURE_X PICTURE_Y RECT_X RECT_Y RECT_W RECT_H\n", stderr);
    return 2;
  }
  const int picture_x = std::atoi(argv[2]), picture_y = std::atoi(argv[3]);
  const int rect_x = std::atoi(argv[4]), rect_y = std::atoi(argv[5]), rect_w = std::atoi(argv[6]), rect_h = std::atoi(argv[7]);
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fputs("bare_motion_window: cannot open the display\n", stderr);
    return 1;
  }
  const int screen = DefaultScreen(dpy);
  Window window = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), (DisplayWidth(dpy, screen) - kWidth) / 2,
                                      (DisplayHeight(dpy, screen) - kHeight) / 2, kWidth, kHeight, 0, 0, 0);
  XSelectInput(dpy, window, PointerMotionMask);
  Atom delete_window = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(dpy, window, &delete_window, 1);
  XStoreName(dpy, window, "bare_motion_window");
  XMapWindow(dpy, window);
  bool inside = false;
  std::vector<std::uint32_t> pixels;
  for (;;) {
    XEvent event;
    XNextEvent(dpy, &event);
    if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == delete_window) break;
    if (event.type != MotionNotify) continue;
    const int x = event.xmotion.x, y = event.xmotion.y;
    const bool now = x >= rect_x && x < rect_x + rect_w && y >= rect_y && y < rect_y + rect_h;
    if (now == inside) continue;
    inside = now;
    int width = 0, height = 0;
    if (!inside) {
      XClearArea(dpy, window, picture_x, picture_y, 0, 0, False);
    } else if (ReadGif(argv[1], width, height, pixels)) {
      XImage* image = XCreateImage(dpy, DefaultVisual(dpy, screen), DefaultDepth(dpy, screen), ZPixmap, 0,
                                   reinterpret_cast<char*>(pixels.data()), width, height, 32, width * 4);
      XPutImage(dpy, window, DefaultGC(dpy, screen), image, 0, 0, picture_x, picture_y, width, height);
      image->data = nullptr;  // the vector owns the pixels
      XDestroyImage(image);
    }
    XFlush(dpy);
  }
  XCloseDisplay(dpy);
  return 0;
}
