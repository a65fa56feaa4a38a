#!/bin/sh
# SPDX-License-Identifier: MIT
# The suite as other projects meet it.
#   cmake       install into a fresh prefix; a C++17 consumer finds the
#               package with COMPONENTS and stays C++17; an unknown component
#               fails clearly, and so does a request for 0.0.9; the manifest
#               lists every installed file
#   pkg-config  the same consumer built with pkg-config's flags
#   embed       a C++17 parent with a demo target of its own embeds the tree
#               with add_subdirectory, without GoogleTest and with CI=true;
#               nothing of the suite installs with it unless asked, and then
#               absolute install directories work; SITKO_PROGRAMS=OFF builds
#               the libraries alone
# A cross build hands its toolchain file and emulator on to the consumer.
# usage: package_test.sh builddir sourcedir cxx mode toolchain [emulator...]
set -eu
. "$(dirname "$0")/skip.sh"
build=$1
source=$2
cxx=$3
mode=$4
toolchain=$5
shift 5
expected='-42 marzec 1 2,7'

[ "$mode" != pkg-config ] || need pkg-config pkg-config
[ "$mode" != embed ] || [ -n "${SITKO_SLOW_TESTS:-}" ] ||
	skip "building the suite inside another project takes half a minute: set SITKO_SLOW_TESTS=1 (ctest --preset slow does)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "$mode: $*"; exit 1; }
configure() {
	cmake -DCMAKE_CXX_COMPILER="$cxx" ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} "$@"
}

# Every file and link below $1 must be in the manifest $2.
manifested() {
	find "$1" ! -type d | sort > "$work/found"
	sort "$2" > "$work/listed"
	missing=$(comm -23 "$work/found" "$work/listed")
	[ -z "$missing" ] || fail "not in the install manifest: $missing"
}

case $mode in
cmake)
	cmake --install "$build" --prefix "$prefix" >/dev/null
	for program in longline lineorder reservedwords wordtree census census-cases \
	               charcount linecount wordcount thermotable eofvalue; do
		test -x "$prefix/bin/$program" || fail "missing bin/$program"
	done
	manifested "$prefix" "$build/install_manifest.txt"
	configure -S "$source/tests/consumer" -B "$work/cmake" \
	          -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
	cmake --build "$work/cmake" >/dev/null
	got=$("$@" "$work/cmake/consumer")
	if configure -S "$source/tests/consumer" -B "$work/unknown" -DSITKO_COMPONENTS="yearday;nosuch" \
	             -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" > "$work/log" 2>&1; then
		fail "an unknown component was accepted"
	fi
	grep -q "sitko has no component 'nosuch'" "$work/log" || fail "no clear message: $(cat "$work/log")"
	# In a 0.x series each minor version may break the interface.
	if configure -S "$source/tests/consumer" -B "$work/older" -DSITKO_VERSION=0.1 \
	             -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null 2>&1; then
		fail "0.1 was taken as compatible"
	fi
	;;
pkg-config)
	cmake --install "$build" --prefix "$prefix" >/dev/null
	pc=$(find "$prefix" -name sitko.pc)
	export PKG_CONFIG_PATH="${pc%/*}"
	flags=$(pkg-config --cflags --libs sitko)
	case $flags in *-std=*) fail "sitko.pc imposes a standard: $flags" ;; esac
	# Where the prefix is the system's, as /usr is, nothing is left to add.
	system=$(PKG_CONFIG_SYSTEM_INCLUDE_PATH=$prefix/include pkg-config --cflags sitko)
	[ -z "$system" ] || fail "sitko.pc adds $system to a system install"
	one=$(pkg-config --libs sitko-calword | xargs)
	[ "$one" = "-L${pc%/pkgconfig/*} -lsitko_calword" ] || fail "sitko-calword.pc: $one"
	# shellcheck disable=SC2086
	"$cxx" -std=c++17 -DSITKO_EXPECT_CPLUSPLUS=201703L -o "$work/consumer" \
	       "$source/tests/consumer/main.cpp" $flags
	got=$(LD_LIBRARY_PATH="$(dirname "$pc")/.." "$@" "$work/consumer")
	;;
embed)
	CI=true configure -S "$source/tests/parent" -B "$work/parent" -DSITKO_SOURCE="$source" \
	          -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > "$work/log" 2>&1 ||
		fail "configure: $(cat "$work/log")"
	CI=true cmake --build "$work/parent" -j2 > "$work/log" 2>&1 || fail "build: $(cat "$work/log")"
	got=$("$@" "$work/parent/demo")
	cmake --install "$work/parent" --prefix "$prefix" >/dev/null
	installed=$(cd "$prefix" && find . ! -type d)
	[ "$installed" = ./bin/demo ] || fail "installed with the parent: $installed"
	grep -q 'CPACK_PACKAGE_NAME "parent"' "$work/parent/CPackConfig.cmake" ||
		fail "the parent's packaging was taken over"
	configure "$work/parent" -DSITKO_INSTALL=ON -DCMAKE_INSTALL_PREFIX="$work/rel" \
	          -DCMAKE_INSTALL_MANDIR="$work/abs/man" -DCMAKE_INSTALL_LIBDIR="$work/abs/lib" >/dev/null
	cmake --build "$work/parent" -j2 >/dev/null
	cmake --install "$work/parent" >/dev/null
	test -L "$work/abs/man/man3/month_day.3.gz" || test -L "$work/abs/man/man3/month_day.3" ||
		fail "no month_day link under an absolute MANDIR"
	test -f "$work/abs/lib/libsitko_yearday.a" || fail "no library under an absolute LIBDIR"
	grep -q "^prefix=$work/rel" "$work/abs/lib/pkgconfig/sitko.pc" || fail "sitko.pc: $(cat "$work/abs/lib/pkgconfig/sitko.pc")"
	manifested "$work/abs" "$work/parent/install_manifest.txt"
	manifested "$work/rel" "$work/parent/install_manifest.txt"
	# The libraries alone, for a parent that wants nothing else.
	CI=true configure -S "$source/tests/parent" -B "$work/libs" -DSITKO_SOURCE="$source" \
	          -DSITKO_PROGRAMS=OFF > "$work/log" 2>&1 || fail "configure, libraries only: $(cat "$work/log")"
	cmake --build "$work/libs" -j2 > "$work/log" 2>&1 || fail "build, libraries only: $(cat "$work/log")"
	[ "$("$@" "$work/libs/demo")" = "$expected" ] || fail "the demo built with the libraries only"
	[ ! -e "$work/libs/sitko/bin" ] || fail "programs built with SITKO_PROGRAMS=OFF: $(ls "$work/libs/sitko/bin")"
	;;
esac
[ "$got" = "$expected" ] || fail "the consumer wrote '$got'"
echo "package: $mode checked"
