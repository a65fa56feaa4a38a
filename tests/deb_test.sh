#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the two Debian packages as the package preset does, into
# builddir/debs, checks their metadata and contents, and runs a program from
# the unpacked tree.  Skipped (status 77) in a cross build, or where the
# tools a sound package needs are missing: without dpkg-shlibdeps its
# Depends field would be empty.
# usage: deb_test.sh sourcedir builddir [emulator...]
set -eu
. "$(dirname "$0")/skip.sh"
source=$1
build=$2
shift 2
[ $# -eq 0 ] || skip "packages are built on the machine they are for, not under $1"
for tool in dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev dpkg-buildflags:dpkg-dev file:file; do
	need "${tool%%:*}" "${tool#*:}"
done
out=$build/debs
rm -rf "$out"
cmake -S "$source" -B "$out/tree" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DSITKO_TESTS=OFF -DSITKO_BENCH=OFF -DSITKO_DEMO=OFF -DSITKO_DEBIAN=ON >/dev/null
cmake --build "$out/tree" -j2 >/dev/null
(cd "$out/tree" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)

for deb in "$out"/sitko_*.deb "$out"/libsitko-dev_*.deb; do
	[ -f "$deb" ] || { echo "not built: $deb"; exit 1; }
done
programs=$(ls "$out"/sitko_*.deb)
dev=$(ls "$out"/libsitko-dev_*.deb)
field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$programs" Package)" = sitko ] || { echo "Package: $(field "$programs" Package)"; exit 1; }
[ "$(field "$dev" Package)" = libsitko-dev ] || { echo "Package: $(field "$dev" Package)"; exit 1; }
field "$programs" Version | grep -q '^[0-9][0-9.]*-[0-9]' || { echo "no version"; exit 1; }
field "$programs" Depends | grep -q libc6 || { echo "Depends lacks libc6"; exit 1; }
[ -z "$(field "$dev" Depends)" ] || { echo "libsitko-dev depends: $(field "$dev" Depends)"; exit 1; }

contents() { dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./||'; }
check() {
	deb=$1
	shift
	contents "$deb" > "$out/contents"
	for path in "$@"; do
		grep -qx "$path" "$out/contents" || { echo "$(basename "$deb") lacks $path"; exit 1; }
	done
}
check "$programs" usr/bin/longline usr/bin/wordtree usr/bin/census-cases usr/bin/eofvalue \
      usr/share/man/man1/wordcount.1.gz usr/share/man/man1/census-cases.1.gz \
      usr/share/doc/sitko/copyright usr/share/doc/sitko/changelog.Debian.gz
check "$dev" usr/include/sitko/yearday.hpp usr/share/man/man3/yearday.3.gz \
      usr/share/man/man3/month_day.3.gz "usr/lib/$multiarch/pkgconfig/sitko.pc" \
      "usr/lib/$multiarch/cmake/sitko/sitkoConfig.cmake" "usr/lib/$multiarch/libsitko_yearday.a" \
      usr/share/doc/libsitko-dev/copyright usr/share/doc/libsitko-dev/changelog.Debian.gz
if contents "$programs" | grep -q '^usr/include\|\.a$'; then
	echo "sitko holds files of libsitko-dev"
	exit 1
fi

dpkg-deb -x "$programs" "$out/root"
file "$out/root/usr/bin/wordcount" | grep -q stripped || { echo "wordcount not stripped"; exit 1; }
got=$(echo hello world | "$out/root/usr/bin/wordcount")
[ "$got" = 1212 ] || { echo "unpacked wordcount wrote '$got'"; exit 1; }
echo "deb: $(basename "$programs") and $(basename "$dev") checked"
