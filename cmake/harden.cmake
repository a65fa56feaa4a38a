# SPDX-License-Identifier: MIT
# The hardening the Debian packages get from dpkg-buildflags, for builds from
# source: canaries on every frame that holds an array, FORTIFY's checked
# calls, relocations read-only after start with every symbol bound then,
# position-independent programs, stack-clash probes, and the x86 marks for
# branch and return tracking where the compiler has them.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckPIESupported)

add_compile_options(-fstack-protector-strong)
check_cxx_compiler_flag(-fstack-clash-protection SITKO_HAS_STACK_CLASH_PROTECTION)
if(SITKO_HAS_STACK_CLASH_PROTECTION)
  add_compile_options(-fstack-clash-protection)
endif()
check_cxx_compiler_flag(-fcf-protection SITKO_HAS_CF_PROTECTION)
if(SITKO_HAS_CF_PROTECTION)
  add_compile_options(-fcf-protection)
endif()

# FORTIFY checks what the optimiser can see, and the C library warns of it
# without optimisation.  Level 3 also checks sizes known only at run time,
# where the compiler can tell them.
check_cxx_source_compiles([[
int main(int argc, char **)
{
	char bytes[8];
	return static_cast<int>(__builtin_dynamic_object_size(bytes + argc, 0));
}]] SITKO_HAS_DYNAMIC_OBJECT_SIZE)
set(fortify 2)
if(SITKO_HAS_DYNAMIC_OBJECT_SIZE)
  set(fortify 3)
endif()
set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
add_compile_options($<${optimised}:-U_FORTIFY_SOURCE> $<${optimised}:-D_FORTIFY_SOURCE=${fortify}>)

add_link_options(LINKER:-z,relro,-z,now)

# Debian's compilers make position-independent programs of their own accord;
# elsewhere it is asked for, the libraries then built to match.
check_cxx_source_compiles([[
#if !defined(__PIE__)
#error not position-independent
#endif
int main() { return 0; }]] SITKO_PIE_BY_DEFAULT)
if(NOT SITKO_PIE_BY_DEFAULT)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()
