#include <iterator>

#include "assets/embedded.h"
#include "autorun/program.h"

namespace autorun {
namespace {

using platform::Control;
using platform::ControlKind;
using platform::ControlLayout;
using platform::MousePointer;

// Front to back: image controls first, the background object beneath them all.
constexpr ControlLayout kControls[] = {
    // id                         name                     kind                       left    top  width height  picture at start                   pointer                mouse icon
    {Control::Help,               "imgHelp",               ControlKind::Image,        3480,  4080,  5655,  1095, nullptr,                           MousePointer::Default, nullptr},
    {Control::Exit,               "imgExit",               ControlKind::Image,        1800,  6480,   660,   360, &assets::ExitButton,               MousePointer::Custom,  &assets::HandPointer},
    {Control::Documentation,      "imgDocumentation",      ControlKind::Image,         480,  5760,  1770,   375, &assets::DocumentationButton,      MousePointer::Custom,  &assets::HandPointer},
    {Control::ManualInstallation, "imgManualInstallation", ControlKind::Image,         120,  5010,  2235,   345, &assets::ManualInstallationButton, MousePointer::Custom,  &assets::HandPointer},
    {Control::SetupWizard,        "imgSetupWizard",        ControlKind::Image,        1110,  4310,  1650,   360, &assets::SetupWizardButton,        MousePointer::Custom,  &assets::HandPointer},
    {Control::Ole1,               "OLE1",                  ControlKind::OleContainer,    0,     0,  9615,  7200, &assets::BackgroundObject,         MousePointer::Default, nullptr},
};
static_assert(std::size(kControls) == platform::kControlCount);

// Tab and the arrows move through the buttons in the order they are read.
constexpr Control kFocusOrder[] = {Control::SetupWizard, Control::ManualInstallation, Control::Documentation,
                                   Control::Exit};

constexpr platform::WindowLayout kWindow = {
    .name = "autorun",
    .caption = "Print Server Setup Wizard",
    .client_width = 9615,
    .client_height = 7200,
    .icon = &assets::WindowIcon,
    .controls = kControls,
    .focus_order = kFocusOrder,
};

}  // namespace

const platform::WindowLayout& Layout() { return kWindow; }

}  // namespace autorun
