// The launcher's entry point: hands the program description to the window
// runtime, which runs until the program ends. Arguments and environment
// settings of its own are ignored.
#include "autorun/program.h"
#ifdef _WIN32
#include "platform/win32/win32_runtime.h"

int main() { return platform::RunOnWin32(autorun::Program()); }
#else
#include "platform/x11/x11_runtime.h"

int main() { return platform::RunOnX11(autorun::Program()); }
#endif
