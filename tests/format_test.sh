#!/bin/sh
# SPDX-License-Identifier: MIT
# The tree is formatted as .clang-format says, by the clang-format of
# Debian 12 (version 14).  Skipped (status 77) without clang-format, or with
# another major version, whose layout differs in places.
# usage: format_test.sh sourcedir
set -u
cd "$1" || exit 1
command -v clang-format >/dev/null || {
	echo "skipped: clang-format is not installed (Debian package clang-format)"
	exit 77
}
major=$(clang-format --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
[ "$major" = 14 ] || {
	echo "skipped: clang-format $major lays code out otherwise than version 14, which the tree follows"
	exit 77
}
files=$(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.hpp' \) -print | sort)
# shellcheck disable=SC2086
clang-format --dry-run -Werror $files || exit 1
echo "format: $(echo "$files" | wc -l) files as .clang-format says"
