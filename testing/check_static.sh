#!/bin/sh
# Usage: check_static.sh READELF PROGRAM...
# Each program must be a static executable (no program interpreter, no dynamic section) whose symbol
# table holds nothing of the C++ runtime library.
readelf=$1
shift
status=0
for prog in "$@"; do
  if "$readelf" -lW "$prog" | grep -q 'INTERP'; then
    echo "$prog: has a program interpreter"; status=1
  fi
  if ! "$readelf" -dW "$prog" | grep -q 'There is no dynamic section'; then
    echo "$prog: has a dynamic section"; status=1
  fi
  syms=$("$readelf" -sW "$prog" | awk 'NF >= 8 { print $8 }')
  if ! printf '%s\n' "$syms" | grep -qx 'main'; then
    echo "$prog: no symbol table to inspect"; status=1
  fi
  # The C library defines __cxa_atexit and __cxa_finalize itself; every other name here is the
  # C++ runtime's: the standard library, operator new and delete, type information, exceptions.
  cxx=$(printf '%s\n' "$syms" | grep -E '^(_ZNSt|_ZNKSt|_ZSt|_ZTI|_ZTS|_ZTV|_Znw|_Zna|_Zdl|_Zda|_ZN9__gnu_cxx|_ZN10__cxxabiv1|__gxx_personality|__cxa_)' \
        | grep -vx -e '__cxa_atexit' -e '__cxa_finalize' -e '__cxa_thread_atexit_impl')
  if [ -n "$cxx" ]; then
    echo "$prog: carries C++ runtime symbols:"; printf '%s\n' "$cxx" | head -n 20; status=1
  fi
  [ "$status" -eq 0 ] && echo "$prog: static, no C++ runtime"
done
exit "$status"
