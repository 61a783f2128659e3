#include "platform/window/mouse_args.h"

#include "platform/window/program_description.h"

namespace platform {

std::int16_t ButtonArgument(const HeldButtons& held) {
  return static_cast<std::int16_t>((held.left ? kLeftButton : 0) | (held.right ? kRightButton : 0) |
                                   (held.middle ? kMiddleButton : 0));
}

std::int16_t ShiftArgument(const HeldKeys& held) {
  return static_cast<std::int16_t>((held.shift ? 1 : 0) | (held.control ? 2 : 0) | (held.alt ? 4 : 0));
}

MouseArgs ArgsAt(int x, int y, std::int16_t button, std::int16_t shift) {
  return MouseArgs{button, shift, TwipsFromPixels(x), TwipsFromPixels(y)};
}

}  // namespace platform
