#!/bin/sh
# SPDX-License-Identifier: MIT
# Every program's typical run under valgrind memcheck: no invalid access, no
# use of uninitialised memory, and no lost block.  Skipped (status 77) where
# valgrind is missing or the programs are built for another machine.
# usage: valgrind_test.sh bindir sample [emulator...]
set -u
. "$(dirname "$0")/skip.sh"
bindir=$1
sample=$2
shift 2
[ $# -eq 0 ] || skip "the programs are built for another machine ($1)"
need valgrind valgrind
status=0
for program in longline lineorder reservedwords wordtree census census-cases \
               charcount linecount wordcount thermotable eofvalue; do
	if valgrind -q --error-exitcode=99 --leak-check=full \
	            --errors-for-leak-kinds=definite,indirect \
	            "$bindir/$program" < "$sample" > /dev/null; then
		echo "valgrind: $program clean"
	else
		echo "valgrind: $program FAILED"
		status=1
	fi
done
exit $status
