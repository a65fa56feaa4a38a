# SPDX-License-Identifier: MIT
# Cross build for i686-linux-gnu, run under qemu-i386:
#   cmake --workflow --preset cross-i686
set(SITKO_TRIPLE i686-linux-gnu)
set(SITKO_QEMU qemu-i386)
# Under qemu-i386 7.2 the child of fork() in a dynamically linked i386
# program spins forever before it runs a single instruction of its own; a
# static one forks as it should.  The harness forks for every program run.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
