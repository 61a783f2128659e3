#pragma once
// The window `autorun`: its one variable (HelpState) and its event procedures.
// Procedures talk only to the runtime interface; none calls another.

#include <cstdint>

#include "platform/runtime.h"

namespace menu {

using platform::MouseArgs;

class AutorunForm : public platform::Form {
 public:
  explicit AutorunForm(platform::Runtime& runtime) : rt_(runtime) {}

  void Form_Load();

  void imgSetupWizard_MouseDown(const MouseArgs& e);
  void imgSetupWizard_MouseMove(const MouseArgs& e);
  void imgSetupWizard_MouseUp(const MouseArgs& e);
  void imgManualInstallation_MouseDown(const MouseArgs& e);
  void imgManualInstallation_MouseMove(const MouseArgs& e);
  void imgManualInstallation_MouseUp(const MouseArgs& e);
  void imgDocumentation_MouseDown(const MouseArgs& e);
  void imgDocumentation_MouseMove(const MouseArgs& e);
  void imgDocumentation_MouseUp(const MouseArgs& e);
  void imgExit_MouseDown(const MouseArgs& e);
  void imgExit_MouseUp(const MouseArgs& e);
  void OLE1_MouseMove(const MouseArgs& e);

  std::int16_t help_state() const { return help_state_; }

 private:
  platform::Runtime& rt_;
  std::int16_t help_state_ = 0;  // which help picture imgHelp was last given
};

}  // namespace menu
