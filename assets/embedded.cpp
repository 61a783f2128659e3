#include "assets/embedded.h"

#define AUTORUN_EMBEDDED(name, sym)                                   \
  extern "C" const std::uint8_t sym##_begin[];                         \
  extern "C" const std::uint8_t sym##_end[];                           \
  std::span<const std::uint8_t> assets::name() { return {sym##_begin, sym##_end}; }

AUTORUN_EMBEDDED(BackgroundObject, autorun_background_object)
AUTORUN_EMBEDDED(SetupWizardButton, autorun_setupwizard_button)
AUTORUN_EMBEDDED(ManualInstallationButton, autorun_manualinstallation_button)
AUTORUN_EMBEDDED(DocumentationButton, autorun_documentation_button)
AUTORUN_EMBEDDED(ExitButton, autorun_exit_button)
AUTORUN_EMBEDDED(WindowIcon, autorun_window_icon)
AUTORUN_EMBEDDED(HandPointer, autorun_hand_pointer)
