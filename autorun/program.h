#pragma once
// The program description handed to the runtime at start: the window's
// layout, the window object, its Load procedure and the event binding table.

#include "platform/window/program_description.h"

namespace autorun {

const platform::WindowLayout& Layout();
const platform::ProgramDescription& Program();

}  // namespace autorun
