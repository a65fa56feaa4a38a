#!/bin/sh
# SPDX-License-Identifier: MIT
# Lints every manual page; any warning fails.  mandoc is the linter; groff
# will do where mandoc is missing (-k reads the pages as UTF-8).  With
# neither, the test is skipped (status 77).
# Every page also names the suite and its version in .Os, and has SEE ALSO.
# usage: manlint.sh mandir version
set -u
. "$(dirname "$0")/skip.sh"
dir=$1
version=$2
if command -v mandoc >/dev/null; then
	lint() { mandoc -T lint -W warning "$1"; }
elif command -v groff >/dev/null && command -v preconv >/dev/null; then
	lint() {
		out=$(groff -k -Tutf8 -mdoc -ww -z "$1" 2>&1)
		[ -z "$out" ] || { echo "$out"; return 1; }
	}
else
	skip "neither mandoc nor groff is installed (Debian package mandoc)"
fi
status=0
for page in "$dir"/*.[13]; do
	lint "$page" || status=1
	grep -qx "\.Os sitko $version" "$page" || { echo "$page: not .Os sitko $version"; status=1; }
	grep -qx '\.Sh SEE ALSO' "$page" || { echo "$page: no SEE ALSO"; status=1; }
done
[ $status -eq 0 ] && echo "manual pages: no warnings"
exit $status
