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
# The sources git tracks, or, in a tree without git (a release tarball),
# those in the source folders: never a build tree, wherever it lies.
if command -v git >/dev/null && [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
	files=$(git ls-files -- '*.cpp' '*.hpp')
else
	files=$(find bench console debian fuzz line-filters routines support tests word-tools \
	        \( -name '*.cpp' -o -name '*.hpp' \) -print | sort)
fi
[ -n "$files" ] || { echo "format: no sources found"; exit 1; }
# shellcheck disable=SC2086
clang-format --dry-run -Werror $files || exit 1
echo "format: $(echo "$files" | wc -l) files as .clang-format says"
