#!/usr/bin/env bash
# tools/make-disc and tools/make-iso against the build's sample disc.
#   make_disc_test.sh REPO-DIR BUILD-DIR
set -uo pipefail

repo=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
make_disc() { "$repo/tools/make-disc" --build "$build" "$@"; }
failures=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

# A user's own help picture (any valid picture), a program in a differently
# spelled folder, everything else from the sample disc.
mkdir -p "$work/own/SETUP"
cp "$build/disc/Setup/images/exit.gif" "$work/own/HELP.GIF"
printf '#!/bin/sh\necho own setup\n' >"$work/own/SETUP/setup.exe"
make_disc "$work/own" "$work/disc" >"$work/log" 2>&1
check "a disc is made from own files and sample files" [ $? -eq 0 ]
check "the user's picture lands at its place" cmp -s "$work/own/HELP.GIF" "$work/disc/Setup/images/help.gif"
check "the user's program lands at its place, executable" [ -x "$work/disc/Setup/Setup.exe" ]
check "the sample fills the rest" cmp -s "$build/disc/Setup/images/hourglas.ani" "$work/disc/Setup/images/hourglas.ani"
check "the launcher is at the root" cmp -s "$build/autorun" "$work/disc/autorun"
check "the report names where each file came from" grep -q "yours   Setup/images/help.gif" "$work/log"

# A file that is not a picture is refused by name, and nothing is written.
mkdir -p "$work/bad"
echo "plain text" >"$work/bad/exitdown.gif"
make_disc "$work/bad" "$work/bad-disc" >"$work/log" 2>&1
check "a non-picture fails the run" [ $? -eq 1 ]
check "the report names the wrong file" grep -q "BAD     Setup/images/exitdown.gif" "$work/log"
check "nothing is written after a failure" [ ! -e "$work/bad-disc" ]

# With --strict every file must be the user's: each missing one is listed.
mkdir -p "$work/empty"
make_disc --strict "$work/empty" "$work/strict-disc" >"$work/log" 2>&1
check "--strict with no files fails" [ $? -eq 1 ]
check "--strict lists all sixteen missing files" [ "$(grep -c '^  MISSING' "$work/log")" -eq 16 ]

# An occupied folder is left alone unless --force; --force keeps its spelling.
make_disc "$work/own" "$work/disc" >"$work/log" 2>&1
check "an occupied disc folder is refused" [ $? -eq 2 ]
mv "$work/disc/Setup" "$work/disc/setup"
make_disc --force "$work/own" "$work/disc" >"$work/log" 2>&1
check "--force replaces the files" [ $? -eq 0 ]
check "--force keeps one folder however it is spelled" \
  test ! -e "$work/disc/Setup" -a -f "$work/disc/setup/images/help.gif"

# The image: Rock Ridge keeps autorun executable at the root; the same folder gives the same bytes.
if command -v xorriso >/dev/null; then
  AUTORUN_BUILD_DIR=$build "$repo/tools/make-iso" "$work/disc" "$work/a.iso" >/dev/null 2>&1
  check "an image is written" [ -s "$work/a.iso" ]
  AUTORUN_BUILD_DIR=$build "$repo/tools/make-iso" "$work/disc" "$work/b.iso" >/dev/null 2>&1
  check "the image is reproducible" cmp -s "$work/a.iso" "$work/b.iso"
  check "autorun is executable at the image's root" \
    bash -c "xorriso -indev '$work/a.iso' -find /autorun -exec lsdl 2>/dev/null | grep -q '^-rwxr-xr-x.*/autorun'"
else
  echo "skip image checks: xorriso is not installed"
fi

[ $failures -eq 0 ]
