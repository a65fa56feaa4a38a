# SPDX-License-Identifier: MIT
# Cross build for i686-linux-gnu:
#   cmake --workflow --preset cross-i686
# An x86-64 kernel with its 32-bit call table (IA32 emulation) runs i386
# programs natively, so the tests run them there, confined as on any kernel
# (qemu-user refuses seccomp): linked against the system's i386 C library
# (Debian package libc6-i386), with the C++ runtime linked in, as the
# system has no i386 one.  Whether the kernel does is asked of that
# library's loader, itself an i386 program.
if(NOT DEFINED SITKO_I386_NATIVE)
  set(native OFF)
  if(EXISTS /lib/ld-linux.so.2)
    execute_process(COMMAND /lib/ld-linux.so.2 --version RESULT_VARIABLE ran OUTPUT_QUIET
                    ERROR_QUIET)
    if(ran EQUAL 0)
      set(native ON)
    endif()
  endif()
  set(SITKO_I386_NATIVE ${native} CACHE BOOL "Run the i386 programs natively, not under qemu-i386")
endif()
set(SITKO_TRIPLE i686-linux-gnu)
if(SITKO_I386_NATIVE)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libstdc++ -static-libgcc")
  set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libstdc++ -static-libgcc")
  set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libstdc++ -static-libgcc")
else()
  # Elsewhere qemu-i386 runs them.  Under qemu-i386 7.2 the child of fork()
  # in a dynamically linked i386 program spins forever before it runs a
  # single instruction of its own; a static one forks as it should.  The
  # harness forks for every program run.
  set(SITKO_QEMU qemu-i386)
  set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
