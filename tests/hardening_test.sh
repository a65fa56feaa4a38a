#!/bin/sh
# SPDX-License-Identifier: MIT
# The built programs carry the hardening a Debian package's do, as readelf
# shows it: each is position-independent (ELF type DYN), its relocations are
# read-only once it has started (GNU_RELRO) with every symbol bound then
# (BIND_NOW), its stack is not executable, and it calls the canary's failure
# path (__stack_chk_fail) and at least one checked libc call (__*_chk).
# The last two hold for all eleven programs because all of them write their
# report through the shared writer, whose vsnprintf and memcpy into a
# buffer of known size are checked, and read through the shared reader,
# whose frames hold arrays or locals whose address is taken.
#
# A statically linked program (as the i686 cross build makes them, for
# qemu's sake) binds nothing at run time, so PIE and BIND_NOW do not apply;
# its canary and checked calls, which the C library's own code would hide
# there, are looked for in the objects of the support library instead.
#
# Stack-clash probes leave no mark readelf can see.  The marks for x86
# branch and return tracking (IBT, SHSTK) are checked on the objects of the
# shared support library: the linker keeps them in a program only where
# every object has them, and the C library's start files on Debian 12 do
# not.  Skipped (status 77) without readelf, or in a build without
# hardening (the sanitizers' builds).
# usage: hardening_test.sh HARDENED CET SUPPORT-LIBRARY PROGRAM...
#   HARDENED, CET: 1 where the build asked for the hardening, and for the
#   x86 marks; SUPPORT-LIBRARY: the static library every program links.
set -u
. "$(dirname "$0")/skip.sh"
hardened=$1
cet=$2
support=$3
shift 3
[ "$hardened" = 1 ] ||
	skip "built without hardening (SITKO_HARDEN off, as in the sanitizers' builds)"
need readelf binutils
export LC_ALL=C

failed=0
fail() {
	echo "$1: $2"
	failed=1
}

# checkcalls NAME SYMBOLS: the canary's failure path and a checked call
# among the undefined SYMBOLS.  Position-independent i386 code calls the
# failure path through a local stub, which the program links in.
checkcalls() {
	echo "$2" | grep -Eqx '__stack_chk_fail(_local)?' ||
		fail "$1" "no __stack_chk_fail: no stack protector"
	echo "$2" | grep -Eqx '__[a-z0-9_]+_chk' || fail "$1" "no __*_chk call: not built with FORTIFY"
}

static=0
for program in "$@"; do
	name=$(basename "$program")
	segments=$(readelf -lW "$program")
	echo "$segments" | grep -q '^ *GNU_RELRO ' || fail "$name" "no GNU_RELRO segment"
	stack=$(echo "$segments" | awk '$1 == "GNU_STACK" { print $7 }')
	case $stack in
	"") fail "$name" "no GNU_STACK segment: the stack may be executable" ;;
	*E*) fail "$name" "executable stack ($stack)" ;;
	esac
	if ! echo "$segments" | grep -Eq '^ *(INTERP|DYNAMIC) '; then
		static=$((static + 1))
		continue
	fi
	type=$(readelf -hW "$program" | sed -n 's/^ *Type: *//p')
	case $type in
	DYN*) ;;
	*) fail "$name" "not position-independent (ELF type $type)" ;;
	esac
	readelf -dW "$program" | grep -Eq '\(FLAGS\) .*BIND_NOW|\(FLAGS_1\) .*[ :]NOW( |$)' ||
		fail "$name" "no BIND_NOW: symbols are bound lazily, the GOT stays writable"
	imports=$(readelf --dyn-syms -W "$program" | awk '$7 == "UND" { sub(/@.*/, "", $8); print $8 }')
	checkcalls "$name" "$imports"
	# The C++ runtime library costs every run its loading; nothing of it
	# is used (no new, no exceptions, no guarded statics).
	needed=$(readelf -dW "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v '^libc\.so' | grep -v '^ld-linux')
	[ -z "$needed" ] || fail "$name" "needs more than libc: $(echo $needed)"
done
if [ "$static" -gt 0 ]; then
	checkcalls "$(basename "$support")" "$(readelf -sW "$support" | awk '$7 == "UND" { print $8 }')"
fi

if [ "$cet" = 1 ]; then
	members=$(readelf -nW "$support" | grep -c '^File: ')
	marked=$(readelf -nW "$support" | grep -c 'x86 feature: IBT, SHSTK')
	if [ "$members" = 0 ] || [ "$marked" != "$members" ]; then
		fail "$(basename "$support")" "$marked of $members objects marked for IBT and SHSTK"
	fi
fi

[ "$failed" = 0 ] || exit 1
marks=
[ "$cet" = 1 ] && marks="; the support library's objects marked for IBT and SHSTK"
if [ "$static" -gt 0 ]; then
	echo "hardening: $# programs ($static statically linked) with RELRO and a stack that is not" \
	     "executable; the support library's objects with the stack protector and" \
	     "FORTIFY${marks:+, marked for IBT and SHSTK}"
else
	echo "hardening: $# programs position-independent, with full RELRO, BIND_NOW, a stack that" \
	     "is not executable, the stack protector and FORTIFY$marks"
fi
