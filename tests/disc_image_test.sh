#!/usr/bin/env bash
# The sample disc images (target disc_images) as a user gets them: each mounted
# without root with fuseiso and read through the mount. Its launchers keep
# their execute permission (Rock Ridge), autorun.inf holds its keys, in ASCII
# with CR LF, under its plain ISO 9660 name too, its icon decodes, disc-check
# passes, and the volume label is the disc's. With --run, the launcher on the
# image starts from the mount's root (the scenario Mounted.*): SCENARIOS is
# e2e_tests for the Linux launcher, wine_tests for the Windows one under Wine.
#   disc_image_test.sh BUILD-DIR [--run SCENARIOS] KIND...
# Exit status 77 (skipped) where the machine has no FUSE device to mount with,
# or runs no 32-bit code for the 32-bit Windows launcher that discs carry.
set -uo pipefail
build=$1 scenarios=""
shift
[ "$1" != --run ] || { scenarios=$2; shift 2; }
[ -e /dev/fuse ] || { echo "SKIPPED: no FUSE device (/dev/fuse): the images cannot be mounted"; exit 77; }
work=$(mktemp -d) failures=0 skips=0
trap 'for m in "$work"/*/; do fusermount -u "$m" 2>/dev/null; done; rm -rf -- "$work"' EXIT
check() {
  if "${@:2}"; then echo "ok   $kind: $1"; else echo "FAIL $kind: $1" && cat "$work/log" && failures=$((failures + 1)) && return 1; fi
}

for kind in "$@"; do
  image=$build/images/$kind.iso mount=$work/$kind
  mkdir "$mount"
  fuseiso -n "$image" "$mount" >"$work/log" 2>&1
  check "fuseiso mounts the image" [ $? -eq 0 ] || continue
  "$build/disc-check" "$mount" >"$work/log" 2>&1
  check "disc-check reads every file through the mount" [ $? -eq 0 ]
  label=$(xorriso -indev "$image" -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: //p')
  if [ "$kind" = linux ]; then expected=PRINTSERVER; else expected="Print Server"; fi
  check "the volume label is $expected" [ "$label" = "$expected" ]
  if [ "$kind" != windows ]; then
    check "autorun kept its execute permission" [ "$(stat -c %A "$mount/autorun")" = -rwxr-xr-x ]
  fi
  if [ "$kind" != linux ]; then
    check "autorun.inf parses to its keys, its icon decodes" grep -qx "ok autorun.inf autorun.inf: open=autorun.exe, \
icon=autorun.ico (32x32), label=Print Server, action=Open the Print Server Setup Wizard" <(tr -s ' ' <"$work/log")
    check "autorun.inf's lines end in CR LF" [ "$(grep -c $'\r$' "$mount/autorun.inf")" -eq 5 ]
    check "autorun.inf under its plain ISO 9660 name" grep -qaF 'AUTORUN.INF;1' "$image"
  fi
  if [ -n "$scenarios" ]; then
    launcher=$mount/autorun
    [[ $scenarios != *wine* ]] || launcher=$mount/autorun.exe
    AUTORUN_MOUNTED_DISC=$mount AUTORUN_EXE=$launcher "$scenarios" --gtest_filter='Mounted.*' >"$work/log" 2>&1
    if grep -q 'skipped: this machine runs no 32-bit code' "$work/log"; then
      echo "SKIPPED $kind: its launcher's run: this machine runs no 32-bit code" && skips=$((skips + 1))
    else
      check "its launcher starts from the image and Exit closes it" grep -q '^\[  PASSED  \] 1 test' "$work/log"
    fi
  fi
  fusermount -u "$mount"
done
[ $failures -eq 0 ] || exit 1
[ $skips -eq 0 ] || exit 77
