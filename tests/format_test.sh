#!/bin/sh
# SPDX-License-Identifier: MIT
# The tree is formatted as .clang-format says, by the clang-format of
# Debian 12 (version 14).  Skipped (status 77) without clang-format, or with
# another major version, whose layout differs in places.
# usage: format_test.sh sourcedir
set -u
. "$(dirname "$0")/skip.sh"
cd "$1" || exit 1
need clang-format clang-format
major=$(clang-format --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
[ "$major" = 14 ] ||
	skip "clang-format $major lays code out otherwise than version 14, which the tree follows"
files=$(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.hpp' \) -print | sort)
# shellcheck disable=SC2086
clang-format --dry-run -Werror $files || exit 1
echo "format: $(echo "$files" | wc -l) files as .clang-format says"
