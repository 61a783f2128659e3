#pragma once
// What every window runtime does alike with the window's controls, free of any
// windowing system: where a control stands in pixels and how a new picture
// changes that, the design-time pictures, the mouse arguments a procedure
// receives, and drawing the controls into the client area's pixels.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pictures/dib.h"
#include "platform/runtime.h"
#include "platform/window/program_description.h"

namespace platform {

// The window's own colour: seen only where the background picture does not reach.
inline constexpr std::uint32_t kWindowColour = 0xFFC0C0C0;

// A rectangle of client pixels, [x, x + w) by [y, y + h); empty when a side is not positive.
struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;

  bool Empty() const { return w <= 0 || h <= 0; }
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
  PixelRect Intersect(const PixelRect& o) const;
  PixelRect Union(const PixelRect& o) const;  // the least rectangle holding both; an empty one adds nothing
  bool operator==(const PixelRect&) const = default;
};

// What a control shows and where.
struct ControlSurface {
  PixelRect area;  // follows the size of each picture assigned
  Picture picture;
  std::optional<pictures::Bmp24View> bitmap;  // drawn in place of `picture` while that is empty
  bool enabled = true;
};

// The control at its design-time place with its design-time picture: an image
// control takes its picture's size; the background shows the bitmap inside its
// picture object, read in place where it can be (`object_scratch` otherwise
// holds a copy and must outlive the surface). Throws RuntimeError("Load", name, cause).
ControlSurface DesignSurface(const ControlLayout& control, std::vector<std::uint8_t>& object_scratch);

// Sets the control's picture: the control takes the picture's size and keeps its
// place; the empty picture keeps the size. Returns the area to draw afresh: where
// the old picture and the new one show (empty when the picture is the same).
PixelRect AssignPicture(ControlSurface& control, const Picture& picture);

// Mouse buttons and modifier keys as the procedures number them: Button 1 left,
// 2 right, 4 middle; Shift 1 shift, 2 ctrl, 4 alt; held ones add up.
inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;
inline constexpr std::int16_t kMiddleButton = 4;
struct HeldButtons {
  bool left = false, right = false, middle = false;
};
struct HeldKeys {
  bool shift = false, control = false, alt = false;
};
std::int16_t ButtonArgument(const HeldButtons& held);
std::int16_t ShiftArgument(const HeldKeys& held);

// A procedure's arguments for a point given in pixels from the control's top-left corner.
MouseArgs ArgsAt(int x, int y, std::int16_t button, std::int16_t shift);

// The client area's pixels in memory: 0xAARRGGBB, `width` per row, top-down.
struct Canvas {
  std::uint32_t* pixels = nullptr;
  int width = 0, height = 0;
};

// Draws the part `r` of the client area afresh: the window colour unless an
// opaque bitmap covers all of `r`, then each control back to front; a picture's
// transparent pixels leave what lies beneath.
void Compose(Canvas canvas, std::span<const ControlSurface* const> back_to_front, const PixelRect& r);

}  // namespace platform
