#!/bin/sh
# Installs the suite into a fresh prefix and builds a consumer against it,
# with find_package (mode cmake) or with pkg-config (mode pkg-config).  A
# cross build hands its toolchain file and emulator on to the consumer.
# usage: package_test.sh builddir sourcedir cxx mode toolchain [emulator...]
set -eu
build=$1
source=$2
cxx=$3
mode=$4
toolchain=$5
shift 5
expected='-42 marzec 1 2,7'

if [ "$mode" = pkg-config ] && ! command -v pkg-config >/dev/null; then
	echo "skipped: pkg-config is not installed (Debian package pkg-config)"
	exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for program in longline lineorder reservedwords wordtree census census-cases \
               charcount linecount wordcount thermotable eofvalue; do
	test -x "$prefix/bin/$program" || { echo "missing bin/$program"; exit 1; }
done

if [ "$mode" = cmake ]; then
	cmake -S "$source/tests/consumer" -B "$work/cmake" -DCMAKE_CXX_COMPILER="$cxx" \
	      ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} \
	      -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
	cmake --build "$work/cmake" >/dev/null
	got=$("$@" "$work/cmake/consumer")
else
	pc=$(find "$prefix" -name sitko.pc)
	flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs sitko)
	# shellcheck disable=SC2086
	"$cxx" -o "$work/consumer" "$source/tests/consumer/main.cpp" $flags
	got=$(LD_LIBRARY_PATH="$(dirname "$pc")/.." "$@" "$work/consumer")
fi
[ "$got" = "$expected" ] || { echo "$mode consumer wrote '$got'"; exit 1; }
echo "package: the $mode consumer ran"
