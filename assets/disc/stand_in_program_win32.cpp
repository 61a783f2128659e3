// Stand-in for one of the programs a real disc carries (the setup wizard or the
// manual installation program), for the Windows sample disc: it says what it
// is in a message box that closes on OK, Return or Escape. Built twice, once
// per program (STAND_IN_KIND).

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

struct Role {
  const wchar_t* title;
  const wchar_t* text;
};

//  window title                              what the message says
constexpr Role kRoles[] = {
    {L"Setup Wizard (stand-in)",
     L"This program stands in for the disc's setup wizard.\r\n"
     L"A real disc carries the print server's setup wizard here."},
    {L"Manual Installation (stand-in)",
     L"This program stands in for the disc's manual installation program.\r\n"
     L"A real disc carries the driver and port installer here."},
};

#ifndef STAND_IN_KIND
#define STAND_IN_KIND 0
#endif
static_assert(STAND_IN_KIND >= 0 && STAND_IN_KIND < 2, "STAND_IN_KIND names a row of kRoles");
constexpr const Role& kRole = kRoles[STAND_IN_KIND];

}  // namespace

int main() {
  MessageBoxW(nullptr, kRole.text, kRole.title, MB_OK | MB_ICONINFORMATION);
  return 0;
}
