#pragma once
// The window on a high-density screen: the client area is composed at its
// design size and shown F times larger, and the pointer's positions come back
// divided by F, so the procedures see what they would see at F = 1. F is kept
// as dots per inch over 96, a whole number of dots, so that every division is
// exact.

#include "pictures/picture.h"
#include "platform/window/pixel_rect.h"

namespace platform {

struct Scale {
  int dpi = 96;  // F = dpi / 96: 96 to 384

  // F = dpi / 96, clamped to 1..4; anything but a positive number gives 1.
  static Scale FromDpi(double dpi);
  // An X desktop's: GDK_SCALE when it is a whole number, else Xft.dpi, else 1.
  // Either may be null (not set).
  static Scale FromX11(const char* gdk_scale, const char* xft_dpi);

  bool operator==(const Scale&) const = default;
  bool Whole() const { return dpi % 96 == 0; }
  double Factor() const { return dpi / 96.0; }
  // The pointers' factor: F rounded to the nearest whole number.
  int PointerFactor() const { return (dpi + 48) / 96; }
  // A length on screen: round(n * F).
  int Length(int n) const;
  // A position on screen back in client pixels: floor(x / F).
  int Logical(int x) const;
  // The screen pixels whose positions come back inside `r`: at a whole F, the ones that show it.
  PixelRect ToScreen(const PixelRect& r) const;
  // The client pixels that screen pixels in `r` come back to.
  PixelRect ToLogical(const PixelRect& r) const;
};

// Each pixel repeated n by n.
pictures::Image Repeated(const pictures::Image& image, int n);

}  // namespace platform
