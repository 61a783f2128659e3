#!/usr/bin/env bash
# tools/make-disc and tools/make-iso on the build's sample disc.
#   make_disc_test.sh REPO-DIR BUILD-DIR
set -uo pipefail
repo=$1 build=$2 work=$(mktemp -d) failures=0
trap 'rm -rf -- "$work"' EXIT
make_disc() { "$repo/tools/make-disc" --build "$build" "$@" >"$work/log" 2>&1; }
check() { if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; cat "$work/log"; failures=$((failures + 1)); fi; }

# A user's own help picture and program (folder in other case); the sample disc fills the rest, and
# make-disc's own check reads every file as the launcher will.
mkdir -p "$work/own/SETUP" "$work/bad"
cp "$build/disc/Setup/images/exit.gif" "$work/own/HELP.GIF"
printf '#!/bin/sh\n' >"$work/own/SETUP/setup.exe"
check "a disc from own and sample files" make_disc "$work/own" "$work/disc"
check "the user's picture at its place" cmp -s "$work/own/HELP.GIF" "$work/disc/Setup/images/help.gif"
check "the user's program at its place, executable" test -x "$work/disc/Setup/Setup.exe"
check "the sample's busy pointer" cmp -s "$build/disc/Setup/images/hourglas.ani" "$work/disc/Setup/images/hourglas.ani"
check "the launcher at the root" cmp -s "$build/disc/autorun" "$work/disc/autorun"
echo "plain text" >"$work/bad/exitdown.gif"
make_disc "$work/bad" "$work/bad-disc"
check "a file that is no picture is refused by name, and nothing is written" \
  bash -c "[ $? -eq 1 ] && grep -q 'BAD     Setup/images/exitdown.gif' '$work/log' && [ ! -e '$work/bad-disc' ]"

# A Windows build as make-disc reads it: the launcher's header, the icon, and a
# sample disc whose programs are Linux ones.
elf() { printf "\177ELF\\$1\1\1\0\0\0\0\0\0\0\0\0\2\0\\$2\0"; head -c 44 /dev/zero; }  # class, machine
pe() { printf 'MZ'; head -c 58 /dev/zero; printf "\100\0\0\0PE\0\0$1"; head -c 18 /dev/zero; printf "$2"; }  # machine, magic
mkdir -p "$work/win/win32" "$work/win/assets"
pe '\114\001' '\013\001' >"$work/win/win32/autorun.exe"
cp "$build/assets/autorun.ico" "$work/win/assets/"
ln -s "$build/disc" "$work/win/win32/disc"
check "a disc for both systems" make_disc --system both --windows-build "$work/win" --label "Driver Disc 2" \
  --action "Set up: the printer's drivers" "$work/own" "$work/both"
check "autorun.inf in ASCII with CR LF" cmp -s "$work/both/autorun.inf" \
  <(printf '[autorun]\r\nopen=autorun.exe\r\nicon=autorun.ico\r\nlabel=Driver Disc 2\r\naction=Set up: the printer'"'"'s drivers\r\n')
check "both launchers and the launcher's icon" bash -c "cmp -s '$build/disc/autorun' '$work/both/autorun' &&
  cmp -s '$work/win/win32/autorun.exe' '$work/both/autorun.exe' && cmp -s '$build/assets/autorun.ico' '$work/both/autorun.ico'"
check "the programs the Windows launcher cannot start are named" grep -qx \
  "warning: Setup/Setup.exe is a Linux program: the Windows launcher cannot start it" "$work/log"
make_disc --system windows --windows-build "$work/win" --label "Drücker" "$work/own" "$work/x"
check "a label that is not ASCII is refused" bash -c "[ $? -eq 2 ] && grep -q 'label must be plain ASCII' '$work/log'"
make_disc --system windows --windows-build "$work/none" "$work/own" "$work/x"
check "a Windows launcher not built yet names what builds it" \
  grep -q "BAD     autorun.exe .*not built yet (tools/test-windows --no-wine $work/none)" "$work/log"

# disc-check on launchers L (autorun), W (autorun.exe, autorun.inf, its icon), w
# (autorun.exe alone) and a Setup.exe of a kind: its warnings and failures.
inf=$(cat "$work/both/autorun.inf")
while IFS='|' read -r launchers program expected; do
  rm -rf "$work/t" && cp -r "$work/disc" "$work/t" && rm "$work/t/autorun"
  case $launchers in *L*) elf 2 076 >"$work/t/autorun" && chmod +x "$work/t/autorun" ;; esac
  case $launchers in *[Ww]*) cp "$work/both/autorun.exe" "$work/both/autorun.ico" "$work/t/" ;; esac
  case $launchers in *W*) printf '%s' "$inf" >"$work/t/autorun.inf" ;; esac
  case $launchers in *8*) printf 'label=Dr\374cker\r\n' >>"$work/t/autorun.inf" ;; esac
  case $launchers in *i*) echo "no picture" >"$work/t/autorun.ico" ;; esac
  case $program in
    elf64) elf 2 076 ;; elf32) elf 1 003 ;; pe32) pe '\114\001' '\013\001' ;; pe64) pe '\144\206' '\013\002' ;;
    script) echo '#!/bin/sh' ;; *) echo "text" ;;
  esac >"$work/t/Setup/Setup.exe"
  chmod +x "$work/t/Setup/Setup.exe"
  actual=$("$build/disc-check" "$work/t" | grep -E '^(warning|FAIL)' | grep -v manualinstallation | tr -s ' ')
  echo "disc-check said: $actual" >"$work/log"
  check "disc-check: $launchers $program" [ "$actual" = "$expected" ]
done <<'ROWS'
L|pe32|warning: Setup/Setup.exe is a Windows program: the Linux launcher cannot start it
L|elf64|
L|script|
L|elf32|warning: Setup/Setup.exe is a Linux program for 32-bit x86: a machine that runs the Linux launcher (x86-64) may not start it
W|elf64|warning: Setup/Setup.exe is a Linux program: the Windows launcher cannot start it
W|pe64|warning: Setup/Setup.exe is a 64-bit Windows program: 32-bit Windows, which runs the launcher, cannot start it
W|pe32|
LW|pe32|warning: Setup/Setup.exe is a Windows program: the Linux launcher cannot start it
w|pe32|warning: autorun.inf is missing: Windows will not start the menu when the disc goes in
-|script|FAIL autorun no launcher: neither autorun (Linux) nor autorun.exe (Windows) at the disc's root
L|text|FAIL Setup\Setup.exe Setup/Setup.exe: not a program Linux or Windows can start (neither ELF, a #! script nor a Windows program)
W8|pe32|FAIL autorun.inf autorun.inf: not plain ASCII text: Windows would read it garbled
Wi|pe32|FAIL autorun.inf autorun.inf: icon=autorun.ico: not a picture
ROWS

# The image keeps autorun executable at its root, and the same folder gives the same bytes.
AUTORUN_BUILD_DIR=$build "$repo/tools/make-iso" "$work/disc" "$work/a.iso" >/dev/null 2>&1
AUTORUN_BUILD_DIR=$build "$repo/tools/make-iso" "$work/disc" "$work/b.iso" >/dev/null 2>&1
check "a reproducible image" cmp -s "$work/a.iso" "$work/b.iso"
check "autorun executable at the image's root" \
  bash -c "xorriso -indev '$work/a.iso' -find /autorun -exec lsdl 2>/dev/null | grep -q '^-rwxr-xr-x.*/autorun'"
[ $failures -eq 0 ]
