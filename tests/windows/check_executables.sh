#!/bin/sh
# The Windows launchers read back as files with the standard tools: each is a
# windowed program importing only libraries every Windows has, and carries one
# version record (one string block, 040404B0, version 1.00), icon group 1
# holding icon 30001, the window icon's image, and a manifest declaring
# per-monitor DPI awareness (v2).
# Usage: check_executables.sh BUILD-FOLDER
set -eu
build=$1
ico=$build/assets/autorun.ico
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
hex() { od -An -tx1 -v "$1" | tr -d ' \n'; }
for variant in win32:i686 win64:x86_64; do
  exe=$build/${variant%%:*}/autorun.exe
  fail() { echo "$exe: $*" >&2; exit 1; }
  "${variant#*:}-w64-mingw32-objdump" -p "$exe" >"$work/dump" || fail "objdump cannot read it"
  grep -q 'Subsystem.*(Windows GUI)' "$work/dump" || fail "not a windowed program: a console would open"
  for dll in $(sed -n 's/.*DLL Name: //p' "$work/dump" | tr 'A-Z' 'a-z'); do
    case $dll in
      kernel32.dll | user32.dll | gdi32.dll | shell32.dll | ole32.dll | oleaut32.dll | msvcrt.dll) ;;
      *) fail "imports $dll, which Windows does not have" ;;
    esac
  done
  wrestool -l "$exe" | sed 's/ \[.*//' >"$work/resources"
  printf -- '--type=3 --name=30001 --language=1028\n--type=14 --name=1 --language=1028\n--type=16 --name=1 --language=1028\n--type=24 --name=1 --language=1028\n' |
    cmp -s - "$work/resources" || fail "resources: $(cat "$work/resources")"
  wrestool -x --raw --type=3 --name=30001 "$exe" >"$work/icon"
  tail -c +23 "$ico" >"$work/image"
  [ "$(hex "$work/icon")" = "$(hex "$work/image")" ] || fail "icon 30001 is not the window icon's image"
  # The group: the icon file's directory with the image's offset replaced by its number, 30001.
  wrestool -x --raw --type=14 --name=1 "$exe" >"$work/group"
  head -c 18 "$ico" >"$work/directory"
  [ "$(hex "$work/group")" = "$(hex "$work/directory")3175" ] || fail "icon group 1 is not one entry for icon 30001"
  wrestool -x --raw --type=24 --name=1 "$exe" | grep -q '>PerMonitorV2' || fail "the manifest does not declare per-monitor DPI awareness (v2)"
  wrestool -x --raw --type=16 --name=1 "$exe" >"$work/version"
  # The fixed part: its signature, then file and product version 1.0.0.0.
  hex "$work/version" | grep -q 'bd04effe00000100000001000000000000000100000000' || fail "file version is not 1.0.0.0"
  iconv -f UTF-16LE -t UTF-8 -c "$work/version" | tr -c '[:print:]' '\n' | grep . >"$work/strings"
  [ "$(grep -cE '^[0-9A-F]{8}$' "$work/strings")" = 1 ] && grep -qx 040404B0 "$work/strings" ||
    fail "not one string block 040404B0: $(tr '\n' ' ' <"$work/strings")"
  for key in FileVersion ProductVersion; do
    grep -A1 -x "$key" "$work/strings" | tail -n1 | grep -qx '1.00' || fail "$key is not 1.00"
  done
done
echo "both executables read back as expected"
