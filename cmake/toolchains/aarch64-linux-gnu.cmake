# SPDX-License-Identifier: MIT
# Cross build for aarch64-linux-gnu, run under qemu-aarch64:
#   cmake --workflow --preset cross-aarch64
set(SITKO_TRIPLE aarch64-linux-gnu)
set(SITKO_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
