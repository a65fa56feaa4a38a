#!/bin/sh
# SPDX-License-Identifier: MIT
# The maintainer and the project's home are set in one place, debian/control
# (Maintainer, Homepage); every other file that names them must name the
# same, and no other address.
# usage: contact_test.sh sourcedir
set -eu
cd "$1"
fail() { echo "contact: $*"; exit 1; }
maintainer=$(sed -n 's/^Maintainer: //p' debian/control)
home=$(sed -n 's/^Homepage: //p' debian/control)
[ -n "$maintainer" ] && [ -n "$home" ] || fail "debian/control names no Maintainer or Homepage"
address=$(echo "$maintainer" | sed 's/.*<\(.*\)>.*/\1/')

for file in debian/changelog debian/copyright SECURITY.md README.md; do
	grep -qF "$maintainer" "$file" || fail "$file does not name $maintainer"
	others=$(grep -o '[[:alnum:]._+-]*@[[:alnum:].-]*\.[[:alpha:]]*' "$file" | grep -vxF "$address" || true)
	[ -z "$others" ] || fail "$file names another address: $others"
done
# Every signature of the changelog is the maintainer's.
others=$(sed -n 's/^ -- \(.*>\)  .*/\1/p' debian/changelog | grep -vxF "$maintainer" || true)
[ -z "$others" ] || fail "debian/changelog is signed by $others"
grep -qx "Upstream-Contact: $maintainer" debian/copyright || fail "debian/copyright: Upstream-Contact"
grep -qx "Source: $home" debian/copyright || fail "debian/copyright: Source is not $home"
grep -qF "$home" debian/watch || fail "debian/watch does not look at $home"
echo "contact: $maintainer and $home, the same everywhere"
