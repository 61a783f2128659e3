#pragma once
// The runtime's error message: a small dialog titled "autorun" with the
// Traditional Chinese text above the English, dismissed with Return, Escape,
// its button or by closing it. Fonts are opened only here. Letters and box
// grow with the desktop's scale, dpi / 96.

#include <string_view>

typedef struct _XDisplay Display;

namespace platform {

void ShowErrorDialog(Display* display, int dpi, std::string_view chinese, std::string_view english);

}  // namespace platform
