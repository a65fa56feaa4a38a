#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds and runs the README's sample program exactly as printed.
# usage: readme_test.sh readme cxx includedir library... [-- emulator...]
set -eu
readme=$1
cxx=$2
include=$3
shift 3
libs=
while [ $# -gt 0 ] && [ "$1" != -- ]; do
	libs="$libs $1"
	shift
done
[ $# -gt 0 ] && shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The indented block after the line that introduces it, without its indent.
awk '/^A program uses them like this/ { on = 1; next }
     on && /^[^ ]/ { exit }
     on { sub(/^    /, ""); print }' "$readme" > "$work/sample.cpp"
grep -q 'int main' "$work/sample.cpp" || { echo "no sample found in $readme"; exit 1; }
# shellcheck disable=SC2086
"$cxx" -std=c++17 -Wall -Wextra -Werror -I"$include" -o "$work/sample" "$work/sample.cpp" $libs
got=$("$@" "$work/sample")
[ "$got" = luty ] || { echo "the sample wrote '$got'"; exit 1; }
echo "README sample: compiled as printed, wrote luty"
