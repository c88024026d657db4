#!/bin/sh
# Usage: defines_all.sh READELF PROGRAM HEADER...
# PROGRAM's symbol table must define every function and variable that the HEADERs declare.
readelf=$1 prog=$2
shift 2
defined=$("$readelf" -sW "$prog" | awk 'NF >= 8 && $7 != "UND" { print $8 }')
status=0
for header in "$@"; do
  names=$(sed -nE 's/^(extern )?[a-z_][a-z_0-9 ]*[ *]\**([a-z_][a-z_0-9]*)(\(|\[|;).*/\2/p' "$header")
  [ -n "$names" ] || { echo "$header: no declarations found"; status=1; continue; }
  missing=0
  for name in $names; do
    printf '%s\n' "$defined" | grep -qx "$name" || { echo "$prog: lacks $name"; missing=1; }
  done
  [ "$missing" -eq 0 ] && echo "$prog: defines all $(echo $names | wc -w) names of $header"
  [ "$missing" -eq 0 ] || status=1
done
exit "$status"
