#pragma once
// Mouse buttons and modifier keys as the procedures number them, and the
// arguments a procedure receives for a point in pixels.

#include <cstdint>

#include "platform/runtime.h"

namespace platform {

// Button 1 left, 2 right, 4 middle; Shift 1 shift, 2 ctrl, 4 alt; held ones add up.
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

}  // namespace platform
