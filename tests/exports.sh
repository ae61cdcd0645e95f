#!/bin/sh
# Lists the symbols a shared library defines for others that are not of the
# mavu:: API (functions, data, type information); fails when there is one.
set -eu
symbols=$(nm -D --defined-only "$1" | c++filt)
[ -n "$symbols" ] || { echo "no symbols read from $1"; exit 1; }
foreign=$(printf '%s\n' "$symbols" | awk '{ $1 = ""; $2 = ""; sub(/^  /, ""); print }' |
          grep -Ev '^((typeinfo|typeinfo name|vtable) for )?mavu::' || true)
if [ -n "$foreign" ]; then
  echo "exported besides the mavu:: API:"
  printf '%s\n' "$foreign"
  exit 1
fi
printf '%s\n' "$symbols" | grep -c ' mavu::' | sed 's/$/ mavu:: symbols, nothing else/'
