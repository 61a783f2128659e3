#pragma once
// The window runtime on Win32 (user32, gdi32), on the shared window core:
// builds the window from the program description, runs Form_Load, shows the
// window and delivers its events until the program ends. The controls are
// drawn by the runtime into one window.

#include "platform/window/program_description.h"

namespace platform {

// Returns the process exit status: 0 when the window was unloaded or closed,
// or the program executed End; 1 after a run-time error.
int RunOnWin32(const ProgramDescription& program);

}  // namespace platform
