#!/bin/sh
# Lints every manual page; any warning fails.
# usage: manlint.sh mandir
set -u
dir=$1
status=0
for page in "$dir"/*.[13]; do
	if command -v mandoc >/dev/null; then
		mandoc -T lint -W warning "$page" || status=1
	else
		out=$(groff -mdoc -ww -z "$page" 2>&1)
		[ -z "$out" ] || { echo "$out"; status=1; }
	fi
done
[ $status -eq 0 ] && echo "manual pages: no warnings"
exit $status
