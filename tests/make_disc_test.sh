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

# The image keeps autorun executable at its root, and the same folder gives the same bytes.
if command -v xorriso >/dev/null; then
  AUTORUN_BUILD_DIR=$build "$repo/tools/make-iso" "$work/disc" "$work/a.iso" >/dev/null 2>&1
  AUTORUN_BUILD_DIR=$build "$repo/tools/make-iso" "$work/disc" "$work/b.iso" >/dev/null 2>&1
  check "a reproducible image" cmp -s "$work/a.iso" "$work/b.iso"
  check "autorun executable at the image's root" \
    bash -c "xorriso -indev '$work/a.iso' -find /autorun -exec lsdl 2>/dev/null | grep -q '^-rwxr-xr-x.*/autorun'"
else
  echo "skip image checks: xorriso is not installed"
fi
[ $failures -eq 0 ]
