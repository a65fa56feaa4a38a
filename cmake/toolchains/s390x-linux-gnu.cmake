# SPDX-License-Identifier: MIT
# Cross build for s390x-linux-gnu, run under qemu-s390x:
#   cmake --workflow --preset cross-s390x
set(SITKO_TRIPLE s390x-linux-gnu)
set(SITKO_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
