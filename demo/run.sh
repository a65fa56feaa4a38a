#!/bin/sh
# Runs each named program on the sample text, each report under a heading.
# usage: run.sh bindir sample program...
bindir=$1
sample=$2
shift 2
status=0
for prog in "$@"; do
	printf '\n== %s ==\n' "$prog"
	"$bindir/$prog" < "$sample" || status=1
	printf '\n'
done
exit $status
