#!/bin/sh
# Every program's typical run under valgrind memcheck: no invalid access, no
# use of uninitialised memory, and no lost block.
# usage: valgrind_test.sh bindir sample
set -u
bindir=$1
sample=$2
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
