#include "menu/autorun_form.h"

#include <string_view>

#include "menu/autorun_constants.h"
#include "menu/disc_paths.h"
#include "menu/pumping_wait.h"
#include "menu/rect.h"

namespace menu {
namespace {

using platform::Control;
using platform::Runtime;

// Load, then assign: a load that fails leaves the control showing what it had.
void ShowPicture(Runtime& rt, Control control, std::string_view path) {
  const platform::Picture picture = rt.LoadPicture(path);
  rt.SetPicture(control, picture);
}

// Reads the release event's own arguments, however long ago it happened.
bool Released(const MouseArgs& e, const Rect& area) {
  return e.button == kLeftButton && area.Contains(e.x, e.y);
}

// Outside the area the panel is emptied on every move, leaving the state alone;
// inside, the button's help is loaded once and the state follows only a set picture.
void ShowButtonHelp(Runtime& rt, std::int16_t& help_state, const MouseArgs& e,
                    const Rect& hover, std::int16_t button_state, std::string_view help) {
  if (!hover.Contains(e.x, e.y)) {
    ShowPicture(rt, Control::Help, kEmptyPicture);
    return;
  }
  if (help_state == button_state) return;
  ShowPicture(rt, Control::Help, help);
  help_state = button_state;
}

}  // namespace

void AutorunForm::Form_Load() {
  help_state_ = kGeneralHelp;
  ShowPicture(rt_, Control::Help, kHelpPicture);
}

void AutorunForm::OLE1_MouseMove(const MouseArgs&) {
  if (help_state_ == kGeneralHelp) return;
  ShowPicture(rt_, Control::Help, kHelpPicture);
  help_state_ = kGeneralHelp;
}

void AutorunForm::imgSetupWizard_MouseDown(const MouseArgs& e) {
  if (!kSetupWizardPress.Contains(e.x, e.y)) return;
  ShowPicture(rt_, Control::SetupWizard, kSetupWizardDownPicture);
}

void AutorunForm::imgSetupWizard_MouseMove(const MouseArgs& e) {
  ShowButtonHelp(rt_, help_state_, e, kSetupWizardHover, kSetupWizardHelp, kSetupWizardHelpPicture);
}

// Every release runs the sequence, whatever the button and wherever the pointer.
void AutorunForm::imgSetupWizard_MouseUp(const MouseArgs&) {
  platform::CursorHandle pointer = rt_.LoadCursorFromFileA(kBusyPointer);
  if (pointer == 0) rt_.End();
  ShowPicture(rt_, Control::SetupWizard, kSetupWizardPicture);
  pointer = rt_.SetCursor(pointer);  // from here on: the pointer to put back
  rt_.Shell(kSetupProgram, kNormalFocus);
  rt_.SetEnabled(Control::SetupWizard, false);
  rt_.SetEnabled(Control::ManualInstallation, false);
  PumpingWait(rt_, kSetupWizardWait);
  rt_.SetEnabled(Control::SetupWizard, true);
  rt_.SetCursor(pointer);
  rt_.Unload();
}

void AutorunForm::imgManualInstallation_MouseDown(const MouseArgs& e) {
  if (!kManualInstallationPress.Contains(e.x, e.y)) return;
  ShowPicture(rt_, Control::ManualInstallation, kManualInstallationDownPicture);
}

void AutorunForm::imgManualInstallation_MouseMove(const MouseArgs& e) {
  ShowButtonHelp(rt_, help_state_, e, kManualInstallationHover, kManualInstallationHelp,
                 kManualInstallationHelpPicture);
}

void AutorunForm::imgManualInstallation_MouseUp(const MouseArgs& e) {
  ShowPicture(rt_, Control::ManualInstallation, kManualInstallationPicture);
  if (!Released(e, kManualInstallationRelease)) return;
  rt_.Shell(kManualInstallationProgram, kNormalFocus);
}

void AutorunForm::imgDocumentation_MouseDown(const MouseArgs& e) {
  if (!kDocumentationPress.Contains(e.x, e.y)) return;
  ShowPicture(rt_, Control::Documentation, kDocumentationDownPicture);
}

void AutorunForm::imgDocumentation_MouseMove(const MouseArgs& e) {
  ShowButtonHelp(rt_, help_state_, e, kDocumentationHover, kDocumentationHelp,
                 kDocumentationHelpPicture);
}

// The wait comes before the test, so the normal picture is seen before the guide opens.
void AutorunForm::imgDocumentation_MouseUp(const MouseArgs& e) {
  ShowPicture(rt_, Control::Documentation, kDocumentationPicture);
  PumpingWait(rt_, kDocumentationWait);
  if (!Released(e, kDocumentationRelease)) return;
  const platform::WindowHandle owner = rt_.hWnd();
  rt_.ShellExecuteA(owner, "open", kUserGuide, "", "", kShowNormal);
}

void AutorunForm::imgExit_MouseDown(const MouseArgs&) {
  ShowPicture(rt_, Control::Exit, kExitDownPicture);
}

// Waits on every release, also one that then fails the test.
void AutorunForm::imgExit_MouseUp(const MouseArgs& e) {
  ShowPicture(rt_, Control::Exit, kExitPicture);
  PumpingWait(rt_, kExitWait);
  if (!Released(e, kExitRelease)) return;
  rt_.Unload();
}

}  // namespace menu
