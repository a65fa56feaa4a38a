#!/bin/sh
# SPDX-License-Identifier: MIT
# The maintainers' address is named in one place, the Maintainer field of
# debian/control, so an uploader changes one line; the newest changelog
# entry is signed with it, as every upload's is, and no other file names an
# address.  No field points at a home the project does not have: Homepage,
# the copyright's Source and debian/watch come together, naming the same
# home, or not at all, and no file names a reserved example site.
# usage: contact_test.sh sourcedir
set -eu
cd "$1"
fail() { echo "contact: $*"; exit 1; }
maintainer=$(sed -n 's/^Maintainer: //p' debian/control)
[ -n "$maintainer" ] || fail "debian/control names no Maintainer"
signed=$(sed -n 's/^ -- \(.*>\)  .*/\1/p' debian/changelog | head -n 1)
[ "$signed" = "$maintainer" ] || fail "the newest changelog entry is signed by $signed"

# The files git tracks, or, in a tree without git (a release tarball), the
# project's own folders: never a build tree or a package's staging folder.
if command -v git >/dev/null && [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
	files=$(git ls-files)
else
	files=$( (find . debian -maxdepth 1 -type f
		find .ci bench cmake console debian/source debian/tests demo docs fuzz line-filters \
			routines support tests word-tools -type f) 2>/dev/null | sed 's|^\./||')
fi
address='[[:alnum:]._+-]+@[[:alnum:].-]+\.[[:alpha:]]+'
# shellcheck disable=SC2086
named=$(grep -IHnE "$address" $files | grep -vE '^debian/changelog:[0-9]+: -- |^debian/control:[0-9]+:Maintainer: ' || true)
[ -z "$named" ] || fail "an address outside debian/control's Maintainer field: $named"
# shellcheck disable=SC2086
placeholder=$(grep -IHnE 'https?://([[:alnum:]-]+\.)*example\.(org|com|net)' $files || true)
[ -z "$placeholder" ] || fail "a home that is no home: $placeholder"

home=$(sed -n 's/^Homepage: //p' debian/control)
[ "$(grep -c '^Homepage:' debian/control)" -le 1 ] || fail "more than one Homepage in debian/control"
if [ -n "$home" ]; then
	grep -qx "Source: $home" debian/copyright || fail "debian/copyright: Source is not $home"
	grep -qF "$home" debian/watch || fail "debian/watch does not look at $home"
	echo "contact: $maintainer, named once; the home $home, the same everywhere"
else
	! grep -q '^Source:' debian/copyright || fail "debian/copyright names a Source, debian/control no Homepage"
	[ ! -e debian/watch ] || fail "debian/watch looks for releases, debian/control names no Homepage"
	echo "contact: $maintainer, named once; no home claimed"
fi
