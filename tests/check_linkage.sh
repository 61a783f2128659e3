#!/usr/bin/env bash
# The launcher runs from a disc on any X desktop: besides the C library it may
# need only the X client libraries every desktop has (ld-linux is the C
# library's own loader, which runs every dynamic executable).
set -euo pipefail
exe="$1"
allowed='^(ld-linux-x86-64|ld-linux|libc|libm|libX11|libXext|libXrender|libXft|libfontconfig)\.so(\.[0-9]+)*$'
needed=$(readelf -d "$exe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || { echo "no NEEDED entries read from $exe"; exit 1; }
status=0
for lib in $needed; do
  if [[ "$lib" =~ $allowed ]]; then echo "ok       $lib"; else echo "REFUSED  $lib"; status=1; fi
done
# Desktops of 2022 on carry the C library 2.35; a newer symbol version would
# make the launcher refuse to start there.
newest=$(objdump -T "$exe" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -1)
if [ "$(printf '%s\n' "$newest" 2.35 | sort -V | tail -1)" = 2.35 ]; then
  echo "ok       C library $newest or newer"
else
  echo "REFUSED  needs C library $newest"; status=1
fi
exit $status
