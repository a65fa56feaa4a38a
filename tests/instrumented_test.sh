#!/bin/sh
# SPDX-License-Identifier: MIT
# A build with sanitizer or coverage flags given by hand, as distributions
# and fuzzing services add them, knows it is instrumented: the filter is
# left out, so that every program gives the report and the status of the
# plain build, the sanitizer's checks at exit run, and a coverage build
# writes its data.  The programs are built from the source tree in a
# folder of their own.  Slow (a build): skipped unless SITKO_SLOW_TESTS is
# set, and for a build made for another machine.
# usage: instrumented_test.sh SOURCE COMPILER BINDIR SAMPLE FLAGS [emulator...]
set -u
. "$(dirname "$0")/skip.sh"
source=$1
compiler=$2
bindir=$3
sample=$4
flags=$5
shift 5
[ $# -eq 0 ] || skip "the programs are built for another machine ($1)"
[ -n "${SITKO_SLOW_TESTS:-}" ] ||
	skip "building the programs with $flags takes half a minute: set SITKO_SLOW_TESTS=1 (ctest --preset slow does)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S "$source" -B "$work" -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE=Debug \
	-DCMAKE_CXX_FLAGS="$flags" -DSITKO_TESTS=OFF -DSITKO_BENCH=OFF -DSITKO_DEMO=OFF \
	-DSITKO_INSTALL=OFF >"$work/log" 2>&1 &&
	cmake --build "$work" -j2 >>"$work/log" 2>&1 || {
	cat "$work/log"
	exit 1
}
status=0
for program in longline lineorder reservedwords wordtree census census-cases \
               charcount linecount wordcount thermotable eofvalue; do
	"$bindir/$program" <"$sample" >"$work/plain.out" 2>/dev/null
	plain=$?
	"$work/bin/$program" <"$sample" >"$work/flagged.out" 2>"$work/flagged.err"
	got=$?
	if [ $got -ne $plain ] || ! cmp -s "$work/plain.out" "$work/flagged.out" ||
		[ -s "$work/flagged.err" ]; then
		echo "$program: status $got (plain $plain), report or messages differ:"
		cat "$work/flagged.err"
		status=1
	else
		echo "$program: the same report and status"
	fi
done
case $flags in
*--coverage*)
	for program in longline lineorder reservedwords wordtree census census-cases \
	               charcount linecount wordcount thermotable eofvalue; do
		if [ -z "$(find "$work" -name "$program.cpp.gcda")" ]; then
			echo "$program: no coverage data written"
			status=1
		fi
	done
	;;
esac
exit $status
