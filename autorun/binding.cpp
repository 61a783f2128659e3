#include <iterator>
#include <memory>

#include "autorun/program.h"
#include "menu/autorun_form.h"

namespace autorun {
namespace {

using menu::AutorunForm;
using platform::Control;
using platform::MouseEvent;

template <void (AutorunForm::*P)(const platform::MouseArgs&)>
void Call(platform::Form& form, const platform::MouseArgs& args) {
  (static_cast<AutorunForm&>(form).*P)(args);
}

// Every event that runs a procedure; all others run none.
constexpr platform::Binding kBindings[] = {
    // control                    event             procedure
    {Control::SetupWizard,        MouseEvent::Down, &Call<&AutorunForm::imgSetupWizard_MouseDown>},
    {Control::SetupWizard,        MouseEvent::Move, &Call<&AutorunForm::imgSetupWizard_MouseMove>},
    {Control::SetupWizard,        MouseEvent::Up,   &Call<&AutorunForm::imgSetupWizard_MouseUp>},
    {Control::ManualInstallation, MouseEvent::Down, &Call<&AutorunForm::imgManualInstallation_MouseDown>},
    {Control::ManualInstallation, MouseEvent::Move, &Call<&AutorunForm::imgManualInstallation_MouseMove>},
    {Control::ManualInstallation, MouseEvent::Up,   &Call<&AutorunForm::imgManualInstallation_MouseUp>},
    {Control::Documentation,      MouseEvent::Down, &Call<&AutorunForm::imgDocumentation_MouseDown>},
    {Control::Documentation,      MouseEvent::Move, &Call<&AutorunForm::imgDocumentation_MouseMove>},
    {Control::Documentation,      MouseEvent::Up,   &Call<&AutorunForm::imgDocumentation_MouseUp>},
    {Control::Exit,               MouseEvent::Down, &Call<&AutorunForm::imgExit_MouseDown>},
    {Control::Exit,               MouseEvent::Up,   &Call<&AutorunForm::imgExit_MouseUp>},
    {Control::Ole1,               MouseEvent::Move, &Call<&AutorunForm::OLE1_MouseMove>},
};
static_assert(std::size(kBindings) == 12);

std::shared_ptr<platform::Form> CreateForm(platform::Runtime& runtime) {
  return std::make_shared<AutorunForm>(runtime);
}

void FormLoad(platform::Form& form) { static_cast<AutorunForm&>(form).Form_Load(); }

}  // namespace

const platform::ProgramDescription& Program() {
  static const platform::ProgramDescription program{Layout(), kBindings, &CreateForm, &FormLoad};
  return program;
}

}  // namespace autorun
