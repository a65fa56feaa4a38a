#!/bin/sh
# Installs the suite into a fresh prefix and builds a consumer against it,
# once with find_package and once with pkg-config.
# usage: package_test.sh builddir sourcedir cxx
set -eu
build=$1
source=$2
cxx=$3
expected='-42 marzec 1 2,7'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for program in longline lineorder reservedwords wordtree census census-cases \
               charcount linecount wordcount thermotable eofvalue; do
	test -x "$prefix/bin/$program" || { echo "missing bin/$program"; exit 1; }
done

cmake -S "$source/tests/consumer" -B "$work/cmake" -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
got=$("$work/cmake/consumer")
[ "$got" = "$expected" ] || { echo "find_package: got '$got'"; exit 1; }

pc=$(find "$prefix" -name sitko.pc)
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs sitko)
# shellcheck disable=SC2086
"$cxx" -o "$work/consumer-pc" "$source/tests/consumer/main.cpp" $flags
got=$(LD_LIBRARY_PATH="$(dirname "$pc")/.." "$work/consumer-pc")
[ "$got" = "$expected" ] || { echo "pkg-config: got '$got'"; exit 1; }
echo "package: find_package and pkg-config consumers ran"
