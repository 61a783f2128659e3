#pragma once
// What a control shows and where: its design-time picture and place, and what
// a new picture changes.

#include <optional>
#include <vector>

#include "pictures/dib.h"
#include "platform/runtime.h"
#include "platform/window/pixel_rect.h"
#include "platform/window/program_description.h"

namespace platform {

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

}  // namespace platform
