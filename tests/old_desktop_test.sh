#!/usr/bin/env bash
# The disc's launcher on a desktop of Debian 11: that release's C library (2.31),
# X client libraries and Xft with its fontconfig setup, fetched from the Debian
# registry and unpacked under the build, the launcher run through that C
# library's own loader. The end-to-end scenarios of its start-up pictures and
# pointers, the help panel, a missing picture's message in both languages, the
# keyboard, Exit, the programs each button starts and the answers to damaged
# disc files run against it.
#   old_desktop_test.sh REPO-DIR BUILD-DIR
# Exit status 77 (skipped) when the registry does not serve those packages.
set -uo pipefail
repo=$1 build=$(cd "$2" && pwd)
root=$build/bullseye/desktop
"$repo/tools/bullseye-root" "$build/bullseye/apt" "$root" \
  libc6+ libx11-6+ libxext6+ libxrender1+ libxft2+ fontconfig-config || {
  echo "SKIPPED: no Debian 11 packages to run on (above: what the registry answered)"
  exit 77
}
# Its fontconfig reads its own setup and keeps its caches there, with the machine's fonts.
ln -sfn /usr/share/fonts "$root/usr/share/fonts"
# The package's ld-linux-x86-64.so.2 is a link to an absolute path, the machine's own loader.
launcher=$build/bullseye/autorun-on-debian-11
printf '#!/bin/sh\nFONTCONFIG_SYSROOT="%s" exec "%s" --library-path "%s" "%s" "$@"\n' "$root" \
  "$root/lib/x86_64-linux-gnu/ld-2.31.so" "$root/lib/x86_64-linux-gnu:$root/usr/lib/x86_64-linux-gnu" \
  "$build/disc/autorun" >"$launcher"
chmod +x "$launcher"
scenarios=Bare.OpensCentred*:Bare.TheKeyboardFocusesAndClicksTheButtons
scenarios+=:Bare.PressesShowThePressedPicture*:DiscFaults.EachAnswerToADamagedFile
[ "$("$build/tests/e2e/e2e_tests" --gtest_filter="$scenarios" --gtest_list_tests | grep -c '^  ')" -eq 4 ] ||
  { echo "FAIL: $scenarios no longer names four scenarios"; exit 1; }
AUTORUN_EXE=$launcher exec "$build/tests/e2e/e2e_tests" --gtest_filter="$scenarios"
