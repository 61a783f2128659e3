#!/usr/bin/env bash
# The launcher runs from a disc on any X desktop: besides the C library it may
# need only the X client libraries every desktop has (ld-linux is the C
# library's own loader, which runs every dynamic executable; libdl held dlopen
# before the C library 2.34), no symbol of a C library newer than FLOOR, and
# no debug information.
#   check_linkage.sh EXECUTABLE FLOOR
set -euo pipefail
exe=$1 floor=$2
allowed='^(ld-linux-x86-64|ld-linux|libc|libdl|libm|libX11|libXext|libXrender|libXft|libfontconfig)\.so(\.[0-9]+)*$'
needed=$(readelf -d "$exe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || { echo "no NEEDED entries read from $exe"; exit 1; }
status=0
for lib in $needed; do
  if [[ "$lib" =~ $allowed ]]; then echo "ok       $lib"; else echo "REFUSED  $lib"; status=1; fi
done
# A desktop whose C library lacks a version the launcher asks for refuses to
# start it before main: each symbol asking for more than FLOOR is named.
symbols=$(objdump -T "$exe" | sed -n 's/.*[( ]GLIBC_\([0-9.]*\)[) ] *\([^ ]*\)$/\1 \2/p' | sort -V)
[ -n "$symbols" ] || { echo "no C library symbol versions read from $exe"; exit 1; }
while read -r version symbol; do
  if [ "$(printf '%s\n' "$version" "$floor" | sort -V | tail -1)" != "$floor" ]; then
    echo "REFUSED  $symbol needs the C library $version, above $floor"; status=1
  fi
done <<<"$symbols"
echo "newest   C library version asked for: $(tail -n1 <<<"$symbols")"
# A disc carries the launcher without its debug information.
if readelf -S "$exe" | grep -q ' \.symtab \| \.debug_'; then echo "REFUSED  not stripped"; status=1; fi
exit $status
