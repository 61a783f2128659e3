#pragma once
// Every file the window opens or starts, relative to the disc's root and
// spelled as the procedures write them (the disc ignores letter case).

#include <string_view>

namespace menu {

// The help panel.
inline constexpr std::string_view kHelpPicture = R"(setup\images\help.gif)";
inline constexpr std::string_view kSetupWizardHelpPicture = R"(setup\images\setupwizardhelp.gif)";
inline constexpr std::string_view kManualInstallationHelpPicture = R"(setup\images\manualinstallationhelp.gif)";
inline constexpr std::string_view kDocumentationHelpPicture = R"(setup\images\documentationhelp.gif)";

// The buttons: pressed, then normal.
inline constexpr std::string_view kSetupWizardDownPicture = R"(setup\images\setupwizarddown.gif)";
inline constexpr std::string_view kSetupWizardPicture = R"(Setup\images\setupwizard.gif)";
inline constexpr std::string_view kManualInstallationDownPicture = R"(setup\images\manualinstallationdown.gif)";
inline constexpr std::string_view kManualInstallationPicture = R"(setup\images\manualinstallation.gif)";
inline constexpr std::string_view kDocumentationDownPicture = R"(setup\images\documentationdown.gif)";
inline constexpr std::string_view kDocumentationPicture = R"(setup\images\documentation.gif)";
inline constexpr std::string_view kExitDownPicture = R"(setup\images\exitdown.gif)";
inline constexpr std::string_view kExitPicture = R"(setup\images\exit.gif)";

// The busy pointer, the two programs and the user guide.
inline constexpr std::string_view kBusyPointer = R"(Setup\images\hourglas.ani)";
inline constexpr std::string_view kSetupProgram = R"(Setup\Setup.exe)";
inline constexpr std::string_view kManualInstallationProgram = R"(manualinstallation\setup.exe)";
inline constexpr std::string_view kUserGuide = R"(Manual\UserGuideEng.html)";

// Names no file: LoadPicture gives the empty picture for it.
inline constexpr std::string_view kEmptyPicture = "";

}  // namespace menu
