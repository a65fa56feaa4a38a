# SPDX-License-Identifier: MIT
# Shared by the cross toolchain files: Debian's g++-<triple> cross compiler,
# the target's libraries under /usr/<triple>, and qemu-user to run what was
# built.  The including file sets SITKO_TRIPLE, and SITKO_QEMU where the
# programs do not run natively.
set(CMAKE_SYSTEM_NAME Linux)
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR ${SITKO_TRIPLE})
set(CMAKE_CXX_COMPILER ${SITKO_TRIPLE}-g++)
set(CMAKE_C_COMPILER ${SITKO_TRIPLE}-gcc)

# Look for libraries, headers and packages of the target only; programs
# (cmake, sh, pkg-config) come from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${SITKO_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without binfmt_misc a foreign program cannot be exec'd directly; the
# tests start every built program through the emulator, which finds the
# target's dynamic loader and libraries under -L.  Without SITKO_QEMU the
# programs run natively.
if(SITKO_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SITKO_QEMU} -L /usr/${SITKO_TRIPLE})
endif()
