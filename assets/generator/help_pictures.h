#pragma once
// The help panel's pictures: a heading and a few lines of explanation on white,
// made for the white help box of the background.

#include <string_view>

#include "assets/generator/canvas.h"
#include "assets/generator/text.h"

namespace assets {

inline constexpr int kHelpWidth = 377;
inline constexpr int kHelpHeight = 73;

struct HelpSpec {
  std::string_view file_name;
  std::string_view heading;
  std::string_view body;
};

inline constexpr HelpSpec kHelpPictures[] = {
    {"help.gif", "Welcome",
     "Point at a button to see here what it does. Most users start with Setup Wizard, which "
     "installs the print server step by step. Click Exit to close this menu."},
    {"setupwizardhelp.gif", "Setup Wizard (recommended)",
     "Finds the print server on your network, gives it an address and adds its printers to "
     "this computer, step by step. This menu closes once the wizard has started."},
    {"manualinstallationhelp.gif", "Manual Installation",
     "For administrators: installs the printer driver and port software without the wizard, "
     "so that you enter the print server's settings yourself. This menu stays open."},
    {"documentationhelp.gif", "Documentation",
     "Opens the User Guide in your web browser: installing and setting up the print server, "
     "printing from each computer, and solving common problems."},
};

// Thrown (std::runtime_error) if the text does not fit the picture.
Canvas DrawHelpPicture(const HelpSpec& help, const Fonts& fonts);

}  // namespace assets
