#pragma once
// Wine for the tests of the Windows launcher: a fresh prefix in a temporary
// folder, made once per test run on first use and removed at the end, and the
// launcher started through Wine by the end-to-end harness (AUTORUN_EXE names a
// script that runs `wine <build>/win64/autorun.exe`).

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace wine {

struct Setup {
  bool ready = false;
  std::string why_not;           // when not ready: the tests skip with it
  std::filesystem::path folder;  // the temporary folder holding the prefix
};

// Makes the prefix on the first call (tens of seconds) and sets WINEPREFIX,
// WINEDEBUG, WINEDLLOVERRIDES and AUTORUN_EXE for every child of the tests.
const Setup& Prepare();

// Ends every Wine process of the prefix (a new X server needs a new desktop process).
void StopServer();

// The 64-bit build's folder (the one this machine can run): <build>/win64.
std::filesystem::path WindowsBuild();

// Runs a Windows program with arguments through Wine; its standard output,
// or nothing when it does not end within the deadline.
std::vector<std::string> RunProgram(const std::filesystem::path& exe, const std::vector<std::string>& arguments,
                                    std::chrono::milliseconds deadline);

}  // namespace wine
