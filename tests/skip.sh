# SPDX-License-Identifier: MIT
# Sourced by the test scripts: ways to skip (status 77, which CTest counts
# as skipped) with the reason on standard output.

# skip REASON...
skip() {
	echo "skipped: $*"
	exit 77
}

# need TOOL PACKAGE: skips unless TOOL is on the PATH.
need() {
	command -v "$1" >/dev/null || skip "$1 is not installed (Debian package $2)"
}
