#include "assets/embedded.h"

// Each file's symbols are named after it (assets/CMakeLists.txt).
#define AUTORUN_EMBEDDED(name, sym)                                   \
  extern "C" const std::uint8_t sym##_begin[];                         \
  extern "C" const std::uint8_t sym##_end[];                           \
  std::span<const std::uint8_t> assets::name() { return {sym##_begin, sym##_end}; }

AUTORUN_EMBEDDED(BackgroundObject, autorun_background_ole)
AUTORUN_EMBEDDED(SetupWizardButton, autorun_setupwizard_gif)
AUTORUN_EMBEDDED(ManualInstallationButton, autorun_manualinstallation_gif)
AUTORUN_EMBEDDED(DocumentationButton, autorun_documentation_gif)
AUTORUN_EMBEDDED(ExitButton, autorun_exit_gif)
AUTORUN_EMBEDDED(WindowIcon, autorun_autorun_ico)
AUTORUN_EMBEDDED(HandPointer, autorun_hand_cur)
