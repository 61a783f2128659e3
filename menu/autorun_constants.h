#pragma once
// The fixed areas, buttons and waits of the window's procedures. The areas do
// not follow the controls' sizes: some reach past a button, one falls short.

#include <cstdint>

#include "menu/pumping_wait.h"
#include "menu/rect.h"

namespace menu {

// HelpState: which help picture imgHelp was given last.
inline constexpr std::int16_t kGeneralHelp = 0;
inline constexpr std::int16_t kSetupWizardHelp = 1;
inline constexpr std::int16_t kManualInstallationHelp = 2;
inline constexpr std::int16_t kDocumentationHelp = 3;

// A press inside shows the pressed picture. Exit has no press area: every press counts.
//                                          x low  x high  y low  y high
inline constexpr Rect kSetupWizardPress = {0.0f, 2170.0f, 0.0f, 410.0f};
inline constexpr Rect kManualInstallationPress = {0.0f, 2170.0f, 0.0f, 410.0f};
inline constexpr Rect kDocumentationPress = {0.0f, 2170.0f, 0.0f, 410.0f};

// A left-button release inside runs the action. Setup Wizard has no release test.
inline constexpr Rect kManualInstallationRelease = {0.0f, 2170.0f, 0.0f, 410.0f};
inline constexpr Rect kDocumentationRelease = {0.0f, 2170.0f, 0.0f, 410.0f};
inline constexpr Rect kExitRelease = {100.0f, 1300.0f, 100.0f, 360.0f};

// Movement inside shows the button's help; outside empties the panel.
inline constexpr Rect kSetupWizardHover = {0.0f, 2130.0f, 0.0f, 705.0f};
inline constexpr Rect kManualInstallationHover = {0.0f, 2130.0f, 0.0f, 705.0f};
inline constexpr Rect kDocumentationHover = {0.0f, 2170.0f, 0.0f, 410.0f};

inline constexpr std::int16_t kLeftButton = 1;

// Pumping waits, in DoEvents calls.
inline constexpr WaitCount kExitWait = 60000;
inline constexpr WaitCount kDocumentationWait = 60000;
inline constexpr WaitCount kSetupWizardWait = 3400000;

// Shell's window style and ShellExecuteA's show command: a normal window with the focus.
inline constexpr std::int16_t kNormalFocus = 1;
inline constexpr std::int32_t kShowNormal = 1;

}  // namespace menu
