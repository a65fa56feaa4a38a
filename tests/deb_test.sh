#!/bin/sh
# Builds the Debian package from the build tree, checks its metadata and
# contents, and runs a program from the unpacked tree.  Skipped (status 77)
# in a cross build, or where the tools cpack needs for a sound package are
# missing: without dpkg-shlibdeps its Depends field would be empty.
# usage: deb_test.sh builddir [emulator...]
set -eu
build=$1
shift
if [ $# -gt 0 ]; then
	echo "skipped: packages are built on the machine they are for, not under $1"
	exit 77
fi
for tool in dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev file:file; do
	command -v "${tool%%:*}" >/dev/null || {
		echo "skipped: ${tool%%:*} is not installed (Debian package ${tool#*:})"
		exit 77
	}
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null)
deb=$(find "$work/out" -maxdepth 1 -name 'sitko_*.deb')
[ -n "$deb" ] || { echo "no package built"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = sitko ] || { echo "Package: $(field Package)"; exit 1; }
field Version | grep -q '^[0-9]' || { echo "no version"; exit 1; }
field Maintainer | grep -q '@' || { echo "no maintainer"; exit 1; }
field Depends | grep -q libc6 || { echo "Depends lacks libc6: $(field Depends)"; exit 1; }
field Description | grep -q filters || { echo "no description"; exit 1; }

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' > "$work/contents"
for path in usr/bin/longline usr/bin/lineorder usr/bin/reservedwords usr/bin/wordtree \
            usr/bin/census usr/bin/census-cases usr/bin/charcount usr/bin/linecount \
            usr/bin/wordcount usr/bin/thermotable usr/bin/eofvalue \
            usr/share/man/man1/wordcount.1 usr/share/man/man3/yearday.3 \
            usr/share/man/man3/month_day.3 usr/share/man/man1/census-cases.1 \
            usr/include/sitko/yearday.hpp usr/lib/pkgconfig/sitko.pc \
            usr/lib/cmake/sitko/sitkoConfig.cmake usr/lib/libsitko_yearday.a; do
	grep -qx "$path" "$work/contents" || { echo "missing $path"; exit 1; }
done

dpkg-deb -x "$deb" "$work/root"
got=$(echo hello world | "$work/root/usr/bin/wordcount")
[ "$got" = 1212 ] || { echo "unpacked wordcount wrote '$got'"; exit 1; }
echo "deb: $(basename "$deb") checked"
