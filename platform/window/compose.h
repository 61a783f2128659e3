#pragma once
// Drawing the controls into the client area's pixels.

#include <cstdint>
#include <span>

#include "platform/window/control_surface.h"

namespace platform {

// The window's own colour: seen only where the background picture does not reach.
inline constexpr std::uint32_t kWindowColour = 0xFFC0C0C0;

// The client area's pixels in memory: 0xAARRGGBB, `width` per row, top-down.
struct Canvas {
  std::uint32_t* pixels = nullptr;
  int width = 0, height = 0;
};

// Draws the part `r` of the client area afresh: the window colour unless an
// opaque bitmap covers all of `r`, then each control back to front; a picture's
// transparent pixels leave what lies beneath.
void Compose(Canvas canvas, std::span<const ControlSurface* const> back_to_front, const PixelRect& r);

// The keyboard focus: a dotted line along the edge of `ring`, drawn where it meets `r`, each dot
// black or white, whichever stands out from the pixel beneath it.
void DrawFocusRing(Canvas canvas, const PixelRect& ring, const PixelRect& r);

}  // namespace platform
