#!/bin/sh
# Usage: defines_all.sh READELF HEADER PROGRAM
# PROGRAM's symbol table must define every function and variable that HEADER declares.
readelf=$1 header=$2 prog=$3
names=$(sed -n -e 's/^extern int \([a-z_0-9]*\);.*/\1/p' \
               -e 's/^[a-z_]* \**\([a-z_0-9]*\)(.*/\1/p' "$header")
defined=$("$readelf" -sW "$prog" | awk 'NF >= 8 && $7 != "UND" { print $8 }')
[ -n "$names" ] || { echo "$header: no declarations found"; exit 1; }
status=0
for name in $names; do
  printf '%s\n' "$defined" | grep -qx "$name" || { echo "$prog: lacks $name"; status=1; }
done
[ "$status" -eq 0 ] && echo "$prog: defines all $(echo $names | wc -w) names of $header"
exit "$status"
