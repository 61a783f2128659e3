#pragma once
// The runtime's error message: a small dialog titled "autorun" with the
// Traditional Chinese text above the English, dismissed with Return, Escape,
// its button or by closing it. Fonts are opened only here.

#include <string_view>

typedef struct _XDisplay Display;

namespace platform {

void ShowErrorDialog(Display* display, std::string_view chinese, std::string_view english);

}  // namespace platform
