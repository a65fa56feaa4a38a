#!/bin/sh
# SPDX-License-Identifier: MIT
# lintian on the packages the deb test built: no error, no warning.
# Skipped (status 77) without lintian or without the packages.
# usage: lintian_test.sh builddir
set -u
. "$(dirname "$0")/skip.sh"
out=$1/debs
need lintian lintian
set -- "$out"/*.deb
[ -f "$1" ] || skip "no packages in $out (the deb test was skipped)"
lintian --no-cfg --fail-on error,warning --display-level '>=pedantic' "$@" > "$out/lintian.txt" 2>&1
status=$?
grep -v 'running with root privileges' "$out/lintian.txt"
[ $status -eq 0 ] || exit 1
echo "lintian: $(basename "$1") and $(basename "$2"): no error, no warning"
