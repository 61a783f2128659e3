#pragma once
// The help panel's pictures: a heading and a few lines of explanation on white,
// made for the white help box of the background.

#include <string_view>

#include "assets/generator/canvas.h"
#include "assets/generator/text.h"

namespace assets {

inline constexpr int kHelpWidth = 377;
inline constexpr int kHelpHeight = 73;

struct HelpPage {
  std::string_view file_name;
  std::string_view heading;
  std::string_view body;
};

inline constexpr HelpPage kHelpPictures[] = {
    {"help.gif", "Welcome",
     "Point at a button and this panel explains what it does. Most users start with Setup "
     "Wizard, which installs the print server step by step. Exit closes this menu."},
    {"setupwizardhelp.gif", "Setup Wizard (recommended)",
     "Finds the print server on your network, gives it an address and adds its printers to "
     "this computer, step by step. This menu then closes by itself."},
    {"manualinstallationhelp.gif", "Manual Installation",
     "For administrators: installs the printer driver and port software without the wizard, "
     "so that you enter the print server's settings yourself. This menu stays open."},
    {"documentationhelp.gif", "Documentation",
     "Opens the User Guide in your web browser: how to use this menu, what each program does "
     "and what to do if something goes wrong. This menu stays open."},
};

// Thrown (std::runtime_error) if the text does not fit the picture.
Canvas DrawHelpPicture(const HelpPage& help, const Fonts& fonts);

}  // namespace assets
