#pragma once
// The window runtime on X11 (Xlib, with MIT-SHM for drawing and RENDER for
// pointers), on the shared window core: builds the window from the program
// description, runs Form_Load, shows the window and delivers its events until
// the program ends.

#include "platform/window/program_description.h"

namespace platform {

// Returns the process exit status: 0 when the window was unloaded or closed,
// or the program executed End; 1 after a run-time error or without a display.
int RunOnX11(const ProgramDescription& program);

}  // namespace platform
