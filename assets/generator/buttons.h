#pragma once
// The four picture buttons: the background's own pixels at each button's
// place with the button's name lettered over them, normal and pressed.

#include <string_view>

#include "assets/generator/canvas.h"
#include "assets/generator/text.h"

namespace assets {

struct ButtonDesign {
  std::string_view file_stem;  // "setupwizard" gives setupwizard.gif and setupwizarddown.gif
  std::string_view label;
  int left, top, width, height;  // pixels on the background
};

//  file stem              label                  left  top  width height
inline constexpr ButtonDesign kButtons[] = {
    {"setupwizard",        "Setup Wizard",         74, 287,  110,  24},
    {"manualinstallation", "Manual Installation",   8, 334,  149,  23},
    {"documentation",      "Documentation",        32, 384,  118,  25},
    {"exit",               "Exit",                120, 432,   44,  24},
};

enum class ButtonState { Normal, Pressed };

// The largest lettering size at which every button's name fits its picture.
int ButtonTextSize(const Fonts& fonts);

Canvas DrawButton(const Canvas& background, const ButtonDesign& button, const Fonts& fonts, int text_size,
                  ButtonState state);

}  // namespace assets
